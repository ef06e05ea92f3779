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
  bool saw_value;
  bool saw_other_than_minus_zero;  // a sum of -0 alone is -0, as in IEEE addition

  void clear() noexcept;
  // Adds the double whose bits are given.
  void add(uint64_t bits) noexcept;
  // The bits of the correctly rounded sum: NaN when a NaN was added or both
  // infinities were, an infinity when one was or the sum overflows.
  [[nodiscard]] uint64_t result() const noexcept;
};

#endif  // TABULIX_EXACT_SUM_H
