// SPDX-License-Identifier: MIT
// The columns of aligned text, such as the output of ps, df or free: where
// its fields stand, told from a sample of its lines.
#ifndef TABULIX_TOOL_ALIGNED_HPP
#define TABULIX_TOOL_ALIGNED_HPP

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace tabulix::cli {

// The bytes [begin, end) of a line that one field takes; the last field
// takes the rest of the line.
struct text_span {
  std::size_t begin = 0;
  std::size_t end = 0;
};

// The fields of the lines of `sample`: runs of columns in which some line
// has a character, between columns of blanks that run through every line. A
// run under a title only, one blank after the title before it, belongs to
// that title ("Mounted on"). Gives none when the sample does not line up:
// a title with two blanks inside it, or a line with characters beyond ASCII
// (whose bytes are no columns). The first `skip` lines, those that start
// with `comment` (when not empty) and a last line that `cut` says the
// sample cuts short do not count; the first line left is the header. Gives
// none for `no_header`: without titles, runs of columns tell too little.
std::vector<text_span> find_aligned_columns(std::string_view sample, bool cut, std::uint64_t skip,
                                            std::string_view comment, bool no_header);

// Whether the bytes of `line` outside the spans are all blanks, and the line
// plain ASCII up to the last span: then it is split at the spans.
bool fits_columns(std::string_view line, const std::vector<text_span>& spans);

// The bytes of `line` in the span, without the blanks around them.
std::string_view trimmed(std::string_view line, text_span s);

}  // namespace tabulix::cli

#endif
