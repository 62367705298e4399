#!/usr/bin/env bash
# Runs one Win32 program under this project's Wine (see wine-env.sh); the test
# runner uses it for every test of the Win32 build.
#   wine-exec.sh [--wine-dir DIR] [--screen WxHxD] [--arch win32|win64] PROGRAM [ARGS...]
set -eo pipefail
while [ $# -gt 0 ]; do
    case "$1" in
        # Wine wants an absolute prefix; a relative one would also move with each cd.
        --wine-dir) mkdir -p "$2"; export WH_WINE_DIR=$(cd "$2" && pwd); shift 2 ;;
        --screen) export WH_SCREEN=$2; shift 2 ;;
        --arch) export WH_WINEARCH=$2; shift 2 ;;
        *) break ;;
    esac
done
# Wine 10 runs inside its own root: this script again, in there.
if [ "${WH_WINE:-8}" = 10 ] && [ ! -e /.wh-root-ready ]; then
    here=$(cd "$(dirname "$0")" && pwd)
    exec "$here/wine10-root.sh" run "$here/wine-exec.sh" "$@"
fi
. "$(dirname "$0")/wine-env.sh"
exec taskset -c 0 wine "$@"
