#!/usr/bin/env bash
# The fuzz targets for longer than the test run gives them: each for SECONDS,
# one after the other, keeping what they find in a corpus under the build
# tree, so that every run goes on from the last. An input that breaks a
# target is saved as crash-* (or leak-*, timeout-*) beside its corpus, with
# the whole output in last-run.log; the script then ends with status 1.
#   bench/fuzz_long.sh [SECONDS]       default 300 per target; uses $WH_BUILD (default build/)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${WH_BUILD:-$root/build}/native
seconds=${1:-300}

cmake --build "$build" --target lzh_decoder_fuzz table_fuzz fat12_fuzz -j "${WH_JOBS:-1}" >/dev/null

status=0
run() {
    local name=$1; shift
    local dir=$build/fuzz/$name
    mkdir -p "$dir/corpus"
    echo "$name: $seconds s, corpus $dir/corpus"
    if ! (cd "$dir" && "$build/tests/fuzz/$name" corpus "$@" -max_total_time="$seconds" -print_final_stats=1 \
            >"$dir/last-run.log" 2>&1); then
        status=1
        grep -E '^(SUMMARY|artifact_prefix)' "$dir/last-run.log" || true
    fi
    grep -E '^stat::(number_of_executed_units|average_exec_per_sec)' "$dir/last-run.log" || true
}

run lzh_decoder_fuzz -max_len=4096
run table_fuzz "$root/tests/fuzz/table_seeds" -max_len=1024 -dict="$root/tests/fuzz/table.dict"
run fat12_fuzz "$root/tests/fuzz/fat12_seeds" -max_len=8192
exit $status
