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
  // Room for the head: a sign and the 39 decimal digits of a 128-bit sum,
  // or "0x" and its 32 hex digits, and the junk that the digit writers may
  // leave after them.
  static constexpr size_t head_room = 48;

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
  add_suffix(t, col);
  return t;
}

// Writes the decimal digits of the 128-bit magnitude (high, low) at out and
// gives their count; may write junk into the next 8 bytes after them. Made
// of nine-digit pieces, each the remainder of a long division by 10^9 over
// 32-bit limbs, which needs no 128-bit type (there is none on 32-bit ABIs).
inline uint32_t write_wide_decimal_digits(char* out, uint64_t high, uint64_t low) noexcept {
  constexpr uint32_t piece = 1000000000u;
  uint32_t limbs[4] = {static_cast<uint32_t>(high >> 32), static_cast<uint32_t>(high),
                       static_cast<uint32_t>(low >> 32), static_cast<uint32_t>(low)};
  uint32_t pieces[5] = {};  // least significant first; 10^45 > 2^128
  size_t count = 0;
  do {
    uint64_t rest = 0;
    bool nonzero = false;
    for (uint32_t& limb : limbs) {
      const uint64_t part = (rest << 32) | limb;
      limb = static_cast<uint32_t>(part / piece);
      rest = part % piece;
      nonzero = nonzero || limb != 0;
    }
    pieces[count++] = static_cast<uint32_t>(rest);
    if (!nonzero) break;
  } while (count < 5);
  const uint32_t first = decimal_digits(pieces[count - 1]);
  write_decimal_digits(out, pieces[count - 1], first);
  char* at = out + first;
  for (size_t i = count - 1; i-- > 0; at += 9) write_decimal_digits(at, pieces[i], 9);
  return first + static_cast<uint32_t>(9 * (count - 1));
}

// Makes the text of a summed column's sum. A sum that fits its column's
// 64-bit type is made as a cell of that value would be; a larger one gets
// all its digits.
inline number_text make_sum_text(const column& col) noexcept {
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
  add_suffix(t, col);
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
