// SPDX-License-Identifier: MIT
// JSON (an array of one object per row, one object a line) and JSON Lines
// (one object per line): keys from the titles, values typed. Valid for any
// input: bytes that are not UTF-8 become U+FFFD (one for each maximal
// subpart of an ill-formed sequence) and control characters are escaped.
#include <cstring>

#include "display_width.h"
#include "format.h"
#include "row_walk.h"

namespace {

constexpr char replacement[] = "\xEF\xBF\xBD";  // U+FFFD in UTF-8

// The bytes that end a run that goes out as it is: a control, a quote, a
// backslash, or a byte of a multi-byte sequence (checked on its own).
struct run_stops {
  bool stops[256] = {};
  constexpr run_stops() noexcept {
    for (int b = 0; b < 256; ++b) stops[b] = b < 0x20 || b == '"' || b == '\\' || b >= 0x80;
  }
};
constexpr run_stops json_stops;

bool stops_run(unsigned char b) noexcept { return json_stops.stops[b]; }

// Whether a text goes out as it is between quotes.
bool plain_string(const char* text, size_t len) noexcept {
  const auto* p = reinterpret_cast<const unsigned char*>(text);
  for (size_t i = 0; i < len; ++i) {
    if (stops_run(p[i])) return false;
  }
  return true;
}

// How many bytes one U+FFFD replaces at a byte that does not start a
// well-formed sequence: the longest start of one that is still possible
// there (its maximal subpart), else the byte alone, as Unicode recommends
// and most decoders do.
size_t ill_formed_length(const unsigned char* p, size_t room) noexcept {
  const unsigned lead = p[0];
  size_t need = 0;
  unsigned low = 0x80;
  unsigned high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    need = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    need = 3;
    low = lead == 0xE0 ? 0xA0 : low;
    high = lead == 0xED ? 0x9F : high;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    need = 4;
    low = lead == 0xF0 ? 0x90 : low;
    high = lead == 0xF4 ? 0x8F : high;
  } else {
    return 1;
  }
  size_t n = 1;
  if (n < room && p[n] >= low && p[n] <= high) {
    ++n;
    while (n < need && n < room && display_width_detail::is_continuation(p[n])) ++n;
  }
  return n;
}

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
  while (i < len && !stops_run(p[i])) ++i;
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
      i += ill_formed_length(p + i, len - i);
      run = i;
      continue;
    }
    if (b == '"' || b == '\\') {
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
    case value_kind::not_finite:  // JSON has no NaN or infinities
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

// Keys of the first columns, fetched once per print: the callbacks' texts
// stay valid until the print returns. A short key that needs no escapes is
// kept ready with its quotes, its colon and the comma before it. Keys of
// further columns are fetched for each row.
class keys {
 public:
  keys(sink& out, const print_context& ctx) noexcept : ctx_(&ctx) {
    for (const column* col = ctx.table->columns; col != nullptr && count_ < kept; col = col->next) {
      key& k = keys_[count_++];
      k.text = title_of(out, ctx, *col);
      k.len = std::strlen(k.text);
      if (k.len + 4 <= sizeof k.ready && plain_string(k.text, k.len)) {
        k.ready[0] = ',';
        k.ready[1] = '"';
        std::memcpy(k.ready + 2, k.text, k.len);
        k.ready[k.len + 2] = '"';
        k.ready[k.len + 3] = ':';
        k.ready_len = k.len + 4;
      }
    }
  }

  // Writes the key of column i and its colon, after a comma but for the first.
  void put(sink& out, size_t i, const column& col) const noexcept {
    if (i < count_ && keys_[i].ready_len != 0) {
      const size_t skip = i == 0 ? 1 : 0;
      out.put(keys_[i].ready + skip, keys_[i].ready_len - skip);
      return;
    }
    if (i != 0) out.put(',');
    if (i < count_) {
      put_string(out, keys_[i].text, keys_[i].len);
    } else {
      const char* title = title_of(out, *ctx_, col);
      put_string(out, title, std::strlen(title));
    }
    out.put(':');
  }

 private:
  struct key {
    const char* text;
    size_t len;
    char ready[48];
    size_t ready_len;  // 0: written with escapes
  };
  static constexpr size_t kept = 16;
  const print_context* ctx_;
  key keys_[kept] = {};
  size_t count_ = 0;
};

}  // namespace

namespace {

// Writes the rows as JSON objects: array elements, or one a line (JSON Lines).
void write_json_rows(sink& out, const print_context& ctx, bool lines) noexcept {
  const keys names(out, ctx);
  const column_plans plans(ctx);
  read_ahead ahead(ctx.table->rows);
  cell_value v;
  for (const row* r = ctx.table->rows; r != nullptr; r = r->next) {
    ahead.step();
    const bool first = r == ctx.table->rows && !ctx.after_rows;
    if (!lines) out.put(first ? "\n{" : ",\n{", first ? 2 : 3);
    if (lines) out.put('{');
    for_each_field(ctx, *r, [&](size_t i, const column& col, const cell* c) noexcept {
      names.put(out, i, col);
      value_of(v, plans.at(i, col), c, true);
      put_value(out, v);
    });
    out.put('}');
    if (lines) out.put('\n');
  }
}

}  // namespace

void write_json(sink& out, const print_context& ctx, unsigned int flags) noexcept {
  const bool lines = ctx.table->format == TBLX_FORMAT_JSONL;
  // A table that streams opens the array with its first flush and closes it
  // with its next print.
  if (!lines && !ctx.continuing) out.put('[');
  if ((flags & TBLX_PRINT_ROWS) != 0 && ctx.table->rows != nullptr) {
    write_json_rows(out, ctx, lines);
  }
  if (!lines && !ctx.leave_open) out.put("\n]\n", 3);
}
