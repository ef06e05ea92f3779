// Printing: the measuring pass that lays out the columns, the justified
// placement of one field, the rendering of cells and sums, and the five
// sections of a printed table.
#include <algorithm>
#include <bit>
#include <charconv>
#include <cstdlib>
#include <cstring>

#include "tabulix_internal.h"

namespace {

// ---- stream access ----------------------------------------------------------
// A print locks the stream once and then writes with the calls that skip the
// per-call lock where the C library offers them, so that a whole table also
// appears in one piece when other threads write to the same stream.

#if defined(_WIN32)
void lock_stream(FILE* stream) noexcept { _lock_file(stream); }
void unlock_stream(FILE* stream) noexcept { _unlock_file(stream); }
size_t write_stream(const char* bytes, size_t n, FILE* stream) noexcept {
  return _fwrite_nolock(bytes, 1, n, stream);
}
void flush_stream(FILE* stream) noexcept { _fflush_nolock(stream); }
#else
void lock_stream(FILE* stream) noexcept { flockfile(stream); }
void unlock_stream(FILE* stream) noexcept { funlockfile(stream); }
#if defined(__GLIBC__)
size_t write_stream(const char* bytes, size_t n, FILE* stream) noexcept {
  return fwrite_unlocked(bytes, 1, n, stream);
}
void flush_stream(FILE* stream) noexcept { fflush_unlocked(stream); }
#else
size_t write_stream(const char* bytes, size_t n, FILE* stream) noexcept {
  return std::fwrite(bytes, 1, n, stream);
}
void flush_stream(FILE* stream) noexcept { std::fflush(stream); }
#endif
#endif

// Copies n bytes. Most pieces of a line are a few bytes long; for those,
// fixed-size moves of the first and the last bytes (overlapping when n is
// not a power of two) beat a call of memcpy. Nothing outside the n bytes is
// read or written.
inline void copy_bytes(char* to, const char* from, size_t n) noexcept {
  if (n <= 16) {
    if (n >= 8) {
      std::memcpy(to, from, 8);
      std::memcpy(to + n - 8, from + n - 8, 8);
    } else if (n >= 4) {
      std::memcpy(to, from, 4);
      std::memcpy(to + n - 4, from + n - 4, 4);
    } else if (n != 0) {
      to[0] = from[0];
      to[n / 2] = from[n / 2];
      to[n - 1] = from[n - 1];
    }
  } else if (n <= 32) {
    std::memcpy(to, from, 16);
    std::memcpy(to + n - 16, from + n - 16, 16);
  } else {
    std::memcpy(to, from, n);
  }
}

// Output staged in a fixed buffer, so that the many small pieces of a line
// cost a copy each instead of a stdio call. It lives on the caller's stack:
// the output pass allocates nothing.
class sink {
 public:
  // Reserving this much or less always succeeds.
  static constexpr size_t max_reserve = 64;
  // Bytes staged before they go to the stream.
  static constexpr size_t capacity = 8192;

  explicit sink(FILE* stream) noexcept : stream_(stream) {}
  sink(const sink&) = delete;
  sink& operator=(const sink&) = delete;

  void put(const char* bytes, size_t n) noexcept {
    if (n <= sizeof(buffer_) - used_) {
      copy_bytes(buffer_ + used_, bytes, n);
      used_ += n;
    } else {
      put_long(bytes, n);
    }
  }

  void put(char ch) noexcept {
    if (used_ == sizeof(buffer_)) flush();
    buffer_[used_++] = ch;
  }

  // Room for n bytes to be written in place, or null when the buffer is
  // smaller than that; advance then keeps the first of them.
  char* reserve(size_t n) noexcept {
    if (n > sizeof(buffer_) - used_) {
      flush();
      if (n > sizeof(buffer_)) return nullptr;
    }
    return buffer_ + used_;
  }
  void advance(size_t n) noexcept { used_ += n; }

  // Hands the staged bytes to the stream: at the end of a print, and before
  // a title callback, which may write to the same stream itself.
  void flush() noexcept {
    if (used_ == 0) return;
    if (write_stream(buffer_, used_, stream_) != used_) failed_ = true;
    used_ = 0;
  }

  bool failed() const noexcept { return failed_; }

 private:
  void put_long(const char* bytes, size_t n) noexcept {
    flush();
    if (n >= sizeof(buffer_)) {
      if (write_stream(bytes, n, stream_) != n) failed_ = true;
    } else {
      std::memcpy(buffer_, bytes, n);
      used_ = n;
    }
  }

