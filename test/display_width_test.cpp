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

// Escape sequences take no columns; bytes that only start one count as
// text, so hostile input is never under-counted.
TEST(DisplayWidth, EscapeSequences) {
  struct Case {
    std::string bytes;
    size_t width;
    const char* what;
  };
  const Case cases[] = {
      {"\x1b[31mred\x1b[0m", 3, "SGR colour and reset"},
      {"\x1b[m", 0, "SGR without parameters"},
      {"\x1b[38;2;255;0;0m中", 2, "24-bit colour before a wide character"},
      {"\x1b[?25l", 0, "private parameter byte"},
      {"\x1b[1 q", 0, "intermediate byte"},
      {"\x1b]8;;http://x.org/é\x1b\\link\x1b]8;;\x1b\\", 4, "OSC 8 link ended by ESC \\"},
      {"\x1b]0;title\x07"
       "ab",
       2, "OSC ended by BEL"},
      {"\x1b(B", 0, "charset selection (intermediate and final)"},
      {"\x1b"
       "7x\x1b"
       "8",
       1, "two-byte sequences"},
      {"\x1b", 1, "lone ESC"},
      {"\x1b\x1b[0m", 1, "ESC before a sequence"},
      {"\x1b[31", 4, "CSI cut by the end"},
      {"\x1b[3\x01m", 5, "CSI broken by a control"},
      {"\x1b[3é", 4, "CSI broken by a non-ASCII byte"},
      {"\x1b]8;;x", 6, "OSC never ended"},
      {"\x1b]8;\x1b[0m", 4, "OSC broken by another sequence"},
      {"\x1b]8;\x1b\x01", 6, "OSC with ESC but no backslash"},
      {"\x1b\x80", 2, "ESC before a stray byte"},
      {"a\x1b[1mb\x1b[0mc\x1b[4md", 4, "sequences between the words"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.width, width(c.bytes)) << c.what;
}

// The pairs that terminals draw as one emoji; other sequences still count
// code point by code point.
TEST(DisplayWidth, EmojiSequences) {
  struct Case {
    std::string text;
    size_t width;
    const char* what;
  };
  const std::string vs16 = "\uFE0F";
  const std::string vs15 = "\uFE0E";
  const std::string de = "\U0001F1E9\U0001F1EA";
  const Case cases[] = {
      {"\u2764" + vs16, 2, "red heart with VS16"},
      {"\u2714" + vs16, 2, "check mark with VS16"},
      {"\u2600" + vs16, 2, "sun with VS16"},
      {"\u2600" + vs15, 1, "sun with VS15"},
      {"\u231A" + vs15, 1, "watch (emoji by default) with VS15"},
      {"\u231A" + vs16, 2, "watch (emoji by default) with VS16"},
      {"#" + vs16, 2, "ASCII base with VS16"},
      {"1" + vs16 + "\u20E3", 2, "keycap"},
      {"x" + vs16, 1, "a base not listed, with VS16"},
      {"\u4E2D" + vs15, 2, "a wide base not listed, with VS15"},
      {vs16 + "a", 1, "VS16 at the start"},
      {"\u2764" + vs16 + vs16, 2, "VS16 twice"},
      {"\u2764\x1b[0m" + vs16, 1, "an escape sequence between"},
      {"\x1b[1m#" + vs16, 2, "an ASCII base after a sequence"},
      {"\x1b(1" + vs16, 0, "a sequence's final byte is no base"},
      {"\u2764\u0301" + vs16, 1, "a mark between"},
      {de, 2, "flag"},
      {"\U0001F1E9", 2, "lone regional indicator"},
      {de + "\U0001F1E9", 4, "three regional indicators"},
      {de + de, 4, "two flags"},
      {"\U0001F1E9a\U0001F1EA", 5, "indicators apart"},
      {"\U0001F468\u200D\U0001F469", 4, "ZWJ sequences are not joined"},
      {"\U0001F44D\U0001F3FB", 4, "nor skin tones"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.width, width(c.text)) << c.what;
}

// The alignment character is looked for outside escape sequences.
TEST(DisplayWidth, VisibleByteSkipsSequences) {
  const std::string s = "\x1b[1;2m;a;\x1b[3;4m";
  EXPECT_EQ(s.data() + 6, find_visible_byte(s.data(), s.size(), ';', false));
  EXPECT_EQ(s.data() + 8, find_visible_byte(s.data(), s.size(), ';', true));
  EXPECT_EQ(nullptr, find_visible_byte(s.data(), s.size(), 'm', false));
  const std::string lone = "\x1b[1;";  // not a sequence: its bytes are text
  EXPECT_EQ(lone.data() + 3, find_visible_byte(lone.data(), lone.size(), ';', false));
}

// One non-ASCII character at every place of ASCII texts of 0 to 40 bytes:
// the eight-byte steps and the overlapping loads at the end find it.
TEST(DisplayWidth, NonAsciiAtEveryPlace) {
  const std::pair<std::string, size_t> inserts[] = {{"é", 1},         {"中", 2}, {"\xFF", 1},
                                                    {"e\xCC\x81", 1}, {"🎉", 2},  {"\x1b[1;31m", 0},
                                                    {"\x1b\x1b[m", 1}};
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
