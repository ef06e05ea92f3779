// SPDX-License-Identifier: MIT
// Fields on several lines, string columns with a width limit and tables
// fitted to a width: the setters, and the measuring pass of tables that use
// them. The pass of one line a row measures first (numbers, sums, the
// scratch buffer); the columns whose texts break into lines are then
// measured again, line by line.
#include "fit.h"

#include <algorithm>
#include <cstring>

#include "justify.h"
#include "number_text.h"

TBLX_EXPORT tblx_status TBLX_CALL tblx_setmultiline(tblx_table* table, int on) noexcept {
  if (unavailable(table)) return TBLX_ERR_INVALID_ARGUMENT;
  const uint8_t multiline = on != 0 ? 1 : 0;
  if (multiline != table->multiline) table->layout_stale = 1;
  table->multiline = multiline;
  return TBLX_OK;
}

TBLX_EXPORT tblx_status TBLX_CALL tblx_setmaxwidth(tblx_table* table, unsigned int width) noexcept {
  if (unavailable(table)) return TBLX_ERR_INVALID_ARGUMENT;
  if (width != table->max_width) table->layout_stale = 1;
  table->max_width = width;
  return TBLX_OK;
}

TBLX_EXPORT tblx_status TBLX_CALL tblx_setcolumn_maxwidth(tblx_table* table, unsigned int width,
                                                          int overflow) noexcept {
  if (unavailable(table)) return TBLX_ERR_INVALID_ARGUMENT;
  if (table->header_ended) return TBLX_ERR_HEADER_ENDED;
  column* col = table->open_column;
  if (col == nullptr) return TBLX_ERR_NO_OPEN_COLUMN;
  // Numbers are never cut.
  if (col->type != TBLX_TYPE_STRING) return TBLX_ERR_INVALID_ARGUMENT;
  if (overflow != TBLX_OVERFLOW_CUT && overflow != TBLX_OVERFLOW_WRAP) {
    return TBLX_ERR_INVALID_ARGUMENT;
  }
  if (col->max_width == 0 && width != 0) ++table->capped_columns;
  if (col->max_width != 0 && width == 0) --table->capped_columns;
  col->max_width = width;
  col->wrap = overflow == TBLX_OVERFLOW_WRAP ? 1 : 0;
  return TBLX_OK;
}

