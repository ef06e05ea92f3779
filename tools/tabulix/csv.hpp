// SPDX-License-Identifier: MIT
// A streaming reader of delimited text: CSV after RFC 4180 with any ASCII
// delimiter, TSV without quoting, or fields separated by runs of blanks. It
// reads one line at a time, so memory stays proportional to the longest
// record, and checks each byte once as it is read: text must be UTF-8 without
// NUL bytes, and quoted fields must be well formed. Lines end in LF or CR LF;
// an input whose first line end is a CR, with no LF in its first 64 KiB (or
// in the 64 KiB after that CR, when it comes later), is read with CR alone as
// the line end.
#ifndef TABULIX_TOOL_CSV_HPP
#define TABULIX_TOOL_CSV_HPP

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "aligned.hpp"
#include "errors.hpp"
#include "input.hpp"
#include "options.hpp"

namespace tabulix::cli {

// One record: its fields, each followed by a NUL byte in `data`, so that a
// field can be handed on as a C string.
struct csv_record {
  std::string data;
  std::vector<std::size_t> starts;  // where each field begins in data
  std::uint64_t line = 0;           // line on which the record begins, from 1
  std::uint64_t extra = 0;          // fields past the reader's field limit: counted, not kept
  // Every byte of its fields is printable ASCII (0x20 to 0x7E), as the reader
  // found while checking them; false when it did not look.
  bool printable = false;

  [[nodiscard]] std::size_t size() const { return starts.size(); }
  // Inline: the loader asks for every field of every record.
  [[nodiscard]] std::string_view field(std::size_t i) const {
    // Every field ends with the NUL that the reader put after it.
    const std::size_t end = (i + 1 < starts.size() ? starts[i + 1] : data.size()) - 1;
    return {data.data() + starts[i], end - starts[i]};
  }
  void clear();
};

struct reader_options {
  input_format format = input_format::csv;
  char delimiter = ',';  // for csv: any ASCII byte but '"', CR, LF and NUL
  std::uint64_t skip = 0;
  std::string comment;  // lines starting with it are skipped; empty: none
  bool trim = false;    // blanks after a delimiter are dropped
  // Fields separated by blanks: where the fields of aligned lines stand;
  // lines that do not fit them, and all without them, split at blank runs.
  std::vector<text_span> spans{};
};

class csv_reader {
 public:
  // Reads the decoded bytes of `in`; `name` is used in messages.
  csv_reader(std::unique_ptr<byte_source> in, std::string name, reader_options opts);
  // Reads `bytes` where they are, without a copy: they must outlive the
  // reader.
  csv_reader(std::string_view bytes, std::string name, reader_options opts);
  // Reads UTF-8 CSV from `in`, which stays the caller's.
  csv_reader(std::FILE* in, const std::string& name, char delimiter = ',');

  // Reads the next record into `record`. Gives false at the end of the input.
  // Lines with no bytes at all are skipped; a line holding "" is one empty
  // field. Throws input_error on a malformed quoted field, a NUL byte,
  // invalid UTF-8 or a read error.
  bool next(csv_record& record);

  // With fields separated by blanks, the field `count` and those after it
  // form one: the rest of the line, as in the last column of `ps` output.
  // Otherwise fields past `count` are counted in csv_record::extra but not
  // kept, so that a line of a billion delimiters costs no more than its
  // bytes. 0: no limit.
  void set_field_limit(std::size_t count) { field_limit_ = count; }
  [[nodiscard]] std::size_t field_limit() const { return field_limit_; }

  // Bytes of the input taken so far: after next(), where the line after the
  // record begins.
  [[nodiscard]] std::uint64_t consumed() const { return shifted_ + pos_; }
  // The line end, once decided (LF before).
  [[nodiscard]] char line_end() const { return line_end_; }
  // For input that begins at a line start within a larger input with LF
  // line ends, whose start (byte order mark, line end) another reader took:
  // takes the line end as LF at once. Line numbers count from that start.
  void begin_mid_input() {
    started_ = true;
    line_end_known_ = true;
    line_end_ = '\n';
  }
  // Lines read so far.
  [[nodiscard]] std::uint64_t lines() const { return line_; }
  // Goes on at input offset `offset`, `lines` lines on, at a record start
  // after the records that others read; the source must go on there too.
  void skip_to(std::uint64_t offset, std::uint64_t lines) {
    shifted_ = offset;
    pos_ = end_ = 0;
    eof_ = false;
    line_ += lines;
  }

 private:
  bool refill();
  bool take_plain_line(csv_record& record);
  bool load_line(bool record_start);
  bool skip_line(bool record_start, std::uint64_t number);
  const char* find_line_end(std::size_t from);
  void start();
  void decide_line_end(std::size_t at);
  std::size_t check_bytes(std::size_t from, std::size_t to, bool line_ends, std::uint64_t line);
  [[noreturn]] void fail(std::uint64_t line, std::uint64_t column, const std::string& message);
  void split_plain(csv_record& record, char delimiter);
  void split_blanks(csv_record& record);
  void split_spans(csv_record& record);
  void trim_fields(csv_record& record) const;
  [[nodiscard]] std::size_t skip_blanks(std::size_t p) const;
  void split_csv(csv_record& record);
  std::size_t take_quoted(csv_record& record, std::size_t at);
  void next_line();

  std::unique_ptr<byte_source> in_;
  std::string name_;
  reader_options opts_;
  std::unique_ptr<char[]> buffer_;
  const char* bytes_ = nullptr;  // what is read: buffer_'s bytes, or those given
  std::size_t capacity_;
  std::size_t pos_ = 0;        // start of the current line
  std::size_t end_ = 0;        // end of the bytes read
  std::uint64_t shifted_ = 0;  // bytes of the input before the buffer's start
  bool eof_ = false;
  bool started_ = false;         // the byte order mark is dealt with
  bool line_end_known_ = false;  // decided at the first CR or LF
  char line_end_ = '\n';

  // The current line: [pos_, content_end_) without its line end, which
  // takes [content_end_, line_stop_).
  std::size_t content_end_ = 0;
  std::size_t line_stop_ = 0;
  std::uint64_t line_ = 0;  // number of the current line, from 1
  bool skipped_ = false;    // the current line is skipped (by number, or a comment)
  // Bytes of the current line, its line end included, that are not printable
  // ASCII, as check_bytes counted them (never fewer).
  std::size_t unprintable_ = 0;
  std::size_t field_limit_ = 0;
  bool split_header_ = false;  // the first line split at spans, the header, is done
};

}  // namespace tabulix::cli

#endif
