// SPDX-License-Identifier: MIT
// Phases of the benchmark workload (workload.h) at 10k, 100k and 1M rows:
// filling the table, the measuring pass, a first print (measure and output),
// a second print of the unchanged table (output alone), the same print after
// a sort, and sorting random and presorted rows. Prints go to /dev/null and
// to a memory buffer.
// The measuring pass and the prints also run with widths counting terminal
// columns, on the workload as it is (ASCII) and with CJK names, and with
// bytes counted on the CJK names for comparison.
// The output pass also runs in the Markdown, CSV and JSON formats against
// text, each on its own table of the same rows.
// Items are rows; bytes, for the prints, are the bytes written. The sorts
// run on a copy of the table with an input position column, which restores
// the input order between timed sorts.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "support/table.h"
#include "tabulix.h"
#include "workload.h"

namespace {

// The rows of one size and a table filled from them, built on first use and
// kept for the whole run (about 300 MB for the three sizes); the table for
// the sorts is built when a sort first needs it.
struct prepared {
  size_t n = 0;
  std::vector<workload::record> rows;
  tblx_table* table = nullptr;
  tblx_table* sort_table = nullptr;  // the rows with their input positions
  size_t print_bytes = 0;

  prepared() = default;
  prepared(const prepared&) = delete;
  prepared& operator=(const prepared&) = delete;
  ~prepared() {
    tblx_delete(table);
    tblx_delete(sort_table);
  }

  // The table to sort, in input order: random for every sort key.
  tblx_table* sortable_in_input_order() {
    if (sort_table == nullptr) sort_table = workload::build_table(rows, true);
    const int position = workload::column_id(workload::INPUT_POSITION);
    if (sort_table == nullptr || tblx_sort(sort_table, TBLX_SORT_ASC, position) != TBLX_OK) {
      return nullptr;
    }
    return sort_table;
  }
};

size_t print_size(tblx_table* table) {
  return support::capture([&](FILE* f) { tblx_print_all(table, f); }).size();
}

// The names of a table: the generated letters, or CJK ideographs.
enum class text_kind { ascii, cjk };

// A table of the workload in a width mode; the default is the workload as
// the other benchmarks print it.
struct variant {
  text_kind text = text_kind::ascii;
  int32_t width_mode = TBLX_WIDTH_BYTES;
};

// The workload's table with CJK names and the width mode set, or null.
tblx_table* build_variant(const std::vector<workload::record>& rows, variant v) {
  tblx_table* t = workload::new_table();
  bool ok = t != nullptr && tblx_setwidthmode(t, v.width_mode) == TBLX_OK;
  if (ok && v.text == text_kind::cjk) {
    ok = workload::fill_renamed(t, rows, workload::cjk_names(rows));
  } else if (ok) {
    ok = workload::fill(t, rows);
  }
  if (!ok) {
    tblx_delete(t);
    return nullptr;
  }
  return t;
}

prepared* prepare(size_t n, variant v = {}) {
  static std::map<std::tuple<size_t, text_kind, int32_t>, std::unique_ptr<prepared>> cache;
  std::unique_ptr<prepared>& current = cache[{n, v.text, v.width_mode}];
  if (current) return current.get();
  auto p = std::make_unique<prepared>();
  p->n = n;
  p->rows = workload::generate(n);
  p->table = build_variant(p->rows, v);
  if (p->table == nullptr) return nullptr;
  p->print_bytes = print_size(p->table);
  current = std::move(p);
  return current.get();
}

// Where a print goes. The memory buffer is allocated and touched once, and
// each print starts again at its beginning.
enum class sink_kind { devnull, memory };

class sink {
 public:
  sink(sink_kind kind, size_t bytes) {
    if (kind == sink_kind::memory) {
      buffer_.assign(bytes + 4096, '\0');
      stream_ = fmemopen(buffer_.data(), buffer_.size(), "w");
    } else {
      stream_ = std::fopen("/dev/null", "w");
    }
  }
  ~sink() {
    if (stream_ != nullptr) std::fclose(stream_);
  }
  sink(const sink&) = delete;
  sink& operator=(const sink&) = delete;

