// SPDX-License-Identifier: MIT
#include "csv.hpp"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <utility>

#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#include <emmintrin.h>
#define TABULIX_TOOL_SSE2 1
#endif

namespace tabulix::cli {

namespace {

constexpr std::size_t buffer_size = 1 << 16;

// How far an LF is looked for once the input's first line end is a CR: to
// this many bytes from the start of the input, or past that CR when it comes
// later. An LF there (as in CR LF, or a lone CR in the data of an LF file)
// makes LF the line end.
constexpr std::size_t line_end_window = 1 << 16;

// Where the first byte that is not printable ASCII (a control byte, DEL,
// 0x80 and above, or NUL) stands, eight bytes at a time; n when there is
// none.
std::size_t printable_prefix(const char* p, std::size_t n) {
  constexpr std::uint64_t ones = 0x0101010101010101U;
  constexpr std::uint64_t highs = 0x8080808080808080U;
  std::size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    std::uint64_t w = 0;
    std::memcpy(&w, p + i, 8);
    // High bits of bytes below 0x20, of 0x7F (which the XOR makes zero) and
    // of bytes from 0x80; the byte loop below finds which.
    const std::uint64_t low = (w - 0x20 * ones) & ~w;
    const std::uint64_t del = ((w ^ (0x7F * ones)) - ones) & ~(w ^ (0x7F * ones));
    if (((low | del | w) & highs) != 0) break;
  }
  while (i < n && static_cast<unsigned char>(p[i]) - 0x20U < 0x5FU) ++i;
  return i;
}

// What utf8_sequence gives for bytes that begin a valid sequence but stop
// before its end.
constexpr std::size_t cut_short = SIZE_MAX;

// The length of the valid UTF-8 sequence at p, of which n bytes are there;
// 0 when it is invalid (an overlong form, a surrogate, above U+10FFFF), or
// cut_short when the n bytes are a valid start of it.
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
  if (n >= 2 && (p[1] < low || p[1] > high)) return 0;
  for (std::size_t i = 2; i < len && i < n; ++i) {
    if (p[i] < 0x80 || p[i] > 0xBF) return 0;
  }
  return n < len ? cut_short : len;
}

bool is_blank(char c) { return c == ' ' || c == '\t'; }

#if defined(TABULIX_TOOL_SSE2)
std::size_t lowest_bit(unsigned bits) { return static_cast<std::size_t>(std::countr_zero(bits)); }
#endif

// Where a line of plain fields stops, in the n bytes at p: at the first byte
// that is not printable ASCII, nor the delimiter, nor (with `quotes`) a
// quote; n when there is none. Appends the offset after each delimiter
// before it to `starts`. Sixteen bytes at a time where SSE2 is there (every
// x86-64): the line end, the delimiters and what the slow path must see are
// found in one pass.
std::size_t scan_plain_line(const char* p, std::size_t n, char delimiter, bool quotes,
                            std::vector<std::size_t>& starts) {
  std::size_t i = 0;
#if defined(TABULIX_TOOL_SSE2)
  const __m128i delimiters = _mm_set1_epi8(delimiter);
  // Without quoting the delimiter stands in for the quote: it is no stop.
  const __m128i quote = _mm_set1_epi8(quotes ? '"' : delimiter);
  const __m128i space = _mm_set1_epi8(0x20);
  const __m128i del = _mm_set1_epi8(0x7F);
  for (; i + 16 <= n; i += 16) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
    auto at_delimiter = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(x, delimiters)));
    // Signed, bytes from 0x80 are below the space too.
    const __m128i stop = _mm_or_si128(
        _mm_or_si128(_mm_cmplt_epi8(x, space), _mm_cmpeq_epi8(x, del)), _mm_cmpeq_epi8(x, quote));
    const unsigned stops = static_cast<unsigned>(_mm_movemask_epi8(stop)) & ~at_delimiter;
    if (stops != 0) at_delimiter &= (1U << lowest_bit(stops)) - 1;
    for (; at_delimiter != 0; at_delimiter &= at_delimiter - 1) {
      starts.push_back(i + lowest_bit(at_delimiter) + 1);
    }
    if (stops != 0) return i + lowest_bit(stops);
  }
