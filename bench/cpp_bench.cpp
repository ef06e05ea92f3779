// SPDX-License-Identifier: MIT
// Costs of the C++ layer that grow with the shape of a table.
//
// BM_CppAddColumns declares n titled columns through tabulix::table, one
// column_spec at a time as the tabulix command does for each field of a CSV
// header, then ends the header; each iteration builds and frees a new table.
// The time must grow linearly with n: Complexity fits it to O(n) and reports
// the fit's RMS deviation.
#include <benchmark/benchmark.h>

#include <cstddef>
#include <system_error>

#include "tabulix.hpp"

namespace {

void BM_CppAddColumns(benchmark::State& state) {
  const auto n = static_cast<std::size_t>(state.range(0));
  const tabulix::column_spec decl(tabulix::type::string, "Column");
  for (auto _ : state) {
    std::error_code ec;
    tabulix::table t(ec);
    for (std::size_t i = 0; i < n && !ec; ++i) t.add_column(decl, ec);
    if (!ec) t.end_header(ec);
    if (ec) {
      state.SkipWithError(ec.message().c_str());
      break;
    }
    benchmark::DoNotOptimize(t.column_id(n - 1));
  }
  state.SetComplexityN(state.range(0));
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

}  // namespace

BENCHMARK(BM_CppAddColumns)
    ->RangeMultiplier(10)
    ->Range(1000, 100000)
    ->Complexity(benchmark::oN)
    ->Unit(benchmark::kMillisecond);
