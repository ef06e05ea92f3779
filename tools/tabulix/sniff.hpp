// SPDX-License-Identifier: MIT
// Telling the delimiter of an input that does not name one: a file named
// *.tsv or *.tab holds tab-separated values; otherwise a sample of the input
// shows which of ',', ';', tab and '|' splits its lines alike.
#ifndef TABULIX_TOOL_SNIFF_HPP
#define TABULIX_TOOL_SNIFF_HPP

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tabulix::cli {

// How much of an input the delimiter is told from.
constexpr std::size_t sniff_sample_size = std::size_t{64} << 10;

// Whether the file name says tab-separated: *.tsv or *.tab, also compressed
// (*.tsv.gz and the like).
bool named_tab_separated(std::string_view file_name);

// The delimiter that splits the most lines of `sample` into the same number
// of fields (more than one); ',' on a tie or when none does. Quoted fields
// are read as CSV reads them. The first `skip` lines and those starting with
// `comment` (when not empty) do not count, nor a last line that `cut` says
// the sample cuts short.
char sniff_delimiter(std::string_view sample, bool cut, std::uint64_t skip,
                     std::string_view comment);

}  // namespace tabulix::cli

#endif
