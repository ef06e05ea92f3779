// SPDX-License-Identifier: MIT
// The delimited-text reader: RFC 4180 quoting, line ends, byte checks and
// the places named in its messages.
#include "csv.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace {

using tabulix::cli::csv_reader;
using tabulix::cli::csv_record;
using tabulix::cli::input_error;
using record_list = std::vector<std::vector<std::string>>;

struct file_closer {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using file_ptr = std::unique_ptr<std::FILE, file_closer>;

file_ptr open_text(const std::string& text) {
  file_ptr f(std::tmpfile());
  std::fwrite(text.data(), 1, text.size(), f.get());
  std::rewind(f.get());
  return f;
}

record_list read_all(const std::string& text, char delimiter = ',',
                     std::vector<std::uint64_t>* lines = nullptr) {
  const file_ptr f = open_text(text);
  csv_reader reader(f.get(), "in.csv", delimiter);
  csv_record record;
  record_list out;
  while (reader.next(record)) {
    std::vector<std::string> fields;
    for (std::size_t i = 0; i < record.size(); ++i) fields.emplace_back(record.field(i));
    out.push_back(fields);
    if (lines != nullptr) lines->push_back(record.line);
  }
  return out;
}

// The message of the error that reading all of `text` gives, or "" if none.
std::string read_error(const std::string& text, char delimiter = ',') {
  try {
    read_all(text, delimiter);
  } catch (const input_error& e) {
    return e.what();
  }
  return "";
}

TEST(CsvReader, ReadsFieldsAndRecords) {
  struct test_case {
    const char* name;
    std::string text;
    record_list expected;
  };
  const test_case cases[] = {
      {"empty input", "", {}},
      {"LF", "a,b\nc,d\n", {{"a", "b"}, {"c", "d"}}},
      {"CR LF", "a,b\r\nc,d\r\n", {{"a", "b"}, {"c", "d"}}},
      {"no final line end", "a,b\nc,d", {{"a", "b"}, {"c", "d"}}},
      {"empty fields", "a,,b\n,\n", {{"a", "", "b"}, {"", ""}}},
      {"trailing delimiter", "a,b,\n", {{"a", "b", ""}}},
      {"quoted delimiter", "\"a,b\",c\n", {{"a,b", "c"}}},
      {"doubled quotes", "\"say \"\"hi\"\"\",x\n", {{"say \"hi\"", "x"}}},
      {"only a doubled quote", "\"\"\"\"\n", {{"\""}}},
      {"quoted empty field", "\"\",\"\"\n", {{"", ""}}},
      {"LF inside quotes", "\"two\nlines\",x\n", {{"two\nlines", "x"}}},
      {"CR LF inside quotes kept", "\"a\r\nb\"\r\n", {{"a\r\nb"}}},
      {"quoted field at the end of input", "a,\"b\"", {{"a", "b"}}},
      {"quote inside an unquoted field", "5\" disk,x\n", {{"5\" disk", "x"}}},
      {"blank lines skipped", "\n\na\n\r\n\nb\n", {{"a"}, {"b"}}},
      {"lone CR is data", "a\rb,c\n\rd\n", {{"a\rb", "c"}, {"\rd"}}},
      {"byte order mark dropped", "\xEF\xBB\xBFh\n1\n", {{"h"}, {"1"}}},
      {"short input, no mark", "a", {{"a"}}},
      {"UTF-8 accepted",
       "\xC3\xA9,\xE2\x82\xAC,\xF0\x9D\x84\x9E\n",
       {{"\xC3\xA9", "\xE2\x82\xAC", "\xF0\x9D\x84\x9E"}}},
      // Lines after the first, longer than 16 bytes: the fast path's, up to
      // the byte that sends a line to the slow one.
      {"long lines",
       "h\nfoxtrot,,hotel,india,juliett,kilo\naaaaaaaaaaaaaaa,,bbbbbbbbbbbbbb,c\n",
       {{"h"},
        {"foxtrot", "", "hotel", "india", "juliett", "kilo"},
        {"aaaaaaaaaaaaaaa", "", "bbbbbbbbbbbbbb", "c"}}},
      {"short lines after the first",
       "h\na,b\nc,d\ne,f\ng,h\ni,j\nk,l\nm,n\no,p\n",
       {{"h"},
        {"a", "b"},
        {"c", "d"},
        {"e", "f"},
        {"g", "h"},
        {"i", "j"},
        {"k", "l"},
        {"m", "n"},
        {"o", "p"}}},
      {"long lines, a late quote, byte or CR",
       "h\nalpha,bravo,charlie,\"d,e\"\nalpha,bravo,charlie,d\xC3\xA9lta\n"
       "alpha,bravo,charlie\rdelta,e\nalpha,bravo,charlie,delta,echo\r\n",
       {{"h"},
        {"alpha", "bravo", "charlie", "d,e"},
        {"alpha", "bravo", "charlie", "d\xC3\xA9lta"},
        {"alpha", "bravo", "charlie\rdelta", "e"},
        {"alpha", "bravo", "charlie", "delta", "echo"}}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(read_all(c.text), c.expected) << c.name;
  }
}

TEST(CsvReader, OtherDelimiters) {
  EXPECT_EQ(read_all("a\tb,c\t\"d\te\"\n", '\t'), (record_list{{"a", "b,c", "d\te"}}));
  EXPECT_EQ(read_all("a;b;;\n", ';'), (record_list{{"a", "b", "", ""}}));
  EXPECT_EQ(read_all("a b\n", ' '), (record_list{{"a", "b"}}));
}

record_list read_with(const std::string& text, const tabulix::cli::reader_options& opts) {
  const file_ptr f = open_text(text);
  csv_reader reader(tabulix::cli::open_source(f.get(), "in.txt", tabulix::cli::text_encoding::utf8),
                    "in.txt", opts);
  csv_record record;
  record_list out;
  while (reader.next(record)) {
    std::vector<std::string> fields;
    for (std::size_t i = 0; i < record.size(); ++i) fields.emplace_back(record.field(i));
    out.push_back(fields);
  }
  return out;
}

TEST(CsvReader, FormatsLinesToSkipAndLineEnds) {
  using tabulix::cli::input_format;
  struct test_case {
    const char* name;
    std::string text;
    input_format format;
    std::uint64_t skip;
    const char* comment;
    record_list expected;
  };
  const test_case cases[] = {
      {"TSV takes quotes as text",
       "\"a\tb\"\t\"\"\n",
       input_format::tsv,
       0,
       "",
       {{"\"a", "b\"", "\"\""}}},
      {"TSV keeps empty fields", "a\t\tb\t\n", input_format::tsv, 0, "", {{"a", "", "b", ""}}},
      {"blanks separate, leading and trailing ones do not",
       "  PID TTY\n \t 1  ?\t\n   \n",
       input_format::whitespace,
       0,
       "",
       {{"PID", "TTY"}, {"1", "?"}}},
      {"lines skipped before anything",
       "# a\n\n# b\nh\n1\n",
       input_format::csv,
       3,
       "",
       {{"h"}, {"1"}}},
      {"comment lines skipped", "#x,y\nh\n#1\n2\n", input_format::csv, 0, "#", {{"h"}, {"2"}}},
      {"a comment sign inside a quoted field is data",
       "h\n\"a\n#b\"\n",
       input_format::csv,
       0,
       "#",
       {{"h"}, {"a\n#b"}}},
      {"CR alone ends lines",
       "a,b\r1,2\r\r3,\"x\ry\"\r",
       input_format::csv,
       0,
       "",
       {{"a", "b"}, {"1", "2"}, {"3", "x\ry"}}},
      {"CR alone ends lines after a first line longer than a read",
       std::string(70000, 'h') + "\r1\r",
       input_format::csv,
       0,
       "",
       {{std::string(70000, 'h')}, {"1"}}},
      // An LF in the first 64 KiB, or in the 64 KiB after a later first CR,
      // makes LF the line end; CR alone otherwise.
      {"an LF in the first 64 KiB after a CR",
       "a\rb" + std::string(60000, 'c') + "\nd\n",
       input_format::csv,
       0,
       "",
       {{"a\rb" + std::string(60000, 'c')}, {"d"}}},
      {"an LF past the first 64 KiB after an early CR",
       std::string(10000, 'h') + "\r1\r" + std::string(60000, 'x') + "\n\r",
       input_format::csv,
       0,
       "",
       {{std::string(10000, 'h')}, {"1"}, {std::string(60000, 'x') + "\n"}}},
      {"an LF soon after a CR past the first 64 KiB",
       std::string(70000, 'h') + "\ry\n1\n",
       input_format::csv,
       0,
       "",
       {{std::string(70000, 'h') + "\ry"}, {"1"}}},
      {"skipped lines are not checked, however long",
       std::string("\xFF\0", 2) + std::string(200000, '\xFF') + std::string("\n#\0\nh\n", 6),
       input_format::csv,
       1,
       "#",
       {{"h"}}},
  };
  for (const auto& c : cases) {
    const tabulix::cli::reader_options opts{c.format, ',', c.skip, c.comment};
    EXPECT_EQ(read_with(c.text, opts), c.expected) << c.name;
  }
}

// The last record of `text`, read with a limit of two fields.
csv_record last_of_two_fields(tabulix::cli::input_format format, const std::string& text) {
  const file_ptr f = open_text(text);
  csv_reader reader(tabulix::cli::open_source(f.get(), "in.txt", tabulix::cli::text_encoding::utf8),
                    "in.txt", {format, ',', 0, ""});
  reader.set_field_limit(2);
  csv_record record;
  csv_record last;
  while (reader.next(record)) last = record;
  return last;
}

TEST(CsvReader, FieldsPastTheLimitAreCountedNotKept) {
  using tabulix::cli::input_format;
  struct test_case {
    input_format format;
    std::string text;
  };
  // After a first line, also lines of the fast path.
  const test_case cases[] = {
      {input_format::csv, "1,2,3,4\n"},       {input_format::csv, "1,\"2\",\"3\n3\",4\n"},
      {input_format::tsv, "1\t2\t3\t4\n"},    {input_format::csv, "0\n1,2,3,4\n"},
      {input_format::tsv, "0\n1\t2\t3\t4\n"},
  };
  for (const auto& c : cases) {
    const csv_record record = last_of_two_fields(c.format, c.text);
    EXPECT_EQ(record.size(), 2u) << c.text;
    EXPECT_EQ(record.extra, 2u) << c.text;
    EXPECT_STREQ(record.field(1).data(), "2") << c.text;
  }
}

TEST(CsvReader, RecordsKnowTheLineTheyStartOn) {
  std::vector<std::uint64_t> lines;
  read_all("h\n\n\"a\nb\nc\"\nd\r\n\r\ne\n", ',', &lines);
  EXPECT_EQ(lines, (std::vector<std::uint64_t>{1, 3, 6, 8}));
}

TEST(CsvReader, FieldsLongerThanTheReadBuffer) {
  // Quotes and a CR LF straddle the 64 KiB reads of the reader.
  std::string big(70000, 'x');
  big[65535] = '"';
  std::string quoted = big;
  std::string text = "\"";
  for (const char c : quoted) {
    text += c;
    if (c == '"') text += '"';
  }
  text += "\",y\r\n";
  text = std::string(65534, 'p') + ",q\r\n" + text;
  EXPECT_EQ(read_all(text), (record_list{{std::string(65534, 'p'), "q"}, {big, "y"}}));
  // Characters of two to four bytes straddle the reads.
  std::string wide = "x";
  for (int i = 0; i < 20000; ++i) wide += "\xC3\xA9\xE2\x82\xAC\xF0\x9D\x84\x9E";
  EXPECT_EQ(read_all(wide + "\n"), (record_list{{wide}}));
}

// A record whose fields are all printable ASCII says so, and the loader then
// shows them without looking at them again: one that is not must never say it.
TEST(CsvReader, RecordsKnowWhetherTheirFieldsArePrintable) {
  const file_ptr f = open_text(
      "ab,c "
      "d~\na,b\r\nalpha,bravo,charlie,delta\nalpha,"
      "bravo\x01charlie\nx\ty\nx\x7Fy\n\xC3\xA9\na\rb\n\"q\",r\n\"a\nb\"\n" +
      std::string(70000, 'w') + "\xC3\xA9\nlast");
  csv_reader reader(f.get(), "in.csv");
  csv_record record;
  std::vector<bool> printable;
  while (reader.next(record)) printable.push_back(record.printable);
  EXPECT_EQ(printable, (std::vector<bool>{true, true, true, false, false, false, false, false,
                                          false, false, false, true}));
}

TEST(CsvReader, RecordFieldsAreCStrings) {
  const file_ptr f = open_text("ab,,c\n");
  csv_reader reader(f.get(), "in.csv");
  csv_record record;
  ASSERT_TRUE(reader.next(record));
  ASSERT_EQ(record.size(), 3u);
  // The loader hands each field on by its address alone.
  EXPECT_STREQ(record.field(0).data(), "ab");
  EXPECT_STREQ(record.field(1).data(), "");
  EXPECT_STREQ(record.field(2).data(), "c");
  EXPECT_FALSE(reader.next(record));
  EXPECT_FALSE(reader.next(record));  // stays at the end
}

TEST(CsvReader, MalformedInputNamesItsPlace) {
  struct test_case {
    const char* name;
    std::string text;
    std::string message;
  };
// Invalid UTF-8 that decodes as Windows-1252 (none of 0x81, 0x8D, 0x8F,
// 0x90, 0x9D) gets a hint at --encoding.
#define CP1252_HINT " (for Windows-1252 or Latin-1 text, use --encoding cp1252)"
  const test_case cases[] = {
      {"quote never closed", "a,b\nc,\"d\ne\n", "in.csv:2:3: quoted field is not closed"},
      {"quote closed lines later", "a,b\nc,\"d\ne,\"f\"\n",
       "in.csv:2:3: quoted field is not closed (its quote pairs with one on line 3)"},
      {"text after the closing quote", "a,\"b\"c\n",
       "in.csv:1:6: unexpected character after the closing quote of a quoted field"},
      {"blank after the closing quote", "\"b\" ,c\n",
       "in.csv:1:4: unexpected character after the closing quote of a quoted field"},
      {"NUL byte", std::string("ab\ncd\0e\n", 8), "in.csv:2:3: NUL byte"},
      {"NUL inside quotes", std::string("\"a\0\"\n", 5), "in.csv:1:3: NUL byte"},
      {"stray continuation byte", "a,\x80\n", "in.csv:1:3: invalid UTF-8" CP1252_HINT},
      {"overlong two-byte form", "\xC0\x80\n", "in.csv:1:1: invalid UTF-8" CP1252_HINT},
      {"overlong three-byte form", "ab\xE0\x80\x80\n", "in.csv:1:3: invalid UTF-8" CP1252_HINT},
      {"surrogate", "\xED\xA0\x80\n", "in.csv:1:1: invalid UTF-8" CP1252_HINT},
      {"above U+10FFFF", "\xF4\x90\x80\x80\n", "in.csv:1:1: invalid UTF-8"},
      {"no such lead byte", "x\n\xF5\x80\x80\x80\n", "in.csv:2:1: invalid UTF-8" CP1252_HINT},
      {"sequence cut by a delimiter", "\xC3,a\n", "in.csv:1:1: invalid UTF-8" CP1252_HINT},
      {"sequence cut by the end of input", "a\n\xE2\x82", "in.csv:2:1: invalid UTF-8" CP1252_HINT},
      {"bad byte inside quotes", "\"a\nb\xFF\"\n", "in.csv:2:2: invalid UTF-8" CP1252_HINT},
      // Reported as read, before the line ends (reads are of 64 KiB).
      {"bad byte past the first read", std::string(100000, 'a') + "\xFF\n",
       "in.csv:1:100001: invalid UTF-8" CP1252_HINT},
      {"NUL byte on a line that never ends", std::string(70000, 'a') + std::string(1, '\0'),
       "in.csv:1:70001: NUL byte"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(read_error(c.text), c.message) << c.name;
  }
}

TEST(CsvReader, ReadErrorsAreReported) {
  // Reading a directory fails on Linux with EISDIR.
  std::FILE* dir = std::fopen("/", "rb");
  if (dir == nullptr) GTEST_SKIP() << "cannot open a directory as a file here";
  csv_reader reader(dir, "/");
  csv_record record;
  try {
    reader.next(record);
    ADD_FAILURE() << "no error";
  } catch (const input_error& e) {
    EXPECT_EQ(std::string(e.what()).rfind("/: read error: ", 0), 0u) << e.what();
  }
  std::fclose(dir);
}

}  // namespace
