#!/bin/sh
# cmake --install puts wardpack and its manual page under a prefix; the page
# renders without a warning and names every command and option of the tool's
# own --help.
#   wardpack_install_check.sh BUILD
set -eu
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$1" --prefix "$prefix" >/dev/null
tool=$prefix/bin/wardpack page=$prefix/share/man/man1/wardpack.1
"$tool" --version
[ -f "$page" ] || { echo "no manual page at share/man/man1/wardpack.1"; exit 1; }
warnings=$(groff -man -Tutf8 -ww -z "$page" 2>&1)
[ -z "$warnings" ] || { echo "groff warns: $warnings"; exit 1; }
# Unhyphenated and on long lines, so that every name stands whole.
text=$(groff -man -Tascii -P-cbu -rHY=0 -rLL=250n "$page")
missing=0
for command in $("$tool" --help | sed -n '/^Subcommands:/,$s/^  \([a-z]*\) .*/\1/p'); do
    for word in "$command" $("$tool" "$command" --help | grep -oE -- '--[a-z][a-z-]*' | sort -u); do
        echo "$text" | grep -qF -- "$word" || { echo "the page does not name $command's $word"; missing=1; }
    done
done
exit $missing
