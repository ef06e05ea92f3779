// SPDX-License-Identifier: MIT
// JSON (an array of one object per row, one object a line) and JSON Lines
// (one object per line): keys from the titles, values typed. Valid for any
// input: bytes that are not UTF-8 become U+FFFD and control characters are
// escaped.
#include <cstring>

#include "display_width.h"
#include "format.h"
#include "row_walk.h"

namespace {

constexpr char replacement[] = "\xEF\xBF\xBD";  // U+FFFD in UTF-8

// Whether a byte ends a run that goes out as it is: a control, a quote, a
// backslash, or a byte of a multi-byte sequence (checked on its own).
bool stops_run(unsigned char b) noexcept { return b < 0x20 || b == '"' || b == '\\' || b >= 0x80; }

void put_control(sink& out, unsigned char b) noexcept {
  constexpr char hex[] = "0123456789abcdef";
  switch (b) {
    case '\n':
      out.put("\\n", 2);
      return;
    case '\r':
      out.put("\\r", 2);
      return;
    case '\t':
      out.put("\\t", 2);
      return;
    default: {
      const char escape[6] = {'\\', 'u', '0', '0', hex[b >> 4], hex[b & 0xF]};
      out.put(escape, sizeof escape);
      return;
    }
  }
}

// Writes a text as a JSON string.
void put_string(sink& out, const char* text, size_t len) noexcept {
  const auto* p = reinterpret_cast<const unsigned char*>(text);
  out.put('"');
  size_t run = 0;
  size_t i = 0;
  while (i < len) {
    const unsigned char b = p[i];
    if (!stops_run(b)) {
      ++i;
      continue;
    }
    if (b >= 0x80) {
      const display_width_detail::decoded seq =
          display_width_detail::decode_sequence(p + i, len - i);
      if (seq.len != 0) {  // well-formed: stays in the run
        i += seq.len;
        continue;
      }
    }
    out.put(text + run, i - run);
    if (b >= 0x80) {
      out.put(replacement, sizeof replacement - 1);
    } else if (b == '"' || b == '\\') {
      const char pair[2] = {'\\', static_cast<char>(b)};
      out.put(pair, 2);
    } else {
      put_control(out, b);
    }
    run = ++i;
  }
  out.put(text + run, len - run);
  out.put('"');
}

void put_value(sink& out, const cell_value& v) noexcept {
  switch (v.kind) {
    case value_kind::none:
      out.put("null", 4);
      return;
    case value_kind::number:
      put_digits(out, v);
      return;
    case value_kind::word:
      out.put('"');
      put_digits(out, v);
      out.put('"');
      return;
    case value_kind::text:
      put_string(out, v.text, v.len);
      return;
  }
}

// Keys of the first columns, fetched once per print; the callbacks' texts
// stay valid until the print returns. Keys of further columns are fetched
// for each row.
class keys {
 public:
  keys(sink& out, const print_context& ctx) noexcept {
    for (const column* col = ctx.table->columns; col != nullptr && count_ < kept; col = col->next) {
      titles_[count_++] = title_of(out, *col);
    }
  }

  [[nodiscard]] const char* at(sink& out, size_t i, const column& col) const noexcept {
    return i < count_ ? titles_[i] : title_of(out, col);
  }

 private:
  static constexpr size_t kept = 16;
  const char* titles_[kept] = {};
  size_t count_ = 0;
};

}  // namespace

void write_json(sink& out, const print_context& ctx, unsigned int flags) noexcept {
  const bool lines = ctx.table->format == TBLX_FORMAT_JSONL;
  const bool rows = (flags & TBLX_PRINT_ROWS) != 0;
  if (!lines) out.put('[');
  if (rows && ctx.table->rows != nullptr) {
    const keys names(out, ctx);
    const column_plans plans(ctx);
    read_ahead ahead(ctx.table->rows);
    cell_value v;
    for (const row* r = ctx.table->rows; r != nullptr; r = r->next) {
      ahead.step();
      if (!lines) out.put(r == ctx.table->rows ? "\n{" : ",\n{", r == ctx.table->rows ? 2 : 3);
      if (lines) out.put('{');
      for_each_field(ctx, *r, [&](size_t i, const column& col, const cell* c) noexcept {
        if (i != 0) out.put(',');
        const char* key = names.at(out, i, col);
        put_string(out, key, std::strlen(key));
        out.put(':');
        value_of(v, plans.at(i, col), c);
        put_value(out, v);
      });
      out.put('}');
      if (lines) out.put('\n');
    }
  }
  if (!lines) out.put("\n]\n", 3);
}
