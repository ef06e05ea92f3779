// SPDX-License-Identifier: MIT
// Allocation-failure injection. This executable links the library's objects
// with -Wl,--wrap=calloc,--wrap=realloc,--wrap=free, so every heap call the
// library makes passes through the wrappers below (the shared library is not
// affected). A countdown, armed around one library call at a time, makes the
// k-th calloc or realloc of that call fail. Each scripted step is repeated with
// k = 1, 2, ... until it runs without a failure, so every allocation point of
// every step fails once. After a failure the call must give 2 and leave the
// table exactly as it was; the wrappers also count live blocks, so a leak
// shows up after tblx_delete.
//
// The C++ layer's own allocations (operator new, replaced below) count down
// with the library's, so the same scripts run through tabulix.hpp: there every
// failure must be std::bad_alloc or errc::no_memory, in both forms.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <new>
#include <sstream>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "support/table.h"
#include "tabulix.hpp"

extern "C" {
void* __real_calloc(size_t count, size_t size);
void* __real_realloc(void* block, size_t size);
void __real_free(void* block);
void* __wrap_calloc(size_t count, size_t size);
void* __wrap_realloc(void* block, size_t size);
void __wrap_free(void* block);
}

namespace {

// ---- the wrapped heap ---------------------------------------------------------

// Blocks handed out by the wrappers, with their sizes. A fixed table: the
// wrappers themselves must not allocate.
struct live_block {
  void* ptr;
  size_t size;
};
constexpr size_t max_live = 4096;
live_block live[max_live];
size_t live_count = 0;

int countdown = 0;        // 0: disarmed; otherwise the allocation that fails, counted down
bool fired = false;       // the armed countdown made an allocation fail
size_t new_live = 0;      // blocks of operator new not deleted yet
bool new_counts = false;  // operator new takes part in the countdown (C++ scenarios)

void track(void* ptr, size_t size) {
  if (live_count == max_live) std::abort();
  live[live_count++] = {ptr, size};
}

// Forgets ptr; false when the wrappers did not hand it out (gtest's own blocks).
bool untrack(void* ptr) {
  for (size_t i = live_count; i-- > 0;) {
    if (live[i].ptr == ptr) {
      live[i] = live[--live_count];
      return true;
    }
  }
  return false;
}

// The size of a block the wrappers handed out; 0 for an unknown block.
size_t block_size(const void* ptr) {
  for (size_t i = 0; i < live_count; ++i) {
    if (live[i].ptr == ptr) return live[i].size;
  }
  return 0;
}

// True when this allocation is the one to fail.
bool should_fail() {
  if (countdown == 0 || --countdown != 0) return false;
  fired = true;
  return true;
}

}  // namespace

extern "C" void* __wrap_calloc(size_t count, size_t size) {
  if (should_fail()) return nullptr;
  void* p = __real_calloc(count, size);
  if (p != nullptr) track(p, count * size);
  return p;
}

extern "C" void* __wrap_realloc(void* block, size_t size) {
  if (should_fail()) return nullptr;
  void* p = __real_realloc(block, size);
  if (p != nullptr) {
    if (block != nullptr) untrack(block);
    track(p, size);
  }
  return p;
}

extern "C" void __wrap_free(void* block) {
  if (block != nullptr) untrack(block);
  __real_free(block);
}

// The whole program's operator new; the array and nothrow forms call it.
void* operator new(size_t size) {
  if (new_counts && should_fail()) throw std::bad_alloc();
  void* p = std::malloc(size == 0 ? 1 : size);
  if (p == nullptr) throw std::bad_alloc();
  ++new_live;
  return p;
}

void operator delete(void* block) noexcept {
  if (block == nullptr) return;
  --new_live;
  std::free(block);
}

void operator delete(void* block, size_t) noexcept { operator delete(block); }

