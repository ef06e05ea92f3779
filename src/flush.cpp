// SPDX-License-Identifier: MIT
// Streaming: tblx_flushrows writes the rows added since its last call and
// frees them. The first call measures the rows present and freezes the
// layout; later calls, and prints, keep those widths (a wider text is cut,
// a wider number pushes the rest of its line). The sums of the flushed rows
// are kept here, so that a summary counts every row ever added.
#include "flush.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "exact_sum.h"
#include "fit.h"
#include "justify.h"
#include "number_text.h"
#include "print_sink.h"
#include "render.h"
#include "tabulix_internal.h"

namespace {

constexpr unsigned int title_sections = TBLX_PRINT_TITLES | TBLX_PRINT_TITLE_RULE;

// The checks of every flush, as those of a print; nothing is written on a refusal.
tblx_status refusal(const tblx_table* table, bool has_destination) noexcept {
  if (!has_destination || unavailable(table)) return TBLX_ERR_INVALID_ARGUMENT;
  if (!table->header_ended) return TBLX_ERR_NO_HEADER;
  if (table->open_row != nullptr) return TBLX_ERR_ROW_OPEN;
  return TBLX_OK;
}

flushed_sums* new_flushed_sums(const tblx_table& table) noexcept {
  size_t count = 0;
  for (const column* col = table.columns; col != nullptr; col = col->next) ++count;
  const size_t size =
      sizeof(flushed_sums) + (count == 0 ? 0 : count - 1) * sizeof(flushed_sums::column_sum);
  auto* kept = static_cast<flushed_sums*>(std::calloc(1, size));
  if (kept != nullptr) kept->count = count;
  return kept;
}

// A frozen column may print a number wider than it, which no fill then
// widens: its text is at most the longest head and the suffix. The
// measuring pass sized the table's scratch buffer for the numbers within
// their columns; this room holds the wider ones, whatever the rows hold.
tblx_status make_room_for_numbers(flushed_sums& kept, const tblx_table& table) noexcept {
  size_t longest_suffix = 0;
  for (const column* col = table.columns; col != nullptr; col = col->next) {
    if (col->type != TBLX_TYPE_STRING)
      longest_suffix = std::max<size_t>(longest_suffix, col->suffix_len);
  }
  constexpr size_t spare = 8;
  const size_t size = number_text::head_room + longest_suffix + spare;
  if (size <= kept.room_size) return TBLX_OK;
  void* grown = std::realloc(kept.room, size);
  if (grown == nullptr) return TBLX_ERR_NO_MEMORY;
  kept.room = static_cast<char*>(grown);
  kept.room_size = size;
  return TBLX_OK;
}

// Sets every column's sum to that of the flushed rows and the rows held.
// An empty cell adds nothing to a double sum (as +0 would turn -0 into 0).
void sum_all_rows(tblx_table& table) noexcept {
  const flushed_sums& kept = *table.flushed;
  size_t i = 0;
  for (column* col = table.columns; col != nullptr && i < kept.count; col = col->next, ++i) {
    col->sum = kept.sums[i].sum;
    if (col->exact != nullptr) *col->exact = kept.sums[i].exact;
  }
  for (const row* r = table.rows; r != nullptr; r = r->next) {
    column* col = table.columns;
    for (cell_walk w(r->cells); w.more() && col != nullptr; w.step(*col), col = col->next) {
      if (col->summarize == 0) continue;
      const cell* c = w.get();
      if (col->exact == nullptr) {
        col->sum.add(c->value(), col->type == TBLX_TYPE_INT);
      } else if (!c->empty()) {
        col->exact->add(c->value());
      }
    }
  }
  for (column* col = table.columns; col != nullptr; col = col->next) {
    if (col->exact != nullptr) col->double_sum = col->exact->result();
  }
}

// Keeps the sums of the rows just flushed, which the table then frees.
void keep_sums(tblx_table& table) noexcept {
  flushed_sums& kept = *table.flushed;
  size_t i = 0;
  for (const column* col = table.columns; col != nullptr && i < kept.count; col = col->next, ++i) {
    kept.sums[i].sum = col->sum;
    if (col->exact != nullptr) kept.sums[i].exact = *col->exact;
  }
  size_t rows = 0;
  for (const row* r = table.rows; r != nullptr; r = r->next) ++rows;
  kept.rows = static_cast<uint32_t>(kept.rows + rows);
  kept.wrote_rows = kept.wrote_rows || rows != 0;
}

// Writes the frozen table's sections, as a flush (more rows follow) or as
// a print (the formats close their document).
tblx_status write_frozen(tblx_table& table, unsigned int flags, const destination& to, bool first,
                         bool flushing) noexcept {
  if (table.format == TBLX_FORMAT_TEXT) {
    if (prints_lines(table)) return print_lines(table, flags, to);
  } else if (!first) {
    flags &= ~title_sections;  // the other formats wrote their header with the first flush
  }
  print_context ctx = make_context(table);
  ctx.continuing = !first;
  ctx.leave_open = flushing;
  ctx.after_rows = table.flushed->wrote_rows;
  return write_to(to, [&](sink& out) { print_in_format(out, ctx, flags); });
}

// The first flush measures and freezes; a failure leaves the table as it
// was, to be measured again.
tblx_status freeze(tblx_table& table) noexcept {
  flushed_sums* kept = new_flushed_sums(table);
  if (kept == nullptr) return TBLX_ERR_NO_MEMORY;
  tblx_status s = make_room_for_numbers(*kept, table);
  if (s == TBLX_OK) {
    if (table.format == TBLX_FORMAT_TEXT && prints_lines(table)) {
      if (!lines_layout_current(table)) s = measure_lines(table);
    } else {
      if (table.layout_stale) s = measure_layout(table);
      // Fields on several lines, turned on later, print every column in
      // these widths, none narrowed to fit.
      for (column* col = table.columns; col != nullptr; col = col->next) {
        col->fit_width = 0;
        col->unaligned = 0;
      }
      table.shown_columns = UINT32_MAX;
    }
  }
  if (s != TBLX_OK) {
    std::free(kept->room);
    std::free(kept);
    table.layout_stale = 1;
    return s;
  }
  // The sums start from zero: the rows present are summed with the flush.
  table.flushed = kept;
  return TBLX_OK;
}

// Rows are freed only once written: after a failed write they stay, to be
// written by the next flush.
tblx_status flush_rows(tblx_table& table, unsigned int sections, const destination& to) noexcept {
  const bool first = table.flushed == nullptr;
  if (first) {
    if (tblx_status s = freeze(table); s != TBLX_OK) return s;
  } else if (tblx_status s = make_room_for_numbers(*table.flushed, table); s != TBLX_OK) {
    return s;
  }
  sum_all_rows(table);
  unsigned int flags = sections & (title_sections | TBLX_PRINT_ROWS);
  if (!first) flags &= ~title_sections;
  const tblx_status status = write_frozen(table, flags, to, first, true);
  if (status != TBLX_OK) return status;
  keep_sums(table);
  release_rows(&table);
  return TBLX_OK;
}

template <typename Flush>
tblx_status run_flush(tblx_table* table, bool has_destination, Flush&& flush) noexcept {
  if (tblx_status s = refusal(table, has_destination); s != TBLX_OK) return s;
  table->busy = 1;
  const tblx_status status = flush(*table);
  table->busy = 0;
  return status;
}

}  // namespace

