// SPDX-License-Identifier: MIT
// Column definitions: declaring the header, the open column's setters, IDs.
#include <cstdlib>
#include <cstring>

#include "double_text.h"
#include "tabulix_internal.h"

const char empty_string[] = "";

const char* TBLX_CALL title_ident(void* arg, uint32_t /*width*/) noexcept {
  return static_cast<const char*>(arg);
}

namespace {

// The checks every setter shares, in their fixed order. On success *out is
// the open column.
tblx_status find_open_column(tblx_table* table, column** out) noexcept {
  if (unavailable(table)) return TBLX_ERR_INVALID_ARGUMENT;
  if (table->header_ended) return TBLX_ERR_HEADER_ENDED;
  if (table->open_column == nullptr) return TBLX_ERR_NO_OPEN_COLUMN;
  *out = table->open_column;
  return TBLX_OK;
}

bool valid_justification(unsigned int j) noexcept {
  return j >= TBLX_JUST_LEFT && j <= TBLX_JUST_CHAR_LAST;
}

bool is_numeric(int32_t type) noexcept {
  return type == TBLX_TYPE_INT || type == TBLX_TYPE_UINT || type == TBLX_TYPE_HEX ||
         type == TBLX_TYPE_DOUBLE;
}

// Shared by both declaring calls; id_out may be null when the caller wants no ID.
tblx_status declare_column(tblx_table* table, unsigned int type, int32_t* id_out) noexcept {
  if (table->header_ended) return TBLX_ERR_HEADER_ENDED;
  if (table->open_column != nullptr) return TBLX_ERR_COLUMN_OPEN;
  if (type < TBLX_TYPE_STRING || type > TBLX_TYPE_DOUBLE) return TBLX_ERR_INVALID_COLUMN_TYPE;

  auto* c = static_cast<column*>(std::calloc(1, sizeof(column)));
  if (c == nullptr) return TBLX_ERR_NO_MEMORY;
  // A double column's sum is kept exact in an accumulator of its own, taken
  // now so that a print never needs memory for it.
  if (type == TBLX_TYPE_DOUBLE) {
    c->exact = static_cast<exact_sum*>(std::calloc(1, sizeof(exact_sum)));
    if (c->exact == nullptr) {
      std::free(c);
      return TBLX_ERR_NO_MEMORY;
    }
  }
  c->type = static_cast<int32_t>(type);
  c->precision = shortest_precision;
  c->special_text = type == TBLX_TYPE_DOUBLE ? 1 : 0;
  c->title_func = title_ident;
  c->title_arg = const_cast<char*>(empty_string);  // never written through
  c->suffix = empty_string;
  c->title_justification = table->default_title_justification;
  c->cell_justification = table->default_cell_justification;
  c->hex_case = table->default_hex_case;
  c->sort_mode = table->default_sort_mode;
  c->justify_char = table->default_justify_char;
  c->id = table->next_column_id;
  // Unsigned step: wrapping after 2^31 declarations is defined, if unlikely.
  table->next_column_id = static_cast<int32_t>(static_cast<uint32_t>(table->next_column_id) + 1u);

  if (table->columns == nullptr) {
    table->columns = c;
  } else {
    table->columns_tail->next = c;
  }
  table->columns_tail = c;
  table->open_column = c;
  if (id_out != nullptr) *id_out = c->id;
  return TBLX_OK;
}

}  // namespace

TBLX_EXPORT tblx_status TBLX_CALL tblx_begincolumn(tblx_table* table, unsigned int type) noexcept {
  if (unavailable(table)) return TBLX_ERR_INVALID_ARGUMENT;
  return declare_column(table, type, nullptr);
}

TBLX_EXPORT tblx_status TBLX_CALL tblx_begincolumn_columnid(tblx_table* table, unsigned int type,
                                                            int32_t* id) noexcept {
  if (id == nullptr || unavailable(table)) return TBLX_ERR_INVALID_ARGUMENT;
  return declare_column(table, type, id);
}

TBLX_EXPORT tblx_status TBLX_CALL tblx_endcolumn(tblx_table* table) noexcept {
  column* c = nullptr;
  if (tblx_status s = find_open_column(table, &c); s != TBLX_OK) return s;
  table->open_column = nullptr;
  return TBLX_OK;
}

TBLX_EXPORT tblx_status TBLX_CALL tblx_setcolumn_title(tblx_table* table,
                                                       const char* title) noexcept {
  column* c = nullptr;
  if (tblx_status s = find_open_column(table, &c); s != TBLX_OK) return s;
  c->title_func = title_ident;
  c->title_arg = const_cast<char*>(title);  // title_ident only reads it
  return TBLX_OK;
}

