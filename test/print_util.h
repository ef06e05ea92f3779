// Test helpers for printing: tables declared from a list of column
// definitions, rows from lists of values, and a print captured as a string.
#ifndef TABULIX_TEST_PRINT_UTIL_H
#define TABULIX_TEST_PRINT_UTIL_H

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "tabulix_internal.h"

namespace print_util {

struct TableDeleter {
  void operator()(tblx_table* t) const noexcept { tblx_delete(t); }
};
using Table = std::unique_ptr<tblx_table, TableDeleter>;

// One column; a zero or null setting keeps the table's default.
struct ColDef {
  unsigned type;
  const char* title = nullptr;
  unsigned title_just = 0;
  unsigned cell_just = 0;
  int min_width = 0;
  bool sum = false;
  const char* suffix = nullptr;
  unsigned hex_case = 0;
  bool zeros = false;
  int just_char = 0;
  tblx_title_func title_func = nullptr;
  void* title_arg = nullptr;
};

// A cell value of any type.
struct Val {
  unsigned type;
  const char* text = nullptr;
  uint64_t value = 0;
};
inline Val str(const char* text) { return {TBLX_TYPE_STRING, text, 0}; }
inline Val num(int64_t v) { return {TBLX_TYPE_INT, nullptr, static_cast<uint64_t>(v)}; }
inline Val unum(uint64_t v) { return {TBLX_TYPE_UINT, nullptr, v}; }
inline Val hex(uint64_t v) { return {TBLX_TYPE_HEX, nullptr, v}; }

using Rows = std::vector<std::vector<Val>>;

inline void declare(tblx_table* t, const ColDef& d) {
  ASSERT_EQ(TBLX_OK, tblx_begincolumn(t, d.type));
  if (d.title != nullptr) {
    ASSERT_EQ(TBLX_OK, tblx_setcolumn_title(t, d.title));
  }
  if (d.title_func != nullptr) {
    ASSERT_EQ(TBLX_OK, tblx_setcolumn_titlefunc(t, d.title_func, d.title_arg));
  }
  if (d.title_just != 0) {
    ASSERT_EQ(TBLX_OK, tblx_setcolumn_titlejust(t, d.title_just));
  }
  if (d.cell_just != 0) {
    ASSERT_EQ(TBLX_OK, tblx_setcolumn_celljust(t, d.cell_just));
  }
  if (d.min_width != 0) {
    ASSERT_EQ(TBLX_OK, tblx_setcolumn_minwidth(t, d.min_width));
  }
  if (d.sum) {
    ASSERT_EQ(TBLX_OK, tblx_setcolumn_summarize(t, 1));
  }
  if (d.suffix != nullptr) {
    ASSERT_EQ(TBLX_OK, tblx_setcolumn_suffix(t, d.suffix));
  }
  if (d.hex_case != 0) {
    ASSERT_EQ(TBLX_OK, tblx_setcolumn_hexcase(t, d.hex_case));
  }
  if (d.zeros) {
    ASSERT_EQ(TBLX_OK, tblx_setcolumn_leadingzero(t, 1));
  }
  if (d.just_char != 0) {
    ASSERT_EQ(TBLX_OK, tblx_setcolumn_justchar(t, d.just_char));
  }
  ASSERT_EQ(TBLX_OK, tblx_endcolumn(t));
}

inline void add_rows(tblx_table* t, const Rows& rows) {
  for (const auto& cells : rows) {
    ASSERT_EQ(TBLX_OK, tblx_beginrow(t));
    for (const Val& v : cells) {
      switch (v.type) {
        case TBLX_TYPE_STRING:
          ASSERT_EQ(TBLX_OK, tblx_addcell_string(t, v.text));
          break;
        case TBLX_TYPE_INT:
          ASSERT_EQ(TBLX_OK, tblx_addcell_int(t, static_cast<int64_t>(v.value)));
          break;
        case TBLX_TYPE_UINT:
          ASSERT_EQ(TBLX_OK, tblx_addcell_uint(t, v.value));
          break;
        default:
          ASSERT_EQ(TBLX_OK, tblx_addcell_hex(t, v.value));
          break;
      }
    }
    ASSERT_EQ(TBLX_OK, tblx_endrow(t));
  }
}

// A table with the given header (ended) and rows.
inline Table make_table(const std::vector<ColDef>& cols, const Rows& rows = {}) {
  Table t(tblx_new());
  EXPECT_NE(nullptr, t.get());
  for (const ColDef& d : cols) declare(t.get(), d);
  EXPECT_EQ(TBLX_OK, tblx_endheader(t.get()));
  add_rows(t.get(), rows);
  return t;
}

// Everything a stream-writing call put on a fresh in-memory stream.
template <typename Write>
std::string capture(Write write) {
  char* data = nullptr;
  size_t size = 0;
  FILE* stream = open_memstream(&data, &size);
  EXPECT_NE(nullptr, stream);
  write(stream);
  std::fclose(stream);
  std::string out(data, size);
  std::free(data);
  return out;
}

inline std::string print_to_string(tblx_table* t, unsigned flags = TBLX_PRINT_ALL) {
  return capture([&](FILE* s) { EXPECT_EQ(TBLX_OK, tblx_print(t, flags, s)); });
}

// The width pair of the column at a 0-based position.
inline std::pair<uint32_t, uint32_t> widths(const tblx_table* t, int position) {
  const column* c = t->columns;
  for (int i = 0; i < position; ++i) c = c->next;
  return {c->width_lead, c->width_tail};
}

}  // namespace print_util

#endif  // TABULIX_TEST_PRINT_UTIL_H
