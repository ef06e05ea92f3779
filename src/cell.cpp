// SPDX-License-Identifier: MIT
// Cells: appending typed cells to the open row, and comparing cells.
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

#include "tabulix_internal.h"

namespace {

// The checks after the null tests: a column must be waiting, of the cell's type.
tblx_status check_waiting_column(const tblx_table* table, int32_t type) noexcept {
  if (table->cell_column == nullptr) return TBLX_ERR_NO_MORE_COLUMNS;
  if (table->cell_column->type != type) return TBLX_ERR_CELL_TYPE_MISMATCH;
  return TBLX_OK;
}

// Carves room for the next cell of the open row, `size` bytes (a multiple
// of 4, or 0 for an empty cell), behind the cells it has, with the mark word
// that starts each group of cells (the row's header before its first). The
// arena hands out zeroed bytes, so a new mark word has no cell marked yet.
// The row moves when its block has no room left: its cells then start
// elsewhere. Gives where the cell goes, or null when a block could not be
// allocated, and then the row is unchanged.
char* append_cell_slowly(tblx_table* table, size_t size, bool empty) noexcept {
  row_cells* cells = table->open_row->cells;
  const uint32_t index = cells != nullptr ? cells->count : 0;
  size_t marks = 0;  // bytes of the mark word (or header) that this cell starts
  if (index == 0) {
    marks = sizeof(row_cells);
  } else if (index % cells_per_mark_word == 0) {
    marks = sizeof(uint32_t);
  }
  if (size > arena_max_record - marks) return nullptr;
  char* start = arena_extend(table->cell_store, reinterpret_cast<char*>(cells), marks + size);
  if (start == nullptr) return nullptr;
  cells = reinterpret_cast<row_cells*>(start);
  table->open_row->cells = cells;
  char* at = table->cell_store.free - (marks + size);
  if (index == 0) {
    table->open_marks = offsetof(row_cells, empties);
  } else if (marks != 0) {
    table->open_marks = static_cast<size_t>(at - start);
  }
  at += marks;
  if (empty) {
    uint32_t word = 0;
    char* word_at = start + table->open_marks;
    std::memcpy(&word, word_at, sizeof word);
    word |= 1u << (index % cells_per_mark_word);
    std::memcpy(word_at, &word, sizeof word);
  }
  cells->count = index + 1;
  table->cell_column = table->cell_column->next;
  return at;
}

// append_cell's common case first: a present cell that is not the row's
// first nor starts a group of cells, and fits the current block.
char* append_cell(tblx_table* table, size_t size) noexcept {
  row_cells* cells = table->open_row->cells;
  arena& store = table->cell_store;
  if (cells == nullptr || cells->count % cells_per_mark_word == 0 ||
      size > static_cast<size_t>(store.end - store.free)) [[unlikely]] {
    return append_cell_slowly(table, size, false);
  }
  char* at = store.free;
  store.free += size;
  ++cells->count;
  table->cell_column = table->cell_column->next;
  return at;
}

tblx_status add_value_cell(tblx_table* table, int32_t type, uint64_t value) noexcept {
  if (unavailable(table)) return TBLX_ERR_INVALID_ARGUMENT;
  if (tblx_status s = check_waiting_column(table, type); s != TBLX_OK) return s;
  char* at = append_cell(table, number_cell_size);
  if (at == nullptr) return TBLX_ERR_NO_MEMORY;
  std::memcpy(at, &value, sizeof value);
  return TBLX_OK;
}

}  // namespace

const cell empty_cell{};

TBLX_EXPORT tblx_status TBLX_CALL tblx_addcell_string(tblx_table* table,
                                                      const char* text) noexcept {
  if (text == nullptr || unavailable(table)) return TBLX_ERR_INVALID_ARGUMENT;
  if (tblx_status s = check_waiting_column(table, TBLX_TYPE_STRING); s != TBLX_OK) return s;

  const size_t len = std::strlen(text);
  if (!fits_length_field(len)) return TBLX_ERR_INVALID_ARGUMENT;
  // The length, then the text and its NUL. A size beyond the arena's largest
  // record fails as an allocation would.
  const size_t size = len < arena_max_record ? string_cell_size(len) : SIZE_MAX;
  char* at = append_cell(table, size);
  if (at == nullptr) return TBLX_ERR_NO_MEMORY;
  const auto len32 = static_cast<uint32_t>(len);
  std::memcpy(at, &len32, sizeof len32);
  std::memcpy(at + cell_text_offset, text, len + 1);
  return TBLX_OK;
}

