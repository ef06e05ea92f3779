// SPDX-License-Identifier: MIT
// The text of a number in its column, made once for measuring, rendering and alignment.
#ifndef TABULIX_NUMBER_TEXT_H
#define TABULIX_NUMBER_TEXT_H

#include <cstddef>
#include <cstdint>

#include "digits.h"
#include "justify.h"
#include "print_sink.h"
#include "tabulix_internal.h"

// A number's unfilled text: its head, i.e. the sign of a negative int or the
// "0x" of a hex number, then the digits in the column's hex case; then the
// column's suffix, which stays where the column keeps it.
// NOLINTNEXTLINE(cppcoreguidelines-pro-type-member-init): see head
struct number_text {
  // Room for the head: a sign and 20 decimal digits, or "0x" and 16 hex
  // digits, and the junk that the digit writers may leave after them.
  static constexpr size_t head_room = 24;

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

// Makes the text of value in col, a column of type int, uint or hex. Always
// inlined: as a call it would cost a print of numbers some 2 % more
// instructions, the struct going back through memory.
[[gnu::always_inline]] inline number_text make_number_text(const column& col,
                                                           uint64_t value) noexcept {
  number_text t;
  if (col.type == TBLX_TYPE_HEX) {
    t.head[0] = '0';
    t.head[1] = 'x';  // lower case in both letter cases
    t.prefix_len = 2;
    const uint32_t digits = hex_digits(value);
    write_hex_digits(t.head + 2, value, digits, col.hex_case == TBLX_HEX_UPPER);
    t.head_len = 2 + digits;
  } else {
    // The sign of random data is unpredictable: taken without branches.
    const bool negative = (col.type == TBLX_TYPE_INT) & (value >> 63 != 0);
    const uint64_t magnitude = negative ? 0u - value : value;
    t.head[0] = '-';  // kept only for a negative number
    t.prefix_len = negative ? 1u : 0u;
    const uint32_t digits = decimal_digits(magnitude);
    write_decimal_digits(t.head + t.prefix_len, magnitude, digits);
    t.head_len = t.prefix_len + digits;
  }
  t.suffix = col.suffix;
  t.suffix_len = col.suffix_len;
  t.justify_at = aligns_on_char(col.cell_justification)
                     ? justify_char_in(t, col.cell_justification, col.justify_char)
                     : -1;
  return t;
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

#endif  // TABULIX_NUMBER_TEXT_H
