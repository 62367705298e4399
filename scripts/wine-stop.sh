#!/usr/bin/env bash
# Ends the Wine server and the private Xvfb of each given Wine folder (see
# wine-env.sh), so that a script leaves nothing running behind it.
#   wine-stop.sh WINE_DIR...
# With WH_WINE=10 it ends those of each folder's Wine 10 twin, and then what
# holds the Wine 10 root's mounts once nothing else runs in there.
here=$(cd "$(dirname "$0")" && pwd)
# Wine takes an absolute prefix only.
dirs=()
for dir in "$@"; do dirs+=("$(realpath -m "$dir")"); done
set -- "${dirs[@]}"
if [ "${WH_WINE:-8}" = 10 ] && [ ! -e /.wh-root-ready ]; then
    "$here/wine10-root.sh" ready 2>/dev/null && [ "$(id -u)" -eq 0 ] || exit 0
    dirs=()
    for dir in "$@"; do
        case $dir in */wine10/*) ;; *) dir="$(dirname "$dir")/wine10/$(basename "$dir")" ;; esac
        dirs+=("$dir")
    done
    "$here/wine10-root.sh" run "$here/wine-stop.sh" "${dirs[@]}"
    "$here/wine10-root.sh" release
    exit 0
fi
for dir in "$@"; do
    WINEPREFIX="$dir/prefix" wineserver -k >/dev/null 2>&1 || true
    if [ -f "$dir/xvfb.pid" ]; then
        kill "$(cat "$dir/xvfb.pid")" 2>/dev/null || true
        rm -f "$dir/xvfb.pid"
    fi
done
exit 0
