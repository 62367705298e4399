#!/usr/bin/env bash
# Explores whole runs of Setup and the uninstaller under Wine, generated from
# seeds and checked against a model (tests/wine/explorer_test.cpp): prints
# every run as its seed and steps, each failure cut to its fewest steps as a
# row for the table of found runs, and closes with the runs, steps and findings.
#   scripts/explore.sh [--family nt|win98|wow64] [--seed S] [--minutes N] [--run ROW] [--verbose]
#                      [--setup FILE]
# --setup explores another build's Setup.exe (a host path) in place of this tree's.
# Builds first when needed (scripts/build.sh). The exit status is 1 when a run failed.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
export WH_BUILD=${WH_BUILD:-$root/build}
family=nt seed=$(date +%s) minutes=30 row="" verbose=""
while [ $# -gt 0 ]; do
    case "$1" in
        --family) family=$2; shift 2 ;;
        --seed) seed=$2; shift 2 ;;
        --minutes) minutes=$2; shift 2 ;;
        --run) row=$2; shift 2 ;;
        --verbose) verbose=1; shift ;;
        --setup) export WH_EXPLORE_SETUP="Z:$(realpath "$2" | tr / '\\')"; shift 2 ;;
        *) echo "usage: $0 [--family nt|win98|wow64] [--seed S] [--minutes N] [--run ROW] [--verbose]" >&2; exit 1 ;;
    esac
done
# A prefix of each family's own: the families explore side by side, and
# beside the test command's prefixes.
case $family in
    nt|win98) dir=wine-explore-$family arch=win32 ;;
    wow64) dir=wine-explore-wow64 arch=win64 ;;
    *) echo "unknown family: $family (nt, win98 or wow64)" >&2; exit 1 ;;
esac
# A replay has a prefix of its own too: it may run while that family explores.
[ -n "$row" ] && dir=$dir-replay
explorer="$WH_BUILD/win32/tests/wine/explorer_scenarios.exe"
[ -f "$explorer" ] || "$root/scripts/build.sh"
export WH_SHOTS="$WH_BUILD/test-shots"
mkdir -p "$WH_SHOTS"
if [ -n "$row" ]; then echo "Replaying in the $family family"
else echo "Exploring in the $family family for $minutes minutes from seed $seed"; fi
export WH_EXPLORE_SEED=$seed WH_EXPLORE_MINUTES=$minutes WH_EXPLORE_RUN=$row WH_EXPLORE_VERBOSE=$verbose
[ -n "$row" ] || unset WH_EXPLORE_RUN
[ -n "$verbose" ] || unset WH_EXPLORE_VERBOSE
set +e
"$root/scripts/wine-exec.sh" --wine-dir "$WH_BUILD/win32/$dir" --arch $arch "$explorer" \
    --gtest_also_run_disabled_tests "--gtest_filter=Families/Explorer.DISABLED_Explore/$family" 2>/dev/null |
    stdbuf -oL tr -d '\r' | grep --line-buffered -v '^\[\|^Running main\|^Note: Google\|^$'
status=${PIPESTATUS[0]}
"$root/scripts/wine-stop.sh" "$WH_BUILD/win32/$dir" >/dev/null 2>&1 || true
exit $status
