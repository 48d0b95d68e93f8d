#!/usr/bin/env bash
# Installs what is missing, builds Tarnwick.exe and starts it under Wine.
# With no display: says so, and with --xvfb starts it in a virtual X server
# and saves a screenshot (build/screenshot.png) after a few seconds.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh" --program-only
source "$root/cmake/wine_env.sh"
exe="$root/build/mingw/Tarnwick.exe"
if [ "${1:-}" = "--xvfb" ]; then
  tw_ensure_prefix
  shot="$root/build/screenshot.png"
  wait_s=${2:-8}
  xvfb-run -a -s "-screen 0 1366x768x24" sh -c "wine '$exe' & sleep $wait_s; import -window root '$shot'; wineserver -k"
  echo "run: screenshot saved to $shot"
  exit 0
fi
if [ -z "${DISPLAY:-}" ]; then
  echo "run: no display (DISPLAY is not set), so the window cannot be shown here."
  echo "run: to start it in a virtual X server and save a screenshot: bash scripts/run.sh --xvfb [seconds]"
  exit 1
fi
tw_ensure_prefix
exec wine "$exe"
