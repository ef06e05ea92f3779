// SPDX-License-Identifier: MIT
// The text of a double: shortest round-trip or fixed decimals, and digit
// grouping. Made with exact integer arithmetic of the library's own, so that
// the text depends on no locale and the library on no run-time library but
// the C one.
#include "double_text.h"

#include <algorithm>
#include <bit>
#include <cfloat>
#include <cstring>
#include <iterator>

#include "digits.h"

namespace {

constexpr uint64_t sign_bit = uint64_t{1} << 63;
constexpr uint64_t fraction_mask = (uint64_t{1} << 52) - 1;
constexpr uint64_t hidden_bit = uint64_t{1} << 52;

// A finite double's magnitude: significand * 2^exponent.
struct binary {
  uint64_t significand;
  int exponent;
};

binary decompose(uint64_t bits) noexcept {
  const auto biased = static_cast<int>((bits >> 52) & 0x7ff);
  const uint64_t fraction = bits & fraction_mask;
  if (biased == 0) return {fraction, -1074};
  return {fraction | hidden_bit, biased - 1075};
}

uint32_t write_literal(char* out, const char* text) noexcept {
  const size_t len = std::strlen(text);
  std::copy_n(text, len, out);  // no NUL: the caller knows the length
  return static_cast<uint32_t>(len);
}

// nan, inf, -inf: the same in every precision; NaN without the sign that
// printf would show for a negative one.
uint32_t write_special(char* out, uint64_t bits) noexcept {
  if ((bits & fraction_mask) != 0) return write_literal(out, "nan");
  return write_literal(out, (bits & sign_bit) != 0 ? "-inf" : "inf");
}

// ---- a big unsigned integer of fixed size ---------------------------------------

// Room for every number the conversions make: the largest is the shortest
// conversion's remainder for the smallest subnormal, 2^-1074 scaled by
// 10^324 and 2^2 (under 1140 bits), times ten.
class big {
 public:
  static constexpr int capacity = 40;  // 32-bit limbs: 1280 bits

  explicit big(uint64_t value = 0) noexcept : size_(value >> 32 != 0 ? 2 : value != 0 ? 1 : 0) {
    limbs_[0] = static_cast<uint32_t>(value);
    limbs_[1] = static_cast<uint32_t>(value >> 32);
  }

  void shift_left(int bits) noexcept {
    if (size_ == 0 || bits == 0) return;
    const int whole = bits / 32;
    const int part = bits % 32;
    if (part != 0) {
      uint32_t carry = 0;
      for (int i = 0; i < size_; ++i) {
        const uint32_t limb = limbs_[i];
        limbs_[i] = (limb << part) | carry;
        carry = limb >> (32 - part);
      }
      if (carry != 0) limbs_[size_++] = carry;
    }
    if (whole != 0) {
      for (int i = size_ - 1; i >= 0; --i) limbs_[i + whole] = limbs_[i];
      for (int i = 0; i < whole; ++i) limbs_[i] = 0;
      size_ += whole;
    }
  }

  void multiply(uint32_t factor) noexcept {
    uint64_t carry = 0;
    for (int i = 0; i < size_; ++i) {
      const uint64_t product = uint64_t{limbs_[i]} * factor + carry;
      limbs_[i] = static_cast<uint32_t>(product);
      carry = product >> 32;
    }
    if (carry != 0) limbs_[size_++] = static_cast<uint32_t>(carry);
  }

  void multiply_by_power_of_10(int n) noexcept {
    for (; n >= 9; n -= 9) multiply(1000000000u);
    if (n > 0) multiply(static_cast<uint32_t>(powers_of_10[n]));
  }

  // Divides by a divisor below 2^32 and gives the remainder.
  uint32_t divide(uint32_t divisor) noexcept {
    uint64_t rest = 0;
    for (int i = size_ - 1; i >= 0; --i) {
      const uint64_t part = (rest << 32) | limbs_[i];
      limbs_[i] = static_cast<uint32_t>(part / divisor);
      rest = part % divisor;
    }
    while (size_ > 0 && limbs_[size_ - 1] == 0) --size_;
    return static_cast<uint32_t>(rest);
  }

