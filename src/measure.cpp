// SPDX-License-Identifier: MIT
// The measuring pass: the sums and the width pair of every column, from its
// cells, sum, summary text, title and minimum width, measured as the text
// format prints them (render.h, number_text.h), and the scratch buffer that
// the widest formatted number needs.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "digits.h"
#include "display_width.h"
#include "fit.h"
#include "justify.h"
#include "number_text.h"
#include "render.h"
#include "row_walk.h"
#include "tabulix_internal.h"

// ---- the measuring pass -------------------------------------------------------

namespace {

// How many rows ahead the measuring pass requests cells: far enough to hide
// the latency of the cells a sort scattered, near enough that the requests
// in flight stay few. With huge pages behind the cells (arena.h) a
// distance of 16 measures a sorted million rows a sixth faster than 64.
constexpr size_t measure_distance = 16;

template <bool Display>
uint64_t measure_columns(tblx_table& table) noexcept;
template <bool Display>
void measure_rows(tblx_table& table) noexcept;
template <bool Display>
void measure_text(column& col, const cell* c) noexcept;
template <bool Display>
void measure_summary(column& col) noexcept;
template <bool Display>
void measure_split(column& col, int32_t kind, const char* text, size_t len) noexcept;
template <bool Display>
void measure_title(column& col, bool all_titles) noexcept;
void widen_lead(column& col, uint64_t width) noexcept;
template <bool Display>
uint64_t suffix_extra(const column& col) noexcept;
tblx_status resize_scratch(tblx_table& table, uint64_t widest) noexcept;

// Measures every column in one width mode and gives the bytes that the
// widest formatted number may take, which is more than its width when a
// suffix takes fewer columns than bytes. Only numbers are formatted in the
// scratch buffer: a long text makes it no larger.
template <bool Display>
uint64_t measure_columns(tblx_table& table) noexcept {
  for (column* col = table.columns; col != nullptr; col = col->next) {
    col->sum = wide_sum{};
    if (col->exact != nullptr) col->exact->clear();
    col->width_lead = 0;
    col->width_tail = 0;
  }
  measure_rows<Display>(table);
  for (column* col = table.columns; col != nullptr; col = col->next) {
    if (col->exact != nullptr) col->double_sum = col->exact->result();
  }
  const bool all_titles = table.measure_titles != 0;
  uint64_t widest = 0;
  for (column* col = table.columns; col != nullptr; col = col->next) {
    measure_summary<Display>(*col);
    measure_title<Display>(*col, all_titles);
    widen_lead(*col, col->min_width);
    if (col->type != TBLX_TYPE_STRING) {
      widest = std::max(widest, width_of(*col) + suffix_extra<Display>(*col));
    }
  }
  return widest;
}

// What the measuring pass keeps of a column while it walks the rows. The
// length of a number grows with its magnitude, so a number column needs
// only its extreme values, measured once at the end; a text that is not
// split at an alignment character needs only the longest (or widest)
// text. Texts that are split are measured cell by cell.
struct column_tally {
  // The methods by extremes come first (see by_extremes).
  enum class method : uint8_t {
    signed_extremes,
    unsigned_extreme,
    double_extremes,
    longest_text,
    each_cell
  };
  // What double_extremes saw besides finite positive values (kept in max_unsigned).
  enum double_kind : uint8_t { positive = 1, negative = 2, nan = 4, plus_inf = 8, minus_inf = 16 };

