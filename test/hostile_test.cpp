// SPDX-License-Identifier: MIT
// Hostile use of the interface: a null for every pointer, values outside every
// enumerated range, a hundred thousand columns, megabyte suffixes and titles,
// huge zero-filled fields, streams that fail part way, and title callbacks
// that call back into the table being printed. Every refusal must leave the
// table byte for byte as it was.
#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "support/table.h"

namespace {

using namespace support;

// A table in one of the phases in which a call may be made.
enum class phase { column_open, header_open, header_ended, row_open };

// One string and one int column, then as far as the phase says; the header
// ended and row open phases also hold one ended row.
Table table_in(phase p) {
  if (p == phase::column_open) {
    Table t = make_open_header({});
    EXPECT_EQ(TBLX_OK, tblx_begincolumn(t.get(), TBLX_TYPE_STRING));
    return t;
  }
  if (p == phase::header_open) return make_open_header({{TBLX_TYPE_STRING}, {TBLX_TYPE_INT}});
  Table t = make_table({{TBLX_TYPE_STRING}, {TBLX_TYPE_INT}}, {{str("x")}});
  if (p == phase::row_open) {
    EXPECT_EQ(TBLX_OK, tblx_beginrow(t.get()));
  }
  return t;
}

struct refusal {
  const char* call;
  phase in;  // where the call would otherwise succeed
  std::function<tblx_status(tblx_table*)> make;
  tblx_status want;
};

// Runs each call in its phase and checks its status and that a refusal
// changed no byte of the table.
void check_refusals(const std::vector<refusal>& cases) {
  for (const refusal& c : cases) {
    Table t = table_in(c.in);
    const std::string before = image(t.get());
    EXPECT_EQ(c.want, c.make(t.get())) << c.call;
    if (c.want != TBLX_OK) {
      EXPECT_EQ(before, image(t.get())) << c.call;
    }
  }
}

const char* TBLX_CALL some_title(void*, uint32_t) { return "T"; }

struct table_call {
  const char* name;
  std::function<tblx_status(tblx_table*)> make;
};

// Every call that would change or print a table and gives a status, with
// arguments that it accepts in some phase. The ID place must stay untouched.
std::vector<table_call> changing_calls(int32_t& id) {
  return {
      {"setsumreplace", [](tblx_table* t) { return tblx_setsumreplace(t, 0, '*'); }},
      {"begincolumn", [](tblx_table* t) { return tblx_begincolumn(t, TBLX_TYPE_INT); }},
      {"begincolumn_columnid",
       [&id](tblx_table* t) { return tblx_begincolumn_columnid(t, TBLX_TYPE_INT, &id); }},
      {"endcolumn", [](tblx_table* t) { return tblx_endcolumn(t); }},
      {"setcolumn_title", [](tblx_table* t) { return tblx_setcolumn_title(t, "t"); }},
      {"setcolumn_titlefunc",
       [](tblx_table* t) { return tblx_setcolumn_titlefunc(t, some_title, nullptr); }},
      {"setcolumn_titlejust", [](tblx_table* t) { return tblx_setcolumn_titlejust(t, 1); }},
      {"setcolumn_celljust", [](tblx_table* t) { return tblx_setcolumn_celljust(t, 1); }},
      {"setcolumn_minwidth", [](tblx_table* t) { return tblx_setcolumn_minwidth(t, 1); }},
      {"setcolumn_summarize", [](tblx_table* t) { return tblx_setcolumn_summarize(t, 1); }},
      {"setcolumn_hexcase", [](tblx_table* t) { return tblx_setcolumn_hexcase(t, 1); }},
      {"setcolumn_leadingzero", [](tblx_table* t) { return tblx_setcolumn_leadingzero(t, 1); }},
      {"setcolumn_suffix", [](tblx_table* t) { return tblx_setcolumn_suffix(t, "s"); }},
      {"setcolumn_sortmode", [](tblx_table* t) { return tblx_setcolumn_sortmode(t, 2); }},
      {"setcolumn_justchar", [](tblx_table* t) { return tblx_setcolumn_justchar(t, '.'); }},
      {"endheader", [](tblx_table* t) { return tblx_endheader(t); }},
      {"beginrow", [](tblx_table* t) { return tblx_beginrow(t); }},
      {"addcell_string", [](tblx_table* t) { return tblx_addcell_string(t, "x"); }},
      {"addcell_int", [](tblx_table* t) { return tblx_addcell_int(t, 1); }},
      {"addcell_uint", [](tblx_table* t) { return tblx_addcell_uint(t, 1); }},
      {"addcell_hex", [](tblx_table* t) { return tblx_addcell_hex(t, 1); }},
      {"endrow", [](tblx_table* t) { return tblx_endrow(t); }},
      {"sort", [](tblx_table* t) { return tblx_sort(t, TBLX_SORT_ASC, 1); }},
      {"setstyle", [](tblx_table* t) { return tblx_setstyle(t, 0); }},
      {"setstylestr", [](tblx_table* t) { return tblx_setstylestr(t, "raw"); }},
      {"setwidthmode", [](tblx_table* t) { return tblx_setwidthmode(t, TBLX_WIDTH_DISPLAY); }},
      {"setmeasuretitles", [](tblx_table* t) { return tblx_setmeasuretitles(t, 1); }},
      {"print", [](tblx_table* t) { return tblx_print(t, TBLX_PRINT_ALL, stdout); }},
      {"print_all", [](tblx_table* t) { return tblx_print_all(t, stdout); }},
      {"print_except", [](tblx_table* t) { return tblx_print_except(t, 0, stdout); }},
  };
}

TEST(Hostile, NullTableGivesInvalidArgumentEverywhere) {
  int32_t id = 0;
  int order = 0;
  std::vector<table_call> calls = changing_calls(id);
  calls.push_back({"getcolumnid", [&](tblx_table* t) { return tblx_getcolumnid(t, 0, &id); }});
  calls.push_back(
      {"parse_sortorder place", [](tblx_table*) { return tblx_parse_sortorder(nullptr, "asc"); }});
  calls.push_back(
      {"parse_sortorder name", [&](tblx_table*) { return tblx_parse_sortorder(&order, nullptr); }});
  for (const auto& [name, call] : calls)
    EXPECT_EQ(TBLX_ERR_INVALID_ARGUMENT, call(nullptr)) << name;
  EXPECT_EQ(0, id);
  EXPECT_EQ(0, order);
  // The calls without a status answer a null table harmlessly.
  tblx_delete(nullptr);
  tblx_clean(nullptr);
  tblx_removerows(nullptr);
  EXPECT_EQ(0, tblx_getrowcount(nullptr));
  EXPECT_EQ(0, tblx_isfancy(nullptr));
  EXPECT_EQ(nullptr, tblx_get_cell_cmp__(nullptr));
  EXPECT_EQ(nullptr, tblx_memrchr__(nullptr, 'a', 0));
}

TEST(Hostile, NullPointerArguments) {
  check_refusals({
      {"titlefunc without a callback", phase::column_open,
       [](tblx_table* t) { return tblx_setcolumn_titlefunc(t, nullptr, nullptr); },
       TBLX_ERR_INVALID_ARGUMENT},
      {"begincolumn_columnid without a place", phase::header_open,
       [](tblx_table* t) { return tblx_begincolumn_columnid(t, TBLX_TYPE_INT, nullptr); },
       TBLX_ERR_INVALID_ARGUMENT},
      {"getcolumnid without a place", phase::header_ended,
       [](tblx_table* t) { return tblx_getcolumnid(t, 0, nullptr); }, TBLX_ERR_INVALID_ARGUMENT},
      {"setstylestr without a name", phase::header_ended,
       [](tblx_table* t) { return tblx_setstylestr(t, nullptr); }, TBLX_ERR_INVALID_ARGUMENT},
      {"addcell_string without a text", phase::row_open,
       [](tblx_table* t) { return tblx_addcell_string(t, nullptr); }, TBLX_ERR_INVALID_ARGUMENT},
      {"print without a stream", phase::header_ended,
       [](tblx_table* t) { return tblx_print(t, TBLX_PRINT_ALL, nullptr); },
       TBLX_ERR_INVALID_ARGUMENT},
      {"print_all without a stream", phase::header_ended,
       [](tblx_table* t) { return tblx_print_all(t, nullptr); }, TBLX_ERR_INVALID_ARGUMENT},
      {"print_except without a stream", phase::header_ended,
       [](tblx_table* t) { return tblx_print_except(t, 0, nullptr); }, TBLX_ERR_INVALID_ARGUMENT},
      // A null title or suffix means none.
      {"title null", phase::column_open,
       [](tblx_table* t) { return tblx_setcolumn_title(t, nullptr); }, TBLX_OK},
      {"suffix null", phase::column_open,
       [](tblx_table* t) { return tblx_setcolumn_suffix(t, nullptr); }, TBLX_OK},
  });

  // A null title prints like an empty one.
  Table t = table_in(phase::column_open);
  ASSERT_EQ(TBLX_OK, tblx_setcolumn_title(t.get(), nullptr));
  ASSERT_EQ(TBLX_OK, tblx_setcolumn_minwidth(t.get(), 3));
  ASSERT_EQ(TBLX_OK, tblx_endcolumn(t.get()));
  ASSERT_EQ(TBLX_OK, tblx_endheader(t.get()));
  EXPECT_EQ("   \n", print_to_string(t.get(), TBLX_PRINT_TITLES));
}

TEST(Hostile, ValuesOutsideEveryEnumeratedRange) {
  const unsigned bad_unsigned[] = {0u, UINT_MAX, 0x80000000u, 0x80000001u};
  const int bad_int[] = {-1, INT_MIN, INT_MAX};
  std::vector<refusal> cases;
  for (unsigned v : bad_unsigned) {
    cases.push_back({"begincolumn type", phase::header_open,
                     [v](tblx_table* t) { return tblx_begincolumn(t, v); },
                     TBLX_ERR_INVALID_COLUMN_TYPE});
    cases.push_back({"begincolumn_columnid type", phase::header_open,
                     [v](tblx_table* t) {
                       int32_t id = -5;
                       const tblx_status s = tblx_begincolumn_columnid(t, v, &id);
                       EXPECT_EQ(-5, id);
                       return s;
                     },
                     TBLX_ERR_INVALID_COLUMN_TYPE});
    cases.push_back({"titlejust", phase::column_open,
                     [v](tblx_table* t) { return tblx_setcolumn_titlejust(t, v); },
                     TBLX_ERR_INVALID_JUSTIFICATION});
    cases.push_back({"celljust", phase::column_open,
                     [v](tblx_table* t) { return tblx_setcolumn_celljust(t, v); },
                     TBLX_ERR_INVALID_JUSTIFICATION});
    cases.push_back({"hexcase", phase::column_open,
                     [v](tblx_table* t) { return tblx_setcolumn_hexcase(t, v); },
                     TBLX_ERR_INVALID_CASING});
    cases.push_back({"sumreplace selector", phase::header_ended,
                     [v](tblx_table* t) { return tblx_setsumreplace(t, v == 0 ? 4u : v, '*'); },
                     TBLX_ERR_INVALID_STYLE});
    cases.push_back({"getcolumnid position", phase::header_ended,
                     [v](tblx_table* t) {
                       int32_t id = -5;
                       const tblx_status s = tblx_getcolumnid(t, v == 0 ? 2u : v, &id);
                       EXPECT_EQ(-5, id);
                       return s;
                     },
                     TBLX_ERR_NO_SUCH_COLUMN});
  }
  for (unsigned v : {5u, 6u}) {
    cases.push_back({"begincolumn type", phase::header_open,
                     [v](tblx_table* t) { return tblx_begincolumn(t, v + 1u); },
                     TBLX_ERR_INVALID_COLUMN_TYPE});
    cases.push_back({"precision", phase::column_open,
                     [v](tblx_table* t) {
                       return tblx_setcolumn_precision(t, v == 5u ? -2 : static_cast<int>(v) + 12);
                     },
                     TBLX_ERR_INVALID_ARGUMENT});
    cases.push_back({"grouping", phase::column_open,
                     [v](tblx_table* t) { return tblx_setcolumn_grouping(t, v == 5u ? 'x' : '.'); },
                     TBLX_ERR_INVALID_ARGUMENT});
    cases.push_back({"celljust", phase::column_open,
                     [v](tblx_table* t) { return tblx_setcolumn_celljust(t, v + 1u); },
                     TBLX_ERR_INVALID_JUSTIFICATION});
    cases.push_back({"hexcase", phase::column_open,
                     [v](tblx_table* t) { return tblx_setcolumn_hexcase(t, v - 2u); },
                     TBLX_ERR_INVALID_CASING});
  }
  for (int v : bad_int) {
    cases.push_back({"setstyle", phase::header_ended,
                     [v](tblx_table* t) { return tblx_setstyle(t, v); }, TBLX_ERR_INVALID_STYLE});
    cases.push_back({"setwidthmode", phase::header_ended,
                     [v](tblx_table* t) { return tblx_setwidthmode(t, v); },
                     TBLX_ERR_INVALID_ARGUMENT});
    cases.push_back({"sort order", phase::header_ended,
                     [v](tblx_table* t) { return tblx_sort(t, v, 1); },
                     TBLX_ERR_INVALID_SORT_ORDER});
    cases.push_back({"sort column id", phase::header_ended,
                     [v](tblx_table* t) { return tblx_sort(t, TBLX_SORT_ASC, v); },
                     TBLX_ERR_NO_SUCH_COLUMN});
  }
  const int bad_characters[] = {0, '\t', '\n', 0x1f, 0x7f, 0x80, 0xff, -1, 0x100 + 0x1f};
  for (int ch : bad_characters) {
    cases.push_back({"sumreplace character", phase::header_ended,
                     [ch](tblx_table* t) { return tblx_setsumreplace(t, 0, ch); },
                     TBLX_ERR_INVALID_ARGUMENT});
  }
  cases.push_back({"setstyle 4", phase::header_ended,
                   [](tblx_table* t) { return tblx_setstyle(t, 4); }, TBLX_ERR_INVALID_STYLE});
  cases.push_back({"setwidthmode 2", phase::row_open,
                   [](tblx_table* t) { return tblx_setwidthmode(t, 2); },
                   TBLX_ERR_INVALID_ARGUMENT});
  cases.push_back({"sort order 3", phase::header_ended,
                   [](tblx_table* t) { return tblx_sort(t, 3, 1); }, TBLX_ERR_INVALID_SORT_ORDER});
  cases.push_back({"sort by the next, undeclared ID", phase::header_ended,
                   [](tblx_table* t) { return tblx_sort(t, TBLX_SORT_ASC, 3); },
                   TBLX_ERR_NO_SUCH_COLUMN});
  check_refusals(cases);

  for (tblx_status code : {-1, 20, INT_MIN, INT_MAX}) {
    EXPECT_STREQ("<unknown error>", tblx_strerror(code)) << code;
  }
}

// Values that are not refused are narrowed as documented.
TEST(Hostile, ExtremeValuesThatAreAccepted) {
  Table t = table_in(phase::column_open);
  column* c = t->open_column;
  ASSERT_EQ(TBLX_OK, tblx_setcolumn_minwidth(t.get(), INT_MIN));
  EXPECT_EQ(0u, c->min_width);
  ASSERT_EQ(TBLX_OK, tblx_setcolumn_justchar(t.get(), 0x100 + ','));
  EXPECT_EQ(',', c->justify_char);
  ASSERT_EQ(TBLX_OK, tblx_setcolumn_justchar(t.get(), -1));
  EXPECT_EQ(0xff, c->justify_char);
  ASSERT_EQ(TBLX_OK, tblx_setcolumn_sortmode(t.get(), INT_MIN));
  EXPECT_EQ(INT_MIN, c->sort_mode);

  // Flag bits beyond the five sections are ignored.
  auto p =
      make_table({{TBLX_TYPE_STRING, "A"}, {TBLX_TYPE_INT, "B"}}, {{str("x"), num(INT64_MIN)}});
  ASSERT_EQ(TBLX_OK, tblx_setstyle(p.get(), TBLX_STYLE_FANCY));
  EXPECT_EQ(print_to_string(p.get()), print_to_string(p.get(), UINT_MAX));
  EXPECT_EQ(print_to_string(p.get(), TBLX_PRINT_ROWS), print_to_string(p.get(), 0xffffffe0u | 4u));
  EXPECT_EQ("",
            capture([&](FILE* s) { EXPECT_EQ(TBLX_OK, tblx_print_except(p.get(), UINT_MAX, s)); }));
}

// The cursor and the layout walk one column per cell: a hundred thousand
// columns cost nothing special, and every line keeps its grid.
TEST(Hostile, HundredThousandColumns) {
  constexpr int n = 100000;
  Table t(tblx_new());
  for (int i = 0; i < n; ++i) {
    ASSERT_EQ(TBLX_OK, tblx_begincolumn(t.get(), TBLX_TYPE_UINT));
    ASSERT_EQ(TBLX_OK, tblx_setcolumn_summarize(t.get(), 1));
    ASSERT_EQ(TBLX_OK, tblx_endcolumn(t.get()));
  }
  ASSERT_EQ(TBLX_OK, tblx_endheader(t.get()));
  int32_t id = 0;
  ASSERT_EQ(TBLX_OK, tblx_getcolumnid(t.get(), n - 1, &id));
  EXPECT_EQ(n, id);
  EXPECT_EQ(TBLX_ERR_NO_SUCH_COLUMN, tblx_getcolumnid(t.get(), n, &id));

  ASSERT_EQ(TBLX_OK, tblx_beginrow(t.get()));
  for (int i = 0; i < n; ++i) ASSERT_EQ(TBLX_OK, tblx_addcell_uint(t.get(), 7));
  EXPECT_EQ(TBLX_ERR_NO_MORE_COLUMNS, tblx_addcell_uint(t.get(), 7));
  ASSERT_EQ(TBLX_OK, tblx_endrow(t.get()));
  ASSERT_EQ(TBLX_OK, tblx_beginrow(t.get()));  // a short row: its first cell only
  ASSERT_EQ(TBLX_OK, tblx_addcell_uint(t.get(), 7));
  ASSERT_EQ(TBLX_OK, tblx_endrow(t.get()));

  // The first column sums to 14 and is two wide; every other one is one wide.
  auto repeat = [](const std::string& s, int times) {
    std::string out;
    out.reserve(s.size() * static_cast<size_t>(times));
    for (int i = 0; i < times; ++i) out += s;
    return out;
  };
  const std::string rule = "--" + repeat("+-", n - 1) + "\n";
  const std::string full_row = "7 " + repeat("|7", n - 1) + "\n";
  const std::string short_row = "7 " + repeat("| ", n - 2) + "|\n";
  ASSERT_EQ(TBLX_OK, tblx_setstyle(t.get(), TBLX_STYLE_FANCY));
  EXPECT_EQ("  " + repeat("| ", n - 1) + "\n" + rule + full_row + short_row + rule + "14" +
                repeat("|7", n - 1) + "\n",
            print_to_string(t.get()));

  // Sorting by the last column walks each row's cells to it.
  ASSERT_EQ(TBLX_OK, tblx_sort(t.get(), TBLX_SORT_ASC, n));
  EXPECT_EQ(short_row + full_row, print_to_string(t.get(), TBLX_PRINT_ROWS));
  ASSERT_EQ(TBLX_OK, tblx_sort(t.get(), TBLX_SORT_DESC, n));
  EXPECT_EQ(full_row + short_row, print_to_string(t.get(), TBLX_PRINT_ROWS));
}

// A megabyte suffix widens its column and is written after every number; a
// megabyte title aligned on a character is measured and placed whole.
TEST(Hostile, MegabyteSuffixAndTitle) {
  const std::string suffix(1u << 20, 's');
  auto t = make_table(
      {{.type = TBLX_TYPE_INT, .cell_just = TBLX_JUST_RIGHT, .suffix = suffix.c_str()},
       {.type = TBLX_TYPE_INT, .cell_just = TBLX_JUST_LEFT, .sum = true, .suffix = suffix.c_str()}},
      {{num(5), num(-12)}, {num(-100), num(3)}});
  EXPECT_EQ("   5" + suffix + " -12" + suffix + "\n" + "-100" + suffix + " 3  " + suffix + "\n",
            print_to_string(t.get(), TBLX_PRINT_ROWS));
  EXPECT_EQ(std::string(4 + suffix.size(), ' ') + " -9 " + suffix + "\n",
            print_to_string(t.get(), TBLX_PRINT_SUM));

  std::string title(1u << 20, 'T');
  title[10] = '.';
  auto u = make_table({{.type = TBLX_TYPE_STRING,
                        .title = title.c_str(),
                        .title_just = TBLX_JUST_CHAR_FIRST,
                        .cell_just = TBLX_JUST_CHAR_FIRST}},
                      {{str("1.5")}, {str("22.25")}});
  EXPECT_EQ(title + "\n" + std::string(9, ' ') + "1.5\n" + std::string(8, ' ') + "22.25\n",
            print_to_string(u.get(), TBLX_PRINT_TITLES | TBLX_PRINT_ROWS));
  EXPECT_EQ(width_pair(11u, (1u << 20) - 11u), widths(u.get(), 0));
}

// Fields far wider than any number: zero fill and the formatter's own blanks
// are written into the scratch buffer, which must hold them all.
TEST(Hostile, HugeWidthsFilledInTheScratchBuffer) {
  constexpr int width = 100000;
  auto t = make_table(
      {{.type = TBLX_TYPE_HEX, .min_width = width, .hex_case = TBLX_HEX_UPPER, .zeros = true},
       {.type = TBLX_TYPE_INT, .cell_just = TBLX_JUST_LEFT, .min_width = width, .suffix = "kB"}},
      {{hex(0xabc), num(42)}});
  EXPECT_EQ(
      "0x" + std::string(width - 5, '0') + "ABC " + "42" + std::string(width - 4, ' ') + "kB\n",
      print_to_string(t.get(), TBLX_PRINT_ROWS));
}

// Whatever part of a print reaches a failing stream is the start of the
// right output, the print gives TBLX_ERR_OUTPUT, and the table prints whole
// afterwards.
TEST(Hostile, StreamFailingPartWay) {
  TABULIX_SKIP_WITHOUT_FAILING_STREAM();
  auto t = make_table(
      {{TBLX_TYPE_STRING, "Name"}, {.type = TBLX_TYPE_UINT, .title = "N", .min_width = 5000}},
      {{str("alpha"), unum(1)}, {str("b"), unum(2)}});
  ASSERT_EQ(TBLX_OK, tblx_setstyle(t.get(), TBLX_STYLE_FANCYW));
  const std::string whole = print_to_string(t.get());
  for (size_t limit : {size_t{0}, size_t{1}, size_t{100}, size_t{4097}, whole.size() - 1}) {
    FailingSink sink{limit, {}};
    FILE* stream = open_failing(&sink);
    ASSERT_NE(nullptr, stream);
    std::setvbuf(stream, nullptr, _IONBF, 0);  // every write reaches the sink at once
    EXPECT_EQ(TBLX_ERR_OUTPUT, tblx_print_all(t.get(), stream)) << limit;
    EXPECT_TRUE(std::ferror(stream)) << limit;
    std::fclose(stream);
    EXPECT_EQ(whole.substr(0, limit), sink.got) << limit;
    EXPECT_EQ(whole, print_to_string(t.get())) << limit;
  }
}

// ---- calls into a table that is being printed ----------------------------------

// On a busy table every changing call gives 1, and neither they nor delete,
// clean and removerows change a byte; the reading calls still answer.
void check_busy(tblx_table* t, const std::string& where) {
  int32_t id = -5;
  const std::string before = image(t);
  for (const table_call& c : changing_calls(id)) {
    EXPECT_EQ(TBLX_ERR_INVALID_ARGUMENT, c.make(t)) << c.name << where;
    EXPECT_EQ(before, image(t)) << c.name << where;
  }
  tblx_removerows(t);
  tblx_clean(t);
  tblx_delete(t);
  EXPECT_EQ(before, image(t)) << "removerows, clean, delete" << where;
  EXPECT_EQ(-5, id) << where;

  const size_t ended = rows_of(t).size() - (t->open_row != nullptr ? 1 : 0);
  EXPECT_EQ(static_cast<int32_t>(ended), tblx_getrowcount(t)) << where;
  EXPECT_EQ(1, tblx_isfancy(t)) << where;
  EXPECT_EQ(t->header_ended ? TBLX_OK : TBLX_ERR_NO_HEADER, tblx_getcolumnid(t, 0, &id)) << where;
  EXPECT_EQ(t->header_ended ? 1 : -5, id) << where;
  int order = 0;
  EXPECT_EQ(TBLX_OK, tblx_parse_sortorder(&order, "desc")) << where;
  EXPECT_EQ(TBLX_SORT_DESC, order) << where;
  EXPECT_STREQ(TBLX_VERSION_STRING, tblx_version_str()) << where;
  EXPECT_STREQ("raw", tblx_getstylelist()[0]) << where;
  EXPECT_STREQ("desc", tblx_getsortorderlist()[1]) << where;
  EXPECT_STREQ("Success", tblx_strerror(TBLX_OK)) << where;
}

// A print marks its table busy; whatever the phase, the refusal comes first.
TEST(Hostile, BusyTableRefusesEveryChangeInEveryPhase) {
  for (phase p : {phase::column_open, phase::header_open, phase::header_ended, phase::row_open}) {
    Table t = table_in(p);
    ASSERT_EQ(TBLX_OK, tblx_setstyle(t.get(), TBLX_STYLE_FANCY));
    t->busy = 1;
    check_busy(t.get(), " in phase " + std::to_string(static_cast<int>(p)));
    t->busy = 0;
  }
}

// A title callback that, once armed, tries every call on its own table; not
// from a print that it makes, should the table allow one: that would recurse
// without end.
struct reentry {
  tblx_table* table = nullptr;
  bool armed = false;
  bool inside = false;
  int calls = 0;
};

const char* TBLX_CALL reentering_title(void* arg, uint32_t) {
  auto* r = static_cast<reentry*>(arg);
  ++r->calls;
  if (r->armed && !r->inside) {
    r->inside = true;
    check_busy(r->table, " in a title callback");
    r->inside = false;
  }
  return "Num.";
}

// From the callback of a title aligned on '.', called by the measuring pass
// and the title line of a changed table, or by the title line alone of a
// measured one: every changing call, delete, clean and removerows included,
// gives 1 and changes nothing, the print is whole, and later prints measure
// again.
TEST(Hostile, TitleCallbackCallingBackIntoItsTable) {
  for (const bool measured : {false, true}) {
    SCOPED_TRACE(measured ? "title line" : "measuring pass too");
    reentry r;
    Table t = make_table({{TBLX_TYPE_STRING, "N"},
                          {.type = TBLX_TYPE_INT,
                           .title_just = TBLX_JUST_CHAR_FIRST,
                           .cell_just = TBLX_JUST_RIGHT,
                           .title_func = reentering_title,
                           .title_arg = &r}},
                         {{str("a"), num(1)}, {str("bb"), num(-20)}});
    r.table = t.get();
    ASSERT_EQ(TBLX_OK, tblx_setstyle(t.get(), TBLX_STYLE_FANCY));
    if (measured) print_to_string(t.get());
    const std::string before = image(t.get());
    r.armed = true;
    r.calls = 0;
    EXPECT_EQ("N |Num.\n--+----\na |   1\nbb| -20\n--+----\n  |    \n", print_to_string(t.get()));
    EXPECT_EQ(measured ? 1 : 2, r.calls);
    if (measured) {
      EXPECT_EQ(before, image(t.get()));
    }
    EXPECT_EQ(2, tblx_getrowcount(t.get()));
    EXPECT_EQ("", record_faults(t.get()));

    r.armed = false;
    add_rows(t.get(), {{str("c"), num(INT64_MIN)}});
    EXPECT_EQ("a |                   1\nbb|                 -20\nc |-9223372036854775808\n",
              print_to_string(t.get(), TBLX_PRINT_ROWS));
  }
}

// A title callback that waits for another thread writing to the same stream,
// as a logger would.
const char* TBLX_CALL logging_title(void* arg, uint32_t) {
  auto* stream = static_cast<FILE*>(arg);
  std::thread([stream] { std::fputs("[log]", stream); }).join();
  return "T.";
}

// The stream's lock is released around the callback, in the measuring pass
// and in the title line: the other thread's bytes land where it ran.
TEST(Hostile, TitleCallbackWaitingForAnotherWriterOfTheStream) {
  const std::string got = capture([](FILE* stream) {
    Table t = make_table({{TBLX_TYPE_STRING, "A"},
                          {.type = TBLX_TYPE_STRING,
                           .title_just = TBLX_JUST_CHAR_FIRST,
                           .title_func = logging_title,
                           .title_arg = stream}},
                         {{str("x"), str("y")}});
    // A print that kept the lock would hang for good: past the deadline it can
    // be neither stopped nor joined, so the process ends and the test fails.
    auto print = std::async(std::launch::async, [&] { return tblx_print_all(t.get(), stream); });
    if (print.wait_for(std::chrono::seconds(60)) != std::future_status::ready) {
      std::fputs("the print hung: its title callback waits for another writer\n", stderr);
      std::_Exit(EXIT_FAILURE);
    }
    EXPECT_EQ(TBLX_OK, print.get());
  });
  EXPECT_EQ("[log]A [log]T.\nx y\n   \n", got);
}

}  // namespace
