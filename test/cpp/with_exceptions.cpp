// SPDX-License-Identifier: MIT
// The half of the mixed program built with exceptions (see mixed_exceptions.h).
#include <stdexcept>
#include <string>
#include <system_error>

#include "mixed_exceptions.h"

static_assert(TABULIX_EXCEPTIONS == 1, "built with exceptions");

namespace mixed {

class_sizes sizes_with_exceptions() noexcept { return sizes_here(); }

void declare_and_add_with_exceptions(tabulix::table& t, const bool* fail) {
  t.add_column({tabulix::type::string, "Item"});
  t.add_column(tabulix::column_spec(tabulix::type::uint64).title_func([fail](unsigned) {
    if (*fail) throw std::runtime_error("no title");
    return std::string("Qty");
  }));
  t.add_row("ink", 4);
}

std::string add_row_with_exceptions(tabulix::table& t, const char* item, int qty) {
  try {
    t.add_row(item, qty);
  } catch (const std::system_error& e) {
    return e.what();
  }
  return "";
}

}  // namespace mixed
