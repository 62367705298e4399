#!/usr/bin/env bash
# Installs the Debian packages the project needs, when they are missing.
# As root it installs them with apt-get (its output in build/logs/apt.log,
# shown when it fails); otherwise it prints the command.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

# debootstrap makes the root that the second Wine runs in (wine10-root.sh).
packages=(
    cmake make ninja-build g++ clang libclang-rt-14-dev
    googletest libgtest-dev libbenchmark-dev libcli11-dev
    g++-mingw-w64-i686 mingw-w64-i686-dev binutils-mingw-w64-i686
    wine wine32:i386 wine64 fonts-wine
    xvfb x11-utils xdotool imagemagick python3-pil
    dosfstools mtools hyperfine jq openssl osslsigncode locales groff-base debootstrap
)

# Wine takes its ANSI code page from the locale: the double-byte scenarios run
# under ja_JP.UTF-8 (code page 932), generated here when missing.
japanese_locale() {
    locale -a 2>/dev/null | grep -qix 'ja_JP\.utf-\?8' && return 0
    if [ "$(id -u)" -ne 0 ]; then
        echo "Missing locale ja_JP.UTF-8; generate it as root with:" >&2
        echo "  echo 'ja_JP.UTF-8 UTF-8' >>/etc/locale.gen && locale-gen" >&2
        return 1
    fi
    grep -qx 'ja_JP.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null || echo 'ja_JP.UTF-8 UTF-8' >>/etc/locale.gen
    locale-gen >/dev/null
}

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done
if [ ${#missing[@]} -eq 0 ]; then
    japanese_locale
    exit
fi

need_i386=0
for p in "${missing[@]}"; do [[ $p == *:i386 ]] && need_i386=1; done
cmd="apt-get install -y --no-install-recommends ${missing[*]}"
if [ "$(id -u)" -ne 0 ]; then
    echo "Missing packages: ${missing[*]}" >&2
    echo "Install them as root with:" >&2
    [ $need_i386 -eq 1 ] && echo "  dpkg --add-architecture i386 && apt-get update" >&2
    echo "  $cmd" >&2
    exit 1
fi
. "$root/scripts/steps.sh"
install_missing() {
    if [ $need_i386 -eq 1 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
        dpkg --add-architecture i386 || return
    fi
    # A mirror caught mid-sync fails an index now and then: try again, and go on
    # to the install with what was fetched, which fails only if a package is missing.
    local try
    for try in 1 2 3; do
        DEBIAN_FRONTEND=noninteractive apt-get update -q && break
        echo "apt-get update failed (try $try of 3)"
        sleep $((10 * try))
    done
    DEBIAN_FRONTEND=noninteractive $cmd && return
    # A stale security index for one architecture leaves i386 libraries without
    # the versions of their amd64 twins: install from the main suites alone.
    echo "Trying again without the security suite's index"
    local alt=$wh_logs/apt-sources
    rm -rf "$alt"; mkdir -p "$alt/parts"
    for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources; do
        [ -f "$f" ] || continue
        case $f in
            *.sources) awk -v RS= -v ORS='\n\n' '!/debian-security/' "$f" ;;
            *) grep -v debian-security "$f" || : ;;
        esac >"$alt/parts/$(basename "$f")"
    done
    mv "$alt/parts/sources.list" "$alt/sources.list" 2>/dev/null || : >"$alt/sources.list"
    DEBIAN_FRONTEND=noninteractive $cmd -o Dir::Etc::SourceList="$alt/sources.list" \
        -o Dir::Etc::SourceParts="$alt/parts"
}
echo "Missing Debian packages: ${missing[*]}"
wh_step "Installing them with apt-get" apt install_missing
japanese_locale
