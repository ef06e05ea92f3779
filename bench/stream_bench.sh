#!/bin/bash
# SPDX-License-Identifier: MIT
# The tabulix command with and without --stream on the same generated CSV
# (bench/make_csv.py), side by side: CPU time (user + system) per line and
# peak resident memory of each run, the output going to /dev/null. Each side
# runs ROUNDS times, alternating, and the report gives the median CPU time
# and the largest peak. --stream must hold its peak under 20 MB whatever the
# input's length, at no more CPU time per line than the plain command.
#
#   bench/stream_bench.sh TOOL [LINES] [ROUNDS]     (defaults: 10000000 lines, 3 rounds)
#
# The input is written once to $TMPDIR (about 70 bytes a line) and kept
# between runs of the script; the plain command holds about 2 bytes per input
# byte, so 10M lines need 1.5 GB of free memory.
set -eu
tool=$1
lines=${2:-10000000}
rounds=${3:-3}
here=$(cd "$(dirname "$0")" && pwd)
input=${TMPDIR:-/tmp}/tabulix-stream-bench-$lines.csv
[ -s "$input" ] || python3 "$here/make_csv.py" "$lines" > "$input"

# Gives "CPU_SECONDS PEAK_KB" of one run of the tool with the given options.
measure() {
  local report
  report=$( { /usr/bin/time -f '%U %S %M' "$tool" "$@" "$input" > /dev/null; } 2>&1 | tail -n 1)
  awk '{ printf "%.3f %d\n", $1 + $2, $3 }' <<< "$report"
}

declare -a plain_cpu stream_cpu
plain_peak=0
stream_peak=0
for ((r = 0; r < rounds; r++)); do
  read -r cpu peak < <(measure)
  plain_cpu+=("$cpu")
  ((peak > plain_peak)) && plain_peak=$peak
  read -r cpu peak < <(measure --stream)
  stream_cpu+=("$cpu")
  ((peak > stream_peak)) && stream_peak=$peak
done

median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
plain=$(median "${plain_cpu[@]}")
stream=$(median "${stream_cpu[@]}")
awk -v n="$lines" -v p="$plain" -v s="$stream" -v pp="$plain_peak" -v sp="$stream_peak" 'BEGIN {
  printf "%-10s %12s %14s %14s\n", "", "CPU s", "ns CPU/line", "peak RSS MB"
  printf "%-10s %12.2f %14.1f %14.1f\n", "plain", p, p * 1e9 / n, pp / 1024
  printf "%-10s %12.2f %14.1f %14.1f\n", "--stream", s, s * 1e9 / n, sp / 1024
  verdict = (sp < 20 * 1024 && s <= p) ? "met" : "missed"
  printf "goal (--stream under 20 MB, CPU/line <= plain): %s\n", verdict
}'
