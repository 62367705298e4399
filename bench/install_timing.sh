#!/usr/bin/env bash
# Installs the sample disk set under Wine and reports the joining and the
# unpacking page's times beside a bare decode of the same archive and a loop
# of empty PeekMessageA calls, all in one prefix and one run (pinned to one
# CPU, as every Wine call of this project).
#   bench/install_timing.sh [--without-record]   uses $WH_BUILD (default build/)
# --without-record times the same set as an older build made it: no integrity
# record, so no checksum is computed while joining and unpacking.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
export WH_BUILD=${WH_BUILD:-$root/build}
set_dir=$WH_BUILD/sample-diskset

cmake --build "$WH_BUILD/native" --target wardpack -j "${WH_JOBS:-1}" >/dev/null
cmake --build "$WH_BUILD/win32" --target Setup wardpack install_timing sample_main sample_taskman sample_uninstal \
      -j "${WH_JOBS:-1}" >/dev/null
"$root/scripts/make-diskset.sh" "$WH_BUILD/native" "$WH_BUILD/win32" "$set_dir" >/dev/null
if [ "${1:-}" = --without-record ]; then
    # The record ends 12 bytes before the table: its length, then "WHRECORD".
    python3 - "$set_dir/disk1/Setup.exe" <<'PY'
import struct, sys
path = sys.argv[1]
data = open(path, "rb").read()
table = len(data) - (5 + 28 * data[-5])
assert data[table - 8:table] == b"WHRECORD", "no integrity record"
body = struct.unpack_from("<I", data, table - 12)[0]
open(path, "wb").write(data[:table - 12 - body] + data[table:])
PY
fi

# Leave nothing running: the prefix's server and its display.
stop_wine() { "$root/scripts/wine-stop.sh" "$WH_BUILD/wine"; }
trap stop_wine EXIT

winpath() { echo "Z:$1" | tr / '\\'; }
"$root/scripts/wine-exec.sh" "$WH_BUILD/win32/bench/install_timing.exe" \
    "$(winpath "$set_dir")" "$(winpath "$WH_BUILD/win32/tools/wardpack.exe")" </dev/null
