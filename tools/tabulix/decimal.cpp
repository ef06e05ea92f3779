// SPDX-License-Identifier: MIT
#include "decimal.hpp"

#include <algorithm>
#include <charconv>
#include <limits>

namespace tabulix::cli {

namespace {

constexpr std::uint32_t limb_base = 1000000000;
constexpr std::uint32_t limb_digits = 9;
constexpr std::uint64_t powers_of_ten[] = {1,
                                           10,
                                           100,
                                           1000,
                                           10000,
                                           100000,
                                           1000000,
                                           10000000,
                                           100000000,
                                           1000000000,
                                           10000000000,
                                           100000000000,
                                           1000000000000,
                                           10000000000000,
                                           100000000000000,
                                           1000000000000000,
                                           10000000000000000,
                                           100000000000000000,
                                           1000000000000000000};
constexpr std::uint32_t max_fast_digits = 18;

bool is_digit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

exact_decimal::exact_decimal(bool negative, std::uint64_t magnitude, std::uint32_t scale)
    : negative_(negative), scale_(scale) {
  while (magnitude != 0) {
    limbs_.push_back(static_cast<std::uint32_t>(magnitude % limb_base));
    magnitude /= limb_base;
  }
  if (limbs_.empty()) negative_ = false;
}

std::optional<exact_decimal> exact_decimal::parse(std::string_view text) {
  exact_decimal d;
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
    d.negative_ = text.front() == '-';
    text.remove_prefix(1);
  }
  const auto point = text.find('.');
  const std::string_view whole = text.substr(0, point);
  const std::string_view fraction =
      point == std::string_view::npos ? std::string_view{} : text.substr(point + 1);
  if (whole.empty() && fraction.empty()) return std::nullopt;
  if (!std::all_of(whole.begin(), whole.end(), is_digit) ||
      !std::all_of(fraction.begin(), fraction.end(), is_digit)) {
    return std::nullopt;
  }
  // The digits of whole and fraction as one integer, nine at a time from
  // the right.
  std::string digits(whole);
  digits += fraction;
  d.scale_ = static_cast<std::uint32_t>(fraction.size());
  for (std::size_t end = digits.size(); end > 0;) {
    const std::size_t begin = end > limb_digits ? end - limb_digits : 0;
    std::uint32_t limb = 0;
    for (std::size_t i = begin; i < end; ++i) {
      limb = limb * 10 + static_cast<std::uint32_t>(digits[i] - '0');
    }
    d.limbs_.push_back(limb);
    end = begin;
  }
  d.trim();
  return d;
}

void exact_decimal::trim() {
  while (!limbs_.empty() && limbs_.back() == 0) limbs_.pop_back();
  if (limbs_.empty()) negative_ = false;
}

void exact_decimal::multiply_small(std::uint32_t factor) {
  std::uint64_t carry = 0;
  for (auto& limb : limbs_) {
    const std::uint64_t v = std::uint64_t{limb} * factor + carry;
    limb = static_cast<std::uint32_t>(v % limb_base);
    carry = v / limb_base;
  }
  while (carry != 0) {
    limbs_.push_back(static_cast<std::uint32_t>(carry % limb_base));
    carry /= limb_base;
  }
}

// Divides the magnitude by a divisor below 2^32; gives the remainder.
std::uint64_t exact_decimal::divide_small(std::uint64_t divisor) {
  std::uint64_t rest = 0;
  for (std::size_t i = limbs_.size(); i-- > 0;) {
    const std::uint64_t v = rest * limb_base + limbs_[i];
    limbs_[i] = static_cast<std::uint32_t>(v / divisor);
    rest = v % divisor;
  }
  const bool negative = negative_;
  trim();
  negative_ = negative && !limbs_.empty();
  return rest;
}

// Adds zeros after the point until there are `scale` digits after it: a
// shift by whole limbs and one multiplication by the rest.
void exact_decimal::rescale(std::uint32_t scale) {
  const std::uint32_t k = scale - scale_;
  scale_ = scale;
  if (limbs_.empty()) return;
  multiply_small(static_cast<std::uint32_t>(powers_of_ten[k % limb_digits]));
  limbs_.insert(limbs_.begin(), k / limb_digits, 0);
}

void exact_decimal::drop_digits(std::uint32_t digits) {
  const std::size_t limbs = std::min<std::size_t>(digits / limb_digits, limbs_.size());
  limbs_.erase(limbs_.begin(), limbs_.begin() + static_cast<std::ptrdiff_t>(limbs));
  divide_small(powers_of_ten[digits % limb_digits]);
}

int exact_decimal::compare_magnitude(const exact_decimal& other) const {
  if (limbs_.size() != other.limbs_.size()) return limbs_.size() < other.limbs_.size() ? -1 : 1;
  for (std::size_t i = limbs_.size(); i-- > 0;) {
    if (limbs_[i] != other.limbs_[i]) return limbs_[i] < other.limbs_[i] ? -1 : 1;
  }
  return 0;
}

void exact_decimal::add(const exact_decimal& other) {
  if (other.limbs_.empty()) {
    if (other.scale_ > scale_) rescale(other.scale_);
    return;
  }
  exact_decimal b = other;
  const std::uint32_t scale = std::max(scale_, b.scale_);
  rescale(scale);
  b.rescale(scale);
  if (negative_ == b.negative_ || limbs_.empty()) {
    if (limbs_.empty()) negative_ = b.negative_;
    limbs_.resize(std::max(limbs_.size(), b.limbs_.size()), 0);
    std::uint32_t carry = 0;
    for (std::size_t i = 0; i < limbs_.size(); ++i) {
      const std::uint32_t v = limbs_[i] + (i < b.limbs_.size() ? b.limbs_[i] : 0) + carry;
      carry = v >= limb_base ? 1 : 0;
      limbs_[i] = v - carry * limb_base;
    }
    if (carry != 0) limbs_.push_back(carry);
    return;
  }
  // Opposite signs: the larger magnitude less the smaller, with its sign.
  if (compare_magnitude(b) < 0) std::swap(*this, b);
  std::uint32_t borrow = 0;
  for (std::size_t i = 0; i < limbs_.size(); ++i) {
    const std::uint32_t sub = (i < b.limbs_.size() ? b.limbs_[i] : 0) + borrow;
    borrow = limbs_[i] < sub ? 1 : 0;
    limbs_[i] = limbs_[i] + borrow * limb_base - sub;
  }
  trim();
}

std::string exact_decimal::to_string() const {
  std::string digits;
  for (std::size_t i = limbs_.size(); i-- > 0;) {
    std::string part = std::to_string(limbs_[i]);
    if (i + 1 != limbs_.size()) part.insert(0, limb_digits - part.size(), '0');
    digits += part;
  }
  if (digits.size() <= scale_) digits.insert(0, scale_ + 1 - digits.size(), '0');
  if (scale_ != 0) digits.insert(digits.size() - scale_, 1, '.');
  if (negative_) digits.insert(0, 1, '-');
  return digits;
}

std::string exact_decimal::to_hex(bool upper) const {
  const char* const letters = upper ? "0123456789ABCDEF" : "0123456789abcdef";
  exact_decimal rest = *this;
  std::string reversed;
  do {
    const std::uint64_t digit = rest.divide_small(16);
    reversed.push_back(letters[digit]);
  } while (!rest.limbs_.empty());
  return "0x" + std::string(reversed.rbegin(), reversed.rend());
}

exact_decimal exact_decimal::divided(std::uint64_t n, std::uint32_t scale) const {
  exact_decimal q = *this;
  // One digit more than asked, then rounded on it.
  q.rescale(std::max(scale + 1, scale_));
  q.drop_digits(q.scale_ - scale - 1);
  q.divide_small(n);
  const std::uint64_t last = q.divide_small(10);
  q.scale_ = scale;
  if (last >= 5) {
    const bool negative = q.negative_ || (q.limbs_.empty() && negative_);
    q.negative_ = false;
    q.add(exact_decimal(false, 1, scale));
    q.negative_ = negative;
  } else if (q.limbs_.empty()) {
    q.negative_ = false;
  }
  return q;
}

std::uint32_t& aligned_sum::limb(std::int64_t q) {
  if (q >= 0) {
    const auto at = static_cast<std::size_t>(q);
    if (at >= whole_.size()) whole_.resize(at + 1, 0);
    return whole_[at];
  }
  const auto at = static_cast<std::size_t>(-(q + 1));
  if (at >= fraction_.size()) fraction_.resize(at + 1, 0);
  return fraction_[at];
}

void aligned_sum::add(std::string_view head, std::string_view tail, std::uint64_t scale) {
  while (!head.empty() && head.front() == '0') head.remove_prefix(1);
  if (head.empty()) {
    while (!tail.empty() && tail.front() == '0') tail.remove_prefix(1);
  }
  const std::size_t n = head.size() + tail.size();
  if (n == 0) return;
  const auto digit = [&](std::size_t i) {  // i-th digit from the right
    const std::size_t at = n - 1 - i;
    return static_cast<std::uint32_t>((at < head.size() ? head[at] : tail[at - head.size()]) - '0');
  };
  // Digit i stands at the power p = i - scale; limb q holds powers 9q to
  // 9q + 8. Powers are far from the limits of 64 bits: a text is shorter.
  const auto low = -static_cast<std::int64_t>(scale);
  constexpr std::int64_t width = limb_digits;
  const std::int64_t first = low >= 0 ? low / width : -((-low + width - 1) / width);
  std::uint32_t carry = 0;
  std::size_t i = 0;
  for (std::int64_t q = first; i < n || carry != 0; ++q) {
    std::uint32_t v = 0;
    for (; i < n && static_cast<std::int64_t>(i) + low < (q + 1) * width; ++i) {
      const std::int64_t p = static_cast<std::int64_t>(i) + low;
      v += digit(i) * static_cast<std::uint32_t>(powers_of_ten[p - q * width]);
    }
    if (v == 0 && carry == 0) continue;
    std::uint32_t& l = limb(q);
    l += v + carry;
    carry = l >= limb_base ? 1 : 0;
    l -= carry * limb_base;
  }
}

exact_decimal aligned_sum::value(bool negative, std::uint32_t scale) const {
  std::string digits = negative ? "-" : "";
  std::size_t top = whole_.size();
  while (top > 0 && whole_[top - 1] == 0) --top;
  for (std::size_t q = top; q-- > 0;) {
    std::string part = std::to_string(whole_[q]);
    if (q + 1 != top) part.insert(0, limb_digits - part.size(), '0');
    digits += part;
  }
  digits += '.';
  for (const std::uint32_t l : fraction_) {
    const std::string part = std::to_string(l);
    digits.append(limb_digits - part.size(), '0');
    digits += part;
  }
  const std::size_t point = digits.find('.');
  digits.resize(point + 1 + scale, '0');  // the digits past `scale` are zeros
  if (point + 1 == digits.size() && top == 0) return {false, 0, 0};
  return *exact_decimal::parse(digits);
}

void exact_sum::add_slow(bool negative, std::uint64_t magnitude, std::uint32_t scale) {
  char digits[24];
  const auto [end, ec] = std::to_chars(digits, digits + sizeof digits, magnitude);
  static_cast<void>(ec);  // 24 bytes hold any 64-bit number
  (negative ? negative_ : positive_)
      .add(std::string_view(digits, static_cast<std::size_t>(end - digits)), {}, scale);
}

void exact_sum::flush() {
  if (fast_ != 0) {
    add_slow(fast_ < 0,
             fast_ < 0 ? 0 - static_cast<std::uint64_t>(fast_) : static_cast<std::uint64_t>(fast_),
             fast_scale_);
  }
  fast_ = 0;
}

void exact_sum::add(bool negative, std::uint64_t magnitude, std::uint32_t scale) {
  scale_ = std::max(scale_, scale);
  if (scale > fast_scale_) {
    flush();
    fast_scale_ = scale;
  }
  const std::uint32_t shift = fast_scale_ - scale;
  std::int64_t value = 0;
  const bool fits = shift <= max_fast_digits &&
                    magnitude <= std::numeric_limits<std::int64_t>::max() / powers_of_ten[shift];
  if (fits) {
    const auto scaled = static_cast<std::int64_t>(magnitude * powers_of_ten[shift]);
    value = negative ? -scaled : scaled;
  }
  if (!fits || __builtin_add_overflow(fast_, value, &value)) {
    add_slow(negative, magnitude, scale);
    return;
  }
  fast_ = value;
}

bool exact_sum::add_long(bool negative, std::string_view digits) {
  const auto dot = digits.find('.');
  const std::string_view whole = digits.substr(0, dot);
  const std::string_view fraction =
      dot == std::string_view::npos ? std::string_view{} : digits.substr(dot + 1);
  if (!std::all_of(whole.begin(), whole.end(), is_digit) ||
      !std::all_of(fraction.begin(), fraction.end(), is_digit)) {
    return false;
  }
  const auto fraction_digits = static_cast<std::uint32_t>(fraction.size());
  scale_ = std::max(scale_, fraction_digits);
  (negative ? negative_ : positive_).add(whole, fraction, fraction_digits);
  return true;
}

bool exact_sum::add(std::string_view text) {
  bool negative = false;
  std::string_view digits = text;
  if (!digits.empty() && (digits.front() == '-' || digits.front() == '+')) {
    negative = digits.front() == '-';
    digits.remove_prefix(1);
  }
  // Up to 18 digits fit the fast path; longer numbers are added exactly.
  std::uint64_t magnitude = 0;
  std::uint32_t count = 0;
  std::uint32_t scale = 0;
  bool point = false;
  for (const char c : digits) {
    if (c == '.' && !point) {
      point = true;
      continue;
    }
    if (!is_digit(c)) return false;
    if (point) ++scale;
    if (magnitude != 0 || c != '0') ++count;
    magnitude = magnitude * 10 + static_cast<std::uint64_t>(c - '0');
    if (count > max_fast_digits) return add_long(negative, digits);
  }
  if (digits.size() == (point ? 1U : 0U)) return false;
  add(negative, magnitude, scale);
  return true;
}

exact_decimal exact_sum::total() const {
  exact_decimal t = positive_.value(false, scale_);
  t.add(negative_.value(true, scale_));
  t.add(exact_decimal(
      fast_ < 0,
      fast_ < 0 ? 0 - static_cast<std::uint64_t>(fast_) : static_cast<std::uint64_t>(fast_),
      fast_scale_));
  if (t.scale() < scale_) t.add(exact_decimal(false, 0, scale_));
  return t;
}

}  // namespace tabulix::cli
