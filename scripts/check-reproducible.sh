#!/usr/bin/env bash
# Proves that the Win32 build is reproducible: builds Setup.exe and the sample
# programs twice, in two fresh folders of different path lengths, and makes a
# disk set from each; every executable and every file of the two disk sets
# must be byte for byte the same.
#   scripts/check-reproducible.sh [NATIVE_BUILD]
# NATIVE_BUILD holds the wardpack that makes the disk sets (default: the native
# tree of scripts/build.sh, under WH_BUILD or build/); it is not rebuilt here.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
native=${1:-${WH_BUILD:-$root/build}/native}
jobs=${WH_JOBS:-$(nproc)}
[ -x "$native/tools/wardpack" ] || { echo "check-reproducible: missing $native/tools/wardpack (run scripts/build.sh first)" >&2; exit 1; }
native=$(cd "$native" && pwd)

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
one=$tmp/a two=$tmp/second-build-in-a-longer-folder-name

build() {
    if ! { cmake -S "$root" -B "$1" -DCMAKE_BUILD_TYPE=Release \
                 -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" &&
           cmake --build "$1" -j "$jobs" --target Setup sample_main sample_taskman sample_uninstal; } >"$1.log" 2>&1; then
        tail -n 30 "$1.log" >&2
        echo "check-reproducible: the build in $1 failed" >&2
        exit 1
    fi
}

differences=0
same() {
    if [ ! -f "$1" ] || [ ! -f "$2" ]; then
        echo "check-reproducible: $3 is in one build only" >&2
    elif ! cmp -s "$1" "$2"; then
        echo "check-reproducible: $3 differs (offset, then the two bytes in octal):" >&2
        cmp -l "$1" "$2" 2>&1 | head -n 10 >&2 || true
    else
        return 0
    fi
    differences=$((differences + 1))
}

build "$one"
build "$two"
programs=(setup/Setup.exe sample/Wardhavn.Exe sample/TaskMan.Exe sample/UnInstal.Exe)
for f in "${programs[@]}"; do same "$one/$f" "$two/$f" "$f"; done

for b in "$one" "$two"; do
    "$root/scripts/make-diskset.sh" "$native" "$b" "$b.set" >"$b.set.log" 2>&1 ||
        { tail -n 30 "$b.set.log" >&2; echo "check-reproducible: making the disk set of $b failed" >&2; exit 1; }
done
files=$( { (cd "$one.set" && find . -type f); (cd "$two.set" && find . -type f); } | sort -u)
while IFS= read -r f; do
    same "$one.set/$f" "$two.set/$f" "disk set file ${f#./}"
done <<<"$files"

elapsed="$((SECONDS / 60))m $((SECONDS % 60))s"
if [ $differences -gt 0 ]; then
    echo "check-reproducible: $differences files differ between the two builds ($elapsed)" >&2
    exit 1
fi
echo "check-reproducible: ${#programs[@]} programs and $(wc -l <<<"$files") disk set files identical in both builds ($elapsed)"
