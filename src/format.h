// SPDX-License-Identifier: MIT
// The output formats other than text (tblx_setformat): what their writers
// share. Each format writes the layout that the measuring pass made, in a
// file of its own: format_markdown.cpp, format_csv.cpp (CSV and TSV),
// format_json.cpp (JSON and JSON Lines), format_html.cpp.
#ifndef TABULIX_FORMAT_H
#define TABULIX_FORMAT_H

#include <bit>
#include <cstddef>
#include <cstdint>

#include "double_text.h"
#include "number_text.h"
#include "print_sink.h"
#include "render.h"
#include "tabulix_internal.h"

// Writes the selected sections in the table's format, which is not text.
void write_format(sink& out, const print_context& ctx, unsigned int flags) noexcept;

// The writers of the formats, called by write_format with a context that
// fills nothing (not raw, not fancy).
void write_markdown(sink& out, const print_context& ctx, unsigned int flags) noexcept;
void write_separated(sink& out, const print_context& ctx, unsigned int flags) noexcept;
void write_json(sink& out, const print_context& ctx, unsigned int flags) noexcept;
void write_html(sink& out, const print_context& ctx, unsigned int flags) noexcept;

// ---- values ------------------------------------------------------------------

// What a value is to a format that tells types apart.
enum class value_kind : uint8_t {
  none,        // an empty or missing cell, or a summary field without anything to show
  number,      // a sign and decimal digits: a JSON number
  word,        // ASCII that needs no escaping in any format (hex digits): a JSON string
  not_finite,  // a double's "nan", "inf" or "-inf": JSON null, its text elsewhere
  text,        // the caller's bytes, escaped as the format needs
};

// A cell's value as the formats write it: its text (for a number, its sign
// or "0x", then zeros after that prefix, then its digits), and the suffix
// that the column shows after a number, for the formats that present
// numbers as the text format does. Filled in place: text may point into
// number.
// NOLINTNEXTLINE(cppcoreguidelines-pro-type-member-init): number.head is filled as needed
struct cell_value {
  value_kind kind = value_kind::none;
  const char* text = empty_string;
  size_t len = 0;
  size_t prefix_len = 0;  // bytes of text before the zeros
  uint64_t zeros = 0;
  const char* suffix = empty_string;
  size_t suffix_len = 0;
  number_text number;

  cell_value() = default;
  cell_value(const cell_value&) = delete;
  cell_value& operator=(const cell_value&) = delete;
  cell_value(cell_value&&) = delete;
  cell_value& operator=(cell_value&&) = delete;
  ~cell_value() = default;
};

// A number's text, zero-filled as the text format fills it.
inline void number_value(cell_value& v, const field_plan& plan, value_kind kind) noexcept {
  v.kind = kind;
  v.text = v.number.head;
  v.len = v.number.head_len;
  v.prefix_len = v.number.prefix_len;
  v.zeros = plan.hex_digits > v.number.digit_count() ? plan.hex_digits - v.number.digit_count() : 0;
  v.suffix = plan.col->suffix;
  v.suffix_len = plan.col->suffix_len;
}

// A number cell as data (CSV, TSV, JSON): the digits of its type without
// groups, a double in its shortest text.
inline void data_number_value(cell_value& v, const field_plan& plan, uint64_t value) noexcept {
  const column& col = *plan.col;
  if (col.type != TBLX_TYPE_DOUBLE) {
    v.number = make_plain_number_text(col, value);
    number_value(v, plan, col.type == TBLX_TYPE_HEX ? value_kind::word : value_kind::number);
    return;
  }
  v.number.head_len = write_double(v.number.head, std::bit_cast<double>(value), shortest_precision);
  v.number.prefix_len = v.number.head[0] == '-' ? 1u : 0u;
  const bool finite = (value & ~(uint64_t{1} << 63)) < uint64_t{0x7ff} << 52;
  number_value(v, plan, finite ? value_kind::number : value_kind::not_finite);
}

