// SPDX-License-Identifier: MIT
// The command line: what the user asked for, and the parsers of option values
// that need no input data. Column references stay text until the header is
// known.
#ifndef TABULIX_TOOL_OPTIONS_HPP
#define TABULIX_TOOL_OPTIONS_HPP

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace tabulix::cli {

// A fault in the command line; the tool exits with status 2.
class usage_error : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A fault in the input data; the tool exits with status 1.
class data_error : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

enum class align_kind { left = 1, right, center, char_first, char_last };

struct alignment {
  align_kind kind = align_kind::left;
  char justify_char = '.';  // for char_first and char_last
};

// Section bits, the same values as the library's print flags.
enum section_bits : unsigned {
  sec_titles = 1,
  sec_title_rule = 2,
  sec_rows = 4,
  sec_sum_rule = 8,
  sec_sum = 16,
  sec_all = 31,
};

struct filler {
  std::string style;
  char character = ' ';
};

struct options {
  std::vector<std::string> files;  // empty or "-": standard input
  std::string style;               // empty: fancyw on a terminal, else simple
  std::vector<std::string> sort;   // COL or COL:ORDER, primary key first
  std::vector<std::string> by_length;
  std::vector<std::string> sum;
  std::vector<std::string> align;        // COL=ALIGNMENT
  std::vector<std::string> title_align;  // COL=ALIGNMENT
  std::vector<std::string> suffix;       // COL=TEXT
  std::vector<std::string> min_width;    // COL=N
  std::vector<std::string> hex_upper;
  std::vector<std::string> leading_zeros;
  std::vector<std::string> types;    // COL=TYPE
  std::vector<std::string> fillers;  // STYLE=C
  std::optional<std::string> sections;
  bool no_titles = false;
  bool no_rules = false;
  bool tsv = false;
  std::optional<std::string> delimiter;
  bool no_header = false;
  bool byte_widths = false;  // widths count bytes, not terminal columns
};

// Parses argv. Gives the exit status when the tool is done already (--help,
// --version: 0), or nothing when it should go on. Throws usage_error.
std::optional<int> parse_command_line(int argc, const char* const* argv, options& out);

// The value parsers below throw usage_error with a message naming `option`.

// left, right, center, first:C, last:C; "first" and "last" alone align on '.'.
alignment parse_alignment(std::string_view option, std::string_view text);

// Comma-separated names: titles, title-rule, rows, sum-rule, sum, all.
unsigned parse_sections(std::string_view text);

// STYLE=C with a printable ASCII character.
filler parse_filler(std::string_view text);

// One byte (a "\t" is the tab); not a quote, CR, LF or NUL.
char parse_delimiter(std::string_view text);

// A minimum width, 0 to 65535.
int parse_width(std::string_view option, std::string_view text);

// Whether --style and --filler accept `name`: one of the library's styles.
bool is_style_name(std::string_view name);

}  // namespace tabulix::cli

#endif
