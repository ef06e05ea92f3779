// SPDX-License-Identifier: MIT
#include "infer.hpp"

#include <algorithm>
#include <array>
#include <charconv>
#include <limits>

namespace tabulix::cli {

namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }

bool all_digits(std::string_view text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), is_digit);
}

// The value of each byte as a hex digit, or -1: one load for every digit of
// the hex values the loader reads.
constexpr std::array<std::int8_t, 256> hex_digits = [] {
  std::array<std::int8_t, 256> v{};
  for (std::size_t c = 0; c < v.size(); ++c) {
    if (c >= '0' && c <= '9') {
      v[c] = static_cast<std::int8_t>(c - '0');
    } else if (c >= 'a' && c <= 'f') {
      v[c] = static_cast<std::int8_t>(c - 'a' + 10);
    } else if (c >= 'A' && c <= 'F') {
      v[c] = static_cast<std::int8_t>(c - 'A' + 10);
    } else {
      v[c] = -1;
    }
  }
  return v;
}();

int hex_digit(char c) { return hex_digits[static_cast<unsigned char>(c)]; }

template <typename T>
std::optional<T> to_number(std::string_view digits, int base) {
  T value{};
  const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value, base);
  if (ec != std::errc{} || end != digits.data() + digits.size()) return std::nullopt;
  return value;
}

constexpr auto int64_max = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());

// "0x" and hex digits that fit 64 bits.
void scan_hex(std::string_view digits, field_scan& s) {
  std::uint64_t value = 0;
  bool lower = false;
  bool upper = false;
  for (const char c : digits) {
    const int d = hex_digit(c);
    if (d < 0 || (value >> 60) != 0) return;  // not hex, or past 64 bits
    value = value << 4 | static_cast<unsigned>(d);
    lower = lower || c >= 'a';
    upper = upper || (c >= 'A' && c <= 'F');
  }
  s.kind = field_scan::form::hex;
  s.lower = lower;
  s.upper = upper;
  s.u = value;
  s.whole = static_cast<std::uint32_t>(std::min<std::size_t>(digits.size() + 2, UINT32_MAX));
  s.zero_led = digits.size() > 1 && digits.front() == '0';
  // "0x" and lower-case digits without a leading zero: as the value prints.
  s.as_written = !upper && !s.zero_led;
}

// The integer form: the magnitude of a strict decimal integer settles its
// type.
void settle_integer(field_scan& s, bool negative, std::uint64_t magnitude) {
  if (negative) {
    if (magnitude > int64_max + 1) return;  // stays a decimal
    s.i = static_cast<std::int64_t>(0 - magnitude);
    s.int64 = true;
    if (magnitude == 0) s.as_written = false;  // "-0"
  } else if (magnitude <= int64_max) {
    s.i = static_cast<std::int64_t>(magnitude);
    s.int64 = true;
  } else {
    s.u = magnitude;
    s.uint64 = true;
  }
  s.kind = field_scan::form::integer;
}

// Digits from `p`; gives their count and accumulates their value while it
// fits 64 bits.
[[gnu::always_inline]] inline std::size_t take_digits(std::string_view t, std::size_t& p,
                                                      std::uint64_t& value, bool& overflow) {
  // Locals, not the references, in the loops: `value` and `p` have the same
  // type, so the compiler would store and reload both at every digit.
  const std::size_t from = p;
  std::size_t i = p;
  std::uint64_t v = value;
  // Below 10^19 nothing overflows: only the digits after the 19th need the
  // check (`value` is 0 at the start of every number).
  constexpr std::size_t safe_digits = 19;
  const std::size_t safe_end = std::min(t.size(), from + safe_digits);
  for (; i < safe_end && is_digit(t[i]); ++i) v = v * 10 + static_cast<unsigned>(t[i] - '0');
  for (; i < t.size() && is_digit(t[i]); ++i) {
    const auto d = static_cast<std::uint64_t>(t[i] - '0');
    if (__builtin_mul_overflow(v, 10U, &v) || __builtin_add_overflow(v, d, &v)) overflow = true;
  }
  p = i;
  value = v;
  return i - from;
}

