// SPDX-License-Identifier: MIT
// The order of the stored records under --sort. Each record gets one compact
// key: a 64-bit prefix of its first sort value that orders as the value does
// (exactly for whole numbers; for decimals and texts, records whose prefixes
// are equal are compared in full), sorted by a stable radix sort. The
// records stay where they are; only (prefix, record number) pairs move.
#ifndef TABULIX_TOOL_SORT_KEYS_HPP
#define TABULIX_TOOL_SORT_KEYS_HPP

#include <cstddef>
#include <cstdint>
#include <vector>

#include "plan.hpp"
#include "store.hpp"

namespace tabulix::cli {

// Compares stored records under the plan's sort columns.
class record_order {
 public:
  explicit record_order(const table_plan& plan) : plan_(plan) {}

  // Where a record falls under the first sort column, direction applied:
  // records without that field, then empty ones, then values (descending:
  // the reverse). `prefix` is meaningful for values only.
  enum class place : std::uint8_t { missing, empty, value };
  struct first_key {
    place where = place::missing;
    std::uint64_t prefix = 0;
  };
  [[nodiscard]] first_key first_key_of(const char* record) const;

  // Whether equal prefixes of values mean equal records, so that the prefix
  // alone orders them.
  [[nodiscard]] bool prefix_decides() const;

  // Below, equal to or above zero as record `a` sorts before, with or after
  // record `b` under every sort column. Ties keep the input order, which
  // this cannot see: a caller breaks them by position.
  [[nodiscard]] int compare(const char* a, const char* b) const;

 private:
  const table_plan& plan_;
};

// Orders two stored fields of column `c` as the sort does, ascending:
// negative, zero or positive (a field past the record's end, tag end, first).
int compare_sort_fields(const column_settings& c, const stored_field& a, const stored_field& b);

// The record numbers of `records` in sorted order; the sort is stable.
std::vector<std::size_t> sorted_order(const table_plan& plan,
                                      const std::vector<const char*>& records);

}  // namespace tabulix::cli

#endif
