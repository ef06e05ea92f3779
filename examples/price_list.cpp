// SPDX-License-Identifier: MIT
// A price list aligned on the decimal point, printed into a std::string
// first: prices stay texts, so that "12.5" and "1.25" keep their digits.
// Items without a stock count get an empty cell.
#include <cstdio>
#include <optional>
#include <string>
#include <tabulix.hpp>
#include <vector>

namespace {

struct item {
  const char* name;
  const char* unit;
  const char* price;
  std::optional<unsigned> stock;
};

const std::vector<item> items = {
    {"Espresso beans", "1 kg", "24.90", 37},    {"Filter papers, size 4", "100 pc", "3.49", 210},
    {"Oat drink", "1 l", "2.15", std::nullopt}, {"Dark chocolate 85%", "100 g", "2.79", 145},
    {"Gift card", "1 pc", "25", std::nullopt},  {"Tea sampler", "12 bags", "12.5", 9},
};

}  // namespace

int main() {
  using tabulix::column_spec;
  using tabulix::just;
  using tabulix::type;
  std::error_code ec;
  tabulix::table t(
      {{type::string, "Item"},
       {type::string, "Unit"},
       column_spec(type::string, "Price").cell_just(just::char_first).justify_char('.'),
       column_spec(type::uint64, "Stock").cell_just(just::right).summarize().min_width(5)},
      ec);
  for (const item& i : items) {
    if (!ec) t.add_row(i.name, i.unit, i.price, i.stock, ec);
  }
  if (!ec) t.set_sum_text(t.column_id(0), "In stock", ec);
  if (!ec) t.set_style(tabulix::style::fancy, ec);
  const std::string text = ec ? std::string() : t.to_string(tabulix::section::all, ec);
  if (ec) {
    std::fprintf(stderr, "price_list: %s\n", ec.message().c_str());
    return 1;
  }
  std::fputs(text.c_str(), stdout);
  return 0;
}
