// SPDX-License-Identifier: MIT
// Decimal and hex digits of 64-bit values: counted without formatting, written eight at a time.
#ifndef TABULIX_DIGITS_H
#define TABULIX_DIGITS_H

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

constexpr uint64_t powers_of_10[20] = {1u,
                                       10u,
                                       100u,
                                       1000u,
                                       10000u,
                                       100000u,
                                       1000000u,
                                       10000000u,
                                       100000000u,
                                       1000000000u,
                                       10000000000u,
                                       100000000000u,
                                       1000000000000u,
                                       10000000000000u,
                                       100000000000000u,
                                       1000000000000000u,
                                       10000000000000000u,
                                       100000000000000000u,
                                       1000000000000000000u,
                                       10000000000000000000u};

// Digits of a value counted without formatting it: log10 estimated from the
// bit width (1233 / 4096 ~ log10(2)), then corrected by one comparison.
// Setting the lowest bit never crosses a power of ten and makes 0 count as 1.
inline uint32_t decimal_digits(uint64_t value) noexcept {
  value |= 1u;
  const unsigned estimate = (static_cast<unsigned>(std::bit_width(value)) * 1233u) >> 12;
  return estimate + (value >= powers_of_10[estimate] ? 1u : 0u);
}

inline uint32_t hex_digits(uint64_t value) noexcept {
  return (static_cast<uint32_t>(std::bit_width(value | 1u)) + 3u) / 4u;
}

// Numbers are written eight characters at a time. A character word holds
// eight characters, the first one in its lowest byte; dropping the first k
// of them is a shift right by 8k bits.

// Stores a character word at out: eight bytes, the first character first.
inline void store_word(char* out, uint64_t word) noexcept {
  if constexpr (std::endian::native == std::endian::big) {
    uint64_t swapped = 0;
    for (int i = 0; i < 8; ++i, word >>= 8) swapped = (swapped << 8) | (word & 0xffu);
    word = swapped;
  }
  std::memcpy(out, &word, 8);
}

// The eight decimal digits of a value below 10^8, leading zeros included.
// The value is split into two halves of four digits, each half into two
// pairs, each pair into two digits, all lanes of one 64-bit word at once;
// the multiply-and-shift steps divide exactly by 100 below 43699 and by 10
// below 179.
inline uint64_t eight_decimal_digits(uint32_t value) noexcept {
  const uint64_t halves = (value / 10000u) | (uint64_t{value % 10000u} << 32);
  const uint64_t hundreds = ((halves * 10486u) >> 20) & 0x0000007f0000007fu;
  const uint64_t pairs = hundreds | ((halves - hundreds * 100u) << 16);
  const uint64_t tens = ((pairs * 103u) >> 10) & 0x000f000f000f000fu;
  const uint64_t digits = tens | ((pairs - tens * 10u) << 8);
  return digits + 0x3030303030303030u;  // '0' in every byte
}

// The eight hex digits of a 32-bit value, leading zeros included: each
// nibble is moved into its own byte, most significant first, and turned
// into '0' to '9' or a letter.
inline uint64_t eight_hex_digits(uint32_t value, bool upper) noexcept {
  uint64_t x = (value >> 16) | (uint64_t{value & 0xffffu} << 32);
  x = ((x & 0x0000ff000000ff00u) >> 8) | ((x & 0x000000ff000000ffu) << 16);
  x = ((x & 0x00f000f000f000f0u) >> 4) | ((x & 0x000f000f000f000fu) << 8);
  const uint64_t letters = ((x + 0x0606060606060606u) >> 4) & 0x0101010101010101u;
  const uint64_t letter_offset = upper ? 'A' - '0' - 10 : 'a' - '0' - 10;
  return x + 0x3030303030303030u + letters * letter_offset;
}

// Writes the n decimal digits of value (n from decimal_digits) at out, and
// may write junk into the next 8 bytes after them.
inline void write_decimal_digits(char* out, uint64_t value, uint32_t n) noexcept {
  constexpr uint64_t ten_to_8 = 100000000u;
  if (n <= 8) {
    store_word(out, eight_decimal_digits(static_cast<uint32_t>(value)) >> (8 * (8 - n)));
  } else if (n <= 16) {
    const auto high = static_cast<uint32_t>(value / ten_to_8);
    store_word(out, eight_decimal_digits(high) >> (8 * (16 - n)));
    store_word(out + n - 8, eight_decimal_digits(static_cast<uint32_t>(value % ten_to_8)));
  } else {
    const uint64_t high = value / ten_to_8;
    store_word(out, eight_decimal_digits(static_cast<uint32_t>(high / ten_to_8)) >> (8 * (24 - n)));
    store_word(out + n - 16, eight_decimal_digits(static_cast<uint32_t>(high % ten_to_8)));
    store_word(out + n - 8, eight_decimal_digits(static_cast<uint32_t>(value % ten_to_8)));
  }
}

// Writes the n hex digits of value (n from hex_digits) at out, and may
// write junk into the next 8 bytes after them.
inline void write_hex_digits(char* out, uint64_t value, uint32_t n, bool upper) noexcept {
  if (n <= 8) {
    store_word(out, eight_hex_digits(static_cast<uint32_t>(value), upper) >> (8 * (8 - n)));
  } else {
    store_word(out, eight_hex_digits(static_cast<uint32_t>(value >> 32), upper) >> (8 * (16 - n)));
    store_word(out + n - 8, eight_hex_digits(static_cast<uint32_t>(value), upper));
  }
}

// Writes the decimal digits of the 128-bit magnitude (high, low) at out and
// gives their count; may write junk into the next 8 bytes after them. Made
// of nine-digit pieces, each the remainder of a long division by 10^9 over
// 32-bit limbs, which needs no 128-bit type (there is none on 32-bit ABIs).
inline uint32_t write_wide_decimal_digits(char* out, uint64_t high, uint64_t low) noexcept {
  constexpr uint32_t piece = 1000000000u;
  uint32_t limbs[4] = {static_cast<uint32_t>(high >> 32), static_cast<uint32_t>(high),
                       static_cast<uint32_t>(low >> 32), static_cast<uint32_t>(low)};
  uint32_t pieces[5] = {};  // least significant first; 10^45 > 2^128
  size_t count = 0;
  do {
    uint64_t rest = 0;
    bool nonzero = false;
    for (uint32_t& limb : limbs) {
      const uint64_t part = (rest << 32) | limb;
      limb = static_cast<uint32_t>(part / piece);
      rest = part % piece;
      nonzero = nonzero || limb != 0;
    }
    pieces[count++] = static_cast<uint32_t>(rest);
    if (!nonzero) break;
  } while (count < 5);
  const uint32_t first = decimal_digits(pieces[count - 1]);
  write_decimal_digits(out, pieces[count - 1], first);
  char* at = out + first;
  for (size_t i = count - 1; i-- > 0; at += 9) write_decimal_digits(at, pieces[i], 9);
  return first + static_cast<uint32_t>(9 * (count - 1));
}

#endif  // TABULIX_DIGITS_H
