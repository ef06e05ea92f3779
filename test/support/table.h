// SPDX-License-Identifier: MIT
// Support shared by the tests, the benchmarks and the fuzz target: an owning
// table handle, tables built from column definitions and rows of values, a
// print captured as a string, and the few internal reads and writes that the
// public interface does not offer (the byte image of the records, the record
// lists, their invariants, a column's width pair, forcing a re-measure).
//
// Everything here works without GoogleTest: builders give the first failed
// call by value. With TABULIX_TEST_GTEST defined (the test executables), the
// make_table, add_rows and print_to_string forms turn a failure into a
// GoogleTest failure that names the call, its status and where it was made.
#ifndef TABULIX_TEST_SUPPORT_TABLE_H
#define TABULIX_TEST_SUPPORT_TABLE_H

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "flush.h"
#include "tabulix_internal.h"

#if defined(_WIN32)
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#endif

#ifdef TABULIX_TEST_GTEST
#include <gtest/gtest.h>
#endif

namespace support {

struct TableDeleter {
  void operator()(tblx_table* t) const noexcept { tblx_delete(t); }
};
using Table = std::unique_ptr<tblx_table, TableDeleter>;

// The flags of a whole print, as the print tests spell them.
inline constexpr unsigned ALL = TBLX_PRINT_ALL;

// ---- building tables ---------------------------------------------------------

// One column; a zero or null setting keeps the table's default.
struct ColDef {
  unsigned type;
  const char* title = nullptr;
  unsigned title_just = 0;
  unsigned cell_just = 0;
  int min_width = 0;
  bool sum = false;
  const char* suffix = nullptr;
  unsigned hex_case = 0;
  bool zeros = false;
  int just_char = 0;
  tblx_title_func title_func = nullptr;
  void* title_arg = nullptr;
  int sort_mode = 0;
  const char* sum_text = nullptr;  // set after the header is ended
  unsigned max_width = 0;
  int overflow = TBLX_OVERFLOW_CUT;
  int precision = -2;  // -1 to 17; -2 keeps the default
  char group = 0;      // digit group separator
};

// A cell value of any type; the value's type picks the tblx_addcell_* call,
// and type 0 (blank()) adds an empty cell.
struct Val {
  unsigned type;
  std::string text;
  uint64_t value = 0;
};
inline Val str(std::string text) { return {TBLX_TYPE_STRING, std::move(text), 0}; }
inline Val num(int64_t v) { return {TBLX_TYPE_INT, {}, static_cast<uint64_t>(v)}; }
inline Val unum(uint64_t v) { return {TBLX_TYPE_UINT, {}, v}; }
inline Val hex(uint64_t v) { return {TBLX_TYPE_HEX, {}, v}; }
inline Val dbl(double v) {
  uint64_t bits = 0;
  std::memcpy(&bits, &v, sizeof bits);
  return {TBLX_TYPE_DOUBLE, {}, bits};
}
inline Val blank() { return {0, {}, 0}; }

using Rows = std::vector<std::vector<Val>>;

// The call that failed and its status, for a builder's report.
inline std::string failed(const char* call, tblx_status s) {
  return std::string(call) + " gave " + std::to_string(s) + " (" + tblx_strerror(s) + ")";
}

// Returns the failure report from the enclosing builder when call fails.
#define TBLX_SUPPORT_TRY(call)                             \
  do {                                                     \
    const tblx_status status_ = (call);                    \
    if (status_ != TBLX_OK) return failed(#call, status_); \
  } while (false)

// Declares one column; the first failed call, or an empty text.
inline std::string declare(tblx_table* t, const ColDef& d) {
  TBLX_SUPPORT_TRY(tblx_begincolumn(t, d.type));
  if (d.title != nullptr) TBLX_SUPPORT_TRY(tblx_setcolumn_title(t, d.title));
  if (d.title_func != nullptr) {
    TBLX_SUPPORT_TRY(tblx_setcolumn_titlefunc(t, d.title_func, d.title_arg));
  }
  if (d.title_just != 0) TBLX_SUPPORT_TRY(tblx_setcolumn_titlejust(t, d.title_just));
  if (d.cell_just != 0) TBLX_SUPPORT_TRY(tblx_setcolumn_celljust(t, d.cell_just));
  if (d.min_width != 0) TBLX_SUPPORT_TRY(tblx_setcolumn_minwidth(t, d.min_width));
  if (d.sum) TBLX_SUPPORT_TRY(tblx_setcolumn_summarize(t, 1));
  if (d.suffix != nullptr) TBLX_SUPPORT_TRY(tblx_setcolumn_suffix(t, d.suffix));
  if (d.hex_case != 0) TBLX_SUPPORT_TRY(tblx_setcolumn_hexcase(t, d.hex_case));
  if (d.zeros) TBLX_SUPPORT_TRY(tblx_setcolumn_leadingzero(t, 1));
  if (d.just_char != 0) TBLX_SUPPORT_TRY(tblx_setcolumn_justchar(t, d.just_char));
  if (d.sort_mode != 0) TBLX_SUPPORT_TRY(tblx_setcolumn_sortmode(t, d.sort_mode));
  if (d.max_width != 0) TBLX_SUPPORT_TRY(tblx_setcolumn_maxwidth(t, d.max_width, d.overflow));
  if (d.precision != -2) TBLX_SUPPORT_TRY(tblx_setcolumn_precision(t, d.precision));
  if (d.group != 0) TBLX_SUPPORT_TRY(tblx_setcolumn_grouping(t, d.group));
  TBLX_SUPPORT_TRY(tblx_endcolumn(t));
  return {};
}

// Adds one cell of the value's type.
inline std::string add_cell(tblx_table* t, const Val& v) {
  switch (v.type) {
    case TBLX_TYPE_STRING:
      TBLX_SUPPORT_TRY(tblx_addcell_string(t, v.text.c_str()));
      break;
    case TBLX_TYPE_INT:
      TBLX_SUPPORT_TRY(tblx_addcell_int(t, static_cast<int64_t>(v.value)));
      break;
    case TBLX_TYPE_UINT:
      TBLX_SUPPORT_TRY(tblx_addcell_uint(t, v.value));
      break;
    case TBLX_TYPE_HEX:
      TBLX_SUPPORT_TRY(tblx_addcell_hex(t, v.value));
      break;
    case TBLX_TYPE_DOUBLE: {
      double d = 0;
      std::memcpy(&d, &v.value, sizeof d);
      TBLX_SUPPORT_TRY(tblx_addcell_double(t, d));
      break;
    }
    default:
      TBLX_SUPPORT_TRY(tblx_addcell_empty(t));
      break;
  }
  return {};
}

// Sets the summary texts of the columns that have one; the header is ended.
inline std::string set_sum_texts(tblx_table* t, const std::vector<ColDef>& cols) {
  for (size_t i = 0; i < cols.size(); ++i) {
    if (cols[i].sum_text == nullptr) continue;
    int32_t id = 0;
    TBLX_SUPPORT_TRY(tblx_getcolumnid(t, static_cast<uint32_t>(i), &id));
    TBLX_SUPPORT_TRY(tblx_setsumtext(t, id, cols[i].sum_text));
  }
  return {};
}

inline std::string append_row(tblx_table* t, const std::vector<Val>& cells) {
  TBLX_SUPPORT_TRY(tblx_beginrow(t));
  for (size_t i = 0; i < cells.size(); ++i) {
    if (std::string f = add_cell(t, cells[i]); !f.empty())
      return "cell " + std::to_string(i) + ": " + f;
  }
  TBLX_SUPPORT_TRY(tblx_endrow(t));
  return {};
}

#undef TBLX_SUPPORT_TRY

// Adds the rows; the first failed call with its row and cell, or an empty text.
inline std::string append_rows(tblx_table* t, const Rows& rows) {
  for (size_t i = 0; i < rows.size(); ++i) {
    if (std::string f = append_row(t, rows[i]); !f.empty())
      return "row " + std::to_string(i) + ", " + f;
  }
  return {};
}

// A table and the first call that failed while it was built (empty: none).
struct Built {
  Table table;
  std::string failure;
};

// A new table with the columns declared and the header still open.
inline Built build_header(const std::vector<ColDef>& cols) {
  Built b{Table(tblx_new()), {}};
  if (!b.table) return {nullptr, "tblx_new gave null"};
  for (size_t i = 0; i < cols.size() && b.failure.empty(); ++i) {
    b.failure = declare(b.table.get(), cols[i]);
    if (!b.failure.empty()) b.failure = "column " + std::to_string(i) + ": " + b.failure;
  }
  return b;
}

// A new table with the given header (ended) and rows.
inline Built build_table(const std::vector<ColDef>& cols, const Rows& rows = {}) {
  Built b = build_header(cols);
  if (!b.failure.empty()) return b;
  if (const tblx_status s = tblx_endheader(b.table.get()); s != TBLX_OK) {
    b.failure = failed("tblx_endheader", s);
    return b;
  }
  b.failure = set_sum_texts(b.table.get(), cols);
  if (b.failure.empty()) b.failure = append_rows(b.table.get(), rows);
  return b;
}

// An operation with fixed arguments as a plain function of the table, for case tables.
template <auto Function, auto... Arguments>
tblx_status call(tblx_table* t) {
  return Function(t, Arguments...);
}

// ---- capturing output --------------------------------------------------------

#if defined(_WIN32)
// A fresh temporary file, opened for update in binary mode and deleted when
// closed. msvcrt's tmpfile() names its files by a counter of the process in
// the drive's root, so two test programs at once may share one file;
// GetTempFileName creates a file no other process has.
inline FILE* open_temporary_file() {
  char dir[MAX_PATH + 1];
  char name[MAX_PATH + 1];
  const DWORD n = GetTempPathA(sizeof dir, dir);
  if (n == 0 || n > sizeof dir || GetTempFileNameA(dir, "tbx", 0, name) == 0) return nullptr;
  return std::fopen(name, "w+bD");
}

// Everything write(stream) put on a fresh temporary file. Windows has no
// in-memory stream; the file is binary, so no LF becomes CR LF.
template <typename Write>
std::string capture(Write write) {
  FILE* stream = open_temporary_file();
  if (stream == nullptr) std::abort();  // no temporary file for the test itself
  write(stream);
  std::rewind(stream);
  std::string out;
  char block[4096];
  for (size_t got; (got = std::fread(block, 1, sizeof block, stream)) != 0;) out.append(block, got);
  std::fclose(stream);
  return out;
}
#else
// Everything write(stream) put on a fresh in-memory stream.
template <typename Write>
std::string capture(Write write) {
  char* data = nullptr;
  size_t size = 0;
  FILE* stream = open_memstream(&data, &size);
  if (stream == nullptr) std::abort();  // no memory for the test itself
  write(stream);
  std::fclose(stream);
  std::string out(data, size);
  std::free(data);
  return out;
}
#endif

// What a print wrote, and its status.
struct Printed {
  tblx_status status;
  std::string text;
};

inline Printed print_capture(tblx_table* t, unsigned flags = TBLX_PRINT_ALL) {
  Printed p{TBLX_OK, {}};
  p.text = capture([&](FILE* s) { p.status = tblx_print(t, flags, s); });
  return p;
}

// A stream that takes the first `limit` bytes and then refuses every write;
// limit 0 refuses them all, SIZE_MAX none. Counts the writes that reach it.
struct FailingSink {
  size_t limit;
  std::string got;
  int writes = 0;
};

#if defined(_WIN32)
// Windows has no streams with caller-made write functions: none is made, and
// the tests that need one skip (TABULIX_SKIP_WITHOUT_FAILING_STREAM).
inline FILE* open_failing(FailingSink*) { return nullptr; }
#else
inline FILE* open_failing(FailingSink* sink) {
  cookie_io_functions_t io{};
  io.write = [](void* cookie, const char* bytes, size_t n) -> ssize_t {
    auto* s = static_cast<FailingSink*>(cookie);
    ++s->writes;
    const size_t room = s->limit - std::min(s->limit, s->got.size());
    if (room == 0) return 0;  // failure: glibc takes a negative count as bytes written
    const size_t take = std::min(room, n);
    s->got.append(bytes, take);
    return static_cast<ssize_t>(take);
  };
  return fopencookie(sink, "w", io);
}
#endif

// ---- internal records --------------------------------------------------------

inline std::vector<const column*> columns_of(const tblx_table* t) {
  std::vector<const column*> cols;
  for (const column* c = t->columns; c != nullptr; c = c->next) cols.push_back(c);
  return cols;
}

inline std::vector<const row*> rows_of(const tblx_table* t) {
  std::vector<const row*> rows;
  for (const row* r = t->rows; r != nullptr; r = r->next) rows.push_back(r);
  return rows;
}

// The first cell of a row (the shared empty_cell when it is empty), or null.
inline const cell* first_cell(const row* r) { return cell_walk(r->cells).get_or_null(); }

// Calls visit(column, cell) for every cell of a row, in order: the shared
// empty_cell for an empty one.
template <typename Visit>
void for_each_cell(const tblx_table* t, const row* r, Visit visit) {
  const column* col = t->columns;
  for (cell_walk w(r->cells); w.more() && col != nullptr; w.step(*col), col = col->next) {
    visit(*col, w.get());
  }
}

inline std::vector<const cell*> cells_of(const tblx_table* t, const row* r) {
  std::vector<const cell*> cells;
  for_each_cell(t, r, [&cells](const column&, const cell* c) { cells.push_back(c); });
  return cells;
}

// The bytes of a row's cell as the row holds them: none for an empty cell.
inline size_t stored_size(const column& col, const cell* c) {
  if (c->empty()) return 0;
  return col.type == TBLX_TYPE_STRING ? string_cell_size(c->str.len) : number_cell_size;
}

// A string cell made by hand and laid out as a table stores one, its text
// behind the record, for tests that hand cells straight to the renderer.
class TextCell {
 public:
  explicit TextCell(const std::string& text)
      : words_((std::max(sizeof(cell), string_cell_size(text.size())) + 7) / 8) {
    get().str.len = static_cast<uint32_t>(text.size());
    std::copy(text.begin(), text.end(), get().str.text);
  }
  cell& get() { return *reinterpret_cast<cell*>(words_.data()); }

 private:
  std::vector<uint64_t> words_;  // zero-filled, aligned as the arena aligns records
};

template <typename Record>
void append_bytes(std::string& out, const Record& record) {
  out.append(reinterpret_cast<const char*>(&record), sizeof record);
}

// Every byte of the table, column and row records, and of the cells as their
// rows hold them (the headers with their empty marks included): equal images
// show that a call changed nothing.
inline std::string image(const tblx_table* t) {
  std::string out;
  if (t == nullptr) return out;
  append_bytes(out, *t);
  const auto cols = columns_of(t);
  for (const column* c : cols) append_bytes(out, *c);
  for (const row* r : rows_of(t)) {
    append_bytes(out, *r);
    if (r->cells != nullptr) append_bytes(out, *r->cells);
    for_each_cell(t, r, [&out](const column& col, const cell* c) {
      out.push_back(c->empty() ? 'e' : 'c');
      out.append(reinterpret_cast<const char*>(c), stored_size(col, c));
    });
  }
  return out;
}

// image(t) appended to out without building the record lists, in one
// allocation: for callers that take many images, such as the fuzz target
// around every call.
inline void append_image(std::string& out, const tblx_table* t) {
  if (t == nullptr) return;
  // Two walks: the first sizes the image, the second copies the records.
  auto walk = [t](auto&& take) {
    take(t, sizeof *t);
    for (const column* c = t->columns; c != nullptr; c = c->next) take(c, sizeof *c);
    for (const row* r = t->rows; r != nullptr; r = r->next) {
      take(r, sizeof *r);
      if (r->cells != nullptr) take(r->cells, sizeof *r->cells);
      for_each_cell(t, r, [&take](const column& col, const cell* c) {
        take(c, c->empty() ? 1 : stored_size(col, c));
      });
    }
  };
  size_t size = 0;
  walk([&size](const void*, size_t n) { size += n; });
  size_t at = out.size();
  out.resize(at + size);
  walk([&](const void* bytes, size_t n) {
    std::memcpy(&out[at], bytes, n);
    at += n;
  });
}

// The first broken invariant of the record lists, or an empty text: the lists
// end at their tails, column IDs grow below the counter, the open column and
// row are the last ones, the row count is the number of ended rows, and no
// row holds more cells than there are columns.
inline std::string record_faults(const tblx_table* t) {
  const auto cols = columns_of(t);
  if (t->columns_tail != (cols.empty() ? nullptr : cols.back())) return "columns_tail is not last";
  for (size_t i = 0; i < cols.size(); ++i) {
    if (cols[i]->id <= 0 || cols[i]->id >= t->next_column_id) return "column ID not below counter";
    if (i > 0 && cols[i]->id <= cols[i - 1]->id) return "column IDs do not grow";
    if (cols[i]->type < TBLX_TYPE_STRING || cols[i]->type > TBLX_TYPE_HEX) return "column type";
  }
  if (t->open_column != nullptr && t->open_column != t->columns_tail) {
    return "the open column is not the last";
  }
  if (t->header_ended && t->open_column != nullptr) return "open column after the header";
  const auto rows = rows_of(t);
  if (t->rows_tail != (rows.empty() ? nullptr : rows.back())) return "rows_tail is not last";
  if (t->open_row != nullptr && t->open_row != t->rows_tail) return "the open row is not the last";
  // Rows that a flush wrote and freed still count.
  const size_t flushed = t->flushed != nullptr ? t->flushed->rows : 0;
  const size_t ended = rows.size() - (t->open_row != nullptr ? 1 : 0) + flushed;
  if (t->row_count < 0 || static_cast<size_t>(t->row_count) != ended) {
    return "row count is not the number of ended rows";
  }
  for (const row* r : rows) {
    if (r->cells != nullptr && r->cells->count > cols.size()) {
      return "a row holds more cells than there are columns";
    }
  }
  return {};
}

// The measured width pair (up to and after the alignment point) of the
// column at a 0-based position.
inline std::pair<uint64_t, uint64_t> widths(const tblx_table* t, size_t position) {
  const column* c = columns_of(t).at(position);
  return {c->width_lead, c->width_tail};
}

// A width pair as widths() gives it.
inline std::pair<uint64_t, uint64_t> width_pair(uint64_t lead, uint64_t tail) {
  return {lead, tail};
}

// The style and the separator texts it left; tblx_setstyle cannot put back
// the texts that the simple and raw styles keep from an earlier fancy style.
struct StyleFields {
  int32_t style;
  uint8_t fancy;
  const char* separator;
  const char* junction;
};

inline StyleFields style_fields(const tblx_table* t) {
  return {t->style, t->fancy, t->column_separator, t->rule_junction};
}

inline void restore_style_fields(tblx_table* t, const StyleFields& f) {
  t->style = f.style;
  t->fancy = f.fancy;
  t->column_separator = f.separator;
  t->rule_junction = f.junction;
}

// Makes the next print measure again, as any change to the table does.
inline void force_remeasure(tblx_table* t) { t->layout_stale = 1; }

// ---- GoogleTest forms --------------------------------------------------------

#ifdef TABULIX_TEST_GTEST

#if defined(_WIN32)
#define TABULIX_SKIP_WITHOUT_FAILING_STREAM() GTEST_SKIP() << "no failing stream on Windows"
#else
#define TABULIX_SKIP_WITHOUT_FAILING_STREAM() static_cast<void>(0)
#endif

// The built table; a failed call while building it fails the test.
inline Table expect_built(Built b) {
  EXPECT_EQ("", b.failure) << "building a test table";
  return std::move(b.table);
}

inline Table make_table(const std::vector<ColDef>& cols, const Rows& rows = {}) {
  return expect_built(build_table(cols, rows));
}

inline Table make_open_header(const std::vector<ColDef>& cols) {
  return expect_built(build_header(cols));
}

inline void add_rows(tblx_table* t, const Rows& rows) {
  EXPECT_EQ("", append_rows(t, rows)) << "adding test rows";
}

inline std::string print_to_string(tblx_table* t, unsigned flags = TBLX_PRINT_ALL) {
  Printed p = print_capture(t, flags);
  EXPECT_EQ(TBLX_OK, p.status) << "print with flags " << flags;
  return std::move(p.text);
}

#endif  // TABULIX_TEST_GTEST

}  // namespace support

#endif  // TABULIX_TEST_SUPPORT_TABLE_H
