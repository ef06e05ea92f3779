// SPDX-License-Identifier: MIT
#include "options.hpp"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <charconv>
#include <cstdio>
#include <iostream>
#include <limits>
#include <memory>
#include <string>
#include <utility>

namespace tabulix::cli {

namespace {

constexpr const char* description =
    "Prints CSV or TSV as an aligned table. Each column gets a type from its values: int\n"
    "(signed 64-bit decimals), uint (unsigned 64-bit), hex (0x and hex digits) or string.\n"
    "Numbers are right-aligned, decimal fractions such as 12.50 line up on the point, and\n"
    "empty fields are empty cells. COL is a header text or a column number from 1; a LIST\n"
    "is COL,COL,... where numbers may form ranges such as 2-5, or 3- for 3 to the last.\n";

constexpr const char* examples =
    "Examples:\n"
    "  tabulix report.csv\n"
    "  tabulix --style fancyw --sort Size:desc --sum Size examples/disk-usage.csv\n"
    "  tabulix --sort Category --sort Price:desc --sum Price --label Total prices.csv\n"
    "  tabulix -c Name,3-5 --mean Price --head 20 big.csv.gz\n"
    "  tabulix --sort Price:desc --head 10 --where 'Count>0' --where 'Name~^a' big.csv\n"
    "  tabulix --stats big.csv\n"
    "  tabulix --leading-zeros Start --hex-upper Start --suffix Size=' B' map.csv\n"
    "  ps -eo pid,rss,comm | tabulix -w --sort 2:desc\n"
    "  tabulix --no-header --delimiter ';' --comment '#' --sections rows data.txt\n"
    "\n"
    "Exit status: 0 on success, 1 for bad input data, 2 for a bad command line.\n";

template <class T>
CLI::Option* add_list(CLI::App& app, const std::string& name, std::vector<T>& into,
                      const std::string& help, const std::string& type_name) {
  // One value per occurrence: the option may repeat, and files may follow it.
  return app.add_option(name, into, help)
      ->type_name(type_name)
      ->expected(1)
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
      ->allow_extra_args(false);
}

// Help that shows --group and --stream with their optional values as given,
// after '=' (CLI11 would show the flag's default value in braces).
class help_formatter : public CLI::Formatter {
 public:
  std::string make_option_name(const CLI::Option* opt, bool is_positional) const override {
    if (!is_positional && opt->check_lname("group")) return "--group[=LIST]";
    if (!is_positional && opt->check_lname("stream")) return "--stream[=N]";
    return CLI::Formatter::make_option_name(opt, is_positional);
  }
};

// The option values as the command line gives them, before conversion.
struct raw_values {
  std::vector<std::string> stream;
  std::vector<std::string> fillers;
  std::optional<std::string> sections;
  std::optional<std::string> delimiter;
  std::optional<std::string> head;
  std::optional<std::string> skip;
  std::optional<std::string> encoding;
  std::optional<std::string> width;
  std::optional<std::string> color;
  std::optional<std::string> na;
  std::optional<std::string> fields;
  std::optional<std::string> format;
};

void add_input_options(CLI::App& app, options& out, raw_values& raw) {
  app.add_flag("--tsv", out.tsv, "Read tab-separated values: no quoting, quotes are text");
  app.add_flag("-w,--whitespace", out.whitespace,
               "Fields are separated by runs of blanks and tabs, leading ones ignored; the "
               "last column takes the rest of the line (ps, df and similar output)");
  app.add_option("--delimiter", raw.delimiter,
                 "Fields are separated by the ASCII byte C (\\t: tab); CSV quoting applies "
                 "(default: tab for *.tsv and *.tab files, else ',', ';', tab or '|', "
                 "whichever splits the most lines of the first 64 KiB alike)")
      ->type_name("C");
  app.add_flag("--trim", out.trim, "Drop the blanks that follow a delimiter");
  app.add_option("--fields", raw.fields,
                 "With -w: N fields at most, the last one taking the rest of the line")
      ->type_name("N");
  app.add_option("--na", raw.na,
                 "Fields that are missing values in a column of numbers, comma-separated "
                 "(default: NA,N/A,n/a,NaN,null,NULL,None,-,.; '' for none)")
      ->type_name("LIST");
  app.add_flag("--no-header", out.no_header,
               "The first record is data; columns are titled 1, 2, ...");
  app.add_option("--skip", raw.skip, "Skip N lines before the header")->type_name("N");
  app.add_option("--comment", out.comment, "Skip lines that start with TEXT")->type_name("TEXT");
  app.add_option("-n,--head", raw.head,
                 "Print the first N data rows and stop reading there; with --sort, the first "
                 "N rows of the sorted table (only N rows are kept while reading)")
      ->type_name("N");
  add_list(app, "--where", out.where,
           "Keep only the rows where EXPR holds (repeatable: all must hold): COL OP VALUE with "
           "=, !=, <, <=, >, >= (numbers by value, texts by bytes), ~ or !~ (PCRE2 regular "
           "expression), or COL (not empty) and !COL (empty); --head and figures count "
           "these rows",
           "EXPR");
  app.add_flag("-q,--quiet", out.quiet, "Show no progress display while reading large input");
  // A flag with an optional count, given only after '=', as --group.
  app.add_flag("--stream{1000}", raw.stream,
               "Print as the input is read: the layout and types come from the first N rows "
               "(1000 by default) or those read before 0.2 s without input")
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
  app.add_option("--encoding", raw.encoding,
                 "The input's encoding: utf8 (default, checked), latin1 or cp1252 (Windows-1252, "
                 "converted)")
      ->type_name("NAME");
}

void add_column_options(CLI::App& app, options& out) {
  add_list(app, "-c,--columns", out.columns,
           "Show only the columns in LIST, in that order (repeatable)", "LIST");
  add_list(app, "--exclude", out.exclude, "Leave out the columns in LIST", "LIST");
  add_list(app, "--sort", out.sort,
           "Sort by COL, asc (default) or desc; repeat for more keys, the first given "
           "is the primary key",
           "COL[:asc|desc]");
  add_list(app, "--by-length", out.by_length,
           "Sort the text column COL, a --sort key, by length first, then by bytes", "COL");
  add_list(app, "--sum", out.sum,
           "Show the exact sum of the numeric column COL (figures count the rows shown)", "COL");
  add_list(app, "--count", out.count, "Show the number of values (non-empty fields) of COL", "COL");
  add_list(app, "--min", out.min, "Show the smallest value of the numeric column COL", "COL");
  add_list(app, "--max", out.max, "Show the largest value of the numeric column COL", "COL");
  add_list(app, "--mean", out.mean,
           "Show the mean of the numeric column COL, to two more decimals than its values", "COL");
  app.add_option("--label", out.label,
                 "Show TEXT in the summary line, in the first text column without a figure")
      ->type_name("TEXT");
  add_list(app, "--align", out.align,
           "Align the cells of COL: left, right, center, first:C or last:C (on the first "
           "or last character C; first and last alone mean '.')",
           "COL=ALIGN");
  add_list(app, "--title-align", out.title_align, "Align the title of COL, as --align",
           "COL=ALIGN");
  add_list(app, "--suffix", out.suffix, "Write TEXT after every number of COL and its figure",
           "COL=TEXT");
  add_list(app, "--min-width", out.min_width, "Make COL at least N characters wide", "COL=N");
  add_list(app, "--max-column-width", out.max_column_width,
           "Make the text column COL (with N alone, every text column) at most N characters "
           "wide: longer texts are cut, or wrapped with --wrap",
           "[COL=]N");
  add_list(app, "--hex-upper", out.hex_upper, "Write the hex digits of COL in upper case", "COL");
  add_list(app, "--leading-zeros", out.leading_zeros,
           "Fill the hex digits of COL with zeros to the column width", "COL");
  // A flag with an optional list, given only after '=': a file name after a
  // bare --group stays a file name.
  app.add_flag(std::string("--group{") + group_all_columns + "}", out.group,
               "Group the digits of number columns with ',' (1,234,567); --group=LIST groups "
               "only the columns in LIST")
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
  add_list(app, "--type", out.types,
           "Read COL as string, int, uint or hex instead of guessing; hex then also "
           "takes digits without 0x",
           "COL=TYPE");
}

void add_output_options(CLI::App& app, options& out, raw_values& raw) {
  app.add_option("-f,--format", raw.format,
                 "Output format: text, markdown, csv, tsv, json, jsonl or html (default: "
                 "text; --style applies to text)")
      ->type_name("FORMAT");
  app.add_option("--style", out.style,
                 "Output style: raw, simple, fancy or fancyw (default: fancyw on a "
                 "terminal, simple otherwise)")
      ->type_name("STYLE");
  app.add_flag("--stats", out.stats,
               "Instead of the rows, print one row per column: its type, count of values, "
               "empty cells, distinct values, min, max, mean, sum, and for numbers the median "
               "and a histogram of 10 equal-width bins");
  app.add_flag("--number", out.number, "Add a first column # with each row's number in the input");
  app.add_flag("--no-titles", out.no_titles, "Leave out the title line and its rule");
  app.add_flag("--no-rules", out.no_rules, "Leave out the rules of the fancy styles");
  app.add_option("--sections", raw.sections,
                 "Print only these sections, comma-separated: titles, title-rule, rows, "
                 "sum-rule, sum, all (default: all but the sum lines when no figure is shown)")
      ->type_name("LIST");
  add_list(app, "--filler", raw.fillers,
           "Show C for columns without a figure in the summary line of STYLE (fancy and "
           "fancyw share one)",
           "STYLE=C");
  app.add_flag("--wrap", out.wrap,
               "Wrap texts too wide for their column onto more lines instead of cutting them, "
               "and print fields that hold line breaks on several lines");
  app.add_flag("--byte-widths", out.byte_widths,
               "Count widths in bytes instead of terminal columns");
  app.add_option("--width", raw.width,
                 "Fit the table into N columns: the widest texts are cut (or wrapped), and "
                 "columns that still do not fit are left out and named (default: the "
                 "terminal's width when printing to one; 0: no fitting)")
      ->type_name("N");
  app.add_option("--color", raw.color,
                 "Show titles in bold and rules and separators dimmed: auto (default: on a "
                 "terminal unless NO_COLOR is set), always or never")
      ->type_name("WHEN");
}

text_encoding parse_encoding(const std::string& name) {
  if (name == "utf8") return text_encoding::utf8;
  if (name == "latin1") return text_encoding::latin1;
  if (name == "cp1252") return text_encoding::cp1252;
  throw usage_error("--encoding: unknown encoding " + in_quotes(name) + " (utf8, latin1, cp1252)");
}

// The markers of missing values: comma-separated, none for an empty list.
std::vector<std::string> parse_na_list(std::string_view text) {
  std::vector<std::string> markers;
  while (!text.empty()) {
    const auto comma = text.find(',');
    const std::string_view marker = text.substr(0, comma);
    if (!marker.empty()) markers.emplace_back(marker);
    if (comma == std::string_view::npos) break;
    text.remove_prefix(comma + 1);
  }
  return markers;
}

color_mode parse_color(const std::string& text) {
  if (text == "auto") return color_mode::automatic;
  if (text == "always") return color_mode::always;
  if (text == "never") return color_mode::never;
  throw usage_error("--color: unknown choice " + in_quotes(text) + " (auto, always, never)");
}

// The options of what is printed, and how.
void convert_output(const raw_values& raw, options& out) {
  if (!out.style.empty() && !is_style_name(out.style)) {
    throw usage_error("--style: unknown style " + in_quotes(out.style) +
                      " (raw, simple, fancy, fancyw)");
  }
  if (raw.format) {
    const std::optional<tabulix::format> f = format_of(*raw.format);
    if (!f) {
      throw usage_error("--format: unknown format " + in_quotes(*raw.format) +
                        " (text, markdown, csv, tsv, json, jsonl, html)");
    }
    out.output_format = *f;
  }
  if (raw.sections) out.sections = parse_sections(*raw.sections);
  for (const auto& f : raw.fillers) out.fillers.push_back(parse_filler(f));
  if (raw.width) out.width = parse_width("--width", *raw.width);
  if (raw.color) out.color = parse_color(*raw.color);
  if (!out.by_length.empty() && out.sort.empty()) {
    throw usage_error("--by-length sorts a --sort key; give --sort too");
  }
}

// The options of reading.
void convert_input(const raw_values& raw, options& out) {
  if (raw.delimiter) {
    out.delimiter = parse_delimiter(*raw.delimiter);
    out.delimiter_given = true;
    if (out.tsv) throw usage_error("--tsv and --delimiter cannot be used together");
  }
  if (out.whitespace && (out.tsv || raw.delimiter)) {
    throw usage_error("--whitespace cannot be used with --tsv or --delimiter");
  }
  if (raw.na) out.na = parse_na_list(*raw.na);
  if (raw.fields) {
    if (!out.whitespace) throw usage_error("--fields needs -w");
    const std::uint64_t n = parse_count("--fields", *raw.fields);
    if (n == 0) throw usage_error("--fields: expected a number from 1, got '0'");
    out.fields = static_cast<std::size_t>(std::min<std::uint64_t>(n, SIZE_MAX));
  }
  if (raw.head) out.head = parse_count("--head", *raw.head);
  if (raw.skip) out.skip = parse_count("--skip", *raw.skip);
  if (raw.encoding) out.encoding = parse_encoding(*raw.encoding);
  if (!raw.stream.empty()) {
    out.stream = parse_count("--stream", raw.stream.back());
    if (*out.stream == 0) throw usage_error("--stream: expected a number from 1, got '0'");
    if (!out.sort.empty()) {
      throw usage_error("--sort cannot be used with --stream: rows are printed as they are read");
    }
    if (out.stats) {
      throw usage_error(
          "--stats cannot be used with --stream: it needs every row before it prints");
    }
    if (out.number) throw usage_error("--number cannot be used with --stream");
  }
}

// Turns the option values that need no input data into typed values.
void convert(const raw_values& raw, options& out) {
  convert_output(raw, out);
  convert_input(raw, out);
}

}  // namespace

std::optional<tabulix::format> format_of(std::string_view name) {
  static constexpr std::pair<std::string_view, tabulix::format> formats[] = {
      {"text", tabulix::format::text}, {"markdown", tabulix::format::markdown},
      {"csv", tabulix::format::csv},   {"tsv", tabulix::format::tsv},
      {"json", tabulix::format::json}, {"jsonl", tabulix::format::jsonl},
      {"html", tabulix::format::html},
  };
  for (const auto& [n, f] : formats) {
    if (n == name) return f;
  }
  return std::nullopt;
}

bool is_style_name(std::string_view name) {
  for (const char* const* known = tblx_getstylelist(); *known != nullptr; ++known) {
    if (name == *known) return true;
  }
  return false;
}

tabulix::style style_of(std::string_view name) {
  static constexpr std::pair<std::string_view, tabulix::style> styles[] = {
      {"raw", tabulix::style::raw},
      {"simple", tabulix::style::simple},
      {"fancy", tabulix::style::fancy},
      {"fancyw", tabulix::style::fancyw},
  };
  for (const auto& [n, s] : styles) {
    if (n == name) return s;
  }
  return tabulix::style::simple;
}

std::string_view figure_option(figure f) {
  switch (f) {
    case figure::sum:
      return "--sum";
    case figure::count:
      return "--count";
    case figure::min:
      return "--min";
    case figure::max:
      return "--max";
    case figure::mean:
      return "--mean";
  }
  return "--sum";
}

std::optional<int> parse_command_line(int argc, const char* const* argv, options& out) {
  CLI::App app(description, "tabulix");
  // The same options everywhere: on Windows the parser would otherwise take
  // "/x" for an option, and a file named /dev/zero or /tmp/a.csv with it.
  app.allow_windows_style_options(false);
  app.formatter(std::make_shared<help_formatter>());
  app.footer(examples);
  app.set_version_flag("--version", "tabulix " + std::string(tblx_version_str()),
                       "Print the version and exit");
  raw_values raw;
  add_input_options(app, out, raw);
  add_column_options(app, out);
  add_output_options(app, out, raw);
  app.add_option("files", out.files,
                 "Files to read, plain or gzip-compressed; none or - reads "
                 "standard input")
      ->type_name("FILE");

  try {
    app.parse(argc, argv);
  } catch (const CLI::Success& e) {
    return app.exit(e, std::cout, std::cerr);
  } catch (const CLI::ParseError& e) {
    throw usage_error(e.what());
  }
  convert(raw, out);
  return std::nullopt;
}

alignment parse_alignment(std::string_view option, std::string_view text) {
  static constexpr std::pair<std::string_view, tabulix::just> plain[] = {
      {"left", tabulix::just::left},
      {"right", tabulix::just::right},
      {"center", tabulix::just::center},
  };
  for (const auto& [name, kind] : plain) {
    if (text == name) return {kind, '.'};
  }
  const auto colon = text.find(':');
  const std::string_view name = text.substr(0, colon);
  alignment a;
  if (name == "first") {
    a.kind = tabulix::just::char_first;
  } else if (name == "last") {
    a.kind = tabulix::just::char_last;
  } else {
    throw usage_error(std::string(option) + ": unknown alignment " + in_quotes(text) +
                      " (left, right, center, first:C, last:C)");
  }
  if (colon != std::string_view::npos) {
    const std::string_view c = text.substr(colon + 1);
    if (c.size() != 1) {
      throw usage_error(std::string(option) + ": " + in_quotes(text) +
                        " needs one character after the colon");
    }
    a.justify_char = c.front();
  }
  return a;
}

tabulix::section parse_sections(std::string_view text) {
  using tabulix::section;
  static constexpr std::pair<std::string_view, section> names[] = {
      {"titles", section::titles}, {"title-rule", section::title_rule},
      {"rows", section::rows},     {"sum-rule", section::sum_rule},
      {"sum", section::sum},       {"all", section::all},
  };
  auto bits = section{};
  for (;;) {
    const auto comma = text.find(',');
    const std::string_view name = text.substr(0, comma);
    const auto* found = std::find_if(std::begin(names), std::end(names),
                                     [name](const auto& n) { return n.first == name; });
    if (found == std::end(names)) {
      throw usage_error("--sections: unknown section " + in_quotes(name) +
                        " (titles, title-rule, rows, sum-rule, sum, all)");
    }
    bits |= found->second;
    if (comma == std::string_view::npos) return bits;
    text.remove_prefix(comma + 1);
  }
}

filler parse_filler(std::string_view text) {
  const auto eq = text.find('=');
  if (eq == std::string_view::npos) {
    throw usage_error("--filler: expected STYLE=C, got " + in_quotes(text));
  }
  filler f{std::string(text.substr(0, eq)), ' '};
  if (!is_style_name(f.style)) {
    throw usage_error("--filler: unknown style " + in_quotes(f.style) +
                      " (raw, simple, fancy, fancyw)");
  }
  const std::string_view c = text.substr(eq + 1);
  if (c.size() != 1 || c.front() < 0x20 || c.front() > 0x7E) {
    throw usage_error("--filler: the filler must be one printable ASCII character, got " +
                      in_quotes(c));
  }
  f.character = c.front();
  return f;
}

char parse_delimiter(std::string_view text) {
  if (text == "\\t") return '\t';
  // A byte of 0x80 or above would fall inside UTF-8 characters.
  if (text.size() != 1 || static_cast<unsigned char>(text.front()) >= 0x80 || text == "\"" ||
      text == "\r" || text == "\n" || text.front() == '\0') {
    throw usage_error(
        "--delimiter: expected one ASCII character other than a quote or a line end, got " +
        in_quotes(text));
  }
  return text.front();
}

int parse_width(std::string_view option, std::string_view text) {
  int value = -1;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc{} || end != text.data() + text.size() || value < 0 || value > 65535) {
    throw usage_error(std::string(option) + ": the width must be a number from 0 to 65535, got " +
                      in_quotes(text));
  }
  return value;
}

std::uint64_t parse_count(std::string_view option, std::string_view text) {
  std::uint64_t value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc{} || end != text.data() + text.size() || text.empty()) {
    throw usage_error(std::string(option) + ": expected a number from 0, got " + in_quotes(text));
  }
  return value;
}

}  // namespace tabulix::cli
