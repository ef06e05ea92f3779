# SPDX-License-Identifier: MIT
# A field of 4 GiB + 16 bytes, whose length does not fit 32 bits, in about
# 18 MB of gzip data.
{
  printf 'a,b\n'
  head -c 4294967312 /dev/zero | tr '\0' x
  printf ',1\n'
} | gzip -1
