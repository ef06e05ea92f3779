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

// Links a filled cell into the open row and moves the cursor to the next
// column. The previous cell's link is 0 or just its empty mark until now.
void attach(tblx_table* table, cell* c) noexcept {
  if (table->last_cell == nullptr) {
    table->open_row->cells = c;
  } else {
    table->last_cell->link |= reinterpret_cast<uintptr_t>(c);
  }
  table->last_cell = c;
  table->cell_column = table->cell_column->next;
}

tblx_status add_value_cell(tblx_table* table, int32_t type, uint64_t value) noexcept {
  if (unavailable(table)) return TBLX_ERR_INVALID_ARGUMENT;
  if (tblx_status s = check_waiting_column(table, type); s != TBLX_OK) return s;
  auto* c = static_cast<cell*>(arena_carve(table->cell_store, sizeof(cell)));
  if (c == nullptr) return TBLX_ERR_NO_MEMORY;
  c->value = value;
  attach(table, c);
  return TBLX_OK;
}

}  // namespace

TBLX_EXPORT tblx_status TBLX_CALL tblx_addcell_string(tblx_table* table,
                                                      const char* text) noexcept {
  if (text == nullptr || unavailable(table)) return TBLX_ERR_INVALID_ARGUMENT;
  if (tblx_status s = check_waiting_column(table, TBLX_TYPE_STRING); s != TBLX_OK) return s;

  const size_t len = std::strlen(text);
  if (!fits_length_field(len)) return TBLX_ERR_INVALID_ARGUMENT;
  // One record: the link, the length, then the text and its NUL. A size
  // beyond the arena's largest record fails as an allocation would.
  const size_t size = len < SIZE_MAX - cell_text_offset ? cell_text_offset + len + 1 : SIZE_MAX;
  auto* c = static_cast<cell*>(arena_carve(table->cell_store, std::max(sizeof(cell), size)));
  if (c == nullptr) return TBLX_ERR_NO_MEMORY;
  c->str.len = static_cast<uint32_t>(len);
  std::memcpy(c->str.text, text, len + 1);
  attach(table, c);
  return TBLX_OK;
}

// A missing value: fits a column of any type. Its content stays zero (the
// arena hands out zeroed records), so it reads as an empty text.
TBLX_EXPORT tblx_status TBLX_CALL tblx_addcell_empty(tblx_table* table) noexcept {
  if (unavailable(table)) return TBLX_ERR_INVALID_ARGUMENT;
  if (table->cell_column == nullptr) return TBLX_ERR_NO_MORE_COLUMNS;
  auto* c = static_cast<cell*>(arena_carve(table->cell_store, sizeof(cell)));
  if (c == nullptr) return TBLX_ERR_NO_MEMORY;
  c->link = cell::empty_mark;
  c->value = 0;
  attach(table, c);
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
  return three_way(static_cast<int64_t>(a->value), static_cast<int64_t>(b->value));
}

int TBLX_CALL cell_cmp_uint(const cell* a, const cell* b) noexcept {
  if (either_empty(a, b)) return cmp_empty(a, b);
  return three_way(a->value, b->value);
}

// Doubles by value, -0 equal to 0; NaN above every other value and equal
// to any NaN, so that the order is total and sorting stays well defined.
int TBLX_CALL cell_cmp_double(const cell* a, const cell* b) noexcept {
  if (either_empty(a, b)) return cmp_empty(a, b);
  const auto x = std::bit_cast<double>(a->value);
  const auto y = std::bit_cast<double>(b->value);
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
