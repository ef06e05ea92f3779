// SPDX-License-Identifier: MIT
// Sorting speed by row count and input order. Only tblx_sort is timed: the
// tables are built once per size, and each input order is prepared untimed.
//
// Table: a short text column and a uint key column with random 64-bit values;
// the sort is by the key, the second column, so every comparison also walks
// over one cell per row as a real sort by a later column does. A third uint
// column holds each row's input position: sorting by it, untimed, restores
// the input order.
//
// BM_stable_sort_pairs is the reference beside BM_sort_random: std::stable_sort
// of (key, row pointer) pairs read from the same table in input order. Only the
// sort of the pairs is timed, not reading the keys nor relinking the rows.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <random>
#include <vector>

#include "tabulix_internal.h"

namespace {

constexpr int key_column_id = 2;
constexpr int position_column_id = 3;

struct sort_table {
  tblx_table* table = nullptr;

  ~sort_table() { tblx_delete(table); }

  // Puts the rows back in their input order (random keys), which is also
  // their memory order.
  bool restore_input_order() {
    return tblx_sort(table, TBLX_SORT_ASC, position_column_id) == TBLX_OK;
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
  tblx_begincolumn(t, TBLX_TYPE_UINT);
  tblx_endcolumn(t);
  tblx_endheader(t);
  std::mt19937_64 rng(n);
  char label[32];
  for (size_t i = 0; i < n; ++i) {
    std::snprintf(label, sizeof label, "row %zu", i);
    if (tblx_beginrow(t) != TBLX_OK || tblx_addcell_string(t, label) != TBLX_OK ||
        tblx_addcell_uint(t, rng()) != TBLX_OK || tblx_addcell_uint(t, i) != TBLX_OK ||
        tblx_endrow(t) != TBLX_OK) {
      return nullptr;
    }
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
    const bool restored = s->restore_input_order();
    state.ResumeTiming();
    if (!restored || tblx_sort(s->table, TBLX_SORT_ASC, key_column_id) != TBLX_OK) {
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

// The reference: the same keys, as (key, row) pairs in input order.
void BM_stable_sort_pairs(benchmark::State& state) {
  const auto n = static_cast<size_t>(state.range(0));
  sort_table* s = table_of(n);
  if (s == nullptr || !s->restore_input_order()) return state.SkipWithError("no table");
  struct keyed_row {
    uint64_t key;
    const row* r;
  };
  std::vector<keyed_row> input;
  input.reserve(n);
  for (const row* r = s->table->rows; r != nullptr; r = r->next) {
    // The key column is the second, behind a text that is never empty.
    const auto* text = reinterpret_cast<const cell*>(r->cells + 1);
    const auto* key = reinterpret_cast<const cell*>(reinterpret_cast<const char*>(text) +
                                                    string_cell_size(text->str.len));
    input.push_back({key->value(), r});
  }
  std::vector<keyed_row> pairs(n);
  for (auto _ : state) {
    state.PauseTiming();
    std::copy(input.begin(), input.end(), pairs.begin());
    state.ResumeTiming();
    std::stable_sort(pairs.begin(), pairs.end(),
                     [](const keyed_row& a, const keyed_row& b) { return a.key < b.key; });
    benchmark::DoNotOptimize(pairs.data());
  }
  report(state, n);
}

void sizes(benchmark::internal::Benchmark* b) {
  b->Arg(10'000)->Arg(100'000)->Arg(1'000'000)->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_sort_random)->Apply(sizes);
BENCHMARK(BM_sort_sorted)->Apply(sizes);
BENCHMARK(BM_sort_reversed)->Apply(sizes);
BENCHMARK(BM_stable_sort_pairs)->Apply(sizes);

}  // namespace
