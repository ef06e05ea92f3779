// Test helpers: an owning table handle, a quick header, and a byte image of
// every record, to show that a refused call changed nothing.
#ifndef TABULIX_TEST_TABLE_UTIL_H
#define TABULIX_TEST_TABLE_UTIL_H

#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>
#include <string>

#include "tabulix_internal.h"

struct TableDeleter {
  void operator()(tblx_table* t) const noexcept { tblx_delete(t); }
};
using Table = std::unique_ptr<tblx_table, TableDeleter>;

// A new table with one ended column per type; the header is ended unless asked not to.
inline Table make_table(std::initializer_list<unsigned> types, bool end_header = true) {
  Table t(tblx_new());
  for (unsigned type : types) {
    EXPECT_EQ(TBLX_OK, tblx_begincolumn(t.get(), type));
    EXPECT_EQ(TBLX_OK, tblx_endcolumn(t.get()));
  }
  if (end_header) {
    EXPECT_EQ(TBLX_OK, tblx_endheader(t.get()));
  }
  return t;
}

// An operation with fixed arguments as a plain function of the table, for case tables.
template <auto Function, auto... Arguments>
tblx_status call(tblx_table* t) {
  return Function(t, Arguments...);
}

template <typename Record>
void append_bytes(std::string& out, const Record& record) {
  out.append(reinterpret_cast<const char*>(&record), sizeof record);
}

// The bytes of the table, column, row and cell records (links included).
inline std::string image(const tblx_table* t) {
  std::string out;
  if (t == nullptr) return out;
  append_bytes(out, *t);
  for (const column* c = t->columns; c != nullptr; c = c->next) append_bytes(out, *c);
  for (const row* r = t->rows; r != nullptr; r = r->next) {
    append_bytes(out, *r);
    for (const cell* c = r->cells; c != nullptr; c = c->next) append_bytes(out, *c);
  }
  return out;
}

#endif  // TABULIX_TEST_TABLE_UTIL_H
