// SPDX-License-Identifier: MIT
// Fields on several lines, string columns with a width limit, tables fitted
// to a width.
#include "lines.h"

#include <string>
#include <vector>

#include "display_width.h"
#include "support/table.h"

namespace {

using namespace support;

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  size_t at = 0;
  for (size_t feed; (feed = text.find('\n', at)) != std::string::npos; at = feed + 1) {
    lines.push_back(text.substr(at, feed - at));
  }
  return lines;
}

// Names, sizes with a sum, notes wrapped at 8, tags; a short row and a row
// whose name takes two lines; a summary text on two lines.
Table notes_table() {
  Table t = make_table({{TBLX_TYPE_STRING, "Name", 0, 0, 0, false, nullptr, 0, false, 0, nullptr,
                         nullptr, 0, "Total\nof 3"},
                        {TBLX_TYPE_INT, "Size", TBLX_JUST_RIGHT, TBLX_JUST_RIGHT, 0, true},
                        {TBLX_TYPE_STRING, "Note\n(short)", 0, 0, 0, false, nullptr, 0, false, 0,
                         nullptr, nullptr, 0, nullptr, 8, TBLX_OVERFLOW_WRAP},
                        {TBLX_TYPE_STRING, "Tag"}},
                       {{str("alpha\nbeta"), num(12), str("a long note that wraps"), str("x")},
                        {str("short")},
                        {str("g"), num(-3), str("two\nlines")}});
  EXPECT_EQ(TBLX_OK, tblx_setmultiline(t.get(), 1));
  EXPECT_EQ(TBLX_OK, tblx_setmeasuretitles(t.get(), 1));
  return t;
}

struct StyleGolden {
  int style;
  const char* expected;
};

TEST(Lines, MultiLineFieldsInEveryStyle) {
  const StyleGolden goldens[] = {
      {TBLX_STYLE_SIMPLE,
       "Name  Size Note    Tag\n"
       "           (short)\n"
       "alpha   12 a long  x\n"
       "beta       note\n"
       "           that\n"
       "           wraps\n"
       "short\n"
       "g       -3 two\n"
       "           lines\n"
       "Total    9          \n"
       "of 3\n"},
      {TBLX_STYLE_FANCY,
       "Name |Size|Note   |Tag\n"
       "     |    |(short)|\n"
       "-----+----+-------+---\n"
       "alpha|  12|a long |x\n"
       "beta |    |note   |\n"
       "     |    |that   |\n"
       "     |    |wraps  |\n"
       "short|    |       |\n"
       "g    |  -3|two    |\n"
       "     |    |lines  |\n"
       "-----+----+-------+---\n"
       "Total|   9|       | \n"
       "of 3 |    |       |\n"},
      {TBLX_STYLE_FANCYW,
       "Name  | Size | Note    | Tag\n"
       "      |      | (short) | \n"
       "------+------+---------+----\n"
       "alpha |   12 | a long  | x\n"
       "beta  |      | note    | \n"
       "      |      | that    | \n"
       "      |      | wraps   | \n"
       "short |      |         | \n"
       "g     |   -3 | two     | \n"
       "      |      | lines   | \n"
       "------+------+---------+----\n"
       "Total |    9 |         |  \n"
       "of 3  |      |         | \n"},
      // Raw writes texts as they are.
      {TBLX_STYLE_RAW,
       "Name Size Note\n(short) Tag\n"
       "alpha\nbeta 12 a long note that wraps x\n"
       "short\n"
       "g -3 two\nlines\n"
       "Total\nof 3 9 - -\n"},
  };
  for (const StyleGolden& g : goldens) {
    Table t = notes_table();
    ASSERT_EQ(TBLX_OK, tblx_setstyle(t.get(), g.style));
    EXPECT_EQ(g.expected, print_to_string(t.get())) << "style " << g.style;
  }
}

