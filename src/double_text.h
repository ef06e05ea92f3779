// SPDX-License-Identifier: MIT
// The text of a double and the grouping of digits: what a cell of a double
// column shows, for any writer of a table (aligned text or otherwise).
#ifndef TABULIX_DOUBLE_TEXT_H
#define TABULIX_DOUBLE_TEXT_H

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "digits.h"

// Bytes that write_double may use: a sign, the 309 integer digits of the
// largest double, a point and 17 decimals, and 8 bytes that the digit
// writers may overwrite past the end.
constexpr size_t double_text_room = 1 + 309 + 1 + 17 + 8;

// Precision of a double column that asks for the shortest text.
constexpr int shortest_precision = -1;

// Writes the text of value at out (double_text_room bytes) and gives its
// length; no NUL. With a precision of 0 to 17, that many decimals, correctly
// rounded (ties to even, as printf in the C locale); with
// shortest_precision, the fewest digits that read back as the same double,
// written plainly from 1e-5 up to 1e16 and with an exponent (1.5e+20)
// outside. Always '.' as the point. NaN is "nan", the infinities "inf" and
// "-inf", and -0 keeps its sign.
uint32_t write_double(char* out, double value, int precision) noexcept;

// The common case of write_double, in line for the printer: 0 to 3
// decimals of zero or of a normal value below 2^53 (2^53 * 1000 < 2^63), in
// 64-bit integers. Writes the text and sets len, or gives false for
// write_double to do.
[[gnu::always_inline]] inline bool write_fixed_quickly(char* out, uint64_t bits, int precision,
                                                       uint32_t& len) noexcept {
  const auto biased = static_cast<int>((bits >> 52) & 0x7ff);
  const uint64_t magnitude = bits & ~(uint64_t{1} << 63);
  const int shift = 1075 - biased;  // value = significand / 2^shift
  if (static_cast<unsigned>(precision) > 3 || ((shift <= 0 || shift >= 64) && magnitude != 0)) {
    return false;
  }
  uint64_t scaled = 0;
  if (magnitude != 0) {
    const uint64_t significand = (bits & ((uint64_t{1} << 52) - 1)) | (uint64_t{1} << 52);
    const uint64_t product = significand * powers_of_10[precision];
    const uint64_t whole = product >> shift;
    const uint64_t rest = product & ((uint64_t{1} << shift) - 1);
    const uint64_t half = uint64_t{1} << (shift - 1);
    scaled = whole + ((rest > half || (rest == half && (whole & 1u) != 0)) ? 1u : 0u);
  }
  char* at = out;
  if (magnitude != bits) *at++ = '-';
  // All digits at once, at least one before the point, then the decimals
  // moved one place right to make room for it: at most three, moved as one
  // word of four bytes (the last one past them is room that the digit
  // writer may use anyway).
  const auto decimals = static_cast<uint32_t>(precision);
  const uint32_t count = decimal_digits(scaled) > decimals ? decimal_digits(scaled) : decimals + 1;
  write_decimal_digits(at, scaled, count);
  if (decimals == 0) {
    len = static_cast<uint32_t>(at + count - out);
    return true;
  }
  char* point = at + count - decimals;
  char moved[4];
  std::memcpy(moved, point, sizeof moved);
  std::memcpy(point + 1, moved, sizeof moved);
  *point = '.';
  len = static_cast<uint32_t>(point + 1 + decimals - out);
  return true;
}

// write_double with its common case in line.
[[gnu::always_inline]] inline uint32_t write_double_inline(char* out, double value,
                                                           int precision) noexcept {
  if (uint32_t len = 0; write_fixed_quickly(out, std::bit_cast<uint64_t>(value), precision, len)) {
    return len;
  }
  return write_double(out, value, precision);
}

// Separates the integer digits of a number's text in groups of `every`
// (3, or 4 for hex), counted from the right: the run of digits that starts
// at text[from]. The text must have room for the separators after len;
// gives the new length.
uint32_t group_digits(char* text, uint32_t len, uint32_t from, char separator,
                      uint32_t every) noexcept;

// The separators a column may group its digits with (besides 0 for none).
bool valid_group_separator(int separator) noexcept;

#endif  // TABULIX_DOUBLE_TEXT_H
