// SPDX-License-Identifier: MIT
#include "terminal.hpp"

#include <cstdio>
#include <cstdlib>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <sys/ioctl.h>
#include <unistd.h>
#endif

namespace tabulix::cli {

namespace {

// COLUMNS, when the shell exports it, else 0.
int columns_from_environment() {
  const char* text = std::getenv("COLUMNS");
  if (text == nullptr) return 0;
  const long n = std::strtol(text, nullptr, 10);
  return n > 0 && n < 65536 ? static_cast<int>(n) : 0;
}

}  // namespace

terminal_info standard_output_terminal() {
  terminal_info info;
#ifdef _WIN32
  info.is_terminal = _isatty(_fileno(stdout)) != 0;
  CONSOLE_SCREEN_BUFFER_INFO screen;
  if (info.is_terminal && GetConsoleScreenBufferInfo(GetStdHandle(STD_OUTPUT_HANDLE), &screen)) {
    info.columns = screen.srWindow.Right - screen.srWindow.Left + 1;
  }
#else
  info.is_terminal = isatty(fileno(stdout)) == 1;
  winsize size{};
  // ioctl is the one way to ask a terminal its size; it takes varargs.
  if (info.is_terminal &&
      ioctl(fileno(stdout), TIOCGWINSZ, &size) == 0) {  // NOLINT(cppcoreguidelines-pro-type-vararg)
    info.columns = size.ws_col;
  }
#endif
  if (info.is_terminal && info.columns <= 0) info.columns = columns_from_environment();
  return info;
}

}  // namespace tabulix::cli
