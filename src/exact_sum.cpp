// SPDX-License-Identifier: MIT
// Exact sums of doubles: a wide fixed-point accumulator and its final rounding.
#include "exact_sum.h"

#include <bit>

namespace {

using exact_sum_bits::exponent_all_ones;
using exact_sum_bits::fraction_mask;
using exact_sum_bits::sign_bit;
constexpr uint64_t infinity_bits = exponent_all_ones << 52;
constexpr uint64_t quiet_nan_bits = infinity_bits | (uint64_t{1} << 51);
constexpr uint64_t minus_zero_bits = sign_bit;

// `count` (at most 64) bits of the magnitude from bit `from` up; bits below 0
// read as zeros.
uint64_t bits_at(const uint64_t* words, int from, int count) noexcept {
  uint64_t value = 0;
  for (int i = count - 1; i >= 0; --i) {
    const int bit = from + i;
    const uint64_t b = bit < 0 ? 0 : (words[bit / 64] >> (bit % 64)) & 1u;
    value = value << 1 | b;
  }
  return value;
}

// Whether any bit of the magnitude below bit `below` is set.
bool any_bit_below(const uint64_t* words, int below) noexcept {
  if (below <= 0) return false;
  const int whole = below / 64;
  for (int i = 0; i < whole; ++i) {
    if (words[i] != 0) return true;
  }
  const int rest = below % 64;
  return rest != 0 && (words[whole] & ((uint64_t{1} << rest) - 1)) != 0;
}

// Rounds a nonnegative magnitude, bit 0 weighing 2^-1074, to the bits of
// the nearest double, ties to even.
uint64_t round_magnitude(const uint64_t* words) noexcept {
  int top_word = exact_sum::word_count - 1;
  while (top_word >= 0 && words[top_word] == 0) --top_word;
  if (top_word < 0) return 0;
  int top = top_word * 64 + 63 - std::countl_zero(words[top_word]);
  // Below 2^53 units the value is a subnormal or the smallest normals,
  // whose bits are the value itself.
  if (top <= 52) return words[0];
  // 53 significant bits and the one below them, which decides the rounding
  // together with whatever lies further below.
  const uint64_t with_round_bit = bits_at(words, top - 53, 54);
  uint64_t significand = with_round_bit >> 1;
  const bool round_bit = (with_round_bit & 1u) != 0;
  if (round_bit && (any_bit_below(words, top - 53) || (significand & 1u) != 0)) {
    ++significand;
    if (significand == uint64_t{1} << 53) {
      significand >>= 1;
      ++top;
    }
  }
  // significand * 2^(top - 52) units of 2^-1074 is significand *
  // 2^(exponent - 1075) with the biased exponent top - 51.
  const auto exponent = static_cast<uint64_t>(top - 51);
  if (exponent >= exponent_all_ones) return infinity_bits;
  return exponent << 52 | (significand & fraction_mask);
}

}  // namespace

void exact_sum::clear() noexcept {
  *this = exact_sum{};
  all_bits = ~uint64_t{0};
}

uint64_t exact_sum::result() const noexcept {
  if (saw_nan || (saw_plus_infinity && saw_minus_infinity)) return quiet_nan_bits;
  if (saw_plus_infinity) return infinity_bits;
  if (saw_minus_infinity) return infinity_bits | sign_bit;
  uint64_t magnitude[word_count];
  const bool negative = (words[word_count - 1] & sign_bit) != 0;
  uint64_t borrow = 1;  // negating: invert every word and add one
  for (int i = 0; i < word_count; ++i) {
    if (negative) {
      magnitude[i] = ~words[i] + borrow;
      borrow = borrow != 0 && magnitude[i] == 0 ? 1 : 0;
    } else {
      magnitude[i] = words[i];
    }
  }
  const uint64_t bits = round_magnitude(magnitude);
  if (bits == 0) {
    return any_bits == minus_zero_bits && all_bits == minus_zero_bits ? minus_zero_bits : 0;
  }
  return negative ? bits | sign_bit : bits;
}
