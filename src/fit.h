// SPDX-License-Identifier: MIT
// Fields on several lines, columns with a width limit and tables fitted to a
// width: what the measuring pass (fit.cpp) and the printer of such tables
// (lines_print.cpp) share.
#ifndef TABULIX_FIT_H
#define TABULIX_FIT_H

#include <cstdint>
#include <cstdio>

#include "lines.h"
#include "print_sink.h"
#include "tabulix_internal.h"

// The measuring pass of every table (measure.cpp): sums, widths of one line a
// row, the scratch buffer.
tblx_status measure_layout(tblx_table& table) noexcept;

// Prints a table whose layout tblx_flushrows froze (flush.cpp): its sums
// over every row ever added, its rows in the frozen widths.
tblx_status print_frozen(tblx_table& table, unsigned int flags, const destination& to) noexcept;

// Prints a table for which prints_lines holds.
tblx_status print_lines(tblx_table& table, unsigned int flags, const destination& to) noexcept;

// Measures such a table: each field as wide as its widest line, string
// columns within their limits, and with a width limit on the table the
// columns fitted to it.
tblx_status measure_lines(tblx_table& table) noexcept;

// Whether the widths were measured for what the next print shows.
inline bool lines_layout_current(const tblx_table& table) noexcept {
  return table.layout_stale == 0 && table.fitted_style == table.style + 1;
}

// The widest a column's texts may be: its own limit or the one the table's
// width gave, whichever is narrower; 0 for none. Numbers are never cut.
inline uint64_t text_cap(const column& col) noexcept {
  if (col.type != TBLX_TYPE_STRING) return 0;
  if (col.max_width == 0 || (col.fit_width != 0 && col.fit_width < col.max_width)) {
    return col.fit_width;
  }
  return col.max_width;
}

// How a column places a text of justification kind: one whose lines would
// not fit its limit aligned on a character places them left.
inline int32_t placed_kind(const column& col, int32_t kind) noexcept {
  const bool on_char = kind == TBLX_JUST_CHAR_FIRST || kind == TBLX_JUST_CHAR_LAST;
  return col.unaligned != 0 && on_char ? TBLX_JUST_LEFT : kind;
}

// How a column's titles, cells and summary text break into lines. Wrapping
// needs multi-line output; without it a wrapping column cuts.
inline line_rules rules_of(const tblx_table& table, const column& col) noexcept {
  line_rules rules{};
  rules.split_newlines = table.multiline != 0;
  rules.wrap = col.wrap != 0 && table.multiline != 0;
  rules.display = table.display_widths != 0;
  rules.cap = text_cap(col);
  return rules;
}

#endif  // TABULIX_FIT_H
