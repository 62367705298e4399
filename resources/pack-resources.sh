#!/usr/bin/env bash
# Packs the agreement's text with the installer's own LZH codec, so that
# Setup.exe carries half its bytes (system/packed_resource.h reads it back).
# The logo stays a plain bitmap resource, for resource editors. Run by hand
# when the licence changes, after a native build; the output is kept in the
# repository, and the unit tests check that it still unpacks to its source.
#   resources/pack-resources.sh [WARDPACK]     (default build/native/tools/wardpack)
# The output is the unpacked length and the packed length (4 bytes each,
# little-endian), then the bare stream.
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

pack "$here/license.txt" "$here/license.lzh"