  // this -= other; other is not larger.
  void subtract(const big& other) noexcept {
    int64_t borrow = 0;
    for (int i = 0; i < size_; ++i) {
      const int64_t d = int64_t{limbs_[i]} - (i < other.size_ ? other.limbs_[i] : 0) - borrow;
      limbs_[i] = static_cast<uint32_t>(d);
      borrow = d < 0 ? 1 : 0;
    }
    while (size_ > 0 && limbs_[size_ - 1] == 0) --size_;
  }

  [[nodiscard]] bool is_zero() const noexcept { return size_ == 0; }

  // -1, 0 or 1 as a + b is below, equal to or above c.
  friend int compare_sum(const big& a, const big& b, const big& c) noexcept {
    big sum = a;
    sum.add(b);
    return compare(sum, c);
  }

  friend int compare(const big& a, const big& b) noexcept {
    if (a.size_ != b.size_) return a.size_ < b.size_ ? -1 : 1;
    for (int i = a.size_ - 1; i >= 0; --i) {
      if (a.limbs_[i] != b.limbs_[i]) return a.limbs_[i] < b.limbs_[i] ? -1 : 1;
    }
    return 0;
  }

 private:
  void add(const big& other) noexcept {
    const int n = std::max(size_, other.size_);
    uint64_t carry = 0;
    for (int i = 0; i < n; ++i) {
      const uint64_t sum =
          uint64_t{i < size_ ? limbs_[i] : 0u} + (i < other.size_ ? other.limbs_[i] : 0u) + carry;
      limbs_[i] = static_cast<uint32_t>(sum);
      carry = sum >> 32;
    }
    size_ = n;
    if (carry != 0) limbs_[size_++] = static_cast<uint32_t>(carry);
  }

