// SPDX-License-Identifier: MIT
// Double columns and digit grouping: texts in every precision (fixed ones
// checked against printf), exact sums, the order of a sort, grouped digits of
// every number type with their sums, and the setters' refusals.
#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <cinttypes>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "double_text.h"
#include "sort.h"
#include "support/table.h"

namespace {

using namespace support;

constexpr double inf = std::numeric_limits<double>::infinity();
constexpr double nan = std::numeric_limits<double>::quiet_NaN();

// The rows of a one-column table in the raw style: each value as printed.
std::vector<std::string> printed_values(const ColDef& def, const std::vector<double>& values) {
  Rows rows;
  for (double v : values) rows.push_back({dbl(v)});
  Table t = make_table({def}, rows);
  EXPECT_EQ(TBLX_OK, tblx_setstyle(t.get(), TBLX_STYLE_RAW));
  const std::string text = print_to_string(t.get(), TBLX_PRINT_ROWS);
  std::vector<std::string> lines;
  for (size_t at = 0, end = 0; (end = text.find('\n', at)) != std::string::npos; at = end + 1) {
    lines.push_back(text.substr(at, end - at));
  }
  return lines;
}

std::string printed_sum(const ColDef& def, const Rows& rows) {
  Table t = make_table({def}, rows);
  EXPECT_EQ(TBLX_OK, tblx_setstyle(t.get(), TBLX_STYLE_RAW));
  std::string text = print_to_string(t.get(), TBLX_PRINT_SUM);
  if (!text.empty()) text.pop_back();
  return text;
}

// Ties at every precision, the fast path's edges (2^53, 2^-64 and below),
// subnormals and the largest double, and random values of every exponent.
std::vector<double> fixed_values() {
  // clang-format off
  std::vector<double> v = {0.5, 1.5, 2.5, 0.125, 0.375, 2.675, 1.005, 1e-3, 5e-4, 0.9995, 9.9999,
                           999.9995, 1e15 + 0.5, -0.0, -1e-9, 1e22, 1e300, 4.9e-324, 2.2e-308,
                           9007199254740993.0, 0x1p53, 0x1p52 + 0.5, 0x1p-64, 0x1p-63 * 3,
                           1.7976931348623157e308};
  // clang-format on
  std::mt19937_64 random(25);
  for (int i = 0; i < 2000; ++i) {
    uint64_t bits = random();
    // Mostly the exponents that tables hold; the rest anywhere.
    const auto exponent = static_cast<uint64_t>(1023 - 40 + i % 80);
    if (i % 4 != 0) bits = (bits & 0x800fffffffffffffu) | exponent << 52;
    double d = 0;
    std::memcpy(&d, &bits, sizeof d);
    if (std::isfinite(d)) v.push_back(d);
  }
  return v;
}

TEST(PrintDouble, FixedPrecisionsMatchPrintf) {
  const std::vector<double> values = fixed_values();
  for (int precision = 0; precision <= 17; ++precision) {
    const std::vector<std::string> got =
        printed_values({.type = TBLX_TYPE_DOUBLE, .precision = precision}, values);
    ASSERT_EQ(values.size(), got.size());
    for (size_t i = 0; i < values.size(); ++i) {
      std::vector<char> expected(400);
      std::snprintf(expected.data(), expected.size(), "%.*f", precision, values[i]);
      ASSERT_EQ(std::string(expected.data()), got[i])
          << "precision " << precision << ", value " << values[i];
    }
  }
}

// Significant digits without trailing zeros, and the power of ten of the
// first, of a decimal text in plain or exponent form.
std::pair<std::string, int> significant(const std::string& text) {
  const size_t e = text.find('e');
  const std::string body = text.substr(text[0] == '-' ? 1 : 0, e - (text[0] == '-' ? 1 : 0));
  const size_t point = std::min(body.find('.'), body.size());
  std::string digits = body.substr(0, point) + (point < body.size() ? body.substr(point + 1) : "");
  const size_t first = digits.find_first_not_of('0');
  if (first == std::string::npos) return {"0", 0};
  int exponent = static_cast<int>(point) - 1 - static_cast<int>(first);
  if (e != std::string::npos) exponent += std::stoi(text.substr(e + 1));
  digits = digits.substr(first);
  digits.erase(digits.find_last_not_of('0') + 1);
  return {digits, exponent};
}

// The shortest texts have the digits of the C++ library's shortest
// conversion, on a million doubles of random bits (every exponent,
// subnormals included), half of them in the range that tables hold most,
// where the library takes a quicker way. scripts/check_shortest.py compares
// the printed texts with Python's repr the same way.
TEST(PrintDouble, ShortestDigitsMatchToChars) {
  std::mt19937_64 random(5);
  char ours[double_text_room];
  char theirs[64];
  for (int i = 0; i < 1'000'000; ++i) {
    uint64_t bits = random();
    if (i % 2 != 0) {
      bits = (bits & 0x800fffffffffffffu) | (static_cast<uint64_t>(1023 - 24 + i % 84) << 52);
    }
    double d = 0;
    std::memcpy(&d, &bits, sizeof d);
    if (!std::isfinite(d)) continue;
    const std::string text(ours, write_double(ours, d, -1));
    const auto r = std::to_chars(theirs, theirs + sizeof theirs, d, std::chars_format::scientific);
    const std::string expected(theirs, r.ptr);
    ASSERT_EQ(significant(expected), significant(text)) << expected << " printed as " << text;
    ASSERT_EQ(text.find('e') == std::string::npos,
              d == 0 || (std::fabs(d) >= 1e-5 && std::fabs(d) < 1e16))
        << text;
  }
}

TEST(PrintDouble, ShortestAndFixedTexts) {
  const std::vector<double> values = {0.1,
                                      -0.0,
                                      nan,
                                      -nan,
                                      inf,
                                      -inf,
                                      1e-5,
                                      9.99e-6,
                                      1e16,
                                      9999999999999998.0,
                                      1.5e20,
                                      5e-324,
                                      0.5,
                                      2.5,
                                      123.456,
                                      100,
                                      1.7976931348623157e308};
  struct {
    int precision;
    std::vector<std::string> texts;
  } const cases[] = {
      {-1,
       {"0.1", "-0", "nan", "nan", "inf", "-inf", "0.00001", "9.99e-06", "1e+16",
        "9999999999999998", "1.5e+20", "5e-324", "0.5", "2.5", "123.456", "100",
        "1.7976931348623157e+308"}},
      {0,
       {"0", "-0", "nan", "nan", "inf", "-inf", "0", "0", "10000000000000000", "9999999999999998",
        "150000000000000000000", "0", "0", "2", "123", "100", ""}},
      {2,
       {"0.10", "-0.00", "nan", "nan", "inf", "-inf", "0.00", "0.00", "10000000000000000.00",
        "9999999999999998.00", "150000000000000000000.00", "0.00", "0.50", "2.50", "123.46",
        "100.00", ""}},
      {17,
       {"0.10000000000000001", "-0.00000000000000000", "nan", "nan", "inf", "-inf",
        "0.00001000000000000", "0.00000999000000000", "10000000000000000.00000000000000000",
        "9999999999999998.00000000000000000", "150000000000000000000.00000000000000000",
        "0.00000000000000000", "0.50000000000000000", "2.50000000000000000",
        "123.45600000000000307", "100.00000000000000000", ""}},
  };
  for (const auto& c : cases) {
    const auto got = printed_values({.type = TBLX_TYPE_DOUBLE, .precision = c.precision}, values);
    ASSERT_EQ(values.size(), got.size());
    for (size_t i = 0; i < values.size(); ++i) {
      // The largest double has 309 integer digits: its length is checked.
      if (c.texts[i].empty()) {
        EXPECT_EQ(309 + (c.precision > 0 ? 1 + c.precision : 0), static_cast<int>(got[i].size()));
      } else {
        EXPECT_EQ(c.texts[i], got[i]) << "precision " << c.precision << ", value " << values[i];
      }
    }
  }
}

TEST(PrintDouble, SumsAreExactValuesRoundedOnce) {
  const double tiny = 0x1p-53;  // half an ulp of 1
  struct {
    std::vector<Val> cells;
    int precision;
    const char* sum;
  } const cases[] = {
      {std::vector<Val>(10, dbl(0.1)), -1, "1"},
      {{dbl(1e16), dbl(1), dbl(-1e16)}, -1, "1"},
      {{dbl(0.3), dbl(-0.1), dbl(-0.2)}, -1, "-2.7755575615628914e-17"},
      {{dbl(1e308), dbl(1e308), dbl(-1e308)}, -1, "1e+308"},
      {{dbl(1e308), dbl(1e308)}, -1, "inf"},
      {{dbl(-1e308), dbl(-1e308)}, -1, "-inf"},
      {{dbl(1), dbl(tiny)}, -1, "1"},                                // tie: to even
      {{dbl(1), dbl(tiny), dbl(5e-324)}, -1, "1.0000000000000002"},  // above the tie
      {{dbl(1 + 2 * tiny), dbl(tiny)}, -1, "1.0000000000000004"},    // tie: to even, up
      {{dbl(5e-324), dbl(5e-324), dbl(-1e-320)}, -1, "-9.99e-321"},
      {{dbl(-0.0), blank(), dbl(-0.0)}, 2, "-0.00"},
      {{dbl(-0.0), dbl(0.0)}, 2, "0.00"},
      {{}, 2, "0.00"},
      {{dbl(inf), dbl(1)}, -1, "inf"},
      {{dbl(inf), dbl(-inf)}, 2, "nan"},
      {{dbl(nan), dbl(1)}, 0, "nan"},
      {{dbl(0.125), dbl(0.25)}, 2, "0.38"},
  };
  for (const auto& c : cases) {
    Rows rows;
    for (const Val& v : c.cells) rows.push_back({v});
    EXPECT_EQ(c.sum,
              printed_sum({.type = TBLX_TYPE_DOUBLE, .sum = true, .precision = c.precision}, rows))
        << "expected " << c.sum;
  }
}

// Multiples of 2^-20 below 2^50 have an exact sum in 64-bit integers, which
// the conversion to double rounds once, to nearest even: the expected sum.
TEST(PrintDouble, RandomSumsMatchTheRoundedIntegerSum) {
  std::mt19937_64 random(7);
  for (int round = 0; round < 50; ++round) {
    Rows rows;
    int64_t exact = 0;
    for (int i = 0; i < 300; ++i) {
      const auto units = static_cast<int64_t>(random() >> 14) - (int64_t{1} << 49);
      exact += units;
      rows.push_back({dbl(std::ldexp(static_cast<double>(units), -20))});
    }
    char expected[64];
    std::snprintf(expected, sizeof expected, "%.17g", std::ldexp(static_cast<double>(exact), -20));
    const std::string got = printed_sum({.type = TBLX_TYPE_DOUBLE, .sum = true}, rows);
    EXPECT_EQ(std::strtod(expected, nullptr), std::strtod(got.c_str(), nullptr)) << got;
  }
}

std::vector<std::string> first_column(tblx_table* t) {
  std::vector<std::string> out;
  const std::string text = print_to_string(t, TBLX_PRINT_ROWS);
  for (size_t at = 0, end = 0; (end = text.find('\n', at)) != std::string::npos; at = end + 1) {
    const std::string line = text.substr(at, end - at);
    out.push_back(line.substr(0, line.find(' ')));
  }
  return out;
}

// Rows without the cell, then empty cells, then -inf to +inf, then NaN;
// equal values (0 and -0, every NaN) keep their input order.
TEST(PrintDouble, SortOrderInBothDirectionsAndMethods) {
  const Rows rows = {
      {str("a"), dbl(1.5)}, {str("b"), dbl(nan)},  {str("c"), dbl(-inf)},  {str("d")},
      {str("e"), blank()},  {str("f"), dbl(0.0)},  {str("g"), dbl(-0.0)},  {str("h"), dbl(inf)},
      {str("i"), dbl(-2)},  {str("j"), dbl(-nan)}, {str("k"), dbl(1e-300)}};
  const std::vector<std::string> ascending = {"d", "e", "c", "i", "f", "g",
                                              "k", "a", "h", "b", "j"};
  const std::vector<std::string> descending = {"b", "j", "h", "a", "k", "f",
                                               "g", "i", "c", "e", "d"};
  for (sort_method method : {sort_method::pairs, sort_method::in_place}) {
    Table t = make_table({{.type = TBLX_TYPE_STRING}, {.type = TBLX_TYPE_DOUBLE}}, rows);
    int32_t id = 0;
    ASSERT_EQ(TBLX_OK, tblx_getcolumnid(t.get(), 1, &id));
    ASSERT_EQ(TBLX_OK, tblx_setstyle(t.get(), TBLX_STYLE_RAW));
    ASSERT_EQ(TBLX_OK, sort_rows(t.get(), TBLX_SORT_ASC, id, method));
    EXPECT_EQ(ascending, first_column(t.get()));
    Table u = make_table({{.type = TBLX_TYPE_STRING}, {.type = TBLX_TYPE_DOUBLE}}, rows);
    ASSERT_EQ(TBLX_OK, tblx_setstyle(u.get(), TBLX_STYLE_RAW));
    ASSERT_EQ(TBLX_OK, sort_rows(u.get(), TBLX_SORT_DESC, id, method));
    EXPECT_EQ(descending, first_column(u.get()));
  }
}

TEST(PrintDouble, GroupedDigitsInEveryNumberType) {
  Table t = make_table(
      {{.type = TBLX_TYPE_INT,
        .title = "int",
        .cell_just = TBLX_JUST_RIGHT,
        .sum = true,
        .group = ','},
       {.type = TBLX_TYPE_UINT, .title = "uint", .sum = true, .suffix = " B", .group = '\''},
       {.type = TBLX_TYPE_HEX, .title = "hex", .sum = true, .group = '_'},
       {.type = TBLX_TYPE_HEX, .title = "hex0", .zeros = true, .group = '_'},
       {.type = TBLX_TYPE_DOUBLE,
        .title = "double.",
        .title_just = TBLX_JUST_CHAR_FIRST,
        .cell_just = TBLX_JUST_CHAR_FIRST,
        .sum = true,
        .precision = 2,
        .group = ' '},
       {.type = TBLX_TYPE_DOUBLE,
        .title = "shortest",
        .cell_just = TBLX_JUST_RIGHT,
        .sum = true,
        .group = '_'}},
      {{num(-1932735283200), unum(999), hex(0xdeadbeef), hex(0xff), dbl(1234567.125), dbl(1e21)},
       {num(-12), unum(18446744073709551615u), hex(0xffffffffffffffff), hex(0x12345), dbl(-0.5),
        dbl(-1234.5)},
       {num(100000), unum(1000), hex(0x1234), blank(), dbl(nan), dbl(0.25)}});
  ASSERT_EQ(TBLX_OK, tblx_setstyle(t.get(), TBLX_STYLE_FANCYW));
  // clang-format off
  EXPECT_EQ(
      "int                | uint                         | hex                     | hex0     |    double.   | shortest\n"
      "-------------------+------------------------------+-------------------------+----------+--------------+---------\n"
      "-1,932,735,283,200 | 999                        B | 0xdead_beef             | 0x0_00ff | 1 234 567.12 |    1e+21\n"
      "               -12 | 18'446'744'073'709'551'615 B | 0xffff_ffff_ffff_ffff   | 0x1_2345 |        -0.50 | -1_234.5\n"
      "           100,000 | 1'000                      B | 0x1234                  |          |       nan    |     0.25\n"
      "-------------------+------------------------------+-------------------------+----------+--------------+---------\n"
      "-1,932,735,183,212 | 18'446'744'073'709'553'614 B | 0x1_0000_0000_dead_d122 |          |       nan    |    1e+21\n",
      print_to_string(t.get()));
  // clang-format on
}

TEST(PrintDouble, SettersRefuseWhatCannotBeShown) {
  Table t = make_open_header({});
  ASSERT_EQ(TBLX_OK, tblx_begincolumn(t.get(), TBLX_TYPE_DOUBLE));
  EXPECT_EQ(TBLX_ERR_INVALID_ARGUMENT, tblx_setcolumn_precision(t.get(), -2));
  EXPECT_EQ(TBLX_ERR_INVALID_ARGUMENT, tblx_setcolumn_precision(t.get(), 18));
  EXPECT_EQ(TBLX_ERR_INVALID_ARGUMENT, tblx_setcolumn_grouping(t.get(), 'x'));
  // The default alignment character is '.': it cannot also separate groups.
  EXPECT_EQ(TBLX_ERR_INVALID_ARGUMENT, tblx_setcolumn_grouping(t.get(), '.'));
  EXPECT_EQ(TBLX_OK, tblx_setcolumn_grouping(t.get(), ','));
  EXPECT_EQ(TBLX_ERR_INVALID_ARGUMENT, tblx_setcolumn_justchar(t.get(), ','));
  EXPECT_EQ(TBLX_ERR_INVALID_ARGUMENT, tblx_setcolumn_justchar(t.get(), ',' + 256));
  EXPECT_EQ(TBLX_OK, tblx_setcolumn_grouping(t.get(), 0));
  EXPECT_EQ(TBLX_OK, tblx_setcolumn_justchar(t.get(), ','));
  EXPECT_EQ(TBLX_OK, tblx_setcolumn_grouping(t.get(), '.'));
  ASSERT_EQ(TBLX_OK, tblx_endcolumn(t.get()));
  ASSERT_EQ(TBLX_OK, tblx_begincolumn(t.get(), TBLX_TYPE_INT));
  ASSERT_EQ(TBLX_OK, tblx_endcolumn(t.get()));
  ASSERT_EQ(TBLX_OK, tblx_endheader(t.get()));
  EXPECT_EQ(TBLX_ERR_HEADER_ENDED, tblx_setcolumn_precision(t.get(), 2));
  ASSERT_EQ(TBLX_OK, tblx_beginrow(t.get()));
  EXPECT_EQ(TBLX_ERR_CELL_TYPE_MISMATCH, tblx_addcell_int(t.get(), 1));
  EXPECT_EQ(TBLX_OK, tblx_addcell_double(t.get(), 1));
  EXPECT_EQ(TBLX_ERR_CELL_TYPE_MISMATCH, tblx_addcell_double(t.get(), 1));
  EXPECT_EQ(TBLX_OK, tblx_addcell_empty(t.get()));
  EXPECT_EQ(TBLX_ERR_NO_MORE_COLUMNS, tblx_addcell_double(t.get(), 1));
  EXPECT_EQ(TBLX_ERR_INVALID_ARGUMENT, tblx_addcell_double(nullptr, 1));
}

}  // namespace
