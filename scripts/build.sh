#!/usr/bin/env bash
# Builds both trees: the Win32 one (installer, sample product, Wine tests) and
# the native one (portable code, packaging tool, unit tests, benchmarks).
#   scripts/build.sh            both, into build/win32 and build/native
# WH_BUILD chooses another root for the build trees.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${WH_BUILD:-$root/build}
jobs=${WH_JOBS:-$(nproc)}

"$root/scripts/deps.sh"
cmake -S "$root" -B "$build/native" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build/native" -j "$jobs"
cmake -S "$root" -B "$build/win32" -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" >/dev/null
cmake --build "$build/win32" -j "$jobs"
