#!/usr/bin/env bash
# After test_split: the native tarnwick-split cuts each row's recording with
# the same options; its pieces must be byte for byte those of the window
# (and so of tarnwick-split.exe), and soxi must read every piece of all three.
# Args: work folder, fixtures folder. manifest.txt: "fixture|options|base|count".
set -u
work=$1
fixtures=$2
cd "$work" || exit 1
split=${TW_SPLIT:-$(cd "$(dirname "$0")/../.." && pwd)/build/native/tarnwick-split}
[ -x "$split" ] || { echo "check: no native tarnwick-split at $split"; exit 1; }
[ -s manifest.txt ] || { echo "check: no manifest"; exit 1; }
failures=0
fail() { echo "check FAIL: $*"; failures=$((failures + 1)); }
while IFS='|' read -r fixture options base count; do
  # shellcheck disable=SC2086 # the options are words
  "$split" $options -o "native_$base" "$fixtures/$fixture" >/dev/null || fail "$base: native run failed"
  n=0
  for ((k = 0; k < count; k++)); do
    for set in win exe native; do
      p=$(printf '%s_%s_%03d.wav' "$set" "$base" "$k")
      [ -f "$p" ] || { fail "$p missing"; continue; }
      [ "$(stat -c %s "$p")" -gt 44 ] || continue   # soxi reads no empty piece
      err=$( { soxi "$p" >/dev/null; } 2>&1 ) || fail "soxi cannot read $p"
      [ -z "$err" ] || fail "soxi on $p: $err"
    done
    w=$(printf 'win_%s_%03d.wav' "$base" "$k")
    cmp -s "$w" "$(printf 'native_%s_%03d.wav' "$base" "$k")" || fail "native piece $k of $base differs from the window's"
    n=$((n + 1))
  done
  [ -e "$(printf 'native_%s_%03d.wav' "$base" "$count")" ] && fail "$base: native wrote a piece too many"
  echo "check: $base: $n pieces, window = exe = native"
done < manifest.txt
# The copies of the spoken recording in other formats and layouts: the same
# numbers (but bits), cuts and pause cuts (with the estimated threshold) as
# the original; the IMA ADPCM one is refused
# with the reason and the files after it are still cut (status 1).
json() { "$split" -n --json -w 855 "$@" 2>/dev/null | sed -e 's/"path":"[^"]*",//' -e 's/"bits":[0-9]*,//' \
  -e 's/"pieces":.*//'; }
want=$(json -t 300 "$fixtures/speech.wav"; json -p 200 "$fixtures/speech.wav")
for f in speech_s24 speech_s32 speech_f32 speech_f64 speech_bext speech_junk speech_rf64; do
  got=$(json -t 300 "$fixtures/$f.wav"; json -p 200 "$fixtures/$f.wav")
  [ "$got" = "$want" ] || fail "$f: numbers or cuts differ from speech.wav's: $got"
done
err=$("$split" -n "$fixtures/speech_ima.wav" "$fixtures/speech_f32.wav" 2>&1 >/dev/null); status=$?
[ "$status" = 1 ] || fail "IMA ADPCM: status $status"
[ "$err" = "$fixtures/speech_ima.wav: このWAVファイルの形式には対応していません (IMA ADPCM で圧縮された音声（形式番号 17）)" ] ||
  fail "IMA ADPCM: [$err]"
"$split" -n "$fixtures/speech_ima.wav" "$fixtures/speech_f32.wav" 2>/dev/null | grep -q "speech_f32.wav: カット" ||
  fail "the file after a refused one is not cut"
# --json read by a JSON parser: numbers are numbers, and frames are what soxi
# counts (a stereo file's pieces: half their samples).
"$split" -n --json -c 30000 -c 1s "$fixtures/lecture_stereo.wav" "$fixtures/speech.wav" > json.txt ||
  fail "--json run failed"
python3 - json.txt "$(soxi -s "$fixtures/lecture_stereo.wav")" <<'PY' || fail "--json types or frames"
import json, sys
lines = [json.loads(l) for l in open(sys.argv[1], encoding='utf-8')]
assert len(lines) == 2, lines
for d in lines:
    for k in ('channels', 'sample_rate', 'bits', 'peak', 'nadir', 'smallest_positive'):
        assert type(d[k]) is int, (k, d[k])
    assert type(d['average']) in (int, float)
    assert all(type(c) in (int, float) for c in d['cuts'])
    for p in d['pieces']:
        for k in ('first', 'samples', 'bytes', 'first_frame', 'frames'):
            assert type(p[k]) is int, (k, p[k])
        assert type(p['start']) in (int, float) and type(p['trimmed']) is bool
        assert p['samples'] == p['frames'] * d['channels'] and p['first'] == p['first_frame'] * d['channels']
stereo = lines[0]
assert stereo['channels'] == 2 and sum(p['frames'] for p in stereo['pieces']) == int(sys.argv[2]), stereo['pieces']
PY
echo "check: $failures failures"
[ "$failures" = 0 ]
