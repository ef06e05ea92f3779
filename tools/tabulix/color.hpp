// SPDX-License-Identifier: MIT
// Colour on a terminal: titles in bold, rules and column separators dimmed.
// The table is laid out as it would be without colour and painted line by
// line afterwards, so the escape sequences take no part in any width.
#ifndef TABULIX_TOOL_COLOR_HPP
#define TABULIX_TOOL_COLOR_HPP

#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>
#include <system_error>
#include <tabulix.hpp>
#include <vector>

#include "options.hpp"
#include "text.hpp"

namespace tabulix::cli {

// Whether to colour: `automatic` colours a terminal unless the NO_COLOR
// environment variable is set to a non-empty value.
bool wants_color(color_mode mode, bool is_terminal);

// The part of a table a printed line belongs to.
enum class line_kind { titles, rule, cells };

class painter {
 public:
  // `title_rule` is the rule the table draws under its titles in a fancy
  // style, without its line feed ("" in the other styles): its junctions
  // stand where every other line has a column separator.
  painter(std::string_view title_rule, width_unit unit);

  // Appends `line` (without its line feed) to `out`, painted as `kind`.
  void paint(std::string_view line, line_kind kind, std::string& out) const;

 private:
  std::vector<std::size_t> separators_;  // the widths before each separator
  width_unit unit_;
};

// Prints the sections of the table to `out`, each line painted as what it
// is, as the library writes them: nothing is held but the line being painted.
void print_painted(tabulix::table& table, tabulix::section sections, width_unit unit,
                   std::FILE* out, std::error_code& ec);

}  // namespace tabulix::cli

#endif