  FILE* stream_;
  size_t used_ = 0;
  bool failed_ = false;
  char buffer_[capacity];
};

// ---- fills and justified fields --------------------------------------------

// The only source of blanks and rule dashes: runs are copied from these in
// chunks, never built in memory.
constexpr size_t fill_chunk = 32;
static_assert(fill_chunk <= sink::max_reserve);
constexpr char spaces[] = "                                ";
constexpr char dashes[] = "--------------------------------";
static_assert(sizeof(spaces) == fill_chunk + 1 && sizeof(dashes) == fill_chunk + 1);

// Writes n fill characters: whole chunks while more than one chunk remains,
// then the last 1 to 32 (none for n = 0) from the end of the string. The
// last piece copies a whole chunk and keeps n of it, which is cheaper than
// a copy of variable length.
uint64_t fill_whole_chunks(sink& out, const char* run, uint64_t n) noexcept {
  for (; n > fill_chunk; n -= fill_chunk) out.put(run, fill_chunk);
  return n;
}

inline void fill(sink& out, const char* run, uint64_t n) noexcept {
  if (n > fill_chunk) n = fill_whole_chunks(out, run, n);
  std::memcpy(out.reserve(fill_chunk), run, fill_chunk);
  out.advance(static_cast<size_t>(n));
}

// Writes n fill characters at out and gives their end. Whole chunks are
// copied, so up to 31 bytes after the run may be overwritten.
char* fill_at(char* out, const char* run, uint64_t n) noexcept {
  for (uint64_t i = 0; i < n; i += fill_chunk) std::memcpy(out + i, run, fill_chunk);
  return out + n;
}

// Writes into room already reserved in a sink, with no checks: for a field
// whose size is known to fit. Fills may overwrite up to 31 bytes after the
// field, so the room must exceed the field by fill_chunk.
class span_writer {
 public:
  explicit span_writer(char* at) noexcept : at_(at) {}
  void put(const char* bytes, size_t n) noexcept {
    copy_bytes(at_, bytes, n);
    at_ += n;
  }
  char* at() const noexcept { return at_; }
  friend void fill(span_writer& out, const char* run, uint64_t n) noexcept {
    out.at_ = fill_at(out.at_, run, n);
  }