#endif
  for (; i < n; ++i) {
    const char c = p[i];
    if (c == delimiter) {
      starts.push_back(i + 1);
    } else if (static_cast<unsigned char>(c) - 0x20U >= 0x5FU || (quotes && c == '"')) {
      return i;
    }
  }
  return n;
}

// The message for invalid UTF-8 at p, with n bytes of its line there: text
// that decodes as Windows-1252 (no byte of the five it leaves unassigned)
// most likely is, as most text labelled Latin-1 is.
std::string invalid_utf8(const char* p, std::size_t n) {
  const std::string_view rest(p, n);
  if (rest.find_first_of(std::string_view("\x81\x8D\x8F\x90\x9D", 5)) != std::string_view::npos) {
    return "invalid UTF-8";
  }
  return "invalid UTF-8 (for Windows-1252 or Latin-1 text, use --encoding cp1252)";
}

}  // namespace

void csv_record::clear() {
  data.clear();
  starts.clear();
  line = 0;
  extra = 0;
  printable = false;
}

csv_reader::csv_reader(std::unique_ptr<byte_source> in, std::string name, reader_options opts)
    : in_(std::move(in)),
      name_(std::move(name)),
      opts_(std::move(opts)),
      buffer_(std::make_unique_for_overwrite<char[]>(buffer_size)),
      bytes_(buffer_.get()),
      capacity_(buffer_size) {}

csv_reader::csv_reader(std::string_view bytes, std::string name, reader_options opts)
    : name_(std::move(name)),
      opts_(std::move(opts)),
      bytes_(bytes.data()),
      capacity_(bytes.size()),
      end_(bytes.size()),
      eof_(true) {}

csv_reader::csv_reader(std::FILE* in, const std::string& name, char delimiter)
    : csv_reader(open_source(in, name, text_encoding::utf8), name,
                 reader_options{input_format::csv, delimiter, 0, {}, false, {}}) {}

void csv_reader::fail(std::uint64_t line, std::uint64_t column, const std::string& message) {
  throw input_error(name_, line, column, message);
}

// Moves the current line to the front and reads more after it, growing the
// buffer when the line fills it. Gives false when nothing more comes.
bool csv_reader::refill() {
  if (eof_) return false;
  if (pos_ == 0 && end_ == capacity_) {
    // Uninitialised: only the bytes read into it take memory.
    auto larger = std::make_unique_for_overwrite<char[]>(capacity_ * 2);
    std::memcpy(larger.get(), buffer_.get(), end_);
    buffer_ = std::move(larger);
    bytes_ = buffer_.get();
    capacity_ *= 2;
  } else {
    std::memmove(buffer_.get(), buffer_.get() + pos_, end_ - pos_);
    end_ -= pos_;
    shifted_ += pos_;
    pos_ = 0;
  }
  const std::size_t n = in_->read(buffer_.get() + end_, capacity_ - end_);
  end_ += n;
  if (n == 0) eof_ = true;
  return n != 0;
}

// Drops a byte order mark, which spreadsheets often put first and which is no
// data.
void csv_reader::start() {
  started_ = true;
  while (end_ < 3 && refill()) {
  }
  if (end_ - pos_ >= 3 && std::memcmp(bytes_ + pos_, "\xEF\xBB\xBF", 3) == 0) pos_ += 3;
}

// Decides the line end at the first CR or LF of the input, `at` bytes into
// the current line: an LF, or a CR with an LF in the window after it, makes
// it LF (CR LF included); a CR with none makes it CR.
void csv_reader::decide_line_end(std::size_t at) {
  line_end_known_ = true;
  if (bytes_[pos_ + at] == '\n') return;
  const std::uint64_t cr = shifted_ + pos_ + at;  // in the input
  const std::uint64_t window_end = cr < line_end_window ? line_end_window : cr + line_end_window;
  // Offsets from the CR, which a refill may move.
  const auto wanted = static_cast<std::size_t>(window_end - cr);
  while (end_ - pos_ - at < wanted && refill()) {
  }
  const std::size_t n = std::min(end_ - pos_ - at, wanted);
  if (std::memchr(bytes_ + pos_ + at, '\n', n) == nullptr) line_end_ = '\r';
}

