# SPDX-License-Identifier: MIT
# The case cr-line-ends-long-first-line, gzip-compressed.
bash ../cr-line-ends-long-first-line/stdin.sh | gzip -1
