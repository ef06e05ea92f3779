// SPDX-License-Identifier: MIT
#include "csv.hpp"

#include <cerrno>
#include <cstring>
#include <utility>

namespace tabulix::cli {

namespace {

constexpr std::size_t buffer_size = 1 << 16;

std::string place(const std::string& file, std::uint64_t line, std::uint64_t column) {
  std::string text = file;
  if (line != 0) {
    text += ':' + std::to_string(line);
    if (column != 0) text += ':' + std::to_string(column);
  }
  return text;
}

}  // namespace

input_error::input_error(const std::string& file, std::uint64_t line, std::uint64_t column,
                         const std::string& message)
    : std::runtime_error(place(file, line, column) + ": " + message) {}

std::string_view csv_record::field(std::size_t i) const {
  // Every field ends with the NUL that the reader put after it.
  const std::size_t end = (i + 1 < starts.size() ? starts[i + 1] : data.size()) - 1;
  return std::string_view(data).substr(starts[i], end - starts[i]);
}

void csv_record::clear() {
  data.clear();
  starts.clear();
  line = 0;
}

csv_reader::csv_reader(std::FILE* in, std::string name, char delimiter)
    : in_(in), name_(std::move(name)), delimiter_(delimiter), buffer_(buffer_size) {}

void csv_reader::fail(std::uint64_t line, std::uint64_t column, const std::string& message) {
  throw input_error(name_, line, column, message);
}

// Moves the unread bytes to the front and fills the rest of the buffer.
bool csv_reader::refill() {
  if (eof_) return pos_ < end_;
  std::memmove(buffer_.data(), buffer_.data() + pos_, end_ - pos_);
  end_ -= pos_;
  pos_ = 0;
  // One read: a pipe or terminal gives what it has, and that is enough.
  const std::size_t n = std::fread(buffer_.data() + end_, 1, buffer_.size() - end_, in_);
  end_ += n;
  if (n == 0) {
    if (std::ferror(in_)) fail(0, 0, std::string("read error: ") + std::strerror(errno));
    eof_ = true;
  }
  return pos_ < end_;
}

int csv_reader::peek() {
  if (pos_ == end_ && !refill()) return EOF;
  return static_cast<unsigned char>(buffer_[pos_]);
}

int csv_reader::get() {
  if (pos_ == end_ && !refill()) {
    if (utf8_pending_ != 0) fail(utf8_line_, utf8_column_, "invalid UTF-8");
    return EOF;
  }
  const auto c = static_cast<unsigned char>(buffer_[pos_++]);
  check_byte(c);
  if (c == '\n') {
    ++line_;
    column_ = 1;
  } else {
    ++column_;
  }
  return c;
}

// Rejects NUL bytes and checks UTF-8 one byte at a time: no overlong forms,
// no surrogates, nothing above U+10FFFF, no sequence cut short.
void csv_reader::check_byte(unsigned char c) {
  if (utf8_pending_ != 0) {
    if (c < utf8_low_ || c > utf8_high_) fail(utf8_line_, utf8_column_, "invalid UTF-8");
    --utf8_pending_;
    utf8_low_ = 0x80;
    utf8_high_ = 0xBF;
    return;
  }
  if (c == 0) fail(line_, column_, "NUL byte");
  if (c < 0x80) return;
  utf8_line_ = line_;
  utf8_column_ = column_;
  if (c >= 0xC2 && c <= 0xDF) {
    utf8_pending_ = 1;
  } else if (c >= 0xE0 && c <= 0xEF) {
    utf8_pending_ = 2;
    if (c == 0xE0) utf8_low_ = 0xA0;   // overlong below U+0800
    if (c == 0xED) utf8_high_ = 0x9F;  // surrogates
  } else if (c >= 0xF0 && c <= 0xF4) {
    utf8_pending_ = 3;
    if (c == 0xF0) utf8_low_ = 0x90;   // overlong below U+10000
    if (c == 0xF4) utf8_high_ = 0x8F;  // above U+10FFFF
  } else {
    fail(line_, column_, "invalid UTF-8");
  }
}

// Spreadsheets often start UTF-8 files with a byte order mark; it is no data.
void csv_reader::skip_byte_order_mark() {
  while (end_ - pos_ < 3 && !eof_) refill();
  if (end_ - pos_ >= 3 && std::memcmp(buffer_.data() + pos_, "\xEF\xBB\xBF", 3) == 0) pos_ += 3;
}

// Skips the lines without a single byte, which hold no record, and opens the
// record's first field. Gives false at the end of the input.
bool csv_reader::start_record(csv_record& record) {
  state_ = field_state::start;
  for (;;) {
    const int c = peek();
    if (c == EOF) {
      get();  // reports a UTF-8 sequence cut short by the end of input
      return false;
    }
    if (c == '\n') {
      get();
      continue;
    }
    if (c == '\r') {
      get();
      if (peek() == '\n') {
        get();
        continue;
      }
      // A lone CR is data: it begins the first field.
      record.data.push_back('\r');
      state_ = field_state::unquoted;
    }
    break;
  }
  record.line = line_;
  record.starts.push_back(0);
  return true;
}

// A byte inside a quoted field or right after its closing quote, read at
// line:column. Gives false when the byte ends the quoted field and is to be
// taken as one outside quotes.
bool csv_reader::take_quoted(csv_record& record, int c, std::uint64_t line, std::uint64_t column) {
  if (state_ == field_state::quoted) {
    if (c == EOF) fail(quote_line_, quote_column_, "quoted field is not closed");
    if (c == '"') {
      state_ = field_state::after_quote;
    } else {
      record.data.push_back(static_cast<char>(c));
    }
    return true;
  }
  if (c == '"') {  // a doubled quote stands for one
    record.data.push_back('"');
    state_ = field_state::quoted;
    return true;
  }
  if (c != EOF && c != delimiter_ && c != '\n' && !(c == '\r' && peek() == '\n')) {
    fail(line, column, "unexpected character after the closing quote of a quoted field");
  }
  return false;
}

// A byte outside quotes: the delimiter ends the field, a line end the record.
// Gives true when the record is complete.
bool csv_reader::take_unquoted(csv_record& record, int c) {
  if (c == EOF || c == '\n') {
    record.data.push_back('\0');
    return true;
  }
  if (c == '\r' && peek() == '\n') {
    get();
    record.data.push_back('\0');
    return true;
  }
  if (c == delimiter_) {
    record.data.push_back('\0');
    record.starts.push_back(record.data.size());
    state_ = field_state::start;
    return false;
  }
  // A quote inside an unquoted field is taken as it is.
  record.data.push_back(static_cast<char>(c));
  state_ = field_state::unquoted;
  return false;
}

bool csv_reader::next(csv_record& record) {
  record.clear();
  if (!started_) {
    started_ = true;
    skip_byte_order_mark();
  }
  if (!start_record(record)) return false;
  for (;;) {
    const std::uint64_t line = line_;
    const std::uint64_t column = column_;
    const int c = get();
    if (state_ == field_state::start && c == '"') {
      quote_line_ = line;
      quote_column_ = column;
      state_ = field_state::quoted;
      continue;
    }
    const bool in_quotes = state_ == field_state::quoted || state_ == field_state::after_quote;
    if (in_quotes && take_quoted(record, c, line, column)) continue;
    if (take_unquoted(record, c)) return true;
  }
}

}  // namespace tabulix::cli
