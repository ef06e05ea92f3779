// SPDX-License-Identifier: MIT
// The C++ API built with -fno-exceptions: only the error_code forms exist,
// and they report what the throwing forms would throw. Built again with
// TABULIX_TEST_MIXED and linked with with_exceptions.cpp, it shares tables
// with code built with exceptions.
#include <cstdio>
#include <optional>
#include <sstream>
#include <string>
#include <system_error>
#include <type_traits>
#include <utility>

#include "tabulix.hpp"
#ifdef TABULIX_TEST_MIXED
#include "mixed_exceptions.h"
#endif

static_assert(TABULIX_EXCEPTIONS == 0, "built without exceptions");

namespace {

// Whether t.end_header() (the throwing form) is declared.
template <class T, class = void>
struct has_throwing_end_header : std::false_type {};
template <class T>
struct has_throwing_end_header<T, std::void_t<decltype(std::declval<T&>().end_header())>>
    : std::true_type {};
static_assert(!has_throwing_end_header<tabulix::table>::value);
static_assert(!std::is_default_constructible_v<tabulix::table>);

int failures = 0;

void check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "failed: %s\n", what);
    ++failures;
  }
}

#define CHECK(expr) check((expr), #expr)

#ifdef TABULIX_TEST_MIXED
// One table filled from both halves of the program; each half's add_row and
// print reach the same state, and a title callable's exception from the half
// with exceptions is reported to this one.
void check_mixed() {
  const mixed::class_sizes here = mixed::sizes_here();
  const mixed::class_sizes there = mixed::sizes_with_exceptions();
  CHECK(here.table == there.table);
  CHECK(here.column == there.column);
  CHECK(here.column_spec == there.column_spec);
  CHECK(here.table_state == there.table_state);
  CHECK(here.title_source == there.title_source);
  CHECK(here.outcome == there.outcome);

  std::error_code ec;
  tabulix::table t(ec);
  bool fail = false;
  mixed::declare_and_add_with_exceptions(t, &fail);
  t.add_row("pen", 3, ec);
  CHECK(!ec);
  CHECK(mixed::add_row_with_exceptions(t, "cap", 5).empty());
  CHECK(mixed::add_row_with_exceptions(t, "nib", -5) == "Cell type mismatch with column type");
  t.add_row(std::string("long enough to need the heap"), 6, ec);
  CHECK(!ec);
  const tabulix::section shown = tabulix::section::titles | tabulix::section::rows;
  CHECK(t.to_string(shown, ec) ==
        "Item                         Qty\n"
        "ink                            4\n"
        "pen                            3\n"
        "cap                            5\n"
        "long enough to need the heap   6\n");
  CHECK(!ec);
  fail = true;
  CHECK(t.to_string(shown, ec).empty());
  CHECK(ec == std::errc::operation_canceled);
}
#endif

}  // namespace

int main() {
  std::error_code ec = tabulix::errc::parse;
  tabulix::table t({{tabulix::type::string, "Item"},
                    tabulix::column_spec(tabulix::type::uint64, "Qty")
                        .summarize()
                        .cell_just(tabulix::just::right)},
                   ec);
  CHECK(!ec);
  t.add_row("pen", 3, ec);
  CHECK(!ec);
  t.add_row("ink", -1, ec);  // does not fit a uint64 column
  CHECK(ec == tabulix::errc::cell_type_mismatch);
  t.add_row("cap", std::optional<int>(), ec);
  CHECK(!ec);
  t.add_row(tabulix::empty, std::optional<unsigned>(4), ec);
  CHECK(!ec);
  CHECK(t.row_count() == 3);
  t.add_column(tabulix::type::string, ec);
  CHECK(ec == tabulix::errc::header_ended);

  const std::string text = t.to_string(tabulix::section::all, ec);
  CHECK(!ec);
  CHECK(text == "Item Qty\npen    3\ncap     \n       4\n       7\n");
  std::ostringstream os;
  os << t;
  CHECK(os.str() == text);

  t.sort(t.column_id(0), tabulix::order::asc, ec);
  CHECK(!ec);
  CHECK(t.to_string(tabulix::section::rows, ec) == "       4\ncap     \npen    3\n");
  t.print(nullptr, tabulix::section::all, ec);
  CHECK(ec == tabulix::errc::invalid_argument);
  std::string written;
  t.print([&](const char* data, std::size_t size) { written.append(data, size); },
          tabulix::section::all, ec);
  CHECK(!ec && written == t.to_string(tabulix::section::all, ec));
  t.print([](const char*, std::size_t) { return false; }, tabulix::section::all, ec);
  CHECK(ec == tabulix::errc::output_error);
  t.set_format(tabulix::format::tsv, ec);
  CHECK(!ec && t.to_string(tabulix::section::titles, ec) == "Item\tQty\n");
  t.set_format(tabulix::format::text, ec);

  tabulix::table moved = std::move(t);
  t.clean(ec);
  CHECK(ec == tabulix::errc::invalid_argument);
  CHECK(moved.row_count() == 3);
#ifdef TABULIX_TEST_MIXED
  check_mixed();
#endif
  return failures == 0 ? 0 : 1;
}
