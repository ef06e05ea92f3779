// SPDX-License-Identifier: MIT
// Printing: the entry points, the five sections of a printed table in the
// text format, and the rendering of cells and sums. The measuring pass that
// lays out the columns is in measure.cpp; the other formats write the same
// layout in files of their own (format.h); tables on several lines or fitted
// to a width have their printer in lines_print.cpp (fit.h). The
// self-contained parts live in private headers beside this file:
// print_sink.h (the writer and its staging buffer), justify.h (one justified
// field), digits.h and number_text.h (the text of a number), render.h (the
// field routines that the tests and formats share).
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "digits.h"
#include "display_width.h"
#include "fit.h"
#include "format.h"
#include "justify.h"
#include "lines.h"
#include "number_text.h"
#include "print_sink.h"
#include "render.h"
#include "row_walk.h"
#include "tabulix_internal.h"

namespace {

tblx_status measure_and_print(tblx_table& table, unsigned int flags,
                              const destination& to) noexcept;
void print_sections(sink& out, const print_context& ctx, unsigned int flags) noexcept;

// The checks of every print, in their order; nothing is written on a refusal.
tblx_status refusal(const tblx_table* table, bool has_destination) noexcept {
  if (!has_destination || unavailable(table)) return TBLX_ERR_INVALID_ARGUMENT;
  if (!table->header_ended) return TBLX_ERR_NO_HEADER;
  if (table->open_row != nullptr) return TBLX_ERR_ROW_OPEN;
  return TBLX_OK;
}

}  // namespace

// ---- entry points ---------------------------------------------------------------

// Busy until the print returns, whichever way: a title callback that calls
// back into the table is refused instead of changing what the print reads.
TBLX_EXPORT tblx_status TBLX_CALL tblx_print(tblx_table* table, unsigned int flags,
                                             FILE* stream) noexcept {
  if (tblx_status s = refusal(table, stream != nullptr); s != TBLX_OK) return s;
  table->busy = 1;
  const tblx_status status =
      measure_and_print(*table, flags, destination{stream, nullptr, nullptr});
  table->busy = 0;
  return status;
}

TBLX_EXPORT tblx_status TBLX_CALL tblx_print_to(tblx_table* table, unsigned int flags,
                                                tblx_writer write, void* context) noexcept {
  if (tblx_status s = refusal(table, write != nullptr); s != TBLX_OK) return s;
  table->busy = 1;
  const tblx_status status = measure_and_print(*table, flags, destination{nullptr, write, context});
  table->busy = 0;
  return status;
}

TBLX_EXPORT tblx_status TBLX_CALL tblx_print_all(tblx_table* table, FILE* stream) noexcept {
  return tblx_print(table, TBLX_PRINT_ALL, stream);
}

TBLX_EXPORT tblx_status TBLX_CALL tblx_print_except(tblx_table* table, unsigned int flags,
                                                    FILE* stream) noexcept {
  return tblx_print(table, ~flags & TBLX_PRINT_ALL, stream);
}

// ---- sections -----------------------------------------------------------------

namespace {

// Writes the selected sections in the table's format.
void print_format(sink& out, const print_context& ctx, unsigned int flags) noexcept {
  if (ctx.table->format == TBLX_FORMAT_TEXT) {
    print_sections(out, ctx, flags);
  } else {
    write_format(out, ctx, flags);
  }
  out.flush();
}

}  // namespace

void print_in_format(sink& out, const print_context& ctx, unsigned int flags) noexcept {
  print_format(out, ctx, flags);
}

