// SPDX-License-Identifier: MIT
// The faults the tool reports, one class per exit status and kind of place.
// main() turns each into a message on standard error and an exit status.
#ifndef TABULIX_TOOL_ERRORS_HPP
#define TABULIX_TOOL_ERRORS_HPP

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace tabulix::cli {

// A fault in the command line; the tool exits with status 2.
class usage_error : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A fault in the input data found once it is all read; status 1.
class data_error : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A fault in the input at a place: what() gives "file:line:column: message"
// (the column counts bytes from 1); a column of 0 leaves the column out, a
// line of 0 the line as well. Status 1.
class input_error : public std::runtime_error {
 public:
  input_error(const std::string& file, std::uint64_t line, std::uint64_t column,
              const std::string& message)
      : std::runtime_error(place(file, line, column) + ": " + message) {}

 private:
  static std::string place(const std::string& file, std::uint64_t line, std::uint64_t column) {
    std::string text = file;
    if (line != 0) {
      text += ':' + std::to_string(line);
      if (column != 0) text += ':' + std::to_string(column);
    }
    return text;
  }
};

// "'text'", for quoting user input in messages.
inline std::string in_quotes(std::string_view text) {
  std::string quoted(1, '\'');
  quoted.append(text);
  quoted.push_back('\'');
  return quoted;
}

}  // namespace tabulix::cli

#endif
