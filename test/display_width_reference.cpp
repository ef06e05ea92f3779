// SPDX-License-Identifier: MIT
// The library's width of every code point against utf8proc_charwidth, a
// well-kept reference of the same Unicode version. Every difference must be
// one of the accepted ones below, each with its reason; an accepted one that
// no longer occurs fails too, so the list stays true.
#include <gtest/gtest.h>
#include <utf8proc.h>

#include <cstdint>
#include <iterator>

#include "display_width.h"

namespace {

bool in(char32_t cp, char32_t first, char32_t last) { return cp >= first && cp <= last; }

struct accepted {
  const char* reason;
  unsigned ours;
  unsigned theirs;
  bool (*covers)(char32_t cp, utf8proc_category_t category);
};

const accepted differences[] = {
    {"C0 and C1 controls and DEL count 1: a width is never under-counted, and the command "
     "shows them escaped",
     1, 0, [](char32_t, utf8proc_category_t c) { return c == UTF8PROC_CATEGORY_CC; }},
    {"spacing marks (Mc) advance the cursor; only nonspacing and enclosing marks are 0", 1, 0,
     [](char32_t, utf8proc_category_t c) { return c == UTF8PROC_CATEGORY_MC; }},
    {"line and paragraph separators are neither marks nor default-ignorable", 1, 0,
     [](char32_t, utf8proc_category_t c) {
       return c == UTF8PROC_CATEGORY_ZL || c == UTF8PROC_CATEGORY_ZP;
     }},
    {"format characters that are not default-ignorable are drawn (prepended concatenation "
     "marks, interlinear annotation, hieroglyph format controls)",
     1, 0, [](char32_t, utf8proc_category_t c) { return c == UTF8PROC_CATEGORY_CF; }},
    {"SOFT HYPHEN is default-ignorable", 0, 1,
     [](char32_t cp, utf8proc_category_t) { return cp == 0xAD; }},
    {"unassigned code points reserved as default-ignorable stay invisible when assigned", 0, 1,
     [](char32_t, utf8proc_category_t c) { return c == UTF8PROC_CATEGORY_CN; }},
    {"Hangul vowel and trailing jamo are drawn inside the leading jamo's two columns", 0, 1,
     [](char32_t cp, utf8proc_category_t) {
       return in(cp, 0x1160, 0x11FF) || in(cp, 0xD7B0, 0xD7FF);
     }},
    {"HANGUL FILLER is default-ignorable", 0, 2,
     [](char32_t cp, utf8proc_category_t) { return cp == 0x3164; }},
    {"the halfwidth Hangul filler is default-ignorable", 0, 1,
     [](char32_t cp, utf8proc_category_t) { return cp == 0xFFA0; }},
    {"unassigned code points of the CJK ideograph blocks and of planes 2 and 3 default to "
     "East Asian Wide",
     2, 1,
     [](char32_t cp, utf8proc_category_t c) {
       return c == UTF8PROC_CATEGORY_CN && (in(cp, 0x3400, 0x4DBF) || in(cp, 0x4E00, 0x9FFF) ||
                                            in(cp, 0xF900, 0xFAFF) || in(cp, 0x20000, 0x3FFFD));
     }},
    {"regional indicators have emoji presentation", 2, 1,
     [](char32_t cp, utf8proc_category_t) { return in(cp, 0x1F1E6, 0x1F1FF); }},
};

// Surrogates are left out: UTF-8 cannot hold them, and their bytes count as
// malformed.
TEST(DisplayWidthReference, EveryCodePointAgreesWithUtf8procOrIsAnAcceptedDifference) {
  size_t used[std::size(differences)] = {};
  for (char32_t cp = 0; cp <= 0x10FFFF; ++cp) {
    if (in(cp, 0xD800, 0xDFFF)) continue;
    const auto reference = static_cast<utf8proc_int32_t>(cp);
    const unsigned ours = code_point_width(cp);
    const auto theirs = static_cast<unsigned>(utf8proc_charwidth(reference));
    if (ours == theirs) continue;
    const utf8proc_category_t category = utf8proc_category(reference);
    size_t i = 0;
    while (i < std::size(differences) &&
           !(differences[i].ours == ours && differences[i].theirs == theirs &&
             differences[i].covers(cp, category))) {
      ++i;
    }
    if (i == std::size(differences)) {
      ADD_FAILURE() << "U+" << std::hex << static_cast<uint32_t>(cp) << ": " << ours
                    << " columns, utf8proc " << theirs << " (category "
                    << utf8proc_category_string(reference) << ")";
    } else {
      ++used[i];
    }
  }
  for (size_t i = 0; i < std::size(differences); ++i) {
    EXPECT_GT(used[i], 0u) << "no longer differs: " << differences[i].reason;
  }
}

}  // namespace
