// SPDX-License-Identifier: MIT
// Reading numbers from text and guessing a column's type from its values.
// Each field is looked at once (scan_field); what it is and the number it
// holds go to the store and to the column's guess.
#ifndef TABULIX_TOOL_INFER_HPP
#define TABULIX_TOOL_INFER_HPP

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "decorated.hpp"

namespace tabulix::cli {

// The types --type names: string, int, uint, hex.
enum class value_type { string, int64, uint64, hex };

std::string_view type_name(value_type t);
std::optional<value_type> parse_type_name(std::string_view name);

// The strict forms are those a guessed number column takes: decimals without
// leading zeros (a plus sign and "-0" are taken, and print as 7 and 0), hex
// as "0x" and 1 or more digits of either case. The lenient forms, used for a
// type the user chose, also take leading zeros, and hex without its "0x" or
// with "0X".
std::optional<std::int64_t> parse_int(std::string_view text, bool lenient = false);
std::optional<std::uint64_t> parse_uint(std::string_view text, bool lenient = false);
std::optional<std::uint64_t> parse_hex(std::string_view text, bool lenient = false);

// A decimal number written out: an optional sign, digits, optionally a
// point with more digits ("12", "-3.5", "0.25", ".5", "7."), and optionally
// an exponent ("1e3", "2.5E-4").
bool is_decimal(std::string_view text);

// Compares two numbers that pass is_decimal by value, exactly: negative,
// zero or positive as a is less than, equal to or greater than b ("2.50"
// equals "2.5" and "25e-1", "-0" equals "0").
int compare_decimal(std::string_view a, std::string_view b);

// A decimal number taken apart for ordering: its sign, the exponent of its
// first significant digit, and its significant digits, which are `head`
// followed by `tail` (a point may stand between them in the text). The
// exponent is `exponent` when `exponent_digits` is empty. An exponent written
// with more digits than 64 bits hold is kept exactly instead: it is the
// written one (its digits without leading zeros, and its sign) plus
// `exponent`.
struct decimal_key {
  bool negative = false;
  bool zero = true;
  bool exponent_negative = false;
  std::int64_t exponent = 0;
  std::string_view exponent_digits;
  std::string_view head;
  std::string_view tail;

  [[nodiscard]] std::size_t size() const { return head.size() + tail.size(); }
  [[nodiscard]] char operator[](std::size_t i) const {
    return i < head.size() ? head[i] : tail[i - head.size()];
  }
};

// The key of a number that passes is_decimal; it points into `text`.
decimal_key make_decimal_key(std::string_view text);
// Orders two keys by value, as compare_decimal orders their texts.
int compare_decimal_keys(const decimal_key& x, const decimal_key& y);

// What one field holds, found in one pass over its bytes.
struct field_scan {
  enum class form : std::uint8_t {
    text,       // none of the below
    integer,    // strict decimal integer; fits int64 or uint64 as noted
    decimal,    // any other decimal number (is_decimal)
    hex,        // "0x" and hex digits
    decorated,  // a number with thousands separators, a currency sign, '%' or a unit
  };
  form kind = form::text;
  bool int64 = false;      // integer that fits int64 (value in i)
  bool uint64 = false;     // integer that fits uint64 but not int64 (value in u)
  bool as_written = true;  // prints back as written ("+7", "-0" and "0X1f" do not)
  bool point = false;      // decimal with a point
  bool exponent = false;   // decimal with an exponent
  bool lower = false;      // hex letters a-f seen
  bool upper = false;      // hex letters A-F seen
  bool zero_led = false;   // hex with a leading zero digit
  // A decorated number: how it is decorated (its value is read again when
  // needed, which keeps this small for the fields of every other kind).
  decoration deco = decoration::group;
  char group = 0;
  std::uint8_t currency = 0;
  std::uint32_t whole = 0;     // decimal: bytes before the point (sign included); hex: all
                               // its bytes
  std::uint32_t fraction = 0;  // decimal: digits after the point
  std::int64_t i = 0;
  std::uint64_t u = 0;  // uint64 integers and hex values of up to 16 digits
};

field_scan scan_field(std::string_view text);

// How a column is shown, from what its values are.
enum class column_kind {
  text,
  int64,           // library int column
  uint64,          // library uint column
  hex,             // library hex column (one letter case, no zero-filled values)
  hex_text,        // hex shown as written, right-aligned, ordered by value
  decimal_text,    // decimal numbers shown as written, ordered by value
  decorated_text,  // decorated numbers (and plain ones) shown as written, ordered by value
};

// The column kind of a type the user chose (--type).
inline column_kind forced_kind(value_type t) {
  switch (t) {
    case value_type::int64:
      return column_kind::int64;
    case value_type::uint64:
      return column_kind::uint64;
    case value_type::hex:
      return column_kind::hex;
    case value_type::string:
      break;
  }
  return column_kind::text;
}

// Gathers what the non-empty values of one column look like.
class type_guess {
 public:
  void add(const field_scan& s);
  void add(std::string_view value) { add(scan_field(value)); }
  // Takes the values of `later`, as if each were added after these.
  void merge(const type_guess& later);

  // int when every value is a signed 64-bit decimal; uint when every value
  // fits unsigned 64 bits and some need it; hex when every value is "0x" and
  // hex digits; string otherwise, and for a column without values.
  [[nodiscard]] value_type type() const;
  [[nodiscard]] column_kind kind() const;
  [[nodiscard]] bool has_values() const { return any_; }
  // Every value is a decimal number: such text sorts by value.
  [[nodiscard]] bool decimal() const { return any_ && all_decimal_; }
  // Some value has a decimal point: such text is aligned on it.
  [[nodiscard]] bool has_point() const { return point_; }
  // Some value has an exponent.
  [[nodiscard]] bool has_exponent() const { return exponent_; }
  // The decoration of the decorated numbers, when they share one.
  [[nodiscard]] decoration decorated_as() const { return deco_; }
  // Hex letters appear only in upper case.
  [[nodiscard]] bool upper_hex() const { return upper_ && !lower_; }
  // Hex values are shown as written: zero-filled ones or letters of both
  // cases keep their form.
  [[nodiscard]] bool hex_as_written() const { return zero_led_ || (upper_ && lower_); }
  // The most digits after the point of any value.
  [[nodiscard]] std::uint32_t fraction_digits() const { return fraction_; }
  // The widest whole part (sign included) and point with fraction.
  [[nodiscard]] std::uint32_t whole_width() const { return whole_; }
  [[nodiscard]] std::uint32_t point_width() const { return point_ ? fraction_ + 1 : 0; }
  // The widest hex value as written ("0x" and its digits).
  [[nodiscard]] std::uint32_t hex_width() const { return hex_width_; }

 private:
  bool any_ = false;
  bool all_int_ = true;
  bool all_uint_ = true;
  bool needs_uint_ = false;
  bool all_hex_ = true;
  bool all_decimal_ = true;
  bool all_numbers_ = true;  // decimal or decorated
  bool decorated_ = false;
  bool mixed_ = false;  // decorations that cannot be summed together
  decoration deco_ = decoration::group;
  char group_ = 0;
  std::uint8_t currency_ = 0;
  bool point_ = false;
  bool exponent_ = false;
  bool upper_ = false;
  bool lower_ = false;
  bool zero_led_ = false;
  std::uint32_t whole_ = 0;
  std::uint32_t fraction_ = 0;
  std::uint32_t hex_width_ = 0;

  void add_decoration(const field_scan& s);
};

}  // namespace tabulix::cli

#endif
