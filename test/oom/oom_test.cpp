// Allocation-failure injection. This executable links the library's objects
// with -Wl,--wrap=calloc,--wrap=realloc,--wrap=free, so every heap call the
// library makes passes through the wrappers below (the shared library is not
// affected). A countdown, armed around one library call at a time, makes the
// k-th calloc or realloc of that call fail. Each scripted step is repeated with
// k = 1, 2, ... until it runs without a failure, so every allocation point of
// every step fails once. After a failure the call must give 2 and leave the
// table exactly as it was; the wrappers also count live blocks, so a leak
// shows up after tblx_delete.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "support/table.h"

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

int countdown = 0;   // 0: disarmed; otherwise the allocation that fails, counted down
bool fired = false;  // the armed countdown made an allocation fail

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

namespace {

// Arms the countdown for the lifetime of the object: the k-th allocation fails.
class injection {
 public:
  explicit injection(int k) {
    countdown = k;
    fired = false;
  }
  ~injection() { countdown = 0; }
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

// Every field of the table and its records, links given as list positions.
// Measured state (widths, sums, layout_stale) is left out when a print may
// legitimately refresh it before failing.
std::string describe(const tblx_table* t, bool with_measurements) {
  std::ostringstream os;
  const std::vector<const column*> cols = support::columns_of(t);
  const std::vector<const row*> rows = support::rows_of(t);

  os << "header_ended=" << int(t->header_ended) << " fancy=" << int(t->fancy)
     << " style=" << t->style << " next_id=" << t->next_column_id << " row_count=" << t->row_count
     << " columns_tail=" << index_of<column>(cols, t->columns_tail)
     << " open_column=" << index_of<column>(cols, t->open_column)
     << " rows_tail=" << index_of<row>(rows, t->rows_tail)
     << " open_row=" << index_of<row>(rows, t->open_row)
     << " cell_column=" << index_of<column>(cols, t->cell_column)
     << " scratch=" << (t->scratch ? block_size(t->scratch) : 0) << '/' << t->scratch_size
     << " fillers=" << t->sum_filler[0] << t->sum_filler[1] << t->sum_filler[2] << '\n';
  if (with_measurements) os << "layout_stale=" << int(t->layout_stale) << '\n';

  for (const column* c : cols) {
    os << "column id=" << c->id << " type=" << c->type << " min=" << c->min_width
       << " tj=" << c->title_justification << " cj=" << c->cell_justification
       << " case=" << c->hex_case << " mode=" << c->sort_mode << " suffix_len=" << c->suffix_len
       << " lz=" << c->leading_zeros << " sum?=" << c->summarize << " jc=" << int(c->justify_char)
       << " title=" << (void*)c->title_arg;
    if (with_measurements)
      os << " w=" << c->width_lead << '+' << c->width_tail << " sum=" << c->sum;
    os << '\n';
  }

  std::string cell_tail = t->cell_tail == nullptr ? "null" : "dangling";
  for (size_t r = 0; r < rows.size(); ++r) {
    os << "row " << r << ':';
    if (t->cell_tail == &rows[r]->cells) cell_tail = "row " + std::to_string(r) + " head";
    size_t i = 0;
    const column* c = t->columns;
    for (const cell* x = rows[r]->cells; x != nullptr; x = x->next, ++i) {
      if (c == nullptr) {
        os << " <cell beyond the last column>";
        break;
      }
      if (c->type == TBLX_TYPE_STRING) {
        // Long texts are summarised by their length and ends.
        const std::string text(x->str.text, x->str.len);
        os << " s" << x->str.len << ':' << text.substr(0, 16) << '~'
           << (text.size() > 16 ? text.substr(text.size() - 4) : "");
      } else {
        os << ' ' << x->value;
      }
      if (t->cell_tail == &x->next)
        cell_tail = "row " + std::to_string(r) + " cell " + std::to_string(i);
      c = c->next;
    }
    os << '\n';
  }
  os << "cell_tail=" << cell_tail << '\n';
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
                                      add_string(long_text + "end"),
                                      add_int(7),
                                      add_uint(8),
                                      add_hex(9),
                                      end_row,
                                      begin_row,  // left open
                                      add_string("open"),
                                  });
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

TEST(OutOfMemory, PrintingATableWithoutColumns) {
  check_scenario({end_header, print(TBLX_PRINT_ALL), begin_row, end_row, print(TBLX_PRINT_ALL)});
}

}  // namespace
