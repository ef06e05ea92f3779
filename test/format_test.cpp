// SPDX-License-Identifier: MIT
// The output formats other than text, byte for byte, over one table that has
// every column type, empty cells, a short row, texts that each format must
// escape and a summary line; and printing through a writer function.
#include <climits>
#include <cmath>
#include <string>

#include "support/table.h"

namespace {

using namespace support;

// Names with a pipe, a comma and quotes, a tab and a newline, markup, a
// backslash, a control character and a byte that is not UTF-8.
Table mixed() {
  return make_table(
      {{.type = TBLX_TYPE_STRING, .title = "N\"", .sum_text = "Sum"},
       {.type = TBLX_TYPE_INT, .title = "D", .cell_just = TBLX_JUST_RIGHT, .sum = true},
       {.type = TBLX_TYPE_UINT,
        .title = "S",
        .cell_just = TBLX_JUST_CENTER,
        .sum = true,
        .suffix = " B"},
       {.type = TBLX_TYPE_HEX, .title = "A", .hex_case = TBLX_HEX_UPPER, .zeros = true},
       {.type = TBLX_TYPE_STRING, .title = "P", .cell_just = TBLX_JUST_CHAR_FIRST}},
      {{str("a|b"), num(-5), unum(UINT64_MAX), hex(0xbe), str("1.5")},
       {str("x, \"y\""), blank(), unum(7), blank(), str("12.25")},
       {str("t\tb\nc"), num(-10), unum(0), hex(0xfff)},
       {str("<b>&'\\\x01\xff")},
       {blank(), num(3)}});
}

struct FormatGolden {
  const char* name;
  int format;
  unsigned flags;
  const char* expected;
};

const FormatGolden format_goldens[] = {
    {"markdown", TBLX_FORMAT_MARKDOWN, TBLX_PRINT_ALL,
     "| N\"       | D   | S                      | A     | P     |\n"
     "| :------- | --: | :--------------------: | :---- | ----: |\n"
     "| a\\|b     |  -5 | 18446744073709551615 B | 0x0BE |  1.5  |\n"
     "| x, \"y\"   |     |          7 B           |       | 12.25 |\n"
     "| t\tb<br>c | -10 |          0 B           | 0xFFF |       |\n"
     "| <b>&'\\\x01\xff |     |                        |       |       |\n"
     "|          |   3 |                        |       |       |\n"
     "| Sum      | -12 | 18446744073709551622 B |       |       |\n"},
    {"csv", TBLX_FORMAT_CSV, TBLX_PRINT_ALL,
     "\"N\"\"\",D,S,A,P\r\n"
     "a|b,-5,18446744073709551615,0x0BE,1.5\r\n"
     "\"x, \"\"y\"\"\",,7,,12.25\r\n"
     "\"t\tb\n"
     "c\",-10,0,0xFFF,\r\n"
     "<b>&'\\\x01\xff,,,,\r\n"
     ",3,,,\r\n"},
    {"tsv", TBLX_FORMAT_TSV, TBLX_PRINT_ALL,
     "N\"\tD\tS\tA\tP\n"
     "a|b\t-5\t18446744073709551615\t0x0BE\t1.5\n"
     "x, \"y\"\t\t7\t\t12.25\n"
     "t\\tb\\nc\t-10\t0\t0xFFF\t\n"
     "<b>&'\\\\\x01\xff\t\t\t\t\n"
     "\t3\t\t\t\n"},
    {"json", TBLX_FORMAT_JSON, TBLX_PRINT_ALL,
     "[\n"
     "{\"N\\\"\":\"a|b\",\"D\":-5,\"S\":18446744073709551615,\"A\":\"0x0BE\",\"P\":\"1.5\"},\n"
     "{\"N\\\"\":\"x, \\\"y\\\"\",\"D\":null,\"S\":7,\"A\":null,\"P\":\"12.25\"},\n"
     "{\"N\\\"\":\"t\\tb\\nc\",\"D\":-10,\"S\":0,\"A\":\"0xFFF\",\"P\":null},\n"
     "{\"N\\\"\":\"<b>&'\\\\\\u0001\xef\xbf\xbd\",\"D\":null,\"S\":null,\"A\":null,\"P\":null},\n"
     "{\"N\\\"\":null,\"D\":3,\"S\":null,\"A\":null,\"P\":null}\n"
     "]\n"},
    {"jsonl", TBLX_FORMAT_JSONL, TBLX_PRINT_ALL,
     "{\"N\\\"\":\"a|b\",\"D\":-5,\"S\":18446744073709551615,\"A\":\"0x0BE\",\"P\":\"1.5\"}\n"
     "{\"N\\\"\":\"x, \\\"y\\\"\",\"D\":null,\"S\":7,\"A\":null,\"P\":\"12.25\"}\n"
     "{\"N\\\"\":\"t\\tb\\nc\",\"D\":-10,\"S\":0,\"A\":\"0xFFF\",\"P\":null}\n"
     "{\"N\\\"\":\"<b>&'\\\\\\u0001\xef\xbf\xbd\",\"D\":null,\"S\":null,\"A\":null,\"P\":null}\n"
     "{\"N\\\"\":null,\"D\":3,\"S\":null,\"A\":null,\"P\":null}\n"},
    {"html", TBLX_FORMAT_HTML, TBLX_PRINT_ALL,
     "<table>\n"
     "<thead>\n"
     "<tr><th style=\"text-align:left\">N&quot;</th><th style=\"text-align:left\">D</th><th "
     "style=\"text-align:left\">S</th><th style=\"text-align:left\">A</th><th "
     "style=\"text-align:left\">P</th></tr>\n"
     "</thead>\n"
     "<tbody>\n"
     "<tr><td style=\"text-align:left\">a|b</td><td style=\"text-align:right\">-5</td><td "
     "style=\"text-align:center\">18446744073709551615 B</td><td "
     "style=\"text-align:left\">0x0BE</td><td style=\"text-align:right\">1.5</td></tr>\n"
     "<tr><td style=\"text-align:left\">x, &quot;y&quot;</td><td "
     "style=\"text-align:right\"></td><td style=\"text-align:center\">7 B</td><td "
     "style=\"text-align:left\"></td><td style=\"text-align:right\">12.25</td></tr>\n"
     "<tr><td style=\"text-align:left\">t\tb\n"
     "c</td><td style=\"text-align:right\">-10</td><td style=\"text-align:center\">0 B</td><td "
     "style=\"text-align:left\">0xFFF</td><td style=\"text-align:right\"></td></tr>\n"
     "<tr><td style=\"text-align:left\">&lt;b&gt;&amp;&#39;\\\x01\xff</td><td "
     "style=\"text-align:right\"></td><td style=\"text-align:center\"></td><td "
     "style=\"text-align:left\"></td><td style=\"text-align:right\"></td></tr>\n"
     "<tr><td style=\"text-align:left\"></td><td style=\"text-align:right\">3</td><td "
     "style=\"text-align:center\"></td><td style=\"text-align:left\"></td><td "
     "style=\"text-align:right\"></td></tr>\n"
     "</tbody>\n"
     "<tfoot>\n"
     "<tr><td style=\"text-align:left\">Sum</td><td style=\"text-align:right\">-12</td><td "
     "style=\"text-align:center\">18446744073709551622 B</td><td "
     "style=\"text-align:left\"></td><td style=\"text-align:right\"></td></tr>\n"
     "</tfoot>\n"
     "</table>\n"},
    {"markdown-rows", TBLX_FORMAT_MARKDOWN, TBLX_PRINT_ROWS,
     "| N\"       | D   | S                      | A     | P     |\n"
     "| :------- | --: | :--------------------: | :---- | ----: |\n"
     "| a\\|b     |  -5 | 18446744073709551615 B | 0x0BE |  1.5  |\n"
     "| x, \"y\"   |     |          7 B           |       | 12.25 |\n"
     "| t\tb<br>c | -10 |          0 B           | 0xFFF |       |\n"
     "| <b>&'\\\x01\xff |     |                        |       |       |\n"
     "|          |   3 |                        |       |       |\n"},
    {"csv-rows", TBLX_FORMAT_CSV, TBLX_PRINT_ROWS,
     "a|b,-5,18446744073709551615,0x0BE,1.5\r\n"
     "\"x, \"\"y\"\"\",,7,,12.25\r\n"
     "\"t\tb\n"
     "c\",-10,0,0xFFF,\r\n"
     "<b>&'\\\x01\xff,,,,\r\n"
     ",3,,,\r\n"},
    {"json-titles", TBLX_FORMAT_JSON, TBLX_PRINT_TITLES | TBLX_PRINT_SUM,
     "[\n"
     "]\n"},
    {"html-sum", TBLX_FORMAT_HTML, TBLX_PRINT_SUM,
     "<table>\n"
     "<tfoot>\n"
     "<tr><td style=\"text-align:left\">Sum</td><td style=\"text-align:right\">-12</td><td "
     "style=\"text-align:center\">18446744073709551622 B</td><td "
     "style=\"text-align:left\"></td><td style=\"text-align:right\"></td></tr>\n"
     "</tfoot>\n"
     "</table>\n"},
};

TEST(Format, Goldens) {
  for (const FormatGolden& g : format_goldens) {
    SCOPED_TRACE(g.name);
    Table t = mixed();
    ASSERT_EQ(TBLX_OK, tblx_setformat(t.get(), g.format));
    const Printed p = print_capture(t.get(), g.flags);
    EXPECT_EQ(TBLX_OK, p.status);
    EXPECT_EQ(g.expected, p.text);
  }
}

// Data formats write a double as its shortest text, ungrouped (JSON: null
// for what is not a number); the others as the text format shows it.
TEST(Format, DoublesAsDataAndAsShown) {
  const FormatGolden cases[] = {
      {"csv", TBLX_FORMAT_CSV, TBLX_PRINT_ROWS, "1234567.125,1234567\r\nnan,-2\r\n-0,\r\n"},
      {"jsonl", TBLX_FORMAT_JSONL, TBLX_PRINT_ROWS,
       "{\"x\":1234567.125,\"n\":1234567}\n{\"x\":null,\"n\":-2}\n{\"x\":-0,\"n\":null}\n"},
      {"markdown", TBLX_FORMAT_MARKDOWN, TBLX_PRINT_ROWS | TBLX_PRINT_SUM,
       "| x            | n         |\n| :----------- | --------: |\n"
       "| 1,234,567.12 | 1_234_567 |\n| nan          |        -2 |\n| -0.00        |           |\n"
       "| nan          | 1_234_565 |\n"},
  };
  for (const FormatGolden& g : cases) {
    SCOPED_TRACE(g.name);
    Table t = make_table(
        {{.type = TBLX_TYPE_DOUBLE, .title = "x", .sum = true, .precision = 2, .group = ','},
         {.type = TBLX_TYPE_INT,
          .title = "n",
          .cell_just = TBLX_JUST_RIGHT,
          .sum = true,
          .group = '_'}},
        {{dbl(1234567.125), num(1234567)}, {dbl(NAN), num(-2)}, {dbl(-0.0)}});
    ASSERT_EQ(TBLX_OK, tblx_setformat(t.get(), g.format));
    const Printed p = print_capture(t.get(), g.flags);
    EXPECT_EQ(TBLX_OK, p.status);
    EXPECT_EQ(g.expected, p.text);
  }
}

}  // namespace