// Whether an exponent follows at p ("e", a sign, digits), which it skips.
bool take_exponent(std::string_view t, std::size_t& p) {
  if (p == t.size() || (t[p] != 'e' && t[p] != 'E')) return false;
  std::size_t q = p + 1;
  if (q < t.size() && (t[q] == '+' || t[q] == '-')) ++q;
  const std::size_t digits = q;
  while (q < t.size() && is_digit(t[q])) ++q;
  if (q == digits) return false;
  p = q;
  return true;
}

void scan_decimal(std::string_view t, field_scan& s) {
  std::size_t p = 0;
  const bool negative = t[0] == '-';
  const bool plus = t[0] == '+';
  if (negative || plus) ++p;
  std::uint64_t value = 0;
  bool overflow = false;
  const std::size_t whole_digits = take_digits(t, p, value, overflow);
  s.whole = static_cast<std::uint32_t>(p);
  std::size_t fraction_digits = 0;
  if (p < t.size() && t[p] == '.') {
    ++p;
    s.point = true;
    std::uint64_t ignored = 0;
    bool ignored_overflow = false;
    fraction_digits = take_digits(t, p, ignored, ignored_overflow);
  }
  if (whole_digits + fraction_digits == 0) return;
  s.exponent = take_exponent(t, p);
  if (p != t.size()) return;
  s.fraction = static_cast<std::uint32_t>(fraction_digits);
  s.kind = field_scan::form::decimal;
  s.as_written = !plus;
  const bool zero_led = whole_digits > 1 && t[negative || plus ? 1 : 0] == '0';
  if (!s.point && !s.exponent && !zero_led && !overflow) settle_integer(s, negative, value);
}

// Kept out of scan_field, whose numbers and most texts never get here.
[[gnu::noinline]] void scan_decorated(std::string_view text, field_scan& s) {
  decorated_number d;
  if (!read_decorated(text, d)) return;
  s.kind = field_scan::form::decorated;
  s.deco = d.what;
  s.group = d.group;
  s.currency = d.currency;
  s.fraction = d.fraction;
}

std::string_view strip_leading_zeros(std::string_view s) {
  while (!s.empty() && s.front() == '0') s.remove_prefix(1);
  return s;
}

std::string_view strip_trailing_zeros(std::string_view s) {
  while (!s.empty() && s.back() == '0') s.remove_suffix(1);
  return s;
}

// Sets the exponent of the first significant digit: the written exponent
// (its text after the 'e', if any) plus `offset`.
void set_exponent(decimal_key& d, std::string_view written, std::int64_t offset) {
  const bool negative = !written.empty() && written.front() == '-';
  if (!written.empty() && (written.front() == '-' || written.front() == '+')) {
    written.remove_prefix(1);
  }
  written = strip_leading_zeros(written);
  constexpr std::size_t exact_digits = 18;  // below 10^18: no 64-bit overflow
  if (written.size() <= exact_digits) {
    std::int64_t value = 0;
    for (const char c : written) value = value * 10 + (c - '0');
    if (!__builtin_add_overflow(negative ? -value : value, offset, &d.exponent)) return;
  }
  d.exponent_negative = negative;
  d.exponent_digits = written;
  d.exponent = offset;
}

decimal_key split_decimal(std::string_view text) {
  decimal_key d;
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
    d.negative = text.front() == '-';
    text.remove_prefix(1);
  }
  const auto e = text.find_first_of("eE");
  const std::string_view written =
      e == std::string_view::npos ? std::string_view{} : text.substr(e + 1);
  text = text.substr(0, e);
  const auto point = text.find('.');
  std::string_view whole = strip_leading_zeros(text.substr(0, point));
  std::string_view fraction =
      point == std::string_view::npos ? std::string_view{} : text.substr(point + 1);
  if (!whole.empty()) {
    set_exponent(d, written, static_cast<std::int64_t>(whole.size()));
    fraction = strip_trailing_zeros(fraction);
    if (fraction.empty()) whole = strip_trailing_zeros(whole);
    d.head = whole;
    d.tail = fraction;
  } else {
    const std::string_view digits = strip_leading_zeros(fraction);
    set_exponent(d, written, -static_cast<std::int64_t>(fraction.size() - digits.size()));
    d.head = strip_trailing_zeros(digits);
  }
  d.zero = d.head.empty();
  if (d.zero) d.negative = false;  // -0 is 0
  return d;
}

