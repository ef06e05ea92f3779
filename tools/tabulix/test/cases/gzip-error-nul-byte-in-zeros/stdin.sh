# SPDX-License-Identifier: MIT
# 128 MiB of NUL bytes, gzip-compressed to about 128 KiB.
head -c 134217728 /dev/zero | gzip -1
