// SPDX-License-Identifier: MIT
// Numbers written for people: with thousands separators ("1,234,567",
// "1 234 567", "1'234'567"), a currency sign ("$1,925.50", "-$5", "12 €"), a
// percent sign ("0.44%"), or a size unit as ls -h, df -h and free -h write
// it ("12G", "1.5Gi", "4.0K", "12 kB", "0B").
#ifndef TABULIX_TOOL_DECORATED_HPP
#define TABULIX_TOOL_DECORATED_HPP

#include <cstdint>
#include <string>
#include <string_view>

namespace tabulix::cli {

// What decorates a number.
enum class decoration : std::uint8_t {
  group,     // thousands separators only
  currency,  // a currency sign before or after
  percent,   // '%' after
  size,      // a size unit after
};

// A decorated number taken apart.
struct decorated_number {
  decoration what = decoration::group;
  char group = 0;             // the thousands separator, 0 for none
  std::uint8_t currency = 0;  // which sign, from 1, for decoration::currency
  std::uint8_t power = 0;     // size: the unit's power of the base (K: 1, M: 2, ...)
  bool binary = false;        // size: powers of 1024 ("Ki", "KiB"), else of 1000
  bool negative = false;
  std::uint32_t fraction = 0;  // digits after the point
  std::string_view digits;     // the number as written, sign and decoration left out
  std::string_view before;     // the currency sign before the number, if any
  std::string_view after;      // what follows the number: the unit, '%' or the sign
  double value = 0;            // the value, a size in bytes
};

// Whether `text` may be a decorated number, from its first byte: a digit, a
// sign, a point, '$' or the first byte of another currency sign. Most text
// is told apart here.
inline bool may_be_decorated(std::string_view text) {
  if (text.empty()) return false;
  const char c = text.front();
  return (c >= '0' && c <= '9') || c == '-' || c == '+' || c == '.' || c == '$' || c == '\xE2' ||
         c == '\xC2';
}

// Takes `text` apart when it is a decorated number; false otherwise, and
// for a plain number.
bool read_decorated(std::string_view text, decorated_number& d);

// The digits of the number without its separators, with its sign: a
// decimal number that exact sums take ("-1925.50").
std::string plain_digits(const decorated_number& d);

// `number` ("-1925.5", as an exact sum writes it) decorated like `like`:
// its thousands separator, currency sign or '%'.
std::string decorate(std::string_view number, const decorated_number& like);

// A size in bytes in the unit of `like`, with one decimal, as df -h writes
// a size ("12.5G").
std::string size_in_unit(long double bytes, const decorated_number& like);

// The value of a plain decimal number, or of a decorated one.
double value_of(std::string_view text);

}  // namespace tabulix::cli

#endif
