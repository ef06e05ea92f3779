// SPDX-License-Identifier: MIT
// Reading a large file in parts, one per core: the file is read whole, cut
// at line starts, and each part is parsed and typed by a loader of its own.
// A cut is only a guess at a record start (a quoted field may hold a line
// end); the loader checks each guess and reads on alone when one is wrong.
#ifndef TABULIX_TOOL_SPLIT_HPP
#define TABULIX_TOOL_SPLIT_HPP

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "input.hpp"

namespace tabulix::cli {

// How an input may be read in parts.
struct split_plan {
  std::size_t parts = 1;            // 1: read in one piece
  std::uint64_t min_bytes = 0;      // smaller files are read in one piece
  std::vector<std::uint64_t> cuts;  // given offsets to cut at (tests); empty: even parts
};

// From the cores of the machine. TABULIX_TEST_SPLIT=OFFSET[,OFFSET...], used
// by the tests only, cuts every regular file, however small, at the first
// line starts at or after those offsets.
split_plan plan_split();

// The bytes of a regular file from its current position to its end; nothing
// (and nothing read) for another kind of file or a file smaller than
// `min_bytes`. Throws input_error for a read error.
struct whole_file {
  std::unique_ptr<char[]> bytes;
  std::size_t size = 0;
  [[nodiscard]] std::string_view view() const { return {bytes.get(), size}; }
};
std::optional<whole_file> read_whole_file(std::FILE* in, const std::string& name,
                                          std::uint64_t min_bytes);

// A source that reads `bytes`, which must outlive it.
std::unique_ptr<byte_source> memory_source(std::string_view bytes);

// Where the parts of `bytes` after `from` begin: line starts (after an LF),
// ascending, each past `from` and before the end.
std::vector<std::size_t> cut_points(std::string_view bytes, std::size_t from,
                                    const split_plan& plan);

}  // namespace tabulix::cli

#endif
