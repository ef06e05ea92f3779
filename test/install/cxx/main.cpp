// SPDX-License-Identifier: MIT
// The README's C++ example, built against the installed package.
#include <iostream>
#include <tabulix.hpp>

int main() try {
  using tabulix::column_spec, tabulix::type, tabulix::just;
  tabulix::table t{{type::string, "File"},
                   column_spec(type::uint64, "Size").cell_just(just::right).summarize()};
  t.add_row("notes.txt", 1200);  // the first row ends the header
  t.add_row("photo.jpg", 58000);
  std::cout << t;
  return std::cout ? 0 : 1;
} catch (const std::system_error& e) {
  std::cerr << "tabulix: " << e.what() << '\n';
  return 1;
}
