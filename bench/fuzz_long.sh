#!/usr/bin/env bash
# The fuzz targets for longer than the test run gives them: each for SECONDS,
# one after the other, keeping what they find in a corpus under the build
# tree, so that every run goes on from the last. An input that breaks a
# target is saved as crash-* (or leak-*, timeout-*) beside its corpus, with
# the whole output in last-run.log; the script then ends with status 1. An
# input that takes longer than WH_FUZZ_TIMEOUT seconds (default 10) is a
# finding too, as timeout-*.
#   bench/fuzz_long.sh [SECONDS [TARGET...]]   default 300 per target, every target; uses $WH_BUILD (default build/)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${WH_BUILD:-$root/build}/native
seconds=${1:-300}
shift || true
timeout=${WH_FUZZ_TIMEOUT:-10}
fuzz=$root/tests/fuzz
all=(lzh_decoder_fuzz table_fuzz fat12_fuzz executable_fuzz record_fuzz disk_folders_fuzz disk_images_fuzz build_fuzz)
chosen=("${@:-${all[@]}}")

cmake --build "$build" --target "${chosen[@]}" -j "${WH_JOBS:-1}" >/dev/null

status=0
run() {
    local name=$1; shift
    [[ " ${chosen[*]} " == *" $name "* ]] || return 0
    local dir=$build/fuzz/$name
    mkdir -p "$dir/corpus"
    echo "$name: $seconds s, corpus $dir/corpus"
    if ! (cd "$dir" && "$build/tests/fuzz/bin/$name" corpus "$@" -max_total_time="$seconds" -timeout="$timeout" \
            -print_final_stats=1 \
            >"$dir/last-run.log" 2>&1); then
        status=1
        grep -E '^(SUMMARY|artifact_prefix)' "$dir/last-run.log" || true
    fi
    grep -E '^stat::(number_of_executed_units|average_exec_per_sec)' "$dir/last-run.log" || true
}

run lzh_decoder_fuzz -max_len=4096
run table_fuzz "$fuzz/table_seeds" -max_len=1024 -dict="$fuzz/table.dict"
run fat12_fuzz "$fuzz/fat12_seeds" -max_len=8192
run executable_fuzz "$fuzz/executable_seeds" -max_len=16384 -dict="$fuzz/executable.dict"
run record_fuzz "$fuzz/record_seeds" -max_len=1024 -dict="$fuzz/table.dict"
run disk_folders_fuzz "$fuzz/disk_folders_seeds" -max_len=32768 -dict="$fuzz/disk_set.dict"
run disk_images_fuzz "$fuzz/disk_images_seeds" -max_len=65536 -dict="$fuzz/disk_set.dict"
run build_fuzz "$fuzz/build_seeds" -max_len=16384 -dict="$fuzz/executable.dict"
exit $status
