#!/usr/bin/env bash
# Remakes the seeds of the installer and disk set fuzz targets
# (tests/fuzz/{executable,record,disk_folders,disk_images,build}_seeds/) from a
# small disk set of this build's own making: the sample's TaskMan.Exe in the
# installer's place (the smallest program built on the installer's runtime),
# and a product of the sample's Wardhavn.Exe, Startup.Grp, Palette.Pal and the
# first 2 KB of TaskMan.HLP, cut into three volumes. Signed copies use a
# throw-away certificate; the images are small FAT12 volumes (mkfs.fat, one
# sector a cluster, 16 root entries) given the disks' files with mcopy and
# cut in their boot sector to the sectors they use.
#   tests/fuzz/make-seeds.sh     after scripts/build.sh; uses $WH_BUILD (default build/)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${WH_BUILD:-$root/build}
wardpack=$build/native/tools/wardpack
sample=$build/win32/sample/product
seeds=$root/tests/fuzz
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

mkdir "$work/product"
cp "$sample/Wardhavn.Exe" "$sample/Startup.Grp" "$sample/Palette.Pal" "$work/product/"
head -c 2048 "$sample/TaskMan.HLP" >"$work/product/TaskMan.HLP"
printf 'Wardhavn.Exe\nStartup.Grp\nPalette.Pal\nTaskMan.HLP\n' >"$work/files.lst"
cp "$build/win32/sample/TaskMan.Exe" "$work/Setup.exe"
"$wardpack" -q build --product "$work/product" --list "$work/files.lst" --installer "$work/Setup.exe" \
    --out "$work/set" --volume-sizes 1500,1500 >/dev/null

openssl req -x509 -newkey rsa:2048 -nodes -subj /CN=Seeds -days 1 -keyout "$work/key.pem" -out "$work/cert.pem" \
    2>/dev/null
signed() { osslsigncode sign -certs "$work/cert.pem" -key "$work/key.pem" -in "$1" -out "$2" >/dev/null; }
signed "$work/Setup.exe" "$work/bare-signed.exe"
signed "$work/set/disk1/Setup.exe" "$work/installer-signed.exe"

# The disk set targets' inputs: files joined by their marker line (fuzz_disk_set.h).
joined() {
    local first=1
    for f in "$@"; do
        [ $first = 1 ] || printf '\n--next file--\n'
        cat "$f"
        first=0
    done
}

small_image() {  # IMAGE LABEL FILES...
    local image=$1 label=$2
    shift 2
    mkfs.fat -C "$image" 64 -s 1 -r 16 -n "$label" >/dev/null
    mcopy -i "$image" "$@" ::
    python3 - "$image" <<'PY'
import struct, sys
path = sys.argv[1]
data = bytearray(open(path, 'rb').read())
spc, reserved, fats, roots = data[13], struct.unpack_from('<H', data, 14)[0], data[16], struct.unpack_from('<H', data, 17)[0]
per_fat = struct.unpack_from('<H', data, 22)[0]
fat = data[reserved * 512:(reserved + per_fat) * 512]
def entry(n):
    v = struct.unpack_from('<H', fat, n * 3 // 2)[0]
    return v >> 4 if n & 1 else v & 0xFFF
used = max([n for n in range(2, per_fat * 512 * 2 // 3) if entry(n)] + [1])
sectors = reserved + fats * per_fat + roots * 32 // 512 + (used - 1) * spc
struct.pack_into('<H', data, 19, sectors)
open(path, 'wb').write(data[:sectors * 512])
PY
}

rm -rf "$seeds"/{executable,record,disk_folders,disk_images,build}_seeds
mkdir -p "$seeds"/{executable,record,disk_folders,disk_images,build}_seeds
image_size=$(stat -c %s "$work/Setup.exe")
installer=$work/set/disk1/Setup.exe
volumes=("$work/set/disk1/Wardhavn.001" "$work/set/disk2/Wardhavn.002" "$work/set/disk3/Wardhavn.003")

cp "$installer" "$seeds/executable_seeds/installer"
cp "$work/installer-signed.exe" "$seeds/executable_seeds/installer-signed"
cp "$work/bare-signed.exe" "$seeds/executable_seeds/bare-signed"

# The record and table after the image, and the same in the older versions:
# version 2 without the digests, version 1 without its own CRC-32 either.
tail -c +$((image_size + 1)) "$installer" >"$seeds/record_seeds/record-and-table"
python3 - "$seeds/record_seeds/record-and-table" "$seeds/record_seeds/version-" <<'PY'
import struct, sys, zlib
data = bytearray(open(sys.argv[1], 'rb').read())
tail = data.index(b'WHRECORD') - 4
volumes = struct.unpack_from('<H', data, 2)[0]
fields = 16 + 8 * volumes
for version in (1, 2):
    head = bytearray(data[:fields])
    struct.pack_into('<H', head, 0, version)
    seal = struct.pack('<I', zlib.crc32(head)) if version == 2 else b''
    older = head + seal + struct.pack('<I', len(head) + len(seal)) + data[tail + 4:]
    open(sys.argv[2] + str(version), 'wb').write(older)
PY

joined "$installer" "${volumes[@]}" >"$seeds/disk_folders_seeds/set"
joined "$work/installer-signed.exe" "${volumes[@]}" >"$seeds/disk_folders_seeds/set-signed"

for d in 1 2 3; do
    files=("$work/set/disk$d/"*)
    small_image "$work/disk$d.img" "WARDHAVEN $d" "${files[@]}"
done
joined "$work/disk1.img" "$work/disk2.img" "$work/disk3.img" >"$seeds/disk_images_seeds/images"

# The signed program cut to its headers, no sections, its certificate table
# entry pointing among them (at the entry itself, to the headers' end): a
# file no reader may take for signed, whatever SizeOfHeaders says.
python3 - "$work/bare-signed.exe" "$work/overlapping-certificates" <<'PY'
import struct, sys
data = bytearray(open(sys.argv[1], 'rb').read())
pe = struct.unpack_from('<I', data, 0x3C)[0]
opt = pe + 24
headers = struct.unpack_from('<I', data, opt + 60)[0]
out = data[:headers]
struct.pack_into('<H', out, pe + 6, 0)
start = (opt + 128) & ~7
struct.pack_into('<II', out, opt + 128, start, headers - start)
open(sys.argv[2], 'wb').write(out)
PY
cp "$work/overlapping-certificates" "$seeds/executable_seeds/"
cp "$work/overlapping-certificates" "$seeds/build_seeds/"
cp "$work/Setup.exe" "$seeds/build_seeds/bare"
cp "$work/bare-signed.exe" "$seeds/build_seeds/bare-signed"
cp "$installer" "$seeds/build_seeds/installer"
cp "$work/installer-signed.exe" "$seeds/build_seeds/installer-signed"
