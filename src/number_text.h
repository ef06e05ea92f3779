// SPDX-License-Identifier: MIT
// The text of a number in its column, made once for measuring, rendering and alignment.
#ifndef TABULIX_NUMBER_TEXT_H
#define TABULIX_NUMBER_TEXT_H

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "digits.h"
#include "double_text.h"
#include "justify.h"
#include "print_sink.h"
#include "tabulix_internal.h"

// A number's unfilled text: its head, i.e. the sign of a negative int or
// double or the "0x" of a hex number, then the digits in the column's hex
// case (and a double's point, decimals or exponent); then the column's
// suffix, which stays where the column keeps it.
// NOLINTNEXTLINE(cppcoreguidelines-pro-type-member-init): see head
struct number_text {
  // Room for the head: the longest text of a double (309 integer digits and
  // 17 decimals) or of a 128-bit sum, with its group separators, and the
  // junk that the digit writers may leave after them.
  static constexpr size_t head_room = double_text_room + 309 / 3 + 9;

  // Left uncleared: only the first head_len bytes are ever read, and
  // clearing the rest would cost a print of numbers about 1 % more.
  char head[head_room];
  uint32_t prefix_len = 0;  // "-" or "0x" at the start of head, else 0
  uint32_t head_len = 0;
  const char* suffix = nullptr;
  uint32_t suffix_len = 0;
  // Place of the alignment character in the whole text, head then suffix, as
  // the print finds it; -1 when the text lacks it or the column does not
  // align its cells on a character.
  int64_t justify_at = -1;

  [[nodiscard]] uint64_t length() const noexcept { return uint64_t{head_len} + suffix_len; }
  [[nodiscard]] uint32_t digit_count() const noexcept { return head_len - prefix_len; }
};

// The first occurrence is in the head when it has one; the last in the
// suffix when it has one.
inline int64_t justify_char_in(const number_text& t, int32_t kind,
                               unsigned char justify_char) noexcept {
  const char* in_head = find_justify_char(kind, t.head, t.head_len, justify_char);
  const char* in_suffix = find_justify_char(kind, t.suffix, t.suffix_len, justify_char);
  if (in_head != nullptr && (kind == TBLX_JUST_CHAR_FIRST || in_suffix == nullptr)) {
    return in_head - t.head;
  }
  if (in_suffix != nullptr) return int64_t{t.head_len} + (in_suffix - t.suffix);
  return -1;
}

// Completes a number's text with its column's suffix and the place of the
// alignment character.
[[gnu::always_inline]] inline void add_suffix(number_text& t, const column& col) noexcept {
  t.suffix = col.suffix;
  t.suffix_len = col.suffix_len;
  t.justify_at = aligns_on_char(col.cell_justification)
                     ? justify_char_in(t, col.cell_justification, col.justify_char)
                     : -1;
}

// Separates the head's integer digits as the column groups them: by four
// after "0x", by three after a sign.
[[gnu::noinline]] inline void group_head(number_text& t, const column& col) noexcept {
  const bool hex = col.type == TBLX_TYPE_HEX;
  t.head_len = group_digits(t.head, t.head_len, t.prefix_len, col.group_separator, hex ? 4u : 3u);
}

// The head of a double (the bits in value) in the column's precision.
[[gnu::always_inline]] inline void make_double_head(number_text& t, const column& col,
                                                    uint64_t value) noexcept {
  t.head_len = write_double_inline(t.head, std::bit_cast<double>(value), col.precision);
  t.prefix_len = t.head[0] == '-' ? 1u : 0u;
}

// What a plain number's head is made of, known before a digit is written:
// the digits of a hex number, or of the magnitude of a decimal one, after a
// prefix of prefix_len bytes ("0x", or "-" for a negative number).
struct plain_head {
  uint64_t magnitude;
  uint32_t prefix_len;
  uint32_t digits;
  bool hex;
  bool upper;

