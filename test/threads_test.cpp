// Tables used from several threads at once: each thread builds, sorts, prints
// and deletes its own tables while all of them read the library's constant
// lists and messages. Every thread's output must be byte for byte what the
// same work gives on one thread. Run under ThreadSanitizer, this also shows
// that the library shares no mutable state between tables.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <latch>
#include <string>
#include <thread>
#include <vector>

#include "support/table.h"

namespace {

// A title that depends on the width it is given; the text lives in the
// caller's buffer, one per column, so threads never share it.
struct fitted_title {
  char text[64];
};

const char* TBLX_CALL fit_title(void* arg, uint32_t width) {
  auto* title = static_cast<fitted_title*>(arg);
  std::snprintf(title->text, sizeof title->text, "w%u.x", static_cast<unsigned>(width));
  return title->text;
}

const char* TBLX_CALL no_title(void*, uint32_t) { return nullptr; }

// Everything a thread prints of one table, in every style, with the rows in
// input order and sorted by each column.
std::string build_sort_print(unsigned seed) {
  tblx_table* t = tblx_new();
  if (t == nullptr) return "tblx_new failed";
  std::string log;
  auto check = [&log](tblx_status s, const char* what) {
    if (s != TBLX_OK) log += std::string("ERROR ") + what + ": " + tblx_strerror(s) + '\n';
  };

  fitted_title titles[2];
  int32_t ids[4] = {};
  check(tblx_begincolumn_columnid(t, TBLX_TYPE_STRING, &ids[0]), "string column");
  check(tblx_setcolumn_titlefunc(t, fit_title, &titles[0]), "title func");
  check(tblx_setcolumn_titlejust(t, TBLX_JUST_CHAR_FIRST), "title just");
  check(tblx_setcolumn_sortmode(t, TBLX_SORTMODE_BY_LENGTH), "sort mode");
  check(tblx_endcolumn(t), "end");
  check(tblx_begincolumn_columnid(t, TBLX_TYPE_INT, &ids[1]), "int column");
  check(tblx_setcolumn_title(t, "Int"), "title");
  check(tblx_setcolumn_celljust(t, TBLX_JUST_RIGHT), "cell just");
  check(tblx_setcolumn_summarize(t, 1), "summarize");
  check(tblx_setcolumn_suffix(t, " u"), "suffix");
  check(tblx_endcolumn(t), "end");
  check(tblx_begincolumn_columnid(t, TBLX_TYPE_UINT, &ids[2]), "uint column");
  check(tblx_setcolumn_titlefunc(t, no_title, nullptr), "title func");
  check(tblx_setcolumn_celljust(t, TBLX_JUST_CENTER), "cell just");
  check(tblx_setcolumn_minwidth(t, 7), "min width");
  check(tblx_endcolumn(t), "end");
  check(tblx_begincolumn_columnid(t, TBLX_TYPE_HEX, &ids[3]), "hex column");
  check(tblx_setcolumn_titlefunc(t, fit_title, &titles[1]), "title func");
  check(tblx_setcolumn_hexcase(t, TBLX_HEX_UPPER), "hex case");
  check(tblx_setcolumn_leadingzero(t, 1), "leading zeros");
  check(tblx_setcolumn_summarize(t, 1), "summarize");
  check(tblx_endcolumn(t), "end");
  check(tblx_endheader(t), "end header");
  check(tblx_setsumreplace(t, TBLX_STYLE_FANCY, '*'), "filler");

  uint32_t x = seed * 2654435761u + 1u;
  auto next = [&x] { return x = x * 1664525u + 1013904223u; };
  for (int i = 0; i < 60; ++i) {
    check(tblx_beginrow(t), "row");
    const std::string text(next() % 12, static_cast<char>('a' + next() % 26));
    check(tblx_addcell_string(t, (text + ".").c_str()), "string cell");
    if (i % 7 != 3) {  // some rows end short
      check(tblx_addcell_int(t, static_cast<int32_t>(next())), "int cell");
      check(tblx_addcell_uint(t, next()), "uint cell");
      check(tblx_addcell_hex(t, uint64_t{next()} << 20), "hex cell");
    }
    check(tblx_endrow(t), "end row");
  }

  const char* const* styles = tblx_getstylelist();
  const char* const* orders = tblx_getsortorderlist();
  log += support::capture([&](FILE* stream) {
    for (int o = 0; orders[o] != nullptr; ++o) {
      int order = -1;
      check(tblx_parse_sortorder(&order, orders[o]), "parse sort order");
      for (int32_t id : ids) {
        check(tblx_sort(t, order, id), "sort");
        for (int s = 0; styles[s] != nullptr; ++s) {
          check(tblx_setstylestr(t, styles[s]), "style");
          check(tblx_print_all(t, stream), "print");
        }
      }
    }
  });
  tblx_delete(t);
  return log;
}

// The constant lists and messages, read whole.
std::string read_constants() {
  std::string text = tblx_version_str();
  for (tblx_status s = -1; s <= 19; ++s) text += tblx_strerror(s);
  for (const char* const* name = tblx_getstylelist(); *name != nullptr; ++name) text += *name;
  for (const char* const* name = tblx_getsortorderlist(); *name != nullptr; ++name) text += *name;
  return text + std::to_string(tblx_version_uint());
}

TEST(Threads, IndependentTablesGiveTheSameOutputAsOnOneThread) {
  constexpr unsigned thread_count = 4;
  constexpr unsigned rounds = 3;
  std::vector<std::string> expected(thread_count * rounds);
  for (unsigned i = 0; i < expected.size(); ++i) expected[i] = build_sort_print(i);
  const std::string constants = read_constants();

  std::vector<std::string> got(expected.size());
  std::vector<std::string> constants_seen(expected.size());
  std::latch start(thread_count);
  std::vector<std::thread> threads;
  for (unsigned n = 0; n < thread_count; ++n) {
    threads.emplace_back([&, n] {
      start.arrive_and_wait();  // all threads begin together
      for (unsigned r = 0; r < rounds; ++r) {
        const unsigned i = r * thread_count + n;
        got[i] = build_sort_print(i);
        constants_seen[i] = read_constants();
      }
    });
  }
  for (std::thread& th : threads) th.join();

  for (unsigned i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(got[i], expected[i]) << "table " << i;
    EXPECT_EQ(constants_seen[i], constants);
  }
  for (const std::string& output : expected) {
    EXPECT_EQ(output.find("ERROR "), std::string::npos) << output.substr(0, 200);
  }
  EXPECT_GT(expected[0].size(), 10000u);
}

}  // namespace