// A number column's title and summary text on two lines are as wide as
// their widest line, as its numbers are measured.
TEST(Lines, NumberColumnsWithTitlesAndSummariesOnTwoLines) {
  Table t = make_table({{TBLX_TYPE_INT, "Size\n(bytes)", 0, TBLX_JUST_RIGHT, 0, true},
                        {TBLX_TYPE_UINT, "N", 0, TBLX_JUST_RIGHT, 0, false, nullptr, 0, false, 0,
                         nullptr, nullptr, 0, "all\nrows"}},
                       {{num(1200), unum(3)}, {num(-7), blank()}});
  ASSERT_EQ(TBLX_OK, tblx_setmultiline(t.get(), 1));
  ASSERT_EQ(TBLX_OK, tblx_setmeasuretitles(t.get(), 1));
  EXPECT_EQ(print_to_string(t.get()),
            "Size    N\n"
            "(bytes)\n"
            "   1200    3\n"
            "     -7     \n"
            "   1193  all\n"
            "        rows\n");
}

// ---- cut and wrap ------------------------------------------------------------

// Whether the bytes hold whole characters and whole escape sequences only:
// a line never starts or ends inside one.
bool whole_units(const std::string& text) {
  using namespace display_width_detail;
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const unsigned char* const end = p + text.size();
  while (p != end) {
    const auto room = static_cast<size_t>(end - p);
    size_t n = 1;
    if (*p == escape) {
      n = escape_length(p, room);
    } else if (*p >= 0x80) {
      n = decode_sequence(p, room).len;
    }
    if (n == 0) return false;
    p += n;
  }
  return true;
}

// How many characters (with what a terminal draws with them) the bytes hold.
int visible_units(const std::string& text, bool display) {
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const unsigned char* const end = p + text.size();
  int count = 0;
  while (p != end) {
    const line_detail::text_unit u = line_detail::next_unit(p, end, display);
    count += u.escape && display ? 0 : 1;
    p += u.len;
  }
  return count;
}

struct StringWriter {
  std::string text;
  void put(const char* bytes, size_t n) { text.append(bytes, n); }
};

std::string without_blanks(std::string text) {
  std::erase(text, ' ');
  return text;
}

TEST(Lines, CutAndWrapKeepEveryLineWithinTheWidth) {
  const std::string texts[] = {
      "The quick brown fox jumps over the lazy dog",
      "\xE6\xBC\xA2\xE5\xAD\x97\xE3\x81\xAE\xE6\x96\x87\xE7\xAB\xA0 "
      "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\xE3\x81\xA7\xE3\x81\x99",  // 漢字の文章 日本語です
      "\x1B[31mred alert\x1B[0m and \x1B[1mbold words\x1B[0m here",
      "flag \xF0\x9F\x87\xA9\xF0\x9F\x87\xAA ok \xE2\x98\xBA\xEF\xB8\x8F caf\x65\xCC\x81s",
  };
  for (const bool display : {true, false}) {
    for (const bool wrap : {false, true}) {
      for (uint64_t cap = 1; cap <= 12; ++cap) {
        for (const std::string& text : texts) {
          const std::string where = std::string(display ? "display" : "bytes") +
                                    (wrap ? " wrap " : " cut ") + std::to_string(cap) + ": " + text;
          const line_rules rules{true, wrap, display, cap};
          line_cursor cursor{};
          cursor.start(text.data(), text.size());
          std::string kept;
          int lines = 0;
          while (cursor.more) {
            const line_piece piece = next_line(cursor, rules);
            ++lines;
            StringWriter line;
            put_line(line, piece);
            const std::string own(piece.text, piece.len);
            EXPECT_TRUE(whole_units(own)) << where;
            const uint64_t width =
                display ? display_width(line.text.data(), line.text.size()) : line.text.size();
            EXPECT_EQ(piece.width, display ? width : own.size() + piece.mark_len) << where;
            // Only a character wider than the width may stand alone beyond it.
            if (width > cap) {
              EXPECT_TRUE(wrap && visible_units(own, display) == 1)
                  << where << " [" << line.text << "]";
            }
            if (display && own.find('\x1B') != std::string::npos && cursor.more) {
              EXPECT_TRUE(line.text.ends_with("\x1B[0m")) << where;
            }
            kept += own;
          }
          if (wrap) {
            EXPECT_EQ(without_blanks(text), without_blanks(kept)) << where;
          } else {
            EXPECT_EQ(1, lines) << where;
            EXPECT_TRUE(text.starts_with(kept)) << where;
          }
        }
      }
    }
  }
}

