#!/bin/bash
# SPDX-License-Identifier: MIT
# Runs one end-to-end case of the tabulix command and compares what it gives
# with what the case expects, byte for byte.
#
#   run_case.sh TOOL CASE_DIR [RUNNER...]
#
# RUNNER, when given, is the command that runs TOOL (such as wine for a
# cross-built tabulix.exe). For a Windows TOOL (*.exe), `F.windows` replaces an
# expected file F where the C runtime's own message differs.
# CASE_DIR holds `args` (the arguments, one per line; the command runs in
# CASE_DIR, so input files are named relative to it), and optionally `stdin`
# (standard input; empty when absent), `out` and `err` (the expected standard
# output and error; empty when absent) and `status` (the expected exit
# status; 0 when absent), and optionally `output`, a file that standard output
# goes to instead (/dev/full checks that a failed write is reported; `out` is
# then empty). Input too large to keep in the tree is made at test time:
# `stdin.sh`, when there is no `stdin`, is a bash script whose output is the
# standard input. `memory`, when present, caps the command's address space at
# that many KiB (`ulimit -v`), so that reading without bound fails the case
# instead of eating the machine's memory; sanitizer builds, which reserve much
# address space, set TABULIX_CASE_NO_MEMORY_LIMIT=1 to run without it, and a
# run through a RUNNER has none either. A case with a file `big` needs several
# GiB of memory and a minute: it runs only with TABULIX_BIG_TESTS=1, and is
# skipped (exit status 77) otherwise. With UPDATE=1 in the environment the
# expected files are written from this run instead: check them before
# committing.
set -u
tool=$1
case_dir=$2
runner=("${@:3}")
cd "$case_dir" || exit 1

if [ -f big ] && [ "${TABULIX_BIG_TESTS:-0}" != 1 ]; then
  echo "skipped: needs TABULIX_BIG_TESTS=1"
  exit 77
fi
mapfile -t args < args
actual=$(mktemp -d)
trap 'rm -rf "$actual"' EXIT
input=stdin
if [ ! -f "$input" ]; then
  input=/dev/null
  if [ -f stdin.sh ]; then
    input=$actual/stdin
    bash stdin.sh > "$input" || exit 1
  fi
fi
limit=
if [ -f memory ] && [ ${#runner[@]} = 0 ] && [ "${TABULIX_CASE_NO_MEMORY_LIMIT:-0}" != 1 ]; then
  limit=$(cat memory)
fi
output=$actual/out
[ -f output ] && output=$(cat output)
: > "$actual/out"

(if [ -n "$limit" ]; then ulimit -v "$limit" || exit 125; fi
 exec "${runner[@]}" "$tool" "${args[@]}") < "$input" > "$output" 2> "$actual/err"
echo $? > "$actual/status"

if [ "${UPDATE:-0}" = 1 ]; then
  for f in out err; do
    if [ -s "$actual/$f" ]; then cp "$actual/$f" "$f"; else rm -f "$f"; fi
  done
  if [ "$(cat "$actual/status")" = 0 ]; then rm -f status; else cp "$actual/status" status; fi
  exit 0
fi

failed=0
echo 0 > "$actual/status0"
for f in out err status; do
  expected=$f
  [[ $tool == *.exe && -f $f.windows ]] && expected=$f.windows
  if [ ! -f "$expected" ]; then
    expected=/dev/null
    [ "$f" = status ] && expected="$actual/status0"
  fi
  if ! cmp -s "$expected" "$actual/$f"; then
    echo "--- $f differs (expected, then actual):"
    diff "$expected" "$actual/$f" | cat -A
    failed=1
  fi
done
exit $failed
