// SPDX-License-Identifier: MIT
// Rows: opening, ending, counting and removing them, and the arenas that
// hold the rows and their cells.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "tabulix_internal.h"

#if defined(__linux__)
#include <sys/mman.h>
#include <unistd.h>
#endif

// ---- the arenas ---------------------------------------------------------------

namespace {

void push_block(arena& a, arena_block* b) noexcept {
  b->older = a.newest;
  a.newest = b;
}

// Asks for huge pages behind a large block, whose records are written from
// its start to its end. The allocator maps such a block by itself, in whole
// pages, and the kernel places a mapping of whole huge pages on a huge page
// boundary, so the advice covers the block from the page that holds its
// start to the page that holds its end. The first huge page stays small, as
// the allocator's header has touched it already. Advice only: where it is
// refused, or the pages stay small, nothing else changes.
void advise_huge_pages(arena_block* b, size_t size) noexcept {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  const long page_size = sysconf(_SC_PAGESIZE);
  if (page_size <= 0) return;
  const auto page = static_cast<uintptr_t>(page_size);
  char* start = reinterpret_cast<char*>(b);
  const uintptr_t before = reinterpret_cast<uintptr_t>(start) % page;
  const uintptr_t after = (page - (reinterpret_cast<uintptr_t>(start) + size) % page) % page;
  madvise(start - before, before + size + after, MADV_HUGEPAGE);
#else
  static_cast<void>(b);
  static_cast<void>(size);
#endif
}

}  // namespace

// Nothing changes until the block is allocated: a failure leaves the arena
// as it was. A record larger than a regular block's room gets a block of its
// own; it never becomes the current block, whose free space stays in use.
void* arena_carve_from_new_block(arena& a, size_t size) noexcept {
  const size_t regular = a.next_block != 0 ? a.next_block : arena_first_block;
  const size_t block_size = regular - arena_allocator_share;
  if (size > block_size - sizeof(arena_block)) {
    auto* own = static_cast<arena_block*>(std::calloc(1, sizeof(arena_block) + size));
    if (own == nullptr) return nullptr;
    own->end = arena_records(own) + size;
    push_block(a, own);
    return arena_records(own);
  }
  auto* b = static_cast<arena_block*>(std::calloc(1, block_size));
  if (b == nullptr) return nullptr;
  if (regular >= arena_huge_block) advise_huge_pages(b, block_size);
  if (a.current != nullptr) a.current->end = a.free;
  push_block(a, b);
  a.current = b;
  a.free = arena_records(b) + size;
  a.end = reinterpret_cast<char*>(b) + block_size;
  a.next_block = std::min(regular * 2, arena_last_block);
  return arena_records(b);
}

// A record that does not fit a regular block gets a block of its size and a
// regular block's room besides, for the rest of its row.
char* arena_extend_in_new_block(arena& a, const char* start, size_t kept, size_t size) noexcept {
  if (kept > arena_max_record - size) return nullptr;
  const size_t needed = kept + size;
  const size_t regular = a.next_block != 0 ? a.next_block : arena_first_block;
  const size_t regular_size = regular - arena_allocator_share;
  const bool oversized = needed > regular_size - sizeof(arena_block);
  const size_t block_size = oversized ? sizeof(arena_block) + needed + regular_size : regular_size;
  auto* b = static_cast<arena_block*>(std::calloc(1, block_size));
  if (b == nullptr) return nullptr;
  if (!oversized && regular >= arena_huge_block) advise_huge_pages(b, block_size);
  char* record = arena_records(b);
  if (kept != 0) std::memcpy(record, start, kept);
  if (a.current != nullptr) a.current->end = a.free;
  push_block(a, b);
  a.current = b;
  a.free = record + needed;
  a.end = reinterpret_cast<char*>(b) + block_size;
  if (!oversized) a.next_block = std::min(regular * 2, arena_last_block);
  return record;
}

// The records carved from the marked current block after the mark end at
// the arena's free pointer while that block is still current, else where the
// block was left when a newer one took over.
void arena_rewind(arena& a, const arena& mark) noexcept {
  if (mark.current != nullptr) {
    char* carved_end = a.current == mark.current ? a.free : mark.current->end;
    std::memset(mark.free, 0, static_cast<size_t>(carved_end - mark.free));
  }
  while (a.newest != mark.newest) {
    arena_block* b = a.newest;
    a.newest = b->older;
    std::free(b);
  }
  a = mark;
}

