// SPDX-License-Identifier: MIT
// Whether standard output is a terminal, and how wide it is: the one place
// that asks the system.
#ifndef TABULIX_TOOL_TERMINAL_HPP
#define TABULIX_TOOL_TERMINAL_HPP

namespace tabulix::cli {

struct terminal_info {
  bool is_terminal = false;
  int columns = 0;  // 0 when unknown
};

terminal_info standard_output_terminal();

}  // namespace tabulix::cli

#endif