namespace {

// The measuring pass runs before the stream is locked, so the title
// callbacks it calls run unlocked, as those of the title line do. Texts on
// several lines, width limits and fitting have a printer of their own
// (lines_print.cpp), for the text format only: the others write values.
tblx_status measure_and_print(tblx_table& table, unsigned int flags,
                              const destination& to) noexcept {
  if (table.flushed != nullptr) return print_frozen(table, flags, to);
  if (table.format == TBLX_FORMAT_TEXT && prints_lines(table)) return print_lines(table, flags, to);
  if (table.layout_stale) {
    if (tblx_status s = measure_layout(table); s != TBLX_OK) return s;
  }
  const print_context ctx = make_context(table);
  return write_to(to, [&](sink& out) { print_format(out, ctx, flags); });
}

void print_titles(sink& out, const print_context& ctx) noexcept;
void print_rule(sink& out, const print_context& ctx) noexcept;
void print_rows(sink& out, const print_context& ctx) noexcept;
template <bool Display>
void render_in(sink& out, const print_context& ctx, const field_plan& plan, const cell* c,
               bool row_goes_on) noexcept;
void print_sums(sink& out, const print_context& ctx) noexcept;
void render_sum(sink& out, const print_context& ctx, const field_plan& plan) noexcept;

void print_sections(sink& out, const print_context& ctx, unsigned int flags) noexcept {
  if (flags & TBLX_PRINT_TITLES) print_titles(out, ctx);
  if (flags & TBLX_PRINT_TITLE_RULE) print_rule(out, ctx);
  if (flags & TBLX_PRINT_ROWS) print_rows(out, ctx);
  if (flags & TBLX_PRINT_SUM_RULE) print_rule(out, ctx);
  if (flags & TBLX_PRINT_SUM) print_sums(out, ctx);
}

void put_separator(sink& out, const print_context& ctx) noexcept {
  if (ctx.separator_len < sizeof ctx.short_separator) {
    std::memcpy(out.reserve(sizeof ctx.short_separator), ctx.short_separator,
                sizeof ctx.short_separator);
    out.advance(ctx.separator_len);
  } else {
    out.put(ctx.separator, ctx.separator_len);
  }
}

// Places a title or summary text in its column, measured in the print's
// width mode.
void place_justified(sink& out, const print_context& ctx, int32_t kind, const char* text,
                     size_t len, const column& col) noexcept {
  const bool pad_trailing = col.next != nullptr;
  if (ctx.display) {
    const placed_text t{text, len, display_width(text, len)};
    print_justified<true>(out, kind, t, col, col.justify_char, pad_trailing);
  } else {
    print_justified<false>(out, kind, placed_text{text, len, len}, col, col.justify_char,
                           pad_trailing);
  }
}

void print_titles(sink& out, const print_context& ctx) noexcept {
  for (const column* col = ctx.table->columns; col != nullptr; col = col->next) {
    if (col != ctx.table->columns) put_separator(out, ctx);
    if (ctx.raw) {
      // Unfilled; the callback learns the minimum width instead.
      const char* title = fetch_title(out, *col, col->min_width);
      if (title != nullptr) out.put(title, std::strlen(title));
      continue;
    }
    const uint64_t width = width_of(*col);
    const char* title = fetch_title(out, *col, callback_width(width));
    if (title == nullptr || *title == '\0') {
      pad(out, width);
    } else {
      place_justified(out, ctx, col->title_justification, title, std::strlen(title), *col);
    }
  }
  out.put('\n');
}

void print_rule(sink& out, const print_context& ctx) noexcept {
  if (!ctx.fancy) return;
  const char* junction = ctx.table->rule_junction;
  const size_t junction_len = std::strlen(junction);
  for (const column* col = ctx.table->columns; col != nullptr; col = col->next) {
    if (col != ctx.table->columns) out.put(junction, junction_len);
    fill(out, dashes, width_of(*col));
  }
  out.put('\n');
}

// The fancy styles keep the grid of a short row: a separator for every
// missing cell and blanks for every missing field but the last.
// Always inlined into both row walks, as it was into the one walk there was.
[[gnu::always_inline]] inline void fill_missing_cells(sink& out, const print_context& ctx,
                                                      const column* col) noexcept {
  for (; col != nullptr; col = col->next) {
    if (col != ctx.table->columns) put_separator(out, ctx);
    if (col->next != nullptr) pad(out, width_of(*col));
  }
}

// The plans of the first columns live on the stack for the whole print;
// further columns, rare in practice, are planned field by field.
constexpr size_t planned_columns = 16;

// The rows of one width mode; each mode has its own walk, so that bytes
// mode pays nothing for the choice on each field.
template <bool Display>
void print_rows_in(sink& out, const print_context& ctx) noexcept {
  const column* first = ctx.table->columns;
  field_plan plans[planned_columns];
  uint32_t sizers[planned_columns]{};
  size_t plan_count = 0;
  const column* unplanned = first;
  for (; unplanned != nullptr && plan_count < planned_columns; unplanned = unplanned->next) {
    sizers[plan_count] = cell_sizer(*unplanned);
    plans[plan_count++] = plan_field(ctx, *unplanned);
  }
  const cell* cells[planned_columns];
  read_ahead ahead(ctx.table->rows);
  for (const row* r = ctx.table->rows; r != nullptr; r = r->next) {
    ahead.step();
    cell_walk w(r->cells);
    const size_t taken = w.take(sizers, cells, plan_count);
    for (size_t i = 0; i < taken; ++i) {
      if (i != 0) put_separator(out, ctx);
      render_in<Display>(out, ctx, plans[i], cells[i], i + 1 < taken || w.more());
    }
    const column* col = taken < plan_count ? plans[taken].col : unplanned;
    for (; w.more() && col != nullptr; w.step(*col), col = col->next) {
      put_separator(out, ctx);
      render_in<Display>(out, ctx, plan_field(ctx, *col), w.get(), w.has_next());
    }
    if (ctx.fancy) fill_missing_cells(out, ctx, col);
    out.put('\n');
  }
}

void print_rows(sink& out, const print_context& ctx) noexcept {
  if (ctx.display) {
    print_rows_in<true>(out, ctx);
  } else {
    print_rows_in<false>(out, ctx);
  }
}

// A column shows its summary text if it has one, else its sum if summed,
// else the style's filler.
void print_sums(sink& out, const print_context& ctx) noexcept {
  for (const column* col = ctx.table->columns; col != nullptr; col = col->next) {
    if (col != ctx.table->columns) put_separator(out, ctx);
    if (col->sum_text != nullptr) {
      if (ctx.raw) {
        out.put(col->sum_text, col->sum_text_len);
      } else {
        place_justified(out, ctx, col->cell_justification, col->sum_text, col->sum_text_len, *col);
      }
    } else if (col->summarize) {
      render_sum(out, ctx, plan_field(ctx, *col));
    } else if (ctx.raw) {
      out.put(ctx.filler, std::strlen(ctx.filler));
    } else {
      print_justified(out, col->cell_justification, ctx.filler, 1, *col, col->justify_char,
                      col->next != nullptr);
    }
  }
  out.put('\n');
}

}  // namespace