  [[nodiscard]] uint32_t length() const noexcept { return prefix_len + digits; }
};

// The head of value in col, a column of type int, uint or hex whose digits
// are not grouped.
[[gnu::always_inline]] inline plain_head shape_plain_head(const column& col,
                                                          uint64_t value) noexcept {
  plain_head h{};
  h.hex = col.type == TBLX_TYPE_HEX;
  if (h.hex) {
    h.magnitude = value;
    h.prefix_len = 2;
    h.digits = hex_digits(value);
    h.upper = col.hex_case == TBLX_HEX_UPPER;  // the "0x" is lower case in both
  } else {
    // The sign of random data is unpredictable: taken without branches.
    const bool negative = (col.type == TBLX_TYPE_INT) & (value >> 63 != 0);
    h.magnitude = negative ? 0u - value : value;
    h.prefix_len = negative ? 1u : 0u;
    h.digits = decimal_digits(h.magnitude);
  }
  return h;
}

// Writes a plain head's prefix at out: always two bytes, the second of a
// sign being junk for the digits to overwrite.
[[gnu::always_inline]] inline void write_plain_prefix(char* out, const plain_head& h) noexcept {
  out[0] = h.hex ? '0' : '-';
  out[1] = 'x';
}

// Writes a plain head's digits at out, and may write junk into the next 8
// bytes after them.
[[gnu::always_inline]] inline void write_plain_digits(char* out, const plain_head& h) noexcept {
  if (h.hex) {
    write_hex_digits(out, h.magnitude, h.digits, h.upper);
  } else {
    write_decimal_digits(out, h.magnitude, h.digits);
  }
}

// Makes the text of value in col, a column of type int, uint or hex whose
// digits are not grouped. Always inlined: as a call it would cost a print of
// numbers some 2 % more instructions, the struct going back through memory.
[[gnu::always_inline]] inline number_text make_plain_number_text(const column& col,
                                                                 uint64_t value) noexcept {
  number_text t;
  const plain_head h = shape_plain_head(col, value);
  write_plain_prefix(t.head, h);  // the sign is kept only for a negative number
  write_plain_digits(t.head + h.prefix_len, h);
  t.prefix_len = h.prefix_len;
  t.head_len = h.length();
  add_suffix(t, col);
  return t;
}

// The text of value in a column with special_text set: a double, or
// grouped digits. Apart from the plain text, which the common columns take
// without paying for these.
[[gnu::noinline]] inline number_text make_special_number_text(const column& col,
                                                              uint64_t value) noexcept {
  // One named result on every path, so that it is built in the caller's
  // place instead of copied there.
  number_text t;
  if (col.type == TBLX_TYPE_DOUBLE) {
    make_double_head(t, col, value);
  } else {
    t = make_plain_number_text(col, value);
  }
  if (col.group_separator != 0) group_head(t, col);
  add_suffix(t, col);
  return t;
}

// The text of value in col, a number column of any type.
[[gnu::always_inline]] inline number_text make_number_text(const column& col,
                                                           uint64_t value) noexcept {
  if (col.special_text != 0) [[unlikely]] {
    return make_special_number_text(col, value);
  }
  return make_plain_number_text(col, value);
}

