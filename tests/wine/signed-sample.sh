#!/usr/bin/env bash
# The full-size sample signed as a maker signs it, after build and before the
# images (a throw-away certificate), read by list and extract; and in
# SET/flipped, disk 1's installer with a byte of its table flipped, which the
# signature check and list must refuse.   tests/wine/signed-sample.sh NATIVE_BUILD WIN32_BUILD SET
set -euo pipefail
native=$1 win32=$2 set=$3 wardpack=$1/tools/wardpack
mkdir -p "$set/flipped" && rm -rf "$set/extracted"
openssl req -x509 -newkey rsa:2048 -nodes -subj "/CN=Wardhaven test" -keyout "$set/key.pem" -out "$set/cert.pem" 2> /dev/null
SIGN_CERT=$set/cert.pem SIGN_KEY=$set/key.pem "$(dirname "$0")/../../scripts/make-diskset.sh" "$native" "$win32" "$set" > /dev/null
"$wardpack" -q list "$set/disk1.img" > /dev/null
"$wardpack" -q extract "$set/disk1.img" "$set/disk2.img" "$set/disk3.img" "$set/extracted" > /dev/null
flipped=$set/flipped/Setup.exe
cp "$set/disk1/Setup.exe" "$flipped"
at=$("$wardpack" list "$flipped" | sed -n 's/.* bytes at offset \([0-9]*\)$/\1/p')
python3 -c 'import sys; f = open(sys.argv[1], "r+b"); f.seek(int(sys.argv[2])); b = f.read(1)[0]; f.seek(-1, 1); f.write(bytes([b ^ 1]))' "$flipped" $((at + 1))
! osslsigncode verify -CAfile "$set/cert.pem" -in "$flipped" > /dev/null 2>&1 || { echo "signed-sample: the signature holds with a byte flipped" >&2; exit 1; }
status=0 && "$wardpack" -q list "$flipped" > /dev/null || status=$?
[ $status -eq 2 ] || { echo "signed-sample: list of the flipped installer ended with $status, not 2" >&2; exit 1; }
# The record's digests are the volumes' SHA-256 as sha256sum computes them.
listed=$("$wardpack" list "$set/disk1/Setup.exe" | sed -n 's/^ *SHA-256 \([0-9a-f]*\)$/\1/p')
summed=$(for d in 1 2 3; do sha256sum "$set/disk$d/Wardhavn.00$d" | cut -d' ' -f1; done)
[ -n "$listed" ] && [ "$listed" = "$summed" ] || { printf 'signed-sample: list gives digests\n%s\nsha256sum\n%s\n' "$listed" "$summed" >&2; exit 1; }
