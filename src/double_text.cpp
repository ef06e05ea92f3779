// SPDX-License-Identifier: MIT
// The text of a double: shortest round-trip or fixed decimals, and digit grouping.
#include "double_text.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cstring>
#include <system_error>

#include "digits.h"

namespace {

constexpr uint64_t sign_bit = uint64_t{1} << 63;
constexpr uint64_t fraction_mask = (uint64_t{1} << 52) - 1;

uint32_t write_literal(char* out, const char* text) noexcept {
  const size_t len = std::strlen(text);
  std::memcpy(out, text, len);
  return static_cast<uint32_t>(len);
}

// nan, inf, -inf: the same in every precision; NaN without the sign that
// printf would show for a negative one.
uint32_t write_special(char* out, uint64_t bits) noexcept {
  if ((bits & fraction_mask) != 0) return write_literal(out, "nan");
  return write_literal(out, (bits & sign_bit) != 0 ? "-inf" : "inf");
}

// The shortest digits and decimal exponent from the library's converter,
// laid out plainly when the exponent lies from -5 to 15.
uint32_t write_shortest(char* out, double value) noexcept {
  char sci[32];
  const auto [end, ec] = std::to_chars(sci, sci + sizeof sci, value, std::chars_format::scientific);
  static_cast<void>(ec);  // 32 bytes hold any double in this form
  const auto sci_len = static_cast<size_t>(end - sci);
  const char* e = static_cast<const char*>(std::memchr(sci, 'e', sci_len));
  int exponent = 0;
  std::from_chars(e + (e[1] == '+' ? 2 : 1), end, exponent);
  if (exponent < -5 || exponent > 15) {
    std::memcpy(out, sci, sci_len);
    return static_cast<uint32_t>(sci_len);
  }
  char* at = out;
  const char* digit = sci;
  if (*digit == '-') *at++ = *digit++;
  // The significant digits without their point: d[.ddd]
  char digits[20];
  size_t count = 0;
  for (; digit != e; ++digit) {
    if (*digit != '.') digits[count++] = *digit;
  }
  if (exponent < 0) {
    *at++ = '0';
    *at++ = '.';
    for (int i = -1; i > exponent; --i) *at++ = '0';
    std::memcpy(at, digits, count);
    at += count;
  } else {
    const auto whole = static_cast<size_t>(exponent) + 1;
    for (size_t i = 0; i < whole; ++i) *at++ = i < count ? digits[i] : '0';
    if (count > whole) {
      *at++ = '.';
      std::memcpy(at, digits + whole, count - whole);
      at += count - whole;
    }
  }
  return static_cast<uint32_t>(at - out);
}

// |value| * 10^precision rounded to an integer, ties to even, when that can
// be worked out exactly in 64 bits: a precision of at most 3 and a value
// below 2^53. Gives false otherwise.
bool scaled_magnitude(uint64_t bits, int precision, uint64_t& scaled) noexcept {
  const uint64_t exponent = (bits >> 52) & 0x7ff;
  uint64_t significand = bits & fraction_mask;
  int shift = 1074;  // value = significand / 2^shift
  if (exponent != 0) {
    significand |= uint64_t{1} << 52;
    shift = 1075 - static_cast<int>(exponent);
  }
  if (precision > 3 || shift <= 0) return false;
  // Below 2^63: 2^53 * 1000 < 2^63.
  const uint64_t product = significand * powers_of_10[precision];
  if (shift >= 64) {
    scaled = 0;  // product / 2^shift < 1/2
    return true;
  }
  const uint64_t whole = product >> shift;
  const uint64_t rest = product & ((uint64_t{1} << shift) - 1);
  const uint64_t half = uint64_t{1} << (shift - 1);
  scaled = whole + ((rest > half || (rest == half && (whole & 1u) != 0)) ? 1u : 0u);
  return true;
}

uint32_t write_fixed(char* out, double value, uint64_t bits, int precision) noexcept {
  uint64_t scaled = 0;
  if (!scaled_magnitude(bits, precision, scaled)) {
    const auto [end, ec] =
        std::to_chars(out, out + double_text_room, value, std::chars_format::fixed, precision);
    static_cast<void>(ec);  // the room holds the longest fixed text
    return static_cast<uint32_t>(end - out);
  }
  char* at = out;
  if ((bits & sign_bit) != 0) *at++ = '-';
  // All digits at once, at least one before the point, then the decimals
  // moved one place right to make room for it.
  const auto decimals = static_cast<uint32_t>(precision);
  const uint32_t digits = std::max(decimal_digits(scaled), decimals + 1);
  write_decimal_digits(at, scaled, digits);
  if (decimals == 0) return static_cast<uint32_t>(at + digits - out);
  char* point = at + digits - decimals;
  // At most three decimals: moved as one word of four bytes (the last one
  // past them is room that the digit writer may use anyway).
  char moved[4];
  std::memcpy(moved, point, sizeof moved);
  std::memcpy(point + 1, moved, sizeof moved);
  *point = '.';
  return static_cast<uint32_t>(point + 1 + decimals - out);
}

}  // namespace

uint32_t write_double(char* out, double value, int precision) noexcept {
  const auto bits = std::bit_cast<uint64_t>(value);
  if ((bits & ~sign_bit) >= uint64_t{0x7ff} << 52) return write_special(out, bits);
  if (precision < 0) return write_shortest(out, value);
  return write_fixed(out, value, bits, precision);
}

uint32_t group_digits(char* text, uint32_t len, uint32_t from, char separator,
                      uint32_t every) noexcept {
  uint32_t end = from;
  while (end < len && ((text[end] >= '0' && text[end] <= '9') ||
                       (every == 4 && ((text[end] | 0x20) >= 'a' && (text[end] | 0x20) <= 'f')))) {
    ++end;
  }
  const uint32_t digits = end - from;
  if (digits <= every) return len;
  const uint32_t separators = (digits - 1) / every;
  std::memmove(text + end + separators, text + end, len - end);
  // From the last digit back: a separator after every `every` digits.
  uint32_t to = end + separators;
  for (uint32_t i = 0; i < digits; ++i) {
    if (i != 0 && i % every == 0) text[--to] = separator;
    text[--to] = text[end - 1 - i];
  }
  return len + separators;
}

bool valid_group_separator(int separator) noexcept {
  return separator == ',' || separator == '.' || separator == '\'' || separator == '_' ||
         separator == ' ';
}
