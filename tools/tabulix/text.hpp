// SPDX-License-Identifier: MIT
// Text as a table line shows it: control characters escaped, widths in
// terminal columns, and texts cut to a width with an ellipsis.
#ifndef TABULIX_TOOL_TEXT_HPP
#define TABULIX_TOOL_TEXT_HPP

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tabulix::cli {

// What widths count: terminal columns (the default), or bytes.
enum class width_unit { columns, bytes };

// What a field looks like on a table line.
struct text_look {
  bool escape = false;     // it holds control characters, which are shown escaped
  std::size_t width = 0;   // its width as shown, when measured
  std::uint64_t size = 0;  // its bytes as shown, escapes included
};

// Looks at the bytes of a field once; measures its width when `measure`.
text_look look_at(std::string_view text, bool measure, width_unit unit);

// The text as it can stand in one table line: control characters become
// \n, \r, \t or \xHH, HH being the code point (C0, DEL, and C1 from U+0080
// to U+009F). Gives `text` itself when there is nothing to change, else the
// text of `buffer`.
const char* printable(const char* text, std::string& buffer, bool keep_line_breaks = false);

// The width of UTF-8 text as a table line shows it.
std::size_t shown_width(std::string_view text, width_unit unit);

// The longest start of `text` that fits `width` with "…" after it, with the
// "…"; `text` itself when it fits already. Cuts between characters.
std::string_view cut_to_width(std::string_view text, std::size_t width, width_unit unit,
                              std::string& buffer);

// The offset of the byte at which the shown width of `text` reaches
// `width`: the start of the character drawn in that column. npos when the
// text is narrower, or when a wide character covers the column.
std::size_t offset_at_width(std::string_view text, std::size_t width, width_unit unit);
// A number as written with its integer digits grouped: by three, or by four
// after "0x"; the digits after a point or exponent stay as they are. Gives
// `number` itself when nothing changes, else the text of `buffer`.
std::string_view group_digits(std::string_view number, char separator, std::string& buffer);

}  // namespace tabulix::cli

#endif
