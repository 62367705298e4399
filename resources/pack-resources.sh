#!/usr/bin/env bash
# Packs the installer's two largest resources with its own LZH codec, so that
# Setup.exe carries a fraction of their bytes (system/packed_resource.h reads
# them back). Run by hand when the art or the licence changes, after a native
# build; the outputs are kept in the repository, and the unit tests check that
# they still unpack to their sources.
#   resources/pack-resources.sh [WARDPACK]     (default build/native/tools/wardpack)
# Each output is the unpacked length and the packed length (4 bytes each,
# little-endian), then the bare stream.
#   logo.bmp    -> logo.lzh     the bitmap as a BITMAP resource holds it: the
#                               file without its 14-byte file header
#   license.txt -> license.lzh  the agreement's text, the product name as '@'
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
wardpack=${1:-$here/../build/native/tools/wardpack}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

le32() { printf "\\x$(printf %02x $(($1 & 255)))\\x$(printf %02x $(($1 >> 8 & 255)))\\x$(printf %02x $(($1 >> 16 & 255)))\\x$(printf %02x $(($1 >> 24 & 255)))"; }

# pack INPUT OUTPUT
pack() {
    "$wardpack" encode "$1" "$tmp/stream" >/dev/null
    { le32 "$(stat -c %s "$1")"; le32 "$(stat -c %s "$tmp/stream")"; cat "$tmp/stream"; } >"$2"
}

tail -c +15 "$here/logo.bmp" >"$tmp/logo.dib"
pack "$tmp/logo.dib" "$here/logo.lzh"
pack "$here/license.txt" "$here/license.lzh"
