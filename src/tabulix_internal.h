// SPDX-License-Identifier: MIT
// Records of the table and the helpers that the library's source files share.
// Nothing here is exported; the public interface is include/tabulix.h.
#ifndef TABULIX_INTERNAL_H
#define TABULIX_INTERNAL_H

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "arena.h"
#include "exact_sum.h"
#include "tabulix.h"

// Defines one exported function: C linkage, default visibility, never throws.
#define TBLX_EXPORT extern "C" TBLX_API

// The records' tags are those the public header declares (tblx_column,
// tblx_row, tblx_cell); the library's own code names them by their short
// names.
struct tblx_column;
struct tblx_row;
struct tblx_cell;
using column = tblx_column;
using row = tblx_row;
using cell = tblx_cell;

// A column's sum, exact in 128 bits: two 64-bit words of a two's complement
// number, so that no sum of 64-bit values wraps (2^64 cells would be needed).
// Adding a cell costs two additions and a carry: int cells count with their
// sign extended into the high word, uint and hex cells as they are.
struct wide_sum {
  uint64_t low;
  uint64_t high;

  void add(uint64_t value, bool is_signed) noexcept {
    low += value;
    const uint64_t carry = low < value ? 1u : 0u;
    const uint64_t extension = (0u - (value >> 63)) & (0u - uint64_t{is_signed});
    high += carry + extension;
  }
  // Whether the sum is a value of the column's own 64-bit type: the high
  // word is all sign (int) or zero (uint, hex).
  [[nodiscard]] bool fits_word(bool is_signed) const noexcept {
    return high == (is_signed ? 0u - (low >> 63) : 0u);
  }
};

struct tblx_column {
  column* next;                 // following column of the header, or null
  int32_t type;                 // TBLX_TYPE_*
  uint32_t min_width;           // smallest width in characters
  uint64_t width_lead;          // measured width up to and including the alignment point
  uint64_t width_tail;          // measured width after the alignment point
  tblx_title_func title_func;   // produces the title text
  void* title_arg;              // argument handed to title_func
  int32_t title_justification;  // TBLX_JUST_* of the title
  int32_t cell_justification;   // TBLX_JUST_* of cells and of the sum
  int32_t hex_case;             // TBLX_HEX_*; used by hex columns only
  int32_t sort_mode;            // TBLX_SORTMODE_* bits
  const char* suffix;           // caller's text written after numbers and sums
  uint32_t suffix_len;          // bytes of suffix, taken when it was set
  int32_t leading_zeros;        // nonzero: zero-fill hex digits (hex columns only)
  int32_t summarize;            // nonzero: summed and shown in the summary line
  wide_sum sum;                 // exact sum of the cells, signed in int columns
  char* sum_text;               // own copy of the summary line's text, or null
  uint32_t sum_text_len;        // bytes of sum_text
  int32_t id;                   // unique in the table's lifetime, from 1
  unsigned char justify_char;   // alignment character of TBLX_JUST_CHAR_*
  uint8_t wrap;                 // 1: texts wider than max_width wrap (TBLX_OVERFLOW_WRAP)
  uint8_t unaligned;            // 1: lines placed left, as aligned they would not fit the limit
  uint32_t max_width;           // widest a string column may be, 0: no limit
  uint32_t fit_width;           // width the table's width limit gave, 0: none
  char group_separator;         // between groups of integer digits; 0: not grouped
  uint8_t special_text;         // 1: a double column or grouped digits (make_special_number_text)
  int32_t precision;            // decimals of a double column; -1: the shortest text
  exact_sum* exact;             // a double column's accumulator, owned; null otherwise
  uint64_t double_sum;          // bits of a double column's rounded sum
};

// The text of a string cell: its length, then its bytes and a NUL. They start
// in the record and run on past it, into the rest of the cell as laid out in
// its row, so `text` is declared with one element (the idiom that compilers
// and sanitizers take for a trailing array of any length). A named type: an
// unnamed one inside the anonymous union below is a compiler extension that
// clang's -Wpedantic rejects. Not copyable: a copy would keep only the first
// bytes of the text.
struct cell_text {
  uint32_t len;  // bytes of text without its NUL
  char text[1];  // the cell's own copy

  cell_text() = default;
  cell_text(const cell_text&) = delete;
  cell_text(cell_text&&) = delete;
  cell_text& operator=(const cell_text&) = delete;
  cell_text& operator=(cell_text&&) = delete;
  ~cell_text() = default;
};