// ---- rendering ----------------------------------------------------------------

const char* fetch_title(sink& out, const column& col, uint32_t width) noexcept {
  if (col.title_func == title_ident) return title_ident(col.title_arg, width);
  return out.call_unlocked([&] { return col.title_func(col.title_arg, width); });
}

namespace {

constexpr char blank_separator[] = " ";

}  // namespace

print_context make_context(const tblx_table& table) noexcept {
  print_context ctx{};
  ctx.table = &table;
  ctx.raw = table.style == TBLX_STYLE_RAW;
  ctx.fancy = table.fancy != 0;
  ctx.display = table.display_widths != 0;
  ctx.separator = ctx.fancy ? table.column_separator : blank_separator;
  ctx.separator_len = std::strlen(ctx.separator);
  if (ctx.separator_len < sizeof ctx.short_separator) {
    std::memcpy(ctx.short_separator, ctx.separator, ctx.separator_len);
  }
  switch (table.style) {
    case TBLX_STYLE_SIMPLE:
      ctx.filler = table.sum_filler[FILLER_SIMPLE];
      break;
    case TBLX_STYLE_RAW:
      ctx.filler = table.sum_filler[FILLER_RAW];
      break;
    case TBLX_STYLE_FANCY:
    case TBLX_STYLE_FANCYW:
      ctx.filler = table.sum_filler[FILLER_FANCY];
      break;
    default:
      // The setters admit only styles 0 to 3; abort before anything is written.
      std::abort();
  }
  ctx.scratch = table.scratch;
  ctx.scratch_size = table.scratch_size;
  ctx.frozen = table.flushed != nullptr;
  if (ctx.frozen) use_number_room(table, ctx);
  return ctx;
}