TBLX_EXPORT tblx_status TBLX_CALL tblx_setcolumn_titlefunc(tblx_table* table, tblx_title_func func,
                                                           void* arg) noexcept {
  // A null callback would be called by the next print: refuse it up front.
  if (func == nullptr) return TBLX_ERR_INVALID_ARGUMENT;
  column* c = nullptr;
  if (tblx_status s = find_open_column(table, &c); s != TBLX_OK) return s;
  c->title_func = func;
  c->title_arg = arg;
  return TBLX_OK;
}

TBLX_EXPORT tblx_status TBLX_CALL tblx_setcolumn_titlejust(tblx_table* table,
                                                           unsigned int justification) noexcept {
  column* c = nullptr;
  if (tblx_status s = find_open_column(table, &c); s != TBLX_OK) return s;
  if (!valid_justification(justification)) return TBLX_ERR_INVALID_JUSTIFICATION;
  c->title_justification = static_cast<int32_t>(justification);
  return TBLX_OK;
}

TBLX_EXPORT tblx_status TBLX_CALL tblx_setcolumn_celljust(tblx_table* table,
                                                          unsigned int justification) noexcept {
  column* c = nullptr;
  if (tblx_status s = find_open_column(table, &c); s != TBLX_OK) return s;
  if (!valid_justification(justification)) return TBLX_ERR_INVALID_JUSTIFICATION;
  c->cell_justification = static_cast<int32_t>(justification);
  return TBLX_OK;
}

TBLX_EXPORT tblx_status TBLX_CALL tblx_setcolumn_minwidth(tblx_table* table, int width) noexcept {
  column* c = nullptr;
  if (tblx_status s = find_open_column(table, &c); s != TBLX_OK) return s;
  c->min_width = width < 0 ? 0u : static_cast<uint32_t>(width);
  return TBLX_OK;
}

TBLX_EXPORT tblx_status TBLX_CALL tblx_setcolumn_summarize(tblx_table* table, int flag) noexcept {
  column* c = nullptr;
  if (tblx_status s = find_open_column(table, &c); s != TBLX_OK) return s;
  c->summarize = is_numeric(c->type) ? flag : 0;
  return TBLX_OK;
}

TBLX_EXPORT tblx_status TBLX_CALL tblx_setcolumn_hexcase(tblx_table* table,
                                                         unsigned int hex_case) noexcept {
  column* c = nullptr;
  if (tblx_status s = find_open_column(table, &c); s != TBLX_OK) return s;
  if (hex_case != TBLX_HEX_LOWER && hex_case != TBLX_HEX_UPPER) return TBLX_ERR_INVALID_CASING;
  c->hex_case = static_cast<int32_t>(hex_case);
  return TBLX_OK;
}

TBLX_EXPORT tblx_status TBLX_CALL tblx_setcolumn_leadingzero(tblx_table* table, int flag) noexcept {
  column* c = nullptr;
  if (tblx_status s = find_open_column(table, &c); s != TBLX_OK) return s;
  c->leading_zeros = c->type == TBLX_TYPE_HEX ? flag : 0;
  return TBLX_OK;
}

TBLX_EXPORT tblx_status TBLX_CALL tblx_setcolumn_suffix(tblx_table* table,
                                                        const char* suffix) noexcept {
  column* c = nullptr;
  if (tblx_status s = find_open_column(table, &c); s != TBLX_OK) return s;
  if (suffix == nullptr) suffix = empty_string;
  const size_t len = std::strlen(suffix);
  if (!fits_length_field(len)) return TBLX_ERR_INVALID_ARGUMENT;
  c->suffix = suffix;
  c->suffix_len = static_cast<uint32_t>(len);
  return TBLX_OK;
}

TBLX_EXPORT tblx_status TBLX_CALL tblx_setcolumn_sortmode(tblx_table* table, int mode) noexcept {
  column* c = nullptr;
  if (tblx_status s = find_open_column(table, &c); s != TBLX_OK) return s;
  c->sort_mode = mode;
  return TBLX_OK;
}

