// SPDX-License-Identifier: MIT
// Fuzz target: decodes its input into a sequence of library calls with
// arbitrary arguments (null tables and pointers, out-of-range types,
// justifications, casings, styles, sort orders, selectors and column IDs,
// extreme numbers, texts of any bytes, title callbacks that return NULL, a
// text that depends on the width, another text on their later calls, or that
// call back into the table being printed, empty cells in any column, summary
// texts, widths counting bytes or terminal columns, texts with escape
// sequences and emoji pairs, calls made out of phase, flushes that stream
// the rows in a frozen layout)
// and prints
// the table into in-memory streams in every style with arbitrary flags, and
// in every output format through writer functions. A few
// steps build in one go what single calls reach only rarely: many columns,
// rows that fill every column, texts and minimum widths wider than the
// library's output buffer, and number columns aligned on a character of
// their digits, sign or suffix.
//
// Tables with fields on several lines, width limits or a width to fit
// (tblx_setmultiline, tblx_setcolumn_maxwidth, tblx_setmaxwidth) print
// through their own printer: for them, and for raw prints of tables that
// printer measured, invariants 4, 5, 6 and 10, which describe the printer of
// one line a row, are not checked; the others are.
//
// Invariants checked, each a crash (abort) when broken:
//  1. Every status is one that the called function documents, and a null
//     table gives 1 (TBLX_ERR_INVALID_ARGUMENT).
//  2. A refused call (status other than 0) changes nothing: every byte of the
//     table, column, row and cell records and of the cell texts is as before;
//     no output argument is written; a refused print writes nothing. When the
//     table's measurements are current, a print before and one after the
//     refused call also give the same bytes.
//  3. After every call the records are well formed: the column and row lists
//     end at their tails, IDs grow, the open row is the last row, the row
//     count is the number of ended rows, and cells never outnumber columns.
//  4. After a print every column is at least as wide as its minimum width and
//     as every cell and sum or summary text it holds (split at the alignment
//     character for the character justifications; an empty cell as an empty
//     text); a summed column's sum is the exact sum of its non-empty cells
//     (in 128 bits), printed with all its digits.
//  5. A print gives one line per selected section and row (rules only in the
//     fancy styles), each ending in a newline, when no text holds a newline.
//     In the simple, fancy and fancyw styles, with W the measured widths:
//     rule lines are exactly W dashes per column joined by the junction. In
//     every title, row and summary line whose fields all fit their widths,
//     the separator of the fancy styles (the blank of the simple style)
//     stands at the byte offset of the rule's junction, each string cell's
//     field holds its text and blanks only, and the line is no longer than
//     the rule. (Titles and summary fillers are placed in ways the measuring
//     does not account for, so their fit is worked out first; every number
//     fits.) The raw style gives the same lines. In display mode widths,
//     offsets and lengths count terminal columns instead of bytes.
//  6. Sections compose: with current measurements the print of any set of
//     sections is the single-section prints of its sections in order,
//     tblx_print_except(f) prints the sections not in f, and flag bits above
//     the five are ignored.
//  7. A sort keeps the same rows and orders them by the key column's
//     comparator, rows without a key cell first (asc) or last (desc), rows
//     with equal keys in their previous order; order 0 changes nothing.
//  8. A stream that refuses every write changes nothing in the table and
//     gives TBLX_ERR_OUTPUT when the print has bytes to write, else 0; a null
//     stream gives 1.
//  9. A title callback runs while its table is busy. Every call it makes into
//     that table is refused or answers as before: the calls that change or
//     print it give 1 and write nothing, tblx_clean, tblx_delete and
//     tblx_removerows do nothing, the reading calls give what the records
//     hold; the table is byte for byte as it was before the call.
// 10. A print calls a column's title callback exactly once in its measuring
//     pass when the title is aligned on a character or the table measures
//     every title (with at most the width that pass ends with, and at least
//     the minimum width when it measures every title; that width holds the
//     text it gave) and once
//     for the title line (with the column's width, the minimum width in the
//     raw style), and at no other time; the title line shows the text of its
//     own call.
// 11. In every output format a print through a writer function hands over
//     what a print to a stream writes; a writer that refuses is not called
//     again and the print gives TBLX_ERR_OUTPUT; JSON and JSON Lines are
//     valid UTF-8 without raw control bytes but line ends, and JSON Lines has
//     one line per row. tblx_setformat refuses a busy table and unknown
//     formats. (The format goes back to text after each such step, so that
//     the other invariants, which read the text format, hold.)
// 12. tblx_cancelrow (step byte 0xfe) after a row was begun and given only
//     cells leaves the table as before tblx_beginrow: every byte of its
//     records but the note of where the row began, and, when its
//     measurements were current then, the same print.
#include <algorithm>
#include <bit>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "display_width.h"
#include "support/table.h"
#include "tabulix.h"

