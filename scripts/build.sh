#!/usr/bin/env bash
# Configures and builds the three trees: MinGW (program, Win32 tests), native
# with sanitizers, and native (unit tests, benchmarks, the CTest entry point).
# With --program-only: Tarnwick.exe alone.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
jobs=$(nproc)
configure() { # dir, args...
  local dir=$1; shift
  [ -f "$dir/Makefile" ] || cmake -S . -B "$dir" "$@" >/dev/null
}
configure build/mingw -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DCMAKE_BUILD_TYPE=Release
if [ "${1:-}" = "--program-only" ]; then
  # What the program needs, not the test programs.
  cmake --build build/mingw -j "$jobs" --target Tarnwick
  exit 0
fi
cmake --build build/mingw -j "$jobs"
configure build/asan -DCMAKE_BUILD_TYPE=Debug -DTW_SANITIZE=address,undefined
cmake --build build/asan -j "$jobs" --target unit_tests
configure build/tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTW_SANITIZE=thread
cmake --build build/tsan -j "$jobs" --target unit_tests
configure build/native -DCMAKE_BUILD_TYPE=Release -DTW_SANITIZER_DIR="$root/build/asan" \
  -DTW_TSAN_DIR="$root/build/tsan" -DTW_MINGW_DIR="$root/build/mingw"
cmake --build build/native -j "$jobs"
