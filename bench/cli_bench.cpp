// SPDX-License-Identifier: MIT
// The tabulix command's costs on hostile input, each against the size of that
// input: every one must grow linearly (the benchmark library fits the times
// to O(N) and reports the fit's RMS error; a cost that grows with N^2 shows
// as a time per item that grows with N).
//
//  BM_sum_after_long_fraction/N  --sum over a value with an N-digit fraction,
//                                then N values of 20 digits (past the 64-bit
//                                fast path), as the loader feeds them.
//  BM_max_after_long_value/N     --max over an N-digit value, then N rows.
//  BM_max_after_long_exponent/N  the same with an exponent of N digits.
//  BM_column_list/N              -c naming all of N columns in reverse order.
//  BM_wide_header/N              a CSV file with an N-column header and one
//                                row, read and planned.
//  BM_wide_header_print/N        the same, then built into a table through
//                                the C++ layer and printed.
//  BM_wide_aligned_header/N      -w over an aligned header of N titles, then
//                                N lines of one short field each.
//  BM_top_rows_rising/N          --sort 1:desc --head 100 over N rising
//                                values: every row enters the heap, first
//                                as a number and, after a late text, by bytes.
//  BM_stats_distinct_texts/N     --stats over N different texts and N
//                                decimals, each with a long common prefix.
//  BM_sort_tied_texts/N          --sort over N texts that share their first
//                                100 bytes (every prefix ties), in reverse.
//  BM_sort_tied_decimals/N       --sort over N decimals that share their
//                                first 15 digits, in reverse (N log N).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "build.hpp"
#include "columns.hpp"
#include "figures.hpp"
#include "infer.hpp"
#include "load.hpp"
#include "plan.hpp"
#include "sort_keys.hpp"
#include "stats.hpp"
#include "store.hpp"

