#!/usr/bin/env bash
# Runs every test: the native unit tests, then the Wine scenarios of the Win32
# build (both Windows families) and its platform checks (tests/platform).
# Installs what is missing first (see deps.sh).
# Screenshots land in build/test-shots as PNG files: those a few scenarios take
# to show what they check, and one of every failing scenario.
# It shows how far each run has come, every failing test, and the counts; the
# runs' whole output is in build/logs/native-tests.log and win32-tests.log.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
export WH_BUILD=${WH_BUILD:-$root/build}
build=$WH_BUILD
. "$root/scripts/steps.sh"

"$root/scripts/build.sh" || { echo "0 passed, 1 failed"; exit 1; }

export WH_SHOTS="$build/test-shots"
rm -rf "$WH_SHOTS"; mkdir -p "$WH_SHOTS"

# Nothing stays running after the tests: servers and displays are ended.
stop_wine() {
    "$root/scripts/wine-stop.sh" "$build/win32/wine" "$build/win32/wine800" "$build/win32/wine320" \
        "$build/win32/wine-restart" "$build/win32/wine64" "$build/win32/wine-ja"
}
trap stop_wine EXIT

# Make the Wine prefixes and displays now, not inside a test's time limit.
prepare_wine() {
    local dir screen arch
    for dir in wine wine800 wine320 wine-restart wine64; do
        screen=1024x768x24; [ $dir = wine800 ] && screen=800x600x24; [ $dir = wine320 ] && screen=320x200x24
        arch=win32; [ $dir = wine64 ] && arch=win64
        "$root/scripts/wine-exec.sh" --wine-dir "$build/win32/$dir" --screen $screen --arch $arch cmd /c exit || true
    done
    # Japanese Windows: code page 932 follows the locale.
    LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8 "$root/scripts/wine-exec.sh" --wine-dir "$build/win32/wine-ja" cmd /c exit || true
}
wh_step "Preparing the Wine prefixes" wine-prefixes prepare_wine

# run_tests LABEL LOG CTEST-OPTIONS...: the whole output goes to LOG; shown are
# the count so far (in place on a terminal, every tenth otherwise), each test
# that fails, those that passed only when run again, and ctest's summary line
# with the number skipped.
run_tests() {
    local label=$1 log=$2 tty=0
    shift 2
    [ -t 1 ] && tty=1
    echo "$label:"
    ctest "$@" 2>&1 | tee "$log" | awk -v tty=$tty '
        # A failure is shown once it is known not to pass when run again.
        function flush() {
            if (failure != "") printf "%s    %s\n", (tty ? "\r\033[K" : ""), failure
            failure = ""
        }
        # A second run of a test has no "n/N" before its name.
        / Test +#[0-9]+: / && $1 == "Test" {
            if (/ Passed +[0-9.]+ sec$/) { again = again "    passed when run again: " $3 "\n"; failure = "" }
            next
        }
        / Test +#[0-9]+: / {
            flush()
            split($1, n, "/")
            if (/\*\*\*(Skipped|Not Run \(Disabled\))/) skipped++
            else if (!/ Passed +[0-9.]+ sec$/) failure = $0
            if (tty) printf "\r    %d of %d", n[1], n[2]
            else if (int(10 * n[1] / n[2]) != shown) { shown = int(10 * n[1] / n[2]); printf "    %d of %d\n", n[1], n[2] }
            fflush()
        }
        /tests passed, .* failed out of/ { summary = $0 }
        END {
            flush()
            if (tty) printf "\r\033[K"
            printf "%s", again
            if (summary != "") print "    " summary (skipped ? " (" skipped " skipped or disabled)" : "")
        }'
}

status=0
run_tests "Unit tests (native)" "$wh_logs/native-tests.log" --test-dir "$build/native" --output-on-failure \
    -j "$(nproc)" || status=1
# One at a time: the scenarios share the prefix's WinInit.Ini and registry.
# A scenario drives windows under Wine against the clock of a loaded machine:
# one that fails is run once more, and the summary names it if it then passes.
run_tests "Wine scenarios and platform checks (Win32)" "$wh_logs/win32-tests.log" --test-dir "$build/win32" \
    --output-on-failure --repeat until-pass:2 || status=1

for shot in "$WH_SHOTS"/*.bmp; do
    [ -e "$shot" ] && convert "$shot" "${shot%.bmp}.png" && rm -f "$shot"
done
[ -n "$(ls -A "$WH_SHOTS")" ] && echo "Screenshots from the scenarios: $WH_SHOTS"

# One closing line for both runs.
count() { sed -n 's/.*tests passed, \([0-9]*\) tests\{0,1\} failed out of \([0-9]*\).*/\1 \2/p' "$1" | tail -1; }
read -r f1 t1 <<<"$(count "$wh_logs/native-tests.log")"
read -r f2 t2 <<<"$(count "$wh_logs/win32-tests.log")"
failed=$(( ${f1:-0} + ${f2:-0} )); total=$(( ${t1:-0} + ${t2:-0} ))
[ "$failed" -gt 0 ] && status=1
# What each failing check said, so that a run whose logs are gone (a CI
# machine's) still tells why: every failure's first lines, in order, those of
# a scenario that passed when run again too.
said=$(cat "$wh_logs/native-tests.log" "$wh_logs/win32-tests.log" | awk '
    /: Failure$|^\[  FAILED  \] .*\(/ { left = /Failure$/ ? 8 : 1 }
    left > 0 && shown < 120 { print "    " $0; left--; shown++ }')
[ -n "$said" ] && printf 'What the failing checks said:\n%s\n' "$said"
[ "$failed" -gt 0 ] && echo "Each failing test's output: $wh_logs/native-tests.log, $wh_logs/win32-tests.log"
echo
echo "$(( total - failed )) passed, $failed failed"
exit $status
