#!/usr/bin/env bash
# End-to-end benchmark of the real Win32 program under Wine on a large WAV of
# speech-like bursts and pauses, against sox, ffmpeg and split on the same
# file. One command:
#
#   bash bench/e2e.sh
#
# Environment (all optional):
#   TW_E2E_MB         size of the data chunk in MiB (default 1024; the file is
#                     made once and kept under build/bench/)
#   TW_E2E_RUNS       runs of the Tarnwick program, each a fresh process (5)
#   TW_E2E_RUNS_24    runs on the same recording as 24-bit stereo of the same
#                     data size, made once from it with sox (3; 0 leaves it out)
#   TW_E2E_RUNS_RF64  runs on a long take: RF64 24-bit stereo of TW_E2E_RF64_GIB
#                     GiB of data (bench/make_rf64.sh; 1; 0 leaves it out)
#   TW_E2E_RF64_GIB   its data in GiB, a multiple of 1.5 (6)
#   TW_E2E_PEER_RUNS  runs of each peer command (3)
#   TW_E2E_THRESHOLD  automatic-cutting threshold (200)
#   TW_E2E_ZOOMS      zoom-ins before cutting; 3 gives a 1923-column graph,
#                     room for about 190 cuts 10 columns apart (3)
#   TW_E2E_PROBE      1: the program also times raw ReadFile, page faults,
#                     the measurement and memcpy on the file (1)
#   TW_E2E_SETTLE     seconds of rest before the program's save and before
#                     every writing peer (5).
#   TW_E2E_BASE       a checkout of an earlier version: its bench_e2e_win is
#                     built and run as many times, by turns with this one,
#                     and drop -> graph is compared (unset: no comparison).
# Writing 1 GiB of new files takes 1 GiB of fresh memory for the file cache,
# and on a VM that takes freed memory back (free page reporting) what that
# costs depends on what ran just before. So every writer is timed twice, in
# the same two states: "cold", just after the data's size of fresh memory was
# taken (the program's save follows its own copy of the recording; a peer
# runs while bench_pages --hold keeps as much) and a rest; and "warm", at once
# after deleting its last output.
# Prints the median of every figure and the ratios; figures of each run are
# kept in build/bench/runs/.
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
B=$ROOT/build/bench
MB=${TW_E2E_MB:-1024}
RUNS=${TW_E2E_RUNS:-5}
RUNS_24=${TW_E2E_RUNS_24:-3}
RUNS_RF64=${TW_E2E_RUNS_RF64:-1}
RF64_GIB=${TW_E2E_RF64_GIB:-6}
PEER_RUNS=${TW_E2E_PEER_RUNS:-3}
THRESHOLD=${TW_E2E_THRESHOLD:-200}
ZOOMS=${TW_E2E_ZOOMS:-3}
PROBE=${TW_E2E_PROBE:-1}
SETTLE=${TW_E2E_SETTLE:-5}
mkdir -p "$B"

winpath() { echo "Z:$(echo "$1" | tr / '\\')"; }
now() { echo "$EPOCHREALTIME"; }
median() { sort -g | awk '{v[NR]=$1} END {if (NR==0) print "nan"; else if (NR%2) print v[(NR+1)/2]; else print (v[NR/2]+v[NR/2+1])/2}'; }

# --- the input file --------------------------------------------------------
WAV=$(bash "$ROOT/bench/make_speech.sh" "$B" "$MB")

# --- tools -------------------------------------------------------------------
if ! command -v ffmpeg >/dev/null; then
  echo "installing ffmpeg from Debian..."
  if [ "$(id -u)" = 0 ]; then SUDO=""; else SUDO=sudo; fi
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends ffmpeg >/dev/null 2>&1 \
    || echo "ffmpeg could not be installed; its row is left out"
fi

if [ ! -x /usr/bin/time ]; then
  echo "installing time from Debian..."
  if [ "$(id -u)" = 0 ]; then SUDO=""; else SUDO=sudo; fi
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends time >/dev/null 2>&1 \
    || echo "time could not be installed; the max_rss row is left out"
