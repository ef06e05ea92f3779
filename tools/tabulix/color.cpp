// SPDX-License-Identifier: MIT
#include "color.hpp"

#include <cstdlib>

namespace tabulix::cli {

namespace {

constexpr std::string_view bold = "\x1b[1m";
constexpr std::string_view dim = "\x1b[2m";
constexpr std::string_view plain = "\x1b[0m";

constexpr char junction = '+';   // where a rule meets a column separator
constexpr char separator = '|';  // in both fancy styles

}  // namespace

bool wants_color(color_mode mode, bool is_terminal) {
  if (mode != color_mode::automatic) return mode == color_mode::always;
  const char* no_color = std::getenv("NO_COLOR");
  return is_terminal && (no_color == nullptr || *no_color == '\0');
}

painter::painter(std::string_view title_rule, width_unit unit) : unit_(unit) {
  // A rule is ASCII: its offsets are its widths in either unit.
  for (std::size_t at = title_rule.find(junction); at != std::string_view::npos;
       at = title_rule.find(junction, at + 1)) {
    separators_.push_back(at);
  }
}

void painter::paint(std::string_view line, line_kind kind, std::string& out) const {
  if (line.empty()) return;
  if (kind == line_kind::rule) {
    out.append(dim).append(line).append(plain);
    return;
  }
  const std::string_view field_style = kind == line_kind::titles ? bold : std::string_view();
  out += field_style;
  std::size_t done = 0;     // bytes of `line` written
  std::size_t done_at = 0;  // the width they take
  for (const std::size_t column : separators_) {
    const std::size_t at = offset_at_width(line.substr(done), column - done_at, unit_);
    // A short line, or something other than a separator where one belongs
    // (never in a table the library printed): the rest goes as it is.
    if (at == std::string_view::npos || line[done + at] != separator) break;
    out.append(line.substr(done, at));
    if (!field_style.empty()) out += plain;
    out.append(dim).append(1, separator).append(plain).append(field_style);
    done += at + 1;
    done_at = column + 1;
  }
  out.append(line.substr(done));
  if (!field_style.empty()) out += plain;
}

}  // namespace tabulix::cli
