# Sourced by the scripts a user runs: a long step's output (apt, cmake, make,
# the tools) goes to a log under $WH_BUILD/logs, and the user sees one line for
# it (on a terminal, kept up to date with make's percentage or the seconds
# gone), and the end of the log only when the step fails.
#   wh_step LABEL LOG COMMAND [ARGS...]     returns COMMAND's exit status
# COMMAND may be a shell function. Its standard input is /dev/null.

: "${WH_BUILD:=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/build}"
wh_logs="$WH_BUILD/logs"

# Keeps rewriting the step's line, with make's last percentage or else the
# seconds gone, until the step's marker goes or the script that started it ends.
wh_show_progress() {
    set +e  # a log without a percentage yet is no reason to stop
    local label=$1 log=$2 marker=$3 percent start=$SECONDS
    while [ -e "$marker" ] && kill -0 $$ 2>/dev/null; do
        percent=$(grep -o '^\[ *[0-9]*%\]' "$log" 2>/dev/null | tail -n 1 | tr -dc '0-9')
        if [ -n "$percent" ]; then
            printf '\r%s... %s%%' "$label" "$percent"
        else
            printf '\r%s... %d s' "$label" $((SECONDS - start))
        fi
        sleep 0.5
    done
}

wh_step() {
    local label=$1 log="$wh_logs/$2.log" status=0 shower=""
    shift 2
    mkdir -p "$wh_logs"
    : >"$log"
    if [ -t 1 ]; then
        local marker="$log.running"
        touch "$marker"
        wh_show_progress "$label" "$log" "$marker" &
        shower=$!
        "$@" >>"$log" 2>&1 </dev/null || status=$?
        rm -f "$marker"
        wait "$shower" || true
        printf '\r\033[K%s... %s\n' "$label" "$([ "$status" -eq 0 ] && echo done || echo failed)"
    else
        echo "$label..."
        "$@" >>"$log" 2>&1 </dev/null || status=$?
    fi
    if [ "$status" -ne 0 ]; then
        {
            echo "$label failed (exit status $status). The end of its log:"
            tail -n 40 "$log" | sed 's/^/    /'
            echo "The whole log: $log"
        } >&2
    fi
    return "$status"
}
