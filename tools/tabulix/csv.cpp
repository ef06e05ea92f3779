// SPDX-License-Identifier: MIT
#include "csv.hpp"

#include <cstring>
#include <utility>

namespace tabulix::cli {

namespace {

constexpr std::size_t buffer_size = 1 << 16;

// Where the first byte that is not plain ASCII (0x80 and above, or NUL)
// stands, eight bytes at a time; n when there is none.
std::size_t plain_ascii_prefix(const char* p, std::size_t n) {
  constexpr std::uint64_t ones = 0x0101010101010101U;
  constexpr std::uint64_t highs = 0x8080808080808080U;
  std::size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    std::uint64_t w = 0;
    std::memcpy(&w, p + i, 8);
    // A high bit set, or a zero byte (whose high bit the subtraction sets).
    if (((w | ((w - ones) & ~w)) & highs) != 0) break;
  }
  while (i < n && static_cast<unsigned char>(p[i]) - 1U < 0x7FU) ++i;
  return i;
}

// The length of the valid UTF-8 sequence at p (of n bytes), or 0: no
// overlong forms, no surrogates, nothing above U+10FFFF.
std::size_t utf8_sequence(const unsigned char* p, std::size_t n) {
  const unsigned char c = p[0];
  std::size_t len = 0;
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  if (c >= 0xC2 && c <= 0xDF) {
    len = 2;
  } else if (c >= 0xE0 && c <= 0xEF) {
    len = 3;
    if (c == 0xE0) low = 0xA0;   // overlong below U+0800
    if (c == 0xED) high = 0x9F;  // surrogates
  } else if (c >= 0xF0 && c <= 0xF4) {
    len = 4;
    if (c == 0xF0) low = 0x90;   // overlong below U+10000
    if (c == 0xF4) high = 0x8F;  // above U+10FFFF
  } else {
    return 0;
  }
  if (n < len || p[1] < low || p[1] > high) return 0;
  for (std::size_t i = 2; i < len; ++i) {
    if (p[i] < 0x80 || p[i] > 0xBF) return 0;
  }
  return len;
}

bool is_blank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

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

csv_reader::csv_reader(std::unique_ptr<byte_source> in, std::string name, reader_options opts)
    : in_(std::move(in)), name_(std::move(name)), opts_(std::move(opts)), buffer_(buffer_size) {}

csv_reader::csv_reader(std::FILE* in, const std::string& name, char delimiter)
    : csv_reader(open_source(in, name, text_encoding::utf8), name,
                 reader_options{input_format::csv, delimiter, 0, {}}) {}

void csv_reader::fail(std::uint64_t line, std::uint64_t column, const std::string& message) {
  throw input_error(name_, line, column, message);
}

// Moves the current line to the front and reads more after it, growing the
// buffer when the line fills it. Gives false when nothing more comes.
bool csv_reader::refill() {
  if (eof_) return false;
  std::memmove(buffer_.data(), buffer_.data() + pos_, end_ - pos_);
  end_ -= pos_;
  pos_ = 0;
  if (end_ == buffer_.size()) buffer_.resize(buffer_.size() * 2);
  const std::size_t n = in_->read(buffer_.data() + end_, buffer_.size() - end_);
  end_ += n;
  if (n == 0) eof_ = true;
  return n != 0;
}

// Drops a byte order mark, which spreadsheets often put first and which is no
// data, and takes CR as the line end when the first bytes hold CR and no LF.
void csv_reader::start() {
  started_ = true;
  while (end_ < 3 && refill()) {
  }
  if (end_ - pos_ >= 3 && std::memcmp(buffer_.data() + pos_, "\xEF\xBB\xBF", 3) == 0) pos_ += 3;
  const char* p = buffer_.data() + pos_;
  const std::size_t n = end_ - pos_;
  if (std::memchr(p, '\n', n) == nullptr && std::memchr(p, '\r', n) != nullptr) line_end_ = '\r';
}

// Makes the line at pos_ whole in the buffer and sets its bounds. Gives
// false at the end of the input.
bool csv_reader::load_line() {
  std::size_t searched = pos_;
  for (;;) {
    const void* found = std::memchr(buffer_.data() + searched, line_end_, end_ - searched);
    if (found != nullptr) {
      line_stop_ = static_cast<std::size_t>(static_cast<const char*>(found) - buffer_.data()) + 1;
      content_end_ = line_stop_ - 1;
      break;
    }
    const std::size_t offset = end_ - pos_;
    if (!refill()) {
      if (pos_ == end_) return false;
      line_stop_ = content_end_ = end_;  // the last line has no line end
      break;
    }
    searched = pos_ + offset;
  }
  if (line_end_ == '\n' && content_end_ > pos_ && buffer_[content_end_ - 1] == '\r') {
    --content_end_;
  }
  ++line_;
  return true;
}

void csv_reader::next_line() { pos_ = line_stop_; }

// Checks a line's bytes: UTF-8 without NUL bytes.
void csv_reader::check_line(const char* p, std::size_t n) {
  std::size_t i = 0;
  for (;;) {
    i += plain_ascii_prefix(p + i, n - i);
    if (i == n) return;
    if (p[i] == '\0') fail(line_, i + 1, "NUL byte");
    const std::size_t len = utf8_sequence(reinterpret_cast<const unsigned char*>(p + i), n - i);
    if (len == 0) fail(line_, i + 1, "invalid UTF-8");
    i += len;
  }
}

bool csv_reader::skipped_line() const {
  if (opts_.skip >= line_) return true;
  if (content_end_ == pos_) return true;  // a line with no bytes holds no record
  const std::string_view text(buffer_.data() + pos_, content_end_ - pos_);
  return !opts_.comment.empty() && text.starts_with(opts_.comment);
}

// Fields split at every delimiter, without quoting: the line is copied
// once, and each delimiter becomes the NUL that ends a field.
void csv_reader::split_plain(csv_record& record, char delimiter) {
  const std::size_t base = record.data.size();
  record.data.append(buffer_.data() + pos_, content_end_ - pos_);
  record.data.push_back('\0');
  char* const begin = record.data.data();
  char* p = begin + base;
  char* const e = begin + record.data.size() - 1;
  record.starts.push_back(base);
  for (;;) {
    p = static_cast<char*>(std::memchr(p, delimiter, static_cast<std::size_t>(e - p)));
    if (p == nullptr) return;
    *p++ = '\0';
    record.starts.push_back(static_cast<std::size_t>(p - begin));
  }
}

// Fields separated by runs of blanks and tabs; those at either end separate
// nothing.
void csv_reader::split_blanks(csv_record& record) {
  const char* p = buffer_.data() + pos_;
  const char* const e = buffer_.data() + content_end_;
  for (;;) {
    while (p != e && is_blank(*p)) ++p;
    if (p == e) return;
    const char* f = p;
    if (record.size() + 1 == field_limit_) {
      p = e;
      while (is_blank(p[-1])) --p;
    } else {
      while (p != e && !is_blank(*p)) ++p;
    }
    record.starts.push_back(record.data.size());
    record.data.append(f, p);
    record.data.push_back('\0');
  }
}

// A quoted field whose opening quote stands at `at` in the current line;
// it may run over several lines. Gives where the field ends in the line it
// ends on.
std::size_t csv_reader::take_quoted(csv_record& record, std::size_t at) {
  const std::uint64_t quote_line = line_;
  const std::uint64_t quote_column = at - pos_ + 1;
  std::size_t p = at + 1;
  for (;;) {
    const char* from = buffer_.data() + p;
    const auto* quote = static_cast<const char*>(std::memchr(from, '"', content_end_ - p));
    if (quote == nullptr) {
      // The field goes on after the line end, which belongs to it.
      record.data.append(from, static_cast<std::size_t>(buffer_.data() + line_stop_ - from));
      next_line();
      if (!load_line()) fail(quote_line, quote_column, "quoted field is not closed");
      check_line(buffer_.data() + pos_, line_stop_ - pos_);
      p = pos_;
      continue;
    }
    record.data.append(from, static_cast<std::size_t>(quote - from));
    p = static_cast<std::size_t>(quote - buffer_.data()) + 1;
    if (p < content_end_ && buffer_[p] == '"') {  // a doubled quote stands for one
      record.data.push_back('"');
      ++p;
      continue;
    }
    if (p < content_end_ && buffer_[p] != opts_.delimiter) {
      fail(line_, p - pos_ + 1, "unexpected character after the closing quote of a quoted field");
    }
    return p;
  }
}

// CSV: a field that starts with a quote is quoted; a quote inside an
// unquoted field is taken as it is.
void csv_reader::split_csv(csv_record& record) {
  const char delimiter = opts_.delimiter;
  if (std::memchr(buffer_.data() + pos_, '"', content_end_ - pos_) == nullptr) {
    split_plain(record, delimiter);  // no quoted field
    return;
  }
  std::size_t p = pos_;
  for (;;) {
    record.starts.push_back(record.data.size());
    if (p < content_end_ && buffer_[p] == '"') {
      p = take_quoted(record, p);
    } else {
      const char* f = buffer_.data() + p;
      const char* const e = buffer_.data() + content_end_;
      const char* q = f;
      while (q != e && *q != delimiter) ++q;
      record.data.append(f, q);
      p = static_cast<std::size_t>(q - buffer_.data());
    }
    record.data.push_back('\0');
    if (p == content_end_) return;
    ++p;  // the delimiter
  }
}

bool csv_reader::next(csv_record& record) {
  record.clear();
  if (!started_) start();
  for (;;) {
    if (!load_line()) return false;
    if (skipped_line()) {
      next_line();
      continue;
    }
    check_line(buffer_.data() + pos_, line_stop_ - pos_);
    record.line = line_;
    switch (opts_.format) {
      case input_format::csv:
        split_csv(record);
        break;
      case input_format::tsv:
        split_plain(record, '\t');
        break;
      case input_format::whitespace:
        split_blanks(record);
        break;
    }
    next_line();
    if (record.size() != 0) return true;
  }
}

}  // namespace tabulix::cli