TEST(Lines, CutMarksAndWrappedStyles) {
  struct Case {
    const char* text;
    line_rules rules;
    const char* expected;  // the lines put_line writes, each ended by "|"
  };
  const Case cases[] = {
      {"abcdef", {false, false, false, 4}, "a...|"},
      {"abcdef", {false, false, false, 2}, "..|"},
      {"abcdef", {false, false, true, 4}, "abc\xE2\x80\xA6|"},
      {"ab\ncdefgh", {true, false, true, 4}, "ab|cde\xE2\x80\xA6|"},
      {"ab\ncdefgh", {false, false, true, 4}, "ab\n\xE2\x80\xA6|"},
      {"one two  three", {true, true, true, 5}, "one|two|three|"},
      {"\x1B[31mred text\x1B[0m", {true, true, true, 4}, "\x1B[31mred\x1B[0m|\x1B[31mtext\x1B[0m|"},
      {"\x1B[31mred text\x1B[0m", {true, false, true, 5}, "\x1B[31mred \xE2\x80\xA6\x1B[0m|"},
      {"\x1B[1mbold\x1B[0m plain", {true, true, true, 5}, "\x1B[1mbold\x1B[0m\x1B[0m|plain|"},
      {"  indented words", {true, true, false, 8}, "  indent|ed words|"},
  };
  for (const Case& c : cases) {
    line_cursor cursor{};
    cursor.start(c.text, std::strlen(c.text));
    StringWriter out;
    while (cursor.more) {
      put_line(out, next_line(cursor, c.rules));
      out.text += '|';
    }
    EXPECT_EQ(c.expected, out.text) << c.text;
  }
}

// ---- the setters --------------------------------------------------------------

TEST(Lines, SettersRefuseWhatTheyCannotDo) {
  Table open = make_open_header({});
  ASSERT_EQ(TBLX_OK, tblx_begincolumn(open.get(), TBLX_TYPE_INT));
  EXPECT_EQ(TBLX_ERR_INVALID_ARGUMENT, tblx_setcolumn_maxwidth(open.get(), 5, TBLX_OVERFLOW_CUT));
  ASSERT_EQ(TBLX_OK, tblx_endcolumn(open.get()));
  ASSERT_EQ(TBLX_OK, tblx_begincolumn(open.get(), TBLX_TYPE_STRING));
  EXPECT_EQ(TBLX_ERR_INVALID_ARGUMENT, tblx_setcolumn_maxwidth(open.get(), 5, 2));
  EXPECT_EQ(TBLX_OK, tblx_setcolumn_maxwidth(open.get(), 5, TBLX_OVERFLOW_WRAP));
  ASSERT_EQ(TBLX_OK, tblx_endcolumn(open.get()));
  EXPECT_EQ(TBLX_ERR_NO_OPEN_COLUMN, tblx_setcolumn_maxwidth(open.get(), 5, TBLX_OVERFLOW_CUT));
  ASSERT_EQ(TBLX_OK, tblx_endheader(open.get()));
  EXPECT_EQ(TBLX_ERR_HEADER_ENDED, tblx_setcolumn_maxwidth(open.get(), 5, TBLX_OVERFLOW_CUT));
  EXPECT_EQ(TBLX_ERR_INVALID_ARGUMENT, tblx_setmultiline(nullptr, 1));
  EXPECT_EQ(TBLX_ERR_INVALID_ARGUMENT, tblx_setmaxwidth(nullptr, 80));
  // Cleaning drops the limited columns: the table prints on one line a row again.
  tblx_clean(open.get());
  EXPECT_EQ(0u, open->capped_columns);
}

// ---- fitting a table to a width ------------------------------------------------

const char* const package_titles[] = {
    "Package",  "Version",  "Arch",        "Size",    "Installed", "Maintainer", "Section",
    "Priority", "Homepage", "Description", "Depends", "Date",      "Downloads",  "Score"};