// Checks the bytes [from, to) of the current line (offsets from pos_): UTF-8
// without NUL bytes. A sequence that `to` cuts short is left for the next
// call unless the line ends there. Gives where checking stopped.
std::size_t csv_reader::check_bytes(std::size_t from, std::size_t to, bool line_ends,
                                    std::uint64_t line) {
  const char* const p = bytes_ + pos_;
  std::size_t i = from;
  for (;;) {
    i += printable_prefix(p + i, to - i);
    if (i == to) return i;
    // Counted again when a cut-short sequence is checked again: the count
    // only ever errs high, which costs a field a look of its own.
    ++unprintable_;
    const auto c = static_cast<unsigned char>(p[i]);
    if (c == '\0') fail(line, i + 1, "NUL byte");
    if (c < 0x80) {  // a control byte or DEL: valid text
      ++i;
      continue;
    }
    const std::size_t len = utf8_sequence(reinterpret_cast<const unsigned char*>(p + i), to - i);
    if (len == cut_short && !line_ends) return i;
    if (len == 0 || len == cut_short) fail(line, i + 1, invalid_utf8(p + i, to - i));
    i += len;
  }
}

// Whether the line at pos_, which starts a record when `record_start`, is
// one to skip: by its number, or as a comment.
bool csv_reader::skip_line(bool record_start, std::uint64_t number) {
  if (!record_start) return false;
  if (opts_.skip >= number) return true;
  if (opts_.comment.empty()) return false;
  while (end_ - pos_ < opts_.comment.size() && refill()) {
  }
  return std::string_view(bytes_ + pos_, end_ - pos_).starts_with(opts_.comment);
}

// Where the current line ends, looking from `from` bytes into it; nullptr
// when the bytes read hold no line end yet. Decides the line end at the
// first CR or LF of the input.
const char* csv_reader::find_line_end(std::size_t from) {
  for (;;) {
    const char* const line = bytes_ + pos_;
    const std::size_t size = end_ - pos_;
    if (line_end_known_) {
      return static_cast<const char*>(std::memchr(line + from, line_end_, size - from));
    }
    const char* const e = line + size;
    const char* const q =
        std::find_if(line + from, e, [](char c) { return c == '\n' || c == '\r'; });
    if (q == e) return nullptr;
    // The look past a CR may read more; offsets from pos_ stay valid.
    decide_line_end(static_cast<std::size_t>(q - line));
  }
}

// Makes the line at pos_ whole in the buffer and sets its bounds, checking
// its bytes as they are read, so that a fault is reported however long the
// line would go on. A line that starts a record may be one to skip (by
// number, or a comment): its bytes are not checked, and are dropped as they
// are read. Gives false at the end of the input.
bool csv_reader::load_line(bool record_start) {
  const std::uint64_t number = line_ + 1;
  unprintable_ = 0;
  skipped_ = skip_line(record_start, number);
  std::size_t searched = 0;  // offsets from pos_: looked for the line end
  std::size_t checked = 0;   // and checked, up to here
  bool dropped = false;
  for (;;) {
    const char* const found = find_line_end(searched);
    if (found != nullptr) {
      const auto stop = static_cast<std::size_t>(found - (bytes_ + pos_));
      if (!skipped_) check_bytes(checked, stop + 1, true, number);
      content_end_ = pos_ + stop;
      line_stop_ = content_end_ + 1;
      break;
    }
    searched = end_ - pos_;
    if (!skipped_) {
      checked = check_bytes(checked, searched, false, number);
    } else {
      dropped = dropped || searched != 0;
      pos_ = end_;
      searched = checked = 0;
    }
    if (!refill()) {
      if (pos_ == end_ && !dropped) return false;
      if (!skipped_) check_bytes(checked, end_ - pos_, true, number);
      line_stop_ = content_end_ = end_;  // the last line has no line end
      break;
    }
  }
  if (line_end_ == '\n' && content_end_ > pos_ && bytes_[content_end_ - 1] == '\r') {
    --content_end_;
  }
  line_ = number;
  return true;
}

void csv_reader::next_line() { pos_ = line_stop_; }