// A cell: 8 bytes of a number, or a string cell's length, text and NUL. The
// cells of a row lie back to back (row_cells), 4-aligned, so a number is
// read through memcpy: an 8-byte load on the machines that allow it
// unaligned, and no fault where they do not.
//
// An empty cell (a missing value) takes no room in its row: its row marks it
// (row_cells), and a walk over the row hands out the shared empty_cell in its
// place, whose content is zero: an empty text of length 0 in a string column,
// a value that adds nothing to a sum.
struct tblx_cell {
  union {
    unsigned char bytes[8];  // numeric cells: int cells hold the two's complement
                             // bits, double cells the bits of the double
    cell_text str;           // string cells
  };

  [[nodiscard]] uint64_t value() const noexcept {
    uint64_t v = 0;
    std::memcpy(&v, bytes, sizeof v);
    return v;
  }
  void set_value(uint64_t v) noexcept { std::memcpy(bytes, &v, sizeof v); }
  [[nodiscard]] bool empty() const noexcept;
};

// The empty cell that walks hand out for every empty cell of a row.
extern const cell empty_cell;

inline bool tblx_cell::empty() const noexcept { return this == &empty_cell; }

// The cells of a row, in one piece carved from the table's cell arena: this
// header, then the cells in column order, each rounded up to 4 bytes. Empty
// cells are bits of a mark word and take no room; the first 32 cells' word
// is in the header, and each further group of 32 cells starts with its own.
// A row ended early just holds fewer cells than the table has columns.
//
// A cell's size follows from its column's type and, for a string, its
// length: no cell keeps a link to the next, so every walk over the cells
// goes through cell_walk, which knows the layout.
struct row_cells {
  uint32_t count;    // cells of the row, the empty ones included
  uint32_t empties;  // bit i: cell i is empty (the first 32 cells)
};

constexpr uint32_t cells_per_mark_word = 32;

// Bytes of a string cell of a text of `len` bytes: the length, the text, its
// NUL, rounded up to 4. The caller makes sure that the sum does not wrap.
constexpr size_t string_cell_size(size_t len) noexcept {
  return (sizeof(uint32_t) + len + 1 + 3) & ~size_t{3};
}

// Bytes of a present number cell.
constexpr size_t number_cell_size = 8;
static_assert(string_cell_size(0) == number_cell_size, "present_cell_size sizes numbers so");

// What cell_walk::take needs to know of a column to size its cells: all ones
// for a string column, whose cell's size follows from its length, zero for a
// number column.
inline uint32_t cell_sizer(const column& col) noexcept {
  return col.type == TBLX_TYPE_STRING ? ~uint32_t{0} : 0u;
}

// Bytes of the present cell at `at`, sized by its column's cell_sizer
// without a branch: a number's first bytes masked off read as the length of
// an empty text, whose cell is 8 bytes too.
inline size_t present_cell_size(const char* at, uint32_t sizer) noexcept {
  uint32_t len = 0;
  std::memcpy(&len, at, sizeof len);
  return string_cell_size(len & sizer);
}

// Where a string cell's text starts, from the start of the cell.
constexpr size_t cell_text_offset = offsetof(cell_text, text);

// A cursor over the cells of a row, column by column: while more(), get() is
// the cell of the current column (empty_cell for an empty one), and step(col)
// moves past it to the next column, given the current column (whose type
// sizes its cell).
class cell_walk {
 public:
  explicit cell_walk(const row_cells* cells) noexcept {
    if (cells == nullptr) return;
    left_ = cells->count;
    marks_ = cells->empties | group_end;
    at_ = reinterpret_cast<const char*>(cells + 1);
  }

  [[nodiscard]] const cell* get() const noexcept {
    return (marks_ & 1u) != 0 ? &empty_cell : reinterpret_cast<const cell*>(at_);
  }
  // get(), or null once the row has no more cells.
  [[nodiscard]] const cell* get_or_null() const noexcept { return more() ? get() : nullptr; }
  // Whether the row has a cell for the current column.
  [[nodiscard]] bool more() const noexcept { return left_ != 0; }
  // Whether the row has a cell after the current one.
  [[nodiscard]] bool has_next() const noexcept { return left_ > 1; }

  void step(const column& col) noexcept;

  // Moves past the next `room` cells at most, as many steps would, and puts
  // them (empty_cell for an empty one) in `out`; gives how many it took,
  // fewer only where the row ends. sizers[i] is the cell_sizer of the ith
  // of their columns. The hot row walks take a row's cells this way: a run
  // of cells without empty ones costs no test per cell.
  size_t take(const uint32_t* sizers, const cell** out, size_t room) noexcept;

