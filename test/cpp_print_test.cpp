// SPDX-License-Identifier: MIT
// Printing through the C++ layer: the same tables built with tabulix.hpp and
// with the C calls print the same bytes, and those are the expected ones.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <optional>
#include <sstream>
#include <string>
#include <system_error>
#include <vector>

#include "support/table.h"
#include "tabulix.hpp"

namespace {

using tabulix::just;
using tabulix::section;
using tabulix::style;
using tabulix::type;

// What the C library prints for the given flags.
std::string c_print(tblx_table* t, unsigned flags, bool except = false) {
  tblx_status rc = TBLX_OK;
  const std::string out = support::capture([&](std::FILE* f) {
    rc = except ? tblx_print_except(t, flags, f) : tblx_print(t, flags, f);
  });
  return (rc == TBLX_OK ? "" : "<status " + std::to_string(rc) + ">") + out;
}

// Names (string) and sizes (uint, right, summed).
tabulix::table sizes_cpp() {
  tabulix::table t = tabulix::table::c_defaults();
  t.add_columns({{type::string, "Name"},
                 tabulix::column_spec(type::uint64, "Size").cell_just(just::right).summarize()});
  t.end_header();
  t.add_row("alpha", 1200u);
  t.add_row("b", 35u);
  t.add_row("gamma-ray", 7u);
  return t;
}

tblx_table* sizes_c() {
  tblx_table* t = tblx_new();
  tblx_begincolumn(t, TBLX_TYPE_STRING);
  tblx_setcolumn_title(t, "Name");
  tblx_endcolumn(t);
  tblx_begincolumn(t, TBLX_TYPE_UINT);
  tblx_setcolumn_title(t, "Size");
  tblx_setcolumn_celljust(t, TBLX_JUST_RIGHT);
  tblx_setcolumn_summarize(t, 1);
  tblx_endcolumn(t);
  tblx_endheader(t);
  const char* names[] = {"alpha", "b", "gamma-ray"};
  const std::uint64_t sizes[] = {1200, 35, 7};
  for (int i = 0; i < 3; ++i) {
    tblx_beginrow(t);
    tblx_addcell_string(t, names[i]);
    tblx_addcell_uint(t, sizes[i]);
    tblx_endrow(t);
  }
  return t;
}

// Items with a minimum width, prices aligned on '.', summed quantities with a
// suffix, and a short row; price_title_just 0 keeps the default.
tabulix::table items_cpp(just price_title_just = just{0}) {
  tabulix::table t = tabulix::table::c_defaults();
  t.add_column(tabulix::column_spec(type::string, "Item").min_width(10));
  tabulix::column_spec price(type::string, "Price");
  price.cell_just(just::char_first).justify_char('.');
  if (price_title_just != just{0}) price.title_just(price_title_just);
  t.add_column(price);
  t.add_column(
      tabulix::column_spec(type::int64, "Qty").cell_just(just::right).summarize().suffix(" pc"));
  t.end_header();
  t.add_row("pen", "1.25", 10);
  t.add_row("notebook", "12.5", 3);
  t.add_row("ink");
  return t;
}

tblx_table* items_c(unsigned price_title_just = 0) {
  tblx_table* t = tblx_new();
  tblx_begincolumn(t, TBLX_TYPE_STRING);
  tblx_setcolumn_title(t, "Item");
  tblx_setcolumn_minwidth(t, 10);
  tblx_endcolumn(t);
  tblx_begincolumn(t, TBLX_TYPE_STRING);
  tblx_setcolumn_title(t, "Price");
  tblx_setcolumn_celljust(t, TBLX_JUST_CHAR_FIRST);
  tblx_setcolumn_justchar(t, '.');
  if (price_title_just != 0) tblx_setcolumn_titlejust(t, price_title_just);
  tblx_endcolumn(t);
  tblx_begincolumn(t, TBLX_TYPE_INT);
  tblx_setcolumn_title(t, "Qty");
  tblx_setcolumn_celljust(t, TBLX_JUST_RIGHT);
  tblx_setcolumn_summarize(t, 1);
  tblx_setcolumn_suffix(t, " pc");
  tblx_endcolumn(t);
  tblx_endheader(t);
  tblx_beginrow(t);
  tblx_addcell_string(t, "pen");
  tblx_addcell_string(t, "1.25");
  tblx_addcell_int(t, 10);
  tblx_endrow(t);
  tblx_beginrow(t);
  tblx_addcell_string(t, "notebook");
  tblx_addcell_string(t, "12.5");
  tblx_addcell_int(t, 3);
  tblx_endrow(t);
  tblx_beginrow(t);
  tblx_addcell_string(t, "ink");
  tblx_endrow(t);
  return t;
}

// The README's missing values: empty cells and summary texts.
tabulix::table missing_cpp() {
  tabulix::table t{{type::string, "Item"},
                   tabulix::column_spec(type::uint64, "Qty").cell_just(just::right).summarize(),
                   tabulix::column_spec(type::string, "Price").cell_just(just::char_first)};
  t.add_row("pen", 120, "1.25");
  t.add_row("notebook", tabulix::empty, "12.5");
  t.add_row("eraser", std::optional<short>(35), std::optional<std::string>());
  t.set_sum_text(t.column_id(0), "Total");
  t.set_sum_text(t.column_id(2), "13.75");
  return t;
}

tblx_table* missing_c() {
  tblx_table* t = tblx_new();
  tblx_begincolumn(t, TBLX_TYPE_STRING);
  tblx_setcolumn_title(t, "Item");
  tblx_endcolumn(t);
  tblx_begincolumn(t, TBLX_TYPE_UINT);
  tblx_setcolumn_title(t, "Qty");
  tblx_setcolumn_celljust(t, TBLX_JUST_RIGHT);
  tblx_setcolumn_summarize(t, 1);
  tblx_endcolumn(t);
  tblx_begincolumn(t, TBLX_TYPE_STRING);
  tblx_setcolumn_title(t, "Price");
  tblx_setcolumn_celljust(t, TBLX_JUST_CHAR_FIRST);
  tblx_endcolumn(t);
  tblx_endheader(t);
  tblx_beginrow(t);
  tblx_addcell_string(t, "pen");
  tblx_addcell_uint(t, 120);
  tblx_addcell_string(t, "1.25");
  tblx_endrow(t);
  tblx_beginrow(t);
  tblx_addcell_string(t, "notebook");
  tblx_addcell_empty(t);
  tblx_addcell_string(t, "12.5");
  tblx_endrow(t);
  tblx_beginrow(t);
  tblx_addcell_string(t, "eraser");
  tblx_addcell_uint(t, 35);
  tblx_addcell_empty(t);
  tblx_endrow(t);
  tblx_setsumtext(t, 1, "Total");
  tblx_setsumtext(t, 3, "13.75");
  return t;
}

struct golden {
  const char* name;
  tabulix::table (*cpp)();
  tblx_table* (*c)();
  style s;
  std::string expected;
};

tabulix::table items_title_on_char() { return items_cpp(just::char_first); }
tblx_table* items_title_on_char_c() { return items_c(TBLX_JUST_CHAR_FIRST); }
tabulix::table items_default() { return items_cpp(); }
tblx_table* items_default_c() { return items_c(); }

const std::vector<golden>& goldens() {
  static const std::vector<golden> cases = {
      {"sizes_simple", sizes_cpp, sizes_c, style::simple, R"(Name      Size
alpha     1200
b           35
gamma-ray    7
          1242
)"},
      {"sizes_fancyw", sizes_cpp, sizes_c, style::fancyw, R"(Name      | Size
----------+-----
alpha     | 1200
b         |   35
gamma-ray |    7
----------+-----
          | 1242
)"},
      {"sizes_fancy", sizes_cpp, sizes_c, style::fancy, R"(Name     |Size
---------+----
alpha    |1200
b        |  35
gamma-ray|   7
---------+----
         |1242
)"},
      {"sizes_raw", sizes_cpp, sizes_c, style::raw, R"(Name Size
alpha 1200
b 35
gamma-ray 7
- 1242
)"},
      // The short row ends in the separator's blank, kept outside the raw text.
      {"items_fancyw", items_default, items_default_c, style::fancyw,
       R"(Item       | Price | Qty
-----------+-------+------
pen        |  1.25 | 10 pc
notebook   | 12.5  |  3 pc
)"
       "ink        |       | \n"
       R"(-----------+-------+------
           |       | 13 pc
)"},
      {"items_simple", items_default, items_default_c, style::simple, R"(Item       Price Qty
pen         1.25 10 pc
notebook   12.5   3 pc
ink
                 13 pc
)"},
      {"items_raw", items_default, items_default_c, style::raw, R"(Item Price Qty
pen 1.25 10 pc
notebook 12.5 3 pc
ink
- - 13 pc
)"},
      {"missing_values_fancyw", missing_cpp, missing_c, style::fancyw,
       R"(Item     | Qty | Price
---------+-----+------
pen      | 120 |  1.25
notebook |     | 12.5
)"
       "eraser   |  35 |   \n"
       R"(---------+-----+------
Total    | 155 | 13.75
)"},
      {"items_title_on_char_fancyw", items_title_on_char, items_title_on_char_c, style::fancyw,
       R"(Item       | Price    | Qty
-----------+----------+------
pen        |     1.25 | 10 pc
notebook   |    12.5  |  3 pc
)"
       "ink        |          | \n"
       R"(-----------+----------+------
           |          | 13 pc
)"},
  };
  return cases;
}

