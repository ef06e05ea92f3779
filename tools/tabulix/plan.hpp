// SPDX-License-Identifier: MIT
// What the table will look like: every option applied to the columns that the
// input gave, with the types settled. Making the plan checks everything that
// can go wrong before a single line is printed.
#ifndef TABULIX_TOOL_PLAN_HPP
#define TABULIX_TOOL_PLAN_HPP

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "infer.hpp"
#include "load.hpp"
#include "options.hpp"

namespace tabulix::cli {

// Finds columns by header text, or else by number from 1.
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

 private:
  const std::vector<std::string>& titles_;
};

// The text as it can stand in one table line: control characters become
// \n, \r, \t or \xHH. Gives `text` itself when there is nothing to change,
// else the text of `buffer`.
const char* printable(const char* text, std::string& buffer);

// Everything the table is told about one column: its settled type and the
// options that apply to it.
struct column_settings {
  std::string title;
  value_type type = value_type::string;
  bool decimal = false;          // text made of decimal numbers: sorted by value
  bool point = false;            // and some of them have a point: aligned on it
  bool numbers_as_text = false;  // numbers read as text to show an empty value
  bool forced = false;           // the type came from --type
  std::string blank_at;          // "file:line" of an empty value followed by more fields
  alignment cell{};
  alignment title_align{};
  int min_width = 0;  // the widest of --min-width, the title and zero-filled hex
  std::optional<std::string> suffix;
  bool sum = false;
  bool hex_upper = false;
  bool leading_zeros = false;
  bool by_length = false;
};

// A column the rows are sorted by (--sort), and the direction.
struct sort_column {
  std::size_t column;
  bool descending;
};

struct table_plan {
  std::vector<column_settings> columns;
  std::vector<sort_column> sort;  // primary key first
  std::string style;
  unsigned sections = 0;
  std::vector<filler> fillers;
  bool display_widths = true;  // widths count terminal columns (else bytes)
};

// Checks the options that do not depend on the input; throws usage_error.
void check_options(const options& opts);

// Applies the options to the loaded data. `terminal` picks the default
// style. Throws usage_error for options that do not fit the columns and
// data_error for values that do not fit a type the user chose.
table_plan make_plan(const options& opts, const dataset& data, bool terminal);

}  // namespace tabulix::cli

#endif