// The value of a row's cell in the plan's column; a null cell is a missing
// one. One case per column type: a new type of cell is one more case here.
// As data, numbers are written as values (data_number_value); otherwise as
// the text format shows them, with their precision and digit groups.
[[gnu::always_inline]] inline void value_of(cell_value& v, const field_plan& plan, const cell* c,
                                            bool as_data = false) noexcept {
  const column& col = *plan.col;
  if (c == nullptr || c->empty()) {
    v.kind = value_kind::none;
    return;
  }
  if (col.type != TBLX_TYPE_STRING && as_data) {
    data_number_value(v, plan, c->value());
    return;
  }
  switch (col.type) {
    case TBLX_TYPE_STRING:
      v.kind = value_kind::text;
      v.text = c->str.text;
      v.len = c->str.len;
      return;
    case TBLX_TYPE_HEX:
      v.number = make_number_text(col, c->value());
      number_value(v, plan, value_kind::word);
      return;
    default:  // int, uint, double
      v.number = make_number_text(col, c->value());
      number_value(v, plan, value_kind::number);
      return;
  }
}

// The value of a column's field in the summary line: its summary text, else
// its sum if summed, else none.
inline void sum_value_of(cell_value& v, const field_plan& plan) noexcept {
  const column& col = *plan.col;
  if (col.sum_text != nullptr) {
    v.kind = value_kind::text;
    v.text = col.sum_text;
    v.len = col.sum_text_len;
  } else if (col.summarize != 0 && col.type != TBLX_TYPE_STRING) {
    v.number = make_sum_text(col);
    number_value(v, plan, col.type == TBLX_TYPE_HEX ? value_kind::word : value_kind::number);
  } else {
    v.kind = value_kind::none;
  }
}

// Writes a value's text with its zeros, unescaped (numbers and words).
inline void put_digits(sink& out, const cell_value& v) noexcept {
  if (v.zeros == 0) {
    out.put(v.text, v.len);
    return;
  }
  out.put(v.text, v.prefix_len);
  fill(out, zeros, v.zeros);
  out.put(v.text + v.prefix_len, v.len - v.prefix_len);
}

// ---- walking the table ------------------------------------------------------

// The plans of the first columns, made once per print; those of further
// columns, rare in practice, are made field by field.
class column_plans {
 public:
  // With pad_last, the last column is padded too, as if a column followed.
  explicit column_plans(const print_context& ctx, bool pad_last = false) noexcept
      : ctx_(ctx), pad_last_(pad_last) {
    for (const column* col = ctx.table->columns; col != nullptr && count_ < kept; col = col->next) {
      plans_[count_++] = make(*col);
    }
  }

  [[nodiscard]] field_plan at(size_t i, const column& col) const noexcept {
    return i < count_ ? plans_[i] : make(col);
  }

 private:
  [[nodiscard]] field_plan make(const column& col) const noexcept {
    field_plan plan = plan_field(ctx_, col);
    plan.has_next = plan.has_next || pad_last_;
    return plan;
  }

  static constexpr size_t kept = 16;
  const print_context& ctx_;
  bool pad_last_;
  field_plan plans_[kept] = {};
  size_t count_ = 0;
};

// Calls field(i, column, cell) for every column of a row in order, the cell
// null where a short row ends before the column.
template <typename Field>
void for_each_field(const print_context& ctx, const row& r, Field field) noexcept {
  cell_walk w(r.cells);
  size_t i = 0;
  for (const column* col = ctx.table->columns; col != nullptr; col = col->next, ++i) {
    field(i, *col, w.get_or_null());
    if (w.more()) w.step(*col);
  }
}

// A column's title as the text format would get it: for its width, or its
// minimum width in the raw style, which fills nothing; never null.
inline const char* title_of(sink& out, const print_context& ctx, const column& col) noexcept {
  const uint32_t width =
      ctx.table->style == TBLX_STYLE_RAW ? col.min_width : callback_width(width_of(col));
  const char* title = fetch_title(out, col, width);
  return title != nullptr ? title : empty_string;
}

#endif  // TABULIX_FORMAT_H
