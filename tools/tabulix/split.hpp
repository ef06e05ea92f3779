// SPDX-License-Identifier: MIT
// Reading a large file in parts, one per core: the file is read in large
// windows, each cut at line starts, and each part parsed and typed by a
// loader of its own.
// A cut is only a guess at a record start (a quoted field may hold a line
// end); the loader checks each guess and reads on alone when one is wrong.
#ifndef TABULIX_TOOL_SPLIT_HPP
#define TABULIX_TOOL_SPLIT_HPP

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "input.hpp"

namespace tabulix::cli {

// How an input may be read in parts.
struct split_plan {
  std::size_t parts = 1;            // 1: read in one piece
  std::uint64_t min_bytes = 0;      // smaller files are read in one piece
  std::size_t window = 0;           // bytes read and cut at a time
  std::vector<std::uint64_t> cuts;  // offsets in a window to cut at (tests); empty: even parts
};

// From the cores this process may use. TABULIX_TEST_SPLIT=OFFSET[,OFFSET...]
// [/WINDOW], used by the tests only, reads any regular file in windows of
// WINDOW bytes (default 1 GiB) after its header, each cut at the first line
// starts at or after those offsets from its start.
split_plan plan_split();

// Whether `in` is a regular file of at least `min_bytes` bytes.
bool large_regular_file(std::FILE* in, std::uint64_t min_bytes);

// The bytes of another source, read ahead in windows that may be cut into
// parts. Until stream() is called, what read() gives is kept for window().
class window_source final : public byte_source {
 public:
  explicit window_source(std::unique_ptr<byte_source> in) : in_(std::move(in)) {}

  std::size_t read(char* to, std::size_t size) override;

  // The bytes from input offset `from` (at or after the window's start, at
  // or before what read() gave), `size` of them, fewer at the end of the
  // input. They stay until the next call of any member.
  std::string_view window(std::uint64_t from, std::size_t size);
  // read() goes on at `offset` in the last window.
  void seek(std::uint64_t offset) { pos_ = static_cast<std::size_t>(offset - base_); }
  // No more windows: read() keeps nothing.
  void stream() { streaming_ = true; }

 private:
  void fill(std::size_t end);

  std::unique_ptr<byte_source> in_;
  std::unique_ptr<char[]> bytes_;
  std::size_t capacity_ = 0;
  std::uint64_t base_ = 0;  // input offset of bytes_[0]
  std::size_t pos_ = 0;     // what read() gives next
  std::size_t end_ = 0;     // bytes held
  bool eof_ = false;
  bool streaming_ = false;
};

// Where the parts of `bytes` after `from` begin: line starts (after an LF),
// ascending, each past `from` and before the end.
std::vector<std::size_t> cut_points(std::string_view bytes, std::size_t from,
                                    const split_plan& plan);

}  // namespace tabulix::cli

#endif