// A signed number known exactly below 2^64, and otherwise only as "at least
// 2^64" in magnitude.
struct wide_number {
  bool negative = false;
  bool big = false;
  std::uint64_t low = 0;

  // Adds digit * 10^k to the magnitude.
  void add_digit(unsigned digit, std::size_t k) {
    if (digit == 0 || big) return;
    std::uint64_t term = digit;
    for (std::size_t i = 0; i < k && !big; ++i) big = __builtin_mul_overflow(term, 10U, &term);
    if (!big) big = __builtin_add_overflow(low, term, &low);
  }
};

// The digit k places from the right of a string of digits, or 0 past it.
unsigned digit_at(std::string_view digits, std::size_t k) {
  return k < digits.size() ? static_cast<unsigned>(digits[digits.size() - 1 - k] - '0') : 0;
}

// Compares two strings of digits without leading zeros by value.
int compare_digits(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
  const int order = a.compare(b);
  return (order > 0) - (order < 0);
}

// a - b for strings of digits (without leading zeros) with signs.
wide_number subtract(bool a_negative, std::string_view a, bool b_negative, std::string_view b) {
  wide_number r;
  const std::size_t n = std::max(a.size(), b.size());
  // Past 2^64 without a look at the digits, so that a long number against a
  // short one costs no more than the short one: magnitudes that add with 21
  // digits or more, or subtract with two digits more in one (at least
  // 10^20 - 10^19).
  constexpr std::size_t past_64_bits = 21;
  const std::size_t shorter = std::min(a.size(), b.size());
  if (n >= past_64_bits && (a_negative != b_negative || n - shorter >= 2)) {
    r.big = true;
    r.negative = a_negative != b_negative ? a_negative : (a.size() > b.size()) == b_negative;
    return r;
  }
  if (a_negative != b_negative) {  // the magnitudes add, with a's sign
    r.negative = a_negative;
    unsigned carry = 0;
    for (std::size_t k = 0; k < n || carry != 0; ++k) {
      const unsigned v = digit_at(a, k) + digit_at(b, k) + carry;
      carry = v / 10;
      r.add_digit(v % 10, k);
    }
  } else {  // the smaller magnitude from the larger
    const bool swap = compare_digits(a, b) < 0;
    if (swap) std::swap(a, b);
    r.negative = a_negative != swap;
    unsigned borrow = 0;
    for (std::size_t k = 0; k < n; ++k) {
      const unsigned take = digit_at(b, k) + borrow;
      const unsigned have = digit_at(a, k);
      borrow = have < take ? 1 : 0;
      r.add_digit(have + borrow * 10 - take, k);
    }
  }
  if (!r.big && r.low == 0) r.negative = false;
  return r;
}

int compare_wide(const wide_number& a, const wide_number& b) {
  if (a.negative != b.negative) return a.negative ? -1 : 1;
  int order = 0;
  if (a.big != b.big) {
    order = a.big ? 1 : -1;
  } else if (!a.big) {
    order = (a.low > b.low) - (a.low < b.low);
  }
  return a.negative ? -order : order;
}

// Orders the exponents of two keys, exactly, whatever their size.
int compare_exponents(const decimal_key& x, const decimal_key& y) {
  if (x.exponent_digits.empty() && y.exponent_digits.empty()) {
    return (x.exponent > y.exponent) - (x.exponent < y.exponent);
  }
  // Each is written + offset; an exponent of 64 bits is its own written
  // part, with no offset. x > y when written_x - written_y > offset_y - offset_x.
  char x_digits[24];
  char y_digits[24];
  const auto parts = [](const decimal_key& k, char(&buffer)[24], bool& negative,
                        std::string_view& written, std::int64_t& offset) {
    if (!k.exponent_digits.empty()) {
      negative = k.exponent_negative;
      written = k.exponent_digits;
      offset = k.exponent;
      return;
    }
    negative = k.exponent < 0;
    const std::uint64_t magnitude = negative ? 0 - static_cast<std::uint64_t>(k.exponent)
                                             : static_cast<std::uint64_t>(k.exponent);
    const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, magnitude);
    static_cast<void>(ec);  // 24 bytes hold any 64-bit number
    written = strip_leading_zeros(std::string_view(buffer, static_cast<std::size_t>(end - buffer)));
    offset = 0;
  };
  bool x_negative = false;
  bool y_negative = false;
  std::string_view x_written;
  std::string_view y_written;
  std::int64_t x_offset = 0;
  std::int64_t y_offset = 0;
  parts(x, x_digits, x_negative, x_written, x_offset);
  parts(y, y_digits, y_negative, y_written, y_offset);
  const wide_number written = subtract(x_negative, x_written, y_negative, y_written);
  wide_number offsets;  // y_offset - x_offset, which 64 bits hold in magnitude
  offsets.negative = y_offset < x_offset;
  offsets.low = offsets.negative
                    ? static_cast<std::uint64_t>(x_offset) - static_cast<std::uint64_t>(y_offset)
                    : static_cast<std::uint64_t>(y_offset) - static_cast<std::uint64_t>(x_offset);
  return compare_wide(written, offsets);
}

