#!/bin/bash
# SPDX-License-Identifier: MIT
# tabulix --stream prints the first rows while its input is still open: two
# rows go into a pipe, their lines must be out within 4 s (a loaded machine
# may take a second to start the command), and only then is the pipe closed.
# The command must then end by itself with the summary.
#
#   stream_pipe.sh TOOL
set -u
tool=$1
dir=$(mktemp -d)
trap 'exec 3>&- 2>/dev/null; kill "$pid" 2>/dev/null; rm -rf "$dir"' EXIT
mkfifo "$dir/in"
"$tool" --stream --sum Size < "$dir/in" > "$dir/out" 2> "$dir/err" &
pid=$!
exec 3> "$dir/in"
printf 'Name,Size\nalpha,12\nb,3\n' >&3
for _ in $(seq 40); do
  [ "$(wc -l < "$dir/out")" -ge 3 ] && break
  sleep 0.1
done
expected_rows=$'Name  Size\nalpha   12\nb        3'
if [ "$(cat "$dir/out")" != "$expected_rows" ]; then
  echo "the rows were not printed within 4 s while the input was open; output:"
  cat -A "$dir/out"
  exit 1
fi
printf 'gamma,100\n' >&3
exec 3>&-
# Generous: the command only has to notice the end of its input.
for _ in $(seq 100); do
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
if kill -0 "$pid" 2>/dev/null; then
  echo "the command did not end after its input was closed"
  exit 1
fi
wait "$pid"
status=$?
expected=$'Name  Size\nalpha   12\nb        3\ngamma  100\n       115'
if [ "$status" != 0 ] || [ "$(cat "$dir/out")" != "$expected" ] || [ -s "$dir/err" ]; then
  echo "status $status; output and messages:"
  cat -A "$dir/out" "$dir/err"
  exit 1
fi