fi

echo "building the benchmark program..."
cmake -S "$ROOT" -B "$B/mingw" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64.cmake" \
  -DCMAKE_BUILD_TYPE=Release >"$B/cmake.log" 2>&1
cmake --build "$B/mingw" -j2 --target bench_e2e_win >>"$B/cmake.log" 2>&1 \
  || { tail -30 "$B/cmake.log"; exit 1; }
EXE=$B/mingw/bench_e2e_win.exe
BASE_EXE=""
if [ -n "${TW_E2E_BASE:-}" ]; then
  echo "building the earlier version's benchmark program ($TW_E2E_BASE)..."
  cmake -S "$TW_E2E_BASE" -B "$B/base-mingw" -DCMAKE_TOOLCHAIN_FILE="$TW_E2E_BASE/cmake/mingw-w64.cmake" \
    -DCMAKE_BUILD_TYPE=Release >>"$B/cmake.log" 2>&1
  cmake --build "$B/base-mingw" -j2 --target bench_e2e_win >>"$B/cmake.log" 2>&1 \
    || { tail -30 "$B/cmake.log"; exit 1; }
  BASE_EXE=$B/base-mingw/bench_e2e_win.exe
fi

export WINEPREFIX=$B/wineprefix  # its own, so nobody's test run kills our wineserver
source "$ROOT/cmake/wine_env.sh"
tw_ensure_prefix

echo "machine load before the runs: $(cut -d' ' -f1-3 /proc/loadavg) (1/5/15 min), $(nproc) cores"
cat "$WAV" >/dev/null  # page cache: every figure below is from memory

# The machine's own costs, natively: figures from two machines compare only
# with these beside them.
g++ -O2 -o "$B/bench_pages" "$ROOT/bench/bench_pages.cpp"
"$B/bench_pages" "$WAV" "$MB" >"$B/machine.txt"
machine() { awk -v k="$1" '$1=="MACHINE" && $2==k {print $3}' "$B/machine.txt"; }
FRESH=$(machine fresh_pages_s_per_gib); CACHED=$(machine page_cache_read_s_per_gib); MAPPED=$(machine mapped_touch_s_per_gib)
MACHINE_NOTE="fresh pages $FRESH s/GiB, page-cache read $CACHED s/GiB, mapped touch $MAPPED s/GiB (native)"
echo "this machine: $MACHINE_NOTE"

