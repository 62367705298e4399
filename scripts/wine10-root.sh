#!/usr/bin/env bash
# The second Wine: Wine 10 from Debian 13, in a root of its own under the build
# tree, made once and reused. The same build tree runs there: the project's
# folder (and WH_BUILD, when elsewhere) and /tmp are bound at their own paths.
#   wine10-root.sh make          makes the root when it is missing (as root)
#   wine10-root.sh run CMD...    runs CMD inside it, in the caller's folder
#   wine10-root.sh stop          ends what holds the root's mounts
#   wine10-root.sh release       the same, once nothing else runs in there
#   wine10-root.sh ready         exit status 0 when the root is made
# WH_WINE10_ROOT puts the root elsewhere (default $WH_BUILD/wine10/root).
#
# The mounts live in a mount namespace of their own, held by one sleeping
# process, and every run enters it: a Wine server started by one run sees a
# drive a later run mounts, and the host never sees the mounts, so removing the
# build tree never reaches through them.
set -euo pipefail
wh_root=$(cd "$(dirname "$0")/.." && pwd)
: "${WH_BUILD:=$wh_root/build}"
: "${WH_WINE10_ROOT:=$WH_BUILD/wine10/root}"
root=$WH_WINE10_ROOT
ready="$root/.wh-root-ready"
holder_pid="$root.holder"
suite=trixie

# What the scenarios use inside: Wine (both loaders), a display, pgrep, mount
# for the small drives, and the Japanese locale.
packages=(wine wine32:i386 wine64 fonts-wine xvfb procps mount locales)

mirror() {
    # The host's own Debian mirror, as its apt sources name it.
    local uri
    uri=$(cat /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources 2>/dev/null |
          grep -v '^\s*#' | grep -oE '(https?|ftp)://[^ ]*/debian/?( |$)' | grep -v security | head -n 1 | tr -d ' ')
    echo "${uri:-http://deb.debian.org/debian}"
}

# in_namespace CMD...: CMD in a private mount namespace with /proc, /dev, /sys,
# /tmp and the project bound into the root; the mounts go with the namespace.
bind_script='
    set -e
    root=$1; shift
    mount -t proc proc "$root/proc"
    mount --rbind /dev "$root/dev"
    mount --rbind /sys "$root/sys"
    mount --bind /tmp "$root/tmp"
    while [ "$1" != -- ]; do mkdir -p "$root$1"; mount --bind "$1" "$root$1"; shift; done
    shift
    exec chroot "$root" "$@"'
in_namespace() {
    local binds=("$wh_root")
    case $WH_BUILD in "$wh_root"|"$wh_root"/*) ;; *) binds+=("$WH_BUILD") ;; esac
    unshare --mount --propagation private -- sh -c "$bind_script" sh "$root" "${binds[@]}" -- "$@"
}

make_root() {
    [ -f "$ready" ] && return
    if [ "$(id -u)" -ne 0 ]; then
        echo "The Wine 10 root ($root) is made as root, with:" >&2
        echo "  apt-get install debootstrap && WH_BUILD=$WH_BUILD $0 make" >&2
        return 1
    fi
    # A root left half made is made again from the start.
    stop_holder
    rm -rf --one-file-system "$root"
    mkdir -p "$(dirname "$root")"
    debootstrap --variant=minbase "$suite" "$root" "$(mirror)"
    printf '#!/bin/sh\nexit 101\n' >"$root/usr/sbin/policy-rc.d"
    chmod +x "$root/usr/sbin/policy-rc.d"
    # The locales the host runs Wine under, and Japanese for code page 932.
    { grep -E '^[^#].*UTF-8' /etc/locale.gen 2>/dev/null || true; echo 'ja_JP.UTF-8 UTF-8'; } | sort -u \
        >"$root/etc/locale.gen"
    in_namespace sh -ec '
        dpkg --add-architecture i386
        for try in 1 2 3; do apt-get update -q && break; sleep $((10 * try)); done
        DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "$@"
        apt-get clean
        locale-gen' sh "${packages[@]}"
    touch "$ready"
}

holder_alive() {
    local pid
    pid=$(cat "$holder_pid" 2>/dev/null) || return 1
    [ -n "$pid" ] && { tr '\0' '\n' <"/proc/$pid/environ"; } 2>/dev/null | grep -qxF "WH_WINE10_HOLDER=$root"
}

start_holder() {
    holder_alive && return
    [ -f "$ready" ] || { echo "wine10-root: no Wine 10 root in $root (make it with: $0 make)" >&2; return 1; }
    [ "$(id -u)" -eq 0 ] || { echo "wine10-root: entering the Wine 10 root needs root" >&2; return 1; }
    # Detached, with no inherited descriptors: a test runner waits for its pipes to close.
    WH_WINE10_HOLDER=$root setsid sh -c 'echo $$ >"$1"; shift; exec "$@"' sh "$holder_pid" \
        unshare --mount --propagation private -- sh -c "$bind_script" sh "$root" "$wh_root" \
        $(case $WH_BUILD in "$wh_root"|"$wh_root"/*) ;; *) echo "$WH_BUILD" ;; esac) \
        -- sleep infinity </dev/null >/dev/null 2>&1 &
    local _
    for _ in $(seq 200); do
        if holder_alive && [ "$(cat "/proc/$(cat "$holder_pid")/comm" 2>/dev/null)" = sleep ]; then return; fi
        sleep 0.05
    done
    echo "wine10-root: the namespace holding the root's mounts did not start" >&2
    return 1
}

stop_holder() {
    holder_alive && kill "$(cat "$holder_pid")" 2>/dev/null
    rm -f "$holder_pid"
}

# Whether any process but the holder is in the holder's mount namespace.
namespace_busy() {
    local pid ns p
    pid=$(cat "$holder_pid") && ns=$(readlink "/proc/$pid/ns/mnt") || return 1
    for p in /proc/[0-9]*; do
        [ "${p#/proc/}" != "$pid" ] && [ "$(readlink "$p/ns/mnt" 2>/dev/null)" = "$ns" ] && return 0
    done
    return 1
}

case ${1:-} in
    make) make_root ;;
    ready) [ -f "$ready" ] ;;
    run)
        shift
        start_holder
        # Each run joins the namespace, in the caller's folder when the root has it.
        exec nsenter --target "$(cat "$holder_pid")" --mount --root -- /usr/bin/env -C / \
            /bin/sh -c 'cd "$1" 2>/dev/null || cd /; shift; exec "$@"' sh "$PWD" "$@"
        ;;
    stop) stop_holder ;;
    release)
        holder_alive || exit 0
        # A killed server's clients take a moment to go.
        for _ in $(seq 40); do namespace_busy || break; sleep 0.05; done
        namespace_busy || stop_holder
        ;;
    *) echo "usage: $0 make|ready|run CMD...|stop|release" >&2; exit 2 ;;
esac
