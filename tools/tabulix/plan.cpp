// SPDX-License-Identifier: MIT
#include "plan.hpp"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <numeric>

#include "text.hpp"

namespace tabulix::cli {

namespace {

using tabulix::just;

bool is_library_number(column_kind k) {
  return k == column_kind::int64 || k == column_kind::uint64 || k == column_kind::hex;
}

bool is_char_kind(just k) { return k == just::char_first || k == just::char_last; }

std::string_view kind_name(column_kind k) {
  switch (k) {
    case column_kind::int64:
      return "int";
    case column_kind::uint64:
      return "uint";
    case column_kind::hex:
    case column_kind::hex_text:
      return "hex";
    case column_kind::decimal_text:
    case column_kind::decorated_text:
    case column_kind::text:
      break;
  }
  return "string";
}

// What the options ask of each shown column, looked up once per column.
struct column_asks {
  std::vector<bool> hex, leading_zeros, suffix;

  explicit column_asks(const column_requests& req)
      : hex(req.shown.size()), leading_zeros(req.shown.size()), suffix(req.shown.size()) {
    for (const auto j : req.hex_upper) hex[j] = true;
    for (const auto j : req.leading_zeros) hex[j] = leading_zeros[j] = true;
    for (const auto& p : req.suffix) suffix[p.first] = true;
  }
};

// Hex written with zeros keeps them under --leading-zeros when the library
// fills its digits to at least the widest value as written (no style but raw
// fills them; an absurdly wide value stays as written).
bool fills_written_hex(const type_guess& g, const std::string& style) {
  return style != "raw" && g.hex_width() < static_cast<std::uint32_t>(INT32_MAX / 2);
}

// The kind of a shown column: the user's type, else the guess, which options
// that ask for a library number column can settle further. Hex shown as
// written stays so under --hex-upper, which then changes only its letters.
column_kind settle_kind(const column_requests& req, const column_asks& asks, std::size_t j,
                        const type_guess& g, const std::string& style) {
  if (req.types[j]) return forced_kind(*req.types[j]);
  const column_kind guessed = g.kind();
  if (!g.has_values()) {
    // A column without values takes the type its options ask for.
    if (asks.hex[j]) return column_kind::hex;
    if (req.figures[j] || asks.suffix[j]) return column_kind::int64;
  }
  if (guessed == column_kind::hex_text &&
      ((asks.leading_zeros[j] && fills_written_hex(g, style)) || asks.suffix[j])) {
    return column_kind::hex;
  }
  return guessed;
}

void set_default_alignment(column_settings& c) {
  if (c.point) {
    c.cell = {just::char_first, '.'};
    c.title_align = {just::right, '.'};
  } else if (c.kind != column_kind::text) {
    c.cell = {just::right, '.'};
    c.title_align = {just::right, '.'};
  }
}

void require_hex(const char* option, const column_settings& c) {
  if (c.kind == column_kind::hex || c.kind == column_kind::hex_text) return;
  throw usage_error(std::string(option) + ": column " + in_quotes(c.title) + " is " +
                    std::string(kind_name(c.kind)) + ", not hex");
}

// What --group separates digit groups with.
constexpr char thousands_separator = ',';

// --group: the separator of the listed number columns, or of all of them.
void apply_grouping(std::vector<column_settings>& columns, const column_requests& req) {
  const auto group = [](column_settings& c, bool named) {
    if (c.kind == column_kind::text) {
      if (!named) return;
      throw usage_error("--group: column " + in_quotes(c.title) + " holds text, not numbers");
    }
    const char justify_char =
        is_char_kind(c.cell.kind) ? c.cell.justify_char : c.title_align.justify_char;
    if (justify_char == thousands_separator) {
      throw usage_error("--group: column " + in_quotes(c.title) + " is aligned on " +
                        in_quotes(std::string(1, thousands_separator)) +
                        ", which cannot also group its digits");
    }
    c.group = thousands_separator;
  };
  for (const auto at : req.group) group(columns[at], true);
  if (req.group_all) {
    for (auto& c : columns) group(c, false);
  }
}

void apply_requests(std::vector<column_settings>& columns, const column_requests& req) {
  for (const auto& [at, text] : req.suffix) {
    column_settings& c = columns[at];
    if (!is_library_number(c.kind)) {
      throw usage_error("--suffix: column " + in_quotes(c.title) +
                        (c.kind == column_kind::text ? " holds text, not numbers"
                                                     : " shows its numbers as written, which "
                                                       "take no suffix"));
    }
    c.suffix = text;
  }
  for (const auto at : req.hex_upper) {
    require_hex("--hex-upper", columns[at]);
    columns[at].hex_upper = true;
  }
  for (const auto at : req.leading_zeros) {
    require_hex("--leading-zeros", columns[at]);
    columns[at].leading_zeros = columns[at].kind == column_kind::hex;
  }
  for (const auto at : req.by_length) {
    column_settings& c = columns[at];
    if (is_library_number(c.kind)) {
      throw usage_error("--by-length: column " + in_quotes(c.title) + " is " +
                        std::string(kind_name(c.kind)) + ", and only text columns sort by length");
    }
    c.by_length = true;
  }
  for (const auto& [at, width] : req.min_width) {
    columns[at].min_width = std::max(columns[at].min_width, width);
  }
  for (auto& c : columns) {
    if (c.kind == column_kind::text) c.max_width = req.every_max_width;
  }
  for (const auto& [at, width] : req.max_width) {
    column_settings& c = columns[at];
    if (c.kind != column_kind::text) {
      throw usage_error("--max-column-width: column " + in_quotes(c.title) +
                        " holds numbers, which are never cut");
    }
    c.max_width = width;
  }
  for (const auto& [at, a] : req.align) columns[at].cell = a;
  for (const auto& [at, a] : req.title_align) columns[at].title_align = a;
  for (const auto& c : columns) {
    // A column has one alignment character for its cells and its title.
    if (is_char_kind(c.title_align.kind) && is_char_kind(c.cell.kind) &&
        c.title_align.justify_char != c.cell.justify_char) {
      throw usage_error("--title-align: column " + in_quotes(c.title) + " aligns its cells on " +
                        in_quotes(std::string(1, c.cell.justify_char)) +
                        " and can align its title only on the same character");
    }
  }
}

// A guessed hex column whose values were written with zeros and which the
// library fills with zeros: at least as wide as its widest value as written
// (and its suffix), so that no written zero is lost.
void keep_written_zeros(std::vector<column_settings>& columns, const dataset& data,
                        const column_requests& req, width_unit unit) {
  for (std::size_t j = 0; j < columns.size(); ++j) {
    column_settings& c = columns[j];
    if (!c.leading_zeros || req.types[j]) continue;
    std::size_t width = data.stats[j].guess.hex_width();
    // "0x", then the digits with a separator before every group of four but the first.
    if (c.group != 0 && width > 3) width += (width - 3) / 4;
    if (c.suffix) width += shown_width(*c.suffix, unit);
    c.min_width = std::max(c.min_width, static_cast<int>(std::min<std::size_t>(width, INT32_MAX)));
  }
}

// The figures, as summary texts, and the label in the first text column
// without one.
void make_summaries(const options& opts, const dataset& data, std::vector<column_settings>& cols) {
  for (std::size_t j = 0; j < cols.size(); ++j) {
    column_settings& c = cols[j];
    const column_stats& s = data.stats[j];
    if (!s.figure) continue;
    const std::string why = s.figure->refusal(c.kind, s.guess.has_exponent());
    if (!why.empty()) {
      throw usage_error(std::string(figure_option(s.figure->what())) + ": column " +
                        in_quotes(c.title) + " " + why);
    }
    const bool upper = c.hex_upper || (c.kind == column_kind::hex_text && s.guess.upper_hex());
    c.summary = s.figure->text(c.kind, upper, s.guess.fraction_digits());
    if (c.group != 0) {
      std::string grouped;
      c.summary = std::string(group_digits(*c.summary, c.group, grouped));
    }
    if (c.suffix && s.figure->what() != figure::count) *c.summary += *c.suffix;
  }
  if (!opts.label) return;
  const auto visible_end = cols.end() - static_cast<std::ptrdiff_t>(data.requests.hidden);
  const auto free_text = std::find_if(cols.begin(), visible_end, [](const column_settings& c) {
    return c.kind == column_kind::text && !c.summary;
  });
  if (free_text == visible_end) {
    throw usage_error("--label: no text column without a figure to show it in");
  }
  free_text->summary = *opts.label;
}

tabulix::section choose_sections(const options& opts, const std::vector<column_settings>& cols) {
  using tabulix::section;
  const bool summed =
      std::any_of(cols.begin(), cols.end(), [](const auto& c) { return c.summary.has_value(); });
  section sections = opts.sections ? *opts.sections
                     : summed      ? section::all
                                   : section::titles | section::title_rule | section::rows;
  if (opts.no_titles) sections &= ~(section::titles | section::title_rule);
  if (opts.no_rules) sections &= ~(section::title_rule | section::sum_rule);
  return sections;
}

std::size_t printed_width(const std::string& text, width_unit unit) {
  std::string buffer;
  return shown_width(printable(text.c_str(), buffer), unit);
}

// The width a column takes, as far as the tool can tell before printing.
std::size_t column_width(const column_settings& c, const column_stats& s, width_unit unit) {
  std::size_t values = s.widest;
  if (c.point)
    values = std::max<std::size_t>(values, s.guess.whole_width() + s.guess.point_width());
  if (c.group != 0) values += values / 3;  // at most one separator for every three digits
  if (c.suffix) values += shown_width(*c.suffix, unit);
  std::size_t w = std::max(values, printed_width(c.title, unit));
  if (c.summary) w = std::max(w, printed_width(*c.summary, unit));
  return std::max(w, static_cast<std::size_t>(c.min_width));
}

// Numbers shown as written are string columns to the library, which fits a
// table by narrowing string columns: their minimum width keeps them whole.
void keep_numbers_whole(std::vector<column_settings>& cols, const dataset& data, width_unit unit) {
  for (std::size_t j = 0; j < cols.size(); ++j) {
    column_settings& c = cols[j];
    if (c.kind != column_kind::decimal_text && c.kind != column_kind::hex_text) continue;
    const std::size_t width = column_width(c, data.stats[j], unit);
    c.min_width = std::max(c.min_width, static_cast<int>(std::min<std::size_t>(width, INT32_MAX)));
  }
}

}  // namespace

width_unit unit_of(const options& opts) {
  return opts.byte_widths ? width_unit::bytes : width_unit::columns;
}

int fit_width(const options& opts, const output_place& out) {
  if (opts.width) return *opts.width;
  return out.terminal ? out.width : 0;
}

table_plan make_plan(const options& opts, const dataset& data, const output_place& out) {
  const column_requests& req = data.requests;
  table_plan plan;
  plan.style = !opts.style.empty() ? opts.style : out.terminal ? "fancyw" : "simple";
  plan.format = opts.output_format;
  plan.columns.resize(req.shown.size());
  const column_asks asks(req);
  for (std::size_t j = 0; j < req.shown.size(); ++j) {
    column_settings& c = plan.columns[j];
    const type_guess& g = data.stats[j].guess;
    c.title = data.input_titles[req.shown[j]];
    c.kind = settle_kind(req, asks, j, g, plan.style);
    c.point = c.kind == column_kind::decimal_text && g.has_point() && !g.has_exponent();
    if (c.kind == column_kind::hex && !req.types[j]) c.hex_upper = g.upper_hex();
    set_default_alignment(c);
  }
  apply_requests(plan.columns, req);
  apply_grouping(plan.columns, req);
  keep_written_zeros(plan.columns, data, req, unit_of(opts));
  make_summaries(opts, data, plan.columns);

  plan.sort = req.sort;
  plan.visible = req.shown.size() - req.hidden;
  plan.number_rows = opts.number;
  plan.sections = choose_sections(opts, plan.columns);
  plan.fillers = opts.fillers;
  plan.display_widths = !opts.byte_widths;
  const width_unit unit = unit_of(opts);
  const int limit = fit_width(opts, out);
  plan.wrap = opts.wrap;
  // Only the text format fits the terminal: the others carry every byte.
  if (limit > 0 && plan.style != "raw" && plan.format == tabulix::format::text) {
    plan.fit_width = limit;
    keep_numbers_whole(plan.columns, data, unit);
  }
  // A title line needs room for the titles: the library widens the columns.
  plan.measure_titles = (plan.sections & tabulix::section::titles) == tabulix::section::titles;
  return plan;
}

}  // namespace tabulix::cli
