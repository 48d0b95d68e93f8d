#!/usr/bin/env bash
# The pieces written by test_save, checked with real tools: sox reads every
# piece without a word of complaint and sees the source's format; each header's
# sizes match the file; the pieces' data put together is the source's data.
# Args: work folder, fixtures folder. Pieces are listed in manifest.txt as
# "F|source|prefix|count" (F: fixture, W: work file; count "-" for a save cut
# short by closing the window, whose pieces must be whole and in order).
set -u
work=$1
fixtures=$2
manifest="$work/manifest.txt"
[ -s "$manifest" ] || { echo "check: no manifest"; exit 1; }
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
failures=0
fail() { echo "check FAIL: $*"; failures=$((failures + 1)); }

format() {  # the lines sox uses to describe the format
  grep -E '^(Channels|Sample Rate|Precision|Sample Encoding)' "$1"
}

piece() { printf -v name '%s/%s_%03d.wav' "$work" "$1" "$2"; }  # into $name, no subshell

while IFS='|' read -r kind source prefix count; do
  if [ "$kind" = F ]; then src="$fixtures/$source"; else src="$work/$source"; fi
  soxi "$src" > "$tmp/src.info" 2>&1 || { fail "soxi cannot read source $src"; continue; }
  format "$tmp/src.info" > "$tmp/src.format"
  tail -c +45 "$src" > "$tmp/src.data"

  # The pieces: 000 up to count - 1, or as many as there are for a save cut short.
  pieces=()
  if [ "$count" = - ]; then
    while piece "$prefix" "${#pieces[@]}" && [ -f "$name" ]; do pieces+=("$name"); done
  else
    for ((k = 0; k < count; k++)); do
      piece "$prefix" "$k"
      [ -f "$name" ] || { fail "$name missing"; continue 2; }
      pieces+=("$name")
    done
    piece "$prefix" "$count"
    [ -e "$name" ] && fail "$prefix: one piece too many"
  fi
  n=${#pieces[@]}
  [ "$n" -ge 1 ] || { fail "$prefix: no pieces"; continue; }

  # Header sizes against the file lengths (one process per step for all pieces).
  mapfile -t lengths < <(stat -c %s "${pieces[@]}")
  mapfile -t words < <(head -q -c 44 "${pieces[@]}" | od -An -v -tu4 -w4 | tr -d ' ')
  for ((k = 0; k < n; k++)); do
    riff=${words[$((11 * k + 1))]:-}
    data=${words[$((11 * k + 10))]:-}
    [ "$riff" = $((lengths[k] - 8)) ] || fail "${pieces[k]}: RIFF size $riff, length ${lengths[k]}"
    [ "$data" = $((lengths[k] - 44)) ] || fail "${pieces[k]}: data size $data, length ${lengths[k]}"
  done

  # sox reads every piece without a warning and sees the source's format.
  if ! soxi "${pieces[@]}" > "$tmp/piece.info" 2> "$tmp/piece.err"; then
    fail "$prefix: soxi failed: $(head -c 300 "$tmp/piece.err")"
  elif [ -s "$tmp/piece.err" ]; then
    fail "$prefix: soxi warns: $(head -c 300 "$tmp/piece.err")"
  fi
  for ((k = 0; k < n; k++)); do cat "$tmp/src.format"; done > "$tmp/want.format"
  format "$tmp/piece.info" | cmp -s - "$tmp/want.format" || fail "$prefix: a piece's format differs from $source"

  # The data of the pieces, one after another, is the source's data.
  tail -q -c +45 "${pieces[@]}" > "$tmp/joined"
  joined=$(stat -c %s "$tmp/joined")
  if [ "$count" = - ]; then
    cmp -s -n "$joined" "$tmp/joined" "$tmp/src.data" || fail "$prefix: pieces are not the start of $source's data"
    echo "check: $prefix: $n whole pieces of a save cut short"
  else
    cmp -s "$tmp/joined" "$tmp/src.data" || fail "$prefix: pieces do not join to $source's data"
  fi

  # sox itself joins the pieces back into the source's samples (it will not
  # read a piece of no samples, so only the others).
  if [ "$count" != - ] && [ "$n" -ge 2 ] && [ "$n" -le 50 ]; then
    nonempty=()
    for ((k = 0; k < n; k++)); do [ "${lengths[k]}" -gt 44 ] && nonempty+=("${pieces[k]}"); done
    # A source whose sizes are not true comes with its samples as <name>.raw.
    if [ -f "${src%.wav}.raw" ]; then cp "${src%.wav}.raw" "$tmp/src.raw"; else sox "$src" -t raw "$tmp/src.raw" 2>/dev/null; fi
    if sox "${nonempty[@]}" -t raw "$tmp/sox.raw" 2> "$tmp/sox.err"; then
      cmp -s "$tmp/sox.raw" "$tmp/src.raw" || fail "$prefix: sox's join differs from $source's samples"
    else
      fail "$prefix: sox cannot join: $(head -c 300 "$tmp/sox.err")"
    fi
  fi
done < "$manifest"

lines=$(wc -l < "$manifest")
echo "check: $lines saves checked, $failures failures"
[ "$failures" = 0 ] || exit 1
# Checked: the few hundred megabytes of large files need not stay in the build tree.
rm -f "$work"/big.wav "$work"/close_*.wav "$work"/busy.wav "$work"/busy_*.wav
