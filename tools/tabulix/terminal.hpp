// SPDX-License-Identifier: MIT
// Whether standard output is a terminal, and how wide it is, and the other
// things that Windows does its own way: the one place that asks the system.
#ifndef TABULIX_TOOL_TERMINAL_HPP
#define TABULIX_TOOL_TERMINAL_HPP

#include <cstdint>
#include <cstdio>
#include <string>

namespace tabulix::cli {

struct terminal_info {
  bool is_terminal = false;
  int columns = 0;  // 0 when unknown
};

terminal_info standard_output_terminal();

// Whether standard error is a terminal (where a progress display may go).
bool standard_error_is_terminal();

// The size of the regular file that `in` reads, or 0 when it is none (a
// pipe, a terminal) or its size is unknown.
std::uint64_t regular_file_size(std::FILE* in);

// How many bytes of `in` have been read from the file, or -1 when it cannot
// tell (a pipe).
std::int64_t file_position(std::FILE* in);

// Opens a file named in UTF-8 for reading bytes. Windows takes the name as
// UTF-16 (its narrow calls would read it in the ANSI code page).
std::FILE* open_input_file(const std::string& name);

// A Windows console shows the UTF-8 that the tool writes, and measures, as
// such only with its output code page set to UTF-8: set while the tool runs
// when standard output or error is a console, and set back at exit.
// Elsewhere nothing to do.
void use_utf8_console();

#ifdef _WIN32
// UTF-16 text, as Windows gives arguments, in UTF-8.
std::string utf8_from_wide(const wchar_t* text);
#endif

}  // namespace tabulix::cli

#endif