tblx_status print_frozen(tblx_table& table, unsigned int flags, const destination& to) noexcept {
  if (tblx_status s = make_room_for_numbers(*table.flushed, table); s != TBLX_OK) return s;
  sum_all_rows(table);
  return write_frozen(table, flags, to, false, false);
}

void use_number_room(const tblx_table& table, print_context& ctx) noexcept {
  const flushed_sums& kept = *table.flushed;
  if (kept.room_size > ctx.scratch_size) {
    ctx.scratch = kept.room;
    ctx.scratch_size = kept.room_size;
  }
}

void unfreeze(tblx_table* table) noexcept {
  if (table->flushed != nullptr) std::free(table->flushed->room);
  std::free(table->flushed);
  table->flushed = nullptr;
}

// ---- entry points ---------------------------------------------------------------

TBLX_EXPORT tblx_status TBLX_CALL tblx_flushrows(tblx_table* table, unsigned int sections,
                                                 FILE* stream) noexcept {
  return run_flush(table, stream != nullptr, [&](tblx_table& t) noexcept {
    return flush_rows(t, sections, destination{stream, nullptr, nullptr});
  });
}

TBLX_EXPORT tblx_status TBLX_CALL tblx_flushrows_to(tblx_table* table, unsigned int sections,
                                                    tblx_writer write, void* context) noexcept {
  return run_flush(table, write != nullptr, [&](tblx_table& t) noexcept {
    return flush_rows(t, sections, destination{nullptr, write, context});
  });
}
