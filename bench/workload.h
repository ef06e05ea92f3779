// SPDX-License-Identifier: MIT
// The benchmark workload: N rows of five columns drawn from a splitmix64
// generator with seed 42, so every program and every run sees the same data.
//
//   name   string of 3 to 20 lower-case letters, left-justified
//   delta  signed 64-bit in [-10^12, 10^12], right-justified
//   bytes  unsigned 64-bit in [0, 10^10), suffix " B", right-justified, summed
//   addr   hex of a 48-bit value, zero-filled, lower case
//   price  string "I.F", I in 0..99999, F of 1 to 3 digits, aligned on '.'
//
// The display-width workloads print the same table with its widths counting
// terminal columns (tblx_setwidthmode), as it is (ASCII) or with names of
// CJK ideographs instead of letters (cjk_names).
//
// The table is printed in the fancyw style with all five sections. Generating
// the rows is never timed; filling a table from them is. A table that is
// sorted again and again gets a sixth column, each row's input position, so
// that one more sort restores the input order.
#ifndef TABULIX_BENCH_WORKLOAD_H
#define TABULIX_BENCH_WORKLOAD_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "tabulix.h"

namespace workload {

constexpr uint64_t seed = 42;
constexpr size_t sizes[] = {10'000, 100'000, 1'000'000};

struct splitmix64 {
  uint64_t state;

  uint64_t next() noexcept {
    uint64_t z = (state += 0x9e3779b97f4a7c15u);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9u;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebu;
    return z ^ (z >> 31);
  }

