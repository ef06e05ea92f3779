// SPDX-License-Identifier: MIT
// The README's C++ example, built against the installed package.
#include <iostream>
#include <tabulix.hpp>

int main() try {
  tabulix::table t;
  t.add_column(tabulix::type::string).title("File");
  t.add_column(tabulix::type::uint64).title("Size").cell_just(tabulix::just::right).summarize();
  t.end_header();
  t.add_row("notes.txt", 1200u);
  t.add_row("photo.jpg", 58000u);
  std::cout << t;
  return std::cout ? 0 : 1;
} catch (const std::system_error& e) {
  std::cerr << "tabulix: " << e.what() << '\n';
  return 1;
}