void arena_release(arena& a) noexcept {
  while (arena_block* b = a.newest) {
    a.newest = b->older;
    std::free(b);
  }
  a = arena{};
}

// ---- rows -----------------------------------------------------------------------

void release_rows(tblx_table* table) noexcept {
  arena_release(table->row_store);
  arena_release(table->cell_store);
  table->rows = nullptr;
  table->rows_tail = nullptr;
  table->open_row = nullptr;
  table->cell_column = nullptr;
  table->open_marks = 0;
}

void remove_all_rows(tblx_table* table) noexcept {
  release_rows(table);
  table->row_count = 0;
  unfreeze(table);
  table->before_row = row_start{};  // its blocks are gone
}

// Every row record carved from row_store is linked into the row list at once,
// so the measuring pass may visit the rows in the order they lie in memory.
TBLX_EXPORT tblx_status TBLX_CALL tblx_beginrow(tblx_table* table) noexcept {
  if (unavailable(table)) return TBLX_ERR_INVALID_ARGUMENT;
  if (!table->header_ended) return TBLX_ERR_NO_HEADER;
  if (table->open_row != nullptr) return TBLX_ERR_ROW_OPEN;

  // What tblx_cancelrow() restores, kept once the row exists.
  const row_start start{table->row_store, table->cell_store, table->rows_tail};
  auto* r = static_cast<row*>(arena_carve(table->row_store, sizeof(row)));
  if (r == nullptr) return TBLX_ERR_NO_MEMORY;
  table->before_row = start;
  if (table->rows == nullptr) {
    table->rows = r;
  } else {
    table->rows_tail->next = r;
  }
  table->rows_tail = r;
  table->open_row = r;
  table->open_marks = 0;
  table->cell_column = table->columns;
  table->layout_stale = 1;
  return TBLX_OK;
}

TBLX_EXPORT tblx_status TBLX_CALL tblx_endrow(tblx_table* table) noexcept {
  if (unavailable(table)) return TBLX_ERR_INVALID_ARGUMENT;
  if (table->open_row == nullptr) return TBLX_ERR_NO_OPEN_ROW;
  table->open_row = nullptr;
  // Clearing the cursor keeps cells out of an ended (possibly short) row,
  // which the last measurement may not have seen: such cells get 13.
  table->cell_column = nullptr;
  table->open_marks = 0;
  table->row_count = static_cast<int32_t>(static_cast<uint32_t>(table->row_count) + 1u);
  return TBLX_OK;
}

// The open row is the last record of the row arena and the last of the row
// list (sorting needs no open row), and its cells are the last records of the
// cell arena: rewinding both arenas to where tblx_beginrow() found them
// drops exactly the row and its cells. Settings may have changed while the
// row was open (a setter needs no closed row), so the next print measures
// again.
TBLX_EXPORT tblx_status TBLX_CALL tblx_cancelrow(tblx_table* table) noexcept {
  if (unavailable(table)) return TBLX_ERR_INVALID_ARGUMENT;
  if (table->open_row == nullptr) return TBLX_ERR_NO_OPEN_ROW;
  const row_start& before = table->before_row;
  arena_rewind(table->row_store, before.row_store);
  arena_rewind(table->cell_store, before.cell_store);
  table->rows_tail = before.rows_tail;
  if (table->rows_tail == nullptr) {
    table->rows = nullptr;
  } else {
    table->rows_tail->next = nullptr;
  }
  table->layout_stale = 1;
  table->open_row = nullptr;
  table->cell_column = nullptr;
  table->open_marks = 0;
  return TBLX_OK;
}

TBLX_EXPORT int32_t TBLX_CALL tblx_getrowcount(const tblx_table* table) noexcept {
  return table == nullptr ? 0 : table->row_count;
}

TBLX_EXPORT void TBLX_CALL tblx_removerows(tblx_table* table) noexcept {
  if (unavailable(table)) return;
  remove_all_rows(table);
  // Measure the now empty table on the next print, so that no sum of a
  // removed row is ever shown.
  table->layout_stale = 1;
}

// Every row and cell record lies in its table's arenas, which cannot give
// back one record: the row and its cells are released with their blocks when
// the table removes its rows, is cleaned or deleted. So this frees nothing
// and leaves the records as they are; calling it on a table's row is
// harmless, and the table itself never needs it.
TBLX_EXPORT void TBLX_CALL free_row(tblx_row* /*r*/) noexcept {}
