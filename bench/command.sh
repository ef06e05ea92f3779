#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The tabulix command over the CSV of bench/make_csv.py, side by side with
# `mlr --icsv --opprint cat` (Debian: miller) in the same run: each round
# runs every command once, in turn, and the report gives the median CPU time
# (user + system), the median wall time (which parsing on several cores
# shortens) and the largest peak resident size of each, with ratios.
#
#   bash bench/command.sh TABULIX [LINES] [ROUNDS]
#
# With BASE=<another tabulix>, that one's plain and sorting runs join each
# round as base-* (an earlier build, for the speed-up).
# LINES defaults to 1,000,000 (about 70 MB), ROUNDS to 5. The input is made
# once in bench-data/ of the current directory.
set -euo pipefail

tool=${1:?usage: command.sh TABULIX [LINES] [ROUNDS]}
lines=${2:-1000000}
rounds=${3:-5}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
data=bench-data/lines-$lines.csv
mkdir -p bench-data
[[ -s $data ]] || python3 "$here/make_csv.py" "$lines" >"$data"
bytes=$(stat -c %s "$data")

names=(plain sort-int sort-decimal sort-text)
commands=("$tool $data" "$tool --sort Bytes $data" "$tool --sort Price $data"
  "$tool --sort Name $data")
if [[ -n ${BASE:-} ]]; then
  names+=(base-plain base-sort-int base-sort-decimal base-sort-text)
  commands+=("$BASE $data" "$BASE --sort Bytes $data" "$BASE --sort Price $data"
    "$BASE --sort Name $data")
fi
if command -v mlr >/dev/null; then
  names+=(mlr)
  commands+=("mlr --icsv --opprint cat $data")
fi

declare -A times walls peaks
for ((r = 0; r < rounds; r++)); do
  for i in "${!names[@]}"; do
    out=$({ /usr/bin/time -f '%U %S %M %e' ${commands[$i]} >/dev/null; } 2>&1 | tail -n 1)
    read -r user sys kb wall <<<"$out"
    walls[${names[$i]}]+="$wall "
    times[${names[$i]}]+="$(awk -v u="$user" -v s="$sys" 'BEGIN {print u + s}') "
    if ((kb > ${peaks[${names[$i]}]:-0})); then peaks[${names[$i]}]=$kb; fi
  done
done

median() { tr ' ' '\n' | sed '/^$/d' | sort -g | awk '{v[NR]=$1} END {print v[int((NR+1)/2)]}'; }
plain=$(median <<<"${times[plain]}")
printf 'input: %d lines, %d bytes; %d rounds; seconds are medians\n' "$lines" "$bytes" "$rounds"
printf '%-14s %8s %8s %8s %10s %10s\n' command 'CPU s' '/plain' 'wall s' 'peak MB' 'B/input B'
for n in "${names[@]}"; do
  t=$(median <<<"${times[$n]}")
  w=$(median <<<"${walls[$n]}")
  awk -v n="$n" -v t="$t" -v w="$w" -v p="$plain" -v kb="${peaks[$n]}" -v b="$bytes" \
    'BEGIN {printf "%-14s %8.3f %8.2f %8.2f %10.1f %10.2f\n", n, t, t / p, w, kb / 1024,
      kb * 1024 / b}'
done
if [[ -n ${times[mlr]:-} ]]; then
  awk -v p="$plain" -v m="$(median <<<"${times[mlr]}")" 'BEGIN {printf "plain / mlr: %.3f\n", p / m}'
fi
