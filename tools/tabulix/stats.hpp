// SPDX-License-Identifier: MIT
// --stats: instead of the rows, a table with one row per shown column and
// its figures: type, values, empty cells, distinct values, minimum, maximum,
// mean and sum, and for number columns the median and a histogram.
#ifndef TABULIX_TOOL_STATS_HPP
#define TABULIX_TOOL_STATS_HPP

#include <string>
#include <tabulix.hpp>
#include <vector>

#include "load.hpp"
#include "plan.hpp"

namespace tabulix::cli {

// The figures of one column, as texts.
struct column_figures {
  std::string name;
  std::string type;
  std::uint64_t values = 0;
  std::uint64_t empty = 0;
  std::uint64_t distinct = 0;
  std::string min, max, mean, sum, median, histogram;
};

// The histogram of 10 equal-width bins from the smallest to the largest
// value: one character per bin, its height the bin's share of the fullest
// one (a blank for an empty bin). `ascii` uses .:-=+*#%@ instead of blocks.
std::string histogram(const std::vector<double>& values, bool ascii);

// The figures of the plan's visible columns over the stored rows.
std::vector<column_figures> column_statistics(const table_plan& plan, const dataset& data,
                                              bool ascii);

// The table of the figures, in the plan's style and format.
tabulix::table build_stats_table(const table_plan& plan, const dataset& data, bool ascii);

}  // namespace tabulix::cli

#endif
