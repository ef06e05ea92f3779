// SPDX-License-Identifier: MIT
#include "decimal.hpp"

#include <algorithm>
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

// Adds zeros after the point until there are `scale` digits after it.
void exact_decimal::rescale(std::uint32_t scale) {
  for (std::uint32_t k = scale - scale_; k > 0;) {
    const std::uint32_t step = std::min(k, limb_digits);
    multiply_small(static_cast<std::uint32_t>(powers_of_ten[step]));
    k -= step;
  }
  scale_ = scale;
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
  for (std::uint32_t k = q.scale_ - scale - 1; k > 0; --k) q.divide_small(10);
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

void exact_sum::flush() {
  slow_.add(exact_decimal(
      fast_ < 0,
      fast_ < 0 ? 0 - static_cast<std::uint64_t>(fast_) : static_cast<std::uint64_t>(fast_),
      fast_scale_));
  fast_ = 0;
}

void exact_sum::add(bool negative, std::uint64_t magnitude, std::uint32_t scale) {
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
    flush();
    slow_.add(exact_decimal(negative, magnitude, scale));
    return;
  }
  fast_ = value;
}

bool exact_sum::add(std::string_view text) {
  bool negative = false;
  std::string_view digits = text;
  if (!digits.empty() && (digits.front() == '-' || digits.front() == '+')) {
    negative = digits.front() == '-';
    digits.remove_prefix(1);
  }
  // Up to 18 digits fit the fast path; longer numbers are parsed exactly.
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
    if (count > max_fast_digits) {
      const auto exact = exact_decimal::parse(text);
      if (!exact) return false;
      flush();
      slow_.add(*exact);
      return true;
    }
  }
  if (digits.size() == (point ? 1U : 0U)) return false;
  add(negative, magnitude, scale);
  return true;
}

exact_decimal exact_sum::total() const {
  exact_decimal t = slow_;
  t.add(exact_decimal(
      fast_ < 0,
      fast_ < 0 ? 0 - static_cast<std::uint64_t>(fast_) : static_cast<std::uint64_t>(fast_),
      fast_scale_));
  return t;
}

}  // namespace tabulix::cli
