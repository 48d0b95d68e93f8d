#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test with CTest.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh"
cd "$root/build/native"
ctest --output-on-failure "$@"