  column* col;
  method how;
  bool seen;             // a cell was tallied
  bool seen_empty;       // a number column had an empty cell
  uint8_t double_kinds;  // double_kind bits
  uint64_t longest;
  uint64_t max_unsigned;
  int64_t min_signed;
  int64_t max_signed;
  uint64_t max_negative;  // bits of the largest magnitude of a finite negative double
};

column_tally start_tally(column& col) noexcept;
void add_to_sum(column& col, const cell* c) noexcept;
template <bool Display>
void add_to_tally(column_tally& t, const cell* c) noexcept;
template <bool Display>
void finish_tally(const column_tally& t) noexcept;

// Tallies of the first columns live on the stack; further columns, rare in
// practice, are measured cell by cell.
constexpr size_t tallied_columns = 16;

template <bool Display>
void measure_rows(tblx_table& table) noexcept {
  column_tally tallies[tallied_columns];
  uint32_t sizers[tallied_columns]{};
  size_t tally_count = 0;
  column* untallied = table.columns;
  for (; untallied != nullptr && tally_count < tallied_columns; untallied = untallied->next) {
    sizers[tally_count] = cell_sizer(*untallied);
    tallies[tally_count++] = start_tally(*untallied);
  }
  // What the pass keeps does not depend on the order of the rows, so it visits
  // them as they lie in memory, whatever order a sort linked them in. After a
  // sort their cells lie scattered: those of a row some records ahead are
  // requested meanwhile.
  const auto look = [](const row& ahead) noexcept { prefetch_cells(ahead.cells); };
  arena_visit_ahead<const row>(table.row_store, measure_distance, look, [&](const row& r) noexcept {
    const cell* cells[tallied_columns];
    cell_walk w(r.cells);
    const size_t taken = w.take(sizers, cells, tally_count);
    // An empty cell holds 0, which leaves an integer sum as it is; a
    // double sum skips it, as +0 would turn a sum of -0 into 0.
    for (size_t i = 0; i < taken; ++i) {
      if (tallies[i].col->summarize) add_to_sum(*tallies[i].col, cells[i]);
      add_to_tally<Display>(tallies[i], cells[i]);
    }
    for (column* col = untallied; w.more() && col != nullptr; w.step(*col), col = col->next) {
      if (col->summarize) add_to_sum(*col, w.get());
      measure_text<Display>(*col, w.get());
    }
  });
  for (size_t i = 0; i < tally_count; ++i) finish_tally<Display>(tallies[i]);
}

void add_to_sum(column& col, const cell* c) noexcept {
  if (col.exact == nullptr) {
    col.sum.add(c->value(), col.type == TBLX_TYPE_INT);
  } else if (!c->empty()) {
    col.exact->add(c->value());
  }
}

column_tally start_tally(column& col) noexcept {
  column_tally t{};
  t.col = &col;
  t.min_signed = INT64_MAX;
  t.max_signed = INT64_MIN;
  switch (col.type) {
    case TBLX_TYPE_STRING:
      t.how = aligns_on_char(col.cell_justification) ? column_tally::method::each_cell
                                                     : column_tally::method::longest_text;
      break;
    case TBLX_TYPE_INT:
      t.how = column_tally::method::signed_extremes;
      break;
    case TBLX_TYPE_DOUBLE:
      // With fixed decimals, a larger magnitude never has a shorter text;
      // the shortest text of a double has no such order.
      t.how = col.precision >= 0 ? column_tally::method::double_extremes
                                 : column_tally::method::each_cell;
      break;
    default:
      t.how = column_tally::method::unsigned_extreme;
      break;
  }
  // Numbers aligned on a character may be split at it: each one counts.
  if (col.type != TBLX_TYPE_STRING && aligns_on_char(col.cell_justification)) {
    t.how = column_tally::method::each_cell;
  }
  return t;
}

// The bits of a finite double of one sign compare as its magnitude does.
void tally_double(column_tally& t, uint64_t bits) noexcept {
  constexpr uint64_t sign_bit = uint64_t{1} << 63;
  constexpr uint64_t infinity_bits = uint64_t{0x7ff} << 52;
  const uint64_t magnitude = bits & ~sign_bit;
  const bool negative = (bits & sign_bit) != 0;
  if (magnitude > infinity_bits) {
    t.double_kinds |= column_tally::nan;
  } else if (magnitude == infinity_bits) {
    t.double_kinds |= negative ? column_tally::minus_inf : column_tally::plus_inf;
  } else if (negative) {
    t.double_kinds |= column_tally::negative;
    t.max_negative = std::max(t.max_negative, magnitude);
  } else {
    t.double_kinds |= column_tally::positive;
    t.max_unsigned = std::max(t.max_unsigned, magnitude);
  }
}

// Measures the texts that a double column's extremes have.
template <bool Display>
void measure_double_extremes(const column_tally& t) noexcept {
  constexpr uint64_t sign_bit = uint64_t{1} << 63;
  constexpr uint64_t infinity_bits = uint64_t{0x7ff} << 52;
  const struct {
    uint8_t kind;
    uint64_t bits;
  } extremes[] = {
      {column_tally::positive, t.max_unsigned},
      {column_tally::negative, t.max_negative | sign_bit},
      {column_tally::nan, infinity_bits | 1u},
      {column_tally::plus_inf, infinity_bits},
      {column_tally::minus_inf, infinity_bits | sign_bit},
  };
  cell extreme{};
  for (const auto& e : extremes) {
    if ((t.double_kinds & e.kind) == 0) continue;
    extreme.set_value(e.bits);
    measure_text<Display>(*t.col, &extreme);
  }
}

// Empty cells take no part in a number column's extremes: they are measured
// once, as the empty text they print as, when the tally ends.
template <bool Display>
void add_to_tally(column_tally& t, const cell* c) noexcept {
  const bool by_extremes = t.how <= column_tally::method::double_extremes;
  if (by_extremes && c->empty()) {
    t.seen_empty = true;
    return;
  }
  t.seen = true;
  // Apart from the switch, which as a jump table would cost the other
  // columns more than this test.
  if (t.how == column_tally::method::double_extremes) [[unlikely]] {
    tally_double(t, c->value());
    return;
  }
  switch (t.how) {
    case column_tally::method::signed_extremes:
      t.min_signed = std::min(t.min_signed, static_cast<int64_t>(c->value()));
      t.max_signed = std::max(t.max_signed, static_cast<int64_t>(c->value()));
      break;
    case column_tally::method::unsigned_extreme:
      t.max_unsigned = std::max(t.max_unsigned, c->value());
      break;
    case column_tally::method::longest_text:
      t.longest = std::max(t.longest, text_width<Display>(c->str.text, c->str.len));
      break;
    case column_tally::method::each_cell:
      measure_text<Display>(*t.col, c);
      break;
    default:  // double_extremes, above
      break;
  }
}

template <bool Display>
void finish_tally(const column_tally& t) noexcept {
  if (t.seen_empty) measure_split<Display>(*t.col, t.col->cell_justification, empty_string, 0);
  if (!t.seen) return;
  cell extreme{};
  switch (t.how) {
    case column_tally::method::signed_extremes:
      extreme.set_value(static_cast<uint64_t>(t.min_signed));
      measure_text<Display>(*t.col, &extreme);
      extreme.set_value(static_cast<uint64_t>(t.max_signed));
      measure_text<Display>(*t.col, &extreme);
      break;
    case column_tally::method::unsigned_extreme:
      extreme.set_value(t.max_unsigned);
      measure_text<Display>(*t.col, &extreme);
      break;
    case column_tally::method::double_extremes:
      measure_double_extremes<Display>(t);
      break;
    case column_tally::method::longest_text:
      raise_widths(*t.col, t.longest, 0);
      break;
    case column_tally::method::each_cell:
      break;
  }
}

// Raises the pair with a text split at its alignment character (kinds 4
// and 5) or taken whole as lead. Widths are at most lengths, and the pair
// counts in 64 bits: a text of any length counts whole.
template <bool Display>
void measure_split(column& col, int32_t kind, const char* text, size_t len) noexcept {
  const uint64_t width = text_width<Display>(text, len);
  if (!aligns_on_char(kind)) {
    raise_widths(col, width, 0);
  } else if (const char* at = find_alignment<Display>(kind, text, len, width, col.justify_char)) {
    // A text whose width is its length has one column for every byte.
    const auto lead_len = static_cast<size_t>(at - text) + 1;
    const uint64_t lead = Display && width != len ? display_width(text, lead_len) : lead_len;
    raise_widths(col, lead, width - lead);
  } else {
    raise_widths(col, width + 1, 0);
  }
}

// Strings are split by the cell justification. The empty summary text of a
// string column still has an alignment point to reserve, and so has an empty
// cell of any column.
template <bool Display>
void measure_text(column& col, const cell* c) noexcept {
  if (col.type != TBLX_TYPE_STRING) {
    if (c != nullptr && c->empty()) {
      measure_split<Display>(col, col.cell_justification, empty_string, 0);
    } else if (c != nullptr) {
      measure_number<Display>(col, make_number_text(col, c->value()));
    } else if (col.summarize) {
      measure_number<Display>(col, make_sum_text(col));
    }
    return;
  }
  if (c != nullptr) {
    measure_split<Display>(col, col.cell_justification, c->str.text, c->str.len);
  } else {
    measure_split<Display>(col, col.cell_justification, empty_string, 0);
  }
}

// The summary line's field: its text, measured as a string cell of the
// column would be, or else the sum or the empty text of a string column.
template <bool Display>
void measure_summary(column& col) noexcept {
  if (col.sum_text == nullptr) {
    measure_text<Display>(col, nullptr);
  } else {
    measure_split<Display>(col, col.cell_justification, col.sum_text, col.sum_text_len);
  }
}

// A title aligned on a character counts, split there; with all_titles
// (tblx_setmeasuretitles) every other title counts too, whole. Its callback
// gets the width that the cells and the sum produced, and with all_titles the
// minimum width as well: the width the title is placed in unless it is wider.
template <bool Display>
void measure_title(column& col, bool all_titles) noexcept {
  const bool split = aligns_on_char(col.title_justification);
  if (!split && !all_titles) return;
  uint64_t width = width_of(col);
  if (all_titles) width = std::max(width, uint64_t{col.min_width});
  const char* title = col.title_func(col.title_arg, callback_width(width));
  if (title == nullptr) title = empty_string;
  const size_t len = std::strlen(title);
  if (split) {
    measure_split<Display>(col, col.title_justification, title, len);
  } else {
    widen_lead(col, text_width<Display>(title, len));
  }
}

// Widens a column to at least the given width (a minimum width, or a title
// placed whole). The lead takes the difference, so the alignment point moves
// right.
void widen_lead(column& col, uint64_t width) noexcept {
  const uint64_t now = width_of(col);
  if (width > now) col.width_lead += width - now;
}

// Bytes of a number's text beyond its width: those of the suffix beyond its
// columns.
template <bool Display>
uint64_t suffix_extra(const column& col) noexcept {
  return col.suffix_len - text_width<Display>(col.suffix, col.suffix_len);
}

// The scratch buffer holds the widest formatted number and its NUL, with
// room to spare. A size that does not fit size_t (32-bit) cannot be allocated.
tblx_status resize_scratch(tblx_table& table, uint64_t widest) noexcept {
  constexpr uint64_t spare = 5;
  if (widest > SIZE_MAX - spare) return TBLX_ERR_NO_MEMORY;
  const auto size = static_cast<size_t>(widest + spare);
  void* grown = std::realloc(table.scratch, size);
  if (grown == nullptr) return TBLX_ERR_NO_MEMORY;
  table.scratch = static_cast<char*>(grown);
  table.scratch_size = size;
  return TBLX_OK;
}

}  // namespace

// Recomputes every column's sum and width pair and sizes the scratch buffer.
tblx_status measure_layout(tblx_table& table) noexcept {
  const uint64_t widest =
      table.display_widths != 0 ? measure_columns<true>(table) : measure_columns<false>(table);
  if (tblx_status s = resize_scratch(table, widest); s != TBLX_OK) return s;
  table.layout_stale = 0;
  table.fitted_style = 0;
  return TBLX_OK;
}
