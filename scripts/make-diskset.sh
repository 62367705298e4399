#!/bin/bash
# Builds the sample product's distribution disks.
#   scripts/make-diskset.sh NATIVE_BUILD WIN32_BUILD OUTDIR
# Takes the sample programs from WIN32_BUILD/sample, generates the data files,
# and runs NATIVE_BUILD's wardpack with WIN32_BUILD/setup/Setup.exe as the
# installer. Writes OUTDIR/product (the product folder), OUTDIR/disk1..3 and
# their 1.44 MB floppy images OUTDIR/disk1.img..disk3.img (wardpack --images),
# and verifies both the folders and the images against the product.
# INSTALLER=path overrides the installer (any Win32 executable will do for a trial).
# SIGN_CERT=cert.pem SIGN_KEY=key.pem sign disk1/Setup.exe with osslsigncode
# after the build and before the images are written, then check the signature.
set -euo pipefail

if [ $# -ne 3 ]; then
    echo "usage: $0 NATIVE_BUILD WIN32_BUILD OUTDIR" >&2
    exit 2
fi
native=$1 win32=$2 out=$3
here=$(cd "$(dirname "$0")/.." && pwd)
wardpack=$native/tools/wardpack
installer=${INSTALLER:-$win32/setup/Setup.exe}

for f in "$wardpack" "$installer" "$win32/sample/Wardhavn.Exe" "$win32/sample/TaskMan.Exe" "$win32/sample/UnInstal.Exe"; do
    [ -f "$f" ] || { echo "make-diskset: missing $f (build it first)" >&2; exit 1; }
done

# The bitmaps need Pillow; Debian's python3-pil serves the system interpreter.
python=${PYTHON:-python3}
if ! "$python" -c 'import PIL' 2>/dev/null; then
    python=/usr/bin/python3
    "$python" -c 'import PIL' 2>/dev/null || { echo "make-diskset: Pillow is missing (python3-pil)" >&2; exit 1; }
fi

rm -rf "$out/product" "$out/disk1" "$out/disk2" "$out/disk3" "$out"/disk[123].img
mkdir -p "$out/product"
"$python" "$here/sample/make_product_data.py" "$out/product"
cp "$win32/sample/Wardhavn.Exe" "$win32/sample/TaskMan.Exe" "$win32/sample/UnInstal.Exe" "$out/product/"

images=--images
[ -n "${SIGN_CERT:-}" ] && images=
"$wardpack" build --product "$out/product" --list "$here/sample/files.lst" \
    --installer "$installer" --installer-name Setup.exe --out "$out" $images
if [ -n "${SIGN_CERT:-}" ]; then
    osslsigncode sign -certs "$SIGN_CERT" -key "$SIGN_KEY" -in "$out/disk1/Setup.exe" -out "$out/disk1/Setup.signed" \
        > /dev/null
    mv "$out/disk1/Setup.signed" "$out/disk1/Setup.exe"
    osslsigncode verify -CAfile "$SIGN_CERT" -in "$out/disk1/Setup.exe" > /dev/null
    "$wardpack" -q images "$out" > /dev/null
fi
check=(--product "$out/product" --list "$here/sample/files.lst")
"$wardpack" -q verify "$out" "${check[@]}" > /dev/null
# The images are what gets duplicated: they are checked too, through the tool's own reader.
"$wardpack" -q verify "$out/disk1.img" "$out/disk2.img" "$out/disk3.img" "${check[@]}" > /dev/null
echo "make-diskset: disk set in $out/disk1 $out/disk2 $out/disk3 and floppy images $out/disk1.img .. disk3.img," \
    "${SIGN_CERT:+signed, }verified"
