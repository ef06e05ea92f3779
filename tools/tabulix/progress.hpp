// SPDX-License-Identifier: MIT
// The progress display of reading large input: one line on standard error,
// while it is a terminal, with the bytes read, the rate, and with a known
// size the percentage and the time left. It is erased before the table is
// printed, and when the tool stops early.
#ifndef TABULIX_TOOL_PROGRESS_HPP
#define TABULIX_TOOL_PROGRESS_HPP

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "input.hpp"

namespace tabulix::cli {

class progress_display {
 public:
  // Inputs smaller than this read too fast to need a display.
  static constexpr std::uint64_t large_input = std::uint64_t{64} << 20;

  // A display on standard error, or nothing when it is not a terminal.
  static std::unique_ptr<progress_display> on_terminal();

  explicit progress_display(std::FILE* to) : to_(to) {}
  progress_display(const progress_display&) = delete;
  progress_display& operator=(const progress_display&) = delete;
  progress_display(progress_display&&) = delete;
  progress_display& operator=(progress_display&&) = delete;
  ~progress_display() { finish(); }

  // A source that reads `source` and reports its progress through `in`,
  // the file it reads from.
  std::unique_ptr<byte_source> watch(std::unique_ptr<byte_source> source, std::FILE* in);

  // Called by the watched source after each read.
  void advanced(std::uint64_t decoded, std::FILE* in, std::uint64_t size);

  // Erases the line, if one is shown.
  void finish();

  // The line for `done` bytes of `size` (0: unknown) after `seconds`.
  static std::string line(std::uint64_t done, std::uint64_t size, double seconds);

 private:
  using clock = std::chrono::steady_clock;

  std::FILE* to_;
  clock::time_point start_ = clock::now();
  clock::time_point last_{};
  std::size_t shown_ = 0;  // the length of the line on the screen
};

}  // namespace tabulix::cli

#endif
