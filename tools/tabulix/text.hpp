// SPDX-License-Identifier: MIT
// Text as a table line shows it: control characters escaped, widths in
// terminal columns, and texts cut to a width with an ellipsis.
#ifndef TABULIX_TOOL_TEXT_HPP
#define TABULIX_TOOL_TEXT_HPP

#include <cstddef>
#include <string>
#include <string_view>

namespace tabulix::cli {

// What a field looks like on a table line.
struct text_look {
  bool escape = false;    // it holds control characters, which are shown escaped
  std::size_t width = 0;  // its width as shown, when measured
};

// Looks at the bytes of a field once; measures its width when `measure`.
text_look look_at(std::string_view text, bool measure);

// The text as it can stand in one table line: control characters become
// \n, \r, \t or \xHH. Gives `text` itself when there is nothing to change,
// else the text of `buffer`.
const char* printable(const char* text, std::string& buffer);

// Terminal columns of UTF-8 text without control characters.
std::size_t shown_width(std::string_view text);

// The longest start of `text` that fits `width` columns with "…" after it,
// with the "…"; `text` itself when it fits already. Needs width >= 1.
std::string_view cut_to_width(std::string_view text, std::size_t width, std::string& buffer);

}  // namespace tabulix::cli

#endif
