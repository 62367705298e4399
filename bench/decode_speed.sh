#!/usr/bin/env bash
# Times `wardpack decode` as a whole process (start, read, decode, write)
# beside `gzip -dc` of `gzip -9` of the same bytes, in the same run, with
# hyperfine, on three products, and prints for each the medians of wall time,
# the mean CPU time (user + system) and their ratios:
#   corpus  the benchmark corpus (bench/corpus.cpp), COPIES copies
#   mixed   a literal-heavy product of real content (bench/mixed_product.sh)
#   sample  the sample product, its files in list order (scripts/make-diskset.sh)
# Figures only; nothing is asserted.
#   bench/decode_speed.sh [COPIES] [RUNS]   corpus copies (default 3, about
#                                           13 MB), runs per command (default 15)
# WH_PARSE=optimal codes the streams with the default parse instead of the
# classic greedy one; WH_BENCH_CPU=N pins both commands to CPU N (quieter
# figures on a shared machine). Uses $WH_BUILD (default build/); the mixed and
# sample products need the Win32 tree too (scripts/build.sh).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${WH_BUILD:-$root/build}
native=$build/native
copies=${1:-3}
runs=${2:-15}
parse=${WH_PARSE:-greedy}

command -v hyperfine >/dev/null || { echo "decode_speed.sh: hyperfine is missing (scripts/deps.sh)" >&2; exit 1; }
cmake --build "$native" --target wardpack write_corpus -j "${WH_JOBS:-1}" >/dev/null
pin=()
[ -n "${WH_BENCH_CPU:-}" ] && pin=(taskset -c "$WH_BENCH_CPU")

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$native/bench/write_corpus" "$work/one"
for ((i = 0; i < copies; ++i)); do cat "$work/one"; done >"$work/corpus"
"$root/bench/mixed_product.sh" "$work/mixed"
"$root/scripts/make-diskset.sh" "$native" "$build/win32" "$work/diskset" >"$work/diskset.log" 2>&1 ||
    { cat "$work/diskset.log" >&2; exit 1; }
grep -v '^#' "$root/sample/files.lst" | while read -r name; do
    [ -n "$name" ] && cat "$work/diskset/product/$name"
done >"$work/sample"

# One product: hyperfine's figures to $work/NAME.json. Both commands write a
# file beside their input, so both pay for the same kind of write.
time_product() {
    local name=$1 data=$work/$1 size
    size=$(stat -c %s "$data")
    "$native/tools/wardpack" -q encode --parse "$parse" "$data" "$data.lzh" >/dev/null
    gzip -9 -c "$data" >"$data.gz"
    "${pin[@]}" hyperfine --warmup 2 --runs "$runs" --export-json "$work/$name.json" \
        -n wardpack "$native/tools/wardpack -q decode --size $size $data.lzh $data.out-lzh" \
        -n gzip "gzip -dc $data.gz > $data.out-gz" >"$work/$name.log" 2>&1 ||
        { cat "$work/$name.log" >&2; exit 1; }
    cmp -s "$data" "$data.out-lzh" || { echo "decode_speed.sh: wardpack decoded different bytes ($name)" >&2; exit 1; }
    cmp -s "$data" "$data.out-gz" || { echo "decode_speed.sh: gzip decoded different bytes ($name)" >&2; exit 1; }
    echo "$name: $size bytes; lzh ($parse) $(stat -c %s "$data.lzh") ($(( $(stat -c %s "$data.lzh") * 100 / size )) %), gzip -9 $(stat -c %s "$data.gz")"
    jq -r '.results[] | "  \(.command): median \(.median * 10000 | round / 10) ms, CPU \((.user + .system) * 10000 | round / 10) ms"' \
        "$work/$name.json"
}

for name in corpus mixed sample; do time_product $name; done
# The ratio is gzip's time over ours: 1 is as fast as gzip -dc.
echo "wardpack decode speed as a fraction of gzip -dc's (wall medians; CPU means in brackets; goal 0.6 or more):"
for name in corpus mixed sample; do
    jq -r --arg name "$name" '.results as [$w, $g] |
        "  \($name): \($g.median / $w.median * 100 | round / 100) (CPU \(($g.user + $g.system) / ($w.user + $w.system) * 100 | round / 100))"' \
        "$work/$name.json"
done
