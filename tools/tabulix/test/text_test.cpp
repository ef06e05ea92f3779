// SPDX-License-Identifier: MIT
// Texts as a table line shows them: escapes, widths, and cutting to a width.
#include "text.hpp"

#include <gtest/gtest.h>

#include <string>

#include "color.hpp"

namespace {

using tabulix::cli::cut_to_width;
using tabulix::cli::look_at;
using tabulix::cli::width_unit;

TEST(Text, LookAtFindsEscapesAndWidths) {
  struct test_case {
    std::string text;
    bool escape;
    std::size_t columns;
    std::size_t bytes;
  };
  const test_case cases[] = {
      {"", false, 0, 0},
      {"plain ascii text, longer than eight", false, 35, 35},
      {"tab\there", true, 9, 9},  // shown as \t
      {"del\x7F", true, 7, 7},    // shown as \x7f
      {"bell\x07 and more text", true, 22, 22},
      {"M\xC3\xBCnchen", false, 7, 8},  // ü: one column, two bytes
      {"\xE2\x80\xA6", false, 1, 3},    // …
      // C1 controls, U+0080 to U+009F, are escaped as \xHH too: U+009B is a
      // terminal's CSI. U+00A0 is not one.
      {"csi\xC2\x9B"
       "2J",
       true, 9, 9},
      {"\xC2\x80\xC2\x9F", true, 8, 8},
      {"\xC2\xA0", false, 1, 2},
      // Pairs count as the library counts them; an ESC in the input is shown
      // as \x1b, so what follows it is text.
      {"\xE2\x9D\xA4\xEF\xB8\x8F ok", false, 5, 9},
      {"\xF0\x9F\x87\xA9\xF0\x9F\x87\xAA\t", true, 4, 10},
      {"\x1b[31mred", true, 11, 11},
  };
  for (const auto& c : cases) {
    const auto columns = look_at(c.text, true, width_unit::columns);
    EXPECT_EQ(columns.escape, c.escape) << c.text;
    EXPECT_EQ(columns.width, c.columns) << c.text;
    EXPECT_EQ(look_at(c.text, true, width_unit::bytes).width, c.bytes) << c.text;
    // The bytes as shown, whether measured or not.
    std::string buffer;
    EXPECT_EQ(look_at(c.text, false, width_unit::columns).size,
              std::string_view(tabulix::cli::printable(c.text.c_str(), buffer)).size())
        << c.text;
  }
}

TEST(Text, PrintableEscapesControlCharacters) {
  std::string buffer;
  EXPECT_STREQ(tabulix::cli::printable("a\n\x1b[0m\x7F\xC2\x9B"
                                       "2J\xC2\x85\xC2\xA0\xC3\xA9",
                                       buffer),
               "a\\n\\x1b[0m\\x7f\\x9b"
               "2J\\x85\xC2\xA0\xC3\xA9");
}

TEST(Text, CutsBetweenCharactersAndEndsInAnEllipsis) {
  struct test_case {
    const char* text;
    std::size_t width;
    width_unit unit;
    const char* expected;
  };
  const test_case cases[] = {
      {"short", 5, width_unit::columns, "short"},
      {"longer", 5, width_unit::columns, "long\xE2\x80\xA6"},
      {"longer", 1, width_unit::columns, "\xE2\x80\xA6"},
      {"M\xC3\xBCnchen", 4, width_unit::columns, "M\xC3\xBCn\xE2\x80\xA6"},
      {"M\xC3\xBCnchen", 8, width_unit::bytes, "M\xC3\xBCnchen"},
      // CJK characters take two columns each, and are never split.
      {"\xE6\x9D\xB1\xE4\xBA\xAC\xE5\xA4\xA7\xE5\xAD\xA6", 5, width_unit::columns,
       "\xE6\x9D\xB1\xE4\xBA\xAC\xE2\x80\xA6"},
      {"\xE6\x9D\xB1\xE4\xBA\xAC\xE5\xA4\xA7\xE5\xAD\xA6", 4, width_unit::columns,
       "\xE6\x9D\xB1\xE2\x80\xA6"},
      // In bytes the ellipsis takes three, and ü is not split.
      {"M\xC3\xBCnchen", 5, width_unit::bytes, "M\xE2\x80\xA6"},
      {"M\xC3\xBCnchen", 6, width_unit::bytes, "M\xC3\xBC\xE2\x80\xA6"},
      // A heart with U+FE0F takes two columns, a flag two; neither is split.
      {"\xE2\x9D\xA4\xEF\xB8\x8Fxyz", 3, width_unit::columns,
       "\xE2\x9D\xA4\xEF\xB8\x8F\xE2\x80\xA6"},
      {"\xE2\x9D\xA4\xEF\xB8\x8Fxyz", 2, width_unit::columns, "\xE2\x80\xA6"},
      {"\xF0\x9F\x87\xA9\xF0\x9F\x87\xAAxyz", 3, width_unit::columns,
       "\xF0\x9F\x87\xA9\xF0\x9F\x87\xAA\xE2\x80\xA6"},
      {"\xF0\x9F\x87\xA9\xF0\x9F\x87\xAA!", 3, width_unit::columns,
       "\xF0\x9F\x87\xA9\xF0\x9F\x87\xAA!"},
  };
  for (const auto& c : cases) {
    std::string buffer;
    EXPECT_EQ(cut_to_width(c.text, c.width, c.unit, buffer), c.expected)
        << c.text << " to " << c.width;
  }
}

}  // namespace

TEST(Text, FindsTheCharacterDrawnInAColumn) {
  using tabulix::cli::offset_at_width;
  constexpr auto none = std::string_view::npos;
  struct test_case {
    const char* text;
    std::size_t width;
    width_unit unit;
    std::size_t expected;
  };
  const test_case cases[] = {
      {"ab|c", 2, width_unit::columns, 2},
      {"ab", 2, width_unit::columns, none},  // the text ends first
      // 東 takes columns 0 and 1: column 1 starts no character.
      {"\xE6\x9D\xB1|", 1, width_unit::columns, none},
      {"\xE6\x9D\xB1|", 2, width_unit::columns, 3},
      {"\xE6\x9D\xB1|", 3, width_unit::bytes, 3},
      // A combining accent belongs to the e before it.
      {"e\xCC\x81|", 1, width_unit::columns, 3},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(offset_at_width(c.text, c.width, c.unit), c.expected) << c.text << " at " << c.width;
  }
}

TEST(Text, PaintsSeparatorsWhereTheRuleHasJunctions) {
  using tabulix::cli::line_kind;
  const tabulix::cli::painter paint("---+---+--", width_unit::bytes);
  std::string out;
  // In bytes, the two-byte ü moves the separator one column on: the bar
  // written inside the text is left alone.
  paint.paint("|\xC3\xBC|a|b|-", line_kind::cells, out);
  EXPECT_EQ(out,
            "|\xC3\xBC\x1b[2m|\x1b[0m"
            "a|b\x1b[2m|\x1b[0m-");
  out.clear();
  paint.paint("ab", line_kind::titles, out);  // a short line: bold only
  EXPECT_EQ(out,
            "\x1b[1m"
            "ab\x1b[0m");
}