namespace {

using namespace tabulix::cli;

void feed(figure_counter& f, const std::string& text) { f.add(text, scan_field(text)); }

// Feeds a figure its first value, then the rows, once per iteration.
void run_figure(benchmark::State& state, figure kind, const std::string& first,
                const std::vector<std::string>& rows) {
  for (auto _ : state) {
    figure_counter f(kind);
    feed(f, first);
    for (const auto& r : rows) feed(f, r);
    benchmark::DoNotOptimize(f.text(column_kind::decimal_text, false, 0));
  }
  state.SetComplexityN(state.range(0));
}

void BM_sum_after_long_fraction(benchmark::State& state) {
  const auto n = static_cast<std::size_t>(state.range(0));
  const std::string first = "0." + std::string(n, '7');
  std::vector<std::string> rows;
  for (std::size_t i = 0; i < n; ++i) {
    rows.push_back((i % 2 == 0 ? "1234567890123456789" : "-987654321098765432") +
                   std::to_string(i % 10));
  }
  run_figure(state, figure::sum, first, rows);
}

void BM_max_after_long_value(benchmark::State& state) {
  const auto n = static_cast<std::size_t>(state.range(0));
  const std::string first(n, '1');
  std::vector<std::string> rows;
  for (std::size_t i = 0; i < n; ++i) rows.push_back(std::to_string(i) + ".5");
  run_figure(state, figure::max, first, rows);
}

void BM_max_after_long_exponent(benchmark::State& state) {
  const auto n = static_cast<std::size_t>(state.range(0));
  const std::string first = "1e" + std::string(n, '3');
  std::vector<std::string> rows;
  for (std::size_t i = 0; i < n; ++i) rows.push_back(std::to_string(i) + "e" + std::to_string(i));
  run_figure(state, figure::max, first, rows);
}

void BM_column_list(benchmark::State& state) {
  const auto n = static_cast<std::size_t>(state.range(0));
  std::vector<std::string> titles;
  std::string list;
  for (std::size_t i = 0; i < n; ++i) titles.push_back("col" + std::to_string(i));
  for (std::size_t i = n; i-- > 0;) list += titles[i] + (i == 0 ? "" : ",");
  options opts;
  opts.columns.push_back(list);
  for (auto _ : state) {
    const column_requests req = resolve_requests(opts, titles);
    if (req.shown.size() != n) return state.SkipWithError("wrong columns");
  }
  state.SetComplexityN(state.range(0));
}

// A file that is removed at the end of the benchmark.
struct temp_file {
  std::string name;
  explicit temp_file(const std::string& content) {
    char pattern[] = "/tmp/tabulix-bench-XXXXXX";
    const int fd = mkstemp(pattern);
    if (fd < 0) return;
    name = pattern;
    const ssize_t written = write(fd, content.data(), content.size());
    close(fd);
    if (written != static_cast<ssize_t>(content.size())) name.clear();
  }
  ~temp_file() {
    if (!name.empty()) std::remove(name.c_str());
  }
  temp_file(const temp_file&) = delete;
  temp_file& operator=(const temp_file&) = delete;
};

std::string wide_csv(std::size_t n) {
  std::string csv;
  // Appended piece by piece: g++ 12 at -O3 takes "literal" + std::string for
  // an overlapping memcpy (-Wrestrict).
  for (std::size_t i = 0; i < n; ++i) csv.append(i == 0 ? "c" : ",c").append(std::to_string(i));
  csv += '\n';
  for (std::size_t i = 0; i < n; ++i) csv.append(i == 0 ? "" : ",").append(std::to_string(i));
  csv += '\n';
  return csv;
}

void BM_wide_header(benchmark::State& state) {
  const auto n = static_cast<std::size_t>(state.range(0));
  const temp_file file(wide_csv(n));
  if (file.name.empty()) return state.SkipWithError("no file");
  options opts;
  opts.files.push_back(file.name);
  for (auto _ : state) {
    dataset data = load_inputs(opts, false, width_unit::columns);
    const table_plan plan = make_plan(opts, data, output_place{});
    benchmark::DoNotOptimize(plan.columns.data());
  }
  state.SetComplexityN(state.range(0));
}

void BM_wide_header_print(benchmark::State& state) {
  const auto n = static_cast<std::size_t>(state.range(0));
  const temp_file file(wide_csv(n));
  std::FILE* null = std::fopen("/dev/null", "w");
  if (file.name.empty() || null == nullptr) return state.SkipWithError("no file");
  options opts;
  opts.files.push_back(file.name);
  for (auto _ : state) {
    dataset data = load_inputs(opts, false, width_unit::columns);
    const table_plan plan = make_plan(opts, data, output_place{});
    tabulix::table t = build_table(plan, data);
    t.print(null);
  }
  std::fclose(null);
  state.SetComplexityN(state.range(0));
}

void BM_wide_aligned_header(benchmark::State& state) {
  const auto n = static_cast<std::size_t>(state.range(0));
  std::string text;
  // Two blanks apart: titles one blank apart with nothing under them would
  // be words of one title.
  for (std::size_t i = 0; i < n; ++i) text += "t  ";
  text += '\n';
  for (std::size_t i = 0; i < n; ++i) text += "x\n";
  const temp_file file(text);
  if (file.name.empty()) return state.SkipWithError("no file");
  options opts;
  opts.whitespace = true;
  opts.files.push_back(file.name);
  for (auto _ : state) {
    dataset data = load_inputs(opts, false, width_unit::columns);
    if (data.input_titles.size() != n) return state.SkipWithError("the titles are not columns");
    benchmark::DoNotOptimize(data.rows.size());
  }
  state.SetComplexityN(state.range(0));
}

// Loads a file of N rows with the options, once per iteration.
void run_loaded(benchmark::State& state, const std::string& text, options opts, bool stats) {
  const temp_file file(text);
  if (file.name.empty()) return state.SkipWithError("no file");
  opts.files.push_back(file.name);
  const output_place place{};
  for (auto _ : state) {
    dataset data = load_inputs(opts, false, width_unit::columns);
    table_plan plan = make_plan(opts, data, place);
    if (data.top) {
      std::vector<column_kind> kinds{plan.columns[plan.sort[0].column].kind};
      take_top_rows(opts, data, kinds, false, width_unit::columns);
      plan = make_plan(opts, data, place);
    }
    tabulix::table t = stats ? build_stats_table(plan, data, false) : build_table(plan, data);
    benchmark::DoNotOptimize(t.get());
  }
  state.SetComplexityN(state.range(0));
}

void BM_top_rows_rising(benchmark::State& state) {
  const auto n = static_cast<std::size_t>(state.range(0));
  std::string text = "v\n";
  for (std::size_t i = 0; i < n; ++i) text += std::to_string(i) + "\n";
  text += "late text\n";
  options opts;
  opts.sort.emplace_back("1:desc");
  opts.head = 100;
  run_loaded(state, text, opts, false);
}

void BM_stats_distinct_texts(benchmark::State& state) {
  const auto n = static_cast<std::size_t>(state.range(0));
  const std::string prefix(60, 'p');
  std::string text = "t,d\n";
  for (std::size_t i = 0; i < n; ++i) {
    text +=
        prefix + std::to_string(i) + ",1" + std::string(20, '0') + "." + std::to_string(i) + "\n";
  }
  options opts;
  opts.stats = true;
  run_loaded(state, text, opts, true);
}

// Sorts N records of one text or decimal column, each from `value_of(i)`.
template <class Value>
void run_sort(benchmark::State& state, column_kind kind, Value value_of) {
  const auto n = static_cast<std::size_t>(state.range(0));
  std::vector<std::string> stored;
  record_writer w;
  for (std::size_t i = 0; i < n; ++i) {
    w.clear();
    w.text(value_of(n - i), false);
    stored.emplace_back(w.finish());
  }
  std::vector<const char*> records;
  for (const auto& s : stored) records.push_back(s.data());
  table_plan plan;
  plan.columns.resize(1);
  plan.columns[0].kind = kind;
  plan.sort = {{0, false}};
  for (auto _ : state) benchmark::DoNotOptimize(sorted_order(plan, records));
  state.SetComplexityN(state.range(0));
}

void BM_sort_tied_texts(benchmark::State& state) {
  run_sort(state, column_kind::text,
           [](std::size_t i) { return std::string(100, 'x') + std::to_string(i); });
}

void BM_sort_tied_decimals(benchmark::State& state) {
  run_sort(state, column_kind::decimal_text,
           [](std::size_t i) { return "1.11111111111111" + std::to_string(i); });
}

void sizes(benchmark::internal::Benchmark* b) {
  b->Arg(1'000)->Arg(10'000)->Arg(100'000)->Unit(benchmark::kMillisecond);
  b->Complexity(benchmark::oN);
}

BENCHMARK(BM_sum_after_long_fraction)->Apply(sizes);
BENCHMARK(BM_max_after_long_value)->Apply(sizes);
BENCHMARK(BM_max_after_long_exponent)->Apply(sizes);
BENCHMARK(BM_column_list)->Apply(sizes);
BENCHMARK(BM_wide_header)->Apply(sizes);
BENCHMARK(BM_wide_header_print)->Apply(sizes);
BENCHMARK(BM_top_rows_rising)->Apply(sizes);
BENCHMARK(BM_stats_distinct_texts)->Apply(sizes);
BENCHMARK(BM_sort_tied_texts)->Apply(sizes)->Complexity(benchmark::oNLogN);
BENCHMARK(BM_sort_tied_decimals)->Apply(sizes)->Complexity(benchmark::oNLogN);
// The header of aligned text is found in the first 64 KiB.
BENCHMARK(BM_wide_aligned_header)
    ->Arg(2'000)
    ->Arg(6'000)
    ->Arg(20'000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

}  // namespace
