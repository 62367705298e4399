#!/bin/sh
# cmake --install puts wardpack and its manual page under a prefix; the page
# renders without a warning and describes under each command the options of
# its --help, no more and no fewer (under OPTIONS, those of wardpack --help).
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
# "COMMAND --option" lines from the page's source: the tags under each command's
# tag in COMMANDS, and under OPTIONS; --help is described there alone.
awk '/^\.SH/ { s = $2; d = 0 } /^\.RS/ { d++ } /^\.RE/ { d-- }
    t && s == "COMMANDS" && !d { c = $2; print c }
    t && (s == "OPTIONS" && !d || s == "COMMANDS" && d == 1) {
        gsub(/\\-/, "-"); for (i = 2; i <= NF; i++) if ($i ~ /^--[a-z-]+$/) print (s == "OPTIONS" ? "wardpack" : c), $i }
    { t = /^\.T[PQ]/ }' "$page" | sort >"$prefix/page"
options() { "$tool" ${1-} --help | sed -n "/^Options:/,/^\$/s/^  \(-[a-z],\)\{0,1\}\(--[a-z-]*\).*/${1:-wardpack} \2/p"; }
{
    options
    for command in $("$tool" --help | sed -n '/^Subcommands:/,$s/^  \([a-z]*\) .*/\1/p'); do
        echo "$command" && options "$command" | grep -v ' --help$' || true
    done
} | sort >"$prefix/help"
diff "$prefix/page" "$prefix/help" || { echo "the page (<) and --help (>) differ"; exit 1; }
