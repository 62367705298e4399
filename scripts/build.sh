#!/usr/bin/env bash
# Builds both trees: the Win32 one (installer, sample product, Wine tests) and
# the native one (portable code, packaging tool, unit tests, benchmarks).
#   scripts/build.sh            both, into build/win32 and build/native
# WH_BUILD chooses another root for the build trees. CMake's and the
# compilers' output goes to build/logs/build-native.log and build-win32.log,
# and is shown only when the build fails.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
export WH_BUILD=${WH_BUILD:-$root/build}
build=$WH_BUILD
jobs=${WH_JOBS:-$(nproc)}
. "$root/scripts/steps.sh"

"$root/scripts/deps.sh"

# build_tree DIR [CMAKE OPTIONS...]: configures DIR when needed, then builds it.
build_tree() {
    local dir=$1
    shift
    cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=Release "$@" && cmake --build "$dir" -j "$jobs"
}

wh_step "Building the native tree" build-native build_tree "$build/native"
wh_step "Building the Win32 tree" build-win32 build_tree "$build/win32" \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake"