field_plan plan_field(const print_context& ctx, const column& col) noexcept {
  field_plan plan{};
  plan.col = &col;
  plan.width = width_of(col);
  const uint64_t suffix_width =
      ctx.display ? display_width(col.suffix, col.suffix_len) : uint64_t{col.suffix_len};
  plan.suffix_extra = col.suffix_len - suffix_width;
  plan.number_field = plan.width > suffix_width ? plan.width - suffix_width : 0u;
  plan.has_next = col.next != nullptr;
  if (ctx.raw) return plan;  // nothing is filled
  if (col.type == TBLX_TYPE_HEX) {
    if (col.leading_zeros) {
      plan.hex_digits = plan.width > 2u + suffix_width ? plan.width - 2u - suffix_width : 0u;
      if (col.group_separator != 0) plan.grouped_hex = std::exchange(plan.hex_digits, 0);
    }
  } else if (col.cell_justification == TBLX_JUST_LEFT ||
             col.cell_justification == TBLX_JUST_RIGHT) {
    plan.number_fill = col.cell_justification;
  }
  return plan;
}

namespace {

template <bool Display>
bool render_number(sink& out, const print_context& ctx, const field_plan& plan,
                   const number_text& number, size_t& len) noexcept;
template <bool Display>
bool put_plain_number(sink& out, const print_context& ctx, const field_plan& plan,
                      uint64_t value) noexcept;
number_fill fill_number(const field_plan& plan, uint32_t head_len, uint32_t digits) noexcept;
bool goes_straight(const print_context& ctx, const field_plan& plan, uint64_t length,
                   bool display) noexcept;
template <bool Display>
void place_field(sink& out, const print_context& ctx, const field_plan& plan, const char* text,
                 size_t len, const cell* c, bool row_goes_on) noexcept;
template <bool Display, typename Writer>
void place_text(Writer& out, const field_plan& plan, const placed_text& t,
                bool pad_trailing) noexcept;
template <bool Display>
void place_cut(sink& out, const field_plan& plan, const char* text, size_t len) noexcept;

// What render_special gives for a number it wrote straight to the output.
constexpr size_t written_out = SIZE_MAX;

// A double or a number with grouped digits, rendered as render_number does;
// gives written_out, or the length of the text made in the scratch buffer
// (not through a reference, which would keep the caller's length in memory).
template <bool Display>
[[gnu::noinline]] size_t render_special(sink& out, const print_context& ctx, const field_plan& plan,
                                        uint64_t value) noexcept {
  const column& col = *plan.col;
  number_text number;
  if (col.type == TBLX_TYPE_DOUBLE) {  // made here: a call would cost a print of doubles 5 %
    make_double_head(number, col, value);
    if (col.group_separator != 0) group_head(number, col);
    add_suffix(number, col);
  } else {
    number = make_special_number_text(col, value);
    if (plan.grouped_hex != 0) fill_grouped_hex(number, col, plan.grouped_hex);
  }
  size_t len = 0;
  return render_number<Display>(out, ctx, plan, number, len) ? written_out : len;
}

// Writes a row's cell (never null). An empty cell of a string column reads
// as an empty text; one of a number column is placed as that empty text.
// row_goes_on: the row has a cell after this one.
template <bool Display>
[[gnu::noinline]] void render_in(sink& out, const print_context& ctx, const field_plan& plan,
                                 const cell* c, bool row_goes_on) noexcept {
  const column& col = *plan.col;
  const char* text = empty_string;
  size_t len = 0;
  if (col.type == TBLX_TYPE_STRING) {
    text = c->str.text;
    len = c->str.len;
  } else if (!c->empty()) {
    if (col.special_text != 0) [[unlikely]] {
      len = render_special<Display>(out, ctx, plan, c->value());
      if (len == written_out) return;
    } else if (put_plain_number<Display>(out, ctx, plan, c->value()) ||
               render_number<Display>(out, ctx, plan, make_plain_number_text(col, c->value()),
                                      len)) {
      return;
    }
    if (ctx.scratch != nullptr) text = ctx.scratch;
  }
  place_field<Display>(out, ctx, plan, text, len, c, row_goes_on);
}

// The summary line's field of a column without a summary text: the sum of
// a summed number column, else an empty text.
template <bool Display>
void render_sum_in(sink& out, const print_context& ctx, const field_plan& plan) noexcept {
  const column& col = *plan.col;
  const char* text = empty_string;
  size_t len = 0;
  if (col.type != TBLX_TYPE_STRING && col.summarize != 0) {
    number_text number = make_sum_text(col);
    if (plan.grouped_hex != 0) fill_grouped_hex(number, col, plan.grouped_hex);
    if (render_number<Display>(out, ctx, plan, number, len)) return;
    if (ctx.scratch != nullptr) text = ctx.scratch;
  }
  place_field<Display>(out, ctx, plan, text, len, nullptr, false);
}

void render_sum(sink& out, const print_context& ctx, const field_plan& plan) noexcept {
  if (ctx.display) {
    render_sum_in<true>(out, ctx, plan);
  } else {
    render_sum_in<false>(out, ctx, plan);
  }
}

}  // namespace

