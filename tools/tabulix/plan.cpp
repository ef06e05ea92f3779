// SPDX-License-Identifier: MIT
#include "plan.hpp"

#include <algorithm>
#include <cstring>

#include "display_width.h"

namespace tabulix::cli {

namespace {

std::string in_quotes(std::string_view text) { return "'" + std::string(text) + "'"; }

bool is_number_type(value_type t) { return t != value_type::string; }

bool needs_escape(unsigned char c) { return c < 0x20 || c == 0x7F; }

bool is_char_kind(align_kind k) {
  return k == align_kind::char_first || k == align_kind::char_last;
}

std::optional<std::size_t> column_number(std::string_view ref, std::size_t count) {
  std::size_t n = 0;
  if (ref.empty() || ref.size() > 9) return std::nullopt;
  for (const char c : ref) {
    if (c < '0' || c > '9') return std::nullopt;
    n = n * 10 + static_cast<std::size_t>(c - '0');
  }
  if (n < 1 || n > count) return std::nullopt;
  return n - 1;
}

// Gives the position of `ref`: a unique title first, else a number.
// Throws for a title that several columns have.
std::optional<std::size_t> find_title(const std::vector<std::string>& titles,
                                      std::string_view option, std::string_view ref) {
  std::optional<std::size_t> found;
  for (std::size_t i = 0; i < titles.size(); ++i) {
    if (titles[i] != ref) continue;
    if (found) {
      throw usage_error(std::string(option) + ": columns " + std::to_string(*found + 1) + " and " +
                        std::to_string(i + 1) + " are both titled " + in_quotes(ref) +
                        "; name the column by its number");
    }
    found = i;
  }
  if (found) return found;
  return column_number(ref, titles.size());
}

std::string column_list(const std::vector<std::string>& titles) {
  constexpr std::size_t shown = 12;
  std::string list;
  for (std::size_t i = 0; i < titles.size() && i < shown; ++i) {
    if (i != 0) list += ", ";
    list += titles[i];
  }
  if (titles.size() > shown) list += ", ...";
  return list;
}

}  // namespace

std::optional<std::size_t> column_names::lookup(std::string_view option,
                                                std::string_view ref) const {
  return find_title(titles_, option, ref);
}

std::size_t column_names::find(std::string_view option, std::string_view ref) const {
  if (const auto at = lookup(option, ref)) return *at;
  throw usage_error(std::string(option) + ": no column " + in_quotes(ref) +
                    " (columns: " + column_list(titles_) + "; or a number from 1 to " +
                    std::to_string(titles_.size()) + ")");
}

std::pair<std::size_t, std::string_view> column_names::find_pair(std::string_view option,
                                                                 std::string_view arg) const {
  const auto first = arg.find('=');
  if (first == std::string_view::npos) {
    throw usage_error(std::string(option) + ": expected COL=VALUE, got " + in_quotes(arg));
  }
  for (auto eq = arg.rfind('='); eq != first; eq = arg.rfind('=', eq - 1)) {
    if (const auto at = lookup(option, arg.substr(0, eq))) {
      return {*at, arg.substr(eq + 1)};
    }
  }
  return {find(option, arg.substr(0, first)), arg.substr(first + 1)};
}

const char* printable(const char* text, std::string& buffer) {
  const char* p = text;
  while (*p != '\0' && !needs_escape(static_cast<unsigned char>(*p))) ++p;
  if (*p == '\0') return text;

  static constexpr char digits[] = "0123456789abcdef";
  buffer.assign(text, p);
  for (; *p != '\0'; ++p) {
    const auto c = static_cast<unsigned char>(*p);
    if (!needs_escape(c)) {
      buffer += *p;
    } else if (c == '\n') {
      buffer += "\\n";
    } else if (c == '\r') {
      buffer += "\\r";
    } else if (c == '\t') {
      buffer += "\\t";
    } else {
      buffer += "\\x";
      buffer += digits[c >> 4];
      buffer += digits[c & 0xF];
    }
  }
  return buffer.c_str();
}

void check_options(const options& opts) {
  if (!opts.style.empty()) {
    if (!is_style_name(opts.style)) {
      throw usage_error("--style: unknown style " + in_quotes(opts.style) +
                        " (raw, simple, fancy, fancyw)");
    }
  }
  if (opts.sections) parse_sections(*opts.sections);
  for (const auto& f : opts.fillers) parse_filler(f);
  if (opts.delimiter) {
    parse_delimiter(*opts.delimiter);
    if (opts.tsv) throw usage_error("--tsv and --delimiter cannot be used together");
  }
}

namespace {

// The options that name columns, resolved to positions and with their
// values parsed, before the types are known.
struct column_requests {
  std::vector<std::optional<value_type>> types;
  std::vector<sort_column> sort;
  std::vector<std::size_t> sum, hex_upper, leading_zeros, by_length;
  std::vector<std::pair<std::size_t, std::string>> suffix;
  std::vector<std::pair<std::size_t, int>> min_width;
  std::vector<std::pair<std::size_t, alignment>> align, title_align;
};

sort_column find_sort_column(const column_names& names, std::string_view arg) {
  // A title may itself hold a colon, so the whole text is tried first.
  const auto colon = arg.rfind(':');
  if (colon == std::string_view::npos) return {names.find("--sort", arg), false};
  if (const auto at = names.lookup("--sort", arg)) return {*at, false};
  const std::string_view order = arg.substr(colon + 1);
  if (order != "asc" && order != "desc") {
    throw usage_error("--sort: unknown order " + in_quotes(order) + " in " + in_quotes(arg) +
                      " (asc, desc)");
  }
  return {names.find("--sort", arg.substr(0, colon)), order == "desc"};
}

std::string value_error(const dataset& data, const dataset::record& r, const column_settings& c,
                        std::string_view value) {
  return data.where(r) + ": column " + in_quotes(c.title) + ": " + in_quotes(value) + " is not " +
         (c.type == value_type::int64 ? "an " : "a ") + std::string(type_name(c.type)) + " value";
}

bool fits(value_type t, std::string_view value) {
  switch (t) {
    case value_type::string:
      return true;
    case value_type::int64:
      return parse_int(value, true).has_value();
    case value_type::uint64:
      return parse_uint(value, true).has_value();
    case value_type::hex:
      return parse_hex(value, true).has_value();
  }
  return false;
}

// Looks at every value: guesses from those of the columns the user did not
// type, checks those of the columns they did, and notes the first empty value
// of each column that has more fields after it. Gives the guesses.
std::vector<type_guess> scan_values(std::vector<column_settings>& columns, const dataset& data) {
  std::vector<type_guess> guesses(columns.size());
  for (const auto& r : data.records) {
    // Empty fields at the end of a record are left out of the row; an empty
    // field before others must be shown, which only a text column can do.
    std::int64_t last = -1;
    data.for_each_field(r, [&](std::uint32_t i, std::string_view v) {
      if (!v.empty()) last = i;
    });
    data.for_each_field(r, [&](std::uint32_t i, std::string_view v) {
      column_settings& c = columns[i];
      if (v.empty()) {
        if (static_cast<std::int64_t>(i) < last && c.blank_at.empty()) c.blank_at = data.where(r);
        return;
      }
      if (!c.forced) {
        guesses[i].add(v);
      } else if (!fits(c.type, v)) {
        throw data_error(value_error(data, r, c, v));
      }
    });
  }
  return guesses;
}

// A typed number column cannot show an empty value that has fields after it.
void check_forced_type(const column_settings& c) {
  if (!is_number_type(c.type) || c.blank_at.empty()) return;
  throw data_error(c.blank_at + ": column " + in_quotes(c.title) + ": empty " +
                   std::string(type_name(c.type)) +
                   " value (a number column can only leave out the last fields of a record)");
}

// Takes the guessed type, and what the values look like, for a column the
// user did not type.
void apply_guess(column_settings& c, const type_guess& g) {
  c.type = g.type();
  if (is_number_type(c.type) && !c.blank_at.empty()) {
    c.type = value_type::string;
    c.numbers_as_text = true;
  }
  c.decimal = c.type == value_type::string && g.decimal();
  c.point = c.decimal && g.has_point();
  if (c.type == value_type::hex) {
    // Keep the input's way of writing hex: its letter case, its zeros.
    c.hex_upper = g.upper_hex();
    c.leading_zeros = g.zero_filled_width() != 0;
    c.min_width = static_cast<int>(std::min<std::size_t>(g.zero_filled_width(), 65535));
  }
}

// Guesses the type of every column the user did not type, and checks the
// values of those they did. Gives what the values of each column look like.
std::vector<type_guess> settle_types(std::vector<column_settings>& columns, const dataset& data) {
  std::vector<type_guess> guesses = scan_values(columns, data);
  for (std::size_t i = 0; i < columns.size(); ++i) {
    if (columns[i].forced) {
      check_forced_type(columns[i]);
    } else {
      apply_guess(columns[i], guesses[i]);
    }
  }
  return guesses;
}

// A column without any value takes the type its options ask for.
void type_empty_columns(std::vector<column_settings>& columns, const column_requests& req,
                        const std::vector<type_guess>& guesses) {
  for (std::size_t i = 0; i < columns.size(); ++i) {
    column_settings& c = columns[i];
    if (c.forced || guesses[i].has_values()) continue;
    const auto asks = [i](const std::vector<std::size_t>& list) {
      return std::find(list.begin(), list.end(), i) != list.end();
    };
    const bool suffixed = std::any_of(req.suffix.begin(), req.suffix.end(),
                                      [i](const auto& s) { return s.first == i; });
    value_type wanted = value_type::string;
    if (asks(req.hex_upper) || asks(req.leading_zeros)) {
      wanted = value_type::hex;
    } else if (asks(req.sum) || suffixed) {
      wanted = value_type::int64;
    }
    if (wanted == value_type::string) continue;
    // An empty value with more fields after it can only be shown as text.
    if (!c.blank_at.empty()) {
      c.numbers_as_text = true;
      continue;
    }
    c.type = wanted;
  }
}

std::string why_text(const column_settings& c) {
  if (c.numbers_as_text) {
    return "column " + in_quotes(c.title) + " is read as text: the empty value at " + c.blank_at +
           " cannot be shown in a number column";
  }
  return "column " + in_quotes(c.title) + " holds text, not numbers";
}

void require_number(const char* option, const column_settings& c) {
  if (!is_number_type(c.type)) throw usage_error(std::string(option) + ": " + why_text(c));
}

void require_type(const char* option, const column_settings& c, value_type t, const char* what) {
  if (c.type == t) return;
  throw usage_error(std::string(option) + ": column " + in_quotes(c.title) + " is " +
                    std::string(type_name(c.type)) + ", " + what);
}

void set_default_alignment(column_settings& c) {
  if (c.point) {
    c.cell = {align_kind::char_first, '.'};
    c.title_align = {align_kind::right, '.'};
  } else if (is_number_type(c.type) || c.decimal || c.numbers_as_text) {
    c.cell = {align_kind::right, '.'};
    c.title_align = {align_kind::right, '.'};
  }
}

column_requests resolve_requests(const options& opts, const column_names& names,
                                 std::size_t count) {
  column_requests req;
  req.types.resize(count);
  for (const auto& arg : opts.types) {
    const auto [at, name] = names.find_pair("--type", arg);
    const auto t = parse_type_name(name);
    if (!t) {
      throw usage_error("--type: unknown type " + in_quotes(name) + " (string, int, uint, hex)");
    }
    req.types[at] = t;
  }
  for (const auto& arg : opts.sort) req.sort.push_back(find_sort_column(names, arg));
  const auto find_all = [&names](const char* option, const std::vector<std::string>& args,
                                 std::vector<std::size_t>& into) {
    for (const auto& arg : args) into.push_back(names.find(option, arg));
  };
  find_all("--sum", opts.sum, req.sum);
  find_all("--hex-upper", opts.hex_upper, req.hex_upper);
  find_all("--leading-zeros", opts.leading_zeros, req.leading_zeros);
  find_all("--by-length", opts.by_length, req.by_length);
  for (const auto& arg : opts.suffix) {
    const auto [at, text] = names.find_pair("--suffix", arg);
    req.suffix.emplace_back(at, text);
  }
  for (const auto& arg : opts.min_width) {
    const auto [at, text] = names.find_pair("--min-width", arg);
    req.min_width.emplace_back(at, parse_width("--min-width", text));
  }
  for (const auto& arg : opts.align) {
    const auto [at, text] = names.find_pair("--align", arg);
    req.align.emplace_back(at, parse_alignment("--align", text));
  }
  for (const auto& arg : opts.title_align) {
    const auto [at, text] = names.find_pair("--title-align", arg);
    req.title_align.emplace_back(at, parse_alignment("--title-align", text));
  }
  return req;
}

// Applies the settings, each checked against its column's type.
void apply_requests(std::vector<column_settings>& columns, const column_requests& req) {
  for (const auto at : req.sum) {
    require_number("--sum", columns[at]);
    columns[at].sum = true;
  }
  for (const auto& [at, text] : req.suffix) {
    require_number("--suffix", columns[at]);
    columns[at].suffix = text;
  }
  for (const auto at : req.hex_upper) {
    require_type("--hex-upper", columns[at], value_type::hex, "not hex");
    columns[at].hex_upper = true;
  }
  for (const auto at : req.leading_zeros) {
    require_type("--leading-zeros", columns[at], value_type::hex, "not hex");
    columns[at].leading_zeros = true;
  }
  for (const auto at : req.by_length) {
    require_type("--by-length", columns[at], value_type::string,
                 "and only text columns sort by length");
    columns[at].by_length = true;
  }
  for (const auto& [at, width] : req.min_width) {
    columns[at].min_width = std::max(columns[at].min_width, width);
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

unsigned choose_sections(const options& opts, const std::vector<column_settings>& columns) {
  const bool summed =
      std::any_of(columns.begin(), columns.end(), [](const auto& c) { return c.sum; });
  unsigned sections = opts.sections ? parse_sections(*opts.sections)
                      : summed      ? unsigned{sec_all}
                                    : unsigned{sec_titles | sec_title_rule | sec_rows};
  if (opts.no_titles) sections &= ~unsigned{sec_titles | sec_title_rule};
  if (opts.no_rules) sections &= ~unsigned{sec_title_rule | sec_sum_rule};
  return sections;
}

// The library sizes columns by their cells; a title line needs room for the
// titles too, in the unit the table counts.
void fit_titles(std::vector<column_settings>& columns, bool display_widths) {
  std::string buffer;
  for (auto& c : columns) {
    const char* title = printable(c.title.c_str(), buffer);
    const std::size_t len =
        display_widths ? display_width(title, std::strlen(title)) : std::strlen(title);
    c.min_width = std::max(c.min_width, static_cast<int>(std::min<std::size_t>(len, 65535)));
  }
}

}  // namespace

table_plan make_plan(const options& opts, const dataset& data, bool terminal) {
  const column_names names(data.titles);
  const std::size_t count = data.titles.size();
  // Columns first: an unknown column is a usage error whatever the data.
  column_requests req = resolve_requests(opts, names, count);

  table_plan plan;
  plan.columns.resize(count);
  for (std::size_t i = 0; i < count; ++i) {
    column_settings& c = plan.columns[i];
    c.title = data.titles[i];
    if (req.types[i]) {
      c.type = *req.types[i];
      c.forced = true;
    }
  }
  const std::vector<type_guess> guesses = settle_types(plan.columns, data);
  type_empty_columns(plan.columns, req, guesses);
  for (auto& c : plan.columns) set_default_alignment(c);
  apply_requests(plan.columns, req);

  plan.sort = std::move(req.sort);
  plan.style = !opts.style.empty() ? opts.style : terminal ? "fancyw" : "simple";
  plan.sections = choose_sections(opts, plan.columns);
  for (const auto& f : opts.fillers) plan.fillers.push_back(parse_filler(f));
  plan.display_widths = !opts.byte_widths;
  if ((plan.sections & sec_titles) != 0) fit_titles(plan.columns, plan.display_widths);
  return plan;
}

}  // namespace tabulix::cli
