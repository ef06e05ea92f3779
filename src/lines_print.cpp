// SPDX-License-Identifier: MIT
// The printer of tables whose fields may take several lines: multi-line
// texts, string columns with a width limit, tables fitted to a width. A row
// takes as many lines as its tallest field; the others are blank on the
// lines after their last, the separators go on. Numbers and sums are written
// by the printer of one line a row (render), on a field's first line.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "digits.h"
#include "fit.h"
#include "justify.h"
#include "render.h"

namespace {

// One shown column while a row, the title line or the summary line prints.
struct field_state {
  const column* col;
  field_plan plan;
  line_rules rules;
  line_cursor cursor;       // the lines of the field's text still to print
  const cell* number_cell;  // the number cell rendered on the first line, or null
  bool number_line;         // the first line renders a number (or with null, the sum)
};

// Writes a line with marks and restored styles through print_justified,
// whose only text write is the line's.
class piece_writer {
 public:
  piece_writer(sink& out, const line_piece& piece) noexcept : out_(out), piece_(piece) {}
  void put(const char* /*text*/, size_t /*len*/) noexcept { put_line(out_, piece_); }
  friend void fill(piece_writer& w, const char* run, uint64_t n) noexcept { fill(w.out_, run, n); }

 private:
  sink& out_;
  const line_piece& piece_;
};

struct lines_printer {
  sink& out;
  const print_context& ctx;
  field_state* fields;
  uint32_t shown;

