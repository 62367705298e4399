#!/usr/bin/env bash
# The main job: builds the installer and the sample three-disk set with its
# floppy images, then runs the installer on it under Wine from drive A:. The
# disks are the images' files, read back with mtools into build/run/images.
#  - With a display (DISPLAY set) the installer is shown for a person to use;
#    the three disks' files lie together in drive A:, so no disk is asked for.
#  - Without one it runs headless under Xvfb, driven page by page as a person
#    would (drive A: emptied and the next disk's files put in when asked), with
#    a screenshot of every page saved in build/screenshots, and all of them on
#    one contact sheet there, contact-sheet.png.
# WH_FAMILY=win98 makes Wine report the Windows 95 family to the installer.
# It prints its steps and results; the tools' and Wine's own output goes to
# logs in build/logs, shown when something fails.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
export WH_BUILD=${WH_BUILD:-$root/build}
build=$WH_BUILD
. "$root/scripts/steps.sh"

"$root/scripts/build.sh"

diskset="$build/diskset"
if [ -x "$root/scripts/make-diskset.sh" ]; then
    wh_step "Making the sample's three disks and their floppy images" diskset \
        "$root/scripts/make-diskset.sh" "$build/native" "$build/win32" "$diskset"
    disks="$build/run/images"
    wh_step "Reading the disks' files back from the images with mtools" images \
        "$root/scripts/extract-images.sh" "$diskset" "$disks"
else
    # No packaging tool yet: the installer alone, without volumes.
    rm -rf "$diskset"; mkdir -p "$diskset/disk1" "$diskset/disk2" "$diskset/disk3"
    cp "$build/win32/setup/Setup.exe" "$diskset/disk1/"
    disks="$diskset"
fi

interactive=0
[ -n "${DISPLAY:-}" ] && interactive=1
export WH_USE_DISPLAY=$interactive WH_WINE_DIR="$build/run/wine"
. "$root/scripts/wine-env.sh"

# Drive A: is a folder of ours; a fresh installation each time.
floppy="$build/run/floppy"
rm -rf "$floppy"; mkdir -p "$floppy"
ln -sfn "$floppy" "$WINEPREFIX/dosdevices/a:"
# Windows names are case-blind: the destination box types the default in capitals.
installed() { find "$WINEPREFIX/drive_c/Program Files" -maxdepth 1 -iname wardhaven; }
installed | xargs -r -d '\n' rm -rf
find "$WINEPREFIX/drive_c/windows" -maxdepth 1 \( -iname wininit.ini -o -iname wininit.bak \) -delete
winpath() { echo "Z:${1//\//\\}"; }

# Wine's own messages, kept for when the installation goes wrong.
wine_log="$wh_logs/wine.log"
: >"$wine_log"

if [ $interactive = 1 ]; then
    cp "$disks"/disk*/* "$floppy/"
    echo "Starting the installer on $DISPLAY..."
    wh_wine 'A:\Setup.exe' 2>>"$wine_log" || true
else
    shots="$build/screenshots"
    rm -rf "$shots"; mkdir -p "$shots"
    cp "$disks/disk1/"* "$floppy/"
    echo "Installing the sample headless (Xvfb display $DISPLAY), page by page:"
    trap wh_stop_wine EXIT
    status=0
    wh_wine "$build/win32/tests/wine/demo_install.exe" 'A:\Setup.exe' "$(winpath "$disks")" "$shots" \
        2>>"$wine_log" || status=$?
    if [ $status -ne 0 ]; then
        echo "The installation did not finish (exit code $status). Wine's messages ($wine_log):" >&2
        tail -n 40 "$wine_log" | sed 's/^/    /' >&2
    fi
    make_pictures() {
        local shot
        for shot in "$shots"/*.bmp; do
            if [ -e "$shot" ]; then convert "$shot" "${shot%.bmp}.png" && rm -f "$shot" || return; fi
        done
        # Pillow comes with Debian's python3-pil, for the system interpreter.
        local python=${PYTHON:-python3}
        "$python" -c 'import PIL' 2>/dev/null || python=/usr/bin/python3
        "$python" "$root/scripts/contact-sheet.py" "$shots"
    }
    wh_step "Making the contact sheet" pictures make_pictures || status=1
    count=$(find "$shots" -name '[0-9]*.png' | wc -l)
    echo "Screenshots: $count in $shots, all on one sheet: $shots/contact-sheet.png"
    dir=$(installed)
    if [ -n "$dir" ]; then
        echo "Installed: $(find "$dir" -type f | wc -l) files in C:\\Program Files\\$(basename "$dir")" \
             "($dir)"
    fi
    exit $status
fi
