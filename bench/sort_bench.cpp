// Sorting speed by row count and input order. Only tblx_sort is timed: the
// tables are built once per size, and each input order is prepared untimed.
//
// Table: a short text column and a uint key column with random 64-bit values;
// the sort is by the key, the second column, so every comparison also walks
// one cell link per row as a real sort by a later column does.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <random>
#include <vector>

#include "tabulix.h"
#include "tabulix_internal.h"

namespace {

constexpr int key_column_id = 2;

struct sort_table {
  tblx_table* table = nullptr;
  std::vector<row*> input_order;  // rows as added, which is also memory order

  ~sort_table() { tblx_delete(table); }

  // Relinks the rows into their input order (random keys).
  void restore_input_order() {
    for (size_t i = 0; i + 1 < input_order.size(); ++i) input_order[i]->next = input_order[i + 1];
    input_order.back()->next = nullptr;
    table->rows = input_order.front();
    table->rows_tail = input_order.back();
  }
};

std::unique_ptr<sort_table> build(size_t n) {
  auto s = std::make_unique<sort_table>();
  s->table = tblx_new();
  tblx_table* t = s->table;
  tblx_begincolumn(t, TBLX_TYPE_STRING);
  tblx_endcolumn(t);
  tblx_begincolumn(t, TBLX_TYPE_UINT);
  tblx_endcolumn(t);
  tblx_endheader(t);
  std::mt19937_64 rng(n);
  char label[32];
  for (size_t i = 0; i < n; ++i) {
    std::snprintf(label, sizeof label, "row %zu", i);
    if (tblx_beginrow(t) != TBLX_OK || tblx_addcell_string(t, label) != TBLX_OK ||
        tblx_addcell_uint(t, rng()) != TBLX_OK || tblx_endrow(t) != TBLX_OK) {
      return nullptr;
    }
    s->input_order.push_back(t->rows_tail);
  }
  return s;
}

// One table per size, kept for the whole run: building a million rows takes
// longer than sorting them, and the benchmark library calls each function
// several times.
sort_table* table_of(size_t n) {
  static std::map<size_t, std::unique_ptr<sort_table>> tables;
  std::unique_ptr<sort_table>& s = tables[n];
  if (!s) s = build(n);
  return s.get();
}

void report(benchmark::State& state, size_t n) {
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(n));
}

// Random keys in the order the rows were added.
void BM_sort_random(benchmark::State& state) {
  const auto n = static_cast<size_t>(state.range(0));
  sort_table* s = table_of(n);
  if (s == nullptr) return state.SkipWithError("out of memory");
  for (auto _ : state) {
    state.PauseTiming();
    s->restore_input_order();
    state.ResumeTiming();
    if (tblx_sort(s->table, TBLX_SORT_ASC, key_column_id) != TBLX_OK) {
      return state.SkipWithError("sort failed");
    }
  }
  report(state, n);
}

// Input already in the requested order: each sort leaves the order it found.
void BM_sort_sorted(benchmark::State& state) {
  const auto n = static_cast<size_t>(state.range(0));
  sort_table* s = table_of(n);
  if (s == nullptr) return state.SkipWithError("out of memory");
  tblx_sort(s->table, TBLX_SORT_ASC, key_column_id);
  for (auto _ : state) {
    if (tblx_sort(s->table, TBLX_SORT_ASC, key_column_id) != TBLX_OK) {
      return state.SkipWithError("sort failed");
    }
  }
  report(state, n);
}

// Input in the opposite order: alternating directions reverses it every time.
void BM_sort_reversed(benchmark::State& state) {
  const auto n = static_cast<size_t>(state.range(0));
  sort_table* s = table_of(n);
  if (s == nullptr) return state.SkipWithError("out of memory");
  int order = TBLX_SORT_ASC;
  tblx_sort(s->table, order, key_column_id);
  for (auto _ : state) {
    order = order == TBLX_SORT_ASC ? TBLX_SORT_DESC : TBLX_SORT_ASC;
    if (tblx_sort(s->table, order, key_column_id) != TBLX_OK) {
      return state.SkipWithError("sort failed");
    }
  }
  report(state, n);
}

void sizes(benchmark::internal::Benchmark* b) {
  b->Arg(10'000)->Arg(100'000)->Arg(1'000'000)->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_sort_random)->Apply(sizes);
BENCHMARK(BM_sort_sorted)->Apply(sizes);
BENCHMARK(BM_sort_reversed)->Apply(sizes);

}  // namespace
