// SPDX-License-Identifier: MIT
#include "infer.hpp"

#include <algorithm>
#include <charconv>
#include <limits>

namespace tabulix::cli {

namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }

bool all_digits(std::string_view text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), is_digit);
}

bool is_hex_digit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// Digits of an unsigned decimal in the form the reader accepts, or an empty
// view when the text is not one.
std::string_view unsigned_digits(std::string_view text, bool lenient) {
  if (lenient && !text.empty() && text.front() == '+') text.remove_prefix(1);
  if (!all_digits(text)) return {};
  if (!lenient && text.size() > 1 && text.front() == '0') return {};
  return text;
}

template <typename T>
std::optional<T> to_number(std::string_view digits, int base) {
  T value{};
  const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value, base);
  if (ec != std::errc{} || end != digits.data() + digits.size()) return std::nullopt;
  return value;
}

}  // namespace

std::string_view type_name(value_type t) {
  switch (t) {
    case value_type::string:
      return "string";
    case value_type::int64:
      return "int";
    case value_type::uint64:
      return "uint";
    case value_type::hex:
      return "hex";
  }
  return "string";
}

std::optional<value_type> parse_type_name(std::string_view name) {
  for (const auto t :
       {value_type::string, value_type::int64, value_type::uint64, value_type::hex}) {
    if (name == type_name(t)) return t;
  }
  return std::nullopt;
}

std::optional<std::int64_t> parse_int(std::string_view text, bool lenient) {
  const bool negative = !text.empty() && text.front() == '-';
  if (negative) {
    text.remove_prefix(1);
    if (!text.empty() && text.front() == '+') return std::nullopt;
  }
  const std::string_view digits = unsigned_digits(text, lenient);
  if (digits.empty()) return std::nullopt;
  const auto magnitude = to_number<std::uint64_t>(digits, 10);
  if (!magnitude) return std::nullopt;
  constexpr auto max = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
  if (!negative) {
    if (*magnitude > max) return std::nullopt;
    return static_cast<std::int64_t>(*magnitude);
  }
  // "-0" would print back as "0".
  if (*magnitude == 0 && !lenient) return std::nullopt;
  if (*magnitude > max + 1) return std::nullopt;
  return static_cast<std::int64_t>(0 - *magnitude);
}

std::optional<std::uint64_t> parse_uint(std::string_view text, bool lenient) {
  const std::string_view digits = unsigned_digits(text, lenient);
  if (digits.empty()) return std::nullopt;
  return to_number<std::uint64_t>(digits, 10);
}

std::optional<std::uint64_t> parse_hex(std::string_view text, bool lenient) {
  if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || (lenient && text[1] == 'X'))) {
    text.remove_prefix(2);
  } else if (!lenient) {
    return std::nullopt;
  }
  if (text.empty()) return std::nullopt;
  for (const char c : text) {
    if (!is_hex_digit(c)) return std::nullopt;
  }
  return to_number<std::uint64_t>(text, 16);
}

bool is_decimal(std::string_view text) {
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) text.remove_prefix(1);
  const auto point = text.find('.');
  const std::string_view whole = text.substr(0, point);
  if (point == std::string_view::npos) return all_digits(whole);
  const std::string_view fraction = text.substr(point + 1);
  if (whole.empty() && fraction.empty()) return false;
  return (whole.empty() || all_digits(whole)) && (fraction.empty() || all_digits(fraction));
}

namespace {

// A decimal number taken apart: its sign, and its digits without the zeros
// that do not change the value.
struct decimal_parts {
  bool negative = false;
  std::string_view whole;     // no leading zeros
  std::string_view fraction;  // no trailing zeros
};

decimal_parts split_decimal(std::string_view text) {
  decimal_parts d;
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
    d.negative = text.front() == '-';
    text.remove_prefix(1);
  }
  const auto point = text.find('.');
  d.whole = text.substr(0, point);
  if (point != std::string_view::npos) d.fraction = text.substr(point + 1);
  while (!d.whole.empty() && d.whole.front() == '0') d.whole.remove_prefix(1);
  while (!d.fraction.empty() && d.fraction.back() == '0') d.fraction.remove_suffix(1);
  if (d.whole.empty() && d.fraction.empty()) d.negative = false;  // -0 is 0
  return d;
}

int sign_of(int n) { return (n > 0) - (n < 0); }

}  // namespace

int compare_decimal(std::string_view a, std::string_view b) {
  const decimal_parts x = split_decimal(a);
  const decimal_parts y = split_decimal(b);
  if (x.negative != y.negative) return x.negative ? -1 : 1;
  int magnitude = 0;
  if (x.whole.size() != y.whole.size()) {
    magnitude = x.whole.size() < y.whole.size() ? -1 : 1;
  } else {
    magnitude = sign_of(x.whole.compare(y.whole));
    if (magnitude == 0) magnitude = sign_of(x.fraction.compare(y.fraction));
  }
  return x.negative ? -magnitude : magnitude;
}

void type_guess::add(std::string_view value) {
  any_ = true;
  add_number(value);
  if (all_hex_) add_hex(value);
  if (all_decimal_ && !is_decimal(value)) all_decimal_ = false;
  if (value.find('.') != std::string_view::npos) point_ = true;
}

// A signed value settles both number tests with one reading.
void type_guess::add_number(std::string_view value) {
  const auto i = all_int_ ? parse_int(value) : std::nullopt;
  if (i) {
    if (*i < 0) all_uint_ = false;
    return;
  }
  all_int_ = false;
  if (!all_uint_) return;
  const auto u = parse_uint(value);
  if (!u) {
    all_uint_ = false;
  } else if (*u > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
    needs_uint_ = true;
  }
}

void type_guess::add_hex(std::string_view value) {
  if (!parse_hex(value)) {
    all_hex_ = false;
    return;
  }
  const std::string_view digits = value.substr(2);
  if (digits.size() > 1 && digits.front() == '0') zero_filled_ = true;
  hex_width_ = std::max(hex_width_, value.size());
  for (const char c : digits) {
    if (c >= 'a' && c <= 'f') lower_ = true;
    if (c >= 'A' && c <= 'F') upper_ = true;
  }
}

value_type type_guess::type() const {
  if (!any_) return value_type::string;
  if (all_int_) return value_type::int64;
  if (all_uint_ && needs_uint_) return value_type::uint64;
  if (all_hex_) return value_type::hex;
  return value_type::string;
}

}  // namespace tabulix::cli
