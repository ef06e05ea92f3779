// SPDX-License-Identifier: MIT
// Rendering one cell or sum of a print; the printer's own routines, declared for its tests.
#ifndef TABULIX_RENDER_H
#define TABULIX_RENDER_H

#include <cstddef>
#include <cstdint>

#include "print_sink.h"
#include "tabulix_internal.h"

// What a print reads from the table on every field, looked up once.
struct print_context {
  const tblx_table* table;
  bool raw;               // fields as they are, unfilled
  bool fancy;             // separators and rules
  bool display;           // widths count terminal columns, not bytes
  const char* separator;  // between two fields of a line
  size_t separator_len;
  char short_separator[8];  // the separator when shorter, for fixed-size copies
  const char* filler;       // summary filler of this style, one character
  char* scratch;
  size_t scratch_size;
  // The parts of a table that streams (flush.cpp); all zero otherwise.
  bool frozen;      // the widths are frozen: a wider text is cut to its column
  bool continuing;  // a document the formats opened before: no opening again
  bool leave_open;  // more rows follow: the formats do not close the document
  bool after_rows;  // rows went out before (a JSON array needs a comma)
};

print_context make_context(const tblx_table& table) noexcept;

// A frozen table's print takes the buffer that holds numbers wider than
// their column when it is the larger (flush.cpp).
void use_number_room(const tblx_table& table, print_context& ctx) noexcept;

// Writes the selected sections in the table's format, the text format by
// the printer of one line a row, and flushes the sink.
void print_in_format(sink& out, const print_context& ctx, unsigned int flags) noexcept;

// What writing a field of a column needs that does not change from row to
// row, worked out once per print instead of once per field.
struct field_plan {
  const column* col;
  uint64_t width;         // the column width W
  uint64_t number_field;  // room for a decimal before its suffix: W - suffix width, or 0
  uint64_t hex_digits;    // digit width of zero-filled hex numbers, else 0
  uint64_t grouped_hex;   // the same for zero-filled hex numbers whose digits are grouped
  int32_t number_fill;    // TBLX_JUST_LEFT or _RIGHT: a decimal is filled out to the width
  bool has_next;          // not the last column
  uint64_t suffix_extra;  // bytes of the suffix beyond its width: 0 unless display
};

field_plan plan_field(const print_context& ctx, const column& col) noexcept;

// Writes one cell, or with a null cell the column's sum, into its column,
// filled as when the row goes on after it: the callers (the markdown format,
// the printer of several lines) settle the fill of a row's end themselves.
void render(sink& out, const print_context& ctx, const field_plan& plan, const cell* c) noexcept;

// Gets a column's title for the given width. title_ident writes nothing and
// takes no lock; a caller's callback runs outside the stream's lock, as it
// may write to the stream or wait for another thread that does.
const char* fetch_title(sink& out, const column& col, uint32_t width) noexcept;

// Length of a cell's or sum's text as render writes it unfilled.
uint64_t measured_length(const column& col, const cell* c) noexcept;

#endif  // TABULIX_RENDER_H