namespace {

void widen_lead(column& col, uint64_t width) noexcept {
  const uint64_t now = width_of(col);
  if (width > now) col.width_lead += width - now;
}

// Raises a column's width pair with one line, split at the alignment
// character for kinds 4 and 5 as the pass of one line a row splits a text.
template <bool Display>
void measure_piece(column& col, int32_t kind, const line_piece& piece) noexcept {
  if (!aligns_on_char(kind)) {
    raise_widths(col, piece.width, 0);
  } else if (const char* at = find_alignment<Display>(kind, piece.text, piece.len, piece.width,
                                                      col.justify_char)) {
    const auto lead_len = static_cast<size_t>(at - piece.text) + 1;
    const uint64_t lead =
        Display && piece.width != piece.len ? display_width(piece.text, lead_len) : lead_len;
    raise_widths(col, lead, piece.width - lead);
  } else {
    raise_widths(col, piece.width + 1, 0);
  }
}

template <bool Display>
void measure_text(column& col, int32_t kind, const char* text, size_t len,
                  const line_rules& rules) noexcept {
  line_cursor cursor{};
  cursor.start(text, len);
  while (cursor.more) measure_piece<Display>(col, kind, next_line(cursor, rules));
}

// The widest line of a text.
uint64_t widest_line(const char* text, const line_rules& rules) noexcept {
  line_cursor cursor{};
  cursor.start(text, std::strlen(text));
  uint64_t widest = 0;
  while (cursor.more) widest = std::max(widest, next_line(cursor, rules).width);
  return widest;
}

const char* title_for(const column& col, uint64_t width) noexcept {
  const char* title = col.title_func(col.title_arg, callback_width(width));
  return title != nullptr ? title : empty_string;
}

// Which columns a pass measures again: every string column whose texts may
// break into lines, or after fitting those that fitting narrowed.
bool measured_again(const tblx_table& table, const column& col, bool fitted_only) noexcept {
  if (col.type != TBLX_TYPE_STRING) return false;
  if (fitted_only) return col.fit_width != 0;
  return table.multiline != 0 || col.max_width != 0;
}

// The cells of the chosen string columns measured again, line by line.
template <bool Display>
void measure_cells_again(tblx_table& table, bool fitted_only) noexcept {
  for (column* col = table.columns; col != nullptr; col = col->next) {
    if (!measured_again(table, *col, fitted_only)) continue;
    col->width_lead = 0;
    col->width_tail = 0;
  }
  for (const row* r = table.rows; r != nullptr; r = r->next) {
    column* col = table.columns;
    for (cell_walk w(r->cells); w.more() && col != nullptr; w.step(*col), col = col->next) {
      if (!measured_again(table, *col, fitted_only)) continue;
      const cell* c = w.get();
      measure_text<Display>(*col, placed_kind(*col, col->cell_justification), c->str.text,
                            c->str.len, rules_of(table, *col));
    }
  }
}

// The rest of a column measured again: its summary text, its title, its
// minimum width.
template <bool Display>
void measure_rest_again(const tblx_table& table, column& col) noexcept {
  const line_rules rules = rules_of(table, col);
  const int32_t kind = placed_kind(col, col.cell_justification);
  // The summary line of a string column without a text shows an empty one.
  if (col.sum_text != nullptr) {
    measure_text<Display>(col, kind, col.sum_text, col.sum_text_len, rules);
  } else if (col.type == TBLX_TYPE_STRING) {
    measure_text<Display>(col, kind, empty_string, 0, rules);
  }
  const bool all_titles = table.measure_titles != 0;
  const int32_t title_kind = placed_kind(col, col.title_justification);
  const bool split = aligns_on_char(title_kind);
  if (split || all_titles) {
    uint64_t width = width_of(col);
    if (all_titles) width = std::max(width, uint64_t{col.min_width});
    // A title that is not split widens the column as a whole.
    const char* title = title_for(col, width);
    if (split) {
      measure_text<Display>(col, title_kind, title, std::strlen(title), rules);
    } else {
      widen_lead(col, widest_line(title, rules));
    }
  }
  const uint64_t cap = text_cap(col);
  widen_lead(col, cap != 0 ? std::min<uint64_t>(col.min_width, cap) : col.min_width);
}

// ---- number columns whose title or summary text takes several lines ---------

// The one-line pass measured such a text whole; the column's numbers are
// measured again as it measures them, and the text line by line.
bool number_lines_measured_whole(const tblx_table& table, const column& col) noexcept {
  if (col.type == TBLX_TYPE_STRING || table.multiline == 0) return false;
  if (col.sum_text != nullptr && std::memchr(col.sum_text, '\n', col.sum_text_len) != nullptr) {
    return true;
  }
  if (!aligns_on_char(col.title_justification) && table.measure_titles == 0) return false;
  return std::strchr(title_for(col, width_of(col)), '\n') != nullptr;
}

template <bool Display>
void measure_numbers_again(const tblx_table& table, column& col) noexcept {
  col.width_lead = 0;
  col.width_tail = 0;
  size_t position = 0;
  for (const column* c = table.columns; c != &col; c = c->next) ++position;
  const line_rules rules = rules_of(table, col);
  for (const row* r = table.rows; r != nullptr; r = r->next) {
    const cell* c = cell_at(r->cells, table.columns, position);
    if (c == nullptr) continue;
    if (c->empty()) {
      measure_text<Display>(col, col.cell_justification, empty_string, 0, rules);
    } else {
      measure_number<Display>(col, make_number_text(col, c->value()));
    }
  }
  if (col.sum_text == nullptr && col.summarize != 0) {
    measure_number<Display>(col, make_sum_text(col));
  }
}

// Measures the chosen string columns again from their cells, summary texts,
// titles and minimum widths, each text line by line within the column's
// limit. A minimum width beyond the limit gives way to it.
template <bool Display>
void measure_again(tblx_table& table, bool fitted_only) noexcept {
  measure_cells_again<Display>(table, fitted_only);
  for (column* col = table.columns; col != nullptr; col = col->next) {
    if (measured_again(table, *col, fitted_only)) {
      measure_rest_again<Display>(table, *col);
    } else if (!fitted_only && number_lines_measured_whole(table, *col)) {
      measure_numbers_again<Display>(table, *col);
      measure_rest_again<Display>(table, *col);
    }
  }
}

void measure_again(tblx_table& table, bool fitted_only) noexcept {
  if (table.display_widths != 0) {
    measure_again<true>(table, fitted_only);
  } else {
    measure_again<false>(table, fitted_only);
  }
}

// ---- fitting the table to a width -------------------------------------------

// The narrowest fitting makes a text column: its natural width when that is
// less, else the width of its title but at least this, or its minimum width.
constexpr uint64_t narrowest_text = 6;

uint64_t separator_width(const tblx_table& table) noexcept {
  const char* separator = table.fancy != 0 ? table.column_separator : " ";
  const size_t len = std::strlen(separator);
  return table.display_widths != 0 ? display_width(separator, len) : len;
}

// The width a text column keeps at the least, kept in fit_width while the
// columns are fitted.
uint64_t least_width(const tblx_table& table, const column& col) noexcept {
  const uint64_t width = width_of(col);
  line_rules rules = rules_of(table, col);
  rules.cap = 0;
  const uint64_t title = widest_line(title_for(col, width), rules);
  const uint64_t floor = std::max({narrowest_text, title, uint64_t{col.min_width}});
  return std::min(width, floor);
}

// The width of the first `shown` columns with every text column narrowed to
// `level`, though not below its least width.
uint64_t width_at(const tblx_table& table, uint32_t shown, uint64_t level) noexcept {
  const uint64_t separator = separator_width(table);
  uint64_t total = 0;
  uint32_t i = 0;
  for (const column* col = table.columns; col != nullptr && i < shown; col = col->next, ++i) {
    if (i != 0) total += separator;
    const uint64_t width = width_of(*col);
    total += col->type == TBLX_TYPE_STRING
                 ? std::max<uint64_t>(col->fit_width, std::min(width, level))
                 : width;
  }
  return total;
}

// Narrows the text columns, the widest first, so that the lines fit the
// table's width: every text column is cut to one level, none below its
// least width. When the least widths do not fit, the columns from the right
// that do not are left out (one column always stays).
void fit_to_width(tblx_table& table) noexcept {
  uint64_t widest = 0;
  for (column* col = table.columns; col != nullptr; col = col->next) {
    if (col->type == TBLX_TYPE_STRING) {
      col->fit_width =
          static_cast<uint32_t>(std::min<uint64_t>(least_width(table, *col), UINT32_MAX));
      widest = std::max(widest, width_of(*col));
    }
  }
  // The columns that fit at their least widths, from the left.
  const uint64_t limit = table.max_width;
  const uint64_t separator = separator_width(table);
  uint64_t least_total = 0;
  uint32_t shown = 0;
  for (const column* col = table.columns; col != nullptr; col = col->next, ++shown) {
    const uint64_t least = col->type == TBLX_TYPE_STRING ? col->fit_width : width_of(*col);
    const uint64_t add = (shown != 0 ? separator : 0) + least;
    if (shown != 0 && least_total + add > limit) break;
    least_total += add;
  }
  table.shown_columns = shown;
  uint64_t level = widest;
  if (width_at(table, shown, widest) > limit) {
    uint64_t low = 0;  // the widest level that fits lies in [low, high)
    uint64_t high = widest;
    while (high - low > 1) {
      const uint64_t mid = low + (high - low) / 2;
      (width_at(table, shown, mid) <= limit ? low : high) = mid;
    }
    level = low;
  }
  for (column* col = table.columns; col != nullptr; col = col->next) {
    if (col->type != TBLX_TYPE_STRING) continue;
    const uint64_t width = std::max<uint64_t>(col->fit_width, level);
    col->fit_width = width < width_of(*col) ? static_cast<uint32_t>(width) : 0;
  }
}

// Lines aligned on a character can make a column wider than its limit: a
// short lead of one line and a long tail of another. Such a column places
// its texts left instead, within the limit.
void keep_within_limits(tblx_table& table) noexcept {
  bool over = false;
  for (column* col = table.columns; col != nullptr; col = col->next) {
    const uint64_t cap = text_cap(*col);
    if (cap == 0 || width_of(*col) <= cap) continue;
    col->unaligned = 1;
    col->fit_width = static_cast<uint32_t>(cap);  // measured again below
    over = true;
  }
  if (over) measure_again(table, true);
}

}  // namespace

tblx_status measure_lines(tblx_table& table) noexcept {
  for (column* col = table.columns; col != nullptr; col = col->next) {
    col->fit_width = 0;
    col->unaligned = 0;
  }
  if (tblx_status s = measure_layout(table); s != TBLX_OK) return s;
  table.shown_columns = UINT32_MAX;
  measure_again(table, false);
  keep_within_limits(table);
  if (table.max_width != 0) {
    fit_to_width(table);
    measure_again(table, true);
    keep_within_limits(table);
  }
  table.fitted_style = static_cast<uint8_t>(table.style + 1);
  return TBLX_OK;
}