class CppGolden : public testing::TestWithParam<golden> {};

TEST_P(CppGolden, WrapperPrintsWhatTheCLibraryPrints) {
  const golden& g = GetParam();
  tabulix::table t = g.cpp();
  t.set_style(g.s);
  tblx_table* c = g.c();
  ASSERT_EQ(tblx_setstyle(c, static_cast<int>(g.s)), TBLX_OK);

  EXPECT_EQ(t.to_string(), g.expected);
  EXPECT_EQ(t.to_string(), c_print(c, TBLX_PRINT_ALL));
  // Every section subset, and its complement through ~.
  for (unsigned flags = 0; flags <= TBLX_PRINT_ALL; ++flags) {
    const auto s = static_cast<section>(flags);
    EXPECT_EQ(t.to_string(s), c_print(c, flags)) << flags;
    EXPECT_EQ(t.to_string(~s), c_print(c, flags, true)) << flags;
  }
  tblx_delete(c);
}

INSTANTIATE_TEST_SUITE_P(Examples, CppGolden, testing::ValuesIn(goldens()),
                         [](const testing::TestParamInfo<golden>& case_info) {
                           return std::string(case_info.param.name);
                         });

TEST(CppPrint, StreamFileAndStringAgree) {
  tabulix::table t = sizes_cpp();
  t.set_style(tabulix::style::fancy);
  const std::string expected = t.to_string();
  std::ostringstream os;
  os << t;
  EXPECT_EQ(os.str(), expected);

  const std::string written = support::capture([&](std::FILE* f) {
    t.print(f);
    t.print(f, section::sum);
  });
  EXPECT_EQ(written, expected + "         |1242\n");
}

