// SPDX-License-Identifier: MIT
// Numbers in printed rows, checked against the C library's printf for values
// of every length: the digit writers work in blocks of digits and pairs of
// hex digits, so block and power boundaries are where they could go wrong.
#include <gtest/gtest.h>

#include <algorithm>
#include <cinttypes>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "support/table.h"

namespace {

using namespace support;

// Powers of ten and of two around their boundaries, and random values of
// every bit length.
std::vector<uint64_t> interesting_values() {
  constexpr uint64_t ten_to_19 = 10'000'000'000'000'000'000u;
  std::vector<uint64_t> v = {
      0,         UINT64_MAX,   UINT64_MAX - 1, uint64_t{INT64_MAX}, uint64_t{INT64_MAX} + 1,
      ten_to_19, ten_to_19 + 1};
  for (uint64_t p = 1; p <= UINT64_MAX / 10; p *= 10) {
    v.insert(v.end(), {p - 1, p, p + 1, p * 10 - 1});
  }
  for (int bits = 1; bits < 64; ++bits) {
    const uint64_t p = uint64_t{1} << bits;
    v.insert(v.end(), {p - 1, p, p + 1});
  }
  uint64_t state = 7;
  for (int i = 0; i < 512; ++i) {
    state = state * 6364136223846793005u + 1442695040888963407u;
    v.push_back(state >> (i % 64));
  }
  return v;
}

std::string format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::string format(const char* fmt, ...) {
  char buffer[128];
  va_list args;
  va_start(args, fmt);
  std::vsnprintf(buffer, sizeof buffer, fmt, args);
  va_end(args);
  return buffer;
}

struct NumberColumn {
  const char* what;
  ColDef def;
  unsigned style;
  // The text of one value, in a column whose text width is w (suffix included).
  std::string (*expected)(uint64_t value, int w);
  // The unfilled text, from which the column width is measured.
  std::string (*bare)(uint64_t value);
};

std::string int_bare(uint64_t v) { return format("%" PRId64, static_cast<int64_t>(v)); }
std::string uint_bare(uint64_t v) { return format("%" PRIu64, v); }
std::string hex_bare(uint64_t v) { return format("0x%" PRIx64, v); }

const NumberColumn number_columns[] = {
    {"int right",
     {.type = TBLX_TYPE_INT, .cell_just = TBLX_JUST_RIGHT},
     TBLX_STYLE_SIMPLE,
     [](uint64_t v, int w) { return format("%*" PRId64, w, static_cast<int64_t>(v)); },
     int_bare},
    {"int left, suffix",
     {.type = TBLX_TYPE_INT, .cell_just = TBLX_JUST_LEFT, .suffix = " kB"},
     TBLX_STYLE_FANCY,
     [](uint64_t v, int w) { return format("%-*" PRId64 " kB", w - 3, static_cast<int64_t>(v)); },
     [](uint64_t v) { return int_bare(v) + " kB"; }},
    {"uint right, suffix",
     {.type = TBLX_TYPE_UINT, .cell_just = TBLX_JUST_RIGHT, .suffix = "B"},
     TBLX_STYLE_FANCYW,
     [](uint64_t v, int w) { return format("%*" PRIu64 "B", w - 1, v); },
     [](uint64_t v) { return uint_bare(v) + "B"; }},
    {"uint centred",
     {.type = TBLX_TYPE_UINT, .cell_just = TBLX_JUST_CENTER},
     TBLX_STYLE_SIMPLE,
     [](uint64_t v, int w) {
       const std::string s = uint_bare(v);
       // Only blanks before: the last column gets none after its text.
       return std::string((static_cast<size_t>(w) - s.size()) / 2, ' ') + s;
     },
     uint_bare},
    {"hex zero-filled",
     {.type = TBLX_TYPE_HEX, .zeros = true},
     TBLX_STYLE_SIMPLE,
     [](uint64_t v, int w) { return format("0x%0*" PRIx64, w - 2, v); },
     hex_bare},
    {"hex upper zero-filled, suffix",
     {.type = TBLX_TYPE_HEX, .suffix = "h", .hex_case = TBLX_HEX_UPPER, .zeros = true},
     TBLX_STYLE_FANCY,
     [](uint64_t v, int w) { return format("0x%0*" PRIX64 "h", w - 3, v); },
     [](uint64_t v) { return hex_bare(v) + "h"; }},
    {"hex right",
     {.type = TBLX_TYPE_HEX, .cell_just = TBLX_JUST_RIGHT, .hex_case = TBLX_HEX_UPPER},
     TBLX_STYLE_SIMPLE,
     [](uint64_t v, int w) { return format("%*s", w, format("0x%" PRIX64, v).c_str()); },
     hex_bare},
    {"int raw",
     {.type = TBLX_TYPE_INT, .cell_just = TBLX_JUST_RIGHT, .suffix = "s"},
     TBLX_STYLE_RAW,
     [](uint64_t v, int) { return int_bare(v) + "s"; },
     [](uint64_t v) { return int_bare(v) + "s"; }},
};

TEST(PrintNumbers, MatchPrintfForValuesOfEveryLength) {
  const std::vector<uint64_t> values = interesting_values();
  for (const NumberColumn& col : number_columns) {
    Rows rows;
    size_t width = 0;
    for (uint64_t v : values) {
      rows.push_back({Val{col.def.type, {}, v}});
      width = std::max(width, col.bare(v).size());
    }
    Table t = make_table({col.def}, rows);
    ASSERT_EQ(TBLX_OK, tblx_setstyle(t.get(), static_cast<int>(col.style)));
    std::string expected;
    for (uint64_t v : values) expected += col.expected(v, static_cast<int>(width)) + "\n";
    EXPECT_EQ(expected, print_to_string(t.get(), TBLX_PRINT_ROWS)) << col.what;
  }
}

// A number column between others: its fill and suffix end exactly at the
// separator, and the cells around it are untouched.
TEST(PrintNumbers, NeighboursKeepTheirPlaces) {
  Table t = make_table({{.type = TBLX_TYPE_STRING},
                        {.type = TBLX_TYPE_INT, .cell_just = TBLX_JUST_RIGHT, .suffix = " s"},
                        {.type = TBLX_TYPE_HEX, .zeros = true},
                        {.type = TBLX_TYPE_STRING, .cell_just = TBLX_JUST_RIGHT}},
                       {{str("a"), num(-1234567890123), hex(0xabc), str("z")},
                        {str("bcd"), num(5), hex(0x123456789), str("yy")}});
  ASSERT_EQ(TBLX_OK, tblx_setstyle(t.get(), TBLX_STYLE_FANCYW));
  EXPECT_EQ(
      "a   | -1234567890123 s | 0x000000abc |  z\n"
      "bcd |              5 s | 0x123456789 | yy\n",
      print_to_string(t.get(), TBLX_PRINT_ROWS));
}

}  // namespace