 private:
  // Moves past a cell that is present, given its column's cell_sizer.
  void pass_sized(uint32_t sizer) noexcept { at_ += present_cell_size(at_, sizer); }
  // Once a group has ended and the row goes on: the next group's mark word.
  void enter_next_group() noexcept {
    if (marks_ != 1 || left_ == 0) return;
    uint32_t word = 0;
    std::memcpy(&word, at_, sizeof word);
    marks_ = word | group_end;
    at_ += sizeof word;
  }

  // Above a group's marks: once shifted down to bit 0, the group has ended.
  static constexpr uint64_t group_end = uint64_t{1} << cells_per_mark_word;

  const char* at_ = nullptr;  // the current cell when it is present
  uint64_t marks_ = 0;        // empty marks from the current cell on, then group_end
  uint32_t left_ = 0;         // cells from the current one on
};

inline void cell_walk::step(const column& col) noexcept {
  if ((marks_ & 1u) == 0) pass_sized(cell_sizer(col));
  marks_ >>= 1;
  --left_;
  enter_next_group();
}

// The common case first: a row that has no empty cell among the 32 of its
// first group, whose cells up to the room's end, the row's or the group's
// are taken without a test of their marks. The rest go cell by cell.
inline size_t cell_walk::take(const uint32_t* sizers, const cell** out, size_t room) noexcept {
  size_t taken = 0;
  if (marks_ == group_end) {
    const size_t run = std::min<size_t>(std::min<size_t>(room, left_), cells_per_mark_word);
    for (; taken < run; ++taken) {
      out[taken] = reinterpret_cast<const cell*>(at_);
      pass_sized(sizers[taken]);
    }
    marks_ >>= run;
    left_ -= static_cast<uint32_t>(run);
    enter_next_group();
  }
  for (; taken < room && left_ != 0; ++taken) {
    out[taken] = get();
    if ((marks_ & 1u) == 0) pass_sized(sizers[taken]);
    marks_ >>= 1;
    --left_;
    enter_next_group();
  }
  return taken;
}

// The cell of the `position`th column of a row (from 0), as cell_walk gives
// it; null when the row ends before. A sort's key lookups take the short
// way, by sizes alone, when the key lies in a first group without empty
// cells.
inline const cell* cell_at(const row_cells* cells, const column* first, size_t position) noexcept {
  if (cells != nullptr && cells->empties == 0 && position < cells->count &&
      position < cells_per_mark_word) {
    const char* at = reinterpret_cast<const char*>(cells + 1);
    for (const column* col = first; position != 0; --position, col = col->next) {
      at += present_cell_size(at, cell_sizer(*col));
    }
    return reinterpret_cast<const cell*>(at);
  }
  cell_walk walk(cells);
  const column* col = first;
  for (size_t i = 0; i < position && walk.more(); ++i, col = col->next) walk.step(*col);
  return walk.get_or_null();
}

// What a table that streams keeps of the rows it flushed (flush.cpp): the
// sums of every column over them. Allocated by the first tblx_flushrows,
// which freezes the layout; freed when the table's rows are removed.
struct flushed_sums;

struct tblx_row {
  row* next;         // following row, or null
  row_cells* cells;  // the row's cells, or null before its first
};

// What tblx_beginrow() found, for tblx_cancelrow() to go back to.
struct row_start {
  arena row_store;
  arena cell_store;
  row* rows_tail;
};

// Indexes of tblx_table::sum_filler.
enum filler_index { FILLER_RAW = 0, FILLER_SIMPLE = 1, FILLER_FANCY = 2 };

