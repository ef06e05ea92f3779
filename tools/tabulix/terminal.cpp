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
#include <sys/stat.h>

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

bool standard_error_is_terminal() {
#ifdef _WIN32
  return _isatty(_fileno(stderr)) != 0;
#else
  return isatty(fileno(stderr)) == 1;
#endif
}

std::uint64_t regular_file_size(std::FILE* in) {
#ifdef _WIN32
  struct _stat64 st {};
  if (_fstat64(_fileno(in), &st) != 0 || (st.st_mode & _S_IFREG) == 0) return 0;
#else
  struct stat st {};
  if (fstat(fileno(in), &st) != 0 || !S_ISREG(st.st_mode)) return 0;
#endif
  return st.st_size > 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
}

std::int64_t file_position(std::FILE* in) {
#ifdef _WIN32
  const std::int64_t at = _ftelli64(in);
#else
  const std::int64_t at = ftello(in);
#endif
  return at;
}

#ifdef _WIN32
namespace {

std::wstring wide_from_utf8(const std::string& text) {
  const int n =
      MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(n), L'\0');
  if (n > 0) {
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
  }
  return wide;
}

UINT code_page_before = 0;

void restore_code_page() { SetConsoleOutputCP(code_page_before); }

bool is_console(DWORD handle) {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(handle), &mode) != 0;
}

}  // namespace

std::string utf8_from_wide(const wchar_t* text) {
  // Unpaired surrogates become U+FFFD.
  const int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (n <= 1) return {};
  std::string utf8(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8.data(), n, nullptr, nullptr);
  utf8.pop_back();  // the NUL
  return utf8;
}

std::FILE* open_input_file(const std::string& name) {
  return _wfopen(wide_from_utf8(name).c_str(), L"rb");
}

void use_utf8_console() {
  if (!is_console(STD_OUTPUT_HANDLE) && !is_console(STD_ERROR_HANDLE)) return;
  code_page_before = GetConsoleOutputCP();
  if (code_page_before != CP_UTF8 && SetConsoleOutputCP(CP_UTF8) != 0) {
    std::atexit(restore_code_page);
  }
}
#else
std::FILE* open_input_file(const std::string& name) { return std::fopen(name.c_str(), "rb"); }

void use_utf8_console() {}
#endif

}  // namespace tabulix::cli
