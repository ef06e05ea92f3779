// SPDX-License-Identifier: MIT
// Last-occurrence byte search, shared by the printer and the width layout.
#include <cstring>

#include "tabulix_internal.h"

TBLX_EXPORT void* TBLX_CALL tblx_memrchr__(const void* s, int c, size_t n) noexcept {
  const auto* first = static_cast<const unsigned char*>(s);
  const auto target = static_cast<unsigned char>(c);
  // Walking back from the end stops at the last match: the same byte that a
  // forward walk remembering every match would give. No NUL ends the search.
  for (const unsigned char* p = first + n; p != first;) {
    if (*--p == target) return const_cast<unsigned char*>(p);
  }
  return nullptr;
}
