// SPDX-License-Identifier: MIT
// The exact sum of doubles, rounded once at the end.
#ifndef TABULIX_EXACT_SUM_H
#define TABULIX_EXACT_SUM_H

#include <cstdint>

// A fixed-point number wide enough for every finite double and for the sum of
// 2^64 of them: bit 0 weighs 2^-1074 (the smallest subnormal), and the
// largest double reaches bit 2097. Adding a value touches two words and a
// carry, and the sum stays exact whatever the order of the values; only the
// result is rounded, to nearest with ties to even. Being of fixed size, it
// never allocates while a column is summed.
struct exact_sum {
  static constexpr int word_count = 35;  // 2240 bits, two's complement

  uint64_t words[word_count];
  bool saw_nan;
  bool saw_plus_infinity;
  bool saw_minus_infinity;
  // The bits of every value added, or-ed and and-ed: both are those of -0
  // when it alone was added, and a sum of -0 alone is -0, as in IEEE
  // addition. Kept so rather than as flags: no branch, no extra store.
  uint64_t any_bits;
  uint64_t all_bits;

  void clear() noexcept;
  // Adds the double whose bits are given.
  void add(uint64_t bits) noexcept;
  // The bits of the correctly rounded sum: NaN when a NaN was added or both
  // infinities were, an infinity when one was or the sum overflows.
  [[nodiscard]] uint64_t result() const noexcept;
};

namespace exact_sum_bits {
constexpr uint64_t sign_bit = uint64_t{1} << 63;
constexpr uint64_t fraction_mask = (uint64_t{1} << 52) - 1;
constexpr uint64_t exponent_all_ones = 0x7ff;
}  // namespace exact_sum_bits

// Adds (or subtracts) a significand shifted into the words at index `at`
// (low) and `at + 1` (high, below 2^53), and carries (or borrows) on up the
// number, which mostly stops at once.
inline void exact_sum_add_at(uint64_t* words, int at, uint64_t low, uint64_t high,
                             bool subtract) noexcept {
  uint64_t old = words[at];
  if (!subtract) {
    words[at] = old + low;
    const uint64_t with_carry = high + (words[at] < old ? 1u : 0u);
    old = words[at + 1];
    words[at + 1] = old + with_carry;
    bool carry = words[at + 1] < old;
    for (int i = at + 2; carry && i < exact_sum::word_count; ++i) carry = ++words[i] == 0;
  } else {
    words[at] = old - low;
    const uint64_t with_borrow = high + (old < low ? 1u : 0u);
    old = words[at + 1];
    words[at + 1] = old - with_borrow;
    bool borrow = old < with_borrow;
    for (int i = at + 2; borrow && i < exact_sum::word_count; ++i) borrow = words[i]-- == 0;
  }
}

// In the header: called for every summed cell.
inline void exact_sum::add(uint64_t bits) noexcept {
  using exact_sum_bits::exponent_all_ones;
  using exact_sum_bits::fraction_mask;
  using exact_sum_bits::sign_bit;
  const uint64_t exponent = (bits >> 52) & exponent_all_ones;
  const bool negative = (bits & sign_bit) != 0;
  any_bits |= bits;
  all_bits &= bits;
  if (exponent == exponent_all_ones) {
    if ((bits & fraction_mask) != 0) {
      saw_nan = true;
    } else if (negative) {
      saw_minus_infinity = true;
    } else {
      saw_plus_infinity = true;
    }
    return;
  }
  uint64_t significand = bits & fraction_mask;
  int shift = 0;  // where the significand's bit 0 lies
  if (exponent != 0) {
    significand |= uint64_t{1} << 52;
    shift = static_cast<int>(exponent) - 1;
  }
  if (significand == 0) return;
  const int at = shift / 64;
  const int offset = shift % 64;
  const uint64_t low = significand << offset;
  const uint64_t high = offset == 0 ? 0 : significand >> (64 - offset);
  exact_sum_add_at(words, at, low, high, negative);
}

#endif  // TABULIX_EXACT_SUM_H
