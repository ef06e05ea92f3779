// SPDX-License-Identifier: MIT
// The command line: what the user asked for, parsed into typed values in one
// place. Column references stay text until the header is known (plan.hpp
// resolves them); everything else is checked and converted here.
#ifndef TABULIX_TOOL_OPTIONS_HPP
#define TABULIX_TOOL_OPTIONS_HPP

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <tabulix.hpp>
#include <vector>

#include "errors.hpp"

namespace tabulix::cli {

struct alignment {
  tabulix::just kind = tabulix::just::left;
  char justify_char = '.';  // for char_first and char_last
};

struct filler {
  std::string style;  // one of the library's style names
  char character = ' ';
};

// How the input separates its fields.
enum class input_format {
  csv,         // a delimiter byte, with RFC 4180 quoting
  tsv,         // tabs, no quoting
  whitespace,  // runs of blanks and tabs, leading and trailing ones ignored
};

enum class text_encoding { utf8, latin1, cp1252 };

// When to colour the table (--color).
enum class color_mode { automatic, always, never };

// The figures the summary line can show, one per column.
enum class figure { sum, count, min, max, mean };

// The value of a --group without a list: every number column.
inline constexpr char group_all_columns[] = "*";

struct options {
  std::vector<std::string> files;  // empty or "-": standard input
  std::string style;               // empty: fancyw on a terminal, else simple
  std::vector<std::string> sort;   // COL or COL:ORDER, primary key first
  std::vector<std::string> by_length;
  std::vector<std::string> sum, count, min, max, mean;  // columns for each figure
  std::optional<std::string> label;                     // for the summary line
  std::vector<std::string> columns;                     // lists of columns to show, in order
  std::vector<std::string> exclude;                     // lists of columns to leave out
  std::vector<std::string> align;                       // COL=ALIGNMENT
  std::vector<std::string> title_align;                 // COL=ALIGNMENT
  std::vector<std::string> suffix;                      // COL=TEXT
  std::vector<std::string> min_width;                   // COL=N
  std::vector<std::string> max_column_width;            // N or COL=N
  bool wrap = false;  // texts too wide wrap onto more lines; line breaks kept
  std::vector<std::string> hex_upper;
  std::vector<std::string> leading_zeros;
  std::vector<std::string> group;  // lists of columns, or group_all_columns
  std::vector<std::string> types;  // COL=TYPE
  std::vector<filler> fillers;
  std::optional<tabulix::section> sections;
  bool no_titles = false;
  bool no_rules = false;
  bool tsv = false;
  bool whitespace = false;
  char delimiter = ',';
  bool delimiter_given = false;       // else the delimiter is sniffed, unless --tsv or -w
  bool trim = false;                  // blanks after a delimiter are dropped
  std::optional<std::size_t> fields;  // -w: the last field takes the rest of the line
  // Fields that stand for a missing value in a column of numbers.
  std::vector<std::string> na{"NA", "N/A", "n/a", "NaN", "null", "NULL", "None", "-", "."};
  bool no_header = false;
  std::optional<std::uint64_t> head;  // data rows to read at most
  std::uint64_t skip = 0;             // lines to skip before the header
  std::string comment;                // lines starting with it are skipped
  text_encoding encoding = text_encoding::utf8;
  std::optional<int> width;  // the width to fit; 0 turns fitting off
  bool byte_widths = false;  // widths count bytes, not terminal columns
  color_mode color = color_mode::automatic;
  tabulix::format output_format = tabulix::format::text;
  std::vector<std::string> where;  // row filters, all of which must hold
  bool stats = false;              // a table of figures per column instead of the rows
  bool number = false;             // a first column with each row's number in the input
  bool quiet = false;              // no progress display
  // --stream: rows whose types the layout takes before it prints, then the
  // rest as they are read.
  std::optional<std::uint64_t> stream;

  [[nodiscard]] input_format format() const {
    return whitespace ? input_format::whitespace : tsv ? input_format::tsv : input_format::csv;
  }
};

// Parses argv. Gives the exit status when the tool is done already (--help,
// --version: 0), or nothing when it should go on. Throws usage_error.
std::optional<int> parse_command_line(int argc, const char* const* argv, options& out);

// The value parsers below throw usage_error with a message naming `option`.

// left, right, center, first:C, last:C; "first" and "last" alone align on '.'.
alignment parse_alignment(std::string_view option, std::string_view text);

// Comma-separated names: titles, title-rule, rows, sum-rule, sum, all.
tabulix::section parse_sections(std::string_view text);

// STYLE=C with a printable ASCII character.
filler parse_filler(std::string_view text);

// One ASCII byte (a "\t" is the tab); not a quote, CR, LF or NUL.
char parse_delimiter(std::string_view text);

// A width, 0 to 65535.
int parse_width(std::string_view option, std::string_view text);

// A count of lines or rows, from 0.
std::uint64_t parse_count(std::string_view option, std::string_view text);

// The format that --format names, or nothing for an unknown name.
std::optional<tabulix::format> format_of(std::string_view name);

// Whether --style and --filler accept `name`: one of the library's styles.
bool is_style_name(std::string_view name);

// The library's constant for a style name that is_style_name accepts.
tabulix::style style_of(std::string_view name);

// The figure's option name: "--sum", "--count", ...
std::string_view figure_option(figure f);

}  // namespace tabulix::cli

#endif