 private:
  char* at_;
};

template <typename Writer>
void pad(Writer& out, uint64_t n) noexcept {
  fill(out, spaces, n);
}

// Widths are summed in 64 bits, so no combination of halves can wrap.
uint64_t width_of(const column& col) noexcept { return uint64_t{col.width_lead} + col.width_tail; }

// Where the alignment character of a text is: the first or the last
// occurrence, by the kind; null when the text lacks it. Measuring and
// printing both use this, so they agree on the alignment point.
const char* find_justify_char(int32_t kind, const char* text, size_t len,
                              unsigned char justify_char) noexcept {
  const void* hit = kind == TBLX_JUST_CHAR_FIRST ? std::memchr(text, justify_char, len)
                                                 : tblx_memrchr__(text, justify_char, len);
  return static_cast<const char*>(hit);
}

// Places a text of length len in the width pair (lead, tail). Blanks after the
// text are written only with pad_trailing; a text wider than its share is
// written whole with no blanks on that side.
template <typename Writer>
void justify(Writer& out, int32_t kind, const char* text, size_t len, uint32_t lead, uint32_t tail,
             unsigned char justify_char, bool pad_trailing) noexcept {
  const uint64_t width = uint64_t{lead} + tail;
  switch (kind) {
    case TBLX_JUST_LEFT:
      out.put(text, len);
      if (pad_trailing && width > len) pad(out, width - len);
      return;
    case TBLX_JUST_RIGHT:
      if (width > len) pad(out, width - len);
      out.put(text, len);
      return;
    case TBLX_JUST_CENTER: {
      if (width <= len) {
        out.put(text, len);
        return;
      }
      // An odd blank goes after the text.
      const uint64_t surplus = width - len;
      const uint64_t before = surplus / 2;
      pad(out, before);
      out.put(text, len);
      if (pad_trailing) pad(out, surplus - before);
      return;
    }
    case TBLX_JUST_CHAR_FIRST:
    case TBLX_JUST_CHAR_LAST: {
      if (const char* at = find_justify_char(kind, text, len, justify_char)) {
        const uint64_t lead_share = static_cast<uint64_t>(at - text) + 1;
        const uint64_t tail_share = len - lead_share;
        if (lead_share < lead) pad(out, lead - lead_share);
        out.put(text, len);
        if (pad_trailing && tail > tail_share) pad(out, tail - tail_share);
      } else {
        // Placed as if the character stood just past the text's end: the
        // text ends one place before the alignment position. A text too
        // long for that (one the layout did not split, such as a summary
        // filler in a column whose lead is one place) ends its blanks at the
        // column's edge instead of one place beyond it.
        if (lead != 0 && len < lead - 1u) pad(out, lead - 1u - len);
        out.put(text, len);
        if (!pad_trailing) return;
        if (lead == 0 || len < lead) {
          pad(out, uint64_t{tail} + 1);
        } else if (width > len) {
          pad(out, width - len);
        }
      }
      return;
    }
    default:
      // The setters admit only kinds 1 to 5.
      std::abort();
  }
}

// ---- numbers ------------------------------------------------------------------

constexpr uint64_t powers_of_10[20] = {1u,
                                       10u,
                                       100u,
                                       1000u,
                                       10000u,
                                       100000u,
                                       1000000u,
                                       10000000u,
                                       100000000u,
                                       1000000000u,
                                       10000000000u,
                                       100000000000u,
                                       1000000000000u,
                                       10000000000000u,
                                       100000000000000u,
                                       1000000000000000u,
                                       10000000000000000u,
                                       100000000000000000u,
                                       1000000000000000000u,
                                       10000000000000000000u};

// Digits of a value counted without formatting it: log10 estimated from the
// bit width (1233 / 4096 ~ log10(2)), then corrected by one comparison.
// Setting the lowest bit never crosses a power of ten and makes 0 count as 1.
uint64_t decimal_digits(uint64_t value) noexcept {
  value |= 1u;
  const unsigned estimate = (static_cast<unsigned>(std::bit_width(value)) * 1233u) >> 12;
  return estimate + (value >= powers_of_10[estimate] ? 1u : 0u);
}

uint64_t hex_digits(uint64_t value) noexcept {
  return (static_cast<uint64_t>(std::bit_width(value | 1u)) + 3u) / 4u;
}

// Characters of a cell's or sum's number, with neither fill nor suffix.
uint64_t number_length(int32_t type, uint64_t value) noexcept {
  switch (type) {
    case TBLX_TYPE_INT: {
      const auto v = static_cast<int64_t>(value);
      return v < 0 ? 1u + decimal_digits(0u - value) : decimal_digits(value);
    }
    case TBLX_TYPE_HEX:
      return 2u + hex_digits(value);  // "0x" and the digits
    default:
      return decimal_digits(value);
  }
}

// Room for a number while it is written: a sign, up to 20 decimal digits
// (or 16 hex digits), and what write_decimal_digits may overwrite past them.
constexpr size_t max_digits = 24;
static_assert(max_digits <= sink::max_reserve);

// Numbers are written eight characters at a time. A character word holds
// eight characters, the first one in its lowest byte; dropping the first k
// of them is a shift right by 8k bits.

// Stores a character word at out: eight bytes, the first character first.
void store_word(char* out, uint64_t word) noexcept {
  if constexpr (std::endian::native == std::endian::big) {
    uint64_t swapped = 0;
    for (int i = 0; i < 8; ++i, word >>= 8) swapped = (swapped << 8) | (word & 0xffu);
    word = swapped;
  }
  std::memcpy(out, &word, 8);
}

// The eight decimal digits of a value below 10^8, leading zeros included.
// The value is split into two halves of four digits, each half into two
// pairs, each pair into two digits, all lanes of one 64-bit word at once;
// the multiply-and-shift steps divide exactly by 100 below 43699 and by 10
// below 179.
uint64_t eight_decimal_digits(uint32_t value) noexcept {
  const uint64_t halves = (value / 10000u) | (uint64_t{value % 10000u} << 32);
  const uint64_t hundreds = ((halves * 10486u) >> 20) & 0x0000007f0000007fu;
  const uint64_t pairs = hundreds | ((halves - hundreds * 100u) << 16);
  const uint64_t tens = ((pairs * 103u) >> 10) & 0x000f000f000f000fu;
  const uint64_t digits = tens | ((pairs - tens * 10u) << 8);
  return digits + 0x3030303030303030u;  // '0' in every byte
}

// The eight hex digits of a 32-bit value, leading zeros included: each
// nibble is moved into its own byte, most significant first, and turned
// into '0' to '9' or a letter.
uint64_t eight_hex_digits(uint32_t value, bool upper) noexcept {
  uint64_t x = (value >> 16) | (uint64_t{value & 0xffffu} << 32);
  x = ((x & 0x0000ff000000ff00u) >> 8) | ((x & 0x000000ff000000ffu) << 16);
  x = ((x & 0x00f000f000f000f0u) >> 4) | ((x & 0x000f000f000f000fu) << 8);
  const uint64_t letters = ((x + 0x0606060606060606u) >> 4) & 0x0101010101010101u;
  const uint64_t letter_offset = upper ? 'A' - '0' - 10 : 'a' - '0' - 10;
  return x + 0x3030303030303030u + letters * letter_offset;
}

// Writes the n decimal digits of value (n from decimal_digits) at out, and
// may write junk into the next 8 bytes after them.
inline void write_decimal_digits(char* out, uint64_t value, size_t n) noexcept {
  constexpr uint64_t ten_to_8 = 100000000u;
  if (n <= 8) {
    store_word(out, eight_decimal_digits(static_cast<uint32_t>(value)) >> (8 * (8 - n)));
  } else if (n <= 16) {
    const auto high = static_cast<uint32_t>(value / ten_to_8);
    store_word(out, eight_decimal_digits(high) >> (8 * (16 - n)));
    store_word(out + n - 8, eight_decimal_digits(static_cast<uint32_t>(value % ten_to_8)));
  } else {
    const uint64_t high = value / ten_to_8;
    store_word(out, eight_decimal_digits(static_cast<uint32_t>(high / ten_to_8)) >> (8 * (24 - n)));
    store_word(out + n - 16, eight_decimal_digits(static_cast<uint32_t>(high % ten_to_8)));
    store_word(out + n - 8, eight_decimal_digits(static_cast<uint32_t>(value % ten_to_8)));
  }
}

// Writes the n hex digits of value (n from hex_digits) at out, and may
// write junk into the next 8 bytes after them.
inline void write_hex_digits(char* out, uint64_t value, size_t n, bool upper) noexcept {
  if (n <= 8) {
    store_word(out, eight_hex_digits(static_cast<uint32_t>(value), upper) >> (8 * (8 - n)));
  } else {
    store_word(out, eight_hex_digits(static_cast<uint32_t>(value >> 32), upper) >> (8 * (16 - n)));
    store_word(out + n - 8, eight_hex_digits(static_cast<uint32_t>(value), upper));
  }
}

// Appends to a buffer of a known size and never past its end. Whatever does
// not fit is left out; with the buffer sized by the measuring pass that
// happens only for a text that pass did not see.
class bounded_text {
 public:
  bounded_text(char* buffer, size_t size) noexcept
      : buffer_(buffer), room_(buffer == nullptr || size == 0 ? 0 : size - 1) {}

  void append(const char* bytes, size_t n) noexcept {
    n = std::min(n, room_ - len_);
    if (n == 0) return;
    std::memcpy(buffer_ + len_, bytes, n);
    len_ += n;
  }