namespace {

using support::capture;
using support::cells_of;
using support::columns_of;
using support::rows_of;

[[noreturn]] void fail(const char* what, const std::string& detail = {}) {
  std::fprintf(stderr, "invariant broken: %s\n%s\n", what, detail.c_str());
  std::abort();
}

// Whether a column's title comes from a callback, which a print calls anew.
bool has_title_callback(const tblx_table* t) {
  for (const column* c = t->columns; c != nullptr; c = c->next) {
    if (c->title_func != nullptr) return true;
  }
  return false;
}

void require(bool ok, const char* what, const std::string& detail = {}) {
  if (!ok) fail(what, detail);
}

// Every byte of the table's records and cell texts (support::image).
std::string image(const tblx_table* t) {
  std::string out;
  support::append_image(out, t);
  return out;
}

// ---- reading the input ----------------------------------------------------------

class input {
 public:
  input(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  bool empty() const { return pos_ >= size_; }

  uint8_t byte() { return pos_ < size_ ? data_[pos_++] : 0; }

  uint64_t bits(int bytes) {
    uint64_t v = 0;
    for (int i = 0; i < bytes; ++i) v = v << 8 | byte();
    return v;
  }

  // A value that is mostly near the valid range lo..hi (one beyond each end
  // included) and sometimes any 32-bit value.
  uint32_t enumerated(uint32_t lo, uint32_t hi) {
    const uint8_t b = byte();
    if (b >= 0xf0) return static_cast<uint32_t>(bits(4));
    return lo - 1 + b % (hi - lo + 3);
  }

  int64_t number() {
    static constexpr uint64_t extremes[] = {
        0, 1,  UINT64_MAX, uint64_t{INT64_MAX}, uint64_t{1} << 63, UINT32_MAX, uint64_t{1} << 32,
        9, 10, 99999};
    const uint8_t b = byte();
    if (b < 0x40) return static_cast<int64_t>(extremes[b % std::size(extremes)]);
    if (b < 0x80) return static_cast<int64_t>(bits(1)) - 128;
    return static_cast<int64_t>(bits(8));
  }

  // Any bytes up to the first NUL; long texts are rare but reachable. The
  // bytes 0x10 to 0x19 stand for pieces of escape sequences and emoji pairs
  // (ESC itself is any byte 0x1B).
  std::string text() {
    static constexpr const char* pieces[] = {
        "\x1b[", "\x1b[31m",     "\x1b[0m",      "\x1b]8;;",         "\x1b\\",
        "\x07",  "\xEF\xB8\x8F", "\xEF\xB8\x8E", "\xF0\x9F\x87\xA9", "\xE2\x9D\xA4"};
    const uint8_t b = byte();
    size_t len = b & 0x1f;
    if (b & 0x20) len += 32;
    if ((b & 0xc0) == 0xc0) len = 1000 + size_t{byte()} * 4;
    std::string s;
    for (size_t i = 0; i < len && !empty(); ++i) {
      const char c = static_cast<char>(byte());
      if (c == '\0') break;
      if (c >= 0x10 && c <= 0x19) {
        s += pieces[c - 0x10];
      } else {
        s += c;
      }
    }
    return s;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};

// ---- title callbacks --------------------------------------------------------------
// These are pure functions of their arguments, so two calls with the same
// width give the same text and a print can be repeated.

const char* TBLX_CALL title_null(void*, uint32_t) { return nullptr; }

const char* TBLX_CALL title_text(void* arg, uint32_t) { return static_cast<const char*>(arg); }

// A different text for different widths, aligned or not on '.' and ','.
const char* TBLX_CALL title_by_width(void*, uint32_t width) {
  static constexpr const char* texts[] = {"",    "T", "1.5",   "Title", "a.b.c",        "12345678",
                                          ",x,", ".", "wide.", "x",     "Long title 9", "3.14"};
  return texts[width % std::size(texts)];
}

// ---- title callbacks that remember their calls ---------------------------------------
// A recorded title gives one text on its first call in a print and another
// (often the same) on every later call of that print, and keeps the width and
// text of each call: the model checks the calls against what a print must make
// and takes the title line's text from them. It may also call back into its
// own table, which is busy then.

enum class reentry : uint8_t { none, change, print, clean, remove_rows, erase, read };
constexpr unsigned reentry_kinds = 7;

struct title_call {
  uint32_t width;
  const char* text;
};

struct recorded_title {
  const char* first;  // the text of the first call in a print
  const char* later;  // the text of every later call in that print
  reentry call;       // what it calls on its table
  uint8_t variant;    // which call of that kind
  tblx_table* table;
  // Images still to compare around a call in this print, shared by the
  // session's titles: two images of the whole table on every call would
  // cost more than the print.
  unsigned* image_checks_left;
  std::vector<title_call> calls;  // the calls of this print
};

// The calls that would change a table, each with arguments that an idle
// table in some state accepts.
struct change_call {
  const char* name;
  tblx_status (*call)(tblx_table*);
};

const change_call busy_changes[] = {
    {"begincolumn", [](tblx_table* t) { return tblx_begincolumn(t, TBLX_TYPE_STRING); }},
    {"begincolumn_columnid",
     [](tblx_table* t) {
       int32_t id = -7;
       const tblx_status s = tblx_begincolumn_columnid(t, TBLX_TYPE_INT, &id);
       require(id == -7, "a busy table wrote a column ID");
       return s;
     }},
    {"endcolumn", tblx_endcolumn},
    {"setcolumn_title", [](tblx_table* t) { return tblx_setcolumn_title(t, "busy"); }},
    {"setcolumn_titlefunc",
     [](tblx_table* t) { return tblx_setcolumn_titlefunc(t, title_null, nullptr); }},
    {"setcolumn_titlejust", [](tblx_table* t) { return tblx_setcolumn_titlejust(t, 2); }},
    {"setcolumn_celljust", [](tblx_table* t) { return tblx_setcolumn_celljust(t, 3); }},
    {"setcolumn_minwidth", [](tblx_table* t) { return tblx_setcolumn_minwidth(t, 9); }},
    {"setcolumn_summarize", [](tblx_table* t) { return tblx_setcolumn_summarize(t, 1); }},
    {"setcolumn_hexcase", [](tblx_table* t) { return tblx_setcolumn_hexcase(t, 2); }},
    {"setcolumn_leadingzero", [](tblx_table* t) { return tblx_setcolumn_leadingzero(t, 1); }},
    {"setcolumn_suffix", [](tblx_table* t) { return tblx_setcolumn_suffix(t, "%"); }},
    {"setcolumn_sortmode", [](tblx_table* t) { return tblx_setcolumn_sortmode(t, 2); }},
    {"setcolumn_justchar", [](tblx_table* t) { return tblx_setcolumn_justchar(t, ','); }},
    {"endheader", tblx_endheader},
    {"beginrow", tblx_beginrow},
    {"addcell_string", [](tblx_table* t) { return tblx_addcell_string(t, "cell"); }},
    {"addcell_int", [](tblx_table* t) { return tblx_addcell_int(t, INT64_MIN); }},
    {"addcell_uint", [](tblx_table* t) { return tblx_addcell_uint(t, UINT64_MAX); }},
    {"addcell_hex", [](tblx_table* t) { return tblx_addcell_hex(t, 0xbeef); }},
    {"endrow", tblx_endrow},
    {"cancelrow", tblx_cancelrow},
    {"sort", [](tblx_table* t) { return tblx_sort(t, TBLX_SORT_DESC, 1); }},
    {"setstyle", [](tblx_table* t) { return tblx_setstyle(t, TBLX_STYLE_FANCYW); }},
    {"setstylestr", [](tblx_table* t) { return tblx_setstylestr(t, "fancy"); }},
    {"setsumreplace", [](tblx_table* t) { return tblx_setsumreplace(t, TBLX_STYLE_SIMPLE, '#'); }},
    {"setwidthmode", [](tblx_table* t) { return tblx_setwidthmode(t, TBLX_WIDTH_DISPLAY); }},
    {"setmeasuretitles", [](tblx_table* t) { return tblx_setmeasuretitles(t, 1); }},
    {"setmultiline", [](tblx_table* t) { return tblx_setmultiline(t, 1); }},
    {"setmaxwidth", [](tblx_table* t) { return tblx_setmaxwidth(t, 20); }},
    {"setcolumn_maxwidth",
     [](tblx_table* t) { return tblx_setcolumn_maxwidth(t, 4, TBLX_OVERFLOW_WRAP); }},
};

// The reading calls answer from the records as they stand.
void check_busy_reads(tblx_table* t, uint8_t variant) {
  switch (variant % 4) {
    case 0:
      require(tblx_getrowcount(t) == t->row_count, "getrowcount of a busy table");
      break;
    case 1:
      require(tblx_isfancy(t) == t->fancy, "isfancy of a busy table");
      break;
    case 2: {
      const auto cols = columns_of(t);
      for (size_t i = 0; i <= cols.size(); ++i) {
        int32_t id = -7;
        const tblx_status s = tblx_getcolumnid(t, static_cast<uint32_t>(i), &id);
        require(i < cols.size() ? s == TBLX_OK && id == cols[i]->id
                                : s == TBLX_ERR_NO_SUCH_COLUMN && id == -7,
                "getcolumnid of a busy table");
      }
      break;
    }
    default: {
      int order = -7;
      require(std::strcmp(tblx_version_str(), TBLX_VERSION_STRING) == 0 &&
                  tblx_version_uint() == (TBLX_VERSION_MAJOR << 24 | TBLX_VERSION_MINOR << 16 |
                                          TBLX_VERSION_PATCH << 8) &&
                  tblx_getstylelist()[0] != nullptr && tblx_getsortorderlist()[0] != nullptr &&
                  std::strcmp(tblx_strerror(TBLX_ERR_INVALID_ARGUMENT), tblx_strerror(1)) == 0 &&
                  tblx_parse_sortorder(&order, "desc") == TBLX_OK && order == TBLX_SORT_DESC,
              "a reading call during a print");
      break;
    }
  }
}

// Invariant 9: one call back into the table being printed.
void call_back_into(const recorded_title& r) {
  tblx_table* t = r.table;
  require(t->busy != 0, "a title callback ran while its table was not busy");
  // The measuring pass changes widths and sums between two callbacks, so
  // a call is compared with the table as it stood just before it.
  const bool compare = *r.image_checks_left > 0;
  if (compare) --*r.image_checks_left;
  const std::string before = compare ? image(t) : std::string();
  switch (r.call) {
    case reentry::none:
      break;
    case reentry::change: {
      const change_call& c = busy_changes[r.variant % std::size(busy_changes)];
      const tblx_status s = c.call(t);
      if (s != TBLX_ERR_INVALID_ARGUMENT) {
        fail(c.name, "a busy table must refuse with 1, gave " + std::to_string(s));
      }
      break;
    }
    case reentry::print: {
      tblx_status s = TBLX_OK;
      const std::string written = capture([&](FILE* f) {
        switch (r.variant % 3) {
          case 0:
            s = tblx_print(t, TBLX_PRINT_ALL, f);
            break;
          case 1:
            s = tblx_print_all(t, f);
            break;
          default:
            s = tblx_print_except(t, TBLX_PRINT_SUM, f);
            break;
        }
      });
      if (s != TBLX_ERR_INVALID_ARGUMENT || !written.empty()) {
        fail("a busy table printed", std::to_string(s));
      }
      break;
    }
    case reentry::clean:
      tblx_clean(t);
      break;
    case reentry::remove_rows:
      tblx_removerows(t);
      break;
    case reentry::erase:
      tblx_delete(t);
      break;
    case reentry::read:
      check_busy_reads(t, r.variant);
      break;
  }
  if (compare) require(image(t) == before, "a call into a busy table changed it");
}

const char* TBLX_CALL title_recorded(void* arg, uint32_t width) {
  auto* r = static_cast<recorded_title*>(arg);
  const char* text = r->calls.empty() ? r->first : r->later;
  r->calls.push_back({width, text});
  if (r->call != reentry::none) call_back_into(*r);
  return text;
}

const recorded_title* recorded(const column* c) {
  return c->title_func == title_recorded ? static_cast<const recorded_title*>(c->title_arg)
                                         : nullptr;
}

// ---- streams -------------------------------------------------------------------------

// A stream that keeps what is written to it. One serves all prints of a
// session: a memory stream opened for each print cost more than the print.
class memory_stream {
 public:
  memory_stream() {
    cookie_io_functions_t io{};
    io.write = [](void* cookie, const char* bytes, size_t n) -> ssize_t {
      static_cast<std::string*>(cookie)->append(bytes, n);
      return static_cast<ssize_t>(n);
    };
    stream_ = fopencookie(&text_, "w", io);
    if (stream_ == nullptr) std::abort();
    // The library stages its output itself; unbuffered, every byte is here
    // when the print returns.
    std::setvbuf(stream_, nullptr, _IONBF, 0);
  }
  ~memory_stream() { std::fclose(stream_); }
  memory_stream(const memory_stream&) = delete;
  memory_stream& operator=(const memory_stream&) = delete;

  FILE* get() const { return stream_; }

  // What was written since the last clear.
  const std::string& text() const { return text_; }
  void clear() { text_.clear(); }

 private:
  std::string text_;
  FILE* stream_ = nullptr;
};

// A stream that refuses every write.
struct refusing_stream {
  support::FailingSink sink{0, {}};
  FILE* stream = support::open_failing(&sink);

  refusing_stream() {
    if (stream == nullptr) std::abort();
  }
  ~refusing_stream() { std::fclose(stream); }
  refusing_stream(const refusing_stream&) = delete;
  refusing_stream& operator=(const refusing_stream&) = delete;
};

// ---- the records --------------------------------------------------------------------

// Invariant 3: the checks of support::record_faults, made in one walk of the
// lists, as they run after every call.
const char* record_fault(const tblx_table* t) {
  size_t column_count = 0;
  const column* last_column = nullptr;
  for (const column* c = t->columns; c != nullptr; last_column = c, c = c->next, ++column_count) {
    if (c->id <= 0 || c->id >= t->next_column_id) return "column ID not below counter";
    if (last_column != nullptr && c->id <= last_column->id) return "column IDs do not grow";
    if (c->type < TBLX_TYPE_STRING || c->type > TBLX_TYPE_DOUBLE) return "column type";
    if ((c->exact != nullptr) != (c->type == TBLX_TYPE_DOUBLE)) return "double accumulator";
  }
  if (t->columns_tail != last_column) return "columns_tail is not last";
  if (t->open_column != nullptr && t->open_column != t->columns_tail) {
    return "the open column is not the last";
  }
  if (t->header_ended && t->open_column != nullptr) return "open column after the header";
  size_t row_count = 0;
  const row* last_row = nullptr;
  for (const row* r = t->rows; r != nullptr; last_row = r, r = r->next, ++row_count) {
    const size_t cells = r->cells != nullptr ? r->cells->count : 0;
    if (cells > column_count) return "a row holds more cells than there are columns";
  }
  if (t->rows_tail != last_row) return "rows_tail is not last";
  if (t->open_row != nullptr && t->open_row != t->rows_tail) return "the open row is not the last";
  // Rows that a flush wrote and freed still count.
  const size_t flushed = t->flushed != nullptr ? t->flushed->rows : 0;
  const size_t ended = row_count - (t->open_row != nullptr ? 1 : 0) + flushed;
  if (t->row_count < 0 || static_cast<size_t>(t->row_count) != ended) {
    return "row count is not the number of ended rows";
  }
  return nullptr;
}

void check_well_formed(const tblx_table* t) {
  const char* fault = record_fault(t);
  if (fault != nullptr) fail("records not well formed", fault);
}

// ---- status sets -------------------------------------------------------------------

using codes = std::initializer_list<tblx_status>;

// Invariant 1.
void check_status(tblx_status s, codes allowed, bool null_table, const char* call) {
  if (null_table) {
    require(s == TBLX_ERR_INVALID_ARGUMENT, call, "a null table must give 1");
    return;
  }
  for (tblx_status a : allowed) {
    if (s == a) return;
  }
  fail(call, "undocumented status " + std::to_string(s));
}

const codes setter_codes = {0, 1, 10, 11};
const codes print_codes = {0, 1, 2, 9, 15};

// ---- printing and its invariants --------------------------------------------------

uint64_t width_of(const column* c) { return uint64_t{c->width_lead} + c->width_tail; }

// The shares of a text split at the alignment character; whole as lead for
// kinds 1 to 3 and for numbers.
struct shares {
  uint64_t lead;
  uint64_t tail;
};

// Widths as the table counts them: bytes, or in display mode
// (TBLX_WIDTH_DISPLAY) terminal columns, where no byte of 0x80 or above
// aligns a text.
uint64_t width_in(bool display, const char* text, size_t len) {
  return display ? display_width(text, len) : len;
}

shares split(int32_t kind, const char* text, size_t len, unsigned char ch, bool display) {
  const uint64_t width = width_in(display, text, len);
  if (kind != TBLX_JUST_CHAR_FIRST && kind != TBLX_JUST_CHAR_LAST) return {width, 0};
  // In display mode the character is not looked for inside escape sequences.
  const void* at = display ? find_visible_byte(text, len, ch, kind == TBLX_JUST_CHAR_LAST)
                   : kind == TBLX_JUST_CHAR_FIRST ? std::memchr(text, ch, len)
                                                  : tblx_memrchr__(text, ch, len);
  if (at == nullptr || (display && ch >= 0x80)) return {width + 1, 0};
  const auto p = static_cast<size_t>(static_cast<const char*>(at) - text);
  return {width_in(display, text, p + 1), width_in(display, text + p + 1, len - p - 1)};
}

// A line or text with every code point standing for as many bytes as it
// takes columns in display mode (a wide one for two, a mark for none), so
// that byte offsets are column offsets; as it is in bytes mode. ASCII stays
// as it is, so separators and blanks keep their places; escape sequences
// are left out, a character listed with U+FE0F or U+FE0E stands for 2 or
// 1 columns before it, and two regional indicators for one flag of 2.
std::string columns_view(bool display, std::string_view text) {
  if (!display) return std::string(text);
  std::string view;
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const auto* end = p + text.size();
  char32_t base = 0;       // the character before, when it could take a selector
  bool half_flag = false;  // a regional indicator waits for its pair
  while (p != end) {
    const auto rest = static_cast<size_t>(end - p);
    if (*p == 0x1B) {
      if (const size_t n = display_width_detail::escape_length(p, rest); n != 0) {
        p += n;
        base = 0;
        half_flag = false;
        continue;
      }
    }
    if (*p < 0x80) {
      base = *p;
      half_flag = false;
      view += static_cast<char>(*p++);
      continue;
    }
    const auto d = display_width_detail::decode_sequence(p, rest);
    p += d.len == 0 ? 1 : d.len;
    if (d.len == 0) {
      view += '\x80';
      base = 0;
      half_flag = false;
      continue;
    }
    const bool indicator = is_regional_indicator(d.cp);
    if ((d.cp == 0xFE0F || d.cp == 0xFE0E) && base != 0 && has_variation_sequences(base)) {
      const size_t want = d.cp == 0xFE0F ? 2 : 1;
      const size_t had = code_point_width(base);
      if (want > had) view += '\x80';
      if (want < had) view.pop_back();
    } else if (!(indicator && half_flag)) {
      view.append(code_point_width(d.cp), '\x80');
    }
    half_flag = indicator && !half_flag;
    base = d.cp;
  }
  return view;
}

bool fits(const column* c, shares s) { return s.lead <= c->width_lead && s.tail <= c->width_tail; }

// Whether a title prints inside its column: one aligned on a character by
// its two shares, any other by its whole width.
bool title_fits(const column* c, const char* title, bool display) {
  const int32_t kind = c->title_justification;
  const size_t len = std::strlen(title);
  if (kind == TBLX_JUST_CHAR_FIRST || kind == TBLX_JUST_CHAR_LAST) {
    return fits(c, split(kind, title, len, c->justify_char, display));
  }
  return width_in(display, title, len) <= width_of(c);
}

// A number as two 64-bit words of a two's complement number: a cell's value
// (sign-extended in an int column) or a column's sum.
struct words {
  uint64_t low;
  uint64_t high;
  bool operator==(const words&) const = default;
};

words cell_words(const column* c, uint64_t v) {
  // A double's bits stand for themselves (high word 0).
  return {v, c->type == TBLX_TYPE_INT && v >> 63 != 0 ? UINT64_MAX : 0u};
}

// The exact sum of 64-bit values, made another way than the library makes
// it: the 32-bit halves of the values are summed apart (no carry is lost
// below 2^32 values) and put together at the end.
struct exact_sum {
  uint64_t low_halves = 0;
  uint64_t high_halves = 0;
  uint64_t negatives = 0;

  void add(uint64_t v, bool is_signed) {
    low_halves += v & 0xffffffffu;
    high_halves += v >> 32;
    if (is_signed && v >> 63 != 0) ++negatives;  // counted as v - 2^64
  }
  words total() const {
    const uint64_t shifted = high_halves << 32;
    const uint64_t low = low_halves + shifted;
    return {low, (high_halves >> 32) + (low < shifted ? 1u : 0u) - negatives};
  }
};

// The text of a double as its column prints it: printf's for fixed
// decimals; for the shortest text, the digits and exponent of to_chars laid
// out plainly for exponents -5 to 15, as given otherwise.
std::string double_digits(const column* c, uint64_t bits) {
  const auto v = std::bit_cast<double>(bits);
  if (std::isnan(v)) return "nan";
  if (std::isinf(v)) return v < 0 ? "-inf" : "inf";
  std::vector<char> buf(400);
  if (c->precision >= 0) {
    std::snprintf(buf.data(), buf.size(), "%.*f", c->precision, v);
    return buf.data();
  }
  const auto r =
      std::to_chars(buf.data(), buf.data() + buf.size(), v, std::chars_format::scientific);
  const std::string sci(buf.data(), r.ptr);
  const size_t e = sci.find('e');
  const int exponent = std::atoi(sci.c_str() + e + 1);
  if (exponent < -5 || exponent > 15) return sci;
  const bool negative = sci[0] == '-';
  std::string digits;
  for (size_t i = negative ? 1 : 0; i < e; ++i) {
    if (sci[i] != '.') digits += sci[i];
  }
  std::string out = negative ? "-" : "";
  if (exponent < 0)
    return out + "0." + std::string(static_cast<size_t>(-exponent - 1), '0') + digits;
  const auto whole = static_cast<size_t>(exponent) + 1;
  if (digits.size() <= whole) return out + digits + std::string(whole - digits.size(), '0');
  return out + digits.substr(0, whole) + "." + digits.substr(whole);
}

// Separators every three digits (four after "0x") of the first run of digits.
std::string grouped(const column* c, std::string text) {
  if (c->group_separator == 0) return text;
  const bool hex = c->type == TBLX_TYPE_HEX;
  const size_t start = hex ? 2 : (!text.empty() && text[0] == '-' ? 1 : 0);
  size_t end = start;
  while (end < text.size() && (hex ? std::isxdigit(static_cast<unsigned char>(text[end])) != 0
                                   : text[end] >= '0' && text[end] <= '9')) {
    ++end;
  }
  const size_t every = hex ? 4 : 3;
  for (size_t at = end; at > start + every; at -= every) {
    text.insert(at - every, 1, c->group_separator);
  }
  return text;
}

// The text of a number as its column prints it, before fill and suffix:
// decimal digits by repeated division of 32-bit limbs by 10.
std::string ungrouped_digits(const column* c, words w);
std::string number_digits(const column* c, words w) {
  if (c->type == TBLX_TYPE_DOUBLE) return grouped(c, double_digits(c, w.low));
  return grouped(c, ungrouped_digits(c, w));
}

std::string ungrouped_digits(const column* c, words w) {
  if (c->type == TBLX_TYPE_HEX) {
    char buf[48];
    const bool upper = c->hex_case == TBLX_HEX_UPPER;
    if (w.high == 0) {
      std::snprintf(buf, sizeof buf, upper ? "0x%llX" : "0x%llx",
                    static_cast<unsigned long long>(w.low));
    } else {
      std::snprintf(buf, sizeof buf, upper ? "0x%llX%016llX" : "0x%llx%016llx",
                    static_cast<unsigned long long>(w.high),
                    static_cast<unsigned long long>(w.low));
    }
    return buf;
  }
  const bool negative = c->type == TBLX_TYPE_INT && w.high >> 63 != 0;
  if (w == cell_words(c, w.low)) {  // a value of the column's own type
    char buf[32];
    if (c->type == TBLX_TYPE_INT) {
      std::snprintf(buf, sizeof buf, "%lld", static_cast<long long>(w.low));
    } else {
      std::snprintf(buf, sizeof buf, "%llu", static_cast<unsigned long long>(w.low));
    }
    return buf;
  }
  if (negative) w = {0u - w.low, ~w.high + (w.low == 0 ? 1u : 0u)};
  uint32_t limbs[4] = {static_cast<uint32_t>(w.high >> 32), static_cast<uint32_t>(w.high),
                       static_cast<uint32_t>(w.low >> 32), static_cast<uint32_t>(w.low)};
  std::string digits;
  bool more = true;
  while (more) {
    uint64_t rest = 0;
    more = false;
    for (uint32_t& limb : limbs) {
      const uint64_t part = rest << 32 | limb;
      limb = static_cast<uint32_t>(part / 10);
      rest = part % 10;
      more = more || limb != 0;
    }
    digits.insert(digits.begin(), static_cast<char>('0' + rest));
  }
  return negative ? "-" + digits : digits;
}

uint64_t number_length(const column* c, words w, bool display) {
  return number_digits(c, w).size() + width_in(display, c->suffix, c->suffix_len);
}

// Whether a cell's number or a column's sum, as printed, stays inside its
// column. A number holding its column's alignment character is measured
// split there, where the print aligns it; one lacking it is measured whole
// and its blanks end at the column's edge. So every measured number fits:
// this only confirms the split of the first kind.
bool number_fits(const column* c, words w, bool display) {
  const int32_t kind = c->cell_justification;
  if (kind != TBLX_JUST_CHAR_FIRST && kind != TBLX_JUST_CHAR_LAST) return true;
  if (c->type == TBLX_TYPE_HEX && c->leading_zeros) return true;  // zero-filled to the width
  const std::string text = number_digits(c, w) + std::string(c->suffix);
  const void* at = kind == TBLX_JUST_CHAR_FIRST
                       ? std::memchr(text.data(), c->justify_char, text.size())
                       : tblx_memrchr__(text.data(), c->justify_char, text.size());
  if (at == nullptr || (display && c->justify_char >= 0x80)) return true;
  return fits(c, split(kind, text.data(), text.size(), c->justify_char, display));
}

// A column's sum as its number text takes it: a double's bits, or the words.
words sum_words(const column* c) {
  if (c->type == TBLX_TYPE_DOUBLE) return {c->double_sum, 0};
  return {c->sum.low, c->sum.high};
}

// Invariant 4.
void check_measurements(const tblx_table* t) {
  const bool display = t->display_widths != 0;
  const auto cols = columns_of(t);
  std::vector<exact_sum> sums(cols.size());
  for (const row* r = t->rows; r != nullptr; r = r->next) {
    const auto cells = cells_of(t, r);
    for (size_t i = 0; i < cells.size(); ++i) {
      const column* c = cols[i];
      const cell* x = cells[i];
      if (c->type == TBLX_TYPE_STRING || x->empty()) {
        // An empty cell holds an empty text.
        const shares s =
            split(c->cell_justification, x->str.text, x->str.len, c->justify_char, display);
        require(fits(c, s), "a string or empty cell is wider than its column");
        require(!x->empty() || x->str.len == 0, "an empty cell holds a text");
      } else {
        require(number_length(c, cell_words(c, x->value()), display) <= width_of(c),
                "a number is wider than its column");
        if (c->type != TBLX_TYPE_DOUBLE) sums[i].add(x->value(), c->type == TBLX_TYPE_INT);
      }
    }
  }
  for (size_t i = 0; i < cols.size(); ++i) {
    const column* c = cols[i];
    require(width_of(c) >= c->min_width, "a column is narrower than its minimum width");
    const words sum = sum_words(c);
    if (c->summarize && c->type != TBLX_TYPE_DOUBLE) {
      require(sum == sums[i].total(), "the sum is not the sum of the cells");
    }
    if (c->sum_text != nullptr) {
      require(fits(c, split(c->cell_justification, c->sum_text, c->sum_text_len, c->justify_char,
                            display)),
              "a summary text is wider than its column");
    } else if (c->summarize) {
      require(number_length(c, sum, display) <= width_of(c), "a sum is wider than its column");
    }
  }
}

std::vector<std::string_view> split_lines(std::string_view text) {
  std::vector<std::string_view> lines;
  size_t start = 0;
  for (size_t nl; (nl = text.find('\n', start)) != std::string_view::npos; start = nl + 1) {
    lines.push_back(text.substr(start, nl - start));
  }
  require(start == text.size(), "output does not end with a newline");
  return lines;
}

// True when a text breaks the lines of a print: it holds a newline, or in
// display mode an ESC that starts no whole sequence (the bytes after the
// text could end one) or it starts with a variation selector (the byte
// before it, a digit of a number say, could be its base). The library
// measures each text on its own, and so does a terminal only when these
// are absent.
bool breaks_lines(const char* text, size_t len, bool display) {
  if (std::memchr(text, '\n', len) != nullptr) return true;
  if (!display) return false;
  if (len >= 3 && std::memcmp(text, "\xEF\xB8", 2) == 0 &&
      (static_cast<unsigned char>(text[2]) & 0xFE) == 0x8E) {
    return true;
  }
  const auto* p = reinterpret_cast<const unsigned char*>(text);
  for (size_t i = 0; i < len; ++i) {
    if (p[i] != 0x1B) continue;
    const size_t n = display_width_detail::escape_length(p + i, len - i);
    if (n == 0) return true;
    i += n - 1;
  }
  return false;
}

bool breaks_lines(const char* text, bool display) {
  return text != nullptr && breaks_lines(text, std::strlen(text), display);
}

// True when some text that may be printed breaks the lines of a print, which
// makes them impossible to tell apart or to measure text by text.
bool has_newline(const tblx_table* t) {
  const bool display = t->display_widths != 0;
  const auto cols = columns_of(t);
  for (const column* c : cols) {
    if (breaks_lines(c->suffix, display)) return true;
    if (c->sum_text != nullptr && breaks_lines(c->sum_text, c->sum_text_len, display)) return true;
    if (c->title_func == title_ident &&
        breaks_lines(static_cast<const char*>(c->title_arg), display)) {
      return true;
    }
    if (c->title_func == title_text &&
        breaks_lines(static_cast<const char*>(c->title_arg), display)) {
      return true;
    }
    if (const recorded_title* r = recorded(c)) {
      for (const char* text : {r->first, r->later}) {
        if (breaks_lines(text, display)) return true;
      }
    }
  }
  for (const row* r : rows_of(t)) {
    const auto cells = cells_of(t, r);
    for (size_t i = 0; i < cells.size() && i < cols.size(); ++i) {
      if (cols[i]->type == TBLX_TYPE_STRING &&
          breaks_lines(cells[i]->str.text, cells[i]->str.len, display)) {
        return true;
      }
    }
  }
  return false;
}

// Where each field starts in an aligned line, and where the separators stand.
struct grid {
  std::vector<uint64_t> start;  // first byte of each field
  uint64_t total = 0;           // length of a rule line
};

grid grid_of(const std::vector<const column*>& cols, size_t sep_len) {
  grid g;
  uint64_t at = 0;
  for (size_t i = 0; i < cols.size(); ++i) {
    if (i > 0) at += sep_len;
    g.start.push_back(at);
    at += width_of(cols[i]);
  }
  g.total = at;
  return g;
}

// Separators between the fields, at the rule's junction offsets.
void check_separators(std::string_view line, const std::vector<const column*>& cols, const grid& g,
                      const std::string& sep, const char* what) {
  // Details are built only on failure: this runs for every line.
  if (line.size() > g.total) fail(what, "line longer than the rule: " + std::string(line));
  for (size_t i = 1; i < cols.size(); ++i) {
    const uint64_t at = g.start[i] - sep.size();
    if (at + sep.size() > line.size() ||
        line.compare(static_cast<size_t>(at), sep.size(), sep) != 0) {
      fail(what, "separator out of place: " + std::string(line));
    }
  }
}

// A string cell's field holds its text and nothing but blanks around it.
void check_string_field(std::string_view line, const grid& g, size_t i, const column* c,
                        const cell* x, bool display) {
  const uint64_t start = g.start[i];
  const uint64_t end = std::min<uint64_t>(start + width_of(c), line.size());
  if (start > line.size()) fail("a field is missing", std::string(line));
  const std::string_view field =
      line.substr(static_cast<size_t>(start), static_cast<size_t>(end - start));
  const size_t at = field.find_first_not_of(' ');
  // A copy only in display mode: this runs for every string cell of a print.
  const std::string viewed = display ? columns_view(true, {x->str.text, x->str.len}) : "";
  const std::string_view text = display ? viewed : std::string_view(x->str.text, x->str.len);
  const size_t leading = text.find_first_not_of(' ');
  if (leading == std::string_view::npos) {  // empty or blanks only (escapes left out)
    if (at != std::string_view::npos) fail("a blank field holds text", std::string(line));
    return;
  }
  if (at == std::string_view::npos || at < leading ||
      field.compare(at - leading, text.size(), text) != 0 ||
      field.find_first_not_of(' ', at - leading + text.size()) != std::string_view::npos) {
    fail("a string field does not hold its text", std::string(line));
  }
}

// The title that the title line of the last print showed: a recorded title's
// text of its last call; the pure callbacks are asked again.
const char* title_line_text(const column* c) {
  if (const recorded_title* r = recorded(c)) {
    require(!r->calls.empty(), "a title line without its callback's call");
    return r->calls.back().text;
  }
  return c->title_func(c->title_arg, static_cast<uint32_t>(width_of(c)));
}

// Invariant 5 for one print of the given flags.
void check_layout(const tblx_table* t, unsigned flags, const std::string& out) {
  if (has_newline(t)) return;
  // In display mode offsets in the lines count columns.
  const bool display = t->display_widths != 0;
  const std::string shown = display ? columns_view(true, out) : std::string();
  const auto lines = split_lines(display ? std::string_view(shown) : std::string_view(out));
  const auto cols = columns_of(t);
  const auto rows = rows_of(t);
  const bool fancy = t->fancy != 0;
  size_t expected = rows.size() * ((flags & TBLX_PRINT_ROWS) != 0);
  expected += (flags & TBLX_PRINT_TITLES) != 0;
  expected += (flags & TBLX_PRINT_SUM) != 0;
  if (fancy)
    expected +=
        size_t{(flags & TBLX_PRINT_TITLE_RULE) != 0} + size_t{(flags & TBLX_PRINT_SUM_RULE) != 0};
  require(lines.size() == expected, "number of lines", out);
  if (t->style == TBLX_STYLE_RAW) return;

  const std::string sep = fancy ? t->column_separator : " ";
  const grid g = grid_of(cols, sep.size());
  std::string rule;
  for (size_t i = 0; fancy && i < cols.size(); ++i) {
    if (i > 0) rule += t->rule_junction;
    rule.append(static_cast<size_t>(width_of(cols[i])), '-');
  }
  size_t n = 0;
  if (flags & TBLX_PRINT_TITLES) {
    bool all_fit = true;
    for (const column* c : cols) {
      const char* title = title_line_text(c);
      if (title != nullptr && *title != '\0') {
        const bool fit = title_fits(c, title, display);
        // A title that its callback gives whatever the width was measured as printed.
        const bool fixed = c->title_func == title_ident || c->title_func == title_text;
        if (t->measure_titles != 0 && fixed)
          require(fit, "a measured title is wider than its column");
        all_fit = all_fit && fit;
      }
    }
    if (all_fit) check_separators(lines[n], cols, g, sep, "title line");
    ++n;
  }
  if (fancy && (flags & TBLX_PRINT_TITLE_RULE)) require(lines[n++] == rule, "title rule", out);
  if (flags & TBLX_PRINT_ROWS) {
    std::vector<const cell*> cells;  // reused: one list per row costs more than the checks
    for (const row* r : rows) {
      cells.clear();
      support::for_each_cell(t, r, [&cells](const column&, const cell* x) { cells.push_back(x); });
      const std::string_view line = lines[n++];
      bool all_fit = true;
      for (size_t i = 0; i < cells.size(); ++i) {
        all_fit =
            all_fit && (cols[i]->type == TBLX_TYPE_STRING || cells[i]->empty() ||
                        number_fits(cols[i], cell_words(cols[i], cells[i]->value()), display));
      }
      if (!all_fit) continue;
      if (fancy || cells.size() == cols.size()) {
        check_separators(line, cols, g, sep, "row line");
      } else {
        if (line.size() > g.total) fail("short row longer than the rule", std::string(line));
      }
      for (size_t i = 0; i < cells.size(); ++i) {
        if (cols[i]->type == TBLX_TYPE_STRING &&
            (i + 1 < cols.size() || line.size() > g.start[i])) {
          check_string_field(line, g, i, cols[i], cells[i], display);
        }
      }
    }
  }
  if (fancy && (flags & TBLX_PRINT_SUM_RULE)) require(lines[n++] == rule, "summary rule", out);
  if (flags & TBLX_PRINT_SUM) {
    // The filler of an unsummed column is not measured: it may overflow a
    // narrow column, and then the line cannot be aligned.
    const char* filler = t->sum_filler[fancy ? FILLER_FANCY : FILLER_SIMPLE];
    bool all_fit = true;
    for (const column* c : cols) {
      const bool has_text = c->sum_text != nullptr;
      const char* text = has_text ? c->sum_text : filler;
      const size_t len = has_text ? c->sum_text_len : 1;
      all_fit = all_fit &&
                (c->summarize && !has_text
                     ? number_fits(c, sum_words(c), display)
                     : fits(c, split(c->cell_justification, text, len, c->justify_char, display)));
    }
    if (all_fit) check_separators(lines[n], cols, g, sep, "summary line");
    ++n;
  }
}

bool printable(const tblx_table* t) { return t->header_ended && t->open_row == nullptr; }

// Whether the next print measures nothing: the printer of several lines
// also measures when the style is not the one it measured for.
bool measurements_current(const tblx_table* t) {
  return t->layout_stale == 0 && (!prints_lines(*t) || t->fitted_style == t->style + 1);
}

// Whether a print goes through the printer of fields on several lines, or
// (in the raw style, which uses no widths) reads widths that it measured.
// A table frozen by a flush prints in widths that its rows may exceed: its
// prints are not checked against measurements either.
bool prints_on_lines(const tblx_table* t) {
  return prints_lines(*t) || t->fitted_style != 0 || t->flushed != nullptr;
}

bool aligns_on_char(int32_t kind) {
  return kind == TBLX_JUST_CHAR_FIRST || kind == TBLX_JUST_CHAR_LAST;
}

// ---- sorting ----------------------------------------------------------------------------

// Invariant 7, after a successful tblx_sort.
void check_sorted(const tblx_table* t, int order, int id, const std::vector<const row*>& before) {
  const auto after = rows_of(t);
  require(after.size() == before.size(), "sort lost or added rows");
  if (order == TBLX_SORT_UNORD) {
    require(after == before, "order 0 changed the rows");
    return;
  }
  // A sort may hand the cells to other row records, so a row is known by its
  // cells; rows without cells by their place among those, which no stable
  // sort changes.
  using identity = std::pair<const row_cells*, size_t>;
  auto identities = [](const std::vector<const row*>& rows) {
    std::vector<identity> ids;
    size_t empty = 0;
    for (const row* r : rows) ids.emplace_back(r->cells, r->cells != nullptr ? 0 : empty++);
    return ids;
  };
  const std::vector<identity> ids_before = identities(before);
  const std::vector<identity> ids_after = identities(after);
  std::map<identity, size_t> position;
  for (size_t i = 0; i < before.size(); ++i) position[ids_before[i]] = i;
  require(position.size() == after.size(), "sort duplicated rows");
  const auto cols = columns_of(t);
  size_t key = 0;
  while (key < cols.size() && cols[key]->id != id) ++key;
  require(key < cols.size(), "sorted by a column that does not exist");
  const tblx_cell_cmp_func cmp = tblx_get_cell_cmp__(cols[key]);
  auto key_of = [key, t](const row* r) -> const cell* {
    const auto cells = cells_of(t, r);
    return key < cells.size() ? cells[key] : nullptr;
  };
  // Signed comparison of two rows in the requested order.
  auto compare = [&](const row* a, const row* b) {
    const cell* x = key_of(a);
    const cell* y = key_of(b);
    int r;
    if (x == nullptr || y == nullptr) {
      r = (x != nullptr) - (y != nullptr);  // absent keys first
    } else {
      const int c = cmp(x, y);
      r = (c > 0) - (c < 0);
    }
    return order == TBLX_SORT_DESC ? -r : r;
  };
  for (size_t i = 1; i < after.size(); ++i) {
    require(after[i - 1] != nullptr && position.count(ids_after[i]) == 1,
            "sort relinked a stranger");
    const int c = compare(after[i - 1], after[i]);
    require(c <= 0, "rows out of order");
    if (c == 0) {
      require(position[ids_after[i - 1]] < position[ids_after[i]], "sort is not stable");
    }
  }
}

// ---- the call sequence -----------------------------------------------------------------

class session {
 public:
  explicit session(input& in) : in_(in), table_(tblx_new()) {
    if (table_ == nullptr) std::abort();
  }
  ~session() { tblx_delete(table_); }
  session(const session&) = delete;
  session& operator=(const session&) = delete;

  void run() {
    for (int steps = 0; !in_.empty() && steps < 2000; ++steps) {
      step();
      check_well_formed(table_);
    }
    if (printable(table_)) print_every_style(TBLX_PRINT_ALL, true);
  }

 private:
  // Bounds that keep one input's work small: the checks after a print walk
  // the whole table many times over.
  static constexpr size_t max_bulk_columns = 64;       // columns the bulk step adds up to
  static constexpr size_t long_text_budget = 1 << 16;  // bytes of long texts per input
  static constexpr size_t max_recorded_titles = 32;
  static constexpr unsigned image_checks_per_print = 4;
  static constexpr size_t print_budget = 1 << 20;  // bytes printed per input for the checks

  // ---- printing ----

  // Makes one print call through print(), which gives its status; sections
  // are the sections it prints. Checks invariant 10 for the recorded titles.
  template <typename Print>
  tblx_status watched_print(unsigned sections, Print print) {
    const bool measures = printable(table_) && !measurements_current(table_);
    for (recorded_title& r : titles_) r.calls.clear();
    image_checks_left_ = image_checks_per_print;
    const bool on_lines = prints_on_lines(table_);
    const tblx_status s = print();
    if (!on_lines && !prints_on_lines(table_)) check_title_calls(s, measures, sections);
    return s;
  }

  // Invariant 10 after a print that gave status s.
  void check_title_calls(tblx_status s, bool measured, unsigned sections) const {
    // Short of memory the measuring pass may stop after some titles.
    if (s == TBLX_ERR_NO_MEMORY) return;
    // A print to a failing stream ran as one to a sound stream.
    const bool printed = s == TBLX_OK || s == TBLX_ERR_OUTPUT;
    size_t expected = 0;
    for (const column* c = table_->columns; printed && c != nullptr; c = c->next) {
      const recorded_title* r = recorded(c);
      if (r == nullptr) continue;
      const bool measure_call =
          measured && (aligns_on_char(c->title_justification) || table_->measure_titles != 0);
      const bool line_call = (sections & TBLX_PRINT_TITLES) != 0;
      const size_t count = size_t{measure_call} + size_t{line_call};
      if (r->calls.size() != count) {
        fail("number of a title callback's calls in a print",
             std::to_string(r->calls.size()) + " instead of " + std::to_string(count));
      }
      expected += count;
      if (measure_call) {
        const title_call& m = r->calls.front();
        const char* text = m.text != nullptr ? m.text : "";
        require(m.width <= width_of(c), "the measuring pass gave a title more than the width");
        require(table_->measure_titles == 0 || m.width >= c->min_width,
                "the measuring pass gave a measured title less than the minimum width");
        require(title_fits(c, text, table_->display_widths != 0),
                "a measured title is wider than the width measured with it");
      }
      if (line_call) {
        const uint64_t width = table_->style == TBLX_STYLE_RAW ? c->min_width : width_of(c);
        require(r->calls.back().width == width, "the title line's callback got another width");
      }
    }
    size_t made = 0;
    for (const recorded_title& r : titles_) made += r.calls.size();
    require(made == expected, "a title callback ran for no title of the print");
  }

  // The texts of prints and the images of the table are kept in buffers that
  // live as long as the session: fresh ones for every print made ASan map and
  // fault in new pages for the big ones, a fifth of the run time.

  // Prints the printable table with the given flags; what it wrote stays in
  // the session's stream until the next print.
  const std::string& print_now(unsigned flags) {
    memory_.clear();
    const tblx_status s = watched_print(flags & TBLX_PRINT_ALL,
                                        [&] { return tblx_print(table_, flags, memory_.get()); });
    if (s != TBLX_OK) fail("print of a printable table", std::to_string(s));
    printed_bytes_ += memory_.text().size();
    return memory_.text();
  }

  void print_into(std::string& text, unsigned flags) { text.assign(print_now(flags)); }

  void take_image(std::string& into) const {
    into.clear();
    support::append_image(into, table_);
  }

  // The print of all sections, printed again only when the table changed
  // since the last one.
  const std::string& print_of_table(const std::string& table_image) {
    if (!print_cache_valid_ || table_image != print_cache_image_) {
      print_into(print_cache_, TBLX_PRINT_ALL);
      print_cache_image_.assign(table_image);
      print_cache_valid_ = true;
    }
    return print_cache_;
  }

  // Invariant 6, with out the print of flags; needs current measurements.
  void check_sections_compose(unsigned flags, const std::string& out) {
    for (unsigned i = 0; i < 5; ++i) print_into(parts_[i], 1u << i);
    // Whether text is the prints of the given sections one after another.
    auto joins = [&](const std::string& text, unsigned sections) {
      size_t at = 0;
      for (unsigned i = 0; i < 5; ++i) {
        if ((sections >> i & 1) == 0) continue;
        if (text.compare(at, parts_[i].size(), parts_[i]) != 0) return false;
        at += parts_[i].size();
      }
      return at == text.size();
    };
    require(joins(print_now(TBLX_PRINT_ALL), TBLX_PRINT_ALL), "sections do not compose");
    require(joins(out, flags & TBLX_PRINT_ALL), "a print is not its sections' prints");
    const unsigned except = ~flags & TBLX_PRINT_ALL;
    memory_.clear();
    const tblx_status s =
        watched_print(except, [&] { return tblx_print_except(table_, flags, memory_.get()); });
    require(s == TBLX_OK && joins(memory_.text(), except), "print_except");
    require(print_now(flags | ~0u << 5) == out, "high flag bits change the output");
  }

  // Prints in every style with the given flags and checks invariants 4, 5
  // and 10 in each; invariants 6 and 8, which take a dozen prints, in every
  // style when every_style_repeats, else in one, the next of the four in turn
  // from one call to the next. Leaves the style as it was.
  void print_every_style(unsigned flags, bool every_style_repeats) {
    const support::StyleFields before_styles = support::style_fields(table_);
    const int repeated_style = next_repeated_style_;
    next_repeated_style_ = (next_repeated_style_ + 1) % 4;
    for (int s = TBLX_STYLE_SIMPLE; s <= TBLX_STYLE_FANCYW; ++s) {
      require(tblx_setstyle(table_, s) == TBLX_OK, "setstyle");
      const bool measures = !measurements_current(table_);
      print_into(out_, flags);
      if (prints_on_lines(table_)) {
        if (printed_bytes_ > print_budget) break;
        continue;
      }
      check_measurements(table_);
      check_layout(table_, flags, out_);
      // Past the budget a table has shown what its size can show.
      if (printed_bytes_ > print_budget) break;
      if (!every_style_repeats && s != repeated_style) continue;
      // A title may read differently in the print that measured; the prints
      // that compose are all made with current measurements.
      if (measures) print_into(out_, flags);
      check_sections_compose(flags, out_);
      // A stream that refuses every write: an output error when there was
      // something to write, and the same table.
      take_image(image_before_);
      std::clearerr(refusing_.stream);
      const tblx_status refused = watched_print(
          flags & TBLX_PRINT_ALL, [&] { return tblx_print(table_, flags, refusing_.stream); });
      require(refused == (out_.empty() ? TBLX_OK : TBLX_ERR_OUTPUT), "print to a refusing stream");
      take_image(image_after_);
      require(image_after_ == image_before_, "a refusing stream changed the table");
    }
    // Restored field by field: the separators are what they were too.
    support::restore_style_fields(table_, before_styles);
  }

  // ---- calls ----

  // A text that lives as long as the session, or null.
  const char* text_or_null() {
    const uint8_t b = in_.byte();
    if (b < 0x10) return nullptr;
    if (b < 0x20) return "";
    texts_.push_back(in_.text());
    return texts_.back().c_str();
  }

  // Calls f on the table or, now and then, on null; checks the status and,
  // when the call was refused, that nothing changed (invariants 1 and 2).
  template <typename F>
  void status_call(const char* name, codes allowed, F f) {
    const bool null_table = (in_.byte() & 0x3f) == 0;
    tblx_table* t = null_table ? nullptr : table_;
    take_image(image_before_);
    const bool compare_prints = !null_table && printable(table_) && measurements_current(table_);
    if (compare_prints) print_of_table(image_before_);
    const tblx_status s = f(t);
    check_status(s, allowed, null_table, name);
    if (s == TBLX_OK) return;
    take_image(image_after_);
    require(image_after_ == image_before_, name, "a refused call changed the table");
    if (compare_prints) {
      const std::string& printed_before = print_of_table(image_before_);
      require(print_now(TBLX_PRINT_ALL) == printed_before, name,
              "a refused call changed the printed table");
    }
  }

  void step() {
    const uint8_t kind = in_.byte();
    if (kind == 0xfe) {
      cancel_step();
      return;
    }
    // Only cells (long texts too; a long title or suffix is refused once
    // rows come) may come between a row's begin and its cancel for
    // invariant 12; any other step may change the table itself.
    const unsigned call = kind % 34;
    const bool cell_call = kind < 0xf0 ? (call >= 17 && call <= 20) || call == 30
                                       : kind == 0xf2 || number_step_of(kind) == 0;
    if (!cell_call) row_start_known_ = false;
    if (kind >= 0xf0 && kind < 0xf0 + bulk_steps) {
      bulk_step(kind - 0xf0u);
      return;
    }
    if (kind >= 0xf0 + bulk_steps && kind < 0xf0 + bulk_steps + line_steps) {
      line_step(kind - 0xf0u - bulk_steps);
      return;
    }
    constexpr unsigned first_number_step = 0xf0 + bulk_steps + line_steps;
    if (kind >= first_number_step && kind < first_number_step + number_steps) {
      number_step(kind - first_number_step);
      return;
    }
    if (kind == flush_step_byte) {
      flush_step();
      return;
    }
    switch (kind % 34) {
      case 0:
        status_call("begincolumn", {0, 1, 2, 5, 10, 12},
                    [&](tblx_table* t) { return tblx_begincolumn(t, in_.enumerated(1, 5)); });
        break;
      case 1: {
        const bool null_id = in_.byte() < 0x20;
        int32_t id = -7;
        status_call("begincolumn_columnid", {0, 1, 2, 5, 10, 12}, [&](tblx_table* t) {
          const tblx_status s =
              tblx_begincolumn_columnid(t, in_.enumerated(1, 5), null_id ? nullptr : &id);
          require(s == TBLX_OK ? id == table_->columns_tail->id : id == -7, "column ID written");
          require(!null_id || s == TBLX_ERR_INVALID_ARGUMENT, "null id accepted");
          return s;
        });
        break;
      }
      case 2:
        status_call("endcolumn", setter_codes, tblx_endcolumn);
        break;
      case 3: {
        const char* title = text_or_null();
        status_call("setcolumn_title", setter_codes,
                    [&](tblx_table* t) { return tblx_setcolumn_title(t, title); });
        break;
      }
      case 4: {
        static constexpr tblx_title_func funcs[] = {nullptr, title_null, title_text,
                                                    title_by_width};
        const tblx_title_func f = funcs[in_.byte() % std::size(funcs)];
        const char* arg = text_or_null();
        if (f == title_text && arg == nullptr) arg = "";
        status_call("setcolumn_titlefunc", setter_codes, [&](tblx_table* t) {
          return tblx_setcolumn_titlefunc(t, f, const_cast<char*>(arg));
        });
        break;
      }
      case 5:
        status_call("setcolumn_titlejust", {0, 1, 7, 10, 11}, [&](tblx_table* t) {
          return tblx_setcolumn_titlejust(t, in_.enumerated(1, 5));
        });
        break;
      case 6:
        status_call("setcolumn_celljust", {0, 1, 7, 10, 11}, [&](tblx_table* t) {
          return tblx_setcolumn_celljust(t, in_.enumerated(1, 5));
        });
        break;
      case 7: {
        // Negative, tiny, around the 32-blank chunk, or up to a few thousand.
        static constexpr int widths[] = {INT32_MIN, -1, 0, 1, 2, 31, 32, 33, 64, 65, 100};
        const uint8_t b = in_.byte();
        const int w =
            b < 0x80 ? widths[b % std::size(widths)] : static_cast<int>(in_.bits(2) % 5000);
        status_call("setcolumn_minwidth", setter_codes,
                    [&](tblx_table* t) { return tblx_setcolumn_minwidth(t, w); });
        break;
      }
      case 8:
        status_call("setcolumn_summarize", setter_codes, [&](tblx_table* t) {
          return tblx_setcolumn_summarize(t, static_cast<int>(in_.number()));
        });
        break;
      case 9:
        status_call("setcolumn_hexcase", {0, 1, 6, 10, 11},
                    [&](tblx_table* t) { return tblx_setcolumn_hexcase(t, in_.enumerated(1, 2)); });
        break;
      case 10:
        status_call("setcolumn_leadingzero", setter_codes, [&](tblx_table* t) {
          return tblx_setcolumn_leadingzero(t, static_cast<int>(in_.number()));
        });
        break;
      case 11: {
        const char* suffix = text_or_null();
        status_call("setcolumn_suffix", setter_codes,
                    [&](tblx_table* t) { return tblx_setcolumn_suffix(t, suffix); });
        break;
      }
      case 12:
        status_call("setcolumn_sortmode", setter_codes, [&](tblx_table* t) {
          return tblx_setcolumn_sortmode(t, static_cast<int>(in_.number()));
        });
        break;
      case 13:
        status_call("setcolumn_justchar", setter_codes, [&](tblx_table* t) {
          return tblx_setcolumn_justchar(t, static_cast<int>(in_.number()));
        });
        break;
      case 14:
        status_call("endheader", {0, 1, 10, 12}, tblx_endheader);
        break;
      case 15: {
        const bool null_id = in_.byte() < 0x20;
        int32_t id = -7;
        const uint32_t position = in_.enumerated(0, 3);
        status_call("getcolumnid", {0, 1, 9, 16}, [&](tblx_table* t) {
          const tblx_status s = tblx_getcolumnid(t, position, null_id ? nullptr : &id);
          require(s == TBLX_OK ? id > 0 : id == -7, "getcolumnid output");
          return s;
        });
        break;
      }
      case 16:
        begin_row_step();
        break;
      case 17: {
        const char* text = text_or_null();
        status_call("addcell_string", {0, 1, 2, 8, 13},
                    [&](tblx_table* t) { return tblx_addcell_string(t, text); });
        break;
      }
      case 18: {
        const int64_t v = in_.number();
        status_call("addcell_int", {0, 1, 2, 8, 13},
                    [&](tblx_table* t) { return tblx_addcell_int(t, v); });
        break;
      }
      case 19: {
        const auto v = static_cast<uint64_t>(in_.number());
        status_call("addcell_uint", {0, 1, 2, 8, 13},
                    [&](tblx_table* t) { return tblx_addcell_uint(t, v); });
        break;
      }
      case 20: {
        const auto v = static_cast<uint64_t>(in_.number());
        status_call("addcell_hex", {0, 1, 2, 8, 13},
                    [&](tblx_table* t) { return tblx_addcell_hex(t, v); });
        break;
      }
      case 21:
        status_call("endrow", {0, 1, 14}, tblx_endrow);
        break;
      case 22:
        if (in_.byte() == 0) {
          tblx_removerows(nullptr);
        } else {
          tblx_removerows(table_);
          require(rows_of(table_).empty() && tblx_getrowcount(table_) == 0, "removerows");
        }
        break;
      case 23:
        // Rare, so that tables grow.
        if (in_.byte() < 0x20) {
          tblx_clean(nullptr);
        } else if (in_.byte() < 0x20) {
          tblx_clean(table_);
          require(columns_of(table_).empty() && !table_->header_ended, "clean");
        }
        break;
      case 24: {
        const int order = static_cast<int>(in_.enumerated(0, 2));
        const int id = static_cast<int>(in_.enumerated(1, 6));
        const auto before = rows_of(table_);
        bool sorted = false;
        status_call("sort", {0, 1, 9, 15, 16, 17, 18}, [&](tblx_table* t) {
          const tblx_status s = tblx_sort(t, order, id);
          sorted = s == TBLX_OK;
          return s;
        });
        if (sorted) check_sorted(table_, order, id, before);
        break;
      }
      case 25: {
        const char* name = text_or_null();
        const bool null_place = in_.byte() < 0x20;
        int order = -7;
        const tblx_status s = tblx_parse_sortorder(null_place ? nullptr : &order, name);
        check_status(s, {0, 1, 3}, false, "parse_sortorder");
        require(s == TBLX_OK ? order >= 0 && order <= 2 : order == -7, "parse_sortorder output");
        break;
      }
      case 26:
        status_call("setstyle", {0, 1, 4}, [&](tblx_table* t) {
          return tblx_setstyle(t, static_cast<int>(in_.enumerated(0, 3)));
        });
        break;
      case 27: {
        static constexpr const char* names[] = {"raw", "simple", "fancy", "fancyw", "Fancy", "sim"};
        const uint8_t b = in_.byte();
        const char* name = b < 0xc0 ? names[b % std::size(names)] : text_or_null();
        status_call("setstylestr", {0, 1, 3},
                    [&](tblx_table* t) { return tblx_setstylestr(t, name); });
        break;
      }
      case 28:
        status_call("setsumreplace", {0, 1, 4}, [&](tblx_table* t) {
          // Read in a fixed order: argument evaluation order is unspecified.
          const uint32_t style = in_.enumerated(0, 3);
          const auto ch = static_cast<int>(in_.number());
          return tblx_setsumreplace(t, style, ch);
        });
        break;
      case 30:
        status_call("addcell_empty", {0, 1, 2, 13}, tblx_addcell_empty);
        break;
      case 31: {
        const int32_t id = static_cast<int32_t>(in_.enumerated(1, 6));
        const char* text = text_or_null();
        status_call("setsumtext", {0, 1, 2, 9, 16},
                    [&](tblx_table* t) { return tblx_setsumtext(t, id, text); });
        break;
      }
      case 32:
        status_call("setwidthmode", {0, 1}, [&](tblx_table* t) {
          return tblx_setwidthmode(t, static_cast<int32_t>(in_.enumerated(0, 1)));
        });
        break;
      case 33:
        status_call("setmeasuretitles", {0, 1}, [&](tblx_table* t) {
          return tblx_setmeasuretitles(t, static_cast<int>(in_.number()));
        });
        break;
      default:
        print_step();
        break;
    }
  }

  // A print with arbitrary flags to a memory stream, a refusing stream or
  // null; then, when the table is printable, every style.
  void print_step() {
    const uint8_t b = in_.byte();
    const unsigned flags = b < 0xe0 ? b % 32u : static_cast<unsigned>(in_.bits(4));
    const uint8_t how = in_.byte();
    const unsigned kind = how / 4 % 3;
    const unsigned sections = kind == 0   ? flags & TBLX_PRINT_ALL
                              : kind == 1 ? unsigned{TBLX_PRINT_ALL}
                                          : ~flags & TBLX_PRINT_ALL;
    auto print = [&](tblx_table* t, FILE* stream) {
      return watched_print(sections, [&] {
        switch (kind) {
          case 0:
            return tblx_print(t, flags, stream);
          case 1:
            return tblx_print_all(t, stream);
          default:
            return tblx_print_except(t, flags, stream);
        }
      });
    };
    status_call("print", print_codes, [&](tblx_table* t) {
      if (how % 4 == 0) {
        const tblx_status s = print(t, nullptr);
        require(s == TBLX_ERR_INVALID_ARGUMENT, "a null stream must give 1");
        return s;
      }
      memory_.clear();
      const tblx_status s = print(t, memory_.get());
      if (s != TBLX_OK) require(memory_.text().empty(), "a refused print wrote");
      return s;
    });
    if (printable(table_) && how % 4 != 0) print_every_style(flags, false);
  }

  // ---- a row begun, then cancelled (invariant 12) ----

  // The table's image without the note of where the open row began, which
  // only tblx_beginrow writes and tblx_cancelrow leaves as it is.
  // The image without the row start, and as if measured: a cancelled row
  // leaves the table to be measured again.
  void take_image_without_row_start(std::string& into) {
    const row_start kept = table_->before_row;
    const uint8_t stale = table_->layout_stale;
    table_->before_row = row_start{};
    table_->layout_stale = 1;
    take_image(into);
    table_->before_row = kept;
    table_->layout_stale = stale;
  }

  void begin_row_step() {
    const bool print_known = printable(table_) && measurements_current(table_);
    if (print_known) row_start_print_ = print_of_table(image_now());
    std::string image;
    take_image_without_row_start(image);
    bool begun = false;
    status_call("beginrow", {0, 1, 2, 9, 15}, [&](tblx_table* t) {
      const tblx_status s = tblx_beginrow(t);
      begun = t != nullptr && s == TBLX_OK;
      return s;
    });
    row_start_known_ = begun;
    row_start_printed_ = begun && print_known;
    if (begun) row_start_image_.swap(image);
  }

  void cancel_step() {
    const bool known = row_start_known_;
    row_start_known_ = false;
    bool cancelled = false;
    status_call("cancelrow", {0, 1, 14}, [&](tblx_table* t) {
      const tblx_status s = tblx_cancelrow(t);
      cancelled = t != nullptr && s == TBLX_OK;
      return s;
    });
    if (!cancelled) return;
    require(table_->open_row == nullptr, "cancelrow left a row open");
    if (!known) return;
    std::string image;
    take_image_without_row_start(image);
    require(image == row_start_image_, "cancelrow", "the table is not as before beginrow");
    // The print is measured again: a title callback may give another title
    // at each call, so only tables without one must print as before.
    if (row_start_printed_ && !has_title_callback(table_)) {
      require(print_now(TBLX_PRINT_ALL) == row_start_print_, "cancelrow",
              "the print is not as before beginrow");
    }
  }

  const std::string& image_now() {
    take_image(image_before_);
    return image_before_;
  }

  // ---- steps that build in one go what single calls reach rarely ----

  // Step bytes 0xf0 and up to this; the others select the single calls.
  static constexpr unsigned bulk_steps = 7;
  static constexpr unsigned line_steps = 3;

  // The calls of fields on several lines and width limits.
  void line_step(unsigned which) {
    switch (which) {
      case 0:
        status_call("setmultiline", {0, 1}, [&](tblx_table* t) {
          return tblx_setmultiline(t, static_cast<int>(in_.number()));
        });
        break;
      case 1: {
        const auto width = static_cast<unsigned>(static_cast<uint64_t>(in_.number()) % 300);
        status_call("setmaxwidth", {0, 1},
                    [&](tblx_table* t) { return tblx_setmaxwidth(t, width); });
        break;
      }
      default: {
        const auto width = static_cast<unsigned>(static_cast<uint64_t>(in_.number()) % 40);
        const int overflow = static_cast<int>(in_.enumerated(0, 2));
        status_call("setcolumn_maxwidth", setter_codes,
                    [&](tblx_table* t) { return tblx_setcolumn_maxwidth(t, width, overflow); });
        break;
      }
    }
  }

  static constexpr unsigned number_steps = 3;

  // Step 0xfd: tblx_flushrows with any sections, to a memory stream or
  // through a writer. A successful flush holds no rows, and the frozen
  // table's sums count every row ever added: a summed integer column's sum
  // after a flush is what it was before plus the rows flushed.
  static constexpr uint8_t flush_step_byte = 0xfd;

  void flush_step() {
    const unsigned sections = in_.byte();
    const bool through_writer = (in_.byte() & 1) != 0;
    const std::vector<wide_sum> expected = sums_after_flush();
    std::string written;
    bool flushed = false;
    status_call("flushrows", {0, 1, 2, 9, 15}, [&](tblx_table* t) {
      tblx_status s = TBLX_OK;
      if (through_writer) {
        const tblx_writer take = [](void* to, const char* data, size_t n) noexcept {
          static_cast<std::string*>(to)->append(data, n);
          return 0;
        };
        s = tblx_flushrows_to(t, sections, take, &written);
      } else {
        memory_.clear();
        s = tblx_flushrows(t, sections, memory_.get());
      }
      flushed = s == TBLX_OK;
      return s;
    });
    if (!flushed) return;
    require(table_->rows == nullptr && table_->flushed != nullptr, "a flush kept its rows");
    size_t i = 0;
    for (const column* c = table_->columns; c != nullptr; c = c->next, ++i) {
      const wide_sum& kept = table_->flushed->sums[i].sum;
      if (c->summarize == 0 || c->exact != nullptr) continue;
      require(kept.low == expected[i].low && kept.high == expected[i].high,
              "the flushed sum is not that of every row flushed");
    }
  }

  // The integer sums a flush keeps: those kept before and the rows held.
  std::vector<wide_sum> sums_after_flush() const {
    std::vector<wide_sum> sums;
    for (const column* c = table_->columns; c != nullptr; c = c->next) {
      sums.push_back(table_->flushed != nullptr ? table_->flushed->sums[sums.size()].sum
                                                : wide_sum{});
    }
    for (const row* r = table_->rows; r != nullptr; r = r->next) {
      size_t i = 0;
      support::for_each_cell(table_, r, [&](const column& c, const cell* x) {
        if (c.summarize != 0) sums[i].add(x->value(), c.type == TBLX_TYPE_INT);
        ++i;
      });
    }
    return sums;
  }

  // Which number step a step byte selects, or number_steps for none.
  static unsigned number_step_of(uint8_t kind) {
    constexpr unsigned first = 0xf0 + bulk_steps + line_steps;
    return kind >= first && kind < first + number_steps ? kind - first : number_steps;
  }

  // A double: the bits of a number, or one of the values that print apart.
  double any_double() {
    static constexpr double specials[] = {0.0,   -0.0,   0.5,     2.5,
                                          0.125, 1e-5,   9.99e-6, 1e16,
                                          1e300, 5e-324, -1e-320, 1.7976931348623157e308};
    const uint8_t b = in_.byte();
    if (b < 0x40) return specials[b % std::size(specials)];
    if (b < 0x50) return b % 3 == 0 ? std::nan("") : b % 3 == 1 ? HUGE_VAL : -HUGE_VAL;
    if (b < 0xa0) return static_cast<double>(in_.number()) / 100;
    return std::bit_cast<double>(static_cast<uint64_t>(in_.number()));
  }

  // The calls of double columns and of grouped digits.
  void number_step(unsigned which) {
    switch (which) {
      case 0: {
        const double v = any_double();
        status_call("addcell_double", {0, 1, 2, 8, 13},
                    [&](tblx_table* t) { return tblx_addcell_double(t, v); });
        break;
      }
      case 1:
        status_call("setcolumn_precision", setter_codes, [&](tblx_table* t) {
          // In 64 bits: enumerated may give any 32-bit value, which wraps into an int.
          return tblx_setcolumn_precision(t, static_cast<int>(int64_t{in_.enumerated(0, 19)} - 2));
        });
        break;
      default: {
        static constexpr char separators[] = {0, ',', '.', '\'', '_', ' ', 'x', '-', '0'};
        const uint8_t b = in_.byte();
        const char sep = b < 0xf0 ? separators[b % std::size(separators)] : static_cast<char>(b);
        status_call("setcolumn_grouping", setter_codes,
                    [&](tblx_table* t) { return tblx_setcolumn_grouping(t, sep); });
        break;
      }
    }
  }

  void bulk_step(unsigned which) {
    switch (which) {
      case 0:
        add_columns();
        break;
      case 1:
        add_full_row();
        break;
      case 2:
        use_long_text();
        break;
      case 3:
        set_wide_min_width();
        break;
      case 4:
        add_number_column_aligned_on_char();
        break;
      case 5:
        set_recorded_title();
        break;
      default:
        format_step();
        break;
    }
  }

  // Up to 40 columns of the types that a byte selects, two bits each.
  void add_columns() {
    const size_t count = 1 + size_t{in_.byte()} % 40;
    const uint8_t types = in_.byte();
    size_t have = columns_of(table_).size();
    for (size_t i = 0; i < count && have < max_bulk_columns; ++i, ++have) {
      const unsigned type = 1u + (types >> (2 * (i % 4)) & 3u);
      const tblx_status s = tblx_begincolumn(table_, type);
      check_status(s, {0, 2, 10, 12}, false, "begincolumn");
      if (s != TBLX_OK) return;
      require(tblx_endcolumn(table_) == TBLX_OK, "endcolumn of a new column");
    }
  }

  // A row with a cell of the right type in every column.
  void add_full_row() {
    const tblx_status begun = tblx_beginrow(table_);
    check_status(begun, {0, 2, 9, 15}, false, "beginrow");
    if (begun != TBLX_OK) return;
    for (const column* c : columns_of(table_)) {
      tblx_status s;
      if (c->type == TBLX_TYPE_STRING) {
        const std::string text = in_.text();
        s = tblx_addcell_string(table_, text.c_str());
      } else if (c->type == TBLX_TYPE_DOUBLE) {
        s = tblx_addcell_double(table_, any_double());
      } else {
        const int64_t v = in_.number();
        const auto u = static_cast<uint64_t>(v);
        s = c->type == TBLX_TYPE_INT    ? tblx_addcell_int(table_, v)
            : c->type == TBLX_TYPE_UINT ? tblx_addcell_uint(table_, u)
                                        : tblx_addcell_hex(table_, u);
      }
      check_status(s, {0, 2}, false, "addcell of the column's type");
    }
    check_status(tblx_endrow(table_), {0}, false, "endrow");
  }

  // A text of 4 to 12 KiB, a short text repeated, as a cell, a title or a
  // suffix: wider than the library's output buffer or not.
  void use_long_text() {
    const uint8_t use = in_.byte();
    std::string pattern = in_.text();
    if (pattern.empty()) pattern = "w";
    const size_t len = 4096 + in_.bits(2) % 8192;
    if (long_text_bytes_ + len > long_text_budget) return;
    long_text_bytes_ += len;
    std::string text;
    text.reserve(len + pattern.size());
    while (text.size() < len) text += pattern;
    text.resize(len);
    texts_.push_back(std::move(text));
    const char* p = texts_.back().c_str();
    switch (use % 3) {
      case 0:
        status_call("addcell_string", {0, 1, 2, 8, 13},
                    [&](tblx_table* t) { return tblx_addcell_string(t, p); });
        break;
      case 1:
        status_call("setcolumn_title", setter_codes,
                    [&](tblx_table* t) { return tblx_setcolumn_title(t, p); });
        break;
      default:
        status_call("setcolumn_suffix", setter_codes,
                    [&](tblx_table* t) { return tblx_setcolumn_suffix(t, p); });
        break;
    }
  }

  // Invariant 11: a format (or an unknown one), then a print in it through a
  // writer that may refuse after some calls; the format goes back to text.
  void format_step() {
    const auto format = static_cast<int>(in_.enumerated(0, 7));
    status_call("setformat", {0, 1}, [&](tblx_table* t) { return tblx_setformat(t, format); });
    const unsigned flags = in_.byte() % 32u;
    const uint8_t refuse_after = in_.byte();
    if (printable(table_)) {
      writer_log log;
      log.accept = refuse_after < 4 ? refuse_after : INT_MAX;
      // Each print starts the recorded titles afresh, as watched_print does;
      // their call counts differ by format and are not checked here. A print
      // of no section measures first, so that neither print measures and
      // the titles' first and later texts fall alike.
      memory_.clear();
      require(tblx_print(table_, 0, memory_.get()) == TBLX_OK, "a print in a format failed");
      const auto start_print = [&] {
        for (recorded_title& r : titles_) r.calls.clear();
        image_checks_left_ = image_checks_per_print;
      };
      start_print();
      const tblx_status s = tblx_print_to(table_, flags, writer_log::take, &log);
      start_print();
      memory_.clear();
      require(tblx_print(table_, flags, memory_.get()) == TBLX_OK, "a print in a format failed");
      const std::string& streamed = memory_.text();
      if (log.accept == INT_MAX) {
        require(s == TBLX_OK && log.text == streamed, "a writer got another print than a stream",
                "status " + std::to_string(s) + ", format " + std::to_string(table_->format) +
                    "\n" + log.text + "\n----\n" + streamed);
      } else {
        require(s == (log.calls > log.accept ? TBLX_ERR_OUTPUT : TBLX_OK) &&
                    log.calls <= log.accept + 1 &&
                    streamed.compare(0, log.text.size(), log.text) == 0,
                "a refusing writer");
      }
      if (table_->format == TBLX_FORMAT_JSON || table_->format == TBLX_FORMAT_JSONL) {
        check_json_bytes(streamed, flags);
      }
    }
    tblx_setformat(table_, TBLX_FORMAT_TEXT);
  }

  struct writer_log {
    std::string text;
    int calls = 0;
    int accept = INT_MAX;
    static int TBLX_CALL take(void* context, const char* data, size_t size) {
      auto* log = static_cast<writer_log*>(context);
      require(log->calls++ <= log->accept, "a writer was called after it refused");
      if (log->calls > log->accept) return 1;
      log->text.append(data, size);
      return 0;
    }
  };

  void check_json_bytes(const std::string& out, unsigned flags) const {
    const auto* p = reinterpret_cast<const unsigned char*>(out.data());
    for (size_t i = 0; i < out.size();) {
      require(p[i] >= 0x20 || p[i] == '\n', "a raw control byte in JSON");
      if (p[i] < 0x80) {
        ++i;
        continue;
      }
      const auto seq = display_width_detail::decode_sequence(p + i, out.size() - i);
      require(seq.len != 0, "JSON that is not UTF-8");
      i += seq.len;
    }
    if (table_->format == TBLX_FORMAT_JSONL && (flags & TBLX_PRINT_ROWS) != 0) {
      const auto lines = static_cast<size_t>(std::count(out.begin(), out.end(), '\n'));
      require(lines == rows_of(table_).size(), "JSON Lines without one line per row");
    }
  }

  // A minimum width around the output buffer's size or beyond it.
  void set_wide_min_width() {
    static constexpr int widths[] = {8126, 8127, 8158, 8159, 8160, 8161, 8191, 8192, 8193, 16384};
    const uint8_t b = in_.byte();
    const int w =
        b < 0x80 ? widths[b % std::size(widths)] : 8000 + static_cast<int>(in_.bits(2) % 4000);
    status_call("setcolumn_minwidth", setter_codes,
                [&](tblx_table* t) { return tblx_setcolumn_minwidth(t, w); });
  }

  // A number column whose cells are aligned on a character that its digits,
  // sign, "0x" or suffix may hold, so that numbers are split at it.
  void add_number_column_aligned_on_char() {
    static constexpr char chars[] = "-0123456789x.,k";
    static constexpr const char* suffixes[] = {nullptr, ".00", " kB", "-", "0", "x1", ",5"};
    const uint8_t b = in_.byte();
    const unsigned type = TBLX_TYPE_INT + b % 3u;
    const unsigned kind = TBLX_JUST_CHAR_FIRST + (b >> 2 & 1u);
    const char ch = chars[in_.byte() % (sizeof chars - 1)];
    const char* suffix = suffixes[in_.byte() % std::size(suffixes)];
    const tblx_status s = tblx_begincolumn(table_, type);
    check_status(s, {0, 2, 10, 12}, false, "begincolumn");
    if (s != TBLX_OK) return;
    require(tblx_setcolumn_celljust(table_, kind) == TBLX_OK &&
                tblx_setcolumn_justchar(table_, ch) == TBLX_OK &&
                tblx_setcolumn_suffix(table_, suffix) == TBLX_OK &&
                tblx_setcolumn_summarize(table_, b >> 3 & 1) == TBLX_OK &&
                tblx_setcolumn_leadingzero(table_, b >> 4 & 1) == TBLX_OK,
            "settings of an open column");
    if (b & 0x20) require(tblx_setcolumn_titlejust(table_, kind) == TBLX_OK, "titlejust");
    require(tblx_endcolumn(table_) == TBLX_OK, "endcolumn");
  }

  // A recorded title on the open column, often aligned on a character so
  // that the measuring pass calls it too.
  void set_recorded_title() {
    const uint8_t how = in_.byte();
    const uint8_t variant = in_.byte();
    const char* first = text_or_null();
    const char* later = (how & 0x80) != 0 ? text_or_null() : first;
    const uint8_t just = in_.byte();
    if (titles_.size() >= max_recorded_titles) return;
    titles_.push_back(recorded_title{first,
                                     later,
                                     static_cast<reentry>(how % reentry_kinds),
                                     variant,
                                     table_,
                                     &image_checks_left_,
                                     {}});
    recorded_title* r = &titles_.back();
    status_call("setcolumn_titlefunc", setter_codes,
                [&](tblx_table* t) { return tblx_setcolumn_titlefunc(t, title_recorded, r); });
    if (just < 0x80) {
      status_call("setcolumn_titlejust", {0, 1, 10, 11}, [&](tblx_table* t) {
        return tblx_setcolumn_titlejust(t, TBLX_JUST_CHAR_FIRST + just % 2u);
      });
    }
  }

  input& in_;
  tblx_table* table_;
  std::deque<std::string> texts_;  // titles, suffixes and cell texts outlive the table's use
  std::deque<recorded_title> titles_;
  memory_stream memory_;
  refusing_stream refusing_;
  size_t long_text_bytes_ = 0;
  unsigned image_checks_left_ = 0;
  size_t printed_bytes_ = 0;
  int next_repeated_style_ = TBLX_STYLE_SIMPLE;
  bool print_cache_valid_ = false;
  bool row_start_known_ = false;    // only cells since the open row began
  bool row_start_printed_ = false;  // row_start_print_ is the print then
  std::string row_start_image_;     // the table then (take_image_without_row_start)
  std::string row_start_print_;
  std::string print_cache_image_;
  std::string print_cache_;
  std::string out_;                         // the print of a print step's flags
  std::string parts_[5];                    // the prints of the single sections
  std::string image_before_, image_after_;  // around a call
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  input in(data, size);
  session s(in);
  s.run();
  // Queries that take a null table answer without touching it.
  require(tblx_getrowcount(nullptr) == 0 && tblx_isfancy(nullptr) == 0, "null queries");
  return 0;
}
