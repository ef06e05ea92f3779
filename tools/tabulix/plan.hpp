// SPDX-License-Identifier: MIT
// What the table will look like: every option applied to the shown columns,
// with the types settled, the figures made and the widths fitted. Making the
// plan checks everything that can go wrong before a single line is printed.
#ifndef TABULIX_TOOL_PLAN_HPP
#define TABULIX_TOOL_PLAN_HPP

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "columns.hpp"
#include "infer.hpp"
#include "load.hpp"
#include "options.hpp"
#include "text.hpp"

namespace tabulix::cli {

// Everything the table is told about one column.
struct column_settings {
  std::string title;
  column_kind kind = column_kind::text;
  bool point = false;  // decimal text aligned on its point
  alignment cell{};
  alignment title_align{};
  int min_width = 0;
  std::optional<std::string> suffix;
  std::optional<std::string> summary;  // the summary line's text: a figure or the label
  bool hex_upper = false;
  bool leading_zeros = false;
  char group = 0;  // digit group separator of a number column; 0: none
  bool by_length = false;
  int max_width = 0;  // texts wider than this are cut or wrapped; 0: none
};

struct table_plan {
  std::vector<column_settings> columns;
  std::size_t visible = 0;        // columns printed; those after them are sort keys only
  bool number_rows = false;       // a first column with each row's number in the input
  std::vector<sort_column> sort;  // primary key first
  std::string style;
  tabulix::format format = tabulix::format::text;
  tabulix::section sections = tabulix::section::all;
  std::vector<filler> fillers;
  bool display_widths = true;   // widths count terminal columns (else bytes)
  bool measure_titles = false;  // every title counts in its column's width (a title line is shown)
  bool wrap = false;            // texts wrap instead of being cut; fields keep their line breaks
  int fit_width = 0;            // the width the lines should fit, 0: none
};

// Where the table is printed: whether it is a terminal, and how wide one is.
struct output_place {
  bool terminal = false;
  int width = 0;  // 0: unknown
};

// What the table's widths count.
width_unit unit_of(const options& opts);

// The width to fit the table into, or 0 for none: --width, else the
// terminal's.
int fit_width(const options& opts, const output_place& out);

// Applies the options to the loaded data. Throws usage_error for options
// that do not fit the columns.
table_plan make_plan(const options& opts, const dataset& data, const output_place& out);

}  // namespace tabulix::cli

#endif
