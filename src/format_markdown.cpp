// SPDX-License-Identifier: MIT
// Markdown, as GitHub renders tables: a title line, an alignment row, the
// rows and the summary line as a last row, each line between "| " and " |"
// with " | " between fields. Fields are placed as the fancyw style places
// them, so that the source lines up too; every column is at least 3 wide, the
// room that an alignment row cell such as ":-:" takes. A "|" in a text is
// written "\|", which widens its field by one, and a line end, which would
// end the row, as "<br>" (LF) or "&#13;" (CR), which widen it more.
#include <algorithm>
#include <cstring>

#include "display_width.h"
#include "format.h"
#include "justify.h"
#include "row_walk.h"

namespace {

constexpr uint64_t narrowest = 3;

// The escape of a byte that would break a table row, or null: "|" ends a
// cell, a line end ends the row.
const char* row_escape(char ch) noexcept {
  switch (ch) {
    case '|':
      return "\\|";
    case '\n':
      return "<br>";
    case '\r':
      return "&#13;";
    default:
      return nullptr;
  }
}

// Passes bytes on to the sink escaped; fills go as they are.
class row_escaper {
 public:
  explicit row_escaper(sink& out) noexcept : out_(out) {}

  void put(const char* bytes, size_t n) noexcept {
    size_t run = 0;
    for (size_t i = 0; i < n; ++i) {
      const char* escape = row_escape(bytes[i]);
      if (escape == nullptr) continue;
      out_.put(bytes + run, i - run);
      out_.put(escape, std::strlen(escape));
      run = i + 1;
    }
    out_.put(bytes + run, n - run);
  }

  friend void fill(row_escaper& out, const char* run, uint64_t n) noexcept {
    fill(out.out_, run, n);
  }

