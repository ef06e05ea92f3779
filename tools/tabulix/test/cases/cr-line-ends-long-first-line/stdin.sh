# SPDX-License-Identifier: MIT
# CR line ends, and a first line longer than the reader's 64 KiB reads.
printf 'Id,N,%070000d\r' 0
printf 'a,1,x\rb,2,y\r'