namespace {

// Arms the countdown for the lifetime of the object: the k-th allocation fails.
// The C scenarios count the library's allocations only, not the test's own.
class injection {
 public:
  explicit injection(int k, bool with_new = false) {
    countdown = k;
    fired = false;
    new_counts = with_new;
  }
  ~injection() {
    countdown = 0;
    new_counts = false;
  }
  injection(const injection&) = delete;
  injection& operator=(const injection&) = delete;
  bool fired_() const { return fired; }
};

// ---- a complete description of a table ---------------------------------------

template <typename T>
int index_of(const std::vector<const T*>& list, const T* item) {
  if (item == nullptr) return -1;
  for (size_t i = 0; i < list.size(); ++i) {
    if (list[i] == item) return static_cast<int>(i);
  }
  return -2;  // dangling: not a record of this table
}

// An arena's blocks (their sizes as allocated), the bytes handed out from its
// current block, and the size of its next block: a failed carve changes none.
std::string describe_arena(const arena& a) {
  std::ostringstream os;
  os << "blocks=";
  for (const arena_block* b = a.newest; b != nullptr; b = b->older) os << block_size(b) << ',';
  os << " used=" << (a.current != nullptr ? a.free - arena_records(a.current) : 0)
     << " next=" << a.next_block;
  return os.str();
}

// Every field of the table and its records, links given as list positions.
// Measured state (widths, sums, layout_stale) is left out when a print may
// legitimately refresh it before failing.
std::string describe(const tblx_table* t, bool with_measurements) {
  std::ostringstream os;
  const std::vector<const column*> cols = support::columns_of(t);
  const std::vector<const row*> rows = support::rows_of(t);

  os << "header_ended=" << int(t->header_ended) << " fancy=" << int(t->fancy)
     << " style=" << t->style << " next_id=" << t->next_column_id << " row_count=" << t->row_count
     << " frozen=" << (t->flushed != nullptr)
     << " columns_tail=" << index_of<column>(cols, t->columns_tail)
     << " open_column=" << index_of<column>(cols, t->open_column)
     << " rows_tail=" << index_of<row>(rows, t->rows_tail)
     << " open_row=" << index_of<row>(rows, t->open_row)
     << " cell_column=" << index_of<column>(cols, t->cell_column)
     << " scratch=" << (t->scratch ? block_size(t->scratch) : 0) << '/' << t->scratch_size
     << " fillers=" << t->sum_filler[0] << t->sum_filler[1] << t->sum_filler[2] << '\n';
  if (with_measurements) os << "layout_stale=" << int(t->layout_stale) << '\n';
  os << "row_store " << describe_arena(t->row_store) << " cell_store "
     << describe_arena(t->cell_store) << '\n';

  for (const column* c : cols) {
    os << "column id=" << c->id << " type=" << c->type << " min=" << c->min_width
       << " tj=" << c->title_justification << " cj=" << c->cell_justification
       << " case=" << c->hex_case << " mode=" << c->sort_mode << " suffix_len=" << c->suffix_len
       << " lz=" << c->leading_zeros << " sum?=" << c->summarize << " jc=" << int(c->justify_char)
       << " precision=" << c->precision << " group=" << int(c->group_separator)
       << " exact=" << (c->exact != nullptr ? block_size(c->exact) : 0)
       << " suffix=" << std::string(c->suffix, c->suffix_len)
       << " sum_text=" << (c->sum_text ? std::string(c->sum_text, c->sum_text_len) : "(none)")
       << " title=";
    // By content, so that tables built alike describe alike.
    if (c->title_func == title_ident) {
      os << static_cast<const char*>(c->title_arg);
    } else {
      os << "<callback>";
    }
    if (with_measurements)
      os << " w=" << c->width_lead << '+' << c->width_tail << " sum=" << c->sum.high << ":"
         << c->sum.low;
    os << '\n';
  }

  for (size_t r = 0; r < rows.size(); ++r) {
    os << "row " << r << ':';
    const uint32_t count = rows[r]->cells != nullptr ? rows[r]->cells->count : 0;
    const auto cells = support::cells_of(t, rows[r]);
    if (cells.size() != count) os << " <cells beyond the last column>";
    const column* c = t->columns;
    for (const cell* x : cells) {
      if (c->type == TBLX_TYPE_STRING) {
        // Long texts are summarised by their length and ends.
        const std::string text(x->str.text, x->str.len);
        os << " s" << x->str.len << ':' << text.substr(0, 16) << '~'
           << (text.size() > 16 ? text.substr(text.size() - 4) : "");
      } else {
        os << ' ' << x->value();
      }
      if (x->empty()) os << "(empty)";
      c = c->next;
    }
    os << '\n';
  }
  os << "open_marks=" << t->open_marks << '\n';
  return os.str();
}

// ---- scripted steps --------------------------------------------------------------

// One library call of a scenario. `out` receives what a print step wrote.
struct step {
  std::string name;
  std::function<tblx_status(tblx_table*, std::string& out)> call;
  bool prints = false;
};

int failures_injected = 0;  // refusals checked in the current scenario

// Runs the step with its k-th allocation failing, for k = 1, 2, ... until it
// runs through without a failure, checking every refusal; then it must succeed
// and *written is what that successful call wrote.
void run_failing_each_allocation(tblx_table* t, const step& s, std::string* written) {
  for (int k = 1;; ++k) {
    ASSERT_LT(k, 1000) << s.name << ": endless allocations";
    const std::string before = describe(t, !s.prints);
    std::string out;
    tblx_status status;
    bool failed;
    {
      injection inject(k);
      status = s.call(t, out);
      failed = inject.fired_();
    }
    if (!failed) {
      ASSERT_EQ(status, TBLX_OK) << s.name << " after " << k - 1 << " failed allocation(s)";
      *written = out;
      return;
    }
    ++failures_injected;
    ASSERT_EQ(status, TBLX_ERR_NO_MEMORY) << s.name << ", allocation " << k << " failed";
    ASSERT_EQ(describe(t, !s.prints), before) << s.name << ", allocation " << k << " failed";
    if (s.prints) {
      ASSERT_EQ(out, "") << s.name << " wrote after allocation " << k << " failed";
      ASSERT_EQ(t->layout_stale, 1) << s.name << ": the next print must measure again";
    }
  }
}

// Runs the steps once plainly and once failing every allocation point in
// turn; the two tables must end alike and deleting them must free everything.
void check_scenario(const std::vector<step>& steps) {
  const size_t live_before = live_count;
  failures_injected = 0;
  tblx_table* plain = tblx_new();
  tblx_table* injected = tblx_new();
  ASSERT_NE(plain, nullptr);
  ASSERT_NE(injected, nullptr);
  for (const step& s : steps) {
    std::string plain_out;
    std::string injected_out;
    ASSERT_EQ(s.call(plain, plain_out), TBLX_OK) << s.name;
    run_failing_each_allocation(injected, s, &injected_out);
    if (::testing::Test::HasFatalFailure()) break;
    // The successful retry writes what the plain table wrote.
    ASSERT_EQ(injected_out, plain_out) << s.name;
  }
  EXPECT_GT(failures_injected, 0) << "no allocation was reached";
  EXPECT_EQ(describe(injected, true), describe(plain, true));
  tblx_delete(plain);
  tblx_delete(injected);
  EXPECT_EQ(live_count, live_before) << "blocks leaked";
}

step call(std::string name, std::function<tblx_status(tblx_table*)> f) {
  return {std::move(name), [f](tblx_table* t, std::string&) { return f(t); }};
}

step declare(unsigned int type) {
  return call("begincolumn type " + std::to_string(type),
              [type](tblx_table* t) { return tblx_begincolumn(t, type); });
}

// The ID must only be written by a successful declaration.
step declare_with_id(unsigned int type) {
  return call("begincolumn_columnid type " + std::to_string(type), [type](tblx_table* t) {
    int32_t id = -12345;
    const tblx_status s = tblx_begincolumn_columnid(t, type, &id);
    EXPECT_EQ(id, s == TBLX_OK ? t->columns_tail->id : -12345);
    return s;
  });
}

const step end_column = call("endcolumn", tblx_endcolumn);
const step end_header = call("endheader", tblx_endheader);
const step begin_row = call("beginrow", tblx_beginrow);
const step end_row = call("endrow", tblx_endrow);

step add_string(std::string text) {
  return call("addcell_string of " + std::to_string(text.size()) + " bytes",
              [text](tblx_table* t) { return tblx_addcell_string(t, text.c_str()); });
}
step add_int(int64_t v) {
  return call("addcell_int", [v](tblx_table* t) { return tblx_addcell_int(t, v); });
}
step add_uint(uint64_t v) {
  return call("addcell_uint", [v](tblx_table* t) { return tblx_addcell_uint(t, v); });
}
step add_hex(uint64_t v) {
  return call("addcell_hex", [v](tblx_table* t) { return tblx_addcell_hex(t, v); });
}
const step add_empty = call("addcell_empty", tblx_addcell_empty);
step add_double(double v) {
  return call("addcell_double", [v](tblx_table* t) { return tblx_addcell_double(t, v); });
}

// A null text removes the column's summary text.
step set_sum_text(int32_t id, const char* text) {
  return call(std::string("setsumtext ") + (text ? text : "null"),
              [id, text](tblx_table* t) { return tblx_setsumtext(t, id, text); });
}

// Prints the selected sections into a string.
step print(unsigned int flags) {
  return {"print flags " + std::to_string(flags),
          [flags](tblx_table* t, std::string& out) {
            support::Printed p = support::print_capture(t, flags);
            out = std::move(p.text);
            return p.status;
          },
          true};
}

// Flushes the rows into a string (tblx_flushrows_to).
step flush(unsigned int sections) {
  return {"flushrows sections " + std::to_string(sections),
          [sections](tblx_table* t, std::string& out) {
            const tblx_writer take = [](void* to, const char* data, size_t n) noexcept {
              static_cast<std::string*>(to)->append(data, n);
              return 0;
            };
            return tblx_flushrows_to(t, sections, take, &out);
          },
          true};
}

step set_style(int style) {
  return call("setstyle " + std::to_string(style),
              [style](tblx_table* t) { return tblx_setstyle(t, style); });
}

// A header with one column of each type, declared both ways.
std::vector<step> four_columns() {
  return {declare(TBLX_TYPE_STRING),
          end_column,
          declare_with_id(TBLX_TYPE_INT),
          end_column,
          declare(TBLX_TYPE_UINT),
          end_column,
          declare_with_id(TBLX_TYPE_HEX),
          end_column,
          end_header};
}

std::vector<step> operator+(std::vector<step> a, const std::vector<step>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// ---- tests ----------------------------------------------------------------------

TEST(OutOfMemory, NewGivesNullAndLeaksNothing) {
  const size_t live_before = live_count;
  {
    injection inject(1);
    EXPECT_EQ(tblx_new(), nullptr);
    EXPECT_TRUE(inject.fired_());
  }
  tblx_table* t = tblx_new();
  ASSERT_NE(t, nullptr);
  tblx_delete(t);
  EXPECT_EQ(live_count, live_before);
}

TEST(OutOfMemory, DeclaringColumnsKeepsTheHeaderAndTheIdCounter) { check_scenario(four_columns()); }

TEST(OutOfMemory, ColumnsDeclaredAfterCleanKeepTheIdCounter) {
  check_scenario(four_columns() + std::vector<step>{call("clean",
                                                         [](tblx_table* t) {
                                                           tblx_clean(t);
                                                           return TBLX_OK;
                                                         }),
                                                    declare_with_id(TBLX_TYPE_STRING)});
}

TEST(OutOfMemory, RowsAndEveryCellTypeKeepTheRowAsItWas) {
  const std::string long_text(100000, 'x');
  check_scenario(four_columns() + std::vector<step>{
                                      begin_row,
                                      add_string("alpha"),
                                      add_int(INT64_MIN),
                                      add_uint(UINT64_MAX),
                                      add_hex(0xabc),
                                      end_row,
                                      begin_row,
                                      add_string(""),
                                      add_int(-1),
                                      end_row,  // a short row
                                      begin_row,
                                      add_empty,
                                      add_int(3),
                                      add_empty,
                                      end_row,
                                      begin_row,
                                      add_string(long_text + "end"),
                                      add_int(7),
                                      add_uint(8),
                                      add_hex(9),
                                      end_row,
                                      begin_row,  // left open
                                      add_string("open"),
                                  });
}

TEST(OutOfMemory, SummaryTextsAreCopiedOrLeftAsTheyWere) {
  check_scenario(four_columns() + std::vector<step>{set_sum_text(1, "Total"), set_sum_text(2, "x"),
                                                    set_sum_text(1, "Sum of all"), print(31),
                                                    set_sum_text(2, nullptr), print(31)});
}

// A double column takes its sum's accumulator when it is declared, so
// neither its cells nor a print of its sum need more than other columns.
TEST(OutOfMemory, DoubleColumnsAndTheirExactSums) {
  check_scenario({declare(TBLX_TYPE_DOUBLE),
                  call("precision 2", [](tblx_table* t) { return tblx_setcolumn_precision(t, 2); }),
                  call("grouping", [](tblx_table* t) { return tblx_setcolumn_grouping(t, ','); }),
                  call("summarize", [](tblx_table* t) { return tblx_setcolumn_summarize(t, 1); }),
                  end_column, declare_with_id(TBLX_TYPE_DOUBLE), end_column, end_header, begin_row,
                  add_double(1e300), add_double(-0.5), end_row, begin_row, add_double(0.1),
                  add_empty, end_row, print(TBLX_PRINT_ALL)});
}

TEST(OutOfMemory, EmptyHeaderAndRowsWithoutCells) {
  check_scenario({end_header, begin_row, end_row, begin_row, end_row});
}

TEST(OutOfMemory, RemovingRowsThenAddingAgain) {
  check_scenario(four_columns() + std::vector<step>{begin_row, add_string("a"), end_row, begin_row,
                                                    add_string("b"),
                                                    call("removerows",
                                                         [](tblx_table* t) {
                                                           tblx_removerows(t);
                                                           return TBLX_OK;
                                                         }),
                                                    begin_row, add_string("c"), end_row});
}

// Adds rows without cells until the row arena's current block has no room
// for another row: no allocation, so the next tblx_beginrow needs a block.
const step fill_row_block = call("rows up to the end of the row block", [](tblx_table* t) {
  const arena& rows = t->row_store;
  while (rows.end - rows.free >= static_cast<ptrdiff_t>(sizeof(row))) {
    if (tblx_status s = tblx_beginrow(t); s != TBLX_OK) return s;
    if (tblx_status s = tblx_endrow(t); s != TBLX_OK) return s;
  }
  return TBLX_OK;
});

// The first string cell of the open row, which takes the rest of the cell
// arena's current block with the row's header: no allocation, so the next
// cell needs a block, and the row moves there.
const step fill_cell_block = call("a text up to the end of the cell block", [](tblx_table* t) {
  const arena& cells = t->cell_store;
  const auto room = static_cast<size_t>(cells.end - cells.free);
  const size_t taken = sizeof(row_cells) + cell_text_offset + 1;
  if (room < taken) return TBLX_ERR_NO_MEMORY;  // the script went wrong
  return tblx_addcell_string(t, std::string(room - taken, 'f').c_str());
});

// Every allocation point of the arenas: the first block of each, a block
// after a full one in each, and a text larger than the next block, which gets
// a block of its own. A failure must leave the arena as it was, the size of
// its next block included; tblx_removerows gives the blocks back.
TEST(OutOfMemory, ArenaBlocksAreAllOrNothing) {
  const std::string larger_than_a_block(arena_last_block, 'L');
  check_scenario(four_columns() + std::vector<step>{begin_row,
                                                    add_string("first"),
                                                    end_row,
                                                    fill_row_block,
                                                    begin_row,  // a second row block
                                                    fill_cell_block,
                                                    add_int(-2),  // a second cell block
                                                    add_uint(3),
                                                    add_hex(4),
                                                    end_row,
                                                    begin_row,
                                                    add_string(larger_than_a_block),
                                                    end_row,
                                                    begin_row,
                                                    add_string("after the own block"),
                                                    end_row,
                                                    print(TBLX_PRINT_ALL),
                                                    call("removerows",
                                                         [](tblx_table* t) {
                                                           tblx_removerows(t);
                                                           return TBLX_OK;
                                                         }),
                                                    begin_row,
                                                    add_string("again"),
                                                    end_row});
}

// Sorting relinks rows in place: it must not allocate at all (an allocation
// failure it reported as 2 would fail the scenario's refusal check).
TEST(OutOfMemory, SortingAllocatesNothing) {
  std::vector<step> steps = four_columns();
  for (int i = 0; i < 5; ++i) {
    steps = steps + std::vector<step>{begin_row, add_string(std::string(1, char('e' - i))),
                                      add_int(i * 7 % 3), end_row};
  }
  steps =
      steps +
      std::vector<step>{
          call("sort asc by id 1", [](tblx_table* t) { return tblx_sort(t, TBLX_SORT_ASC, 1); }),
          call("sort desc by id 2", [](tblx_table* t) { return tblx_sort(t, TBLX_SORT_DESC, 2); })};
  check_scenario(steps);
}

// A table printed on several lines measures as any table does; with more
// columns than its printer keeps on the stack it allocates their fields.
TEST(OutOfMemory, TablesOnSeveralLines) {
  std::vector<step> steps;
  for (int i = 0; i < 40; ++i) {
    steps.push_back(declare(TBLX_TYPE_STRING));
    steps.push_back(
        call("setcolumn_maxwidth", [](tblx_table* t) { return tblx_setcolumn_maxwidth(t, 3, 1); }));
    steps.push_back(end_column);
  }
  steps.push_back(end_header);
  steps.push_back(call("setmultiline", [](tblx_table* t) { return tblx_setmultiline(t, 1); }));
  steps.push_back(begin_row);
  for (int i = 0; i < 40; ++i) steps.push_back(add_string("one two\nthree"));
  steps.push_back(end_row);
  steps.push_back(print(TBLX_PRINT_ALL));
  steps.push_back(call("setmaxwidth", [](tblx_table* t) { return tblx_setmaxwidth(t, 30); }));
  steps.push_back(print(TBLX_PRINT_ALL));
  check_scenario(steps);
}

// The scratch buffer is allocated by the first print, grown when a wider row
// arrives, and resized again after the rows are removed.
TEST(OutOfMemory, PrintsKeepTheTableAndWriteNothing) {
  check_scenario(four_columns() +
                 std::vector<step>{print(TBLX_PRINT_ALL),  // measures a table without rows
                                   begin_row,
                                   add_string("alpha"),
                                   add_int(-12),
                                   add_uint(7),
                                   add_hex(0xff),
                                   end_row,
                                   print(TBLX_PRINT_ALL),   // measures again
                                   print(TBLX_PRINT_ROWS),  // reuses the measurements
                                   begin_row,
                                   add_string(std::string(300, 'w')),
                                   add_int(INT64_MIN),
                                   end_row,
                                   print(0),  // flags select nothing; the measuring pass still runs
                                   set_style(TBLX_STYLE_FANCYW),
                                   print(TBLX_PRINT_ALL),
                                   set_style(TBLX_STYLE_RAW),
                                   print(TBLX_PRINT_ALL),
                                   call("removerows",
                                        [](tblx_table* t) {
                                          tblx_removerows(t);
                                          return TBLX_OK;
                                        }),
                                   print(TBLX_PRINT_ALL)});
}

// The first flush allocates the flushed sums (with a double column's exact
// one) and the room for numbers wider than their column; later flushes grow
// that room when a suffix grows; a print of the frozen table needs it too.
TEST(OutOfMemory, FlushingKeepsTheRowsAndFreezesNothing) {
  std::vector<step> steps = four_columns();
  steps.insert(steps.end() - 1,
               {declare(TBLX_TYPE_DOUBLE),
                call("summarize", [](tblx_table* t) { return tblx_setcolumn_summarize(t, 1); }),
                end_column});
  const std::vector<step> row = {begin_row,     add_string("alpha"), add_int(-12), add_uint(7),
                                 add_hex(0xff), add_double(0.5),     end_row};
  steps = steps + row + std::vector<step>{flush(TBLX_PRINT_ALL)} + row + row +
          std::vector<step>{flush(TBLX_PRINT_ALL), print(TBLX_PRINT_ALL)} + row +
          std::vector<step>{print(TBLX_PRINT_SUM),
                            call("removerows",
                                 [](tblx_table* t) {
                                   tblx_removerows(t);
                                   return TBLX_OK;
                                 }),
                            flush(TBLX_PRINT_ROWS)};
  check_scenario(steps);
}

TEST(OutOfMemory, PrintingATableWithoutColumns) {
  check_scenario({end_header, print(TBLX_PRINT_ALL), begin_row, end_row, print(TBLX_PRINT_ALL)});
}

}  // namespace

// ---- the C++ layer -------------------------------------------------------------

namespace {

using tabulix::errc;
using tabulix::type;

// A C++ table and the handle of its last declared column. The C defaults:
// a title callable whose text grows with the width would make a failed
// measuring pass and the plain one disagree on its column's width.
struct cpp_table {
  tabulix::table t = tabulix::table::c_defaults();
  tabulix::column col;
};

// One member call of a scenario, in the throwing form (ec null) or the
// error_code form. `out` receives what a to_string step gave.
struct cpp_step {
  std::string name;
  std::function<void(cpp_table&, std::error_code* ec, std::string& out)> run;
  bool prints = false;
  bool declares = false;
};

// A print that failed in a title callable or after the library's print has
// still measured the table; its scratch size is not part of the comparison.
// add_column closes the open column before it declares one, and a failed
// declaration leaves it closed.
std::string without_field(std::string text, std::string_view field) {
  const size_t at = text.find(field);
  if (at == std::string::npos) return text;
  const size_t end = text.find(' ', at + 1);
  text.erase(at, end == std::string::npos ? std::string::npos : end - at);
  return text;
}

std::string describe_cpp(const cpp_table& c, const cpp_step& s) {
  std::string text = describe(c.t.get(), !s.prints);
  if (s.prints) text = without_field(text, " scratch=");
  if (s.declares) text = without_field(text, " open_column=");
  return text;
}

// Runs the step and gives the error it reported; bad_alloc counts as no_memory.
std::error_code run_cpp(cpp_table& c, const cpp_step& s, bool throwing, std::string& out) {
  std::error_code ec;
  if (!throwing) {
    s.run(c, &ec, out);
    return ec;
  }
  try {
    s.run(c, nullptr, out);
  } catch (const std::bad_alloc&) {
    ec = errc::no_memory;
  } catch (const std::system_error& e) {
    ec = e.code();
  }
  return ec;
}

void run_cpp_failing_each_allocation(cpp_table& c, const cpp_step& s, bool throwing,
                                     std::string* written) {
  for (int k = 1;; ++k) {
    ASSERT_LT(k, 1000) << s.name << ": endless allocations";
    const std::string before = describe_cpp(c, s);
    std::string out;
    std::error_code ec;
    bool failed = false;
    {
      injection inject(k, true);
      ec = run_cpp(c, s, throwing, out);
      failed = inject.fired_();
    }
    if (!failed) {
      ASSERT_FALSE(ec) << s.name << " after " << k - 1 << " failed allocation(s): " << ec.message();
      *written = out;
      return;
    }
    ++failures_injected;
    ASSERT_EQ(ec, errc::no_memory) << s.name << ", allocation " << k << " failed";
    ASSERT_EQ(describe_cpp(c, s), before) << s.name << ", allocation " << k << " failed";
    ASSERT_EQ(out, "") << s.name << " gave text after allocation " << k << " failed";
  }
}

// As check_scenario, through the C++ layer in one form.
void check_cpp_scenario(const std::vector<cpp_step>& steps, bool throwing) {
  const size_t live_before = live_count;
  const size_t new_before = new_live;
  failures_injected = 0;
  {
    cpp_table plain;
    cpp_table injected;
    for (const cpp_step& s : steps) {
      std::string plain_out;
      std::string injected_out;
      std::error_code ec;
      s.run(plain, &ec, plain_out);
      ASSERT_FALSE(ec) << s.name << ": " << ec.message();
      run_cpp_failing_each_allocation(injected, s, throwing, &injected_out);
      if (::testing::Test::HasFatalFailure()) break;
      ASSERT_EQ(injected_out, plain_out) << s.name;
    }
    EXPECT_GT(failures_injected, 0) << "no allocation was reached";
    EXPECT_EQ(describe(injected.t.get(), true), describe(plain.t.get(), true));
  }
  EXPECT_EQ(live_count, live_before) << "library blocks leaked";
  EXPECT_EQ(new_live, new_before) << "C++ blocks leaked";
  std::printf("%s form: %d allocation failures injected\n", throwing ? "throwing" : "error_code",
              failures_injected);
}

// Builds the step from one expression per form; `c` is the cpp_table.
#define CPP_STEP(name, throwing_expr, ec_expr)                       \
  cpp_step {                                                         \
    name, [=](cpp_table& c, std::error_code* ec, std::string& out) { \
      static_cast<void>(out);                                        \
      if (ec != nullptr) {                                           \
        ec_expr;                                                     \
      } else {                                                       \
        throwing_expr;                                               \
      }                                                              \
    }                                                                \
  }

cpp_step cpp_declare(const tabulix::column_spec& decl) {
  cpp_step step =
      CPP_STEP("add_column", c.col = c.t.add_column(decl), c.col = c.t.add_column(decl, *ec));
  step.declares = true;
  return step;
}

cpp_step cpp_to_string(tabulix::section s = tabulix::section::all) {
  cpp_step step = CPP_STEP("to_string", out = c.t.to_string(s), out = c.t.to_string(s, *ec));
  step.prints = true;
  return step;
}

// Every C++ allocation of building and printing a table: kept titles and
// suffixes, title callables (a title text that allocates), cells from
// string_views, and the printed string.
std::vector<cpp_step> cpp_steps() {
  const std::string long_title(40, 'T');
  const std::string suffix = " units of a long suffix";
  const std::string cell(30, 'c');
  const std::string captured(20, '#');
  const std::string block_text(arena_first_block + 100, 'x');
  auto make_title = [captured](unsigned width) { return captured + std::string(width, '='); };
  auto fixed_title = [](unsigned) { return "fixed"; };
  return {
      cpp_declare(tabulix::column_spec(type::string, long_title).title_func(make_title)),
      cpp_declare(tabulix::column_spec(type::int64).suffix(suffix).summarize()),
      cpp_declare(tabulix::column_spec(type::uint64).title_func(fixed_title)),
      CPP_STEP("end_header", c.t.end_header(), c.t.end_header(*ec)),
      CPP_STEP("begin_row", c.t.begin_row(), c.t.begin_row(*ec)),
      CPP_STEP("add_cell", c.t.add_cell(std::string_view(cell)),
               c.t.add_cell(std::string_view(cell), *ec)),
      CPP_STEP("add_cell", c.t.add_cell(-5), c.t.add_cell(-5, *ec)),
      CPP_STEP("add_cell", c.t.add_cell(7u), c.t.add_cell(7u, *ec)),
      CPP_STEP("end_row", c.t.end_row(), c.t.end_row(*ec)),
      // A row whose cell fails after the row began is cancelled: the table
      // is as it was (a text larger than a block takes a block of its own).
      CPP_STEP("add_row", c.t.add_row(block_text, -6, 8u), c.t.add_row(block_text, -6, 8u, *ec)),
      CPP_STEP("add_row", c.t.add_row(std::string_view(long_title), 9),
               c.t.add_row(std::string_view(long_title), 9, *ec)),
      cpp_to_string(),
      CPP_STEP("set_style", c.t.set_style(tabulix::style::fancyw),
               c.t.set_style(tabulix::style::fancyw, *ec)),
      cpp_to_string(tabulix::section::titles | tabulix::section::rows),
      CPP_STEP("remove_rows", c.t.remove_rows(), c.t.remove_rows(*ec)),
      CPP_STEP("clean", c.t.clean(), c.t.clean(*ec)),
  };
}

#undef CPP_STEP

TEST(OutOfMemory, CppTableConstructionReportsNoMemory) {
  const size_t live_before = live_count;
  {
    injection inject(1);
    EXPECT_THROW(tabulix::table(), std::system_error);
  }
  {
    injection inject(1);
    std::error_code ec;
    tabulix::table t(ec);
    EXPECT_EQ(ec, errc::no_memory);
    EXPECT_FALSE(t);
  }
  EXPECT_EQ(live_count, live_before);
}

TEST(OutOfMemory, CppThrowingFormsGiveBadAllocOrNoMemory) { check_cpp_scenario(cpp_steps(), true); }

TEST(OutOfMemory, CppErrorCodeFormsGiveNoMemory) { check_cpp_scenario(cpp_steps(), false); }

}  // namespace