  void repeat(char ch, uint64_t n) noexcept {
    const auto count = static_cast<size_t>(std::min<uint64_t>(n, room_ - len_));
    if (count == 0) return;
    std::memset(buffer_ + len_, ch, count);
    len_ += count;
  }

  // NUL-terminates the text and gives its length.
  size_t finish() noexcept {
    if (buffer_ != nullptr && room_ != 0) buffer_[len_] = '\0';
    return len_;
  }

 private:
  char* buffer_;
  size_t room_;  // bytes available for text, the NUL excluded
  size_t len_ = 0;
};

// ---- rendering --------------------------------------------------------------

// What a print reads from the table on every field, looked up once.
struct print_context {
  const tblx_table* table;
  bool raw;               // fields as they are, unfilled
  bool fancy;             // separators and rules
  const char* separator;  // between two fields of a line
  size_t separator_len;
  char short_separator[8];  // the separator when shorter, for fixed-size copies
  const char* filler;       // summary filler of this style, one character
  char* scratch;
  size_t scratch_size;
};

constexpr char blank_separator[] = " ";

print_context make_context(const tblx_table& table) noexcept {
  print_context ctx{};
  ctx.table = &table;
  ctx.raw = table.style == TBLX_STYLE_RAW;
  ctx.fancy = table.fancy != 0;
  ctx.separator = ctx.fancy ? table.column_separator : blank_separator;
  ctx.separator_len = std::strlen(ctx.separator);
  if (ctx.separator_len < sizeof ctx.short_separator) {
    std::memcpy(ctx.short_separator, ctx.separator, ctx.separator_len);
  }
  switch (table.style) {
    case TBLX_STYLE_SIMPLE:
      ctx.filler = table.sum_filler[FILLER_SIMPLE];
      break;
    case TBLX_STYLE_RAW:
      ctx.filler = table.sum_filler[FILLER_RAW];
      break;
    case TBLX_STYLE_FANCY:
    case TBLX_STYLE_FANCYW:
      ctx.filler = table.sum_filler[FILLER_FANCY];
      break;
    default:
      // The setters admit only styles 0 to 3; abort before anything is written.
      std::abort();
  }
  ctx.scratch = table.scratch;
  ctx.scratch_size = table.scratch_size;
  return ctx;
}

// What writing a field of a column needs that does not change from row to
// row, worked out once per print instead of once per field.
struct column_plan {
  const column* col;
  uint64_t width;         // the column width W
  uint64_t number_field;  // room for a decimal before its suffix: W - suffix_len, or 0
  uint64_t hex_digits;    // digit width of zero-filled hex numbers, else 0
  int32_t number_fill;    // TBLX_JUST_LEFT or _RIGHT: a decimal is filled out to the width
  bool has_next;          // not the last column
};

column_plan plan_column(const print_context& ctx, const column& col) noexcept {
  column_plan plan{};
  plan.col = &col;
  plan.width = width_of(col);
  const uint64_t suffix_len = col.suffix_len;
  plan.number_field = plan.width > suffix_len ? plan.width - suffix_len : 0u;
  if (col.type == TBLX_TYPE_HEX && col.leading_zeros && !ctx.raw) {
    plan.hex_digits = plan.width > 2u + suffix_len ? plan.width - 2u - suffix_len : 0u;
  }
  if (!ctx.raw &&
      (col.cell_justification == TBLX_JUST_LEFT || col.cell_justification == TBLX_JUST_RIGHT)) {
    plan.number_fill = col.cell_justification;
  }
  plan.has_next = col.next != nullptr;
  return plan;
}

// How the text of a number is made up: fill before the number (blanks, or
// zeros after the "0x" of a hex number), the number with its sign or "0x",
// blanks after it, then the column's suffix. Left- and right-justified
// decimals and zero-filled hex are filled out to the column width, the
// suffix ending at its right edge.
struct number_text {
  uint64_t magnitude;  // the value, made positive for a negative int
  size_t digits;       // digits of the magnitude
  uint64_t before;     // blanks, or zeros of a hex number
  uint64_t after;      // blanks
  uint64_t length;     // all of the text, suffix included
  bool negative;
  bool hex;
  bool upper;  // hex letter case
};

number_text layout_number(const column_plan& plan, uint64_t value) noexcept {
  const column& col = *plan.col;
  number_text t{};
  t.hex = col.type == TBLX_TYPE_HEX;
  t.upper = col.hex_case == TBLX_HEX_UPPER;
  // The sign of random data is unpredictable: computed without branches.
  t.negative = (col.type == TBLX_TYPE_INT) & (value >> 63 != 0);
  t.magnitude = t.negative ? 0u - value : value;
  t.digits = static_cast<size_t>(t.hex ? hex_digits(value) : decimal_digits(t.magnitude));
  const uint64_t n = t.digits + (t.hex ? 2u : t.negative ? 1u : 0u);
  if (t.hex) {
    if (plan.hex_digits > t.digits) t.before = plan.hex_digits - t.digits;
  } else {
    const uint64_t blanks = plan.number_field > n ? plan.number_field - n : 0u;
    if (plan.number_fill == TBLX_JUST_RIGHT) t.before = blanks;
    if (plan.number_fill == TBLX_JUST_LEFT) t.after = blanks;
  }
  t.length = t.before + n + t.after + col.suffix_len;
  return t;
}

// Writes the sign and the digits of a decimal, or the digits of a hex
// number, and gives their count. Up to max_digits bytes at out are used.
inline size_t write_number(char* out, const number_text& t) noexcept {
  if (t.hex) {
    write_hex_digits(out, t.magnitude, t.digits, t.upper);
    return t.digits;
  }
  *out = '-';  // kept only for a negative number
  const size_t sign = t.negative ? 1u : 0u;
  write_decimal_digits(out + sign, t.magnitude, t.digits);
  return t.digits + sign;
}

// Formats a number's text into the scratch buffer, as much of it as fits,
// and gives the length written.
size_t format_number(const print_context& ctx, const column& col, const number_text& t) noexcept {
  bounded_text text(ctx.scratch, ctx.scratch_size);
  char digits[max_digits];
  const size_t n = write_number(digits, t);
  if (t.hex) {
    text.append("0x", 2);  // lower case in both letter cases
    text.repeat('0', t.before);
    text.append(digits, n);
  } else {
    text.repeat(' ', t.before);
    text.append(digits, n);
    text.repeat(' ', t.after);
  }
  text.append(col.suffix, col.suffix_len);
  return text.finish();
}

constexpr char zeros[] = "00000000000000000000000000000000";
static_assert(sizeof(zeros) == fill_chunk + 1);

// Writes a number's text at out and gives its end: the same bytes that
// format_number puts into the scratch buffer. Up to 31 bytes after the
// text may be overwritten, so out needs room for its length and 32 more.
char* write_number_text(char* out, const column& col, const number_text& t) noexcept {
  if (t.hex) {
    std::memcpy(out, "0x", 2);
    out = fill_at(out + 2, zeros, t.before);
  } else {
    out = fill_at(out, spaces, t.before);
  }
  out += write_number(out, t);
  out = fill_at(out, spaces, t.after);
  copy_bytes(out, col.suffix, col.suffix_len);
  return out + col.suffix_len;
}

// Justifies a field's text in its column.
template <typename Writer>
void place_text(Writer& out, const column_plan& plan, const char* text, size_t len,
                bool pad_trailing) noexcept {
  const column& col = *plan.col;
  if (col.cell_justification == TBLX_JUST_LEFT) {
    // The most common case, handled here as justify would.
    out.put(text, len);
    if (pad_trailing) pad(out, plan.width - len);
    return;
  }
  justify(out, col.cell_justification, text, len, col.width_lead, col.width_tail, col.justify_char,
          pad_trailing);
}

// Writes one cell, or with no cell the column's sum, into its column.
void render_field(sink& out, const print_context& ctx, const column_plan& plan,
                  const cell* c) noexcept {
  const column& col = *plan.col;
  const char* text = empty_string;
  size_t len = 0;
  if (col.type == TBLX_TYPE_STRING) {
    if (c != nullptr) {
      text = c->str.text;
      len = c->str.len;
    }
  } else if (c != nullptr || col.summarize) {
    const number_text number = layout_number(plan, c != nullptr ? c->value : col.sum);
    // A text that needs no justification goes straight to the output. It
    // is still bounded by the scratch buffer, as every formatted text is.
    if ((ctx.raw || number.length >= plan.width) && ctx.scratch != nullptr &&
        number.length < ctx.scratch_size) {
      if (char* at = out.reserve(static_cast<size_t>(number.length) + fill_chunk)) {
        out.advance(static_cast<size_t>(write_number_text(at, col, number) - at));
        return;
      }
    }
    len = format_number(ctx, col, number);
    if (ctx.scratch != nullptr) text = ctx.scratch;
  }
  if (ctx.raw || len >= plan.width) {
    out.put(text, len);
    return;
  }
  // No fill ends a line: the last column is never padded, nor in the
  // borderless styles the last cell of a short row.
  const bool pad_trailing = plan.has_next && (c == nullptr || ctx.fancy || c->next != nullptr);
  // A justified text and its blanks take at most len + W + 1 bytes: written
  // in place when that fits the buffer, with room for whole-chunk fills.
  const uint64_t room = uint64_t{len} + plan.width + 1 + fill_chunk;
  if (room <= sink::capacity) {
    char* at = out.reserve(static_cast<size_t>(room));
    span_writer field(at);
    place_text(field, plan, text, len, pad_trailing);
    out.advance(static_cast<size_t>(field.at() - at));
  } else {
    place_text(out, plan, text, len, pad_trailing);
  }
}

// Length of a cell's or sum's text as render_field would write it unfilled,
// or -1 when it does not fit a signed 32-bit count (such a text takes no part
// in the widths).
int32_t measured_length(const column& col, const cell* c) noexcept {
  uint64_t len = 0;
  if (col.type == TBLX_TYPE_STRING) {
    if (c != nullptr) len = c->str.len;
  } else if (c != nullptr || col.summarize) {
    len = number_length(col.type, c != nullptr ? c->value : col.sum) + col.suffix_len;
  }
  return len > INT32_MAX ? -1 : static_cast<int32_t>(len);
}

// ---- the measuring pass -------------------------------------------------------

void raise_widths(column& col, uint64_t lead, uint64_t tail) noexcept {
  col.width_lead = std::max(col.width_lead, static_cast<uint32_t>(lead));
  col.width_tail = std::max(col.width_tail, static_cast<uint32_t>(tail));
}

// Raises the pair with a text split at its alignment character (kinds 4
// and 5) or taken whole as lead. Lengths here are below 2^31, so both halves
// fit the 32-bit fields.
void measure_split(column& col, int32_t kind, const char* text, size_t len) noexcept {
  if (kind != TBLX_JUST_CHAR_FIRST && kind != TBLX_JUST_CHAR_LAST) {
    raise_widths(col, len, 0);
  } else if (const char* at = find_justify_char(kind, text, len, col.justify_char)) {
    const auto position = static_cast<uint64_t>(at - text);
    raise_widths(col, position + 1, len - position - 1);
  } else {
    raise_widths(col, uint64_t{len} + 1, 0);
  }
}

bool aligns_on_char(int32_t kind) noexcept {
  return kind == TBLX_JUST_CHAR_FIRST || kind == TBLX_JUST_CHAR_LAST;
}

// Where the column's alignment character stands in a number's unfilled text
// (sign or "0x" and digits, then the suffix), found as the print finds it;
// -1 when the text lacks it.
int64_t justify_char_in_number(const column& col, uint64_t value) noexcept {
  char digits[max_digits];
  size_t n = 0;
  if (col.type == TBLX_TYPE_HEX) {
    const bool upper = col.hex_case == TBLX_HEX_UPPER;
    digits[0] = '0';
    digits[1] = 'x';
    n = static_cast<size_t>(std::to_chars(digits + 2, digits + max_digits, value, 16).ptr - digits);
    for (size_t i = 2; upper && i < n; ++i) {
      if (digits[i] >= 'a') digits[i] = static_cast<char>(digits[i] - 'a' + 'A');
    }
  } else if (col.type == TBLX_TYPE_INT) {
    n = static_cast<size_t>(
        std::to_chars(digits, digits + max_digits, static_cast<int64_t>(value)).ptr - digits);
  } else {
    n = static_cast<size_t>(std::to_chars(digits, digits + max_digits, value).ptr - digits);
  }
  const int32_t kind = col.cell_justification;
  const char* in_digits = find_justify_char(kind, digits, n, col.justify_char);
  const char* in_suffix = find_justify_char(kind, col.suffix, col.suffix_len, col.justify_char);
  // The first occurrence is in the digits when they have one; the last in
  // the suffix when it has one.
  if (in_digits != nullptr && (kind == TBLX_JUST_CHAR_FIRST || in_suffix == nullptr)) {
    return in_digits - digits;
  }
  if (in_suffix != nullptr) return static_cast<int64_t>(n) + (in_suffix - col.suffix);
  return -1;
}

// Strings are split by the cell justification. The empty summary text of a
// string column still has an alignment point to reserve. A number counts
// whole as lead, unless it holds the alignment character (a digit, a sign,
// or in the suffix, say ".00"): the print aligns it on that character, so
// it is split there to keep its column's lines in line.
void measure_text(column& col, const cell* c) noexcept {
  const int32_t len = measured_length(col, c);
  if (len < 0) return;
  if (col.type == TBLX_TYPE_STRING) {
    measure_split(col, col.cell_justification, c != nullptr ? c->str.text : empty_string,
                  static_cast<size_t>(len));
    return;
  }
  const bool has_number = c != nullptr || col.summarize;
  if (has_number && aligns_on_char(col.cell_justification)) {
    const int64_t at = justify_char_in_number(col, c != nullptr ? c->value : col.sum);
    if (at >= 0) {
      raise_widths(col, static_cast<uint64_t>(at) + 1, static_cast<uint64_t>(len - at - 1));
      return;
    }
  }
  raise_widths(col, static_cast<uint64_t>(len), 0);
}

// What the measuring pass keeps of a column while it walks the rows. The
// length of a number grows with its magnitude, so a number column needs
// only its extreme values, measured once at the end; a text that is not
// split at an alignment character needs only the longest length. Texts
// that are split are measured cell by cell.
struct column_tally {
  enum class method : uint8_t { signed_extremes, unsigned_extreme, longest_text, each_cell };

