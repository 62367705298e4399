#!/usr/bin/env bash
# Ends the Wine server and the private Xvfb of each given Wine folder (see
# wine-env.sh), so that a script leaves nothing running behind it.
#   wine-stop.sh WINE_DIR...
for dir in "$@"; do
    WINEPREFIX="$dir/prefix" wineserver -k >/dev/null 2>&1 || true
    if [ -f "$dir/xvfb.pid" ]; then
        kill "$(cat "$dir/xvfb.pid")" 2>/dev/null || true
        rm -f "$dir/xvfb.pid"
    fi
done
exit 0
