// SPDX-License-Identifier: MIT
// A streaming reader of delimited text: CSV after RFC 4180, TSV or any other
// single-byte delimiter. It reads one record at a time, so memory stays
// proportional to the longest record, and checks the bytes as it goes: text
// must be UTF-8 without NUL bytes, and quoted fields must be well formed.
#ifndef TABULIX_TOOL_CSV_HPP
#define TABULIX_TOOL_CSV_HPP

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace tabulix::cli {

// A fault in the input: its place and what is wrong. what() gives
// "file:line:column: message" (the column counts bytes from 1); a column of 0
// leaves the column out, a line of 0 the line as well.
class input_error : public std::runtime_error {
 public:
  input_error(const std::string& file, std::uint64_t line, std::uint64_t column,
              const std::string& message);
};

// One record: its fields, each followed by a NUL byte in `data`, so that a
// field can be handed on as a C string.
struct csv_record {
  std::string data;
  std::vector<std::size_t> starts;  // where each field begins in data
  std::uint64_t line = 0;           // line on which the record begins, from 1

  [[nodiscard]] std::size_t size() const { return starts.size(); }
  [[nodiscard]] std::string_view field(std::size_t i) const;
  void clear();
};

class csv_reader {
 public:
  // Reads from `in`, which stays the caller's; `name` is used in messages.
  // The delimiter may be any byte but '"', CR, LF and NUL.
  csv_reader(std::FILE* in, std::string name, char delimiter = ',');

  // Reads the next record into `record`. Gives false at the end of the input.
  // Lines with no bytes at all are skipped; a line holding "" is one empty
  // field. Throws input_error on a malformed quoted field, a NUL byte,
  // invalid UTF-8 or a read error.
  bool next(csv_record& record);

 private:
  // Where the reader stands in the current field.
  enum class field_state { start, unquoted, quoted, after_quote };

  int peek();
  int get();
  bool refill();
  void check_byte(unsigned char c);
  [[noreturn]] void fail(std::uint64_t line, std::uint64_t column, const std::string& message);
  void skip_byte_order_mark();
  bool start_record(csv_record& record);
  bool take_quoted(csv_record& record, int c, std::uint64_t line, std::uint64_t column);
  bool take_unquoted(csv_record& record, int c);

  std::FILE* in_;
  std::string name_;
  char delimiter_;
  std::vector<char> buffer_;
  std::size_t pos_ = 0;
  std::size_t end_ = 0;
  bool eof_ = false;
  bool started_ = false;  // the byte order mark test has been made

  // The field being read, and where its opening quote stood.
  field_state state_ = field_state::start;
  std::uint64_t quote_line_ = 0;
  std::uint64_t quote_column_ = 0;

  // Position of the byte that get() returns next.
  std::uint64_t line_ = 1;
  std::uint64_t column_ = 1;

  // UTF-8 sequence being checked: continuation bytes still expected, the
  // range allowed for the next one, and where the sequence began.
  int utf8_pending_ = 0;
  unsigned char utf8_low_ = 0x80;
  unsigned char utf8_high_ = 0xBF;
  std::uint64_t utf8_line_ = 0;
  std::uint64_t utf8_column_ = 0;
};

}  // namespace tabulix::cli

#endif
