// SPDX-License-Identifier: MIT
// The table object: creation, emptying, destruction and the summary fillers.
#include <cstdlib>

#include "tabulix_internal.h"

namespace {

void free_all_columns(tblx_table* table) noexcept {
  while (column* c = table->columns) {
    table->columns = c->next;
    destroy_column(c);
  }
  table->columns_tail = nullptr;
  table->open_column = nullptr;
}

// The fillers accept what the C locale calls printable, whatever locale the
// calling program has set: 0x20 (blank) to 0x7E.
bool is_printable(unsigned char ch) noexcept { return ch >= 0x20 && ch <= 0x7e; }

}  // namespace

TBLX_EXPORT tblx_table* TBLX_CALL tblx_new(void) noexcept {
  auto* table = static_cast<tblx_table*>(std::calloc(1, sizeof(tblx_table)));
  if (table == nullptr) return nullptr;
  table->default_title_justification = TBLX_JUST_LEFT;
  table->default_cell_justification = TBLX_JUST_LEFT;
  table->default_hex_case = TBLX_HEX_LOWER;
  table->default_sort_mode = 0;
  table->next_column_id = 1;
  table->sum_filler[FILLER_RAW][0] = '-';
  table->sum_filler[FILLER_SIMPLE][0] = ' ';
  table->sum_filler[FILLER_FANCY][0] = ' ';
  table->default_justify_char = '.';
  return table;
}

TBLX_EXPORT void TBLX_CALL tblx_delete(tblx_table* table) noexcept {
  if (unavailable(table)) return;
  remove_all_rows(table);
  free_all_columns(table);
  std::free(table->scratch);
  std::free(table);
}

TBLX_EXPORT void TBLX_CALL tblx_clean(tblx_table* table) noexcept {
  if (unavailable(table)) return;
  remove_all_rows(table);
  free_all_columns(table);
  table->capped_columns = 0;
  table->header_ended = 0;
}

TBLX_EXPORT tblx_status TBLX_CALL tblx_setsumreplace(tblx_table* table, unsigned int style,
                                                     int character) noexcept {
  const auto ch = static_cast<unsigned char>(character);
  // The character is tested before the selector.
  if (unavailable(table) || !is_printable(ch)) return TBLX_ERR_INVALID_ARGUMENT;
  int index = 0;
  switch (style) {
    case TBLX_STYLE_SIMPLE:
      index = FILLER_SIMPLE;
      break;
    case TBLX_STYLE_RAW:
      index = FILLER_RAW;
      break;
    case TBLX_STYLE_FANCY:
    case TBLX_STYLE_FANCYW:
      index = FILLER_FANCY;
      break;
    default:
      return TBLX_ERR_INVALID_STYLE;
  }
  table->sum_filler[index][0] = static_cast<char>(ch);
  return TBLX_OK;
}
