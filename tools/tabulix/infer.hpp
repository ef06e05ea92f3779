// SPDX-License-Identifier: MIT
// Reading numbers from text and guessing a column's type from its values.
#ifndef TABULIX_TOOL_INFER_HPP
#define TABULIX_TOOL_INFER_HPP

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace tabulix::cli {

enum class value_type { string, int64, uint64, hex };

// The type's name as the --type option spells it: string, int, uint, hex.
std::string_view type_name(value_type t);
std::optional<value_type> parse_type_name(std::string_view name);

// Strict forms are those the table prints back unchanged, so that a guessed
// type never alters a value: decimals without a plus sign or leading zeros
// ("-0" neither), hex as "0x" and 1 or more digits of either case. The
// lenient forms, used for a type the user chose, also take a plus sign and
// leading zeros, and hex without its "0x" or with "0X".
std::optional<std::int64_t> parse_int(std::string_view text, bool lenient = false);
std::optional<std::uint64_t> parse_uint(std::string_view text, bool lenient = false);
std::optional<std::uint64_t> parse_hex(std::string_view text, bool lenient = false);

// A decimal number written out: an optional sign, digits, and optionally a
// point with more digits ("12", "-3.5", "0.25", ".5", "7.").
bool is_decimal(std::string_view text);

// Compares two decimal numbers by value, exactly: negative, zero or
// positive as a is less than, equal to or greater than b ("2.50" equals
// "2.5", "-0" equals "0"). Both must pass is_decimal.
int compare_decimal(std::string_view a, std::string_view b);

// Gathers what the non-empty values of one column look like.
class type_guess {
 public:
  void add(std::string_view value);

  // int when every value is a signed 64-bit decimal; uint when every value
  // fits unsigned 64 bits and some need it; hex when every value is "0x" and
  // hex digits; string otherwise, and for a column without values.
  [[nodiscard]] value_type type() const;
  [[nodiscard]] bool has_values() const { return any_; }
  // Every value is a decimal number: such text sorts by value.
  [[nodiscard]] bool decimal() const { return any_ && all_decimal_; }
  // Some value has a decimal point: such text is aligned on it.
  [[nodiscard]] bool has_point() const { return point_; }
  // Hex letters appear only in upper case.
  [[nodiscard]] bool upper_hex() const { return upper_ && !lower_; }
  // When some hex value is written with leading zeros, the length of the
  // longest value, so that the zeros can be kept; else 0.
  [[nodiscard]] std::size_t zero_filled_width() const { return zero_filled_ ? hex_width_ : 0; }

 private:
  void add_number(std::string_view value);
  void add_hex(std::string_view value);

  bool any_ = false;
  bool all_int_ = true;
  bool all_uint_ = true;
  bool needs_uint_ = false;
  bool all_hex_ = true;
  bool all_decimal_ = true;
  bool point_ = false;
  bool upper_ = false;
  bool lower_ = false;
  bool zero_filled_ = false;
  std::size_t hex_width_ = 0;
};

}  // namespace tabulix::cli

#endif
