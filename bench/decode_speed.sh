#!/usr/bin/env bash
# Times `wardpack decode` as a whole process (start, read, decode, write)
# beside `gzip -dc` on the same data, in the same run, with hyperfine, and
# prints both medians and their ratio. Figures only; nothing is asserted.
#   bench/decode_speed.sh [COPIES] [RUNS]   corpus copies (default 3, about
#                                           13 MB), runs per command (default 15)
# Uses $WH_BUILD (default build/).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${WH_BUILD:-$root/build}/native
copies=${1:-3}
runs=${2:-15}

command -v hyperfine >/dev/null || { echo "decode_speed.sh: hyperfine is missing (scripts/deps.sh)" >&2; exit 1; }
cmake --build "$build" --target wardpack write_corpus -j "${WH_JOBS:-1}" >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$build/bench/write_corpus" "$work/one"
for ((i = 0; i < copies; ++i)); do cat "$work/one"; done >"$work/data"
size=$(stat -c %s "$work/data")
"$build/tools/wardpack" -q encode "$work/data" "$work/data.lzh" >/dev/null
gzip -9 -c "$work/data" >"$work/data.gz"

# Both write a file beside their input, so both pay for the same kind of write.
hyperfine --warmup 2 --runs "$runs" --export-json "$work/times.json" \
    -n wardpack "$build/tools/wardpack decode --size $size $work/data.lzh $work/out.lzh" \
    -n gzip "gzip -dc $work/data.gz > $work/out.gz" >/dev/null
cmp -s "$work/data" "$work/out.lzh" || { echo "decode_speed.sh: wardpack decoded different bytes" >&2; exit 1; }
cmp -s "$work/data" "$work/out.gz" || { echo "decode_speed.sh: gzip decoded different bytes" >&2; exit 1; }

echo "data $size bytes: lzh $(stat -c %s "$work/data.lzh"), gzip -9 $(stat -c %s "$work/data.gz")"
# Medians of wall time are the measure; the mean CPU time (user + system)
# beside them stays readable when other work shares the machine.
jq -r '.results[] | "\(.command): median \(.median * 10000 | round / 10) ms, CPU \((.user + .system) * 10000 | round / 10) ms"' \
    "$work/times.json"
jq -r '.results as [$w, $g] |
       "wardpack decode runs at \($g.median / $w.median * 100 | round) % of the speed of gzip -dc" +
       " (CPU: \(($g.user + $g.system) / ($w.user + $w.system) * 100 | round) %; goal: 50 % or more)"' "$work/times.json"
