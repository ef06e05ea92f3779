// SPDX-License-Identifier: MIT
// Walking the rows of a print: cache lines requested ahead of the walk.
#ifndef TABULIX_ROW_WALK_H
#define TABULIX_ROW_WALK_H

#include <cstddef>

#include "tabulix_internal.h"

// Asks for a cache line that the walk will read soon, where the compiler can.
inline void prefetch_line(const void* p) noexcept {
#if defined(__GNUC__) || defined(__clang__)
  __builtin_prefetch(p);
#else
  static_cast<void>(p);
#endif
}

// Requests the first lines of a row's cells, which lie back to back as the
// row was filled; null for an empty row. Written out line by line: GCC drops
// prefetches made in a loop behind the null test.
inline void prefetch_cells(const row_cells* cells) noexcept {
  constexpr size_t line_size = 64;
  if (cells == nullptr) return;
  const char* at = reinterpret_cast<const char*>(cells);
  prefetch_line(at);
  prefetch_line(at + line_size);
  prefetch_line(at + 2 * line_size);
}

// A cursor some rows ahead of a walk over the row list. After a sort each
// row record holds the cells of a row that lay elsewhere, so each row's cells
// would be waited for in turn; asking for them ahead lets the waits overlap
// with the work on the rows before. The records themselves lie in list order,
// as a sort leaves them, so the cursor does not wait long for its next row.
class read_ahead {
 public:
  explicit read_ahead(const row* first) noexcept : at_(first) {
    for (int i = 0; i < distance && at_ != nullptr; ++i) at_ = at_->next;
  }

  void step() noexcept {
    if (at_ == nullptr) return;
    const row* next = at_->next;
    prefetch_line(next);
    prefetch_cells(at_->cells);
    at_ = next;
  }

 private:
  static constexpr int distance = 16;
  const row* at_;
};

#endif  // TABULIX_ROW_WALK_H
