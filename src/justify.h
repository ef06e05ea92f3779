// SPDX-License-Identifier: MIT
// Placing one text in a column's width pair by its justification kind (TBLX_JUST_*).
#ifndef TABULIX_JUSTIFY_H
#define TABULIX_JUSTIFY_H

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "print_sink.h"
#include "tabulix_internal.h"

// Widths are summed in 64 bits, so no combination of halves can wrap.
inline uint64_t width_of(const column& col) noexcept {
  return uint64_t{col.width_lead} + col.width_tail;
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

// An odd blank goes after the text.
template <typename Writer>
void justify_center(Writer& out, const char* text, size_t len, uint64_t width,
                    bool pad_trailing) noexcept {
  if (width <= len) {
    out.put(text, len);
    return;
  }
  const uint64_t surplus = width - len;
  const uint64_t before = surplus / 2;
  pad(out, before);
  out.put(text, len);
  if (pad_trailing) pad(out, surplus - before);
}

// The lead ends with the alignment character at `at`.
template <typename Writer>
void justify_at_char(Writer& out, const char* text, size_t len, const char* at, uint32_t lead,
                     uint32_t tail, bool pad_trailing) noexcept {
  const uint64_t lead_share = static_cast<uint64_t>(at - text) + 1;
  const uint64_t tail_share = len - lead_share;
  if (lead_share < lead) pad(out, lead - lead_share);
  out.put(text, len);
  if (pad_trailing && tail > tail_share) pad(out, tail - tail_share);
}

// A text without the character is placed as if the character stood just
// past its end: the text ends one place before the alignment position. A
// text too long for that (one the layout did not split, such as a summary
// filler in a column whose lead is one place) ends its blanks at the
// column's edge instead of one place beyond it.
template <typename Writer>
void justify_without_char(Writer& out, const char* text, size_t len, uint32_t lead, uint32_t tail,
                          bool pad_trailing) noexcept {
  if (lead != 0 && len < lead - 1u) pad(out, lead - 1u - len);
  out.put(text, len);
  if (!pad_trailing) return;
  if (lead == 0 || len < lead) {
    pad(out, uint64_t{tail} + 1);
  } else if (const uint64_t width = uint64_t{lead} + tail; width > len) {
    pad(out, width - len);
  }
}

// Places one text of length len in the width pair of widths (width_lead,
// width_tail), aligned by kind and, for kinds 4 and 5, on the character
// justify_char. Blanks after the text are written only with pad_trailing; a
// text wider than its share is written whole with no blanks on that side.
template <typename Writer>
void print_justified(Writer& out, int32_t kind, const char* text, size_t len, const column& widths,
                     unsigned char justify_char, bool pad_trailing) noexcept {
  const uint32_t lead = widths.width_lead;
  const uint32_t tail = widths.width_tail;
  const uint64_t width = uint64_t{lead} + tail;
  switch (kind) {
    case TBLX_JUST_LEFT:
      out.put(text, len);
      if (pad_trailing && width > len) pad(out, width - len);
      return;
    case TBLX_JUST_RIGHT:
      if (width > len) pad(out, width - len);
      out.put(text, len);
      return;
    case TBLX_JUST_CENTER:
      justify_center(out, text, len, width, pad_trailing);
      return;
    case TBLX_JUST_CHAR_FIRST:
    case TBLX_JUST_CHAR_LAST:
      if (const char* at = find_justify_char(kind, text, len, justify_char)) {
        justify_at_char(out, text, len, at, lead, tail, pad_trailing);
      } else {
        justify_without_char(out, text, len, lead, tail, pad_trailing);
      }
      return;
    default:
      // The setters admit only kinds 1 to 5.
      std::abort();
  }
}

#endif  // TABULIX_JUSTIFY_H