  column* col;
  method how;
  bool seen;  // a cell was tallied
  uint64_t longest;
  uint64_t max_unsigned;
  int64_t min_signed;
  int64_t max_signed;
};

column_tally start_tally(column& col) noexcept {
  column_tally t{};
  t.col = &col;
  t.min_signed = INT64_MAX;
  t.max_signed = INT64_MIN;
  // With a suffix this long some numbers would be too long to count, and
  // the extremes could be among them.
  const bool short_suffix = col.suffix_len <= INT32_MAX - 24u;
  switch (col.type) {
    case TBLX_TYPE_STRING:
      t.how = aligns_on_char(col.cell_justification) ? column_tally::method::each_cell
                                                     : column_tally::method::longest_text;
      break;
    case TBLX_TYPE_INT:
      t.how =
          short_suffix ? column_tally::method::signed_extremes : column_tally::method::each_cell;
      break;
    default:
      t.how =
          short_suffix ? column_tally::method::unsigned_extreme : column_tally::method::each_cell;
      break;
  }
  // Numbers aligned on a character may be split at it: each one counts.
  if (col.type != TBLX_TYPE_STRING && aligns_on_char(col.cell_justification)) {
    t.how = column_tally::method::each_cell;
  }
  return t;
}

void add_to_tally(column_tally& t, const cell* c) noexcept {
  t.seen = true;
  switch (t.how) {
    case column_tally::method::signed_extremes:
      t.min_signed = std::min(t.min_signed, static_cast<int64_t>(c->value));
      t.max_signed = std::max(t.max_signed, static_cast<int64_t>(c->value));
      break;
    case column_tally::method::unsigned_extreme:
      t.max_unsigned = std::max(t.max_unsigned, c->value);
      break;
    case column_tally::method::longest_text:
      // A text too long for a signed 32-bit count takes no part.
      if (c->str.len <= INT32_MAX) t.longest = std::max<uint64_t>(t.longest, c->str.len);
      break;
    case column_tally::method::each_cell:
      measure_text(*t.col, c);
      break;
  }
}

void finish_tally(const column_tally& t) noexcept {
  if (!t.seen) return;
  cell extreme{};
  switch (t.how) {
    case column_tally::method::signed_extremes:
      extreme.value = static_cast<uint64_t>(t.min_signed);
      measure_text(*t.col, &extreme);
      extreme.value = static_cast<uint64_t>(t.max_signed);
      measure_text(*t.col, &extreme);
      break;
    case column_tally::method::unsigned_extreme:
      extreme.value = t.max_unsigned;
      measure_text(*t.col, &extreme);
      break;
    case column_tally::method::longest_text:
      raise_widths(*t.col, t.longest, 0);
      break;
    case column_tally::method::each_cell:
      break;
  }
}

// Tallies of the first columns live on the stack; further columns, rare in
// practice, are measured cell by cell.
constexpr size_t tallied_columns = 16;

void measure_rows(tblx_table& table) noexcept {
  column_tally tallies[tallied_columns];
  size_t tally_count = 0;
  for (column* col = table.columns; col != nullptr && tally_count < tallied_columns;
       col = col->next) {
    tallies[tally_count++] = start_tally(*col);
  }
  for (const row* r = table.rows; r != nullptr; r = r->next) {
    column* col = table.columns;
    size_t i = 0;
    for (const cell* c = r->cells; c != nullptr && col != nullptr;
         c = c->next, col = col->next, ++i) {
      if (col->summarize) col->sum += c->value;  // wraps modulo 2^64
      if (i < tally_count) {
        add_to_tally(tallies[i], c);
      } else {
        measure_text(*col, c);
      }
    }
  }
  for (size_t i = 0; i < tally_count; ++i) finish_tally(tallies[i]);
}

// A title counts only when aligned on a character; its callback gets the
// width that the cells and the sum produced.
void measure_title(column& col) noexcept {
  if (col.title_justification != TBLX_JUST_CHAR_FIRST &&
      col.title_justification != TBLX_JUST_CHAR_LAST) {
    return;
  }
  const char* title = col.title_func(col.title_arg, static_cast<uint32_t>(width_of(col)));
  if (title == nullptr) title = empty_string;
  const size_t len = std::strlen(title);
  if (len > INT32_MAX) return;
  measure_split(col, col.title_justification, title, len);
}

// The minimum width widens the lead, so the alignment point moves right.
void apply_min_width(column& col) noexcept {
  const uint64_t width = width_of(col);
  if (col.min_width > width) col.width_lead += static_cast<uint32_t>(col.min_width - width);
}

// The scratch buffer holds the widest formatted text and its NUL, with room
// to spare. A size that does not fit size_t (32-bit) cannot be allocated.
tblx_status resize_scratch(tblx_table& table, uint64_t widest) noexcept {
  constexpr uint64_t spare = 5;
  if (widest > SIZE_MAX - spare) return TBLX_ERR_NO_MEMORY;
  const auto size = static_cast<size_t>(widest + spare);
  void* grown = std::realloc(table.scratch, size);
  if (grown == nullptr) return TBLX_ERR_NO_MEMORY;
  table.scratch = static_cast<char*>(grown);
  table.scratch_size = size;
  return TBLX_OK;
}

// Recomputes every column's sum and width pair and sizes the scratch buffer.
tblx_status measure_layout(tblx_table& table) noexcept {
  for (column* col = table.columns; col != nullptr; col = col->next) {
    col->sum = 0;
    col->width_lead = 0;
    col->width_tail = 0;
  }
  measure_rows(table);
  uint64_t widest = 0;
  for (column* col = table.columns; col != nullptr; col = col->next) {
    measure_text(*col, nullptr);
    measure_title(*col);
    apply_min_width(*col);
    widest = std::max(widest, width_of(*col));
  }
  if (tblx_status s = resize_scratch(table, widest); s != TBLX_OK) return s;
  table.layout_stale = 0;
  return TBLX_OK;
}

// ---- sections -----------------------------------------------------------------

void put_separator(sink& out, const print_context& ctx) noexcept {
  if (ctx.separator_len < sizeof ctx.short_separator) {
    std::memcpy(out.reserve(sizeof ctx.short_separator), ctx.short_separator,
                sizeof ctx.short_separator);
    out.advance(ctx.separator_len);
  } else {
    out.put(ctx.separator, ctx.separator_len);
  }
}

// Gets a column's title for the given width. title_ident writes nothing, so
// only a caller's callback needs the staged bytes on the stream before it
// runs: it may write to the same stream.
const char* fetch_title(sink& out, const column& col, uint32_t width) noexcept {
  if (col.title_func != title_ident) out.flush();
  return col.title_func(col.title_arg, width);
}

void print_titles(sink& out, const print_context& ctx) noexcept {
  for (const column* col = ctx.table->columns; col != nullptr; col = col->next) {
    if (col != ctx.table->columns) put_separator(out, ctx);
    if (ctx.raw) {
      // Unfilled; the callback learns the minimum width instead.
      const char* title = fetch_title(out, *col, col->min_width);
      if (title != nullptr) out.put(title, std::strlen(title));
      continue;
    }
    const uint64_t width = width_of(*col);
    const char* title = fetch_title(out, *col, static_cast<uint32_t>(width));
    if (title == nullptr || *title == '\0') {
      pad(out, width);
    } else {
      justify(out, col->title_justification, title, std::strlen(title), col->width_lead,
              col->width_tail, col->justify_char, col->next != nullptr);
    }
  }
  out.put('\n');
}

void print_rule(sink& out, const print_context& ctx) noexcept {
  if (!ctx.fancy) return;
  const char* junction = ctx.table->rule_junction;
  const size_t junction_len = std::strlen(junction);
  for (const column* col = ctx.table->columns; col != nullptr; col = col->next) {
    if (col != ctx.table->columns) out.put(junction, junction_len);
    fill(out, dashes, width_of(*col));
  }
  out.put('\n');
}

// The fancy styles keep the grid of a short row: a separator for every
// missing cell and blanks for every missing field but the last.
void fill_missing_cells(sink& out, const print_context& ctx, const column* col) noexcept {
  for (; col != nullptr; col = col->next) {
    if (col != ctx.table->columns) put_separator(out, ctx);
    if (col->next != nullptr) pad(out, width_of(*col));
  }
}

// The plans of the first columns live on the stack for the whole print;
// further columns, rare in practice, are planned field by field.
constexpr size_t planned_columns = 16;

void print_rows(sink& out, const print_context& ctx) noexcept {
  const column* first = ctx.table->columns;
  column_plan plans[planned_columns];
  size_t plan_count = 0;
  for (const column* col = first; col != nullptr && plan_count < planned_columns; col = col->next) {
    plans[plan_count++] = plan_column(ctx, *col);
  }
  for (const row* r = ctx.table->rows; r != nullptr; r = r->next) {
    const column* col = first;
    const cell* c = r->cells;
    for (size_t i = 0; c != nullptr && col != nullptr; c = c->next, col = col->next, ++i) {
      if (i != 0) put_separator(out, ctx);
      if (i < plan_count) {
        render_field(out, ctx, plans[i], c);
      } else {
        render_field(out, ctx, plan_column(ctx, *col), c);
      }
    }
    if (ctx.fancy) fill_missing_cells(out, ctx, col);
    out.put('\n');
  }
}

void print_sums(sink& out, const print_context& ctx) noexcept {
  for (const column* col = ctx.table->columns; col != nullptr; col = col->next) {
    if (col != ctx.table->columns) put_separator(out, ctx);
    if (col->summarize) {
      render_field(out, ctx, plan_column(ctx, *col), nullptr);
    } else if (ctx.raw) {
      out.put(ctx.filler, std::strlen(ctx.filler));
    } else {
      justify(out, col->cell_justification, ctx.filler, 1, col->width_lead, col->width_tail,
              col->justify_char, col->next != nullptr);
    }
  }
  out.put('\n');
}

void print_sections(sink& out, const print_context& ctx, unsigned int flags) noexcept {
  if (flags & TBLX_PRINT_TITLES) print_titles(out, ctx);
  if (flags & TBLX_PRINT_TITLE_RULE) print_rule(out, ctx);
  if (flags & TBLX_PRINT_ROWS) print_rows(out, ctx);
  if (flags & TBLX_PRINT_SUM_RULE) print_rule(out, ctx);
  if (flags & TBLX_PRINT_SUM) print_sums(out, ctx);
}

}  // namespace

