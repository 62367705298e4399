#!/usr/bin/env bash
# Writes a literal-heavy product of real content to one file, for timing the
# decoder where most codes are literals: uncompressed bitmaps (ImageMagick's
# built-in pictures and a seeded plasma, as 24-bit BMPs), executables of this
# build, English text (the system's licence texts and the README) and a little
# seeded random data. About 3.3 MB; our encoder keeps more than a third of it.
#   bench/mixed_product.sh OUT        uses $WH_BUILD (default build/)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${WH_BUILD:-$root/build}
out=${1:?usage: mixed_product.sh OUT}

for tool in convert python3; do
    command -v $tool >/dev/null || { echo "mixed_product.sh: $tool is missing (scripts/deps.sh)" >&2; exit 1; }
done
native_tool=$build/native/tools/wardpack
win32_tool=$build/win32/tools/wardpack.exe
shipped=("$build/win32/setup/Setup.exe" "$build/win32/sample/Wardhavn.Exe" "$build/win32/sample/UnInstal.Exe")
for f in "$native_tool" "$win32_tool" "${shipped[@]}"; do
    [ -f "$f" ] || { echo "mixed_product.sh: missing $f (scripts/build.sh)" >&2; exit 1; }
done

parts=$(mktemp -d)
trap 'rm -rf "$parts"' EXIT

# Pictures: a photograph, a drawing, a texture and a fractal plasma that
# change from pixel to pixel, so that few matches are found in them.
bmp() {
    n=$((n + 1))
    convert "$@" -type TrueColor "BMP3:$parts/$n.bmp"
}
n=0
bmp rose: -resize '400x260!'
bmp logo: -resize 480x360
bmp -size 320x320 tile:granite:
bmp netscape: -resize '300x200!'
bmp wizard: -resize 50%
bmp -seed 18 -size 320x240 plasma:fractal
bmp -seed 19 -size 256x192 plasma:fractal

{
    cat "$parts"/*.bmp
    cat "${shipped[@]}"
    head -c 700000 "$native_tool"
    head -c 450000 "$win32_tool"
    for f in GPL-3 GFDL-1.3 Apache-2.0 LGPL-2.1 MPL-2.0 Artistic; do cat "/usr/share/common-licenses/$f"; done
    cat "$root/README.md"
    python3 -c 'import random, sys; random.seed(18); sys.stdout.buffer.write(random.randbytes(96 * 1024))'
} >"$out"
