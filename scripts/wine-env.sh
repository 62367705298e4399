# Sourced by the scripts that run Win32 programs. Makes this project's Wine
# ready and exports its environment:
#   - a prefix under the build tree, made once and reused: 32-bit, or with
#     WH_WINEARCH=win64 a 64-bit one whose 32-bit programs run under WOW64;
#   - drive D: of the prefix, a folder beside it (WH_WINE_DIR/drive_d);
#   - an X display: the caller's DISPLAY when WH_USE_DISPLAY=1, otherwise a
#     private Xvfb (screen WH_SCREEN, default 1024x768x24) kept running
#     between calls, so headless runs and screenshots work everywhere;
#   - a persistent wineserver pinned to CPU 0 (every Wine call here is pinned
#     there too: a server round trip then costs a third as much).
# WH_WINE_DIR picks another prefix/display pair (default $WH_BUILD/wine).
# WH_WINE=10 runs Wine 10 (Debian 13's, in the root of wine10-root.sh) in place
# of the system's Wine 8: every Wine folder DIR then has a twin of its own,
# wine10/DIR beside it, since Wine 10 upgrades a prefix that it starts in.

wh_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
: "${WH_BUILD:=$wh_root/build}"
: "${WH_WINE_DIR:=$WH_BUILD/wine}"
: "${WH_SCREEN:=1024x768x24}"
: "${WH_WINEARCH:=win32}"
: "${WH_WINE:=8}"
case $WH_WINE in
    8) ;;
    10) case $WH_WINE_DIR in */wine10/*) ;; *) WH_WINE_DIR="$(dirname "$WH_WINE_DIR")/wine10/$(basename "$WH_WINE_DIR")" ;; esac ;;
    *) echo "WH_WINE is 8 (the system's Wine) or 10, not $WH_WINE" >&2; return 2 ;;
esac
export WH_WINE WH_WINE_DIR WH_BUILD
mkdir -p "$WH_WINE_DIR/home" "$WH_WINE_DIR/drive_d"
export WINEDEBUG=-all
export WINEPREFIX="$WH_WINE_DIR/prefix" HOME="$WH_WINE_DIR/home"
export WINEDLLOVERRIDES="winemenubuilder.exe=d;winebrowser.exe=d"
export XDG_DATA_HOME="$WH_WINE_DIR/home/.local/share" XDG_CONFIG_HOME="$WH_WINE_DIR/home/.config"

wh_pin() { if command -v taskset >/dev/null; then taskset -c 0 "$@"; else "$@"; fi; }

# Wine 10 from the host: the prefix, display and server are made ready inside
# the root (this same file, sourced there), and every Wine call goes in there.
if [ "$WH_WINE" = 10 ] && [ ! -e /.wh-root-ready ]; then
    # The user's display, when it is used, through its authority file.
    if [ "${WH_USE_DISPLAY:-0}" = 1 ] && [ -f "${XAUTHORITY:-}" ]; then
        cp "$XAUTHORITY" "$WH_WINE_DIR/xauthority"
        export XAUTHORITY="$WH_WINE_DIR/xauthority"
    fi
    "$wh_root/scripts/wine10-root.sh" run bash -c '. "$1"' bash "$wh_root/scripts/wine-env.sh" || return
    [ -f "$WH_WINE_DIR/xvfb.display" ] && [ "${WH_USE_DISPLAY:-0}" != 1 ] && export DISPLAY=$(cat "$WH_WINE_DIR/xvfb.display")
    wh_wine() { wh_pin "$wh_root/scripts/wine10-root.sh" run wine "$@"; }
    wh_stop_wine() { "$wh_root/scripts/wine-stop.sh" "$WH_WINE_DIR"; }
    return 0
fi

wh_start_xvfb() {
    local pidfile="$WH_WINE_DIR/xvfb.pid" dispfile="$WH_WINE_DIR/xvfb.display"
    if [ -f "$pidfile" ] && kill -0 "$(cat "$pidfile")" 2>/dev/null; then
        export DISPLAY=$(cat "$dispfile")
        return
    fi
    # A display number of our own, derived from the prefix path so that two
    # build trees on one machine do not meet.
    local n=$(( 100 + $(printf '%s' "$WH_WINE_DIR" | cksum | cut -d' ' -f1) % 400 ))
    while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
    # No inherited descriptors: a test runner waits for its pipes to close.
    Xvfb ":$n" -screen 0 "$WH_SCREEN" -nolisten tcp </dev/null >"$WH_WINE_DIR/xvfb.log" 2>&1 &
    echo $! >"$pidfile"
    echo ":$n" >"$dispfile"
    export DISPLAY=":$n"
    for _ in $(seq 100); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.05; done
}

if [ "${WH_USE_DISPLAY:-0}" != 1 ] || [ -z "${DISPLAY:-}" ]; then
    wh_start_xvfb
fi

# A 64-bit prefix is made by the 64-bit loader (Debian keeps it off the PATH);
# either loader then runs 32-bit programs in it.
wh_boot_loader=wine
if [ "$WH_WINEARCH" = win64 ]; then
    wh_boot_loader=$(command -v wine64 || echo /usr/lib/wine/wine64)
fi

if [ ! -f "$WINEPREFIX/.wh-ready" ]; then
    echo "Creating the Wine prefix in $WINEPREFIX (once)..." >&2
    WINEARCH=$WH_WINEARCH wh_pin "$wh_boot_loader" wineboot -i </dev/null >/dev/null 2>&1
    wineserver -w
    # Wine draws the captions itself: there is no window manager.
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
    cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
    wineserver -w
    touch "$WINEPREFIX/.wh-ready"
fi
# Nor is there a person's pointer to confine: Windows never confines it to a
# window that covers the screen; Wine 10 does, and on this display a page
# larger than the screen then has it released and confined again without end,
# the installer's thread never getting to its messages.
if [ ! -f "$WINEPREFIX/.wh-pointer-free" ]; then
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v GrabPointer /d N /f >/dev/null 2>&1
    touch "$WINEPREFIX/.wh-pointer-free"
fi
# Drive D: is this prefix's own: scenarios install onto a second volume there.
ln -sfn ../../drive_d "$WINEPREFIX/dosdevices/d:"

wh_server_running() {
    local p
    for p in $(pgrep -x 'wineserver(32|64)?'); do
        # A server may end between pgrep and the read: the shell's own complaint is hushed too.
        { tr '\0' '\n' <"/proc/$p/environ"; } 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX" && return 0
    done
    return 1
}

# Persistent: without it every call after a short pause starts the server cold,
# and a cold start also carries out pending WinInit.Ini renames.
wh_fresh_session=1
wh_server_running && wh_fresh_session=0
wh_pin wineserver -p </dev/null >/dev/null 2>&1 || true
# The session's services outlive the program that starts them and keep its
# output open, so a test runner would wait for them: start them here, quietly.
if [ $wh_fresh_session = 1 ]; then
    wh_pin wine cmd /c exit >/dev/null 2>&1 || true
fi

wh_wine() { wh_pin wine "$@"; }

# Ends this prefix's server and our Xvfb.
wh_stop_wine() { "$wh_root/scripts/wine-stop.sh" "$WH_WINE_DIR"; }