  uint32_t limbs_[capacity] = {};
  int size_;
};

// The decimal digits of a big integer, most significant first; gives their
// count. May write junk into the 8 bytes after them, as the digit writers do.
uint32_t big_digits(big value, char* out) noexcept {
  uint32_t pieces[big::capacity];  // nine digits each, the last first; 10^9 > 2^29
  int count = 0;
  do {
    pieces[count++] = value.divide(1000000000u);
  } while (!value.is_zero());
  const uint32_t first = decimal_digits(pieces[count - 1]);
  write_decimal_digits(out, pieces[count - 1], first);
  char* at = out + first;
  for (int i = count - 2; i >= 0; --i, at += 9) write_decimal_digits(at, pieces[i], 9);
  return static_cast<uint32_t>(at - out);
}

// ---- fixed decimals ---------------------------------------------------------------

// A 128-bit number as two words, made without a 128-bit type (32-bit ABIs
// have none).
struct wide {
  uint64_t high;
  uint64_t low;
};

wide multiply_wide(uint64_t a, uint64_t b) noexcept {
  const uint64_t a_low = a & 0xffffffffu;
  const uint64_t a_high = a >> 32;
  const uint64_t b_low = b & 0xffffffffu;
  const uint64_t b_high = b >> 32;
  const uint64_t low_low = a_low * b_low;
  const uint64_t high_low = a_high * b_low;
  const uint64_t low_high = a_low * b_high;
  const uint64_t middle = (low_low >> 32) + (high_low & 0xffffffffu) + (low_high & 0xffffffffu);
  return {a_high * b_high + (high_low >> 32) + (low_high >> 32) + (middle >> 32),
          (middle << 32) | (low_low & 0xffffffffu)};
}

bool bit_of(const wide& w, int bit) noexcept {
  return ((bit < 64 ? w.low >> bit : w.high >> (bit - 64)) & 1u) != 0;
}

// Whether any bit below `bit` (0 to 127) is set.
bool any_below(const wide& w, int bit) noexcept {
  if (bit <= 0) return false;
  if (bit <= 64) return (w.low & (bit == 64 ? ~uint64_t{0} : (uint64_t{1} << bit) - 1)) != 0;
  return w.low != 0 || (w.high & ((uint64_t{1} << (bit - 64)) - 1)) != 0;
}

wide shift_right(const wide& w, int bits) noexcept {
  if (bits >= 64) return {0, w.high >> (bits - 64)};
  return {w.high >> bits, (w.low >> bits) | (w.high << (64 - bits))};
}

// The digits of |value| * 10^precision rounded to an integer, ties to
// even, for a value below 2^53 (0 < shift): exact in 128 bits, as the
// product of a 53-bit significand and 10^17 < 2^57 is.
uint32_t scaled_digits_wide(binary b, int precision, char* out) noexcept {
  const int shift = -b.exponent;     // at least 1: the value is below 2^53
  if (shift <= 0 || shift >= 128) {  // below 2^-75 * 2^57: rounds to 0
    out[0] = '0';
    return 1;
  }
  const wide product = multiply_wide(b.significand, powers_of_10[precision]);
  wide whole = shift_right(product, shift);
  const bool half = bit_of(product, shift - 1);
  if (half && (any_below(product, shift - 1) || (whole.low & 1u) != 0)) {
    whole.low += 1;
    if (whole.low == 0) whole.high += 1;
  }
  return write_wide_decimal_digits(out, whole.high, whole.low);
}

uint32_t write_fixed(char* out, uint64_t bits, int precision) noexcept {
  if (uint32_t len = 0; write_fixed_quickly(out, bits, precision, len)) return len;
  char* at = out;
  if ((bits & sign_bit) != 0) *at++ = '-';
  const binary b = decompose(bits & ~sign_bit);
  const auto decimals = static_cast<uint32_t>(precision);
  // The digits of the scaled value, then its decimals counted off the end.
  char digits[double_text_room];
  uint32_t count = 0;
  if (b.exponent >= 0) {  // an integer: its digits, and zeros for decimals
    big value(b.significand);
    value.shift_left(b.exponent);
    count = big_digits(value, digits);
    std::memset(digits + count, '0', decimals);
    count += decimals;
  } else {
    count = scaled_digits_wide(b, precision, digits);
  }
  // At least one digit before the point: zeros in front of a short number.
  if (count < decimals + 1) {
    const uint32_t zeros = decimals + 1 - count;
    std::memmove(digits + zeros, digits, count);
    std::memset(digits, '0', zeros);
    count = decimals + 1;
  }
  const uint32_t whole = count - decimals;
  std::memcpy(at, digits, whole);
  at += whole;
  if (decimals != 0) {
    *at++ = '.';
    std::memcpy(at, digits + whole, decimals);
    at += decimals;
  }
  return static_cast<uint32_t>(at - out);
}

// ---- the shortest text ---------------------------------------------------------------

// Significant digits and the power of ten of the first: d.ddd * 10^exponent.
struct decimal {
  char digits[20];
  uint32_t count;
  int exponent;
};

#if defined(FLT_EVAL_METHOD) && FLT_EVAL_METHOD == 0

constexpr double exact_powers_of_10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                         1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                         1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

void set_digits(decimal& d, uint64_t n, int decimals) noexcept {
  while (n % 10 == 0) {  // never 0 here
    n /= 10;
    --decimals;
  }
  const uint32_t count = decimal_digits(n);
  char buffer[32];
  write_decimal_digits(buffer, n, count);
  std::memcpy(d.digits, buffer, count);
  d.count = count;
  d.exponent = static_cast<int>(count) - 1 - decimals;
}

// The shortest digits by double arithmetic, for the values that tables hold
// most: below 2^52, with at most 22 decimals. The first number of decimals
// q at which an integer n makes n / 10^q read back as the value is the
// shortest; and when the value's spacing (one unit in the last place) is
// below 10^-q, no other such n exists, so it is also the closest. n / 10^q
// reads back as the value exactly when their correctly rounded quotient is
// the value, both being exact doubles. Only where doubles are evaluated as
// such (not in the x87's wider registers, which would round twice).
bool shortest_by_division(double value, binary b, decimal& d) noexcept {
  // Not for subnormals, tiny values (no n below 2^53 reaches them) or 2^52 up.
  if (b.significand < hidden_bit || b.exponent < -1000 || b.exponent >= 0) return false;
  // The spacing of doubles at the value: 2^exponent, whose biased exponent is exponent + 1023.
  const auto unit = std::bit_cast<double>(static_cast<uint64_t>(b.exponent + 1023) << 52);
  constexpr double two_to_53 = 9007199254740992.0;
  for (int q = 0; q < static_cast<int>(std::size(exact_powers_of_10)); ++q) {
    const double scale = exact_powers_of_10[q];
    const double scaled = value * scale;
    if (scaled >= two_to_53) return false;
    if (unit * scale >= 0.5) return false;  // more than one candidate could read back
    // The product is off by half a unit at most: the nearest integer to the
    // exact one is within one of its whole part.
    const auto whole = static_cast<uint64_t>(scaled);
    for (uint64_t n : {whole, whole + 1, whole - 1}) {
      if (n == 0 || n >= uint64_t{1} << 53) continue;
      if (static_cast<double>(n) / scale == value) {
        set_digits(d, n, q);
        return true;
      }
    }
  }
  return false;
}

#else

bool shortest_by_division(double /*value*/, binary /*b*/, decimal& /*d*/) noexcept { return false; }

#endif

// A value as Burger and Dybvig scale it: the value is r / s, and the
// halfway points to its neighbours lie m_minus below and m_plus above it.
struct scaled_value {
  big r;
  big s;
  big m_plus;
  big m_minus;
  bool even;  // an even significand: the halfway points themselves read back
};

scaled_value start_scaling(binary b) noexcept {
  scaled_value v{big(b.significand), big(1), big(1), big(1), (b.significand & 1u) == 0};
  // At a power of two (not the smallest), the neighbour below is closer.
  const bool closer_below = b.significand == hidden_bit && b.exponent > -1074;
  const int extra = closer_below ? 2 : 1;
  if (b.exponent >= 0) {
    v.r.shift_left(b.exponent + extra);
    v.s.shift_left(extra);
    v.m_plus.shift_left(b.exponent + extra - 1);
    v.m_minus.shift_left(b.exponent);
  } else {
    v.r.shift_left(extra);
    v.s.shift_left(-b.exponent + extra);
    v.m_plus.shift_left(extra - 1);
  }
  return v;
}

// Scales by 10^k so that the upper halfway point lies below s, and gives k:
// the power of ten just above the value. k is estimated from the bit length
// (log10(2) per bit), at most one too low, and then raised while needed.
int scale_to_first_digit(binary b, scaled_value& v) noexcept {
  const int bits = b.exponent + static_cast<int>(std::bit_width(b.significand)) - 1;
  int k = static_cast<int>(static_cast<double>(bits) * 0.30102999566398119521 +
                           (bits > 0 ? 0.9999999999 : 0.0));
  if (k >= 0) {
    v.s.multiply_by_power_of_10(k);
  } else {
    v.r.multiply_by_power_of_10(-k);
    v.m_plus.multiply_by_power_of_10(-k);
    v.m_minus.multiply_by_power_of_10(-k);
  }
  for (int top = compare_sum(v.r, v.m_plus, v.s); v.even ? top >= 0 : top > 0;
       top = compare_sum(v.r, v.m_plus, v.s)) {
    v.s.multiply(10);
    ++k;
  }
  return k;
}

// The last digit, when the rest has fallen within a halfway point: the
// digit or the one above, whichever reads back, or of both the closer (an
// even one at a tie).
int last_digit(const scaled_value& v, int digit, bool low_done, bool high_done) noexcept {
  if (low_done && high_done) {
    const int half = compare_sum(v.r, v.r, v.s);
    return half > 0 || (half == 0 && digit % 2 != 0) ? digit + 1 : digit;
  }
  return high_done ? digit + 1 : digit;
}

// The shortest digits that read back as the value, and of those the
// closest, by exact arithmetic on big integers: the free-format algorithm of
// Steele and White as Burger and Dybvig give it. Digits are made until the
// rest falls within a halfway point.
void shortest_by_big_integers(binary b, decimal& d) noexcept {
  scaled_value v = start_scaling(b);
  d.exponent = scale_to_first_digit(b, v) - 1;
  d.count = 0;
  for (;;) {
    v.r.multiply(10);
    v.m_plus.multiply(10);
    v.m_minus.multiply(10);
    int digit = 0;
    for (; compare(v.r, v.s) >= 0; ++digit) v.r.subtract(v.s);
    const int low = compare(v.r, v.m_minus);
    const int high = compare_sum(v.r, v.m_plus, v.s);
    const bool low_done = v.even ? low <= 0 : low < 0;
    const bool high_done = v.even ? high >= 0 : high > 0;
    if (low_done || high_done) {
      d.digits[d.count++] = static_cast<char>('0' + last_digit(v, digit, low_done, high_done));
      return;
    }
    d.digits[d.count++] = static_cast<char>('0' + digit);
  }
}

// Lays the digits out plainly for exponents -5 to 15, else as d.ddde+XX.
uint32_t lay_out(char* out, bool negative, const decimal& d) noexcept {
  char* at = out;
  if (negative) *at++ = '-';
  const int e = d.exponent;
  const auto count = static_cast<int>(d.count);
  if (e < -5 || e > 15) {
    *at++ = d.digits[0];
    if (count > 1) {
      *at++ = '.';
      std::memcpy(at, d.digits + 1, d.count - 1);
      at += count - 1;
    }
    *at++ = 'e';
    *at++ = e < 0 ? '-' : '+';
    const int magnitude = e < 0 ? -e : e;
    if (magnitude >= 100) *at++ = static_cast<char>('0' + magnitude / 100);
    *at++ = static_cast<char>('0' + magnitude / 10 % 10);
    *at++ = static_cast<char>('0' + magnitude % 10);
  } else if (e < 0) {
    *at++ = '0';
    *at++ = '.';
    for (int i = -1; i > e; --i) *at++ = '0';
    std::memcpy(at, d.digits, d.count);
    at += count;
  } else {
    for (int i = 0; i <= e; ++i) *at++ = i < count ? d.digits[i] : '0';
    if (count > e + 1) {
      *at++ = '.';
      std::memcpy(at, d.digits + e + 1, static_cast<size_t>(count - e - 1));
      at += count - e - 1;
    }
  }
  return static_cast<uint32_t>(at - out);
}

uint32_t write_shortest(char* out, double value, uint64_t bits) noexcept {
  const bool negative = (bits & sign_bit) != 0;
  const uint64_t magnitude_bits = bits & ~sign_bit;
  if (magnitude_bits == 0) return write_literal(out, negative ? "-0" : "0");
  const binary b = decompose(magnitude_bits);
  decimal d{};
  if (!shortest_by_division(negative ? -value : value, b, d)) shortest_by_big_integers(b, d);
  return lay_out(out, negative, d);
}

}  // namespace

uint32_t write_double(char* out, double value, int precision) noexcept {
  const auto bits = std::bit_cast<uint64_t>(value);
  if ((bits & ~sign_bit) >= uint64_t{0x7ff} << 52) return write_special(out, bits);
  if (precision < 0) return write_shortest(out, value, bits);
  return write_fixed(out, bits, precision);
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