  void put_separator() const noexcept { out.put(ctx.separator, ctx.separator_len); }
  void place(const field_state& f, int32_t justification, const line_piece& piece,
             bool pad_trailing) const noexcept;
  [[nodiscard]] uint32_t fields_shown_on(bool first) const noexcept;
  void print_field(field_state& f, bool first, bool titles, bool pad_trailing) const noexcept;
  void print_lines_of(bool titles) const noexcept;
};

// Places one line of a text in its column, as the one-line printer places a
// whole text: written as it is when it fills the column.
void lines_printer::place(const field_state& f, int32_t justification, const line_piece& piece,
                          bool pad_trailing) const noexcept {
  const column& col = *f.col;
  const int32_t kind = placed_kind(col, justification);
  if (piece.width >= width_of(col)) {
    put_line(out, piece);
    return;
  }
  const placed_text t{piece.text, piece.len, piece.width};
  const bool plain = piece.restyle.count == 0 && piece.mark_len == 0 && !piece.reset;
  if (plain && ctx.display) {
    print_justified<true>(out, kind, t, col, col.justify_char, pad_trailing);
  } else if (plain) {
    print_justified<false>(out, kind, t, col, col.justify_char, pad_trailing);
  } else {
    piece_writer w(out, piece);
    if (ctx.display) {
      print_justified<true>(w, kind, t, col, col.justify_char, pad_trailing);
    } else {
      print_justified<false>(w, kind, t, col, col.justify_char, pad_trailing);
    }
  }
}

// Writes the lines of one row of fields (a row, the titles or the sums),
// texts justified by each column's title or cell justification.
// Without drawn separators a line ends after its last field that shows
// something, with no blanks after it.
void lines_printer::print_lines_of(bool titles) const noexcept {
  bool first = true;
  bool more = true;
  while (more) {
    const uint32_t last = fields_shown_on(first);
    more = false;
    for (uint32_t j = 0; j < shown; ++j) {
      if (j >= last && !ctx.fancy) break;
      if (j != 0) put_separator();
      print_field(fields[j], first, titles, ctx.fancy ? j + 1 < shown : j + 1 < last);
      more = more || fields[j].cursor.more;
    }
    out.put('\n');
    first = false;
  }
}

// How many fields from the left the line shows: up to the last one with
// something on it.
uint32_t lines_printer::fields_shown_on(bool first) const noexcept {
  uint32_t last = 0;
  for (uint32_t j = 0; j < shown; ++j) {
    if ((first && fields[j].number_line) || fields[j].cursor.more) last = j + 1;
  }
  return last;
}

// Writes a field's next line: its number on the first line, else the next
// line of its text, else blanks.
void lines_printer::print_field(field_state& f, bool first, bool titles,
                                bool pad_trailing) const noexcept {
  if (first && f.number_line) {
    f.plan.has_next = pad_trailing;
    render(out, ctx, f.plan, f.number_cell);
  } else if (f.cursor.more) {
    const line_piece piece = next_line(f.cursor, f.rules);
    place(f, titles ? f.col->title_justification : f.col->cell_justification, piece, pad_trailing);
  } else if (pad_trailing) {
    pad(out, width_of(*f.col));
  }
}

// Sets up the fields of the shown columns with nothing to print.
void clear_fields(const lines_printer& p) noexcept {
  for (uint32_t j = 0; j < p.shown; ++j) {
    p.fields[j].cursor.more = false;
    p.fields[j].number_line = false;
    p.fields[j].number_cell = nullptr;
  }
}

void print_titles(const lines_printer& p) noexcept {
  clear_fields(p);
  for (uint32_t j = 0; j < p.shown; ++j) {
    field_state& f = p.fields[j];
    const char* title = fetch_title(p.out, *f.col, callback_width(width_of(*f.col)));
    if (title == nullptr) title = empty_string;
    f.cursor.start(title, std::strlen(title));
  }
  p.print_lines_of(true);
}

void print_rule(const lines_printer& p) noexcept {
  if (!p.ctx.fancy) return;
  const char* junction = p.ctx.table->rule_junction;
  const size_t junction_len = std::strlen(junction);
  for (uint32_t j = 0; j < p.shown; ++j) {
    if (j != 0) p.out.put(junction, junction_len);
    fill(p.out, dashes, width_of(*p.fields[j].col));
  }
  p.out.put('\n');
}

// Rows of a frozen layout (tblx_flushrows) cut or wrap their texts at the
// column's frozen width.
void freeze_caps(const lines_printer& p) noexcept {
  for (uint32_t j = 0; j < p.shown; ++j) {
    field_state& f = p.fields[j];
    const uint64_t width = width_of(*f.col);
    if (cuts_when_frozen(*f.col) && width != 0 && (f.rules.cap == 0 || f.rules.cap > width)) {
      f.rules.cap = width;
    }
  }
}

void print_rows(const lines_printer& p) noexcept {
  if (p.ctx.frozen) freeze_caps(p);
  for (const row* r = p.ctx.table->rows; r != nullptr; r = r->next) {
    clear_fields(p);
    cell_walk w(r->cells);
    for (uint32_t j = 0; j < p.shown && w.more(); w.step(*p.fields[j].col), ++j) {
      field_state& f = p.fields[j];
      const cell* c = w.get();
      if (f.col->type == TBLX_TYPE_STRING) {
        f.cursor.start(c->str.text, c->str.len);
      } else {
        f.number_line = true;
        f.number_cell = c;
      }
    }
    p.print_lines_of(false);
  }
}

// A column shows its summary text if it has one, else its sum if summed,
// else the style's filler.
void print_sums(const lines_printer& p) noexcept {
  clear_fields(p);
  for (uint32_t j = 0; j < p.shown; ++j) {
    field_state& f = p.fields[j];
    if (f.col->sum_text != nullptr) {
      f.cursor.start(f.col->sum_text, f.col->sum_text_len);
    } else if (f.col->summarize) {
      f.number_line = true;
    } else {
      f.cursor.start(p.ctx.filler, std::strlen(p.ctx.filler));
    }
  }
  p.print_lines_of(false);
}

// ---- the note of the columns left out -----------------------------------------

// Writes texts within a width, or only measures them: units that do not
// fit are left out, and so is everything after the first of them.
class budget_writer {
 public:
  budget_writer(sink* out, uint64_t budget, bool display) noexcept
      : out_(out), budget_(budget), display_(display) {}

  void put(const char* text, size_t len) noexcept {
    using line_detail::next_unit;
    const auto* p = reinterpret_cast<const unsigned char*>(text);
    const unsigned char* const end = p + len;
    while (p != end && !full_) {
      const line_detail::text_unit u = next_unit(p, end, display_);
      if (width_ + u.width > budget_) {
        full_ = true;
        break;
      }
      if (out_ != nullptr) out_->put(reinterpret_cast<const char*>(p), u.len);
      width_ += u.width;
      escapes_ = escapes_ || u.escape;
      p += u.len;
    }
  }
  // A text on one line: its line feeds written as blanks.
  void put_one_line(const char* text) noexcept {
    const size_t len = std::strlen(text);
    for (size_t at = 0; at < len;) {
      const void* feed = std::memchr(text + at, '\n', len - at);
      const size_t stop =
          feed != nullptr ? static_cast<size_t>(static_cast<const char*>(feed) - text) : len;
      put(text + at, stop - at);
      if (feed != nullptr) put(" ", 1);
      at = stop + 1;
    }
  }
  [[nodiscard]] uint64_t width() const noexcept { return width_; }
  [[nodiscard]] bool escapes() const noexcept { return escapes_; }