// A missing value: fits a column of any type, and takes no room but its mark.
TBLX_EXPORT tblx_status TBLX_CALL tblx_addcell_empty(tblx_table* table) noexcept {
  if (unavailable(table)) return TBLX_ERR_INVALID_ARGUMENT;
  if (table->cell_column == nullptr) return TBLX_ERR_NO_MORE_COLUMNS;
  if (append_cell_slowly(table, 0, true) == nullptr) return TBLX_ERR_NO_MEMORY;
  return TBLX_OK;
}

TBLX_EXPORT tblx_status TBLX_CALL tblx_addcell_int(tblx_table* table, int64_t value) noexcept {
  return add_value_cell(table, TBLX_TYPE_INT, static_cast<uint64_t>(value));
}

TBLX_EXPORT tblx_status TBLX_CALL tblx_addcell_uint(tblx_table* table, uint64_t value) noexcept {
  return add_value_cell(table, TBLX_TYPE_UINT, value);
}

TBLX_EXPORT tblx_status TBLX_CALL tblx_addcell_hex(tblx_table* table, uint64_t value) noexcept {
  return add_value_cell(table, TBLX_TYPE_HEX, value);
}

TBLX_EXPORT tblx_status TBLX_CALL tblx_addcell_double(tblx_table* table, double value) noexcept {
  return add_value_cell(table, TBLX_TYPE_DOUBLE, std::bit_cast<uint64_t>(value));
}

// ---- comparing cells ----------------------------------------------------------

namespace {

// -1, 0 or 1 as a is below, equal to or above b.
template <typename T>
int three_way(T a, T b) noexcept {
  return (a > b) - (a < b);
}

// An empty cell sorts below every value of its column, the empty text
// included, and equal to another empty cell.
bool either_empty(const cell* a, const cell* b) noexcept { return a->empty() || b->empty(); }
int cmp_empty(const cell* a, const cell* b) noexcept { return three_way(!a->empty(), !b->empty()); }

}  // namespace

int TBLX_CALL cell_cmp_int(const cell* a, const cell* b) noexcept {
  if (either_empty(a, b)) return cmp_empty(a, b);
  // The value holds the two's complement bits of the signed number.
  return three_way(static_cast<int64_t>(a->value()), static_cast<int64_t>(b->value()));
}

int TBLX_CALL cell_cmp_uint(const cell* a, const cell* b) noexcept {
  if (either_empty(a, b)) return cmp_empty(a, b);
  return three_way(a->value(), b->value());
}

// Doubles by value, -0 equal to 0; NaN above every other value and equal
// to any NaN, so that the order is total and sorting stays well defined.
int TBLX_CALL cell_cmp_double(const cell* a, const cell* b) noexcept {
  if (either_empty(a, b)) return cmp_empty(a, b);
  const auto x = std::bit_cast<double>(a->value());
  const auto y = std::bit_cast<double>(b->value());
  const bool x_nan = std::isnan(x);
  const bool y_nan = std::isnan(y);
  if (x_nan || y_nan) return three_way(x_nan, y_nan);
  return three_way(x, y);
}

int TBLX_CALL cell_cmp_str(const cell* a, const cell* b) noexcept {
  if (either_empty(a, b)) return cmp_empty(a, b);
  // Only the sign is kept, so that a caller may negate the result safely.
  return three_way(std::strcmp(a->str.text, b->str.text), 0);
}

int TBLX_CALL cell_cmp_str_len(const cell* a, const cell* b) noexcept {
  if (either_empty(a, b)) return cmp_empty(a, b);
  if (a->str.len != b->str.len) return a->str.len < b->str.len ? -1 : 1;
  return cell_cmp_str(a, b);
}

TBLX_EXPORT tblx_cell_cmp_func TBLX_CALL tblx_get_cell_cmp__(const tblx_column* col) noexcept {
  if (col == nullptr) return nullptr;
  switch (col->type) {
    case TBLX_TYPE_STRING:
      return (col->sort_mode & TBLX_SORTMODE_BY_LENGTH) ? cell_cmp_str_len : cell_cmp_str;
    case TBLX_TYPE_INT:
      return cell_cmp_int;
    case TBLX_TYPE_UINT:
    case TBLX_TYPE_HEX:
      return cell_cmp_uint;
    case TBLX_TYPE_DOUBLE:
      return cell_cmp_double;
    default:
      return nullptr;
  }
}