TBLX_EXPORT tblx_status TBLX_CALL tblx_setcolumn_justchar(tblx_table* table,
                                                          int character) noexcept {
  column* c = nullptr;
  if (tblx_status s = find_open_column(table, &c); s != TBLX_OK) return s;
  const auto justify_char = static_cast<unsigned char>(character);
  // Digits grouped with the alignment character would split at a separator.
  if (c->group_separator != 0 && justify_char == static_cast<unsigned char>(c->group_separator)) {
    return TBLX_ERR_INVALID_ARGUMENT;
  }
  c->justify_char = justify_char;
  return TBLX_OK;
}

TBLX_EXPORT tblx_status TBLX_CALL tblx_setcolumn_precision(tblx_table* table, int digits) noexcept {
  column* c = nullptr;
  if (tblx_status s = find_open_column(table, &c); s != TBLX_OK) return s;
  if (digits < shortest_precision || digits > 17) return TBLX_ERR_INVALID_ARGUMENT;
  c->precision = digits;
  return TBLX_OK;
}

TBLX_EXPORT tblx_status TBLX_CALL tblx_setcolumn_grouping(tblx_table* table,
                                                          char separator) noexcept {
  column* c = nullptr;
  if (tblx_status s = find_open_column(table, &c); s != TBLX_OK) return s;
  if (separator != 0 && (!valid_group_separator(separator) ||
                         static_cast<unsigned char>(separator) == c->justify_char)) {
    return TBLX_ERR_INVALID_ARGUMENT;
  }
  c->group_separator = c->type == TBLX_TYPE_STRING ? '\0' : separator;
  c->special_text = c->type == TBLX_TYPE_DOUBLE || c->group_separator != 0 ? 1 : 0;
  return TBLX_OK;
}

TBLX_EXPORT tblx_status TBLX_CALL tblx_endheader(tblx_table* table) noexcept {
  if (unavailable(table)) return TBLX_ERR_INVALID_ARGUMENT;
  if (table->header_ended) return TBLX_ERR_HEADER_ENDED;
  if (table->open_column != nullptr) return TBLX_ERR_COLUMN_OPEN;
  table->header_ended = 1;
  table->layout_stale = 1;
  return TBLX_OK;
}

TBLX_EXPORT tblx_status TBLX_CALL tblx_getcolumnid(tblx_table* table, uint32_t position,
                                                   int32_t* id) noexcept {
  if (table == nullptr || id == nullptr) return TBLX_ERR_INVALID_ARGUMENT;
  if (!table->header_ended) return TBLX_ERR_NO_HEADER;
  const column* c = table->columns;
  for (uint32_t i = 0; c != nullptr && i < position; ++i) c = c->next;
  if (c == nullptr) return TBLX_ERR_NO_SUCH_COLUMN;
  *id = c->id;
  return TBLX_OK;
}

// The summary text is copied, as it is usually computed (a formatted total)
// and would not outlive the caller's buffer; null gives the sum or filler back.
TBLX_EXPORT tblx_status TBLX_CALL tblx_setsumtext(tblx_table* table, int32_t column_id,
                                                  const char* text) noexcept {
  if (unavailable(table)) return TBLX_ERR_INVALID_ARGUMENT;
  if (!table->header_ended) return TBLX_ERR_NO_HEADER;
  column* c = table->columns;
  while (c != nullptr && c->id != column_id) c = c->next;
  if (c == nullptr) return TBLX_ERR_NO_SUCH_COLUMN;

  char* copy = nullptr;
  size_t len = 0;
  if (text != nullptr) {
    len = std::strlen(text);
    if (!fits_length_field(len)) return TBLX_ERR_INVALID_ARGUMENT;
    copy = static_cast<char*>(std::calloc(len + 1, 1));
    if (copy == nullptr) return TBLX_ERR_NO_MEMORY;
    std::memcpy(copy, text, len + 1);
  }
  std::free(c->sum_text);
  c->sum_text = copy;
  c->sum_text_len = static_cast<uint32_t>(len);
  table->layout_stale = 1;
  return TBLX_OK;
}

void destroy_column(column* c) noexcept {
  if (c != nullptr) {
    std::free(c->sum_text);
    std::free(c->exact);
  }
  std::free(c);
}

// String columns store their summarize flag as 0, so a set flag is a sum shown.
TBLX_EXPORT int TBLX_CALL tblx_hassummary(const tblx_table* table) noexcept {
  if (table == nullptr) return 0;
  for (const column* c = table->columns; c != nullptr; c = c->next) {
    if (c->summarize != 0 || c->sum_text != nullptr) return 1;
  }
  return 0;
}

TBLX_EXPORT void TBLX_CALL free_column(tblx_column* c) noexcept { destroy_column(c); }
