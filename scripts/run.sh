#!/usr/bin/env bash
# The main job: builds the installer and the sample three-disk set with its
# floppy images, then runs the installer on it under Wine from drive A:. The
# disks are the images' files, read back with mtools into build/run/images.
#  - With a display (DISPLAY set) the installer is shown for a person to use;
#    the three disks' files lie together in drive A:, so no disk is asked for.
#  - Without one it runs headless under Xvfb, driven page by page as a person
#    would (drive A: emptied and the next disk's files put in when asked), with
#    a screenshot of every page saved in build/screenshots.
# WH_FAMILY=win98 makes Wine report the Windows 95 family to the installer.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
export WH_BUILD=${WH_BUILD:-$root/build}
build=$WH_BUILD

"$root/scripts/build.sh"

diskset="$build/diskset"
if [ -x "$root/scripts/make-diskset.sh" ]; then
    "$root/scripts/make-diskset.sh" "$build/native" "$build/win32" "$diskset"
    disks="$build/run/images"
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

if [ $interactive = 1 ]; then
    cp "$disks"/disk*/* "$floppy/"
    echo "Starting the installer on $DISPLAY..."
    wh_wine 'A:\Setup.exe' || true
else
    shots="$build/screenshots"
    rm -rf "$shots"; mkdir -p "$shots"
    cp "$disks/disk1/"* "$floppy/"
    echo "Running the installer headless (display $DISPLAY); screenshots in $shots"
    trap wh_stop_wine EXIT
    status=0
    wh_wine "$build/win32/tests/wine/demo_install.exe" 'A:\Setup.exe' "$(winpath "$disks")" "$shots" || status=$?
    for shot in "$shots"/*.bmp; do
        [ -e "$shot" ] && convert "$shot" "${shot%.bmp}.png" && rm -f "$shot"
    done
    ls "$shots"
    dir=$(installed)
    if [ -n "$dir" ]; then
        echo "Installed in C:\\Program Files\\$(basename "$dir"):"
        ls -l "$dir"
    fi
    exit $status
fi
