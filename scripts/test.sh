#!/usr/bin/env bash
# Runs every test: the native unit tests, the platform checks of the Win32
# build (tests/platform), then its Wine scenarios (both Windows families) under
# the system's Wine 8 and again under Wine 10 (Debian 13's, in a root of its own
# under the build tree that wine10-root.sh makes once; as root only).
# Installs what is missing first (see deps.sh).
# Screenshots land in build/test-shots as PNG files (Wine 10's in wine10/):
# those a few scenarios take to show what they check, and one of every failing
# scenario.
# It shows how far each run has come, every failing test, and the counts; the
# runs' whole output is in build/logs/native-tests.log, platform-tests.log,
# win32-tests.log (Wine 8) and wine10-tests.log.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
export WH_BUILD=${WH_BUILD:-$root/build}
build=$WH_BUILD
. "$root/scripts/steps.sh"

"$root/scripts/build.sh" || { echo "0 passed, 1 failed"; exit 1; }

export WH_SHOTS="$build/test-shots"
rm -rf "$WH_SHOTS"; mkdir -p "$WH_SHOTS"

# Nothing stays running after the tests: servers and displays are ended, each
# Wine folder's and its Wine 10 twin's.
stop_wine() {
    local dir dirs=() dirs10=()
    for dir in "$build"/win32/wine*; do [ -d "$dir/prefix" ] && dirs+=("$dir"); done
    for dir in "$build"/win32/wine10/*; do [ -d "$dir/prefix" ] && dirs10+=("$dir"); done
    [ ${#dirs[@]} -eq 0 ] || "$root/scripts/wine-stop.sh" "${dirs[@]}"
    [ ${#dirs10[@]} -eq 0 ] || WH_WINE=10 "$root/scripts/wine-stop.sh" "${dirs10[@]}"
}
trap stop_wine EXIT

# Make the Wine prefixes and displays now, not inside a test's time limit (with
# WH_WINE=10, Wine 10's own).
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

count() { sed -n 's/.*tests passed, \([0-9]*\) tests\{0,1\} failed out of \([0-9]*\).*/\1 \2/p' "$1" | tail -1; }
# The Wine scenarios of one Wine: one at a time, since they share a prefix's
# WinInit.Ini and registry. A scenario drives windows under Wine against the
# clock of a loaded machine: one that fails is run once more, and the summary
# names it if it then passes. Its count and time are kept for the end.
wine_pass() {
    local name=${1:-Wine} log=$2 start=$SECONDS failed total
    rm -f "$log"
    run_tests "Wine scenarios under $name" "$log" --test-dir "$build/win32" -L wine \
        --output-on-failure --repeat until-pass:2 || status=1
    read -r failed total <<<"$(count "$log")"
    if [ -z "$total" ]; then
        wine_counts+=("$name: no scenario ran ($(( SECONDS - start )) s)")
    else
        wine_counts+=("$name: $(( total - failed )) of $total Wine scenarios passed, $failed failed ($(( SECONDS - start )) s)")
    fi
}
wine_version() { "$@" wine --version 2>/dev/null | sed -n 's/^wine-\([0-9.]*\).*/Wine \1/p'; }

status=0
wine_counts=()
run_tests "Unit tests (native)" "$wh_logs/native-tests.log" --test-dir "$build/native" --output-on-failure \
    -j "$(nproc)" || status=1
run_tests "Platform checks (Win32)" "$wh_logs/platform-tests.log" --test-dir "$build/win32" -LE wine \
    --output-on-failure || status=1
wine_pass "$(wine_version)" "$wh_logs/win32-tests.log"

# The same build tree's scenarios under Wine 10, in prefixes of their own.
logs=("$wh_logs/native-tests.log" "$wh_logs/platform-tests.log" "$wh_logs/win32-tests.log")
rm -f "$wh_logs/wine10-tests.log"
wine10_failed=0
if [ "$(id -u)" -ne 0 ]; then
    wine_counts+=("Wine 10: not run: its root is made and entered as root (run scripts/test.sh as root)")
elif wh_step "Making the Wine 10 root (once; Debian 13's Wine under $build/wine10)" wine10-root \
        "$root/scripts/wine10-root.sh" make &&
     WH_WINE=10 wh_step "Preparing the Wine 10 prefixes" wine10-prefixes prepare_wine; then
    WH_WINE=10 WH_SHOTS="$WH_SHOTS/wine10" wine_pass \
        "$(wine_version "$root/scripts/wine10-root.sh" run)" "$wh_logs/wine10-tests.log"
    logs+=("$wh_logs/wine10-tests.log")
else
    wine_counts+=("Wine 10: not run: its root or prefixes could not be made (see above)")
    wine10_failed=1
fi

for shot in "$WH_SHOTS"/*.bmp "$WH_SHOTS"/wine10/*.bmp; do
    [ -e "$shot" ] && convert "$shot" "${shot%.bmp}.png" && rm -f "$shot"
done
[ -n "$(ls -A "$WH_SHOTS")" ] && echo "Screenshots from the scenarios: $WH_SHOTS"

# One closing line for every run.
failed=$wine10_failed total=$wine10_failed
for log in "${logs[@]}"; do
    read -r f t <<<"$(count "$log")"
    failed=$(( failed + ${f:-0} )); total=$(( total + ${t:-0} ))
done
[ "$failed" -gt 0 ] && status=1
# What each failing check said, so that a run whose logs are gone (a CI
# machine's) still tells why: every failure's first lines, in order, those of
# a scenario that passed when run again too.
said=$(for log in "${logs[@]}"; do
           awk -v name="$(basename "$log")" '
               /: Failure$|^\[  FAILED  \] .*\(/ { left = /Failure$/ ? 8 : 1; if (!named++) print "  " name ":" }
               left > 0 && shown < 120 { print "    " $0; left--; shown++ }' "$log"
       done)
[ -n "$said" ] && printf 'What the failing checks said:\n%s\n' "$said"
[ "$failed" -gt 0 ] && echo "Each failing test's output: ${logs[*]}"
echo
printf '%s\n' "${wine_counts[@]}"
echo "$(( total - failed )) passed, $failed failed"
exit $status
