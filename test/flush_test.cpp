// SPDX-License-Identifier: MIT
// Streaming with tblx_flushrows: several flushes and a final summary, byte
// for byte, and what a frozen layout refuses, keeps and gives back.
#include <string>

#include "support/table.h"

namespace {

using namespace support;

constexpr unsigned SUMMARY = TBLX_PRINT_SUM_RULE | TBLX_PRINT_SUM;

Table sizes() {
  return make_table(
      {{TBLX_TYPE_STRING, "Name"},
       {.type = TBLX_TYPE_UINT, .title = "Size", .cell_just = TBLX_JUST_RIGHT, .sum = true},
       {.type = TBLX_TYPE_DOUBLE, .title = "Share", .sum = true}},
      {{str("alpha"), unum(1200), dbl(0.5)}, {str("b"), unum(35), dbl(0.25)}});
}

Table sizes_wrapped() {
  Table t = make_table(
      {{.type = TBLX_TYPE_STRING, .title = "Name", .max_width = 40, .overflow = TBLX_OVERFLOW_WRAP},
       {.type = TBLX_TYPE_UINT, .title = "Size", .cell_just = TBLX_JUST_RIGHT, .sum = true}},
      {{str("alpha"), unum(1200)}, {str("b"), unum(35)}});
  EXPECT_EQ(TBLX_OK, tblx_setmultiline(t.get(), 1));
  return t;
}

// Texts placed left, right and on their point: only the first are cut.
Table texts_aligned() {
  return make_table(
      {{TBLX_TYPE_STRING, "Name"},
       {.type = TBLX_TYPE_STRING, .title = "Code", .cell_just = TBLX_JUST_RIGHT},
       {.type = TBLX_TYPE_STRING, .title = "Price", .cell_just = TBLX_JUST_CHAR_FIRST}},
      {{str("a"), str("x1"), str("1.5")}, {str("bb"), str("y22"), str("12.25")}});
}

template <int Format>
Table sizes_in() {
  Table t = sizes();
  EXPECT_EQ(TBLX_OK, tblx_setformat(t.get(), Format));
  return t;
}

// Two batches of rows flushed after the first flush, then a print.
struct FlushGolden {
  const char* name;
  Table (*setup)();
  int style;
  int32_t width_mode;
  Rows batches[2];
  unsigned final_flags;
  const char* expected;
};

const Rows later_sizes[2] = {
    {{str("a name much too long"), unum(5), dbl(1)}, {str("c"), unum(123456789), dbl(-2)}},
    {{str("d")}}};

const FlushGolden flush_goldens[] = {
    {"titles once, cut text, long number pushing, summary of all rows",
     sizes,
     TBLX_STYLE_FANCY,
     TBLX_WIDTH_BYTES,
     {later_sizes[0], later_sizes[1]},
     SUMMARY,
     "Name |Size|Share\n"
     "-----+----+----\n"
     "alpha|1200|0.5 \n"
     "b    |  35|0.25\n"
     "a ...|   5|1   \n"
     "c    |123456789|-2  \n"
     "d    |    |\n"
     "-----+----+----\n"
     "     |123458029|-0.25\n"},
    {"display widths cut on a character",
     sizes,
     TBLX_STYLE_SIMPLE,
     TBLX_WIDTH_DISPLAY,
     {{{str("東京都庁"), unum(1), dbl(0)}}, {{str("ab\xC3\xA9xyz"), unum(2), dbl(0)}}},
     SUMMARY,
     "Name  Size Share\n"
     "alpha 1200 0.5 \n"
     "b       35 0.25\n"
     "東京…    1 0   \n"
     "abéx…    2 0   \n"
     "      1238 0.75\n"},
    {"multi-line wraps at the frozen width",
     sizes_wrapped,
     TBLX_STYLE_FANCYW,
     TBLX_WIDTH_BYTES,
     {{{str("one two three"), unum(7)}}, {}},
     SUMMARY,
     "Name  | Size\n"
     "------+-----\n"
     "alpha | 1200\n"
     "b     |   35\n"
     "one   |    7\n"
     "two   | \n"
     "three | \n"
     "------+-----\n"
     "      | 1242\n"},
    {"raw cuts nothing",
     sizes,
     TBLX_STYLE_RAW,
     TBLX_WIDTH_BYTES,
     {later_sizes[0], later_sizes[1]},
     SUMMARY,
     "Name Size Share\n"
     "alpha 1200 0.5\n"
     "b 35 0.25\n"
     "a name much too long 5 1\n"
     "c 123456789 -2\n"
     "d\n"
     "- 123458029 -0.25\n"},
    {"texts justified right or on a character written whole",
     texts_aligned,
     TBLX_STYLE_FANCY,
     TBLX_WIDTH_BYTES,
     {{{str("a long name"), str("z-long-code"), str("1234.5")}}, {}},
     SUMMARY,
     "Name|Code|Price\n"
     "--+---+-----\n"
     "a | x1| 1.5\n"
     "bb|y22|12.25\n"
     "..|z-long-code|1234.5\n"
     "--+---+-----\n"
     "  |   |  \n"},
    {"CSV titles once",
     sizes_in<TBLX_FORMAT_CSV>,
     TBLX_STYLE_SIMPLE,
     TBLX_WIDTH_BYTES,
     {later_sizes[0], {}},
     ALL,
     "Name,Size,Share\r\n"
     "alpha,1200,0.5\r\n"
     "b,35,0.25\r\n"
     "a name much too long,5,1\r\n"
     "c,123456789,-2\r\n"},
    {"JSON array closed by the print",
     sizes_in<TBLX_FORMAT_JSON>,
     TBLX_STYLE_SIMPLE,
     TBLX_WIDTH_BYTES,
     {{}, {{str("c"), unum(3), dbl(1)}}},
     ALL,
     "[\n"
     "{\"Name\":\"alpha\",\"Size\":1200,\"Share\":0.5},\n"
     "{\"Name\":\"b\",\"Size\":35,\"Share\":0.25},\n"
     "{\"Name\":\"c\",\"Size\":3,\"Share\":1}\n"
     "]\n"},
    {"Markdown header once",
     sizes_in<TBLX_FORMAT_MARKDOWN>,
     TBLX_STYLE_SIMPLE,
     TBLX_WIDTH_BYTES,
     {{{str("c"), unum(3), dbl(1)}}, {}},
     SUMMARY,
     "| Name  | Size | Share |\n"
     "| :---- | ---: | :--- |\n"
     "| alpha | 1200 | 0.5  |\n"
     "| b     |   35 | 0.25 |\n"
     "| c     |    3 | 1    |\n"
     "|       | 1238 | 1.75 |\n"},
};

TEST(Flush, GoldenOutput) {
  for (const FlushGolden& g : flush_goldens) {
    Table t = g.setup();
    ASSERT_EQ(TBLX_OK, tblx_setstyle(t.get(), g.style)) << g.name;
    ASSERT_EQ(TBLX_OK, tblx_setwidthmode(t.get(), g.width_mode)) << g.name;
    const std::string out = capture([&](FILE* s) {
      EXPECT_EQ(TBLX_OK, tblx_flushrows(t.get(), ALL, s)) << g.name;
      for (const Rows& batch : g.batches) {
        add_rows(t.get(), batch);
        EXPECT_EQ(TBLX_OK, tblx_flushrows(t.get(), ALL, s)) << g.name;
        EXPECT_EQ(nullptr, t->rows) << g.name << ": flushed rows are freed";
      }
      EXPECT_EQ(TBLX_OK, tblx_print(t.get(), g.final_flags, s)) << g.name;
    });
    EXPECT_EQ(g.expected, out) << g.name;
  }
}

TEST(Flush, FrozenTableRefusesSortUntilItsRowsAreRemoved) {
  Table t = sizes();
  print_to_string(t.get());  // measured before: the first flush keeps those widths
  capture([&](FILE* s) { ASSERT_EQ(TBLX_OK, tblx_flushrows(t.get(), ALL, s)); });
  add_rows(t.get(), {{str("z"), unum(1), dbl(1)}});
  EXPECT_EQ(TBLX_ERR_INVALID_ARGUMENT, tblx_sort(t.get(), TBLX_SORT_ASC, 1));
  EXPECT_EQ(3, tblx_getrowcount(t.get()));
  tblx_removerows(t.get());
  EXPECT_EQ(TBLX_OK, tblx_sort(t.get(), TBLX_SORT_ASC, 1));
  add_rows(t.get(), {{str("a longer name"), unum(1), dbl(1)}});
  // Measured again, the sums of the removed rows gone.
  EXPECT_EQ("Name          Size Share\na longer name 1 1\n              1 1\n",
            print_to_string(t.get()));
}

TEST(Flush, RefusalsAndFailuresKeepTheRows) {
  Table t = sizes();
  EXPECT_EQ(TBLX_ERR_INVALID_ARGUMENT, tblx_flushrows(nullptr, ALL, stdout));
  EXPECT_EQ(TBLX_ERR_INVALID_ARGUMENT, tblx_flushrows(t.get(), ALL, nullptr));
  EXPECT_EQ(TBLX_ERR_INVALID_ARGUMENT, tblx_flushrows_to(t.get(), ALL, nullptr, nullptr));
  Table open_header(tblx_new());
  EXPECT_EQ(TBLX_ERR_NO_HEADER, tblx_flushrows(open_header.get(), ALL, stdout));
  ASSERT_EQ(TBLX_OK, tblx_beginrow(t.get()));
  EXPECT_EQ(TBLX_ERR_ROW_OPEN, tblx_flushrows(t.get(), ALL, stdout));
  ASSERT_EQ(TBLX_OK, tblx_endrow(t.get()));
  EXPECT_EQ(nullptr, t->flushed) << "a refusal freezes nothing";
  // A writer that fails: the rows stay to be written by the next flush.
  const tblx_writer refuse = [](void*, const char*, size_t) noexcept { return 1; };
  EXPECT_EQ(TBLX_ERR_OUTPUT, tblx_flushrows_to(t.get(), ALL, refuse, nullptr));
  EXPECT_NE(nullptr, t->rows);
  std::string out;
  const tblx_writer take = [](void* to, const char* data, size_t n) noexcept {
    static_cast<std::string*>(to)->append(data, n);
    return 0;
  };
  EXPECT_EQ(TBLX_OK, tblx_flushrows_to(t.get(), TBLX_PRINT_ROWS, take, &out));
  EXPECT_EQ("alpha 1200 0.5 \nb       35 0.25\n\n", out);
}

}  // namespace

namespace {

// The longest number text there is, in a column frozen narrow, prints whole.
TEST(Flush, LongestNumberPrintsWhole) {
  Table t = make_table({{.type = TBLX_TYPE_DOUBLE, .title = "D", .precision = 17, .group = ','},
                        {.type = TBLX_TYPE_INT, .title = "N"}},
                       {{dbl(1), num(1)}});
  capture([&](FILE* s) { ASSERT_EQ(TBLX_OK, tblx_flushrows(t.get(), ALL, s)); });
  add_rows(t.get(), {{dbl(-1.7976931348623157e308), num(2)}});
  const std::string out = print_to_string(t.get(), TBLX_PRINT_ROWS);
  EXPECT_EQ(0u, out.rfind("-179,769,313,486,231,570,", 0)) << out;
  EXPECT_NE(std::string::npos, out.find(".00000000000000000 2\n")) << out;
  EXPECT_EQ(1 + 309 + 102 + 1 + 17 + 3u, out.size()) << out;
}

}  // namespace
