#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The costs of the command's questions over the benchmark file, side by side
# in one run: the plain command, --sort X --head 10 (which keeps only ten rows
# while reading), --stats and --where, each as CPU time (user + sys, best of
# RUNS) and peak memory, printed in fancyw to /dev/null.
#
#   bash bench/cli_questions.sh TABULIX [CSV] [RUNS]
#
# CSV defaults to big.csv in the build directory of TABULIX, written by
# bench/make_csv.py (1,000,000 lines) when it is missing.
set -euo pipefail
tool=$1
csv=${2:-$(dirname "$tool")/big.csv}
runs=${3:-3}
[[ -f $csv ]] || python3 "$(dirname "${BASH_SOURCE[0]}")/make_csv.py" >"$csv"

# best_of ARGS...: "CPU-seconds peak-KiB" of the best run.
best_of() {
  local best="" i out
  for ((i = 0; i < runs; i++)); do
    out=$( { /usr/bin/time -f '%U %S %M' "$tool" --style fancyw "$@" "$csv" >/dev/null; } 2>&1 |
      tail -n 1)
    read -r user sys peak <<<"$out"
    cpu=$(echo "$user + $sys" | bc)
    if [[ -z $best ]] || (($(echo "$cpu < ${best%% *}" | bc))); then best="$cpu $peak"; fi
  done
  echo "$best"
}

read -r base_cpu base_peak < <(best_of)
printf '%-36s %8s %8s %10s\n' command "CPU s" "x plain" "peak MB"
row() {
  local label=$1 cpu peak
  shift
  read -r cpu peak < <(best_of "$@")
  printf '%-36s %8.2f %8.2f %10.1f\n' "$label" "$cpu" "$(echo "$cpu / $base_cpu" | bc -l)" \
    "$(echo "$peak / 1024" | bc -l)"
}
row "tabulix big.csv" 
row "--sort Bytes --head 10" --sort Bytes --head 10
row "--sort Price:desc --head 10" --sort Price:desc --head 10
row "--sort Name --head 10" --sort Name --head 10
row "--stats" --stats
row "--where 'Count>0'" --where 'Count>0'
row "--where 'Name~^al'" --where 'Name~^al'
