# Timing helpers the split benchmarks share; source it after setting RUNS and
# T (an empty scratch folder).
median() { sort -g | awk '{v[NR]=$1} END {if (NR%2) print v[(NR+1)/2]; else print (v[NR/2]+v[NR/2+1])/2}'; }

# time_it name command...: RUNS runs in an empty folder (its pieces deleted
# after each, dirty pages written out before the next); the median goes to
# TIME_<name>, the last run's file count and bytes to FILES and BYTES.
time_it() {
  local name=$1; shift
  local times=()
  for _ in $(seq "$RUNS"); do
    rm -rf "$T/o"; mkdir -p "$T/o"
    local t0=$EPOCHREALTIME
    (cd "$T/o" && "$@") >/dev/null 2>"$T/err" || { echo "$name failed:"; head -5 "$T/err"; exit 1; }
    local t1=$EPOCHREALTIME
    times+=("$(echo "$t1 - $t0" | bc -l)")
    FILES=$(ls "$T/o" | wc -l)
    BYTES=$(du -cb "$T/o" | tail -1 | cut -f1)
    rm -rf "$T/o"
    sync; sleep 1
  done
  local m; m=$(printf '%s\n' "${times[@]}" | median)
  eval "TIME_$name=$m"
  printf '  %-22s %8.3f s  (%s), %s files, %s bytes\n' "$name" "$m" "$(printf '%s ' "${times[@]}" | sed 's/ $//')" \
    "$FILES" "$BYTES"
}
