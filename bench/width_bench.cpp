// SPDX-License-Identifier: MIT
// Display widths of hostile texts: unterminated escape sequences, sequences
// that break each other, runs of variation selectors and regional
// indicators. Each byte is looked at a bounded number of times, so the time
// must grow linearly with the length: Complexity fits it to O(n).
#include <benchmark/benchmark.h>

#include <string>

#include "display_width.h"

namespace {

// n bytes of the piece repeated (the last one may be cut), after a head.
std::string repeated(const std::string& head, const std::string& piece, size_t n) {
  std::string s = head;
  while (s.size() < n) s += piece;
  s.resize(n);
  return s;
}

void BM_width_of(benchmark::State& state, const std::string& head, const std::string& piece) {
  const std::string text = repeated(head, piece, static_cast<size_t>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(display_width(text.data(), text.size()));
  state.SetComplexityN(state.range(0));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

void lengths(benchmark::internal::Benchmark* b) {
  for (int64_t n : {10000, 100000, 1000000, 10000000}) b->Arg(n);
  b->Complexity(benchmark::oN);
}

}  // namespace

BENCHMARK_CAPTURE(BM_width_of, unterminated_csi, std::string("\x1b["), std::string("1;"))
    ->Apply(lengths);
BENCHMARK_CAPTURE(BM_width_of, unterminated_osc, std::string("\x1b]8;;"), std::string("a"))
    ->Apply(lengths);
BENCHMARK_CAPTURE(BM_width_of, osc_openers, std::string(), std::string("\x1b]"))->Apply(lengths);
BENCHMARK_CAPTURE(BM_width_of, lone_escapes, std::string(), std::string("\x1b\x1b["))
    ->Apply(lengths);
BENCHMARK_CAPTURE(BM_width_of, sgr, std::string(), std::string("\x1b[1;31mab\x1b[0m"))
    ->Apply(lengths);
BENCHMARK_CAPTURE(BM_width_of, selectors, std::string(), std::string("\u2764\uFE0F\uFE0F"))
    ->Apply(lengths);
BENCHMARK_CAPTURE(BM_width_of, indicators, std::string(), std::string("\U0001F1E9"))
    ->Apply(lengths);
