// SPDX-License-Identifier: MIT
// HTML: one table with the titles in thead, the rows in tbody and the summary
// line in tfoot. Each cell shows what the text format shows, unpadded, with
// its justification as a text-align style; no other markup.
#include <cstring>

#include "format.h"
#include "row_walk.h"

namespace {

// The escape of a byte that HTML text or an attribute cannot hold, or null.
const char* html_escape(char ch) noexcept {
  switch (ch) {
    case '&':
      return "&amp;";
    case '<':
      return "&lt;";
    case '>':
      return "&gt;";
    case '"':
      return "&quot;";
    case '\'':
      return "&#39;";
    default:
      return nullptr;
  }
}

void put_text(sink& out, const char* text, size_t len) noexcept {
  size_t run = 0;
  for (size_t i = 0; i < len; ++i) {
    const char* escape = html_escape(text[i]);
    if (escape == nullptr) continue;
    out.put(text + run, i - run);
    out.put(escape, std::strlen(escape));
    run = i + 1;
  }
  out.put(text + run, len - run);
}

// The opening tag of a cell; text-align has no alignment on a character, so
// the two character justifications align right, as numbers do.
void open_cell(sink& out, const char* tag, int32_t justification) noexcept {
  const char* align = "left";
  if (justification == TBLX_JUST_CENTER) {
    align = "center";
  } else if (justification != TBLX_JUST_LEFT) {
    align = "right";
  }
  out.put('<');
  out.put(tag, std::strlen(tag));
  out.put(" style=\"text-align:", 19);
  out.put(align, std::strlen(align));
  out.put("\">", 2);
}

void close_cell(sink& out, const char* tag) noexcept {
  out.put("</", 2);
  out.put(tag, std::strlen(tag));
  out.put('>');
}

void put_value(sink& out, const cell_value& v) noexcept {
  switch (v.kind) {
    case value_kind::none:
      return;
    case value_kind::text:
      put_text(out, v.text, v.len);
      return;
    default:
      put_digits(out, v);
      put_text(out, v.suffix, v.suffix_len);
      return;
  }
}

void put_line(sink& out, const char* line) noexcept { out.put(line, std::strlen(line)); }

void put_titles(sink& out, const print_context& ctx) noexcept {
  put_line(out, "<thead>\n<tr>");
  for (const column* col = ctx.table->columns; col != nullptr; col = col->next) {
    open_cell(out, "th", col->title_justification);
    const char* title = title_of(out, ctx, *col);
    put_text(out, title, std::strlen(title));
    close_cell(out, "th");
  }
  put_line(out, "</tr>\n</thead>\n");
}

void put_rows(sink& out, const print_context& ctx) noexcept {
  const column_plans plans(ctx);
  read_ahead ahead(ctx.table->rows);
  cell_value v;
  put_line(out, "<tbody>\n");
  for (const row* r = ctx.table->rows; r != nullptr; r = r->next) {
    ahead.step();
    put_line(out, "<tr>");
    for_each_field(ctx, *r, [&](size_t i, const column& col, const cell* c) noexcept {
      open_cell(out, "td", col.cell_justification);
      value_of(v, plans.at(i, col), c);
      put_value(out, v);
      close_cell(out, "td");
    });
    put_line(out, "</tr>\n");
  }
  put_line(out, "</tbody>\n");
}

void put_summary(sink& out, const print_context& ctx) noexcept {
  const column_plans plans(ctx);
  cell_value v;
  put_line(out, "<tfoot>\n<tr>");
  size_t i = 0;
  for (const column* col = ctx.table->columns; col != nullptr; col = col->next, ++i) {
    open_cell(out, "td", col->cell_justification);
    sum_value_of(v, plans.at(i, *col));
    put_value(out, v);
    close_cell(out, "td");
  }
  put_line(out, "</tr>\n</tfoot>\n");
}

}  // namespace

void write_html(sink& out, const print_context& ctx, unsigned int flags) noexcept {
  // A table that streams opens the table with its first flush, adds a body
  // of rows with each flush, and closes it with its next print.
  if (!ctx.continuing) put_line(out, "<table>\n");
  if ((flags & TBLX_PRINT_TITLES) && !ctx.continuing) put_titles(out, ctx);
  if ((flags & TBLX_PRINT_ROWS) && (ctx.table->rows != nullptr || !ctx.continuing)) {
    put_rows(out, ctx);
  }
  if (flags & TBLX_PRINT_SUM) put_summary(out, ctx);
  if (!ctx.leave_open) put_line(out, "</table>\n");
}