// ---- entry points ---------------------------------------------------------------

int print_justified(FILE* stream, int32_t kind, const char* text, size_t text_len,
                    const column& widths, unsigned char justify_char, bool pad_trailing) noexcept {
  lock_stream(stream);
  sink out(stream);
  justify(out, kind, text, text_len, widths.width_lead, widths.width_tail, justify_char,
          pad_trailing);
  out.flush();
  unlock_stream(stream);
  return out.failed() ? EOF : 0;
}

int render(tblx_table* table, FILE* stream, const column* col, const cell* c) noexcept {
  if (stream == nullptr) return measured_length(*col, c);
  const print_context ctx = make_context(*table);
  lock_stream(stream);
  sink out(stream);
  render_field(out, ctx, plan_column(ctx, *col), c);
  out.flush();
  unlock_stream(stream);
  return out.failed() ? EOF : 0;
}

TBLX_EXPORT tblx_status TBLX_CALL tblx_print(tblx_table* table, unsigned int flags,
                                             FILE* stream) noexcept {
  if (stream == nullptr || table == nullptr) return TBLX_ERR_INVALID_ARGUMENT;
  if (!table->header_ended) return TBLX_ERR_NO_HEADER;
  if (table->open_row != nullptr) return TBLX_ERR_ROW_OPEN;
  if (table->layout_stale) {
    if (tblx_status s = measure_layout(*table); s != TBLX_OK) return s;
  }
  const print_context ctx = make_context(*table);
  lock_stream(stream);
  {
    sink out(stream);
    print_sections(out, ctx, flags);
    out.flush();
  }
  // Write errors are the caller's to find on the stream.
  flush_stream(stream);
  unlock_stream(stream);
  return TBLX_OK;
}

TBLX_EXPORT tblx_status TBLX_CALL tblx_print_all(tblx_table* table, FILE* stream) noexcept {
  return tblx_print(table, TBLX_PRINT_ALL, stream);
}

TBLX_EXPORT tblx_status TBLX_CALL tblx_print_except(tblx_table* table, unsigned int flags,
                                                    FILE* stream) noexcept {
  return tblx_print(table, ~flags & TBLX_PRINT_ALL, stream);
}
