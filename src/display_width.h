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
// its place.
//
// Escape sequences take no columns, as a terminal draws nothing for them:
//   CSI  ESC [, parameter bytes 0x30-0x3F, intermediate bytes 0x20-0x2F and
//        one final byte 0x40-0x7E (colours and styles: ESC [ 3 1 m);
//   OSC  ESC ], then any bytes but BEL and ESC, ended by BEL or ESC \ (an
//        OSC 8 hyperlink counts only its visible text);
//   any other ESC, intermediate bytes 0x20-0x2F and one final byte
//        0x30-0x7E (two bytes without intermediates, as ESC 7 or ESC c).
// A sequence that does not end as these do (cut by the end of the text, or
// broken by another byte) is not one: its ESC counts 1 like any control and
// the bytes after it count as text, so such input is never under-counted
// and every byte is looked at no more than twice.
//
// A few pairs count as terminals draw them: a character followed by U+FE0F
// (VARIATION SELECTOR-16) counts 2 and one followed by U+FE0E (VS15) counts
// 1 when emoji-variation-sequences.txt lists the character; two regional
// indicators in a row make one flag of 2 columns (a third starts the next
// flag). Other sequences are not joined into grapheme clusters: a family
// emoji (people joined by ZERO WIDTH JOINER) counts as the sum of its parts,
// as wcswidth counts it, though many terminals draw it in 2 columns, and a
// skin tone modifier counts on its own.
//
// A code point never takes more columns than it has bytes in UTF-8, so a
// text's width is at most its length.
#ifndef TABULIX_DISPLAY_WIDTH_H
#define TABULIX_DISPLAY_WIDTH_H

#include <algorithm>
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
constexpr uint64_t spaces64 = 0x2020202020202020u;
constexpr uint32_t high_bits32 = 0x80808080u;
constexpr uint32_t spaces32 = 0x20202020u;
constexpr unsigned char escape = 0x1B;

// The high bit of the bytes of a word that end a run of printable ASCII: a
// control (ESC among them) or a byte of 0x80 or above. A borrow from one
// byte into the next comes only from a flagged byte, so the first flagged
// byte in memory order is exact where that is the low byte; the other byte
// order takes the exact form, which no carry crosses.
template <typename Word>
inline Word run_stops(Word word, Word spaces, Word high) noexcept {
  if constexpr (std::endian::native == std::endian::little) {
    return ((word - spaces) | word) & high;
  } else {
    const Word low = static_cast<Word>(~high);
    const Word printable = (word & low) + (high - spaces);  // high bit set from 0x20 up
    return (word | ~printable) & high;
  }
}

// Printable ASCII: 0x20 to 0x7F.
inline bool plain_ascii(unsigned char b) noexcept {
  return static_cast<unsigned char>(b - 0x20) < 0x60;
}

// Place of the first byte in memory order whose high bit is set in `high`
// (nonzero, only high bits set).
template <typename Word>
inline size_t first_high_byte(Word high) noexcept {
  if constexpr (std::endian::native == std::endian::little) {
    return static_cast<size_t>(std::countr_zero(high)) / 8;
  } else {
    return static_cast<size_t>(std::countl_zero(high)) / 8;
  }
}

// How many of the n bytes at p, from the first, are printable ASCII. Eight
// bytes a step; the last few are taken in one or two overlapping loads
// where the text has that many, so a short ASCII text costs two or three
// loads. Reads only the n bytes.
inline size_t ascii_prefix(const unsigned char* p, size_t n) noexcept {
  size_t i = 0;
  for (; n - i >= 8; i += 8) {
    if (const uint64_t stops = run_stops(load64(p + i), spaces64, high_bits64); stops != 0) {
      return i + first_high_byte(stops);
    }
  }
  if (i == n) return n;
  if (n >= 8) {
    if (run_stops(load64(p + n - 8), spaces64, high_bits64) == 0) return n;
  } else if (n >= 4) {
    if ((run_stops(load32(p), spaces32, high_bits32) |
         run_stops(load32(p + n - 4), spaces32, high_bits32)) == 0) {
      return n;
    }
  }
  while (i < n && plain_ascii(p[i])) ++i;
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

// Lengths of whole escape sequences from p, the ESC, with room bytes there;
// 0 when the bytes do not make one (see the top of this file).
inline size_t csi_length(const unsigned char* p, size_t room) noexcept {
  size_t i = 2;  // ESC [
  while (i < room && p[i] >= 0x30 && p[i] <= 0x3F) ++i;
  while (i < room && p[i] >= 0x20 && p[i] <= 0x2F) ++i;
  return i < room && p[i] >= 0x40 && p[i] <= 0x7E ? i + 1 : 0;
}

inline size_t osc_length(const unsigned char* p, size_t room) noexcept {
  size_t i = 2;  // ESC ]
  while (i < room && p[i] != 0x07 && p[i] != escape) ++i;
  if (i < room && p[i] == 0x07) return i + 1;
  return i + 1 < room && p[i + 1] == '\\' ? i + 2 : 0;
}

inline size_t escape_length(const unsigned char* p, size_t room) noexcept {
  if (room > 1 && p[1] == '[') return csi_length(p, room);
  if (room > 1 && p[1] == ']') return osc_length(p, room);
  size_t i = 1;
  while (i < room && p[i] >= 0x20 && p[i] <= 0x2F) ++i;
  return i < room && p[i] >= 0x30 && p[i] <= 0x7E ? i + 1 : 0;
}

}  // namespace display_width_detail