int compare_magnitude(const decimal_key& x, const decimal_key& y) {
  if (x.zero || y.zero) return static_cast<int>(y.zero) - static_cast<int>(x.zero);
  if (const int e = compare_exponents(x, y); e != 0) return e;
  const std::size_t n = std::min(x.size(), y.size());
  for (std::size_t i = 0; i < n; ++i) {
    if (x[i] != y[i]) return x[i] < y[i] ? -1 : 1;
  }
  return (x.size() > n) - (y.size() > n);
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

field_scan scan_field(std::string_view text) {
  field_scan s;
  if (text.empty()) return s;
  if (text.size() > 2 && text[0] == '0' && text[1] == 'x') {
    scan_hex(text.substr(2), s);
  } else {
    scan_decimal(text, s);
    if (s.kind == field_scan::form::text && may_be_decorated(text)) scan_decorated(text, s);
  }
  return s;
}

std::optional<std::int64_t> parse_int(std::string_view text, bool lenient) {
  if (!lenient) {
    const field_scan s = scan_field(text);
    if (s.kind == field_scan::form::integer && s.int64) return s.i;
    return std::nullopt;
  }
  const bool negative = !text.empty() && text.front() == '-';
  if (negative || (!text.empty() && text.front() == '+')) text.remove_prefix(1);
  if (!all_digits(text)) return std::nullopt;
  const auto magnitude = to_number<std::uint64_t>(text, 10);
  if (!magnitude) return std::nullopt;
  if (!negative) {
    if (*magnitude > int64_max) return std::nullopt;
    return static_cast<std::int64_t>(*magnitude);
  }
  if (*magnitude > int64_max + 1) return std::nullopt;
  return static_cast<std::int64_t>(0 - *magnitude);
}

std::optional<std::uint64_t> parse_uint(std::string_view text, bool lenient) {
  if (!lenient) {
    const field_scan s = scan_field(text);
    if (s.kind != field_scan::form::integer || (s.int64 && s.i < 0)) return std::nullopt;
    return s.int64 ? static_cast<std::uint64_t>(s.i) : s.u;
  }
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  if (!all_digits(text)) return std::nullopt;
  return to_number<std::uint64_t>(text, 10);
}

std::optional<std::uint64_t> parse_hex(std::string_view text, bool lenient) {
  if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || (lenient && text[1] == 'X'))) {
    text.remove_prefix(2);
  } else if (!lenient) {
    return std::nullopt;
  }
  if (text.empty()) return std::nullopt;
  for (const char c : text) {
    if (hex_digit(c) < 0) return std::nullopt;
  }
  return to_number<std::uint64_t>(text, 16);
}

bool is_decimal(std::string_view text) {
  if (text.empty()) return false;
  field_scan s;
  scan_decimal(text, s);
  return s.kind != field_scan::form::text;
}

decimal_key make_decimal_key(std::string_view text) { return split_decimal(text); }

int compare_decimal(std::string_view a, std::string_view b) {
  return compare_decimal_keys(split_decimal(a), split_decimal(b));
}

int compare_decimal_keys(const decimal_key& x, const decimal_key& y) {
  if (x.negative != y.negative) return x.negative ? -1 : 1;
  const int magnitude = compare_magnitude(x, y);
  return x.negative ? -magnitude : magnitude;
}

