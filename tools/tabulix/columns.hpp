// SPDX-License-Identifier: MIT
// Options that name columns, resolved once the header is known: which
// columns are shown and in what order, and what each option asks of them.
#ifndef TABULIX_TOOL_COLUMNS_HPP
#define TABULIX_TOOL_COLUMNS_HPP

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "infer.hpp"
#include "options.hpp"

namespace tabulix::cli {

// Finds columns by header text, or else by number from 1. The titles are
// indexed once, so that a lookup costs the length of the text looked up.
class column_names {
 public:
  explicit column_names(const std::vector<std::string>& titles) : titles_(titles) {}

  // The 0-based position of the column `ref`, if there is one; usage_error
  // naming `option` when the text names several columns.
  [[nodiscard]] std::optional<std::size_t> lookup(std::string_view option,
                                                  std::string_view ref) const;

  // As lookup, and a usage_error when there is no such column.
  [[nodiscard]] std::size_t find(std::string_view option, std::string_view ref) const;

  // Splits "COL=VALUE". The column is the longest title (or number) that is
  // followed by '=', so titles and values may both hold '='; without one,
  // the text splits at its first '='.
  [[nodiscard]] std::pair<std::size_t, std::string_view> find_pair(std::string_view option,
                                                                   std::string_view arg) const;

  // The columns of a LIST: COL,COL,... where a title may hold commas and
  // an item may be a range A-B of columns, in the order given, or A- from A
  // to the last column.
  [[nodiscard]] std::vector<std::size_t> find_list(std::string_view option,
                                                   std::string_view list) const;

 private:
  [[nodiscard]] std::optional<std::vector<std::size_t>> range(std::string_view option,
                                                              std::string_view item) const;

  // Makes the index, on the first lookup: a table whose options name no
  // column needs none.
  void make_index() const;

  const std::vector<std::string>& titles_;
  mutable bool indexed_ = false;
  // Each title's first column, and its second (npos: none).
  mutable std::unordered_map<std::string_view, std::pair<std::size_t, std::size_t>> index_;
  mutable std::size_t longest_ = 0;
  // The numbers of commas that titles hold, most first, zero left out: a
  // run of list items can only be a title with as many commas.
  mutable std::vector<std::size_t> comma_counts_;
};

// A column the rows are sorted by (--sort), and the direction.
struct sort_column {
  std::size_t column;
  bool descending;
};

// The options that name columns, with positions among the shown columns.
struct column_requests {
  std::vector<std::size_t> shown;  // the input column of each shown column
  bool all_shown = true;           // neither --columns nor --exclude
  std::size_t hidden = 0;          // the last ones of `shown` are sort keys only
  std::vector<std::optional<value_type>> types;
  std::vector<std::optional<figure>> figures;
  std::vector<sort_column> sort;  // primary key first
  std::vector<std::size_t> hex_upper, leading_zeros, by_length;
  std::vector<std::size_t> group;  // named by --group=LIST
  bool group_all = false;          // a bare --group: every number column
  std::vector<std::pair<std::size_t, std::string>> suffix;
  std::vector<std::pair<std::size_t, int>> min_width;
  std::vector<std::pair<std::size_t, int>> max_width;
  int every_max_width = 0;  // --max-column-width N: every text column
  std::vector<std::pair<std::size_t, alignment>> align, title_align;

  // Makes room for one more shown column.
  void add_column() {
    types.emplace_back();
    figures.emplace_back();
  }
};

// Resolves the options against the input's titles. Throws usage_error for
// a column that does not exist or is not shown, and for a column given two
// figures.
column_requests resolve_requests(const options& opts, const std::vector<std::string>& titles);

}  // namespace tabulix::cli

#endif
