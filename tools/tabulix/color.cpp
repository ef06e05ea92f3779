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

namespace {

// Takes the printed bytes of one section and writes them painted, a whole
// line at a time.
class painting_writer {
 public:
  painting_writer(const painter& paint, line_kind kind, std::FILE* out)
      : paint_(paint), kind_(kind), out_(out) {}

  bool operator()(const char* data, std::size_t size) {
    std::string_view rest(data, size);
    for (std::size_t end = rest.find('\n'); end != std::string_view::npos; end = rest.find('\n')) {
      line_.append(rest.substr(0, end));
      if (!put_line(true)) return false;
      rest.remove_prefix(end + 1);
    }
    line_.append(rest);
    return true;
  }

  // Writes what is left of a last line without a line feed.
  bool finish() { return line_.empty() || put_line(false); }

 private:
  bool put_line(bool line_feed) {
    painted_.clear();
    paint_.paint(line_, kind_, painted_);
    if (line_feed) painted_ += '\n';
    line_.clear();
    return std::fwrite(painted_.data(), 1, painted_.size(), out_) == painted_.size();
  }

  const painter& paint_;
  line_kind kind_;
  std::FILE* out_;
  std::string line_;
  std::string painted_;
};

}  // namespace

void print_painted(tabulix::table& table, tabulix::section sections, width_unit unit,
                   std::FILE* out, std::error_code& ec) {
  using tabulix::section;
  const painter paint(table.to_string(section::title_rule, ec), unit);
  static constexpr std::pair<section, line_kind> parts[] = {
      {section::titles, line_kind::titles}, {section::title_rule, line_kind::rule},
      {section::rows, line_kind::cells},    {section::sum_rule, line_kind::rule},
      {section::sum, line_kind::cells},
  };
  for (const auto& [part, kind] : parts) {
    if (ec) return;
    if ((sections & part) != part) continue;
    painting_writer writer(paint, kind, out);
    table.print(writer, part, ec);
    if (!ec && !writer.finish()) ec = tabulix::errc::output_error;
  }
}

}  // namespace tabulix::cli