  // A value in [0, bound); the modulo bias is irrelevant for a benchmark.
  uint64_t below(uint64_t bound) noexcept { return next() % bound; }
};

// One generated row, with the texts ready to hand to the library.
struct record {
  char name[21];
  char price[10];
  int64_t delta;
  uint64_t bytes;
  uint64_t addr;
};

inline std::vector<record> generate(size_t n) {
  constexpr uint64_t ten_to_12 = 1'000'000'000'000u;
  constexpr uint64_t ten_to_10 = 10'000'000'000u;
  splitmix64 rng{seed};
  std::vector<record> rows(n);
  for (record& r : rows) {
    const auto name_len = static_cast<size_t>(3 + rng.below(18));
    for (size_t i = 0; i < name_len; ++i) r.name[i] = static_cast<char>('a' + rng.below(26));
    r.name[name_len] = '\0';
    r.delta = static_cast<int64_t>(rng.below(2 * ten_to_12 + 1)) - static_cast<int64_t>(ten_to_12);
    r.bytes = rng.below(ten_to_10);
    r.addr = rng.next() >> 16;
    const auto integer = static_cast<unsigned>(rng.below(100'000));
    const auto fraction_digits = static_cast<int>(1 + rng.below(3));
    const unsigned fraction_bound = fraction_digits == 1   ? 10u
                                    : fraction_digits == 2 ? 100u
                                                           : 1000u;
    const auto fraction = static_cast<unsigned>(rng.below(fraction_bound));
    std::snprintf(r.price, sizeof r.price, "%u.%0*u", integer, fraction_digits, fraction);
  }
  return rows;
}

// Names of mostly CJK text for the display-width workloads: each row's name
// as as many ideographs (U+4E00 to U+9FFF, 3 bytes and 2 columns each) as
// the generated name has letters, drawn with their own seed.
inline std::vector<std::string> cjk_names(const std::vector<record>& rows) {
  splitmix64 rng{seed + 1};
  std::vector<std::string> names(rows.size());
  for (size_t i = 0; i < rows.size(); ++i) {
    for (const char* letter = rows[i].name; *letter != '\0'; ++letter) {
      const auto cp = static_cast<uint32_t>(0x4E00 + rng.below(0x5200));
      names[i] += static_cast<char>(0xE0 | cp >> 12);
      names[i] += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
      names[i] += static_cast<char>(0x80 | (cp & 0x3F));
    }
  }
  return names;
}

// Column positions, and the IDs that tblx_sort takes (IDs count from 1).
// INPUT_POSITION is the extra column of tables made for sorting.
enum column_position { NAME, DELTA, BYTES, ADDR, PRICE, INPUT_POSITION };
constexpr int column_id(column_position p) { return static_cast<int>(p) + 1; }

// Declares the workload's five columns.
inline bool declare_columns(tblx_table* t) {
  return  // name
      tblx_begincolumn(t, TBLX_TYPE_STRING) == TBLX_OK &&
      tblx_setcolumn_title(t, "name") == TBLX_OK && tblx_endcolumn(t) == TBLX_OK &&
      // delta
      tblx_begincolumn(t, TBLX_TYPE_INT) == TBLX_OK &&
      tblx_setcolumn_title(t, "delta") == TBLX_OK &&
      tblx_setcolumn_titlejust(t, TBLX_JUST_RIGHT) == TBLX_OK &&
      tblx_setcolumn_celljust(t, TBLX_JUST_RIGHT) == TBLX_OK && tblx_endcolumn(t) == TBLX_OK &&
      // bytes
      tblx_begincolumn(t, TBLX_TYPE_UINT) == TBLX_OK &&
      tblx_setcolumn_title(t, "bytes") == TBLX_OK &&
      tblx_setcolumn_titlejust(t, TBLX_JUST_RIGHT) == TBLX_OK &&
      tblx_setcolumn_celljust(t, TBLX_JUST_RIGHT) == TBLX_OK &&
      tblx_setcolumn_suffix(t, " B") == TBLX_OK && tblx_setcolumn_summarize(t, 1) == TBLX_OK &&
      tblx_endcolumn(t) == TBLX_OK &&
      // addr
      tblx_begincolumn(t, TBLX_TYPE_HEX) == TBLX_OK && tblx_setcolumn_title(t, "addr") == TBLX_OK &&
      tblx_setcolumn_leadingzero(t, 1) == TBLX_OK &&
      tblx_setcolumn_hexcase(t, TBLX_HEX_LOWER) == TBLX_OK && tblx_endcolumn(t) == TBLX_OK &&
      // price
      tblx_begincolumn(t, TBLX_TYPE_STRING) == TBLX_OK &&
      tblx_setcolumn_title(t, "price") == TBLX_OK &&
      tblx_setcolumn_celljust(t, TBLX_JUST_CHAR_FIRST) == TBLX_OK &&
      tblx_setcolumn_justchar(t, '.') == TBLX_OK && tblx_endcolumn(t) == TBLX_OK;
}

// A table with the workload's header, in the fancyw style, and with the input
// position column when asked; null when any call fails.
inline tblx_table* new_table(bool with_positions = false) {
  tblx_table* t = tblx_new();
  if (t == nullptr) return nullptr;
  const bool ok = tblx_setstyle(t, TBLX_STYLE_FANCYW) == TBLX_OK && declare_columns(t) &&
                  (!with_positions || (tblx_begincolumn(t, TBLX_TYPE_UINT) == TBLX_OK &&
                                       tblx_setcolumn_title(t, "position") == TBLX_OK &&
                                       tblx_endcolumn(t) == TBLX_OK)) &&
                  tblx_endheader(t) == TBLX_OK;
  if (!ok) {
    tblx_delete(t);
    return nullptr;
  }
  return t;
}

// The five cells of one row: the calls a caller makes, one per cell.
inline bool add_cells(tblx_table* t, const record& r) {
  return tblx_addcell_string(t, r.name) == TBLX_OK && tblx_addcell_int(t, r.delta) == TBLX_OK &&
         tblx_addcell_uint(t, r.bytes) == TBLX_OK && tblx_addcell_hex(t, r.addr) == TBLX_OK &&
         tblx_addcell_string(t, r.price) == TBLX_OK;
}

// Adds the rows with other names (cjk_names) in the name column.
inline bool fill_renamed(tblx_table* t, const std::vector<record>& rows,
                         const std::vector<std::string>& names) {
  for (size_t i = 0; i < rows.size(); ++i) {
    const record& r = rows[i];
    if (tblx_beginrow(t) != TBLX_OK || tblx_addcell_string(t, names[i].c_str()) != TBLX_OK ||
        tblx_addcell_int(t, r.delta) != TBLX_OK || tblx_addcell_uint(t, r.bytes) != TBLX_OK ||
        tblx_addcell_hex(t, r.addr) != TBLX_OK || tblx_addcell_string(t, r.price) != TBLX_OK ||
        tblx_endrow(t) != TBLX_OK) {
      return false;
    }
  }
  return true;
}

// Adds the rows to the table.
inline bool fill(tblx_table* t, const std::vector<record>& rows) {
  for (const record& r : rows) {
    if (tblx_beginrow(t) != TBLX_OK || !add_cells(t, r) || tblx_endrow(t) != TBLX_OK) {
      return false;
    }
  }
  return true;
}

// Adds the rows, each with its input position in the extra column.
inline bool fill_with_positions(tblx_table* t, const std::vector<record>& rows) {
  for (size_t i = 0; i < rows.size(); ++i) {
    if (tblx_beginrow(t) != TBLX_OK || !add_cells(t, rows[i]) ||
        tblx_addcell_uint(t, i) != TBLX_OK || tblx_endrow(t) != TBLX_OK) {
      return false;
    }
  }
  return true;
}

// A new table holding the rows, with the input position column when asked,
// or null.
inline tblx_table* build_table(const std::vector<record>& rows, bool with_positions = false) {
  tblx_table* t = new_table(with_positions);
  if (t != nullptr && !(with_positions ? fill_with_positions(t, rows) : fill(t, rows))) {
    tblx_delete(t);
    return nullptr;
  }
  return t;
}

}  // namespace workload

#endif  // TABULIX_BENCH_WORKLOAD_H