 private:
  sink& out_;
};

// Whether a text holds a byte to escape.
bool needs_escapes(const char* text, size_t len) noexcept {
  struct byte_set {
    bool has[256] = {};
    constexpr byte_set() noexcept {
      has[static_cast<unsigned char>('|')] = true;
      has[static_cast<unsigned char>('\n')] = true;
      has[static_cast<unsigned char>('\r')] = true;
    }
  };
  static constexpr byte_set escaped;
  const auto* p = reinterpret_cast<const unsigned char*>(text);
  for (size_t i = 0; i < len; ++i) {
    if (escaped.has[p[i]]) return true;
  }
  return false;
}

// Columns that the escapes add to a text: each replaces one byte.
uint64_t escape_extra(const char* text, size_t len) noexcept {
  uint64_t extra = 0;
  for (size_t i = 0; i < len; ++i) {
    if (const char* escape = row_escape(text[i])) extra += std::strlen(escape) - 1;
  }
  return extra;
}

// A text placed by kind in its column, escaped; its width counts the escapes.
void place_escaped(sink& out, const print_context& ctx, int32_t kind, const char* text, size_t len,
                   const column& col) noexcept {
  const uint64_t width = ctx.display ? display_width(text, len) : uint64_t{len};
  row_escaper escaped(out);
  const placed_text t{text, len, width + escape_extra(text, len)};
  if (ctx.display) {
    print_justified<true>(escaped, kind, t, col, col.justify_char, true);
  } else {
    print_justified<false>(escaped, kind, t, col, col.justify_char, true);
  }
}

// Widens a column narrower than 3 with blanks after its field.
void widen(sink& out, const column& col) noexcept {
  const uint64_t width = width_of(col);
  if (width < narrowest) pad(out, narrowest - width);
}

void start_field(sink& out, const column& col, const print_context& ctx) noexcept {
  out.put(&col == ctx.table->columns ? "| " : " | ", &col == ctx.table->columns ? 2 : 3);
}

void end_line(sink& out, const print_context& ctx) noexcept {
  if (ctx.table->columns == nullptr) out.put('|');
  out.put(" |\n", 3);
}

void put_titles(sink& out, const print_context& ctx) noexcept {
  for (const column* col = ctx.table->columns; col != nullptr; col = col->next) {
    start_field(out, *col, ctx);
    const char* title = title_of(out, ctx, *col);
    place_escaped(out, ctx, col->title_justification, title, std::strlen(title), *col);
    widen(out, *col);
  }
  end_line(out, ctx);
}

// ":---" left, "---:" right and both character justifications, ":---:"
// centred, as wide as the column.
void put_alignments(sink& out, const print_context& ctx) noexcept {
  for (const column* col = ctx.table->columns; col != nullptr; col = col->next) {
    start_field(out, *col, ctx);
    const uint64_t width = std::max(width_of(*col), narrowest);
    const int32_t kind = col->cell_justification;
    const bool colon_before = kind == TBLX_JUST_LEFT || kind == TBLX_JUST_CENTER;
    const bool colon_after = kind != TBLX_JUST_LEFT;
    const uint64_t colons = (colon_before ? 1u : 0u) + (colon_after ? 1u : 0u);
    if (colon_before) out.put(':');
    fill(out, dashes, width - colons);
    if (colon_after) out.put(':');
  }
  end_line(out, ctx);
}

// A cell with a byte to escape, in its text or in its column's suffix, is
// placed from its unfilled text; every other one as the text format places it.
void put_cell(sink& out, const print_context& ctx, const field_plan& plan, const cell* c) noexcept {
  const column& col = *plan.col;
  if (c == nullptr) {
    pad(out, width_of(col));
  } else if (col.type == TBLX_TYPE_STRING && needs_escapes(c->str.text, c->str.len)) {
    place_escaped(out, ctx, col.cell_justification, c->str.text, c->str.len, col);
  } else if (col.type != TBLX_TYPE_STRING && !c->empty() &&
             needs_escapes(col.suffix, col.suffix_len)) {
    cell_value v;
    value_of(v, plan, c);
    put_digits(out, v);
    row_escaper(out).put(v.suffix, v.suffix_len);
    const uint64_t shown = v.len + v.zeros + escape_extra(v.suffix, v.suffix_len) +
                           (ctx.display ? display_width(v.suffix, v.suffix_len) : v.suffix_len);
    if (shown < width_of(col)) pad(out, width_of(col) - shown);
  } else {
    render(out, ctx, plan, c);
  }
  widen(out, col);
}

void put_rows(sink& out, const print_context& ctx) noexcept {
  const column_plans plans(ctx, true);  // " |" follows every field
  read_ahead ahead(ctx.table->rows);
  for (const row* r = ctx.table->rows; r != nullptr; r = r->next) {
    ahead.step();
    for_each_field(ctx, *r, [&](size_t i, const column& col, const cell* c) noexcept {
      start_field(out, col, ctx);
      put_cell(out, ctx, plans.at(i, col), c);
    });
    end_line(out, ctx);
  }
}

// Summary texts, sums and blanks: the fillers of the text styles have no
// place in a Markdown table.
void put_summary(sink& out, const print_context& ctx) noexcept {
  const column_plans plans(ctx, true);
  size_t i = 0;
  for (const column* col = ctx.table->columns; col != nullptr; col = col->next, ++i) {
    start_field(out, *col, ctx);
    if (col->sum_text != nullptr) {
      place_escaped(out, ctx, col->cell_justification, col->sum_text, col->sum_text_len, *col);
    } else if (col->summarize != 0 && col->type != TBLX_TYPE_STRING) {
      render(out, ctx, plans.at(i, *col), nullptr);
    } else {
      pad(out, width_of(*col));
    }
    widen(out, *col);
  }
  end_line(out, ctx);
}

}  // namespace

void write_markdown(sink& out, const print_context& ctx, unsigned int flags) noexcept {
  print_context md = ctx;
  md.fancy = true;  // a short row keeps its grid
  // A later flush of a table that streams goes on below the header.
  if (!ctx.continuing) {
    put_titles(out, md);
    put_alignments(out, md);
  }
  if (flags & TBLX_PRINT_ROWS) put_rows(out, md);
  if (flags & TBLX_PRINT_SUM) put_summary(out, md);
}