Table packages_table() {
  std::vector<ColDef> cols;
  for (const char* title : package_titles) {
    const std::string t = title;
    const bool number = t == "Size" || t == "Installed" || t == "Downloads" || t == "Score";
    // Versions align on their first point, under a title justified right.
    const bool version = t == "Version";
    cols.push_back({number ? unsigned{TBLX_TYPE_UINT} : unsigned{TBLX_TYPE_STRING}, title,
                    version ? TBLX_JUST_RIGHT : 0u,
                    number    ? TBLX_JUST_RIGHT
                    : version ? TBLX_JUST_CHAR_FIRST
                              : 0u});
  }
  const auto package = [](const char* name, const char* version, uint64_t size,
                          const char* maintainer, const char* description, const char* depends,
                          uint64_t downloads) {
    return std::vector<Val>{
        str(name),        str(version),        str("amd64"),
        unum(size),       unum(size * 4),      str(maintainer),
        str("utils"),     str("optional"),     str(std::string("https://example.org/") + name),
        str(description), str(depends),        str("2024-03-17"),
        unum(downloads),  unum(downloads % 97)};
  };
  Table t = make_table(
      cols, {package("coreutils", "9.4-3.1", 2876, "Michael Stone <mstone@example.org>",
                     "GNU core utilities: basic file, shell and text manipulation utilities",
                     "libacl1 (>= 2.2.23), libattr1 (>= 1:2.4.44), libc6 (>= 2.38)", 98442211),
             package("zlib1g", "1:1.3.dfsg-3.1", 168, "Mark Brown <broonie@example.org>",
                     "compression library - runtime", "libc6 (>= 2.14)", 77102934),
             package("python3-numpy", "1:1.26.4+ds-6", 29041,
                     "Debian Python Team <team+python@example.org>",
                     "Fast array facility to the Python 3 language",
                     "python3 (<< 3.13), python3 (>= 3.11~), libblas3 | libblas.so.3", 4410211)});
  EXPECT_EQ(TBLX_OK, tblx_setwidthmode(t.get(), TBLX_WIDTH_DISPLAY));
  EXPECT_EQ(TBLX_OK, tblx_setmeasuretitles(t.get(), 1));
  return t;
}

TEST(Lines, FittingKeepsLinesWithinTheWidthAndNamesTheColumnsLeftOut) {
  for (const int style : {TBLX_STYLE_SIMPLE, TBLX_STYLE_FANCYW}) {
    Table natural = packages_table();
    ASSERT_EQ(TBLX_OK, tblx_setstyle(natural.get(), style));
    const std::string whole = print_to_string(natural.get());
    for (const unsigned limit : {20u, 40u, 80u, 200u, 400u}) {
      const std::string where =
          "style " + std::to_string(style) + ", width " + std::to_string(limit);
      Table t = packages_table();
      ASSERT_EQ(TBLX_OK, tblx_setstyle(t.get(), style));
      ASSERT_EQ(TBLX_OK, tblx_setmaxwidth(t.get(), limit));
      const std::string out = print_to_string(t.get());
      const std::vector<std::string> lines = lines_of(out);
      for (const std::string& line : lines) {
        EXPECT_LE(display_width(line.data(), line.size()), limit) << where << "\n" << out;
      }
      // The title line shows the first columns whole, up to their separator.
      const std::string& titles = lines.front();
      size_t shown = 0;
      while (shown < std::size(package_titles) &&
             titles.find(package_titles[shown]) != std::string::npos) {
        ++shown;
      }
      if (shown == std::size(package_titles)) {
        EXPECT_EQ(std::string::npos, out.find("more column")) << where;
        // A table that fits prints as it does without the limit.
        if (limit == 400) {
          EXPECT_EQ(whole, out) << where;
        }
        continue;
      }
      std::string note =
          "\xE2\x80\xA6 " + std::to_string(std::size(package_titles) - shown) + " more columns: ";
      for (size_t i = shown; i < std::size(package_titles); ++i) {
        note += package_titles[i];
        if (i + 1 < std::size(package_titles)) note += ", ";
      }
      const std::string& last = lines.back();
      if (display_width(note.data(), note.size()) <= limit) {
        EXPECT_EQ(note, last) << where;
      } else {
        ASSERT_TRUE(last.ends_with("\xE2\x80\xA6")) << where;
        EXPECT_TRUE(note.starts_with(last.substr(0, last.size() - 3))) << where << "\n" << out;
        EXPECT_EQ(limit, display_width(last.data(), last.size())) << where;
      }
    }
  }
}

}  // namespace