struct tblx_table {
  uint8_t header_ended;                // 1 once tblx_endheader succeeded
  uint8_t layout_stale;                // 1 when widths and sums must be measured again
  uint8_t fancy;                       // 1 when the style draws separators and rules
  uint8_t busy;                        // 1 while a print (and its measuring pass) runs
  uint8_t display_widths;              // 1: widths count terminal columns (TBLX_WIDTH_DISPLAY)
  uint8_t measure_titles;              // 1: every title counts in its column's width
  uint8_t format;                      // TBLX_FORMAT_*
  int32_t style;                       // TBLX_STYLE_*
  column* columns;                     // the header, in declaration order
  column* columns_tail;                // last column
  column* open_column;                 // column being declared, or null
  row* rows;                           // rows in print order
  arena row_store;                     // the row records, and nothing else
  arena cell_store;                    // the cells with their texts
  row* rows_tail;                      // last row
  row* open_row;                       // row being filled, or null
  column* cell_column;                 // column that takes the next cell, or null
  size_t open_marks;                   // offset in the open row's cells of its last mark word
  int32_t next_column_id;              // ID of the next declared column
  int32_t row_count;                   // rows ended with tblx_endrow
  char* scratch;                       // formatting buffer sized by the measuring pass
  size_t scratch_size;                 // bytes at scratch
  const char* column_separator;        // between fields in the fancy styles
  const char* rule_junction;           // between dash runs in the fancy styles
  char sum_filler[3][2];               // raw, simple, fancy filler, NUL-terminated
  unsigned char default_justify_char;  // copied into new columns
  int32_t default_title_justification;
  int32_t default_cell_justification;
  int32_t default_hex_case;
  int32_t default_sort_mode;
  uint8_t multiline;        // 1: line feeds break texts into lines (tblx_setmultiline)
  uint8_t fitted_style;     // style + 1 that the widths were fitted for, 0: none
  uint32_t max_width;       // widest a printed line should be, 0: no limit
  uint32_t capped_columns;  // columns with a max_width
  uint32_t shown_columns;   // columns that fit the width limit (the others are named)
  flushed_sums* flushed;    // non-null while the layout is frozen by tblx_flushrows
  row_start before_row;     // the state the open row started from (tblx_cancelrow)
};

// Whether a print goes through the printer of fields on several lines
// (lines_print.cpp): the table uses one of its settings and the style
// aligns fields. Every other print takes the printer of one line a row.
inline bool prints_lines(const tblx_table& table) noexcept {
  return (table.multiline | table.max_width | table.capped_columns) != 0 &&
         table.style != TBLX_STYLE_RAW;
}

// Whether a text wider than its column in a layout frozen by tblx_flushrows
// is cut to it: texts placed left or centred are. Texts justified right or on
// a character are numbers written as text, as a rule, and are written whole
// like numbers: cut, they would lose their last digits.
inline bool cuts_when_frozen(const column& col) noexcept {
  return col.type == TBLX_TYPE_STRING &&
         (col.cell_justification == TBLX_JUST_LEFT || col.cell_justification == TBLX_JUST_CENTER);
}

// The first test of every call that changes or prints a table: a null table
// is refused, and so is one being printed, whose title callbacks may call back
// into it. A change there would pull the records and the scratch buffer from
// under the running print.
inline bool unavailable(const tblx_table* table) noexcept {
  return table == nullptr || table->busy != 0;
}

// Shared constant: the default title and suffix of every column.
extern const char empty_string[];

// The default title callback: gives its argument, the title text, unchanged.
const char* TBLX_CALL title_ident(void* arg, uint32_t width) noexcept;

// Records keep text lengths in 32 bits: a longer text could not be stored whole.
inline bool fits_length_field(size_t len) noexcept {
  if constexpr (sizeof(size_t) > sizeof(uint32_t)) {
    return len <= UINT32_MAX;
  } else {
    return true;
  }
}

// Frees a column record and its summary text: the table's own calls, which
// never go through the exported free_column, so that a program's function of
// that name cannot take their place (in the static library especially).
void destroy_column(column* c) noexcept;

// Frees every row and cell, with the blocks of their arenas, and resets the
// row state (shared by removerows, clean, delete). The layout of a table
// that streams is no longer frozen.
void remove_all_rows(tblx_table* table) noexcept;

// Frees the rows and cells only: the row count and a frozen layout stay.
void release_rows(tblx_table* table) noexcept;

// The end of a frozen layout (flush.cpp): the flushed sums are freed.
void unfreeze(tblx_table* table) noexcept;

// Cell comparators (tblx_cell_cmp_func) of the column types: negative, zero or
// positive as a sorts before, with or after b. Both cells must be present.
int TBLX_CALL cell_cmp_int(const cell* a, const cell* b) noexcept;
int TBLX_CALL cell_cmp_uint(const cell* a, const cell* b) noexcept;
int TBLX_CALL cell_cmp_double(const cell* a, const cell* b) noexcept;  // NaN above +inf
int TBLX_CALL cell_cmp_str(const cell* a, const cell* b) noexcept;
int TBLX_CALL cell_cmp_str_len(const cell* a, const cell* b) noexcept;  // length first

#endif  // TABULIX_INTERNAL_H