void render(sink& out, const print_context& ctx, const field_plan& plan, const cell* c) noexcept {
  if (c == nullptr) {
    render_sum(out, ctx, plan);
  } else if (ctx.display) {
    render_in<true>(out, ctx, plan, c, true);
  } else {
    render_in<false>(out, ctx, plan, c, true);
  }
}

namespace {

// A number that needs no justification goes straight to the output, and
// then this gives true. Every other one is made in the scratch buffer, as
// much of it as fits, for the caller to place; len is set to its length.
template <bool Display>
[[gnu::always_inline]] inline bool render_number(sink& out, const print_context& ctx,
                                                 const field_plan& plan, const number_text& number,
                                                 size_t& len) noexcept {
  const number_fill fill = fill_number(plan, number.head_len, number.digit_count());
  const uint64_t length = fill.before + fill.zeros + number.length() + fill.after;
  if (goes_straight(ctx, plan, length, Display)) {
    if (char* at = out.reserve(static_cast<size_t>(length) + fill_chunk)) {
      span_writer field(at);
      put_number(field, number, fill);
      out.advance(static_cast<size_t>(field.at() - at));
      return true;
    }
  }
  bounded_text text(ctx.scratch, ctx.scratch_size);
  put_number(text, number, fill);
  len = text.finish();
  return false;
}

// render_number for a plain number (an int, uint or hex cell whose digits
// are not grouped), its digits written straight into the output. Made in a
// buffer and copied, they would be read back right after they were stored,
// by loads wider than the stores, which the processor cannot forward: it
// waits for the stores instead, for some 15 % of a print of numbers. Gives
// false and writes nothing when the number is to be placed.
template <bool Display>
[[gnu::always_inline]] inline bool put_plain_number(sink& out, const print_context& ctx,
                                                    const field_plan& plan,
                                                    uint64_t value) noexcept {
  const column& col = *plan.col;
  const plain_head head = shape_plain_head(col, value);
  const number_fill blanks = fill_number(plan, head.length(), head.digits);
  const uint64_t length =
      blanks.before + blanks.zeros + head.length() + col.suffix_len + blanks.after;
  if (!goes_straight(ctx, plan, length, Display)) return false;
  char* at = out.reserve(static_cast<size_t>(length) + fill_chunk);
  if (at == nullptr) return false;
  span_writer field(at);
  pad(field, blanks.before);
  write_plain_prefix(field.at(), head);
  field.skip(head.prefix_len);
  fill(field, zeros, blanks.zeros);
  write_plain_digits(field.at(), head);  // the junk of both lies within the fill chunk
  field.skip(head.digits);
  pad(field, blanks.after);
  field.put(col.suffix, col.suffix_len);
  out.advance(static_cast<size_t>(field.at() - at));
  return true;
}

// Whether a number of `length` bytes with its fill goes straight to the
// output: it fills its field or the style fills nothing. Also straight
// output is bounded by the scratch buffer, as every formatted text is. The
// width counts the suffix's columns.
bool goes_straight(const print_context& ctx, const field_plan& plan, uint64_t length,
                   bool display) noexcept {
  const uint64_t width = display ? length - plan.suffix_extra : length;
  return (ctx.raw || width >= plan.width) && ctx.scratch != nullptr && length < ctx.scratch_size;
}

// Left- and right-justified decimals and zero-filled hex numbers are filled
// out to the column width, the suffix ending at its right edge.
number_fill fill_number(const field_plan& plan, uint32_t head_len, uint32_t digits) noexcept {
  number_fill f{};
  if (plan.hex_digits > digits) f.zeros = plan.hex_digits - digits;
  const uint64_t head_field = plan.number_field;
  const uint64_t blanks = head_field > head_len ? head_field - head_len : 0u;
  if (plan.number_fill == TBLX_JUST_RIGHT) f.before = blanks;
  if (plan.number_fill == TBLX_JUST_LEFT) f.after = blanks;
  return f;
}

// Writes a field's text into its column, justified unless the style is raw
// or the text fills the width.
template <bool Display>
void place_field(sink& out, const print_context& ctx, const field_plan& plan, const char* text,
                 size_t len, const cell* c, bool row_goes_on) noexcept {
  uint64_t width = len;
  if constexpr (Display) {
    if (!ctx.raw) width = display_width(text, len);
  }
  if (ctx.raw || width >= plan.width) {
    if (ctx.frozen && !ctx.raw && width > plan.width && c != nullptr && cuts_when_frozen(*plan.col))
        [[unlikely]] {
      place_cut<Display>(out, plan, text, len);
      return;
    }
    out.put(text, len);
    return;
  }
  const placed_text t{text, len, width};
  // No fill ends a line: the last column is never padded, nor in the
  // borderless styles the last cell of a short row.
  const bool pad_trailing = plan.has_next && (c == nullptr || ctx.fancy || row_goes_on);
  // A justified text and its blanks take at most len + W + 1 bytes: written
  // in place when that fits the buffer, with room for whole-chunk fills.
  const uint64_t room = uint64_t{len} + plan.width + 1 + fill_chunk;
  if (room <= sink::capacity) {
    char* at = out.reserve(static_cast<size_t>(room));
    span_writer field(at);
    place_text<Display>(field, plan, t, pad_trailing);
    out.advance(static_cast<size_t>(field.at() - at));
  } else {
    place_text<Display>(out, plan, t, pad_trailing);
  }
}

// A text wider than its frozen column (tblx_flushrows), cut to it with a
// mark. A wide character that does not fit leaves a blank in its place.
template <bool Display>
void place_cut(sink& out, const field_plan& plan, const char* text, size_t len) noexcept {
  const line_rules rules{false, false, Display, plan.width};
  line_piece piece{};
  piece.text = text;
  line_detail::cut_line(piece, text + len, rules);
  put_line(out, piece);
  if (plan.has_next && piece.width < plan.width) pad(out, plan.width - piece.width);
}

// Justifies a field's text in its column.
template <bool Display, typename Writer>
void place_text(Writer& out, const field_plan& plan, const placed_text& t,
                bool pad_trailing) noexcept {
  const column& col = *plan.col;
  if (col.cell_justification == TBLX_JUST_LEFT) {
    // The most common case, handled here as print_justified would.
    out.put(t.text, t.len);
    if (pad_trailing) pad(out, plan.width - t.width);
    return;
  }
  print_justified<Display>(out, col.cell_justification, t, col, col.justify_char, pad_trailing);
}

}  // namespace

uint64_t measured_length(const column& col, const cell* c) noexcept {
  if (col.type == TBLX_TYPE_STRING) return c != nullptr ? c->str.len : 0u;
  if (c != nullptr) return c->empty() ? 0u : make_number_text(col, c->value()).length();
  return col.summarize != 0 ? make_sum_text(col).length() : 0u;
}