// Whether the character cp has an emoji and a text presentation sequence.
inline bool has_variation_sequences(char32_t cp) noexcept {
  using display_width_table::variation_bases;
  const auto* const end = variation_bases + sizeof variation_bases / sizeof variation_bases[0];
  const auto* at = std::lower_bound(variation_bases, end, static_cast<uint32_t>(cp));
  return at != end && *at == cp;
}

inline bool is_regional_indicator(char32_t cp) noexcept { return cp >= 0x1F1E6 && cp <= 0x1F1FF; }

namespace display_width_detail {

// What the pairs need to know of the text before a character.
struct pair_context {
  const unsigned char* start = nullptr;       // the text's first byte
  const unsigned char* escape_end = nullptr;  // where the last escape sequence ends
  const unsigned char* flag_end = nullptr;    // where an unpaired regional indicator ends
};

// The character just before a variation selector at p, or 0 when there is
// none: the end of an escape sequence is none. Well-formed UTF-8 is read
// backwards as the forward pass read it: a lead byte is never a
// continuation byte, and no sequence ends in a byte of 0x80 or above.
inline char32_t selector_base(const pair_context& c, const unsigned char* p) noexcept {
  if (p == c.start || p == c.escape_end) return 0;
  if (p[-1] < 0x80) return p[-1];
  const auto before = static_cast<size_t>(p - c.start);
  for (size_t k = 2; k <= 4 && k <= before; ++k) {
    if (const decoded d = decode_sequence(p - k, k); d.len == k) return d.cp;
  }
  return 0;
}

// The width so far with the character d at p added. The characters from
// U+FE0E on may end a pair; the others (CJK among them) just count.
inline size_t add_character(size_t width, const decoded& d, const unsigned char* p,
                            pair_context& c) noexcept {
  if (d.cp < 0xFE0E) return width + code_point_width(d.cp);
  if (d.cp == 0xFE0F || d.cp == 0xFE0E) {
    const char32_t base = selector_base(c, p);
    if (base != 0 && has_variation_sequences(base)) {
      width = width - code_point_width(base) + (d.cp == 0xFE0F ? 2 : 1);
    }
    return width;
  }
  if (is_regional_indicator(d.cp)) {
    // The second of a pair draws in the first one's two columns.
    const bool pairs = p == c.flag_end;
    c.flag_end = pairs ? nullptr : p + d.len;
    return pairs ? width : width + code_point_width(d.cp);
  }
  return width + code_point_width(d.cp);
}

// Terminal columns of the bytes from p to end, a text that starts at
// `start` (the byte before p may be the base of a variation sequence).
// Out of line, so that a text of plain ASCII costs only its fast path.
[[gnu::noinline]] inline std::size_t mixed_width(const unsigned char* start, const unsigned char* p,
                                                 const unsigned char* const end) noexcept {
  std::size_t width = 0;
  pair_context context{start};
  while (p != end) {
    const unsigned char b = *p;
    if (plain_ascii(b)) {
      const size_t ascii = ascii_prefix(p, static_cast<size_t>(end - p));
      width += ascii;
      p += ascii;
      continue;
    }
    if (b < 0x80) {
      // A control counts 1, as does an ESC that starts no sequence.
      const size_t sequence = b == escape ? escape_length(p, static_cast<size_t>(end - p)) : 0;
      width += sequence == 0 ? 1 : 0;
      p += sequence == 0 ? 1 : sequence;
      if (sequence != 0) context.escape_end = p;
      continue;
    }
    const decoded d = decode_sequence(p, static_cast<size_t>(end - p));
    if (d.len == 0) {
      width += 1;  // a byte of malformed UTF-8
      p += 1;
      continue;
    }
    width = add_character(width, d, p, context);
    p += d.len;
  }
  return width;
}

}  // namespace display_width_detail

// Terminal columns of the len bytes of UTF-8 at text (no NUL needed).
inline std::size_t display_width(const char* text, std::size_t len) noexcept {
  using namespace display_width_detail;
  const auto* p = reinterpret_cast<const unsigned char*>(text);
  const size_t ascii = ascii_prefix(p, len);
  return ascii == len ? len : ascii + mixed_width(p, p + ascii, p + len);
}

// Where the byte c (below 0x80) is in the len bytes at text outside escape
// sequences: its first place, or with `last` its last; null when it is not
// there. ESC itself matches only where it starts no sequence.
[[gnu::noinline]] inline const char* find_visible_byte(const char* text, std::size_t len,
                                                       unsigned char c, bool last) noexcept {
  using namespace display_width_detail;
  const auto* p = reinterpret_cast<const unsigned char*>(text);
  const unsigned char* const end = p + len;
  const unsigned char* hit = nullptr;
  while (p != end) {
    if (*p == escape) {
      if (const size_t sequence = escape_length(p, static_cast<size_t>(end - p)); sequence != 0) {
        p += sequence;
        continue;
      }
    }
    if (*p == c) {
      hit = p;
      if (!last) break;
    }
    ++p;
  }
  return reinterpret_cast<const char*>(hit);
}

#endif  // TABULIX_DISPLAY_WIDTH_H