namespace {

// Collects what a print hands to its writer; refuses every call after the
// first `accept` ones.
struct Collector {
  std::string got;
  int calls = 0;
  int accept = INT_MAX;
};

int TBLX_CALL collect(void* context, const char* data, size_t size) {
  auto* c = static_cast<Collector*>(context);
  if (++c->calls > c->accept) return 1;
  c->got.append(data, size);
  return 0;
}

// Every format and style writes the same bytes through a writer as to a stream.
TEST(Format, WriterGetsWhatTheStreamGets) {
  Table t = mixed();
  for (int format = TBLX_FORMAT_TEXT; format <= TBLX_FORMAT_HTML; ++format) {
    for (int style = TBLX_STYLE_SIMPLE; style <= TBLX_STYLE_FANCYW; ++style) {
      SCOPED_TRACE(std::to_string(format) + "/" + std::to_string(style));
      ASSERT_EQ(TBLX_OK, tblx_setformat(t.get(), format));
      ASSERT_EQ(TBLX_OK, tblx_setstyle(t.get(), style));
      Collector c;
      EXPECT_EQ(TBLX_OK, tblx_print_to(t.get(), TBLX_PRINT_ALL, collect, &c));
      EXPECT_EQ(print_capture(t.get()).text, c.got);
    }
  }
}

// A refusing writer is not called again and the print gives an output error;
// refusals and a busy table are checked as for a stream.
TEST(Format, WriterFailureAndRefusals) {
  Table t = make_table({{TBLX_TYPE_STRING, "A"}}, Rows(3000, {str("some text")}));
  Collector c;
  c.accept = 1;
  EXPECT_EQ(TBLX_ERR_OUTPUT, tblx_print_to(t.get(), TBLX_PRINT_ALL, collect, &c));
  EXPECT_EQ(2, c.calls);
  c = Collector{};
  EXPECT_EQ(TBLX_OK, tblx_print_to(t.get(), TBLX_PRINT_TITLES, collect, &c));  // printable again
  EXPECT_EQ(TBLX_ERR_INVALID_ARGUMENT, tblx_print_to(t.get(), TBLX_PRINT_ALL, nullptr, &c));
  EXPECT_EQ(TBLX_ERR_INVALID_ARGUMENT, tblx_print_to(nullptr, TBLX_PRINT_ALL, collect, &c));
  Built open = build_header({{TBLX_TYPE_STRING, "A"}});
  EXPECT_EQ(TBLX_ERR_NO_HEADER, tblx_print_to(open.table.get(), TBLX_PRINT_ALL, collect, &c));

  EXPECT_EQ(TBLX_ERR_INVALID_ARGUMENT, tblx_setformat(t.get(), -1));
  EXPECT_EQ(TBLX_ERR_INVALID_ARGUMENT, tblx_setformat(t.get(), TBLX_FORMAT_HTML + 1));
  EXPECT_EQ(TBLX_ERR_INVALID_ARGUMENT, tblx_setformat(nullptr, TBLX_FORMAT_CSV));
}

// A title callback runs with the bytes before it handed to the writer, and
// its table refuses to change format or print meanwhile.
struct Reentry {
  tblx_table* table;
  Collector* seen;
  std::string before;
  tblx_status format_status;
  tblx_status print_status;
};

const char* TBLX_CALL reenter(void* arg, uint32_t) {
  auto* r = static_cast<Reentry*>(arg);
  r->before = r->seen->got;
  r->format_status = tblx_setformat(r->table, TBLX_FORMAT_TEXT);
  Collector other;
  r->print_status = tblx_print_to(r->table, TBLX_PRINT_ALL, collect, &other);
  return "B";
}

TEST(Format, TitleCallbackDuringWriterPrint) {
  Collector c;
  Reentry r{nullptr, &c, {}, TBLX_OK, TBLX_OK};
  Table t = make_table(
      {{TBLX_TYPE_STRING, "A"}, {.type = TBLX_TYPE_INT, .title_func = reenter, .title_arg = &r}},
      {{str("x"), num(1)}});
  r.table = t.get();
  ASSERT_EQ(TBLX_OK, tblx_setformat(t.get(), TBLX_FORMAT_CSV));
  EXPECT_EQ(TBLX_OK, tblx_print_to(t.get(), TBLX_PRINT_ALL, collect, &c));
  EXPECT_EQ("A,", r.before);
  EXPECT_EQ(TBLX_ERR_INVALID_ARGUMENT, r.format_status);
  EXPECT_EQ(TBLX_ERR_INVALID_ARGUMENT, r.print_status);
  EXPECT_EQ("A,B\r\nx,1\r\n", c.got);
}

}  // namespace
