// SPDX-License-Identifier: MIT
#include "options.hpp"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <charconv>
#include <cstdio>
#include <iostream>
#include <tabulix.hpp>

namespace tabulix::cli {

namespace {

constexpr const char* description =
    "Prints CSV or TSV as an aligned table. Each column gets a type from its values: int\n"
    "(signed 64-bit decimals), uint (unsigned 64-bit), hex (0x and hex digits) or string.\n"
    "Numbers are right-aligned, decimal fractions such as 12.50 line up on the point.\n"
    "COL is a header text or a column number from 1.\n";

constexpr const char* examples =
    "Examples:\n"
    "  tabulix report.csv\n"
    "  tabulix --style fancyw --sort Size:desc --sum Size examples/disk-usage.csv\n"
    "  tabulix --sort Category --sort Price:desc --align Price=last:. prices.csv\n"
    "  tabulix --leading-zeros Start --hex-upper Start --suffix Size=' B' map.csv\n"
    "  ps -eo pid,rss,comm | tr -s ' ' '\\t' | tabulix --tsv --sort 2:desc\n"
    "  tabulix --no-header --delimiter ';' --sections rows data.txt\n"
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

std::string in_quotes(std::string_view text) { return "'" + std::string(text) + "'"; }

}  // namespace

bool is_style_name(std::string_view name) {
  const auto names = tabulix::style_names();
  return std::find(names.begin(), names.end(), name) != names.end();
}

std::optional<int> parse_command_line(int argc, const char* const* argv, options& out) {
  CLI::App app(description, "tabulix");
  app.footer(examples);
  app.set_version_flag("--version", "tabulix " + std::string(tabulix::version()),
                       "Print the version and exit");

  app.add_option("--style", out.style,
                 "Output style: raw, simple, fancy or fancyw (default: fancyw on a "
                 "terminal, simple otherwise)")
      ->type_name("STYLE");
  add_list(app, "--sort", out.sort,
           "Sort by COL, asc (default) or desc; repeat for more keys, the first given "
           "is the primary key",
           "COL[:asc|desc]");
  add_list(app, "--by-length", out.by_length,
           "Sort the text column COL by length first, then by bytes", "COL");
  add_list(app, "--sum", out.sum, "Show the sum of the numeric column COL", "COL");
  add_list(app, "--align", out.align,
           "Align the cells of COL: left, right, center, first:C or last:C (on the first "
           "or last character C; first and last alone mean '.')",
           "COL=ALIGN");
  add_list(app, "--title-align", out.title_align, "Align the title of COL, as --align",
           "COL=ALIGN");
  add_list(app, "--suffix", out.suffix, "Write TEXT after every number of COL and its sum",
           "COL=TEXT");
  add_list(app, "--min-width", out.min_width, "Make COL at least N characters wide", "COL=N");
  add_list(app, "--hex-upper", out.hex_upper, "Write the hex digits of COL in upper case", "COL");
  add_list(app, "--leading-zeros", out.leading_zeros,
           "Fill the hex digits of COL with zeros to the column width", "COL");
  add_list(app, "--type", out.types,
           "Read COL as string, int, uint or hex instead of guessing; hex then also "
           "takes digits without 0x",
           "COL=TYPE");
  app.add_flag("--no-titles", out.no_titles, "Leave out the title line and its rule");
  app.add_flag("--no-rules", out.no_rules, "Leave out the rules of the fancy styles");
  app.add_option("--sections", out.sections,
                 "Print only these sections, comma-separated: titles, title-rule, rows, "
                 "sum-rule, sum, all (default: all but the sum lines when nothing is summed)")
      ->type_name("LIST");
  add_list(app, "--filler", out.fillers,
           "Show C for unsummed columns in the sum line of STYLE (fancy and fancyw "
           "share one)",
           "STYLE=C");
  app.add_flag("--tsv", out.tsv, "Read tab-separated values");
  app.add_option("--delimiter", out.delimiter, "Fields are separated by the byte C (\\t: tab)")
      ->type_name("C");
  app.add_flag("--no-header", out.no_header,
               "The first record is data; columns are titled 1, 2, ...");
  app.add_flag("--byte-widths", out.byte_widths,
               "Count widths in bytes instead of terminal columns");
  app.add_option("files", out.files, "Files to read; none or - reads standard input")
      ->type_name("FILE");

  try {
    app.parse(argc, argv);
  } catch (const CLI::Success& e) {
    return app.exit(e, std::cout, std::cerr);
  } catch (const CLI::ParseError& e) {
    throw usage_error(e.what());
  }
  return std::nullopt;
}

alignment parse_alignment(std::string_view option, std::string_view text) {
  static constexpr std::pair<std::string_view, align_kind> plain[] = {
      {"left", align_kind::left},
      {"right", align_kind::right},
      {"center", align_kind::center},
  };
  for (const auto& [name, kind] : plain) {
    if (text == name) return {kind, '.'};
  }
  const auto colon = text.find(':');
  const std::string_view name = text.substr(0, colon);
  alignment a;
  if (name == "first") {
    a.kind = align_kind::char_first;
  } else if (name == "last") {
    a.kind = align_kind::char_last;
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

unsigned parse_sections(std::string_view text) {
  static constexpr std::pair<std::string_view, unsigned> names[] = {
      {"titles", sec_titles}, {"title-rule", sec_title_rule},
      {"rows", sec_rows},     {"sum-rule", sec_sum_rule},
      {"sum", sec_sum},       {"all", sec_all},
  };
  unsigned bits = 0;
  for (;;) {
    const auto comma = text.find(',');
    const std::string_view name = text.substr(0, comma);
    unsigned bit = 0;
    for (const auto& [n, b] : names) {
      if (name == n) bit = b;
    }
    if (bit == 0) {
      throw usage_error("--sections: unknown section " + in_quotes(name) +
                        " (titles, title-rule, rows, sum-rule, sum, all)");
    }
    bits |= bit;
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
  if (text.size() != 1 || text == "\"" || text == "\r" || text == "\n") {
    throw usage_error("--delimiter: expected one character other than a quote or a line end, got " +
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

}  // namespace tabulix::cli
