// SPDX-License-Identifier: MIT
// Exact decimal arithmetic for the summary figures: sums of any size,
// decimals without rounding, and a mean rounded once, at the end.
#ifndef TABULIX_TOOL_DECIMAL_HPP
#define TABULIX_TOOL_DECIMAL_HPP

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tabulix::cli {

// A signed decimal number: an integer magnitude in base 10^9 limbs, and the
// number of its digits that stand after the point.
class exact_decimal {
 public:
  exact_decimal() = default;
  exact_decimal(bool negative, std::uint64_t magnitude, std::uint32_t scale);

  // [+-]digits[.digits], or a point with digits on one side at least.
  static std::optional<exact_decimal> parse(std::string_view text);

  void add(const exact_decimal& other);
  // The digits of the value with its scale ("-12.50", "0.05", "7").
  [[nodiscard]] std::string to_string() const;
  // The integer value in hex digits, for integers that are not negative.
  [[nodiscard]] std::string to_hex(bool upper) const;
  // This divided by n (n > 0), rounded half away from zero to `scale`
  // digits after the point.
  [[nodiscard]] exact_decimal divided(std::uint64_t n, std::uint32_t scale) const;
  [[nodiscard]] std::uint32_t scale() const { return scale_; }
  [[nodiscard]] bool is_zero() const { return limbs_.empty(); }

 private:
  void rescale(std::uint32_t scale);
  // Drops the last `digits` digits of the magnitude (divides by a power of
  // ten, truncating).
  void drop_digits(std::uint32_t digits);
  void multiply_small(std::uint32_t factor);
  std::uint64_t divide_small(std::uint64_t divisor);
  void trim();
  [[nodiscard]] int compare_magnitude(const exact_decimal& other) const;

  bool negative_ = false;
  std::vector<std::uint32_t> limbs_;  // least significant first; none for 0
  std::uint32_t scale_ = 0;
};

// A sum of magnitudes whose limbs (base 10^9) are aligned on the decimal
// point: adding a number touches only the limbs its digits fall in, and those
// a carry reaches, however many digits the sum already has on either side of
// the point. (A carry runs only through limbs of 999999999, which it clears,
// so carries cost no more than the digits added.)
class aligned_sum {
 public:
  // Adds the digits of `head` followed by those of `tail`, the last of them
  // standing `scale` places after the point.
  void add(std::string_view head, std::string_view tail, std::uint64_t scale);
  // The sum with `scale` digits after the point (none of its digits may
  // stand further right).
  [[nodiscard]] exact_decimal value(bool negative, std::uint32_t scale) const;

 private:
  std::uint32_t& limb(std::int64_t q);

  std::vector<std::uint32_t> whole_;     // limb q >= 0: 10^(9q), least significant first
  std::vector<std::uint32_t> fraction_;  // limb q < 0 at [-q - 1]: from the point on
};

// A running exact sum that adds numbers of up to 18 digits in a 64-bit
// integer, and the others (or when that would overflow) into exact sums of
// the positive and of the negative values, subtracted once at the end.
// Each number costs time in proportion to its own digits.
class exact_sum {
 public:
  void add(bool negative, std::uint64_t magnitude, std::uint32_t scale);
  // Adds the text of a decimal number; false when it is not one.
  bool add(std::string_view text);
  [[nodiscard]] exact_decimal total() const;

 private:
  void flush();
  void add_slow(bool negative, std::uint64_t magnitude, std::uint32_t scale);
  // Adds the digits of a number too long for the fast path, if they are one.
  bool add_long(bool negative, std::string_view digits);

  std::int64_t fast_ = 0;
  std::uint32_t fast_scale_ = 0;
  std::uint32_t scale_ = 0;  // the most digits after the point of any value
  aligned_sum positive_;
  aligned_sum negative_;
};

}  // namespace tabulix::cli

#endif
