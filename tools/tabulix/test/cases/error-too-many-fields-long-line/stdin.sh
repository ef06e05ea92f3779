# SPDX-License-Identifier: MIT
# A record of 16 Mi delimiters under a header of two fields.
printf 'a,b\n1,'
head -c 16777216 /dev/zero | tr '\0' ','