# --- Tarnwick -----------------------------------------------------------------
rm -rf "$B/runs"; mkdir -p "$B/runs"
run_program() {  # wav, name of the runs, count[, exe]; the first run of the 16-bit file also probes
  local wav=$1 tag=$2 count=$3 exe=${4:-$EXE}
  for i in $(seq "$count"); do
    out=$B/runs/${tag}_$i
    mkdir -p "$out.work"
    probe=0; [ "$PROBE" = 1 ] && [ "$tag" = run ] && [ "$i" = 1 ] && probe=1
    (cd "$out.work" && xvfb-run -a -s "-screen 0 1366x768x24" sh -c "
      timeout 600 /usr/bin/time -v -o '$out.time' wine '$exe' '$(winpath "$wav")' '$(winpath "$out.work/pieces")' \
        '$THRESHOLD' '$ZOOMS' $probe $SETTLE > '$out.raw' 2>&1; echo \$? > '$out.rc'; wineserver -k 2>/dev/null; true")
    { iconv -f CP932 -t UTF-8 "$out.raw" 2>/dev/null || cat "$out.raw"; } | tr -d "\r" >"$out.txt"
    rm -rf "$out.work"
    if [ "$(cat "$out.rc")" != 0 ] || ! grep -q '^E2E ok 1' "$out.txt"; then
      echo "$tag $i failed:"; cat "$out.txt"; exit 1
    fi
    rss=$(awk -F': ' '/Maximum resident/ {printf "%.0f\n", $2 * 1024}' "$out.time")
    echo "E2E time_v_max_rss_bytes $rss" >>"$out.txt"
    echo "$tag $i: drop->numbers $(awk '$2=="drop_to_numbers_s"{print $3}' "$out.txt") s," \
      "drop->graph $(awk '$2=="drop_to_graph_s"{print $3}' "$out.txt") s," \
      "cut $(awk '$2=="auto_cut_s"{print $3}' "$out.txt") s ($(awk '$2=="cuts"{print $3}' "$out.txt") cuts)," \
      "save $(awk '$2=="save_s"{print $3}' "$out.txt") s (warm $(awk '$2=="save_warm_s"{print $3}' "$out.txt") s); load $(cut -d' ' -f1 /proc/loadavg)"
  done
}
if [ -n "$BASE_EXE" ]; then
  # By turns, so both see the same machine.
  for i in $(seq "$RUNS"); do
    run_program "$WAV" "run" 1 && mv "$B/runs/run_1.txt" "$B/runs/run_$i.txt.keep"
    run_program "$WAV" "base" 1 "$BASE_EXE" && mv "$B/runs/base_1.txt" "$B/runs/base_$i.txt.keep"
  done
  for f in "$B"/runs/*.txt.keep; do mv "$f" "${f%.keep}"; done
else
  run_program "$WAV" run "$RUNS"
fi
# The same recording as a field recorder writes it: 24-bit stereo (sox's
# extensible header), as many data bytes. Its samples are read from the
# file's own pages like 16-bit ones, never from a converted copy.
WAV24=$B/speech_${MB}m_s24.wav
FRAMES24=$((MB * 1024 * 1024 / 6))
if [ "$RUNS_24" -gt 0 ]; then
  if [ ! -f "$WAV24" ] || [ "$(soxi -s "$WAV24" 2>/dev/null)" != "$FRAMES24" ]; then
    echo "making $WAV24..."
    sox "$WAV" -b 24 -t wav "$WAV24.part" trim 0 "${FRAMES24}s" && mv "$WAV24.part" "$WAV24"
  fi
  cat "$WAV24" >/dev/null
  run_program "$WAV24" s24 "$RUNS_24"
fi
# A long take as field recorders write it: its samples stay the file's own
# pages (no private copy beyond 4 GiB), so memory grows as for 1 GiB.
if [ "$RUNS_RF64" -gt 0 ]; then
  WAVRF=$(bash "$ROOT/bench/make_rf64.sh" "$B" "$RF64_GIB")
  cat "$WAVRF" >/dev/null
  run_program "$WAVRF" rf64 "$RUNS_RF64"
fi
fig() { cat "$B"/runs/run_*.txt | awk -v k="$1" '$1=="E2E" && $2==k {print $3}' | median; }
fig24() { cat "$B"/runs/s24_*.txt 2>/dev/null | awk -v k="$1" '$1=="E2E" && $2==k {print $3}' | median; }
figrf() { cat "$B"/runs/rf64_*.txt 2>/dev/null | awk -v k="$1" '$1=="E2E" && $2==k {print $3}' | median; }

# --- peers (median of PEER_RUNS each) -----------------------------------------
T=$(mktemp -d "$B/peer.XXXXXX")
trap 'release_fresh; rm -rf "$T"' EXIT
hold_pid=""
hold_fresh() {  # keeps MB of just-touched memory until release_fresh
  "$B/bench_pages" --hold "$MB" >"$T/held" &
  hold_pid=$!
  until grep -q held "$T/held" 2>/dev/null; do sleep 0.1; done
}
release_fresh() {
  if [ -n "$hold_pid" ]; then kill "$hold_pid"; wait "$hold_pid" 2>/dev/null || true; hold_pid=""; fi
}
time_it() {  # name, read|cold|warm, command...
  local name=$1 state=$2; shift 2
  local times=() files=0
  for _ in $(seq "$PEER_RUNS"); do
    rm -rf "$T/o"; mkdir -p "$T/o"
    if [ "$state" = cold ]; then hold_fresh; sleep "$SETTLE"; fi
    local t0; t0=$(now)
    (cd "$T/o" && "$@") >/dev/null 2>"$T/err" || { echo "$name failed:"; cat "$T/err"; exit 1; }
    local t1; t1=$(now)
    release_fresh
    times+=("$(echo "$t1 - $t0" | bc -l)")
    files=$(ls "$T/o" | wc -l)
    rm -rf "$T/o"
  done
  local m; m=$(printf '%s\n' "${times[@]}" | median)
  eval "PEER_$name=$m"
  printf '  %-16s %8.3f s  (%s)%s\n' "$name" "$m" "$(printf '%s ' "${times[@]}" | sed 's/ $//')" \
    "$([ "$files" -gt 0 ] && echo ", $files files")"
}
echo "peers on the same file:"
time_it cat read sh -c "cat '$WAV' >/dev/null"
time_it cp cold cp "$WAV" copy.wav
time_it split cold split -n 200 "$WAV"
time_it split_warm warm split -n 200 "$WAV"
time_it sox_stats read sox "$WAV" -n stats
time_it sox_silence cold sox "$WAV" out.wav silence 1 0.1 1% 1 0.3 1% : newfile : restart
time_it sox_silence_warm warm sox "$WAV" out.wav silence 1 0.1 1% 1 0.3 1% : newfile : restart
if command -v ffmpeg >/dev/null; then
  time_it ffmpeg_silence read ffmpeg -nostdin -hide_banner -i "$WAV" -af silencedetect=n=-40dB:d=0.3 -f null -
fi

# --- report ---------------------------------------------------------------------
DATA=$(fig data_bytes)
numbers=$(fig drop_to_numbers_s); graph=$(fig drop_to_graph_s); cut=$(fig auto_cut_s); save=$(fig save_s)
saveWarm=$(fig save_warm_s)
lcs=$(fig load_cut_save_s); lgcs=$(fig load_graph_cut_save_s)
peak=$(fig peak_working_set_bytes); rss=$(fig time_v_max_rss_bytes)
growth=$(fig private_growth_at_graph_bytes); peakPrivate=$(fig peak_pagefile_bytes)
# A peer left out (TW_E2E_PEER_RUNS=0) has no figure: its ratios print nan.
r() { case "$1 $2" in *nan*) echo nan ;; *) echo "scale=3; $1 / $2" | bc -l ;; esac; }
add() { case "$*" in *nan*) echo nan ;; *) echo "$*" | tr ' ' '+' | bc -l ;; esac; }
echo
echo "Tarnwick, median of $RUNS runs ($DATA data bytes, $(fig cuts) cuts, $(fig pieces) pieces, graph $(fig graph_width) columns; this machine: $MACHINE_NOTE):"
echo "  (stage_* are seconds from the drop; probe_* are raw operations on the same file in the same process)"
for k in startup_s stage_header_s stage_read_measure_s stage_texts_begin_s stage_texts_end_s drop_to_numbers_s \
         stage_graph_begin_s stage_graph_first_progress_s stage_graph_last_progress_s stage_graph_strokes_end_s \
         drop_to_graph_s drop_to_private_copy_s private_growth_at_graph_bytes summary_bytes progress_messages zoom_redraws_s \
         zoom_step_longest_s zoom_levels_in zoom_in_every_level_longest_s zoom_out_every_level_longest_s resize_redraw_s \
         judged_after_private_copy_s rule_box_after_load_s rule_box_after_load_s_rows rule_box_first_s rule_box_first_s_rows rule_box_next_s rule_box_next_s_rows rule_box_pieces_s rule_box_pieces_s_rows pause_cut_s pause_cuts pause_cut_t2000_s pause_cuts_t2000 auto_cut_s save_s delete_pieces_s save_warm_s load_cut_save_s \
         load_graph_cut_save_s probe_readfile_fresh_s probe_readfile_touched_s probe_touch_then_readfile_s \
         probe_fault_s probe_measure_s probe_memcpy_s probe_write_pieces_s probe_headers_only_s; do
  v=$(fig "$k"); [ "$v" = nan ] && continue
  printf '  %-30s %10s\n' "$k" "$v"
done
printf '  %-30s %10.1f MiB (%.3f x data)\n' peak_working_set "$(echo "$peak / 1048576" | bc -l)" "$(r "$peak" "$DATA")"
printf '  %-30s %10.1f MiB (%.3f x data; run 1 includes the probes)\n' "max_rss (time -v)" \
  "$(echo "$rss / 1048576" | bc -l)" "$(r "$rss" "$DATA")"

echo
echo "Targets (this machine: $MACHINE_NOTE):"
printf '  drop -> numbers + graph           %7.3f s   (<= 1.0 s)\n' "$graph"
printf '  private memory growth at graph    %7.3f x data  (< 0.1)\n' "$(r "$growth" "$DATA")"
printf '  summary of the samples            %7.4f x data  (<= 0.01)\n' "$(awk -v a="$(fig summary_bytes)" -v b="$DATA" 'BEGIN {print a / b}')"
printf '  a rule box typed, to its pieces   %7.3f s after the load (judged %.3f s after it), %.3f s first after the runs, %.3f s next, %.3f s pieces (<= 0.1 s)\n' \
  "$(fig rule_box_after_load_s)" "$(fig judged_after_private_copy_s)" "$(fig rule_box_first_s)" "$(fig rule_box_next_s)" "$(fig rule_box_pieces_s)"
printf '  longest zoom step, %s levels      %7.3f s in, %.3f s out (<= 0.1 s)\n' "$(fig zoom_levels_in)" \
  "$(fig zoom_in_every_level_longest_s)" "$(fig zoom_out_every_level_longest_s)"
if [ -n "$BASE_EXE" ]; then
  baseGraph=$(cat "$B"/runs/base_*.txt | awk '$1=="E2E" && $2=="drop_to_graph_s" {print $3}' | median)
  printf '  drop -> graph against %s    %7.3f s vs %.3f s: %.3f x (<= 1.1)\n' "$(basename "$TW_E2E_BASE")" \
    "$graph" "$baseGraph" "$(r "$graph" "$baseGraph")"
fi
printf '  peak private memory               %7.3f x data  (<= 1.1)\n' "$(r "$peakPrivate" "$DATA")"
printf '  sox stats / drop->numbers+graph   %7.2f x   (>= 3)\n' "$(r "$PEER_sox_stats" "$graph")"
printf '  sox silence / (load+cut+save)     %7.2f x   (>= 3; counting the graph too: %.2f x)\n' \
  "$(r "$PEER_sox_silence" "$lcs")" "$(r "$PEER_sox_silence" "$lgcs")"
printf '  save / split -n 200               %7.2f     (<= 1.5; cold: after taking fresh memory of the data size)\n' \
  "$(r "$save" "$PEER_split")"
printf '  save / split -n 200, warm         %7.2f     (at once after deleting their last output)\n' \
  "$(r "$saveWarm" "$PEER_split_warm")"
lcsWarm=$(add "$numbers" "$cut" "$saveWarm")
printf '  sox silence / (load+cut+save), warm %5.2f x\n' "$(r "$PEER_sox_silence_warm" "$lcsWarm")"
printf '  auto cutting                      %7.3f s\n' "$cut"
printf '  pause cutting, estimated threshold %6.3f s   (<= 1.0 s; %s cuts)\n' "$(fig pause_cut_s)" "$(fig pause_cuts)"
printf '  pause cutting, threshold 2000     %7.3f s   (<= 1.0 s; %s cuts)\n' "$(fig pause_cut_t2000_s)" "$(fig pause_cuts_t2000)"
printf '  peak working set / data size      %7.3f\n' "$(r "$peak" "$DATA")"
if [ "$RUNS_24" -gt 0 ]; then
  data24=$(fig24 data_bytes)
  echo "The same as 24-bit stereo, median of $RUNS_24 runs ($data24 data bytes, $(fig24 cuts) cuts):"
  printf '  drop -> numbers                   %7.3f s\n' "$(fig24 drop_to_numbers_s)"
  printf '  drop -> numbers + graph           %7.3f s   (<= 1.0 s)\n' "$(fig24 drop_to_graph_s)"
  printf '  private memory growth at graph    %7.3f x data  (< 0.1)\n' "$(r "$(fig24 private_growth_at_graph_bytes)" "$data24")"
  printf '  peak private memory               %7.3f x data  (<= 1.1)\n' "$(r "$(fig24 peak_pagefile_bytes)" "$data24")"
  printf '  auto cutting                      %7.3f s\n' "$(fig24 auto_cut_s)"
  printf '  save                              %7.3f s\n' "$(fig24 save_s)"
fi
if [ "$RUNS_RF64" -gt 0 ]; then
  datarf=$(figrf data_bytes)
  # awk, not bc: the median of two runs of this size prints in e-notation.
  echo "A long take, RF64 24-bit stereo, median of $RUNS_RF64 runs ($(awk -v a="$datarf" -v b="$DATA" \
    'BEGIN {printf "%.0f data bytes, %.2f", a, a / b}') x the 16-bit file; $(figrf cuts) cuts):"
  base=$graph; [ "$RUNS_24" -gt 0 ] && base=$(fig24 drop_to_graph_s)
  printf '  drop -> numbers                   %7.3f s\n' "$(figrf drop_to_numbers_s)"
  printf '  drop -> numbers + graph           %7.3f s   (%.2f x the 1 GiB 24-bit figure, %.2f x the 16-bit one; <= 6 x)\n' \
    "$(figrf drop_to_graph_s)" "$(r "$(figrf drop_to_graph_s)" "$base")" "$(r "$(figrf drop_to_graph_s)" "$graph")"
  printf '  private memory growth at graph    %7.1f MiB (1 GiB 16-bit: %.1f MiB)\n' \
    "$(echo "$(figrf private_growth_at_graph_bytes) / 1048576" | bc -l)" "$(echo "$growth / 1048576" | bc -l)"
  printf '  peak private memory               %7.1f MiB (1 GiB 16-bit: %.1f MiB)\n' \
    "$(echo "$(figrf peak_pagefile_bytes) / 1048576" | bc -l)" "$(echo "$peakPrivate / 1048576" | bc -l)"
  printf '  pause cutting, estimated threshold %6.3f s\n' "$(figrf pause_cut_s)"
  printf '  auto cutting                      %7.3f s\n' "$(figrf auto_cut_s)"
  printf '  save                              %7.3f s\n' "$(figrf save_s)"
fi
echo "Against the peers (x = times faster):"
printf '  sox stats / drop->numbers         %7.2f x\n' "$(r "$PEER_sox_stats" "$numbers")"
if [ -n "${PEER_ffmpeg_silence:-}" ]; then
  printf '  ffmpeg silencedetect / (load+cut) %7.2f x\n' "$(r "$PEER_ffmpeg_silence" "$(add "$numbers" "$cut")")"
fi
printf '  save / cp of the whole file       %7.2f\n' "$(r "$save" "$PEER_cp")"
echo "Against the physical limits:"
printf '  drop->numbers / cat (page-cache read, no fresh pages) %7.2f\n' "$(r "$numbers" "$PEER_cat")"
pm=$(fig probe_measure_s)
if [ "$pm" != nan ]; then
  # The samples come from the file's own cached pages, read beside the
  # measurement: the measurement alone is the floor of drop -> numbers.
  printf '  drop->numbers / the measurement alone (%.3f s)   %7.2f\n' "$pm" "$(r "$numbers" "$pm")"
  printf '  Wine per-file cost of the save (%s empty files)  %.3f s\n' "$(fig pieces)" "$(fig probe_headers_only_s)"
  printf '  fresh memory the copying design paid at the drop (one fault per page, Wine) %.3f s\n' "$(fig probe_fault_s)"
fi
echo "machine load after the runs: $(cut -d' ' -f1-3 /proc/loadavg); $MACHINE_NOTE"
