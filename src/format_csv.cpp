// SPDX-License-Identifier: MIT
// CSV (RFC 4180) and TSV: a header record of the titles, then one record per
// row with a field for every column. Values, not presentation: no suffix,
// no padding, no rules, no summary line.
//
// CSV lines end with CR LF, as the RFC has them; a field is quoted when it
// holds a comma, a quote, CR or LF, and a quote in it is doubled. The empty
// field of a table of one column is written "" so that its record is no
// blank line, which many readers skip. TSV lines
// end with LF; a text's tab, LF, CR and backslash are written "\t", "\n",
// "\r" and "\\", so that every line is one record.
#include <cstring>

#include "format.h"
#include "row_walk.h"

namespace {

struct separated_style {
  char separator;
  const char* line_end;
  size_t line_end_len;
  void (*put_text)(sink& out, const char* text, size_t len) noexcept;
  const char* empty_record;  // the record of one empty field
  size_t empty_record_len;
};

bool needs_quotes(const char* text, size_t len) noexcept {
  for (size_t i = 0; i < len; ++i) {
    const char ch = text[i];
    if (ch == ',' || ch == '"' || ch == '\r' || ch == '\n') return true;
  }
  return false;
}

void put_csv_text(sink& out, const char* text, size_t len) noexcept {
  if (!needs_quotes(text, len)) {
    out.put(text, len);
    return;
  }
  out.put('"');
  const void* quote = std::memchr(text, '"', len);
  for (; quote != nullptr; quote = std::memchr(text, '"', len)) {
    const auto run = static_cast<size_t>(static_cast<const char*>(quote) - text) + 1;
    out.put(text, run);
    out.put('"');
    text += run;
    len -= run;
  }
  out.put(text, len);
  out.put('"');
}

// The escape of a byte that TSV cannot hold as it is, or 0.
char tsv_escape(char ch) noexcept {
  switch (ch) {
    case '\t':
      return 't';
    case '\n':
      return 'n';
    case '\r':
      return 'r';
    case '\\':
      return '\\';
    default:
      return 0;
  }
}

void put_tsv_text(sink& out, const char* text, size_t len) noexcept {
  size_t run = 0;
  for (size_t i = 0; i < len; ++i) {
    const char escape = tsv_escape(text[i]);
    if (escape == 0) continue;
    out.put(text + run, i - run);
    const char pair[2] = {'\\', escape};
    out.put(pair, 2);
    run = i + 1;
  }
  out.put(text + run, len - run);
}

constexpr separated_style csv{',', "\r\n", 2, put_csv_text, "\"\"", 2};
constexpr separated_style tsv{'\t', "\n", 1, put_tsv_text, "", 0};

// Ends a record; one that is empty so far (one column, an empty field) gets
// the style's empty record first.
void end_record(sink& out, const separated_style& style, bool empty) noexcept {
  if (empty) out.put(style.empty_record, style.empty_record_len);
  out.put(style.line_end, style.line_end_len);
}

void put_value(sink& out, const separated_style& style, const cell_value& v) noexcept {
  switch (v.kind) {
    case value_kind::none:
      return;
    case value_kind::text:
      style.put_text(out, v.text, v.len);
      return;
    default:
      put_digits(out, v);
      return;
  }
}

void put_titles(sink& out, const print_context& ctx, const separated_style& style) noexcept {
  bool empty = ctx.table->columns != nullptr;
  for (const column* col = ctx.table->columns; col != nullptr; col = col->next) {
    if (col != ctx.table->columns) out.put(style.separator);
    const char* title = title_of(out, ctx, *col);
    style.put_text(out, title, std::strlen(title));
    empty = empty && *title == '\0';
  }
  end_record(out, style, empty && ctx.table->columns->next == nullptr);
}

void put_rows(sink& out, const print_context& ctx, const separated_style& style) noexcept {
  const column_plans plans(ctx);
  const bool one_column = ctx.table->columns != nullptr && ctx.table->columns->next == nullptr;
  read_ahead ahead(ctx.table->rows);
  cell_value v;
  for (const row* r = ctx.table->rows; r != nullptr; r = r->next) {
    ahead.step();
    bool empty = true;
    for_each_field(ctx, *r, [&](size_t i, const column& col, const cell* c) noexcept {
      if (i != 0) out.put(style.separator);
      value_of(v, plans.at(i, col), c, true);
      put_value(out, style, v);
      empty = empty && (v.kind == value_kind::none || v.len == 0);
    });
    end_record(out, style, one_column && empty);
  }
}

}  // namespace

void write_separated(sink& out, const print_context& ctx, unsigned int flags) noexcept {
  const separated_style& style = ctx.table->format == TBLX_FORMAT_CSV ? csv : tsv;
  if (flags & TBLX_PRINT_TITLES) put_titles(out, ctx, style);
  if (flags & TBLX_PRINT_ROWS) put_rows(out, ctx, style);
}
