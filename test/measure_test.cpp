// SPDX-License-Identifier: MIT
// The measuring pass keeps extremes and longest lengths for the first
// columns and measures further columns cell by cell; the printer works out
// its per-column settings for the first columns once. Both ways must give
// the same widths and the same bytes.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "support/table.h"

namespace {

using namespace support;

// Measures without writing: a print with no section selected.
void measure(tblx_table* t) {
  capture([&](FILE* s) { EXPECT_EQ(TBLX_OK, tblx_print(t, 0, s)); });
}

TEST(Measure, SignedWidthComesFromEitherExtreme) {
  struct Case {
    std::vector<int64_t> values;
    uint32_t width;
  };
  const Case cases[] = {
      {{-9, 100}, 3},  // the largest value is the longest
      {{-100, 9}, 4},  // the smallest value is
      {{5, 7}, 1},    {{-1, -22, -3}, 3}, {{INT64_MIN, INT64_MAX}, 20},
  };
  for (const Case& c : cases) {
    Rows rows;
    for (int64_t v : c.values) rows.push_back({num(v)});
    Table t = make_table({{.type = TBLX_TYPE_INT, .suffix = "ms"}}, rows);
    measure(t.get());
    EXPECT_EQ(width_pair(c.width + 2, 0u), widths(t.get(), 0)) << c.values.front();
  }
}

// A text whose length does not fit a 32-bit count, signed or not, counts
// whole. The stored length is forged here: a left-justified text's bytes
// are not read when widths count bytes.
TEST(Measure, LongTextCountsWhole) {
  Table t = make_table({{TBLX_TYPE_STRING}}, {{str("ab")}, {str("abcdef")}});
  auto* forged = const_cast<cell*>(first_cell(t->rows->next));
  const uint32_t real = forged->str.len;
  for (uint32_t len : {0x80000000u, UINT32_MAX}) {
    forged->str.len = len;
    force_remeasure(t.get());
    measure(t.get());
    EXPECT_EQ(len, widths(t.get(), 0).first) << len;
  }
  forged->str.len = real;
}

// Twenty copies of the same columns: every copy, including those past the
// first sixteen, gets the same width and prints the same field.
TEST(Measure, ColumnsBeyondTheFirstSixteenMatchTheFirst) {
  const ColDef kinds[] = {
      {.type = TBLX_TYPE_INT, .cell_just = TBLX_JUST_RIGHT, .suffix = " s"},
      {.type = TBLX_TYPE_STRING, .cell_just = TBLX_JUST_CHAR_LAST, .just_char = ','},
      {.type = TBLX_TYPE_HEX, .zeros = true},
      {.type = TBLX_TYPE_STRING},
      {.type = TBLX_TYPE_UINT, .cell_just = TBLX_JUST_CENTER, .sum = true},
  };
  const std::vector<Val> values[] = {
      {num(-42), str("1,5"), hex(0xff), str("abc"), unum(7)},
      {num(123456), str("12,"), hex(0x1), str(""), unum(1234)},
      {num(0), str("x"), hex(0xabcdef), str("longer text"), unum(99)},
  };
  constexpr size_t copies = 20;
  std::vector<ColDef> cols;
  Rows rows(std::size(values));
  for (size_t k = 0; k < copies; ++k) {
    cols.push_back(kinds[k % std::size(kinds)]);
    for (size_t r = 0; r < rows.size(); ++r) rows[r].push_back(values[r][k % std::size(kinds)]);
  }
  Table t = make_table(cols, rows);
  ASSERT_EQ(TBLX_OK, tblx_setstyle(t.get(), TBLX_STYLE_FANCY));
  const std::string out = print_to_string(t.get());
  for (size_t k = std::size(kinds); k < copies; ++k) {
    EXPECT_EQ(widths(t.get(), k % std::size(kinds)), widths(t.get(), k)) << k;
  }
  // Every line is the same group of five fields repeated, separated by '|'.
  size_t begin = 0;
  while (begin < out.size()) {
    const size_t end = out.find('\n', begin);
    const std::string line = out.substr(begin, end - begin);
    begin = end + 1;
    if (line.find_first_not_of("-+") == std::string::npos) continue;  // a rule
    std::vector<std::string> fields;
    for (size_t from = 0;;) {
      const size_t bar = line.find('|', from);
      fields.push_back(line.substr(from, bar - from));
      if (bar == std::string::npos) break;
      from = bar + 1;
    }
    ASSERT_EQ(copies, fields.size()) << line;
    for (size_t k = std::size(kinds); k < copies - 1; ++k) {
      EXPECT_EQ(fields[k % std::size(kinds)], fields[k]) << line;
    }
  }
}

}  // namespace