 private:
  sink* out_;
  uint64_t budget_;
  bool display_;
  uint64_t width_ = 0;
  bool full_ = false;
  bool escapes_ = false;
};

// "… 2 more columns: Owner, Notes", within budget.
void put_note(budget_writer& w, sink& out, const lines_printer& p, uint32_t count) noexcept {
  const char* mark = p.ctx.display ? cut_mark_display : cut_mark_bytes;
  const uint32_t hidden = count - p.shown;
  // Ten digits at most, and the 8 bytes the digit writer may overwrite.
  char count_text[24];
  const uint32_t digits = decimal_digits(hidden);
  write_decimal_digits(count_text, hidden, digits);
  w.put(mark, std::strlen(mark));
  w.put(" ", 1);
  w.put(count_text, digits);
  const char* const more = hidden == 1 ? " more column: " : " more columns: ";
  w.put(more, std::strlen(more));
  uint32_t i = 0;
  for (const column* col = p.ctx.table->columns; col != nullptr; col = col->next, ++i) {
    if (i < p.shown) continue;
    if (i > p.shown) w.put(", ", 2);
    const char* title = fetch_title(out, *col, callback_width(width_of(*col)));
    w.put_one_line(title != nullptr ? title : empty_string);
  }
}

void print_note(const lines_printer& p, uint32_t count) noexcept {
  const bool display = p.ctx.display;
  const uint64_t limit = p.ctx.table->max_width;
  budget_writer measure(nullptr, UINT64_MAX, display);
  put_note(measure, p.out, p, count);
  if (measure.width() <= limit) {
    budget_writer all(&p.out, limit, display);
    put_note(all, p.out, p, count);
  } else {
    const uint64_t mark_width = display ? 1 : 3;
    const uint64_t shown_mark = mark_width < limit ? mark_width : limit;
    budget_writer cut(&p.out, limit - shown_mark, display);
    put_note(cut, p.out, p, count);
    p.out.put(display ? cut_mark_display : cut_mark_bytes,
              display ? sizeof cut_mark_display - 1 : static_cast<size_t>(shown_mark));
    if (display && cut.escapes()) p.out.put(style_reset, sizeof style_reset - 1);
  }
  p.out.put('\n');
}

void print_sections(const lines_printer& p, unsigned int flags, uint32_t count) noexcept {
  if (flags & TBLX_PRINT_TITLES) print_titles(p);
  if (flags & TBLX_PRINT_TITLE_RULE) print_rule(p);
  if (flags & TBLX_PRINT_ROWS) print_rows(p);
  if (flags & TBLX_PRINT_SUM_RULE) print_rule(p);
  if (flags & TBLX_PRINT_SUM) print_sums(p);
  if ((flags & TBLX_PRINT_ROWS) && p.shown < count) print_note(p, count);
}

// The fields of the first columns live on the stack.
constexpr uint32_t fields_on_stack = 32;

}  // namespace

// The fields of every column are allocated before the measuring, so that a
// failure leaves the table as it was, to be measured by the next print.
tblx_status print_lines(tblx_table& table, unsigned int flags, const destination& to) noexcept {
  uint32_t count = 0;
  for (const column* col = table.columns; col != nullptr; col = col->next) ++count;
  field_state on_stack[fields_on_stack];
  field_state* fields = on_stack;
  if (count > fields_on_stack) {
    fields = static_cast<field_state*>(std::calloc(count, sizeof(field_state)));
    if (fields == nullptr) return TBLX_ERR_NO_MEMORY;
  }
  if (table.flushed == nullptr && !lines_layout_current(table)) {
    if (tblx_status s = measure_lines(table); s != TBLX_OK) {
      if (fields != on_stack) std::free(fields);
      return s;
    }
  }
  const uint32_t shown = count < table.shown_columns ? count : table.shown_columns;
  const print_context ctx = make_context(table);
  uint32_t j = 0;
  for (const column* col = table.columns; j < shown; col = col->next, ++j) {
    fields[j].col = col;
    fields[j].plan = plan_field(ctx, *col);
    fields[j].rules = rules_of(table, *col);
  }
  const tblx_status status = write_to(to, [&](sink& out) {
    print_sections(lines_printer{out, ctx, fields, shown}, flags, count);
  });
  if (fields != on_stack) std::free(fields);
  return status;
}