// A stream that reports an error fails the print with errc::output_error, in
// both forms; the table is written to a fresh stream each time.
TEST(CppPrint, StreamErrorIsReported) {
  tabulix::table t = sizes_cpp();
  std::FILE* full = std::fopen("/dev/full", "w");
  if (full == nullptr) GTEST_SKIP() << "no /dev/full";
  std::error_code ec;
  t.print(full, section::all, ec);
  std::fclose(full);
  EXPECT_EQ(ec, tabulix::errc::output_error);
  full = std::fopen("/dev/full", "w");
  ASSERT_NE(full, nullptr);
  try {
    t.print(full, section::rows);
    ADD_FAILURE() << "no exception";
  } catch (const std::system_error& e) {
    EXPECT_EQ(e.code(), tabulix::errc::output_error);
    EXPECT_STREQ(e.what(), "Output error");
  }
  std::fclose(full);
  EXPECT_EQ(t.to_string(section::rows), "alpha     1200\nb           35\ngamma-ray    7\n");
}

// A writer gets the same bytes as a stream, in every format; one that
// refuses them or throws stops the print, which is reported as for a stream
// or a title callable.
TEST(CppPrint, WritersAndFormats) {
  tabulix::table t = sizes_cpp();
  t.set_format(tabulix::format::csv);
  std::string got;
  t.print([&](const char* data, std::size_t size) { got.append(data, size); });
  EXPECT_EQ(got, "Name,Size\r\nalpha,1200\r\nb,35\r\ngamma-ray,7\r\n");
  EXPECT_EQ(t.to_string(), got);
  t.set_format(tabulix::format::jsonl);
  EXPECT_EQ(t.to_string(section::rows),
            "{\"Name\":\"alpha\",\"Size\":1200}\n{\"Name\":\"b\",\"Size\":35}\n"
            "{\"Name\":\"gamma-ray\",\"Size\":7}\n");

  int calls = 0;
  std::error_code ec;
  t.print([&](const char*, std::size_t) { return ++calls > 1; }, section::all, ec);
  EXPECT_EQ(ec, tabulix::errc::output_error);
  EXPECT_EQ(calls, 1);
  EXPECT_THROW(t.print([](const char*, std::size_t) { throw std::runtime_error("full"); }),
               std::runtime_error);
  t.print([](const char*, std::size_t) { throw std::bad_alloc(); }, section::all, ec);
  EXPECT_EQ(ec, tabulix::errc::no_memory);
  EXPECT_THROW(t.set_format(static_cast<tabulix::format>(7)), std::system_error);
}

