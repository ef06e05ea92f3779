// SPDX-License-Identifier: MIT
// Placing one text in a column's width pair by its justification kind (TBLX_JUST_*).
#ifndef TABULIX_JUSTIFY_H
#define TABULIX_JUSTIFY_H

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "display_width.h"
#include "print_sink.h"
#include "tabulix_internal.h"

// A column's width: its halves are at most the length of a text that the
// library holds, or of a title, so their sum cannot wrap.
inline uint64_t width_of(const column& col) noexcept { return col.width_lead + col.width_tail; }

// Widens a column's pair to hold a text's lead and tail.
inline void raise_widths(column& col, uint64_t lead, uint64_t tail) noexcept {
  if (lead > col.width_lead) col.width_lead = lead;
  if (tail > col.width_tail) col.width_tail = tail;
}

// The width handed to a title callback, which takes 32 bits: a wider column
// gives it the largest such width.
inline uint32_t callback_width(uint64_t width) noexcept {
  return width > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(width);
}

// Kinds 4 and 5 align texts on a character: the lead ends with it.
inline bool aligns_on_char(int32_t kind) noexcept {
  return kind == TBLX_JUST_CHAR_FIRST || kind == TBLX_JUST_CHAR_LAST;
}

// Where the alignment character of a text is: the first or the last
// occurrence, by the kind; null when the text lacks it. Measuring and
// printing both use this, so they agree on the alignment point.
inline const char* find_justify_char(int32_t kind, const char* text, size_t len,
                                     unsigned char justify_char) noexcept {
  const void* hit = kind == TBLX_JUST_CHAR_FIRST ? std::memchr(text, justify_char, len)
                                                 : tblx_memrchr__(text, justify_char, len);
  return static_cast<const char*>(hit);
}

// The two width modes: with Display, widths count the terminal columns of
// UTF-8 text, else bytes. The printer and the measuring pass are compiled
// once for each, so that counting bytes costs what it did before there was
// a choice.

// Where a text aligns on its character. When widths count terminal
// columns, a byte of 0x80 or above never matches: it could only hit a byte
// inside a character (or a malformed one); nor does a byte inside an escape
// sequence, which the terminal does not show (the ";" of ESC [ 1 ; 3 1 m).
// A text whose width (in the print's mode) is its length holds no sequence.
template <bool Display>
const char* find_alignment(int32_t kind, const char* text, size_t len, uint64_t width,
                           unsigned char justify_char) noexcept {
  if constexpr (Display) {
    if (justify_char >= 0x80) return nullptr;
    if (width != len && std::memchr(text, 0x1B, len) != nullptr) {
      return find_visible_byte(text, len, justify_char, kind == TBLX_JUST_CHAR_LAST);
    }
  }
  return find_justify_char(kind, text, len, justify_char);
}

// The width of a text: its terminal columns with Display, else its bytes.
template <bool Display>
uint64_t text_width(const char* text, size_t len) noexcept {
  if constexpr (Display) {
    return display_width(text, len);
  } else {
    return len;
  }
}

// A text to place in a column: its bytes, and the width it takes, which is
// its length unless widths count terminal columns.
struct placed_text {
  const char* text;
  size_t len;
  uint64_t width;
};

// An odd blank goes after the text. This and justify_without_char are
// always inlined: the printer places texts for both width modes, and as
// calls they would cost a print some 3 % more instructions.
template <typename Writer>
[[gnu::always_inline]] inline void justify_center(Writer& out, const placed_text& t, uint64_t width,
                                                  bool pad_trailing) noexcept {
  if (width <= t.width) {
    out.put(t.text, t.len);
    return;
  }
  const uint64_t surplus = width - t.width;
  const uint64_t before = surplus / 2;
  pad(out, before);
  out.put(t.text, t.len);
  if (pad_trailing) pad(out, surplus - before);
}

// The lead ends with the alignment character at `at`, a byte below 0x80
// with Display: the widths of the text up to it and of the rest add up.
template <bool Display, typename Writer>
void justify_at_char(Writer& out, const placed_text& t, const char* at, uint64_t lead,
                     uint64_t tail, bool pad_trailing) noexcept {
  // A text whose width is its length has one column for every byte, and so
  // has its lead.
  const auto lead_len = static_cast<size_t>(at - t.text) + 1;
  const uint64_t lead_share =
      Display && t.width != t.len ? display_width(t.text, lead_len) : lead_len;
  const uint64_t tail_share = t.width - lead_share;
  if (lead_share < lead) pad(out, lead - lead_share);
  out.put(t.text, t.len);
  if (pad_trailing && tail > tail_share) pad(out, tail - tail_share);
}

// A text without the character is placed as if the character stood just
// past its end: the text ends one place before the alignment position. A
// text too long for that (one the layout did not split, such as a summary
// filler in a column whose lead is one place) ends its blanks at the
// column's edge instead of one place beyond it.
template <typename Writer>
[[gnu::always_inline]] inline void justify_without_char(Writer& out, const placed_text& t,
                                                        uint64_t lead, uint64_t tail,
                                                        bool pad_trailing) noexcept {
  if (lead != 0 && t.width < lead - 1u) pad(out, lead - 1u - t.width);
  out.put(t.text, t.len);
  if (!pad_trailing) return;
  if (lead == 0 || t.width < lead) {
    pad(out, tail + 1);
  } else if (const uint64_t width = lead + tail; width > t.width) {
    pad(out, width - t.width);
  }
}

// Places one text in the width pair of widths (width_lead, width_tail),
// aligned by kind and, for kinds 4 and 5, on the character justify_char.
// Blanks after the text are written only with pad_trailing; a text wider
// than its share is written whole with no blanks on that side.
template <bool Display, typename Writer>
void print_justified(Writer& out, int32_t kind, const placed_text& t, const column& widths,
                     unsigned char justify_char, bool pad_trailing) noexcept {
  const uint64_t lead = widths.width_lead;
  const uint64_t tail = widths.width_tail;
  const uint64_t width = lead + tail;
  switch (kind) {
    case TBLX_JUST_LEFT:
      out.put(t.text, t.len);
      if (pad_trailing && width > t.width) pad(out, width - t.width);
      return;
    case TBLX_JUST_RIGHT:
      if (width > t.width) pad(out, width - t.width);
      out.put(t.text, t.len);
      return;
    case TBLX_JUST_CENTER:
      justify_center(out, t, width, pad_trailing);
      return;
    case TBLX_JUST_CHAR_FIRST:
    case TBLX_JUST_CHAR_LAST:
      if (const char* at = find_alignment<Display>(kind, t.text, t.len, t.width, justify_char)) {
        justify_at_char<Display>(out, t, at, lead, tail, pad_trailing);
      } else {
        justify_without_char(out, t, lead, tail, pad_trailing);
      }
      return;
    default:
      // The setters admit only kinds 1 to 5.
      std::abort();
  }
}

// print_justified of a text of length len whose width counts its bytes.
template <typename Writer>
void print_justified(Writer& out, int32_t kind, const char* text, size_t len, const column& widths,
                     unsigned char justify_char, bool pad_trailing) noexcept {
  print_justified<false>(out, kind, placed_text{text, len, len}, widths, justify_char,
                         pad_trailing);
}

#endif  // TABULIX_JUSTIFY_H
