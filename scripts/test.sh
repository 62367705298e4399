#!/usr/bin/env bash
# Runs every test: the native unit tests, then the Wine scenarios of the Win32
# build (both Windows families) and its platform checks (tests/platform).
# Installs what is missing first (see deps.sh).
# Screenshots of failing scenarios land in build/test-shots as PNG files.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
export WH_BUILD=${WH_BUILD:-$root/build}
build=$WH_BUILD

"$root/scripts/build.sh" || { echo "0 passed, 1 failed"; exit 1; }

export WH_SHOTS="$build/test-shots"
rm -rf "$WH_SHOTS"; mkdir -p "$WH_SHOTS"

# Nothing stays running after the tests: servers and displays are ended.
stop_wine() {
    "$root/scripts/wine-stop.sh" "$build/win32/wine" "$build/win32/wine800" "$build/win32/wine320" \
        "$build/win32/wine-restart" "$build/win32/wine64"
}
trap stop_wine EXIT

# Make the Wine prefixes and displays now, not inside a test's time limit.
for dir in wine wine800 wine320 wine-restart wine64; do
    screen=1024x768x24; [ $dir = wine800 ] && screen=800x600x24; [ $dir = wine320 ] && screen=320x200x24
    arch=win32; [ $dir = wine64 ] && arch=win64
    "$root/scripts/wine-exec.sh" --wine-dir "$build/win32/$dir" --screen $screen --arch $arch cmd /c exit \
        </dev/null >/dev/null 2>&1 || true
done

status=0
ctest --test-dir "$build/native" --output-on-failure -j "$(nproc)" 2>&1 | tee "$build/native-tests.log" || status=1
# One at a time: the scenarios share the prefix's WinInit.Ini and registry.
ctest --test-dir "$build/win32" --output-on-failure 2>&1 | tee "$build/win32-tests.log" || status=1

for shot in "$WH_SHOTS"/*.bmp; do
    [ -e "$shot" ] && convert "$shot" "${shot%.bmp}.png" && rm -f "$shot"
done
[ -n "$(ls -A "$WH_SHOTS")" ] && echo "Screenshots: $WH_SHOTS"

# One closing line for both runs.
count() { sed -n 's/.*tests passed, \([0-9]*\) tests\{0,1\} failed out of \([0-9]*\).*/\1 \2/p' "$1" | tail -1; }
read -r f1 t1 <<<"$(count "$build/native-tests.log")"
read -r f2 t2 <<<"$(count "$build/win32-tests.log")"
failed=$(( ${f1:-0} + ${f2:-0} )); total=$(( ${t1:-0} + ${t2:-0} ))
[ "$failed" -gt 0 ] && status=1
echo
echo "$(( total - failed )) passed, $failed failed"
exit $status
