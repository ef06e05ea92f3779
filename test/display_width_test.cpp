// SPDX-License-Identifier: MIT
// The width of UTF-8 texts: the decoder, malformed bytes, the ASCII path's
// word boundaries and the width classes of code points.
#include "display_width.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string utf8(char32_t cp) {
  std::string s;
  if (cp < 0x80) {
    s += static_cast<char>(cp);
  } else if (cp < 0x800) {
    s += static_cast<char>(0xC0 | cp >> 6);
    s += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    s += static_cast<char>(0xE0 | cp >> 12);
    s += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
    s += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    s += static_cast<char>(0xF0 | cp >> 18);
    s += static_cast<char>(0x80 | (cp >> 12 & 0x3F));
    s += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
    s += static_cast<char>(0x80 | (cp & 0x3F));
  }
  return s;
}

size_t width(const std::string& s) { return display_width(s.data(), s.size()); }

TEST(DisplayWidth, CodePointClasses) {
  struct Case {
    char32_t cp;
    unsigned width;
    const char* what;
  };
  const Case cases[] = {
      {'a', 1, "ASCII"},
      {0x07, 1, "C0 control"},
      {0x85, 1, "C1 control"},
      {0xE9, 1, "precomposed e acute"},
      {0x301, 0, "combining acute accent (Mn)"},
      {0x20DD, 0, "combining enclosing circle (Me)"},
      {0x903, 1, "spacing mark (Mc)"},
      {0xAD, 0, "soft hyphen (default-ignorable)"},
      {0x200B, 0, "zero width space"},
      {0x200C, 0, "zero width non-joiner"},
      {0x200D, 0, "zero width joiner"},
      {0xFE0F, 0, "variation selector 16"},
      {0xE0100, 0, "variation selector 17"},
      {0xE0001, 0, "language tag"},
      {0x1100, 2, "Hangul leading jamo"},
      {0x115F, 2, "Hangul choseong filler, the start of a syllable block"},
      {0x1160, 0, "Hangul vowel jamo"},
      {0x11A8, 0, "Hangul trailing jamo"},
      {0xD7B0, 0, "Hangul vowel jamo, extended"},
      {0xAC00, 2, "Hangul syllable"},
      {0x4E00, 2, "CJK ideograph"},
      {0x3000, 2, "ideographic space (F)"},
      {0xFF21, 2, "fullwidth A"},
      {0xFF76, 1, "halfwidth katakana"},
      {0x9FFF, 2, "unassigned in the CJK block"},
      {0x3FFFD, 2, "unassigned in plane 3"},
      {0x1F389, 2, "emoji with emoji presentation"},
      {0x1F1E6, 2, "regional indicator"},
      {0x2764, 1, "emoji with text presentation"},
      {0x1F3FB, 2, "skin tone modifier"},
      {0x2028, 1, "line separator"},
      {0xE000, 1, "private use"},
      {0x10FFFF, 1, "last code point"},
      {0x110000, 1, "beyond Unicode"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.width, code_point_width(c.cp)) << c.what;
}

// Every code point's UTF-8 decodes to the width of the code point.
TEST(DisplayWidth, EveryCodePointDecodes) {
  for (char32_t cp = 0; cp <= 0x10FFFF; ++cp) {
    if (cp >= 0xD800 && cp <= 0xDFFF) continue;
    ASSERT_EQ(code_point_width(cp), width(utf8(cp))) << static_cast<uint32_t>(cp);
  }
}

// Each byte of malformed UTF-8 counts one column.
TEST(DisplayWidth, MalformedBytesCountOneEach) {
  struct Case {
    std::string bytes;
    size_t width;
    const char* what;
  };
  const Case cases[] = {
      {"\x80", 1, "stray continuation byte"},
      {"\xC3", 1, "lead byte at the end"},
      {"\xC3"
       "a",
       2, "lead byte before ASCII"},
      {"\xE4\xB8", 2, "three-byte sequence cut short"},
      {"\xE4\xB8\xAD", 2, "the whole sequence (U+4E2D)"},
      {"\xF0\x9F\x8E", 3, "four-byte sequence cut short"},
      {"\xC0\x80", 2, "overlong NUL"},
      {"\xC1\xBF", 2, "overlong two-byte form"},
      {"\xE0\x80\xAF", 3, "overlong three-byte form"},
      {"\xF0\x80\x80\xAF", 4, "overlong four-byte form"},
      {"\xED\xA0\x80", 3, "surrogate"},
      {"\xF4\x90\x80\x80", 4, "beyond U+10FFFF"},
      {"\xF5\x80\x80\x80", 4, "F5 lead byte"},
      {"\xFF\xFE", 2, "FF and FE"},
      {"\xE4\xB8\xE4\xB8\xAD", 4, "a cut sequence, then a whole one"},
      {"\xCC\x81", 0, "a combining mark alone"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.width, width(c.bytes)) << c.what;
}

// One non-ASCII character at every place of ASCII texts of 0 to 40 bytes:
// the eight-byte steps and the overlapping loads at the end find it.
TEST(DisplayWidth, NonAsciiAtEveryPlace) {
  const std::pair<std::string, size_t> inserts[] = {
      {"é", 1}, {"中", 2}, {"\xFF", 1}, {"e\xCC\x81", 1}, {"🎉", 2}};
  for (size_t n = 0; n <= 40; ++n) {
    const std::string ascii(n, 'x');
    EXPECT_EQ(n, width(ascii)) << n;
    for (size_t at = 0; at <= n; ++at) {
      for (const auto& [text, w] : inserts) {
        std::string s = ascii;
        s.insert(at, text);
        ASSERT_EQ(n + w, width(s)) << n << " at " << at << ": " << s;
      }
    }
  }
}

}  // namespace