  FILE* stream() const { return stream_; }
  void rewind() { std::rewind(stream_); }

 private:
  std::vector<char> buffer_;
  FILE* stream_ = nullptr;
};

void report(benchmark::State& state, size_t rows, size_t bytes_per_iteration) {
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(rows));
  if (bytes_per_iteration != 0) {
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes_per_iteration));
  }
}

// Creating a table and filling it with the API calls; freeing it is not timed.
void BM_fill(benchmark::State& state) {
  const auto n = static_cast<size_t>(state.range(0));
  prepared* p = prepare(n);
  if (p == nullptr) return state.SkipWithError("out of memory");
  for (auto _ : state) {
    tblx_table* t = workload::build_table(p->rows);
    if (t == nullptr) return state.SkipWithError("fill failed");
    state.PauseTiming();
    tblx_delete(t);
    state.ResumeTiming();
  }
  report(state, n, 0);
}

// The measuring pass alone: a print with no section selected.
void BM_measure_in(benchmark::State& state, variant v) {
  const auto n = static_cast<size_t>(state.range(0));
  prepared* p = prepare(n, v);
  if (p == nullptr) return state.SkipWithError("out of memory");
  sink out(sink_kind::devnull, 0);
  for (auto _ : state) {
    support::force_remeasure(p->table);
    if (tblx_print(p->table, 0, out.stream()) != TBLX_OK) return state.SkipWithError("failed");
  }
  report(state, n, 0);
}

void BM_measure(benchmark::State& state) { BM_measure_in(state, {}); }

// A print after the table changed: the measuring pass, then the output.
void BM_first_print_in(benchmark::State& state, sink_kind kind, variant v) {
  const auto n = static_cast<size_t>(state.range(0));
  prepared* p = prepare(n, v);
  if (p == nullptr) return state.SkipWithError("out of memory");
  sink out(kind, p->print_bytes);
  for (auto _ : state) {
    support::force_remeasure(p->table);
    out.rewind();
    if (tblx_print_all(p->table, out.stream()) != TBLX_OK) return state.SkipWithError("failed");
  }
  report(state, n, p->print_bytes);
}

void BM_first_print(benchmark::State& state, sink_kind kind) { BM_first_print_in(state, kind, {}); }

// A print of an unchanged table: the output pass alone.
void BM_print_in(benchmark::State& state, sink_kind kind, variant v) {
  const auto n = static_cast<size_t>(state.range(0));
  prepared* p = prepare(n, v);
  if (p == nullptr) return state.SkipWithError("out of memory");
  sink out(kind, p->print_bytes);
  tblx_print(p->table, 0, out.stream());  // measured, untimed
  for (auto _ : state) {
    out.rewind();
    if (tblx_print_all(p->table, out.stream()) != TBLX_OK) return state.SkipWithError("failed");
  }
  report(state, n, p->print_bytes);
}

void BM_print(benchmark::State& state, sink_kind kind) { BM_print_in(state, kind, {}); }

// Streaming: the rows added and flushed 1024 at a time (tblx_flushrows), the
// first flush freezing the layout; each row is filled, summed and written
// once, so the time per row stays flat as the rows grow.
void BM_flush_rows(benchmark::State& state) {
  const auto n = static_cast<size_t>(state.range(0));
  prepared* p = prepare(n);
  if (p == nullptr) return state.SkipWithError("out of memory");
  sink out(sink_kind::devnull, 0);
  constexpr size_t batch = 1024;
  for (auto _ : state) {
    tblx_table* t = workload::new_table();
    if (t == nullptr) return state.SkipWithError("out of memory");
    for (size_t i = 0; i < n; ++i) {
      if (tblx_beginrow(t) != TBLX_OK || !workload::add_cells(t, p->rows[i]) ||
          tblx_endrow(t) != TBLX_OK) {
        return state.SkipWithError("fill failed");
      }
      if ((i + 1) % batch == 0 && tblx_flushrows(t, TBLX_PRINT_ALL, out.stream()) != TBLX_OK) {
        return state.SkipWithError("flush failed");
      }
    }
    if (tblx_flushrows(t, TBLX_PRINT_ALL, out.stream()) != TBLX_OK ||
        tblx_print(t, TBLX_PRINT_SUM, out.stream()) != TBLX_OK) {
      return state.SkipWithError("flush failed");
    }
    tblx_delete(t);
  }
  report(state, n, 0);
  state.SetComplexityN(state.range(0));
}

