// SPDX-License-Identifier: MIT
// Option values and column references.
#include "options.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "columns.hpp"

namespace {

using namespace tabulix::cli;

// The message of the usage_error that f throws, or "" if none.
template <class F>
std::string usage_message(F&& f) {
  try {
    f();
  } catch (const usage_error& e) {
    return e.what();
  }
  return "";
}

TEST(OptionValues, Alignments) {
  struct test_case {
    const char* text;
    tabulix::just kind;
    char c;
  };
  const test_case cases[] = {
      {"left", tabulix::just::left, '.'},        {"right", tabulix::just::right, '.'},
      {"center", tabulix::just::center, '.'},    {"first", tabulix::just::char_first, '.'},
      {"last", tabulix::just::char_last, '.'},   {"first:,", tabulix::just::char_first, ','},
      {"last::", tabulix::just::char_last, ':'}, {"first:=", tabulix::just::char_first, '='},
  };
  for (const auto& c : cases) {
    const alignment a = parse_alignment("--align", c.text);
    EXPECT_EQ(a.kind, c.kind) << c.text;
    EXPECT_EQ(a.justify_char, c.c) << c.text;
  }
}

TEST(OptionValues, BadAlignmentsNameTheirOption) {
  struct test_case {
    const char* option;
    const char* text;
    const char* message;
  };
  const test_case cases[] = {
      {"--align", "middle",
       "--align: unknown alignment 'middle' (left, right, center, first:C, last:C)"},
      {"--align", "Left",
       "--align: unknown alignment 'Left' (left, right, center, first:C, last:C)"},
      {"--title-align", "first:ab",
       "--title-align: 'first:ab' needs one character after the colon"},
      {"--align", "first:", "--align: 'first:' needs one character after the colon"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(usage_message([&c] { parse_alignment(c.option, c.text); }), c.message) << c.text;
  }
}

TEST(OptionValues, Sections) {
  using tabulix::section;
  EXPECT_EQ(parse_sections("all"), section::all);
  EXPECT_EQ(parse_sections("rows"), section::rows);
  EXPECT_EQ(parse_sections("titles,title-rule,sum"),
            section::titles | section::title_rule | section::sum);
  EXPECT_EQ(parse_sections("sum-rule,rows,rows"), section::sum_rule | section::rows);
  for (const char* bad : {"", "rows,", "row", "titles,,sum", "ALL"}) {
    EXPECT_NE(usage_message([bad] { parse_sections(bad); }), "") << bad;
  }
}

TEST(OptionValues, Fillers) {
  const filler f = parse_filler("fancyw=*");
  EXPECT_EQ(f.style, "fancyw");
  EXPECT_EQ(f.character, '*');
  EXPECT_EQ(parse_filler("raw= ").character, ' ');
  EXPECT_EQ(parse_filler("simple==").character, '=');
  for (const char* bad : {"fancy", "plain=*", "raw=", "raw=ab", "raw=\t", "raw=\xC3\xA9"}) {
    EXPECT_NE(usage_message([bad] { parse_filler(bad); }), "") << bad;
  }
}

TEST(OptionValues, Delimiters) {
  EXPECT_EQ(parse_delimiter(";"), ';');
  EXPECT_EQ(parse_delimiter("\\t"), '\t');
  EXPECT_EQ(parse_delimiter("\t"), '\t');
  // A byte of 0x80 or above would never match inside UTF-8 text.
  for (const char* bad : {"", ";;", "\"", "\n", "\r", "\xA7", "\xC3\xA9"}) {
    EXPECT_NE(usage_message([bad] { parse_delimiter(bad); }), "") << bad;
  }
}

TEST(OptionValues, Widths) {
  EXPECT_EQ(parse_width("--min-width", "0"), 0);
  EXPECT_EQ(parse_width("--min-width", "65535"), 65535);
  for (const char* bad : {"", "-1", "65536", "12px", "+3", "99999999999"}) {
    EXPECT_NE(usage_message([bad] { parse_width("--min-width", bad); }), "") << bad;
  }
}

TEST(ColumnNames, TitlesFirstThenNumbers) {
  const std::vector<std::string> titles = {"Name", "Size", "a=b", "2", "dup", "dup", "a"};
  const column_names names(titles);
  EXPECT_EQ(names.find("--sum", "Size"), 1u);
  EXPECT_EQ(names.find("--sum", "1"), 0u);
  EXPECT_EQ(names.find("--sum", "2"), 3u);  // the title "2", not the second column
  EXPECT_EQ(names.find("--sum", "7"), 6u);
  EXPECT_EQ(usage_message([&] { return names.find("--sum", "8"); }),
            "--sum: no column '8' (columns: Name, Size, a=b, 2, dup, dup, a; or a number from 1 "
            "to 7)");
  EXPECT_EQ(
      usage_message([&] { return names.find("--sum", "0"); }).rfind("--sum: no column '0'", 0), 0u);
  EXPECT_EQ(usage_message([&] { return names.find("--sum", "size"); }).rfind("--sum: no column", 0),
            0u);
  EXPECT_EQ(usage_message([&] { return names.find("--sort", "dup"); }),
            "--sort: columns 5 and 6 are both titled 'dup'; name the column by its number");
  EXPECT_EQ(names.find("--sort", "6"), 5u);
}

TEST(ColumnNames, PairsSplitAfterTheLongestColumn) {
  const std::vector<std::string> titles = {"Name", "a=b", "a"};
  const column_names names(titles);
  struct test_case {
    const char* arg;
    std::size_t column;
    const char* value;
  };
  const test_case cases[] = {
      {"Name=x", 0, "x"},          {"Name==", 0, "="}, {"Name=", 0, ""},
      {"a=b=c", 1, "c"},           {"a=c", 2, "c"},    {"a=b", 2, "b"},
      {"3=first:=", 2, "first:="},
  };
  for (const auto& c : cases) {
    const auto [column, value] = names.find_pair("--suffix", c.arg);
    EXPECT_EQ(column, c.column) << c.arg;
    EXPECT_EQ(value, c.value) << c.arg;
  }
  EXPECT_EQ(usage_message([&] { return names.find_pair("--suffix", "Name"); }),
            "--suffix: expected COL=VALUE, got 'Name'");
  EXPECT_EQ(usage_message([&] {
              return names.find_pair("--suffix", "Nope=x=y");
            }).rfind("--suffix: no column 'Nope'", 0),
            0u);
}

TEST(ColumnNames, ListsKeepTheirOrderAndTakeRanges) {
  const std::vector<std::string> titles = {"Name", "Size", "a,b", "Tax-free", "5", "x"};
  const column_names names(titles);
  struct test_case {
    const char* list;
    std::vector<std::size_t> columns;
  };
  const test_case cases[] = {
      {"Name", {0}},
      {"Size,Name", {1, 0}},
      {"2-4", {1, 2, 3}},
      {"4-2", {3, 2, 1}},
      {"Name-Size", {0, 1}},
      {"a,b,x", {2, 5}},       // a title holding a comma
      {"Tax-free,1", {3, 0}},  // a title holding a dash
      {"5", {4}},              // the title "5", not the fifth column
      {"1,1", {0, 0}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(names.find_list("-c", c.list), c.columns) << c.list;
  }
  for (const char* bad : {"", "Name,", "7", "1-9", "Nope"}) {
    EXPECT_EQ(usage_message([&] { return names.find_list("-c", bad); }).rfind("-c: no column", 0),
              0u)
        << bad;
  }
}

TEST(CommandLine, RepeatedOptionsKeepTheirOrderAndLeaveFilesAlone) {
  const char* argv[] = {"tabulix", "--sort", "b:desc", "a.csv", "--sort",
                        "a",       "--sum",  "x",      "b.csv", "--tsv"};
  options opts;
  EXPECT_EQ(parse_command_line(10, argv, opts), std::nullopt);
  EXPECT_EQ(opts.sort, (std::vector<std::string>{"b:desc", "a"}));
  EXPECT_EQ(opts.sum, (std::vector<std::string>{"x"}));
  EXPECT_EQ(opts.files, (std::vector<std::string>{"a.csv", "b.csv"}));
  EXPECT_TRUE(opts.tsv);
  EXPECT_TRUE(opts.style.empty());
}

TEST(CommandLine, UnknownOptionsAndMissingValuesAreUsageErrors) {
  const std::vector<std::vector<const char*>> cases = {
      {"--bogus"},
      {"--sum"},
      {"--style"},
      {"--by-length=x"},  // sorts nothing without --sort
      {"--head=-1"},
      {"--encoding=latin9"},
      {"--width=80x"},
      {"-w", "--tsv"},
      {"--delimiter=;", "--whitespace"},
  };
  for (const auto& args : cases) {
    std::vector<const char*> argv = {"tabulix"};
    argv.insert(argv.end(), args.begin(), args.end());
    options opts;
    EXPECT_NE(usage_message(
                  [&] { parse_command_line(static_cast<int>(argv.size()), argv.data(), opts); }),
              "")
        << args.front();
  }
}

}  // namespace
