// SPDX-License-Identifier: MIT
// Tables used from several threads at once: each thread builds, sorts, prints
// and deletes its own tables while all of them read the library's constant
// lists and messages. Every thread's output must be byte for byte what the
// same work gives on one thread. Run under ThreadSanitizer, this also shows
// that the library shares no mutable state between tables. Threads that
// print their own C and C++ tables to one shared file stream must find each
// print in one piece, apart from where a caller's title callback ran.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <future>
#include <latch>
#include <string>
#include <string_view>
#include <system_error>
#include <thread>
#include <vector>

#include "support/table.h"
#include "tabulix.hpp"

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

// ---- one FILE* shared by threads ------------------------------------------------

constexpr std::string_view callback_line = "callback: a line of its own\n";
constexpr std::string_view logger_line = "logger: a line while a title callback waits\n";

// A title callable's side work on the shared stream: a line of its own, then
// a line that another thread writes while the callable waits, as a logger
// thread would. That writer needs the stream's lock, so a print holding it
// across its callbacks would wait for ever: past the deadline it can be
// neither stopped nor joined, so the process ends and the test fails.
void write_lines_from_callback(std::FILE* stream) {
  std::fwrite(callback_line.data(), 1, callback_line.size(), stream);
  auto logged = std::async(std::launch::async, [stream] {
    std::fwrite(logger_line.data(), 1, logger_line.size(), stream);
  });
  if (logged.wait_for(std::chrono::seconds(60)) != std::future_status::ready) {
    std::fputs("a print held the shared stream across a title callback\n", stderr);
    std::_Exit(EXIT_FAILURE);
  }
}

// Rows long enough that one print spans several stdio buffers; every text
// names the table, so no table's bytes can be taken for another's.
constexpr int shared_rows = 300;

std::string row_text(int table_no, int row) {
  return "table " + std::to_string(table_no) + " row " + std::to_string(row);
}

support::Table c_table(int table_no) {
  support::Rows rows;
  for (int i = 0; i < shared_rows; ++i) {
    rows.push_back({support::str(row_text(table_no, i)), support::unum(uint64_t(i) * 977u)});
  }
  return support::make_table(
      {{TBLX_TYPE_STRING, "Item"},
       {.type = TBLX_TYPE_UINT, .title = "Size", .cell_just = TBLX_JUST_RIGHT, .sum = true}},
      rows);
}

// With a callback stream, the title comes from a callable that writes to the
// stream once one is set there.
tabulix::table cpp_table(int table_no, std::FILE* const* callback_stream) {
  tabulix::table t;
  tabulix::column_spec item(tabulix::type::string, "Item");
  if (callback_stream != nullptr) {
    item.title_func([callback_stream](unsigned) {
      if (*callback_stream != nullptr) write_lines_from_callback(*callback_stream);
      return std::string("Item");
    });
  }
  t.add_column(item);
  t.add_column(tabulix::column_spec(tabulix::type::int64, "Delta").summarize().suffix(" ms"));
  t.set_style(tabulix::style::fancyw);
  t.end_header();
  for (int i = 0; i < shared_rows; ++i) t.add_row(row_text(table_no, i), i * 31 - 4000);
  return t;
}

// Non-overlapping occurrences of part in text.
std::size_t count_of(const std::string& text, std::string_view part) {
  std::size_t n = 0;
  for (std::size_t at = text.find(part); at != std::string::npos;
       at = text.find(part, at + part.size())) {
    ++n;
  }
  return n;
}

std::string read_all(std::FILE* stream) {
  std::string text;
  std::rewind(stream);
  char buffer[4096];
  while (const std::size_t got = std::fread(buffer, 1, sizeof buffer, stream)) {
    text.append(buffer, got);
  }
  return text;
}

// How one thread prints its table (giving an error report, or ""), and what
// one print gives alone.
struct shared_job {
  std::function<std::string(std::FILE*)> print;
  std::string alone;
};

shared_job cpp_job(tabulix::table& t) {
  return {[&t](std::FILE* f) {
            std::error_code ec;
            t.print(f, tabulix::section::all, ec);
            return ec ? "print: " + ec.message() : std::string();
          },
          support::capture([&t](std::FILE* f) { t.print(f); })};  // also without to_string
}

// A C table, a C++ table, and a C++ table whose title callable writes to the
// shared stream itself and through another thread.
TEST(Threads, PrintsToOneSharedFileStayInOnePiece) {
#if defined(_WIN32)
  std::FILE* shared = support::open_temporary_file();
#else
  std::FILE* shared = std::tmpfile();
#endif
  ASSERT_NE(shared, nullptr);
  constexpr std::size_t rounds = 32;  // three threads: more rounds give prints more chances to meet
  std::FILE* callback_stream = nullptr;  // off while the expected bytes are printed
  const support::Table c_plain = c_table(0);
  tabulix::table cpp_plain = cpp_table(1, nullptr);
  tabulix::table cpp_logging = cpp_table(2, &callback_stream);
  const std::vector<shared_job> jobs = {
      {[&](std::FILE* f) {
         const tblx_status s = tblx_print(c_plain.get(), TBLX_PRINT_ALL, f);
         return s == TBLX_OK ? std::string() : support::failed("tblx_print", s);
       },
       support::print_to_string(c_plain.get())},
      cpp_job(cpp_plain),
      cpp_job(cpp_logging),
  };
  callback_stream = shared;

  std::vector<std::string> errors(jobs.size());
  std::latch start(static_cast<std::ptrdiff_t>(jobs.size()));
  std::vector<std::thread> threads;
  for (std::size_t n = 0; n < jobs.size(); ++n) {
    threads.emplace_back([&, n] {
      start.arrive_and_wait();
      for (std::size_t r = 0; r < rounds; ++r) errors[n] += jobs[n].print(shared);
    });
  }
  for (std::thread& th : threads) th.join();
  for (const std::string& e : errors) EXPECT_EQ(e, "");
  const std::string file = read_all(shared);
  std::fclose(shared);

  // Other writers may come in where the callable ran, in the title line: the
  // rest of that print follows it in one piece, and the other prints are whole.
  const std::string& logging = jobs[2].alone;
  EXPECT_EQ(count_of(file, jobs[0].alone), rounds);
  EXPECT_EQ(count_of(file, jobs[1].alone), rounds);
  EXPECT_EQ(count_of(file, std::string_view(logging).substr(logging.find('\n') + 1)), rounds);
  EXPECT_EQ(count_of(file, callback_line), rounds);
  EXPECT_EQ(count_of(file, logger_line), rounds);
  EXPECT_EQ(file.size(), rounds * (jobs[0].alone.size() + jobs[1].alone.size() + logging.size() +
                                   callback_line.size() + logger_line.size()));
}

}  // namespace
