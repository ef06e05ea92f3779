# SPDX-License-Identifier: MIT
# Two million rows, far more than the address space below holds at once.
printf 'id,name,n\n'
seq 1 2000000 | awk '{ printf "%d,row %d of the stream,%d\n", $1, $1, $1 % 1000 }'
