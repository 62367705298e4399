#!/usr/bin/env bash
# Reads the files of a disk set's floppy images back, as copying the three
# floppies would:
#   scripts/extract-images.sh DISKSET OUT
# copies every file of DISKSET/disk1.img .. disk3.img into OUT/disk1 .. disk3
# with mtools (mcopy); OUT's disk folders are emptied first.
set -euo pipefail

if [ $# -ne 2 ]; then
    echo "usage: $0 DISKSET OUT" >&2
    exit 2
fi
set_dir=$1 out=$2
for d in 1 2 3; do
    image="$set_dir/disk$d.img"
    [ -f "$image" ] || { echo "extract-images: missing $image (make-diskset.sh makes it)" >&2; exit 1; }
    rm -rf "$out/disk$d"; mkdir -p "$out/disk$d"
    mcopy -s -n -i "$image" '::*' "$out/disk$d/"
done