// Makes the text of a summed column's sum. A sum that fits its column's
// 64-bit type is made as a cell of that value would be; a larger one gets
// all its digits.
inline number_text make_sum_text(const column& col) noexcept {
  if (col.type == TBLX_TYPE_DOUBLE) return make_special_number_text(col, col.double_sum);
  const bool is_signed = col.type == TBLX_TYPE_INT;
  if (col.sum.fits_word(is_signed)) return make_number_text(col, col.sum.low);
  number_text t;
  uint64_t high = col.sum.high;
  uint64_t low = col.sum.low;
  if (col.type == TBLX_TYPE_HEX) {
    t.head[0] = '0';
    t.head[1] = 'x';
    t.prefix_len = 2;
    const bool upper = col.hex_case == TBLX_HEX_UPPER;
    const uint32_t digits = hex_digits(high);
    write_hex_digits(t.head + 2, high, digits, upper);
    write_hex_digits(t.head + 2 + digits, low, 16, upper);
    t.head_len = 2 + digits + 16;
  } else {
    const bool negative = is_signed && high >> 63 != 0;
    if (negative) {  // the magnitude: the two's complement negated
      low = 0u - low;
      high = ~high + (low == 0 ? 1u : 0u);
    }
    t.head[0] = '-';
    t.prefix_len = negative ? 1u : 0u;
    t.head_len = t.prefix_len + write_wide_decimal_digits(t.head + t.prefix_len, high, low);
  }
  if (col.group_separator != 0) group_head(t, col);
  add_suffix(t, col);
  return t;
}

// Zero-fills a grouped hex number to `field` characters after its "0x",
// the zeros grouped as its digits are: as many whole digits as fit, so a
// field that ends in the middle of a separator keeps one blank.
inline void fill_grouped_hex(number_text& t, const column& col, uint64_t field) noexcept {
  constexpr size_t room = number_text::head_room - 16;  // junk of write_hex_digits included
  char digits[number_text::head_room];
  uint32_t count = 0;
  for (uint32_t i = t.prefix_len; i < t.head_len; ++i) {
    if (t.head[i] != col.group_separator) digits[count++] = t.head[i];
  }
  uint64_t wanted = count;
  while (true) {
    const uint64_t next = wanted + 1;
    if (next + (next - 1) / 4 > field || 2 + next + (next - 1) / 4 > room) break;
    wanted = next;
  }
  if (wanted == count) return;
  const auto zero_count = static_cast<uint32_t>(wanted - count);
  std::memset(t.head + t.prefix_len, '0', zero_count);
  std::memcpy(t.head + t.prefix_len + zero_count, digits, count);
  t.head_len = t.prefix_len + zero_count + count;
  group_head(t, col);
  add_suffix(t, col);
}

// Fill that widens a number's text to its field: blanks before it, zeros
// between "0x" and the digits, blanks between the digits and the suffix.
struct number_fill {
  uint64_t before;
  uint64_t zeros;
  uint64_t after;
};

// Writes a number's text with its fill. Always inlined: the printer writes
// numbers for both width modes, and as a call it would cost a print of
// numbers some 15 % more instructions.
template <typename Writer>
[[gnu::always_inline]] inline void put_number(Writer& out, const number_text& t,
                                              const number_fill& f) noexcept {
  pad(out, f.before);
  if (f.zeros == 0) {
    out.put(t.head, t.head_len);
  } else {
    out.put(t.head, t.prefix_len);
    fill(out, zeros, f.zeros);
    out.put(t.head + t.prefix_len, t.digit_count());
  }
  pad(out, f.after);
  out.put(t.suffix, t.suffix_len);
}

// A number counts whole as lead, unless it holds the alignment character (a
// digit, a sign, or in the suffix, say ".00"): the print aligns it on that
// character, so it is split there to keep its column's lines in line.
// The head is ASCII: only the suffix can take fewer columns than bytes.
template <bool Display>
void measure_number(column& col, const number_text& number) noexcept {
  const uint64_t width = number.head_len + text_width<Display>(number.suffix, number.suffix_len);
  const bool aligned = number.justify_at >= 0 && (!Display || col.justify_char < 0x80);
  if (!aligned) {
    raise_widths(col, width, 0);
    return;
  }
  const auto at = static_cast<uint64_t>(number.justify_at);
  const uint64_t lead =
      at < number.head_len
          ? at + 1
          : number.head_len +
                text_width<Display>(number.suffix, static_cast<size_t>(at - number.head_len) + 1);
  raise_widths(col, lead, width - lead);
}

#endif  // TABULIX_NUMBER_TEXT_H
