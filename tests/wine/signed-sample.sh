#!/usr/bin/env bash
# The full-size sample's disk set signed as a maker signs it, after build and
# before the images (a throw-away certificate), checked with every command of
# the tool; and beside it, in SET/flipped, disk 1's installer with one byte of
# its package table flipped, which the signature check must refuse.
#   tests/wine/signed-sample.sh NATIVE_BUILD WIN32_BUILD SET
set -euo pipefail
native=$1 win32=$2 set=$3
here=$(cd "$(dirname "$0")/../.." && pwd)
wardpack=$native/tools/wardpack
mkdir -p "$set"
openssl req -x509 -newkey rsa:2048 -nodes -days 7 -subj "/CN=Wardhaven test" \
    -keyout "$set/key.pem" -out "$set/cert.pem" 2> /dev/null
SIGN_CERT=$set/cert.pem SIGN_KEY=$set/key.pem "$here/scripts/make-diskset.sh" "$native" "$win32" "$set" > /dev/null
"$wardpack" -q list "$set/disk1.img" > /dev/null
rm -rf "$set/extracted"
"$wardpack" -q extract "$set/disk1.img" "$set/disk2.img" "$set/disk3.img" "$set/extracted" > /dev/null

mkdir -p "$set/flipped"
flipped=$set/flipped/Setup.exe
cp "$set/disk1/Setup.exe" "$flipped"
at=$("$wardpack" list "$flipped" | sed -n 's/.* bytes at offset \([0-9]*\)$/\1/p')
byte=$(od -An -tu1 -j $((at + 1)) -N1 "$flipped")
printf "\\x$(printf %02x $((byte ^ 1)))" | dd of="$flipped" bs=1 seek=$((at + 1)) conv=notrunc 2> /dev/null
if osslsigncode verify -CAfile "$set/cert.pem" -in "$flipped" > /dev/null 2>&1; then
    echo "signed-sample: the signature still holds with a byte of the table flipped" >&2
    exit 1
fi
status=0
"$wardpack" -q list "$flipped" > /dev/null || status=$?
[ $status -eq 2 ] || { echo "signed-sample: list of the flipped installer ended with $status, not 2" >&2; exit 1; }
