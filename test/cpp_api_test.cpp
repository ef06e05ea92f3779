// SPDX-License-Identifier: MIT
// The C++ layer: errors and their messages, the non-throwing overloads,
// moved-from tables, column handles, and the lifetime of the titles,
// suffixes and title callbacks that the table keeps for the library.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <functional>
#include <limits>
#include <memory>
#include <new>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>
#if __cplusplus >= 202002L && __has_include(<ranges>)
#include <ranges>
#endif

#include "support/table.h"
#include "tabulix.hpp"
#ifdef TABULIX_TEST_HIDDEN_LIBRARY
#include "cpp/hidden_library.h"
#endif

namespace {

using tabulix::errc;
using tabulix::just;
using tabulix::section;
using tabulix::type;

static_assert(std::is_error_code_enum_v<errc>);
static_assert(!std::is_copy_constructible_v<tabulix::table>);
static_assert(std::is_nothrow_move_constructible_v<tabulix::table>);
static_assert(std::is_nothrow_move_assignable_v<tabulix::table>);
// The error_code forms promise not to throw; the others may.
static_assert(noexcept(std::declval<tabulix::table&>().add_row("a", 1,
                                                               std::declval<std::error_code&>())));
static_assert(!noexcept(std::declval<tabulix::table&>().add_row("a", 1)));
static_assert(noexcept(
    std::declval<tabulix::table&>().to_string(section::all, std::declval<std::error_code&>())));
static_assert(noexcept(std::declval<tabulix::table&>().add_column(
    std::declval<const tabulix::column_spec&>(), std::declval<std::error_code&>())));
static_assert(~section::all == section{0});
static_assert(~section::rows ==
              (section::titles | section::title_rule | section::sum_rule | section::sum));
static_assert(((section::titles | section::rows) & section::rows) == section::rows);
// Printing measures the table: a const table cannot be printed.
template <class T, class = void>
struct printable : std::false_type {};
template <class T>
struct printable<T, std::void_t<decltype(std::declval<T&>().print(stdout))>> : std::true_type {};
static_assert(printable<tabulix::table>::value && !printable<const tabulix::table>::value);
// A title callable gives a text: one giving a number is refused (std::string
// would take the number as a character).
template <class Void, class... Args>
struct title_func_takes_ : std::false_type {};
template <class... Args>
struct title_func_takes_<std::void_t<decltype(std::declval<tabulix::column_spec&>().title_func(
                             std::declval<Args>()...))>,
                         Args...> : std::true_type {};
template <class... Args>
constexpr bool title_func_takes = title_func_takes_<void, Args...>::value;
template <class R>
struct gives {
  R operator()(unsigned /*width*/) const { return R(); }
};
static_assert(!title_func_takes<gives<unsigned>> && !title_func_takes<gives<char>> &&
              !title_func_takes<gives<int>>);
static_assert(title_func_takes<gives<std::string>> && title_func_takes<gives<std::string_view>> &&
              title_func_takes<gives<const char*>>);

// ---- errors ------------------------------------------------------------------------

TEST(CppErrors, CategoryCarriesTheLibraryMessages) {
  const std::error_category& cat = tabulix::category();
  EXPECT_STREQ(cat.name(), "tabulix");
  for (int code = 0; code <= 19; ++code) {
    EXPECT_EQ(cat.message(code), tblx_strerror(code)) << code;
  }
  std::error_code ec = errc::cell_type_mismatch;
  EXPECT_EQ(&ec.category(), &cat);
  EXPECT_EQ(ec.value(), TBLX_ERR_CELL_TYPE_MISMATCH);
  EXPECT_EQ(ec.message(), "Cell type mismatch with column type");
  EXPECT_FALSE(std::error_code(errc::ok));
}

#ifdef TABULIX_TEST_HIDDEN_LIBRARY
TEST(CppErrors, CategoryIsOneObjectAcrossSharedLibraries) {
  const std::error_code made_there = hidden_library_error();
  EXPECT_EQ(&made_there.category(), &tabulix::category());
  EXPECT_EQ(made_there, errc::no_header);
}
#endif

TEST(CppErrors, PortableConditionsMatchWhereTheyFit) {
  EXPECT_EQ(std::error_code(errc::invalid_argument), std::errc::invalid_argument);
  EXPECT_EQ(std::error_code(errc::no_memory), std::errc::not_enough_memory);
  EXPECT_EQ(std::error_code(errc::output_error), std::errc::io_error);
  EXPECT_EQ(static_cast<int>(errc::output_error), TBLX_ERR_OUTPUT);
  EXPECT_EQ(std::error_code(errc::output_error).message(), "Output error");
  EXPECT_NE(std::error_code(errc::parse), std::errc::invalid_argument);
  EXPECT_EQ(std::error_code(errc::parse), errc::parse);
}

// A table in one of the states the error cases start from.
struct fixture {
  tabulix::table t;
  std::vector<tabulix::column> cols;
};

enum class phase { header, column_open, body, row_open };

fixture make(phase p) {
  fixture f;
  if (p == phase::header) return f;
  f.cols.push_back(f.t.add_column(type::string));
  if (p == phase::column_open) return f;
  f.cols.push_back(f.t.add_column(type::int64));
  f.t.end_header();
  if (p == phase::row_open) f.t.begin_row();
  return f;
}

// Each action runs the throwing form when ec is null, else the error_code form.
using action = std::function<void(fixture&, std::error_code*)>;

#define BOTH_FORMS(expr_throwing, ...)  \
  [](fixture& f, std::error_code* ec) { \
    static_cast<void>(f);               \
    if (ec) {                           \
      __VA_ARGS__;                      \
    } else {                            \
      expr_throwing;                    \
    }                                   \
  }

struct error_case {
  const char* name;
  phase start;
  errc expected;
  action run;
};

using tabulix::column_spec;

const error_case error_cases[] = {
    {"bad column type", phase::header, errc::invalid_column_type,
     BOTH_FORMS(f.t.add_column(type{0}), f.t.add_column(type{9}, *ec))},
    {"bad title justification", phase::column_open, errc::invalid_justification,
     BOTH_FORMS(f.t.add_column(column_spec(type::string).title_just(just{0})),
                f.t.add_column(column_spec(type::string).title_just(just{6}), *ec))},
    {"bad cell justification", phase::column_open, errc::invalid_justification,
     BOTH_FORMS(f.t.add_column(column_spec(type::int64).cell_just(just{6})),
                f.t.add_column(column_spec(type::hex).cell_just(just{0}), *ec))},
    {"bad hex case", phase::column_open, errc::invalid_casing,
     BOTH_FORMS(f.t.add_column(column_spec(type::hex).hex_case(tabulix::hex_case{3})),
                f.t.add_column(column_spec(type::hex).hex_case(tabulix::hex_case{0}), *ec))},
    {"precision out of range", phase::header, errc::invalid_argument,
     BOTH_FORMS(f.t.add_column(column_spec(type::float64).precision(18)),
                f.t.add_column(column_spec(type::float64).precision(-2), *ec))},
    {"bad style value", phase::header, errc::invalid_style,
     BOTH_FORMS(f.t.set_style(tabulix::style{4}), f.t.set_style(tabulix::style{-1}, *ec))},
    {"unknown width mode", phase::header, errc::invalid_argument,
     BOTH_FORMS(f.t.set_width_mode(tabulix::width{2}),
                f.t.set_width_mode(tabulix::width{-1}, *ec))},
    {"filler for a bad style", phase::header, errc::invalid_style,
     BOTH_FORMS(f.t.set_sum_filler(tabulix::style{7}, '*'),
                f.t.set_sum_filler(tabulix::style{4}, '*', *ec))},
    {"unprintable filler", phase::header, errc::invalid_argument,
     BOTH_FORMS(f.t.set_sum_filler(tabulix::style::raw, '\t'),
                f.t.set_sum_filler(tabulix::style{7}, '\x80', *ec))},
    {"title with a NUL", phase::column_open, errc::invalid_argument,
     BOTH_FORMS(f.t.add_column(column_spec(type::string, std::string_view("a\0b", 3))),
                f.t.add_column(column_spec(type::int64, std::string_view("\0", 1)), *ec))},
    {"suffix with a NUL", phase::column_open, errc::invalid_argument,
     BOTH_FORMS(f.t.add_column(column_spec(type::int64).suffix(std::string_view("a\0b", 3))),
                f.t.add_column(column_spec(type::uint64).suffix(std::string_view("\0", 1)), *ec))},
    {"row before the header ends", phase::column_open, errc::no_header,
     BOTH_FORMS(f.t.begin_row(), f.t.begin_row(*ec))},
    {"print before the header ends", phase::header, errc::no_header,
     BOTH_FORMS(static_cast<void>(f.t.to_string()),
                static_cast<void>(f.t.to_string(section::all, *ec)))},
    {"sort before the header ends", phase::column_open, errc::no_header,
     BOTH_FORMS(f.t.sort(f.cols[0], tabulix::order::asc), f.t.sort(1, tabulix::order::asc, *ec))},
    {"column after the header", phase::body, errc::header_ended,
     BOTH_FORMS(f.t.add_column(type::string), f.t.add_column(type{0}, *ec))},
    {"header ended twice", phase::body, errc::header_ended,
     BOTH_FORMS(f.t.end_header(), f.t.end_header(*ec))},
    {"width limit of a number column", phase::header, errc::invalid_argument,
     BOTH_FORMS(f.t.add_column(column_spec(type::int64).max_width(3)),
                f.t.add_column(column_spec(type::hex).max_width(0, tabulix::overflow::wrap), *ec))},
    {"cell without a row", phase::body, errc::no_more_columns,
     BOTH_FORMS(f.t.add_cell("x"), f.t.add_cell("x", *ec))},
    {"end without a row", phase::body, errc::no_open_row,
     BOTH_FORMS(f.t.end_row(), f.t.end_row(*ec))},
    {"row inside a row", phase::row_open, errc::row_open,
     BOTH_FORMS(f.t.begin_row(), f.t.begin_row(*ec))},
    {"int cell in a string column", phase::row_open, errc::cell_type_mismatch,
     BOTH_FORMS(f.t.add_cell(5), f.t.add_cell(std::int64_t{5}, *ec))},
    {"uint and hex cells in a string column", phase::row_open, errc::cell_type_mismatch,
     BOTH_FORMS(f.t.add_cell(5u), f.t.add_cell(tabulix::hex{5}, *ec))},
    {"text cell in an int column", phase::row_open, errc::cell_type_mismatch,
     BOTH_FORMS((f.t.add_cell("a"), f.t.add_cell(std::string("b"))),
                (f.t.add_cell("a"), f.t.add_cell(std::string_view("b"), *ec)))},
    {"unsigned cell beyond an int column", phase::row_open, errc::cell_type_mismatch,
     BOTH_FORMS((f.t.add_cell("a"), f.t.add_cell(std::uint64_t{1} << 63)),
                (f.t.add_cell("a"), f.t.add_cell(~0ull, *ec)))},
    {"text in the int column of a row", phase::body, errc::cell_type_mismatch,
     BOTH_FORMS(f.t.add_row("a", "1"), f.t.add_row("a", std::string("1"), *ec))},
    {"row longer than the columns", phase::body, errc::no_more_columns,
     BOTH_FORMS(f.t.add_row("a", 1, 2), f.t.add_row("a", 1, tabulix::empty, *ec))},
    {"row with a NUL in a text", phase::body, errc::invalid_argument,
     BOTH_FORMS(f.t.add_row(std::string_view("a\0", 2)), f.t.add_row(std::string("\0", 1), *ec))},
    {"row while a row is open", phase::row_open, errc::row_open,
     BOTH_FORMS(f.t.add_row("a"), f.t.add_row("a", 1, *ec))},
    {"sum text before the header ends", phase::column_open, errc::no_header,
     BOTH_FORMS(f.t.set_sum_text(f.cols[0], "Total"), f.t.set_sum_text(1, "", *ec))},
    {"sum text of an unknown column", phase::body, errc::no_such_column,
     BOTH_FORMS(f.t.set_sum_text(3, "Total"), f.t.set_sum_text(tabulix::column(), "", *ec))},
    {"sum text with a NUL", phase::body, errc::invalid_argument,
     BOTH_FORMS(f.t.set_sum_text(1, std::string_view("a\0", 2)),
                f.t.set_sum_text(f.cols[0], std::string_view("\0", 1), *ec))},
    {"cell past the last column", phase::row_open, errc::no_more_columns,
     BOTH_FORMS((f.t.add_cell("a"), f.t.add_cell(1), f.t.add_cell(2)),
                (f.t.add_cell("a"), f.t.add_cell(1), f.t.add_cell(2, *ec)))},
    {"null text cell", phase::row_open, errc::invalid_argument,
     BOTH_FORMS(f.t.add_cell(static_cast<const char*>(nullptr)),
                f.t.add_cell(static_cast<const char*>(nullptr), *ec))},
    {"text cell with a NUL", phase::row_open, errc::invalid_argument,
     BOTH_FORMS(f.t.add_cell(std::string("a\0b", 3)),
                f.t.add_cell(std::string_view("a\0b", 3), *ec))},
    {"sort with a row open", phase::row_open, errc::row_open,
     BOTH_FORMS(f.t.sort(f.cols[0], tabulix::order::asc),
                f.t.sort(f.cols[0], tabulix::order::asc, *ec))},
    {"print with a row open", phase::row_open, errc::row_open,
     BOTH_FORMS(f.t.print(stdout), f.t.print(stdout, section::all, *ec))},
    {"sort by an unknown ID", phase::body, errc::no_such_column,
     BOTH_FORMS(f.t.sort(3, tabulix::order::desc), f.t.sort(0, tabulix::order::desc, *ec))},
    {"sort in an unknown order", phase::body, errc::invalid_sort_order,
     BOTH_FORMS(f.t.sort(f.cols[1], tabulix::order{3}),
                f.t.sort(f.cols[1], tabulix::order{-1}, *ec))},
    {"print to a null stream", phase::body, errc::invalid_argument,
     BOTH_FORMS(f.t.print(nullptr, section::rows), f.t.print(nullptr, section::all, *ec))},
};

class CppErrorPaths : public testing::TestWithParam<error_case> {};

TEST_P(CppErrorPaths, ThrowWithCodeAndMessage) {
  const error_case& c = GetParam();
  fixture f = make(c.start);
  try {
    c.run(f, nullptr);
    ADD_FAILURE() << "no exception";
  } catch (const std::system_error& e) {
    EXPECT_EQ(e.code(), c.expected);
    EXPECT_STREQ(e.what(), tblx_strerror(static_cast<int>(c.expected)));
  }
}

TEST_P(CppErrorPaths, ReportThroughErrorCode) {
  const error_case& c = GetParam();
  fixture f = make(c.start);
  std::error_code ec = errc::ok;
  c.run(f, &ec);
  EXPECT_EQ(ec, c.expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, CppErrorPaths, testing::ValuesIn(error_cases),
                         [](const testing::TestParamInfo<error_case>& case_info) {
                           std::string name;
                           for (const char* p = case_info.param.name; *p; ++p) {
                             name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
                           }
                           return name;
                         });

TEST(CppErrors, SuccessClearsTheErrorCode) {
  tabulix::table t;
  std::error_code ec = errc::parse;
  t.add_column({type::string, "A"}, ec);
  EXPECT_FALSE(ec);
  ec = errc::parse;
  t.end_header(ec);
  EXPECT_FALSE(ec);
  ec = errc::parse;
  t.add_row("a", ec);
  EXPECT_FALSE(ec);
  t.set_style(tabulix::style::fancy, ec);
  EXPECT_FALSE(ec);
}

// ---- column handles ----------------------------------------------------------------------

TEST(CppColumns, IdsFollowDeclarationAndContinueAfterClean) {
  tabulix::table t;
  EXPECT_EQ(t.add_column(type::string).id(), 1);
  EXPECT_EQ(t.add_column(type::hex).id(), 2);
  t.clean();
  EXPECT_EQ(t.add_column(type::uint64).id(), 3);
}

// A refused setting stops the settings after it (in column_spec's order);
// the column stays declared, closed, with its title and the settings before.
TEST(CppColumns, RefusedSettingKeepsTheColumnWithTheSettingsBefore) {
  tabulix::table t;
  std::error_code ec;
  t.add_column(tabulix::column_spec(type::string, "First").cell_just(just{9}).min_width(7), ec);
  EXPECT_EQ(ec, errc::invalid_justification);
  t.add_column({type::string, "Second"});
  t.add_row("a", "b");
  EXPECT_EQ(t.to_string(), "First Second\na     b\n");
}

TEST(CppColumns, RefusedDeclarationKeepsNoOpenColumn) {
  tabulix::table t;
  t.add_column(type::string);
  EXPECT_THROW(t.add_column(type{7}), std::system_error);
  // No column is left open for a C call; the header still ends.
  EXPECT_EQ(tblx_setcolumn_title(t.get(), "late"), TBLX_ERR_NO_OPEN_COLUMN);
  EXPECT_NO_THROW(t.end_header());
}

TEST(CppColumns, SortByHandleNeedsTheSameTable) {
  tabulix::table a;
  tabulix::table b;
  tabulix::column in_a = a.add_column(type::int64);
  b.add_column(type::int64);
  b.end_header();
  b.add_row(2);
  b.add_row(1);
  std::error_code ec;
  b.sort(in_a, tabulix::order::asc, ec);  // same ID 1, other table
  EXPECT_EQ(ec, errc::no_such_column);
  b.sort(in_a.id(), tabulix::order::asc);
  EXPECT_EQ(b.to_string(section::rows), "1\n2\n");
}

// ---- rows -------------------------------------------------------------------------------

TEST(CppRows, TypedValuesMapToTheirCellKinds) {
  tabulix::table t;
  t.add_column(type::string);
  t.add_column(type::int64);
  t.add_column(type::uint64);
  t.add_column(type::hex);
  t.end_header();
  const std::string s = "str";
  t.add_row(s, std::int8_t{-8}, std::uint16_t{16}, tabulix::hex{0xff});
  t.add_row(std::string_view("view"), -1LL, 18446744073709551615ULL, tabulix::hex{0});
  t.add_row("lit", INT64_MIN, 0u, tabulix::hex{UINT64_MAX});
  t.begin_row();
  t.add_cell("parts");
  t.add_cell(std::int32_t{7});
  t.add_cell(std::size_t{9});
  t.add_cell(tabulix::hex{10});
  t.end_row();
  EXPECT_EQ(t.row_count(), 4);
  EXPECT_EQ(t.to_string(section::rows),
            "str                     -8                   16               0xff\n"
            "view                    -1 18446744073709551615                0x0\n"
            "lit   -9223372036854775808                    0 0xffffffffffffffff\n"
            "parts                    7                    9                0xa\n");
}

// Every value is checked before the row is added: a refused row leaves the
// table as it was, the header still open before the first row.
TEST(CppRows, RefusedRowLeavesTheTableAsItWas) {
  tabulix::table t;
  t.add_column(type::string);
  t.add_column({type::int64, "N"});
  try {
    t.add_row("a", "1");
    ADD_FAILURE() << "no exception";
  } catch (const std::system_error& e) {
    EXPECT_EQ(e.code(), errc::cell_type_mismatch);
  }
  std::error_code ec;
  t.add_row("b", 2, 3, ec);
  EXPECT_EQ(ec, errc::no_more_columns);
  t.end_header(ec);  // the header is still open
  EXPECT_FALSE(ec);
  t.add_row("c", 4);
  t.add_row("d", std::numeric_limits<std::uint64_t>::max(), ec);
  EXPECT_EQ(ec, errc::cell_type_mismatch);
  t.add_row("e", 1u);
  EXPECT_EQ(t.row_count(), 2);
  EXPECT_EQ(t.to_string(section::titles | section::rows), "  N\nc 4\ne 1\n");
}

// Each integer goes to its column's type when its value fits there.
struct conversion {
  const char* name;
  type column;
  std::function<void(tabulix::table&, std::error_code&)> add;
  const char* printed;  // null: refused as a type mismatch
};

template <class... Values>
std::function<void(tabulix::table&, std::error_code&)> row_of(Values... values) {
  return [values...](tabulix::table& t, std::error_code& ec) { t.add_row(values..., ec); };
}

const conversion conversions[] = {
    {"size_t into int64", type::int64, row_of(std::size_t{7}), "7"},
    {"int8 into int64", type::int64, row_of(std::int8_t{-128}), "-128"},
    {"largest int64 as unsigned", type::int64, row_of(std::uint64_t{INT64_MAX}),
     "9223372036854775807"},
    {"one more than int64", type::int64, row_of(std::uint64_t{INT64_MAX} + 1), nullptr},
    {"int into uint64", type::uint64, row_of(1200), "1200"},
    {"short into uint64", type::uint64, row_of(short{-1}), nullptr},
    {"smallest int64 into uint64", type::uint64, row_of(INT64_MIN), nullptr},
    {"int into hex", type::hex, row_of(255), "0xff"},
    {"negative into hex", type::hex, row_of(-255L), nullptr},
    {"hex into uint64", type::uint64, row_of(tabulix::hex{1}), nullptr},
    {"text into int64", type::int64, row_of("1"), nullptr},
    {"int into string", type::string, row_of(1), nullptr},
    {"optional int into uint64", type::uint64, row_of(std::optional<int>(5)), "5"},
    {"optional negative into uint64", type::uint64, row_of(std::optional<int>(-5)), nullptr},
    {"nullopt into int64", type::int64, row_of(std::optional<long>()), ""},
    {"empty into hex", type::hex, row_of(tabulix::empty), ""},
    {"optional text", type::string, row_of(std::optional<std::string>("t")), "t"},
    {"double into float64", type::float64, row_of(0.1), "0.1"},
    {"float into float64", type::float64, row_of(0.1F), "0.10000000149011612"},
    {"2^53 into float64", type::float64, row_of(std::int64_t{1} << 53), "9007199254740992"},
    {"2^53 + 1 into float64", type::float64, row_of((std::int64_t{1} << 53) + 1), nullptr},
    {"largest uint64 into float64", type::float64, row_of(UINT64_MAX), nullptr},
    {"2^63 into float64", type::float64, row_of(std::uint64_t{1} << 63), "9.223372036854776e+18"},
    {"smallest int64 into float64", type::float64, row_of(INT64_MIN), "-9.223372036854776e+18"},
    {"double into int64", type::int64, row_of(1.0), nullptr},
    {"optional double", type::float64, row_of(std::optional<double>(-2.5)), "-2.5"},
};

TEST(CppRows, IntegersConvertToTheirColumnTypeWhenTheyFit) {
  for (const conversion& c : conversions) {
    SCOPED_TRACE(c.name);
    tabulix::table t;
    t.add_column(c.column);
    std::error_code ec;
    c.add(t, ec);
    if (c.printed == nullptr) {
      EXPECT_EQ(ec, errc::cell_type_mismatch);
      EXPECT_EQ(t.row_count(), 0);
    } else {
      EXPECT_FALSE(ec) << ec.message();
      EXPECT_EQ(t.to_string(section::rows), std::string(c.printed) + "\n");
    }
  }
}

TEST(CppRows, PrecisionAndGrouping) {
  tabulix::table t{tabulix::column_spec(type::float64, "Ratio").precision(2).grouping(','),
                   tabulix::column_spec(type::uint64, "Bytes").grouping('_'),
                   tabulix::column_spec(type::float64).precision(0)};
  std::error_code ec;
  tabulix::table refused;
  refused.add_column(tabulix::column_spec(type::float64).grouping('.'), ec);  // the justify char
  EXPECT_EQ(ec, errc::invalid_argument);
  t.add_row(1234.5, 1932735283200U, 2.5F);
  EXPECT_EQ(t.to_string(section::rows), "1,234.50 1_932_735_283_200 2\n");
}

TEST(CppRows, EmptyCellsAnywhereInARow) {
  tabulix::table t{tabulix::column_spec(type::int64, "A").summarize(),
                   tabulix::column_spec(type::string, "B").cell_just(just::right),
                   tabulix::column_spec(type::uint64, "C").summarize()};
  t.add_row(tabulix::empty, "bb", 1u);
  t.add_row(-2, std::nullopt, 3);
  t.add_row(std::optional<int>(4), "b", tabulix::empty);
  // Number columns are right-justified, title and cells, unless told otherwise.
  EXPECT_EQ(t.to_string(), " A B  C\n   bb 1\n-2    3\n 4  b  \n 2    4\n");
}

TEST(CppRows, ColumnsInOneExpressionAndSortByPosition) {
  struct process {
    std::string name;
    int pid;
    std::size_t bytes;
  };
  const std::vector<process> processes = {{"init", 1, 4096}, {"sh", 20, 1 << 20}};
  tabulix::table t{{type::string, "Name"},
                   tabulix::column_spec(type::int64, "PID").cell_just(just::right),
                   tabulix::column_spec(type::uint64, "Bytes").summarize().suffix(" B")};
  for (const process& p : processes) t.add_row(p.name, p.pid, p.bytes);
  EXPECT_EQ(t.column_id(2), 3);
  EXPECT_EQ(t.column_id(3), 0);
  t.sort(t.column_id(2), tabulix::order::desc);
  EXPECT_EQ(t.to_string(),
            "Name PID     Bytes\nsh    20 1048576 B\ninit   1    4096 B\n         1052672 B\n");
}

// The summary line shows a text in place of a sum or filler; every print
// writes that line only when it shows something, but with the C defaults.
TEST(CppRows, SumTextsAndTheStreamedSummaryLine) {
  tabulix::table t{{type::string, "Item"}, {type::uint64, "Qty"}};
  t.add_row("pen", 3);
  std::ostringstream plain;
  plain << t;
  EXPECT_EQ(plain.str(), "Item Qty\npen    3\n");
  EXPECT_EQ(t.to_string(), plain.str());
  EXPECT_EQ(t.to_string(section::sum), "");
  tabulix::table c = tabulix::table::c_defaults();
  c.add_columns({{type::string, "Item"}, {type::uint64, "Qty"}});
  c.add_row("pen", 3);
  std::ostringstream c_plain;
  c_plain << c;
  EXPECT_EQ(c_plain.str(), "Item Qty\npen 3\n     \n");
  EXPECT_EQ(c.to_string(), c_plain.str());

  tabulix::table other;
  tabulix::column foreign = other.add_column(type::string);
  EXPECT_THROW(t.set_sum_text(foreign, "Total"), std::system_error);
  t.set_sum_text(t.column_id(0), std::string("Total"));
  std::ostringstream labelled;
  labelled << t;
  EXPECT_EQ(labelled.str(), "Item  Qty\npen     3\nTotal    \n");
  ASSERT_EQ(tblx_setsumtext(t.get(), 1, nullptr), TBLX_OK);  // back to no summary text
  std::ostringstream cleared;
  cleared << t;
  EXPECT_EQ(cleared.str(), plain.str());
}

TEST(CppRows, EmptyRowAndRemoval) {
  tabulix::table t;
  t.add_column(type::string);
  t.end_header();
  t.add_row();
  t.begin_row();
  EXPECT_EQ(t.row_count(), 1);
  t.remove_rows();
  EXPECT_EQ(t.row_count(), 0);
  EXPECT_NO_THROW(t.add_row("again"));
}

// A long title widens its column once titles are measured, in either form.
TEST(CppTable, MeasuredTitlesWidenTheirColumns) {
  tabulix::table t;
  t.add_column(tabulix::column_spec(type::int64, "Delta").cell_just(just::right));
  t.add_column({type::string, "x"});
  t.end_header();
  t.add_row(std::int64_t{-5}, "a");
  t.set_measure_titles(true);
  EXPECT_EQ(t.to_string(section::titles | section::rows), "Delta x\n   -5 a\n");
  std::error_code ec = errc::parse;
  t.set_measure_titles(false, ec);
  EXPECT_FALSE(ec);
  EXPECT_EQ(t.to_string(section::titles | section::rows), "Delta x\n-5 a\n");
}

// Multi-line texts, a column's width limit and the table's, in both forms.
TEST(CppTable, LinesAndWidthLimits) {
  tabulix::table t{tabulix::column_spec(type::string, "Note").max_width(5, tabulix::overflow::wrap),
                   tabulix::column_spec(type::string, "Long")};
  t.end_header();
  t.add_row("one two\nx", "abcdefghij");
  t.set_multiline(true);
  EXPECT_EQ(t.to_string(section::rows), "one  abcdefghij\ntwo\nx\n");  // "Note" sizes its column
  t.set_max_width(12);
  EXPECT_EQ(t.to_string(section::rows), "one  abcd...\ntwo\nx\n");
  std::error_code ec;
  t.set_max_width(0, ec);
  EXPECT_FALSE(ec);
  tabulix::table numbers;
  EXPECT_THROW(numbers.add_column(tabulix::column_spec(type::int64).max_width(3)),
               std::system_error);
}

// ---- moved-from tables ----------------------------------------------------------------

TEST(CppMoves, MovedFromTableReportsInvalidArgument) {
  tabulix::table t;
  tabulix::column c = t.add_column({type::string, "T"});
  tabulix::table u = std::move(t);
  EXPECT_FALSE(t);
  EXPECT_EQ(t.get(), nullptr);
  EXPECT_EQ(t.row_count(), 0);

  const std::vector<std::function<void(std::error_code&)>> uses = {
      [&](std::error_code& ec) { t.add_column(type::string, ec); },
      [&](std::error_code& ec) { t.sort(c, tabulix::order::asc, ec); },
      [&](std::error_code& ec) { t.end_header(ec); },
      [&](std::error_code& ec) { t.begin_row(ec); },
      [&](std::error_code& ec) { t.add_cell("x", ec); },
      [&](std::error_code& ec) { t.end_row(ec); },
      [&](std::error_code& ec) { t.add_row("x", ec); },
      [&](std::error_code& ec) { t.remove_rows(ec); },
      [&](std::error_code& ec) { t.clean(ec); },
      [&](std::error_code& ec) { t.set_style(tabulix::style::raw, ec); },
      [&](std::error_code& ec) { t.set_sum_filler(tabulix::style::raw, '*', ec); },
      [&](std::error_code& ec) { t.set_measure_titles(true, ec); },
      [&](std::error_code& ec) { t.sort(1, tabulix::order::asc, ec); },
      [&](std::error_code& ec) { t.print(stdout, section::all, ec); },
      [&](std::error_code& ec) { static_cast<void>(t.to_string(section::all, ec)); },
  };
  for (std::size_t i = 0; i < uses.size(); ++i) {
    std::error_code ec;
    uses[i](ec);
    EXPECT_EQ(ec, errc::invalid_argument) << "use " << i;
  }
  EXPECT_THROW(t.clean(), std::system_error);
  EXPECT_THROW(t.sort(1, tabulix::order::asc), std::system_error);
  EXPECT_THROW(t.set_measure_titles(false), std::system_error);
  std::ostringstream os;
  os << t;
  EXPECT_TRUE(os.fail());

  // The moved-to table carries on where the other stopped.
  u.end_header();
  u.add_row("v");
  u.sort(c, tabulix::order::desc);  // the handle followed the table
  EXPECT_EQ(u.to_string(), "T\nv\n");

  // A moved-from table takes a new one.
  t = tabulix::table();
  EXPECT_TRUE(t);
  EXPECT_NO_THROW(t.add_column(type::string));
}

TEST(CppMoves, MoveAssignmentReleasesTheOldTable) {
  auto alive = std::make_shared<int>(0);
  tabulix::table t;
  t.add_column(tabulix::column_spec(type::string).title_func([alive](unsigned) {
    return std::string("x");
  }));
  EXPECT_EQ(alive.use_count(), 2);
  t = tabulix::table();
  EXPECT_EQ(alive.use_count(), 1);
  tabulix::table& same = t;
  t = std::move(same);  // self-move keeps the table
  EXPECT_TRUE(t);
}

// Column handles keep working when their table moves, into a vector too.
TEST(CppMoves, HandlesFollowTheirTable) {
  std::vector<tabulix::table> tables;
  std::vector<tabulix::column> handles;
  for (int i = 0; i < 3; ++i) {
    tabulix::table t;
    handles.push_back(t.add_column({type::int64, "T" + std::to_string(i)}));
    tables.push_back(std::move(t));
  }
  tables[1].add_row(5);
  tables[1].add_row(7);
  tables[1].sort(handles[1], tabulix::order::desc);
  EXPECT_EQ(tables[1].to_string(section::titles | section::rows), "T1\n 7\n 5\n");
  std::error_code ec;
  tables[0].sort(handles[1], tabulix::order::desc, ec);
  EXPECT_EQ(ec, errc::no_such_column);
}

// ---- kept texts and callbacks ------------------------------------------------------------

TEST(CppLifetime, TitlesAndSuffixesOutliveTheCallersStrings) {
  tabulix::table t;
  for (int i = 0; i < 40; ++i) {
    std::string title = "column " + std::to_string(i) + std::string(20, '*');
    t.add_column(
        tabulix::column_spec(type::uint64, title).suffix(std::string(" u") + char('a' + i % 26)));
  }
  t.end_header();
  t.begin_row();
  for (int i = 0; i < 40; ++i) t.add_cell(static_cast<unsigned>(i));
  t.end_row();
  tabulix::table moved = std::move(t);  // the kept texts move with it
  std::string rows = moved.to_string(section::titles | section::rows);
  EXPECT_NE(rows.find("column 39********************"), std::string::npos);
  EXPECT_NE(rows.find("39 un"), std::string::npos);
}

// A column_spec keeps copies of its texts: the strings it was made from may be gone
// before its column is declared.
TEST(CppLifetime, SpecsKeepTheirOwnTexts) {
  const auto long_text = [](const char* s) { return s + std::string(24, '.'); };
  const tabulix::column_spec name(type::string, long_text("Name"));
  const tabulix::column_spec size =
      tabulix::column_spec(type::uint64, long_text("Size")).suffix(long_text(" B"));
  tabulix::table t{name, size};
  t.add_row("pen", 3);
  const std::string printed = t.to_string(section::titles | section::rows);
  EXPECT_EQ(printed.find(long_text("Name") + ' ' + long_text("Size")), 0u) << printed;
  EXPECT_NE(printed.find('3' + long_text(" B")), std::string::npos) << printed;
}

TEST(CppLifetime, TitleCallbackGetsTheWidthAndIsOwned) {
  auto alive = std::make_shared<int>(0);
  std::vector<unsigned> widths;
  tabulix::table t;
  t.add_column(tabulix::column_spec(type::string).title_func([alive, &widths](unsigned w) {
    widths.push_back(w);
    return std::string(w, '=');
  }));
  t.end_header();
  t.add_row("abcd");
  EXPECT_EQ(alive.use_count(), 2);
  EXPECT_EQ(t.to_string(section::titles), "====\n");
  // Once to measure the title, once to print it.
  EXPECT_EQ(widths, (std::vector<unsigned>{4, 4}));
  t.clean();  // no column can call it any more
  EXPECT_EQ(alive.use_count(), 1);
}

TEST(CppLifetime, MoveOnlyAndCStringCallbacks) {
  tabulix::table t;
  auto text = std::make_unique<std::string>("owned");
  using tabulix::column_spec;
  t.add_column(
      column_spec(type::string).title_func([p = std::move(text)](unsigned) { return *p; }));
  t.add_column(
      column_spec(type::string).title_func([](unsigned) -> const char* { return "cstr"; }));
  t.add_column(
      column_spec(type::string).title_func([](unsigned) -> const char* { return nullptr; }));
  t.add_column(
      column_spec(type::string).title_func([](unsigned) { return std::string_view("view"); }));
  t.add_column({type::string, "end"});
  t.end_header();
  t.add_row("a", "b", "c", "d", "e");
  EXPECT_EQ(t.to_string(section::titles), "owned cstr   view end\n");
}

// A throwing callable gets an empty title, the print goes on, and the print
// then reports the exception: rethrown as it was, or as an error_code.
struct callable_failure {
  const char* name;
  std::exception_ptr raised;
  std::error_code code;
};

const callable_failure callable_failures[] = {
    {"bad_alloc", std::make_exception_ptr(std::bad_alloc()), errc::no_memory},
    {"system_error", std::make_exception_ptr(std::system_error(errc::parse)), errc::parse},
    {"runtime_error", std::make_exception_ptr(std::runtime_error("no title")),
     std::make_error_code(std::errc::operation_canceled)},
};

TEST(CppLifetime, ThrowingCallbackIsReportedAfterThePrint) {
  for (const callable_failure& c : callable_failures) {
    SCOPED_TRACE(c.name);
    bool fail = true;
    tabulix::table t;
    t.add_column(tabulix::column_spec(type::string).title_func([&](unsigned) -> std::string {
      if (fail) std::rethrow_exception(c.raised);
      return "A";
    }));
    t.add_column({type::string, "B"});
    t.end_header();
    t.add_row("aaa", "b");

    try {
      static_cast<void>(t.to_string(section::titles));
      ADD_FAILURE() << "no exception";
    } catch (...) {
      EXPECT_EQ(std::current_exception(), c.raised) << "not the callable's own exception";
    }
    std::error_code ec;
    EXPECT_EQ(t.to_string(section::titles, ec), "");
    EXPECT_EQ(ec, c.code);
    // A stream gets the whole table, with the title left empty.
    const std::string written = support::capture([&](std::FILE* f) {
      t.print(f, section::titles, ec);
      EXPECT_EQ(ec, c.code);
      EXPECT_THROW(t.print(f, section::titles), std::exception);
    });
    EXPECT_EQ(written, "    B\n    B\n");
    std::ostringstream os;
    os << t;
    EXPECT_TRUE(os.fail());

    // Each print reports its own failures only.
    fail = false;
    EXPECT_EQ(t.to_string(section::titles, ec), "A   B\n");
    EXPECT_FALSE(ec);
  }
}

// A title callable that calls back into its own table: every call that would
// change, print or free it is refused with the library's message, in both
// forms, and the print completes with the table and the callable intact.
struct reentry {
  const char* name;
  std::function<void(tabulix::table&, tabulix::column&, std::error_code*)> run;
};

#define REENTRY(name, expr_throwing, expr_ec)                              \
  {                                                                        \
    name, [](tabulix::table& t, tabulix::column& c, std::error_code* ec) { \
      static_cast<void>(t);                                                \
      static_cast<void>(c);                                                \
      if (ec) {                                                            \
        expr_ec;                                                           \
      } else {                                                             \
        expr_throwing;                                                     \
      }                                                                    \
    }                                                                      \
  }

const reentry reentries[] = {
    REENTRY("clean", t.clean(), t.clean(*ec)),
    REENTRY("remove_rows", t.remove_rows(), t.remove_rows(*ec)),
    REENTRY("add_column", t.add_column(type::string), t.add_column(type::string, *ec)),
    REENTRY("end_header", t.end_header(), t.end_header(*ec)),
    REENTRY("set_sum_text", t.set_sum_text(c, "x"), t.set_sum_text(c, "x", *ec)),
    REENTRY("begin_row", t.begin_row(), t.begin_row(*ec)),
    REENTRY("end_row", t.end_row(), t.end_row(*ec)),
    REENTRY("add_row", t.add_row("x", 1), t.add_row("x", 1, *ec)),
    REENTRY("add_cell", t.add_cell(std::string_view("x")), t.add_cell(2, *ec)),
    REENTRY("set_style", t.set_style(tabulix::style::fancy), t.set_style(tabulix::style::raw, *ec)),
    REENTRY("set_sum_filler", t.set_sum_filler(tabulix::style::simple, '*'),
            t.set_sum_filler(tabulix::style::simple, '*', *ec)),
    REENTRY("sort", t.sort(1, tabulix::order::desc), t.sort(2, tabulix::order::desc, *ec)),
    REENTRY("print", t.print(stdout), t.print(stdout, section::all, *ec)),
    REENTRY("to_string", static_cast<void>(t.to_string()),
            static_cast<void>(t.to_string(section::titles, *ec))),
};

TEST(CppReentry, CallsIntoThePrintedTableAreRefused) {
  auto alive = std::make_shared<int>(0);
  tabulix::table t;
  std::vector<std::string> refused;
  bool reentered = false;
  tabulix::column first;
  first = t.add_column(tabulix::column_spec(type::string).title_func([&, alive](unsigned) {
    if (reentered) return std::string("Name");
    reentered = true;
    for (const reentry& r : reentries) {
      try {
        r.run(t, first, nullptr);
        ADD_FAILURE() << r.name << ": no exception";
      } catch (const std::system_error& e) {
        EXPECT_EQ(e.code(), errc::invalid_argument) << r.name;
        EXPECT_STREQ(e.what(), tblx_strerror(TBLX_ERR_INVALID_ARGUMENT)) << r.name;
      }
      std::error_code ec;
      r.run(t, first, &ec);
      EXPECT_EQ(ec, errc::invalid_argument) << r.name;
      refused.emplace_back(r.name);
    }
    // Moves leave the printed table where it is.
    tabulix::table moved(std::move(t));
    EXPECT_FALSE(moved);
    tabulix::table other;
    other = std::move(t);
    t = tabulix::table();
    EXPECT_TRUE(t);
    EXPECT_EQ(t.row_count(), 2);  // reading still works
    EXPECT_EQ(alive.use_count(), 2);
    return std::string("Name");
  }));
  t.add_column(tabulix::column_spec(type::int64, "N").summarize());
  t.end_header();
  t.add_row("bb", 2);
  t.add_row("a", 1);

  reentered = true;  // the table printed without calling back
  const std::string expected = t.to_string();
  reentered = false;
  EXPECT_EQ(t.to_string(), expected);
  EXPECT_EQ(refused.size(), std::size(reentries));
  EXPECT_EQ(t.to_string(), expected);  // nothing changed, the callable is alive
  EXPECT_EQ(alive.use_count(), 2);
  t.clean();  // refused no longer
  EXPECT_EQ(alive.use_count(), 1);
}

TEST(CppLifetime, RefusedColumnKeepsNothing) {
  auto alive = std::make_shared<int>(0);
  tabulix::table t;
  t.add_column(type::string);
  t.end_header();
  std::error_code ec;
  t.add_column(
      tabulix::column_spec(type::string, "Title").suffix(" s").title_func([alive](unsigned) {
        return std::string();
      }),
      ec);
  EXPECT_EQ(ec, errc::header_ended);
  EXPECT_EQ(alive.use_count(), 1);
}

}  // namespace