// Fields split at every delimiter, without quoting: the line is copied
// once, and each delimiter becomes the NUL that ends a field.
void csv_reader::split_plain(csv_record& record, char delimiter) {
  const std::size_t base = record.data.size();
  // Room for the NUL too: growing for it alone would copy a long line again.
  record.data.reserve(base + content_end_ - pos_ + 1);
  record.data.append(bytes_ + pos_, content_end_ - pos_);
  record.data.push_back('\0');
  char* const begin = record.data.data();
  char* p = begin + base;
  char* const e = begin + record.data.size() - 1;
  record.starts.push_back(base);
  for (;;) {
    p = static_cast<char*>(std::memchr(p, delimiter, static_cast<std::size_t>(e - p)));
    if (p == nullptr) return;
    if (record.size() == field_limit_) {
      // The fields past the limit are only counted; the last one kept ends here.
      record.extra = static_cast<std::uint64_t>(std::count(p, e, delimiter));
      record.data.resize(static_cast<std::size_t>(p - begin) + 1);
      record.data.back() = '\0';
      return;
    }
    *p++ = '\0';
    record.starts.push_back(static_cast<std::size_t>(p - begin));
  }
}

// Fields separated by runs of blanks and tabs; those at either end separate
// nothing.
void csv_reader::split_blanks(csv_record& record) {
  if (fits_columns(std::string_view(bytes_ + pos_, content_end_ - pos_), opts_.spans)) {
    split_spans(record);
    return;
  }
  const char* p = bytes_ + pos_;
  const char* const e = bytes_ + content_end_;
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

// Fields at the spans of aligned text; the last, or the one at the field
// limit, takes the rest of the line.
void csv_reader::split_spans(csv_record& record) {
  const std::string_view line(bytes_ + pos_, content_end_ - pos_);
  // Past the end of a line the fields are empty, and a row ends at its last
  // field that is not: they are left out. The header has a title for every
  // span, an empty one where it has none.
  const bool header = !split_header_;
  split_header_ = true;
  for (std::size_t i = 0; i < opts_.spans.size() && (header || opts_.spans[i].begin < line.size());
       ++i) {
    text_span s = opts_.spans[i];
    const bool last = i + 1 == opts_.spans.size() || i + 1 == field_limit_;
    if (last) s.end = std::max(s.end, line.size());
    record.starts.push_back(record.data.size());
    record.data.append(trimmed(line, s));
    record.data.push_back('\0');
    if (last) return;
  }
}

// Where the blanks that start at p (in the buffer) end, within the line; a
// tab that delimits is no blank.
std::size_t csv_reader::skip_blanks(std::size_t p) const {
  while (p < content_end_ && (bytes_[p] == ' ' || (bytes_[p] == '\t' && opts_.delimiter != '\t'))) {
    ++p;
  }
  return p;
}

// Drops the blanks at the start of each field, moving the fields down.
void csv_reader::trim_fields(csv_record& record) const {
  const char delimiter = opts_.format == input_format::tsv ? '\t' : opts_.delimiter;
  std::size_t to = 0;
  const std::size_t n = record.size();
  for (std::size_t i = 0; i < n; ++i) {
    std::size_t from = record.starts[i];
    const std::size_t end = (i + 1 < n ? record.starts[i + 1] : record.data.size());
    while (from + 1 < end &&
           (record.data[from] == ' ' || (record.data[from] == '\t' && delimiter != '\t'))) {
      ++from;
    }
    record.starts[i] = to;
    std::memmove(record.data.data() + to, record.data.data() + from, end - from);
    to += end - from;
  }
  record.data.resize(to);
}

// A quoted field whose opening quote stands at `at` in the current line;
// it may run over several lines. Gives where the field ends in the line it
// ends on.
std::size_t csv_reader::take_quoted(csv_record& record, std::size_t at) {
  const std::uint64_t quote_line = line_;
  const std::uint64_t quote_column = at - pos_ + 1;
  std::size_t p = at + 1;
  for (;;) {
    const char* from = bytes_ + p;
    const auto* quote = static_cast<const char*>(std::memchr(from, '"', content_end_ - p));
    if (quote == nullptr) {
      // The field goes on after the line end, which belongs to it.
      record.data.append(from, static_cast<std::size_t>(bytes_ + line_stop_ - from));
      next_line();
      if (!load_line(false)) fail(quote_line, quote_column, "quoted field is not closed");
      p = pos_;
      continue;
    }
    record.data.append(from, static_cast<std::size_t>(quote - from));
    p = static_cast<std::size_t>(quote - bytes_) + 1;
    if (p < content_end_ && bytes_[p] == '"') {  // a doubled quote stands for one
      record.data.push_back('"');
      ++p;
      continue;
    }
    if (p < content_end_ && bytes_[p] != opts_.delimiter) {
      // A field that began lines before most likely lacks its closing quote
      // there, and the quote here opened another.
      if (line_ != quote_line) {
        fail(quote_line, quote_column,
             "quoted field is not closed (its quote pairs with one on line " +
                 std::to_string(line_) + ")");
      }
      fail(line_, p - pos_ + 1, "unexpected character after the closing quote of a quoted field");
    }
    return p;
  }
}

// CSV: a field that starts with a quote is quoted; a quote inside an
// unquoted field is taken as it is.
void csv_reader::split_csv(csv_record& record) {
  const char delimiter = opts_.delimiter;
  if (std::memchr(bytes_ + pos_, '"', content_end_ - pos_) == nullptr) {
    split_plain(record, delimiter);  // no quoted field
    // The line's only unprintable bytes are its line end; a delimiter that
    // is one was counted too.
    record.printable = unprintable_ == line_stop_ - content_end_;
    if (opts_.trim) trim_fields(record);
    return;
  }
  std::size_t p = pos_;
  for (;;) {
    const std::size_t start = record.data.size();
    const bool kept = record.size() != field_limit_ || field_limit_ == 0;
    if (kept) {
      record.starts.push_back(start);
    } else {
      ++record.extra;
    }
    if (opts_.trim) p = skip_blanks(p);
    if (p < content_end_ && bytes_[p] == '"') {
      p = take_quoted(record, p);
    } else {
      const char* f = bytes_ + p;
      const char* const e = bytes_ + content_end_;
      const char* q = f;
      while (q != e && *q != delimiter) ++q;
      record.data.append(f, q);
      p = static_cast<std::size_t>(q - bytes_);
    }
    if (kept) {
      record.data.push_back('\0');
    } else {
      record.data.resize(start);
    }
    if (p == content_end_) return;
    ++p;  // the delimiter
  }
}

// Takes the line at pos_ as a record at once when it is whole in the buffer
// and holds printable ASCII only (its delimiters aside), no quote and no
// more fields than the limit, and is not one to skip: most lines of most
// files. Gives false, with nothing taken, for any other line, which
// load_line and the splitters then read as usual.
bool csv_reader::take_plain_line(csv_record& record) {
  if (opts_.format == input_format::whitespace || !line_end_known_ || line_end_ != '\n' ||
      opts_.skip > line_) {
    return false;
  }
  const char* const line = bytes_ + pos_;
  const std::size_t size = end_ - pos_;
  if (!opts_.comment.empty() &&
      (size < opts_.comment.size() || std::string_view(line, size).starts_with(opts_.comment))) {
    return false;
  }
  const bool tsv = opts_.format == input_format::tsv;
  record.starts.push_back(0);
  const std::size_t stop =
      scan_plain_line(line, size, tsv ? '\t' : opts_.delimiter, !tsv, record.starts);
  std::size_t next = stop + 1;  // where the next line begins
  if (stop < size && line[stop] == '\r') ++next;
  // An empty line, a line cut short by the buffer's end, a fault, a
  // quote, other bytes or too many fields: the slow path's.
  if (stop == 0 || next > size || line[next - 1] != '\n' ||
      (field_limit_ != 0 && record.starts.size() > field_limit_)) {
    record.starts.clear();
    return false;
  }
  record.data.reserve(stop + 1);
  record.data.append(line, stop);
  record.data.push_back('\0');
  for (std::size_t k = 1; k < record.starts.size(); ++k) record.data[record.starts[k] - 1] = '\0';
  record.line = ++line_;
  record.printable = true;
  pos_ += next;
  if (opts_.trim) trim_fields(record);
  return true;
}

bool csv_reader::next(csv_record& record) {
  record.clear();
  if (!started_) start();
  for (;;) {
    if (take_plain_line(record)) return true;
    if (!load_line(true)) return false;
    // A line with no bytes holds no record.
    if (skipped_ || content_end_ == pos_) {
      next_line();
      continue;
    }
    record.line = line_;
    switch (opts_.format) {
      case input_format::csv:
        split_csv(record);
        break;
      case input_format::tsv:
        split_plain(record, '\t');
        if (opts_.trim) trim_fields(record);
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
