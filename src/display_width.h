// SPDX-License-Identifier: MIT
// The columns a UTF-8 text takes on a terminal. Header-only and free of the
// library's records: the printer and the command-line tool both include it.
//
// Each code point counts on its own, whatever the locale (Unicode 15):
// East Asian Wide and Fullwidth characters and emoji shown as emoji by
// default take 2 columns; nonspacing and enclosing marks, ZERO WIDTH JOINER
// and NON-JOINER, variation selectors, the other default-ignorable code
// points and Hangul vowel and trailing jamo take 0; everything else takes 1,
// C0 and C1 controls included. A byte that is not part of well-formed UTF-8
// takes 1, so a width is never under-counted for what a terminal shows in
// its place. Sequences are not joined into grapheme clusters: a family emoji
// (people joined by ZERO WIDTH JOINER) counts as the sum of its parts, as
// wcswidth counts it, though many terminals draw it in 2 columns.
//
// A code point never takes more columns than it has bytes in UTF-8, so a
// text's width is at most its length.
#ifndef TABULIX_DISPLAY_WIDTH_H
#define TABULIX_DISPLAY_WIDTH_H

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "display_width_table.h"

// Columns of one code point: 0, 1 or 2; 1 for a value beyond U+10FFFF.
inline unsigned code_point_width(char32_t cp) noexcept {
  using namespace display_width_table;
  if (cp > 0x10FFFF) return 1;
  const uint8_t block = block_index[cp >> block_shift];
  const uint8_t packed = blocks[block][(cp & ((1u << block_shift) - 1)) >> 2];
  return (packed >> (2 * (cp & 3))) & 3u;
}

namespace display_width_detail {

inline uint64_t load64(const unsigned char* p) noexcept {
  uint64_t word = 0;
  std::memcpy(&word, p, sizeof word);
  return word;
}

inline uint32_t load32(const unsigned char* p) noexcept {
  uint32_t word = 0;
  std::memcpy(&word, p, sizeof word);
  return word;
}

constexpr uint64_t high_bits64 = 0x8080808080808080u;
constexpr uint32_t high_bits32 = 0x80808080u;

// Place of the first byte in memory order whose high bit is set in `high`
// (nonzero, only high bits set).
inline size_t first_high_byte(uint64_t high) noexcept {
  if constexpr (std::endian::native == std::endian::little) {
    return static_cast<size_t>(std::countr_zero(high)) / 8;
  } else {
    return static_cast<size_t>(std::countl_zero(high)) / 8;
  }
}

// How many of the n bytes at p, from the first, are ASCII. Eight bytes a
// step; the last few are taken in one overlapping load where the text has
// that many, so a short ASCII text costs two or three loads. Reads only the
// n bytes.
inline size_t ascii_prefix(const unsigned char* p, size_t n) noexcept {
  size_t i = 0;
  for (; n - i >= 8; i += 8) {
    if (const uint64_t high = load64(p + i) & high_bits64; high != 0) {
      return i + first_high_byte(high);
    }
  }
  if (i == n) return n;
  if (n >= 8) {
    if ((load64(p + n - 8) & high_bits64) == 0) return n;
  } else if (n >= 4) {
    if (((load32(p) | load32(p + n - 4)) & high_bits32) == 0) return n;
  }
  while (i < n && p[i] < 0x80) ++i;
  return i;
}

inline bool is_continuation(unsigned char b) noexcept { return (b & 0xC0u) == 0x80u; }

// A well-formed UTF-8 sequence of 2 to 4 bytes: its length and code point;
// length 0 when the bytes at p do not start one (a stray continuation byte,
// C0, C1, F5 to FF, an overlong form, a surrogate, a code point beyond
// U+10FFFF, or a sequence cut short).
struct decoded {
  size_t len;
  char32_t cp;
};

inline decoded decode_sequence(const unsigned char* p, size_t room) noexcept {
  const unsigned lead = p[0];
  if (lead >= 0xC2 && lead <= 0xDF) {
    if (room < 2 || !is_continuation(p[1])) return {0, 0};
    return {2, (lead & 0x1Fu) << 6 | (p[1] & 0x3Fu)};
  }
  if (lead >= 0xE0 && lead <= 0xEF) {
    // The second byte's range excludes overlong forms (E0) and surrogates (ED).
    const unsigned low = lead == 0xE0 ? 0xA0 : 0x80;
    const unsigned high = lead == 0xED ? 0x9F : 0xBF;
    if (room < 3 || p[1] < low || p[1] > high || !is_continuation(p[2])) return {0, 0};
    return {3, (lead & 0x0Fu) << 12 | (p[1] & 0x3Fu) << 6 | (p[2] & 0x3Fu)};
  }
  if (lead >= 0xF0 && lead <= 0xF4) {
    // Overlong forms (F0) and code points beyond U+10FFFF (F4) are excluded.
    const unsigned low = lead == 0xF0 ? 0x90 : 0x80;
    const unsigned high = lead == 0xF4 ? 0x8F : 0xBF;
    if (room < 4 || p[1] < low || p[1] > high || !is_continuation(p[2]) || !is_continuation(p[3])) {
      return {0, 0};
    }
    return {4, (lead & 0x07u) << 18 | (p[1] & 0x3Fu) << 12 | (p[2] & 0x3Fu) << 6 | (p[3] & 0x3Fu)};
  }
  return {0, 0};
}

}  // namespace display_width_detail

// Terminal columns of the len bytes of UTF-8 at text (no NUL needed).
inline std::size_t display_width(const char* text, std::size_t len) noexcept {
  using namespace display_width_detail;
  const auto* p = reinterpret_cast<const unsigned char*>(text);
  const unsigned char* const end = p + len;
  std::size_t width = 0;
  while (p != end) {
    if (*p < 0x80) {
      const size_t ascii = ascii_prefix(p, static_cast<size_t>(end - p));
      width += ascii;
      p += ascii;
      continue;
    }
    const decoded d = decode_sequence(p, static_cast<size_t>(end - p));
    if (d.len == 0) {
      width += 1;  // a byte of malformed UTF-8
      p += 1;
    } else {
      width += code_point_width(d.cp);
      p += d.len;
    }
  }
  return width;
}

#endif  // TABULIX_DISPLAY_WIDTH_H