// The output pass in one format, on a table of its own (the format is the
// table's); text is the same print as BM_print/devnull, for the comparison.
void BM_print_format(benchmark::State& state, int format) {
  const auto n = static_cast<size_t>(state.range(0));
  prepared* p = prepare(n);
  if (p == nullptr) return state.SkipWithError("out of memory");
  const std::unique_ptr<tblx_table, support::TableDeleter> t(workload::build_table(p->rows));
  if (!t || tblx_setformat(t.get(), format) != TBLX_OK) return state.SkipWithError("failed");
  const size_t bytes = print_size(t.get());
  sink out(sink_kind::devnull, 0);
  tblx_print(t.get(), 0, out.stream());  // measured, untimed
  for (auto _ : state) {
    if (tblx_print_all(t.get(), out.stream()) != TBLX_OK) return state.SkipWithError("failed");
  }
  report(state, n, bytes);
}

// The output pass over rows sorted by the bytes column, which links them in
// an order unrelated to where they lie in memory; BM_print/devnull is the
// same print in insertion order (this table has the input position column too).
void BM_print_sorted(benchmark::State& state) {
  const auto n = static_cast<size_t>(state.range(0));
  prepared* p = prepare(n);
  tblx_table* t = p == nullptr ? nullptr : p->sortable_in_input_order();
  if (t == nullptr ||
      tblx_sort(t, TBLX_SORT_ASC, workload::column_id(workload::BYTES)) != TBLX_OK) {
    return state.SkipWithError("sort failed");
  }
  sink out(sink_kind::devnull, 0);
  tblx_print(t, 0, out.stream());  // measured, untimed
  for (auto _ : state) {
    if (tblx_print_all(t, out.stream()) != TBLX_OK) return state.SkipWithError("failed");
  }
  report(state, n, 0);
}

// Sorting rows in the order they were added (random keys), by one column.
void BM_sort_random(benchmark::State& state, workload::column_position key) {
  const auto n = static_cast<size_t>(state.range(0));
  prepared* p = prepare(n);
  if (p == nullptr) return state.SkipWithError("out of memory");
  for (auto _ : state) {
    state.PauseTiming();
    tblx_table* t = p->sortable_in_input_order();
    state.ResumeTiming();
    if (t == nullptr || tblx_sort(t, TBLX_SORT_ASC, workload::column_id(key)) != TBLX_OK) {
      return state.SkipWithError("sort failed");
    }
  }
  report(state, n, 0);
}

// Sorting rows that are already in the requested order.
void BM_sort_presorted(benchmark::State& state, workload::column_position key) {
  const auto n = static_cast<size_t>(state.range(0));
  prepared* p = prepare(n);
  tblx_table* t = p == nullptr ? nullptr : p->sortable_in_input_order();
  if (t == nullptr) return state.SkipWithError("out of memory");
  tblx_sort(t, TBLX_SORT_ASC, workload::column_id(key));
  for (auto _ : state) {
    if (tblx_sort(t, TBLX_SORT_ASC, workload::column_id(key)) != TBLX_OK) {
      return state.SkipWithError("sort failed");
    }
  }
  report(state, n, 0);
}

