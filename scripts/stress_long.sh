#!/usr/bin/env bash
# The long run of random user actions on the real window (test_stress.exe,
# built by scripts/build.sh), about 10 minutes for 20,000 actions.
#   bash scripts/stress_long.sh [--device] [SEED] [ACTIONS]
# Without --device Wine has no sound device here (no sound server), so every
# playback is refused with its message. With --device a PulseAudio server of
# this run's own, with one null sink, is Wine's device: playback runs in real
# time, what the sink plays is recorded (1000 values a second, from its
# monitor), and the run fails unless sound reached it.
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
device=0
[ "${1:-}" = "--device" ] && { device=1; shift; }
seed=${1:-0x51DE}
actions=${2:-20000}
exe="$root/build/mingw/test_stress.exe"
[ -f "$exe" ] || { echo "stress_long: $exe is missing (bash scripts/build.sh)"; exit 1; }

server=""
cleanup() {
  [ -n "${watcher:-}" ] && kill "$watcher" 2>/dev/null
  [ -n "$server" ] && kill "$server" 2>/dev/null
  [ -n "${XDG_RUNTIME_DIR:-}" ] && [ "$device" = 1 ] && rm -rf "$XDG_RUNTIME_DIR"
}
trap cleanup EXIT
if [ "$device" = 1 ]; then
  command -v pulseaudio >/dev/null && command -v pactl >/dev/null && command -v parec >/dev/null ||
    { echo "stress_long: pulseaudio, pactl and parec are missing (bash scripts/setup.sh)"; exit 1; }
  # A server of its own, in a folder of its own: Wine (winepulse) finds it there.
  export XDG_RUNTIME_DIR; XDG_RUNTIME_DIR=$(mktemp -d /tmp/tw-pulse.XXXXXX)
  export PULSE_SERVER="unix:$XDG_RUNTIME_DIR/pulse/native"
  pulseaudio -n --daemonize=no --exit-idle-time=-1 --disallow-exit --use-pid-file=no \
    --load=module-native-protocol-unix --load="module-null-sink sink_name=tw_null" \
    --log-target=file:"$XDG_RUNTIME_DIR/pulseaudio.log" 2>/dev/null &
  server=$!
  for _ in $(seq 50); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done
  pactl set-default-sink tw_null || { echo "stress_long: the sound server did not start"; exit 1; }
  # What reaches the sink, coarsely: Wine's own probes at start-up open
  # streams too, but only a playback puts sound into them.
  parec -d tw_null.monitor --raw --rate=1000 --channels=1 --format=s16le > "$XDG_RUNTIME_DIR/heard.raw" 2>/dev/null &
  watcher=$!
fi

echo "stress_long: seed $seed, $actions actions, $([ "$device" = 1 ] && echo "PulseAudio null sink" || echo "no sound device")"
start=$(date +%s)
TW_STRESS_SEED=$seed TW_STRESS_ACTIONS=$actions TW_TEST_TIMEOUT=${TW_TEST_TIMEOUT:-3600} \
  bash "$root/cmake/wine_run.sh" "$exe" | tail -n 25
rc=${PIPESTATUS[0]}
echo "stress_long: $(( ($(date +%s) - start) / 60 )) minutes, exit $rc"
if [ "$device" = 1 ]; then
  kill "$watcher" 2>/dev/null; watcher=""
  heard=$(python3 -c 'import array, sys; a = array.array("h", open(sys.argv[1], "rb").read()); print(sum(v != 0 for v in a))' \
    "$XDG_RUNTIME_DIR/heard.raw")
  echo "stress_long: the sound device played sound for $(awk -v n="$heard" 'BEGIN {printf "%.1f", n / 1000}') s"
  [ "$heard" -gt 0 ] || { echo "stress_long: no playback reached the device"; rc=1; }
fi
exit "$rc"
