#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The ABI baseline of the shared library: abi/libtabulix.so.0.abi, written by
# abidw (Debian: abigail-tools) from a build with debug information.
#
#   scripts/abi.sh check    build the library and compare it with the baseline:
#                           fails on any removed function or changed type or
#                           symbol version; added functions are listed only
#   scripts/abi.sh update   build the library and rewrite the baseline; run it
#                           when a release adds names, after they are merged
#
# Within 0.x a release only adds to the ABI, so the baseline changes only by
# additions. The baseline is of x86-64; compare on the same architecture.
set -euo pipefail

cd "$(dirname "${BASH_SOURCE[0]}")/.."

mode=${1:-check}
build_dir=${ABI_BUILD_DIR:-build-abi}
baseline=abi/libtabulix.so.0.abi
# What abidiff reports that is no change of the ABI, each with its reason.
suppressions=abi/tabulix.abignore

# The public types only (those of include/), without source paths or line
# numbers, so that the file changes only when the ABI does.
abidw_options=(--headers-dir include --drop-private-types --no-corpus-path --no-comp-dir-path
  --no-show-locs --type-id-style hash)

build_library() {
  cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTABULIX_BUILD_TESTS=OFF \
    -DTABULIX_BUILD_TOOLS=OFF -DTABULIX_BUILD_EXAMPLES=OFF -DTABULIX_BUILD_BENCH=OFF >/dev/null
  cmake --build "$build_dir" -j2 --target tabulix
}

case $mode in
  update)
    build_library
    abidw "${abidw_options[@]}" --out-file "$baseline" "$build_dir/libtabulix.so"
    echo "wrote $baseline"
    ;;
  check)
    build_library
    abidw "${abidw_options[@]}" --out-file "$build_dir/libtabulix.so.0.abi" \
      "$build_dir/libtabulix.so"
    rc=0
    abidiff --no-added-syms --suppressions "$suppressions" "$baseline" \
      "$build_dir/libtabulix.so.0.abi" || rc=$?
    if ((rc != 0)); then
      echo "abidiff: the library removes or changes what $baseline holds (status $rc)"
      exit 1
    fi
    # Additions are allowed; say which ones the baseline does not hold yet.
    abidiff --suppressions "$suppressions" "$baseline" "$build_dir/libtabulix.so.0.abi" |
      grep -E "^  \[A\]" || true
    echo "abidiff: nothing of $baseline removed or changed"
    ;;
  *)
    echo "usage: $0 check|update" >&2
    exit 2
    ;;
esac