// A print that wraps one coloured text of n bytes of words into a column of
// 20 (tblx_setcolumn_maxwidth), each line in the colour: linear in n.
void BM_wrap_long_text(benchmark::State& state) {
  const auto n = static_cast<size_t>(state.range(0));
  std::string text = "\x1B[31m";
  while (text.size() < n) text += "lorem ipsum dolor sit amet ";
  text.resize(n);
  tblx_table* t = tblx_new();
  tblx_begincolumn(t, TBLX_TYPE_STRING);
  tblx_setcolumn_maxwidth(t, 20, TBLX_OVERFLOW_WRAP);
  tblx_endcolumn(t);
  tblx_endheader(t);
  tblx_setmultiline(t, 1);
  tblx_setwidthmode(t, TBLX_WIDTH_DISPLAY);
  tblx_beginrow(t);
  tblx_addcell_string(t, text.c_str());
  tblx_endrow(t);
  sink out(sink_kind::devnull, 0);
  for (auto _ : state) {
    support::force_remeasure(t);
    if (tblx_print_all(t, out.stream()) != TBLX_OK) return state.SkipWithError("failed");
  }
  tblx_delete(t);
  state.SetComplexityN(static_cast<int64_t>(n));
}

// Fitting n columns to 80: linear in n, whatever the number left out.
void BM_fit_columns(benchmark::State& state) {
  const auto n = static_cast<size_t>(state.range(0));
  tblx_table* t = tblx_new();
  for (size_t i = 0; i < n; ++i) {
    tblx_begincolumn(t, i % 2 == 0 ? TBLX_TYPE_STRING : TBLX_TYPE_INT);
    tblx_setcolumn_title(t, "Title");
    tblx_endcolumn(t);
  }
  tblx_endheader(t);
  tblx_setmaxwidth(t, 80);
  tblx_beginrow(t);
  for (size_t i = 0; i < n; ++i) {
    if (i % 2 == 0) {
      tblx_addcell_string(t, "a text of some length");
    } else {
      tblx_addcell_int(t, static_cast<int64_t>(i));
    }
  }
  tblx_endrow(t);
  sink out(sink_kind::devnull, 0);
  for (auto _ : state) {
    support::force_remeasure(t);
    if (tblx_print_all(t, out.stream()) != TBLX_OK) return state.SkipWithError("failed");
  }
  tblx_delete(t);
  state.SetComplexityN(static_cast<int64_t>(n));
}

// A table of one summed number column: int64 values in [-10^9, 10^9], or
// the same values divided by 100 as doubles shown with two decimals, so that
// both print texts of about the same length. A first print each time (the
// measuring pass with its sum, then the output), to /dev/null; the two run
// side by side so that their times compare on the same machine and load.
struct number_column {
  tblx_table* table = nullptr;
  explicit number_column(size_t n, int32_t type) {
    tblx_table* t = tblx_new();
    bool ok = t != nullptr && tblx_begincolumn(t, static_cast<unsigned>(type)) == TBLX_OK &&
              tblx_setcolumn_celljust(t, TBLX_JUST_RIGHT) == TBLX_OK &&
              tblx_setcolumn_summarize(t, 1) == TBLX_OK &&
              (type != TBLX_TYPE_DOUBLE || tblx_setcolumn_precision(t, 2) == TBLX_OK) &&
              tblx_endcolumn(t) == TBLX_OK && tblx_endheader(t) == TBLX_OK;
    workload::splitmix64 random{workload::seed};
    constexpr uint64_t span = 2'000'000'001u;
    for (size_t i = 0; ok && i < n; ++i) {
      const auto value = static_cast<int64_t>(random.below(span)) - 1'000'000'000;
      ok = tblx_beginrow(t) == TBLX_OK &&
           (type == TBLX_TYPE_DOUBLE ? tblx_addcell_double(t, static_cast<double>(value) / 100)
                                     : tblx_addcell_int(t, value)) == TBLX_OK &&
           tblx_endrow(t) == TBLX_OK;
    }
    if (ok) {
      table = t;
    } else {
      tblx_delete(t);
    }
  }
  number_column(const number_column&) = delete;
  number_column& operator=(const number_column&) = delete;
  ~number_column() { tblx_delete(table); }
};

void BM_number_column(benchmark::State& state, int32_t type) {
  const auto n = static_cast<size_t>(state.range(0));
  const number_column column(n, type);
  if (column.table == nullptr) return state.SkipWithError("out of memory");
  sink out(sink_kind::devnull, 0);
  for (auto _ : state) {
    support::force_remeasure(column.table);
    if (tblx_print_all(column.table, out.stream()) != TBLX_OK) {
      return state.SkipWithError("failed");
    }
  }
  report(state, n, 0);
}

