#!/usr/bin/env bash
# Runs one Win32 program under this project's Wine (see wine-env.sh); the
# test runner uses it for every test of the Win32 build.
set -eo pipefail
. "$(dirname "$0")/wine-env.sh"
exec taskset -c 0 wine "$@"
