// The table of the C consumer, built through tabulix.hpp: same bytes.
#include <cstdint>
#include <iostream>

#include <tabulix.hpp>

int main() try {
  using tabulix::just;
  tabulix::table t;
  t.add_column(tabulix::type::string).title("Item");
  t.add_column(tabulix::type::string).title("Price").cell_just(just::char_first);
  t.add_column(tabulix::type::uint64).title("Qty").cell_just(just::right).summarize();
  t.end_header();
  t.add_row("pen", "1.50", 10u);
  t.add_row("notebook", "12.5", 2u);
  t.add_row("ink", "0.25", 125u);
  t.set_style(tabulix::style::fancy);
  std::cout << t;
  return std::cout.good() ? 0 : 1;
} catch (const std::exception& e) {
  std::cerr << e.what() << '\n';
  return 1;
}