void type_guess::add(const field_scan& s) {
  any_ = true;
  switch (s.kind) {
    case field_scan::form::text:
      all_int_ = all_uint_ = all_hex_ = all_decimal_ = all_numbers_ = false;
      return;
    case field_scan::form::decorated:
      all_int_ = all_uint_ = all_hex_ = all_decimal_ = false;
      add_decoration(s);
      fraction_ = std::max(fraction_, s.fraction);
      return;
    case field_scan::form::integer:
      all_hex_ = false;
      if (s.uint64) {
        all_int_ = false;
        needs_uint_ = true;
      } else if (s.i < 0) {
        all_uint_ = false;
      }
      whole_ = std::max(whole_, s.whole);
      return;
    case field_scan::form::decimal:
      all_int_ = all_uint_ = all_hex_ = false;
      point_ = point_ || s.point;
      exponent_ = exponent_ || s.exponent;
      whole_ = std::max(whole_, s.whole);
      fraction_ = std::max(fraction_, s.fraction);
      return;
    case field_scan::form::hex:
      all_int_ = all_uint_ = all_decimal_ = all_numbers_ = false;
      lower_ = lower_ || s.lower;
      upper_ = upper_ || s.upper;
      zero_led_ = zero_led_ || s.zero_led;
      hex_width_ = std::max(hex_width_, s.whole);
      return;
  }
}

// Values with thousands separators mix with any one other decoration and
// with plain numbers; one separator, one kind of decoration, one currency.
void type_guess::add_decoration(const field_scan& s) {
  if (s.group != 0) {
    if (group_ != 0 && group_ != s.group) mixed_ = true;
    group_ = s.group;
  }
  if (s.deco != decoration::group) {
    if (deco_ != decoration::group && (deco_ != s.deco || currency_ != s.currency)) mixed_ = true;
    deco_ = s.deco;
    currency_ = s.currency;
  }
  decorated_ = true;
}

// Decorations mix when the last of these and the first of `later` do not:
// unless `later` mixes them itself, its first decorations are its last.
void type_guess::merge(const type_guess& later) {
  if (!later.any_) return;
  any_ = true;
  all_int_ = all_int_ && later.all_int_;
  all_uint_ = all_uint_ && later.all_uint_;
  needs_uint_ = needs_uint_ || later.needs_uint_;
  all_hex_ = all_hex_ && later.all_hex_;
  all_decimal_ = all_decimal_ && later.all_decimal_;
  all_numbers_ = all_numbers_ && later.all_numbers_;
  if (later.group_ != 0) {
    if (group_ != 0 && group_ != later.group_) mixed_ = true;
    group_ = later.group_;
  }
  if (later.deco_ != decoration::group) {
    if (deco_ != decoration::group && (deco_ != later.deco_ || currency_ != later.currency_)) {
      mixed_ = true;
    }
    deco_ = later.deco_;
    currency_ = later.currency_;
  }
  mixed_ = mixed_ || later.mixed_;
  decorated_ = decorated_ || later.decorated_;
  point_ = point_ || later.point_;
  exponent_ = exponent_ || later.exponent_;
  upper_ = upper_ || later.upper_;
  lower_ = lower_ || later.lower_;
  zero_led_ = zero_led_ || later.zero_led_;
  whole_ = std::max(whole_, later.whole_);
  fraction_ = std::max(fraction_, later.fraction_);
  hex_width_ = std::max(hex_width_, later.hex_width_);
}

value_type type_guess::type() const {
  if (!any_) return value_type::string;
  if (all_int_) return value_type::int64;
  if (all_uint_ && needs_uint_) return value_type::uint64;
  if (all_hex_) return value_type::hex;
  return value_type::string;
}

column_kind type_guess::kind() const {
  if (!any_) return column_kind::text;
  if (all_int_) return column_kind::int64;
  if (all_uint_ && needs_uint_) return column_kind::uint64;
  if (all_hex_) return hex_as_written() ? column_kind::hex_text : column_kind::hex;
  if (all_decimal_) return column_kind::decimal_text;
  if (decorated_ && all_numbers_ && !mixed_) return column_kind::decorated_text;
  return column_kind::text;
}

}  // namespace tabulix::cli
