// SPDX-License-Identifier: MIT
// Whether standard output is a terminal, and how wide it is, and the other
// things that Windows does its own way: the one place that asks the system.
#ifndef TABULIX_TOOL_TERMINAL_HPP
#define TABULIX_TOOL_TERMINAL_HPP

#include <cstdio>
#include <string>

namespace tabulix::cli {

struct terminal_info {
  bool is_terminal = false;
  int columns = 0;  // 0 when unknown
};

terminal_info standard_output_terminal();

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