void sizes(benchmark::internal::Benchmark* b) {
  for (size_t n : workload::sizes) b->Arg(static_cast<int64_t>(n));
  b->Unit(benchmark::kMillisecond);
}

}  // namespace

BENCHMARK(BM_fill)->Apply(sizes);
BENCHMARK(BM_measure)->Apply(sizes);
BENCHMARK_CAPTURE(BM_first_print, devnull, sink_kind::devnull)->Apply(sizes);
BENCHMARK_CAPTURE(BM_first_print, memory, sink_kind::memory)->Apply(sizes);
BENCHMARK_CAPTURE(BM_print, devnull, sink_kind::devnull)->Apply(sizes);
BENCHMARK_CAPTURE(BM_print, memory, sink_kind::memory)->Apply(sizes);
BENCHMARK(BM_print_sorted)->Apply(sizes);
BENCHMARK(BM_flush_rows)->Apply(sizes)->Complexity(benchmark::oN);
BENCHMARK_CAPTURE(BM_print_format, text, TBLX_FORMAT_TEXT)->Apply(sizes);
BENCHMARK_CAPTURE(BM_print_format, markdown, TBLX_FORMAT_MARKDOWN)->Apply(sizes);
BENCHMARK_CAPTURE(BM_print_format, csv, TBLX_FORMAT_CSV)->Apply(sizes);
BENCHMARK_CAPTURE(BM_print_format, json, TBLX_FORMAT_JSON)->Apply(sizes);
BENCHMARK_CAPTURE(BM_number_column, int, TBLX_TYPE_INT)->Apply(sizes);
BENCHMARK_CAPTURE(BM_number_column, double_precision_2, TBLX_TYPE_DOUBLE)->Apply(sizes);
// Widths counting terminal columns (display) against bytes, on ASCII and CJK names.
constexpr variant display_ascii{text_kind::ascii, TBLX_WIDTH_DISPLAY};
constexpr variant bytes_cjk{text_kind::cjk, TBLX_WIDTH_BYTES};
constexpr variant display_cjk{text_kind::cjk, TBLX_WIDTH_DISPLAY};
BENCHMARK_CAPTURE(BM_measure_in, display_ascii, display_ascii)->Apply(sizes);
BENCHMARK_CAPTURE(BM_measure_in, bytes_cjk, bytes_cjk)->Apply(sizes);
BENCHMARK_CAPTURE(BM_measure_in, display_cjk, display_cjk)->Apply(sizes);
BENCHMARK_CAPTURE(BM_first_print_in, display_ascii, sink_kind::devnull, display_ascii)
    ->Apply(sizes);
BENCHMARK_CAPTURE(BM_first_print_in, bytes_cjk, sink_kind::devnull, bytes_cjk)->Apply(sizes);
BENCHMARK_CAPTURE(BM_first_print_in, display_cjk, sink_kind::devnull, display_cjk)->Apply(sizes);
BENCHMARK_CAPTURE(BM_print_in, display_ascii, sink_kind::devnull, display_ascii)->Apply(sizes);
BENCHMARK_CAPTURE(BM_print_in, bytes_cjk, sink_kind::devnull, bytes_cjk)->Apply(sizes);
BENCHMARK_CAPTURE(BM_print_in, display_cjk, sink_kind::devnull, display_cjk)->Apply(sizes);
BENCHMARK_CAPTURE(BM_sort_random, name, workload::NAME)->Apply(sizes);
BENCHMARK_CAPTURE(BM_sort_random, bytes, workload::BYTES)->Apply(sizes);
BENCHMARK_CAPTURE(BM_sort_presorted, name, workload::NAME)->Apply(sizes);
BENCHMARK_CAPTURE(BM_sort_presorted, bytes, workload::BYTES)->Apply(sizes);
BENCHMARK(BM_wrap_long_text)
    ->RangeMultiplier(8)
    ->Range(1 << 10, 1 << 22)
    ->Complexity(benchmark::oN);
BENCHMARK(BM_fit_columns)->RangeMultiplier(8)->Range(8, 1 << 15)->Complexity(benchmark::oN);