TEST(CppPrint, SortByHandleAndFillers) {
  tabulix::table t = tabulix::table::c_defaults();
  t.add_column(tabulix::column_spec(type::string, "Name").sort_by_length());
  tabulix::column size =
      t.add_column(tabulix::column_spec(type::hex, "Size").hex_case(tabulix::hex_case::upper));
  t.end_header();
  t.add_row("ccc", tabulix::hex{0xab});
  t.add_row("a", tabulix::hex{0x1});
  t.add_row("bb", tabulix::hex{0xff});
  t.sort(size, tabulix::order::desc);
  EXPECT_EQ(t.to_string(section::rows), "bb  0xFF\nccc 0xAB\na   0x1\n");
  t.sort(1, tabulix::order::asc);  // the name column: by length first
  EXPECT_EQ(t.to_string(section::rows), "a   0x1\nbb  0xFF\nccc 0xAB\n");
  t.set_sum_filler(style::simple, '*');
  EXPECT_EQ(t.to_string(section::sum), "*   *\n");
}

// Display widths line up UTF-8 text as a terminal shows it, as the C calls
// do; the default counts bytes.
TEST(CppPrint, WidthModes) {
  tabulix::table t{{type::string, "City"}, tabulix::column_spec(type::uint64, "N").summarize()};
  t.add_row("T\u014dky\u014d", 1);
  t.add_row("Wien", 2);
  t.set_sum_text(t.column_id(0), "\u5408\u8a08");  // two wide characters
  t.set_style(style::fancyw);
  const char* cells[] = {"T\u014dky\u014d", "Wien"};
  support::Table c(tblx_new());
  tblx_begincolumn(c.get(), TBLX_TYPE_STRING);
  tblx_setcolumn_title(c.get(), "City");
  tblx_endcolumn(c.get());
  tblx_begincolumn(c.get(), TBLX_TYPE_UINT);
  tblx_setcolumn_title(c.get(), "N");
  tblx_setcolumn_summarize(c.get(), 1);
  tblx_endcolumn(c.get());
  tblx_endheader(c.get());
  for (std::uint64_t i = 0; i < 2; ++i) {
    tblx_beginrow(c.get());
    tblx_addcell_string(c.get(), cells[i]);
    tblx_addcell_uint(c.get(), i + 1);
    tblx_endrow(c.get());
  }
  tblx_setsumtext(c.get(), 1, "\u5408\u8a08");
  tblx_setstyle(c.get(), TBLX_STYLE_FANCYW);

  const std::string bytes = t.to_string();
  EXPECT_EQ(bytes, c_print(c.get(), TBLX_PRINT_ALL));
  t.set_width_mode(tabulix::width::display);
  tblx_setwidthmode(c.get(), TBLX_WIDTH_DISPLAY);
  EXPECT_EQ(t.to_string(), c_print(c.get(), TBLX_PRINT_ALL));
  EXPECT_EQ(t.to_string(section::rows),
            "T\u014dky\u014d | 1\n"
            "Wien  | 2\n");
  t.set_width_mode(tabulix::width::bytes);
  EXPECT_EQ(t.to_string(), bytes);
}

TEST(CppPrint, CharAlignedTitleCallbackSeesBothWidths) {
  std::vector<unsigned> widths;
  tabulix::table t;
  t.add_column(tabulix::column_spec(type::string)
                   .title_func([&widths](unsigned w) {
                     widths.push_back(w);
                     return std::string("Price");
                   })
                   .title_just(just::char_first)
                   .cell_just(just::char_first));
  t.end_header();
  t.add_row("1.25");
  t.add_row("12.5");
  t.set_style(style::fancyw);
  EXPECT_EQ(t.to_string(section::titles | section::rows), "Price\n    1.25\n   12.5\n");
  EXPECT_EQ(widths, (std::vector<unsigned>{5, 8}));
}

}  // namespace

namespace {

// flush_rows streams as tblx_flushrows does: rows through a writer in the
// first flush's widths, then the summary of every row ever added.
TEST(CppPrint, FlushRowsStreamsAndThePrintSumsEveryRow) {
  tabulix::table t = sizes_cpp();
  std::string out;
  const auto append = [&out](const char* data, std::size_t size) { out.append(data, size); };
  std::error_code ec;
  t.flush_rows(append, section::all, ec);
  EXPECT_FALSE(ec);
  t.add_row("a longer name", 100000u);
  t.flush_rows(append, section::all, ec);
  EXPECT_FALSE(ec);
  t.print(append, section::sum, ec);
  EXPECT_FALSE(ec);
  EXPECT_EQ(
      "Name      Size\nalpha     1200\nb           35\ngamma-ray    7\n"
      "a long... 100000\n          101242\n",
      out);
}

}  // namespace
