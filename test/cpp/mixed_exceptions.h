// SPDX-License-Identifier: MIT
// A program made of translation units built with and without exceptions that
// share tables: every class of tabulix.hpp must have the same layout in both.
// with_exceptions.cpp is built with exceptions, no_exceptions.cpp without.
#ifndef TABULIX_TEST_MIXED_EXCEPTIONS_H
#define TABULIX_TEST_MIXED_EXCEPTIONS_H

#include <cstddef>
#include <string>

#include "tabulix.hpp"

namespace mixed {

// The sizes of the header's classes as one translation unit sees them.
struct class_sizes {
  std::size_t table, column, column_spec, table_state, title_source, outcome;
};

// Compiled in each translation unit on its own (internal linkage).
[[maybe_unused]] static class_sizes sizes_here() noexcept {
  return {sizeof(tabulix::table),
          sizeof(tabulix::column),
          sizeof(tabulix::column_spec),
          sizeof(tabulix::detail::table_state),
          sizeof(tabulix::detail::title_source),
          sizeof(tabulix::detail::outcome)};
}

// Defined in with_exceptions.cpp.
class_sizes sizes_with_exceptions() noexcept;
// Declares a string column "Item" and a uint column whose title callable
// throws std::runtime_error while *fail is true; adds the row ("ink", 4).
void declare_and_add_with_exceptions(tabulix::table& t, const bool* fail);
// Adds the row (item, qty) with the throwing form; gives what it threw, or "".
std::string add_row_with_exceptions(tabulix::table& t, const char* item, int qty);

}  // namespace mixed

#endif  // TABULIX_TEST_MIXED_EXCEPTIONS_H
