// Tables used from several threads at once: each thread builds, sorts, prints
// and deletes its own tables while all of them read the library's constant
// lists and messages. Every thread's output must be byte for byte what the
// same work gives on one thread. Run under ThreadSanitizer, this also shows
// that the library shares no mutable state between tables. Threads that
// print their own C and C++ tables to one shared file stream must find each
// print in one piece, apart from where a caller's title callback ran.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <latch>
#include <mutex>
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

// Writes a line to the shared stream for a title callback that asks and waits
// for it: the writer needs the stream's lock, so a print that held the lock
// across its callbacks would wait for ever (the callback gives up after a
// while and reports it instead).
class stream_logger {
 public:
  static constexpr std::string_view line = "logger: a line while a title callback waits\n";

  explicit stream_logger(std::FILE* stream) : stream_(stream), thread_([this] { serve(); }) {}
  stream_logger(const stream_logger&) = delete;
  stream_logger& operator=(const stream_logger&) = delete;
  ~stream_logger() {
    {
      const std::lock_guard lock(mutex_);
      stop_ = true;
    }
    wake_.notify_all();
    thread_.join();
  }

  // Has the logger write its line; false if it was not written in time.
  bool write_line() {
    std::unique_lock lock(mutex_);
    const unsigned ticket = ++asked_;
    wake_.notify_all();
    return wake_.wait_for(lock, std::chrono::seconds(10), [&] { return written_ >= ticket; });
  }

 private:
  void serve() {
    std::unique_lock lock(mutex_);
    for (;;) {
      wake_.wait(lock, [&] { return stop_ || written_ < asked_; });
      if (written_ == asked_) return;  // stopped with nothing left to write
      lock.unlock();
      std::fwrite(line.data(), 1, line.size(), stream_);
      lock.lock();
      ++written_;
      wake_.notify_all();
    }
  }

  std::FILE* stream_;
  std::mutex mutex_;
  std::condition_variable wake_;
  unsigned asked_ = 0;
  unsigned written_ = 0;
  bool stop_ = false;
  std::thread thread_;  // last: starts once the rest is ready
};

constexpr std::string_view callback_line = "callback: a line of its own\n";

// What a caller's title callback does besides giving the title. Off while
// the expected bytes are printed on one thread.
struct title_side_effect {
  std::FILE* stream = nullptr;      // the callback writes its own line here, or
  stream_logger* logger = nullptr;  // it waits for the logger's line
  bool on = false;
  bool waited_in_vain = false;

  void run() {
    if (!on) return;
    if (stream != nullptr) std::fwrite(callback_line.data(), 1, callback_line.size(), stream);
    // One wait in vain shows the fault; the later ones would only take time.
    if (logger != nullptr && !waited_in_vain && !logger->write_line()) waited_in_vain = true;
  }
};

const char* TBLX_CALL c_title_with_effect(void* arg, uint32_t) {
  static_cast<title_side_effect*>(arg)->run();
  return "Item";
}

// Rows long enough that one print spans several stdio buffers; every text
// names the table, so no table's bytes can be taken for another's.
constexpr int shared_rows = 300;

std::string row_text(int table_no, int row) {
  return "table " + std::to_string(table_no) + " row " + std::to_string(row);
}

support::Table c_table(int table_no, title_side_effect* effect) {
  support::ColDef item{TBLX_TYPE_STRING, "Item"};
  if (effect != nullptr) {
    item.title_func = c_title_with_effect;
    item.title_arg = effect;
  }
  support::ColDef size{TBLX_TYPE_UINT, "Size"};
  size.cell_just = TBLX_JUST_RIGHT;
  size.sum = true;
  support::Rows rows;
  for (int i = 0; i < shared_rows; ++i) {
    rows.push_back({support::str(row_text(table_no, i)), support::unum(uint64_t(i) * 977u)});
  }
  return support::make_table({item, size}, rows);
}

tabulix::table cpp_table(int table_no, title_side_effect* effect) {
  tabulix::table t;
  tabulix::column item = t.add_column(tabulix::type::string);
  if (effect != nullptr) {
    item.title_func([effect](unsigned) {
      effect->run();
      return std::string("Item");
    });
  } else {
    item.title("Item");
  }
  t.add_column(tabulix::type::int64).title("Delta").summarize().suffix(" ms");
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
  for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, stream)) > 0;) {
    text.append(buffer, got);
  }
  return text;
}

// One thread's table, how it prints, and what one print gives alone.
struct shared_job {
  std::function<std::string(std::FILE*)> print;  // gives an error report, or ""
  std::string alone;
  bool has_callback = false;
};

TEST(Threads, PrintsToOneSharedFileStayInOnePiece) {
  std::FILE* shared = std::tmpfile();
  ASSERT_NE(shared, nullptr);
  constexpr int rounds = 8;
  {
    stream_logger logger(shared);
    title_side_effect writes_itself;
    writes_itself.stream = shared;
    title_side_effect waits_for_logger;
    waits_for_logger.logger = &logger;

    std::vector<support::Table> c_tables;
    c_tables.push_back(c_table(0, nullptr));
    c_tables.push_back(c_table(1, nullptr));
    c_tables.push_back(c_table(2, &writes_itself));
    std::vector<tabulix::table> cpp_tables;
    cpp_tables.push_back(cpp_table(3, nullptr));
    cpp_tables.push_back(cpp_table(4, nullptr));
    cpp_tables.push_back(cpp_table(5, &waits_for_logger));

    std::vector<shared_job> jobs;
    for (support::Table& t : c_tables) {
      tblx_table* raw = t.get();
      jobs.push_back({[raw](std::FILE* f) {
                        const tblx_status s = tblx_print(raw, TBLX_PRINT_ALL, f);
                        return s == TBLX_OK ? std::string() : support::failed("tblx_print", s);
                      },
                      support::print_to_string(raw),
                      raw->columns->title_func == c_title_with_effect});
    }
    for (tabulix::table& t : cpp_tables) {
      const tabulix::table* cpp = &t;
      jobs.push_back({[cpp](std::FILE* f) {
                        std::error_code ec;
                        cpp->print(f, ec);
                        return ec ? "print: " + ec.message() : std::string();
                      },
                      t.to_string(), &t == &cpp_tables.back()});
    }
    writes_itself.on = true;
    waits_for_logger.on = true;

    std::vector<std::string> errors(jobs.size());
    std::latch start(static_cast<std::ptrdiff_t>(jobs.size()));
    std::vector<std::thread> threads;
    for (std::size_t n = 0; n < jobs.size(); ++n) {
      threads.emplace_back([&, n] {
        start.arrive_and_wait();
        for (int r = 0; r < rounds; ++r) errors[n] += jobs[n].print(shared);
      });
    }
    for (std::thread& th : threads) th.join();
    for (const std::string& e : errors) EXPECT_EQ(e, "");
    EXPECT_FALSE(waits_for_logger.waited_in_vain) << "a print held the stream across a callback";

    const std::string file = read_all(shared);
    std::size_t expected_size = rounds * (callback_line.size() + stream_logger::line.size());
    for (std::size_t n = 0; n < jobs.size(); ++n) {
      const std::string& alone = jobs[n].alone;
      expected_size += rounds * alone.size();
      // Other writers may come in where a caller's callback ran, in the title
      // line: the rest of the print follows the last callback in one piece.
      const std::string_view whole =
          jobs[n].has_callback ? std::string_view(alone).substr(alone.find('\n') + 1) : alone;
      EXPECT_EQ(count_of(file, whole), rounds) << "table " << n;
    }
    EXPECT_EQ(count_of(file, callback_line), rounds);
    EXPECT_EQ(count_of(file, stream_logger::line), rounds);
    EXPECT_EQ(file.size(), expected_size);
  }
  std::fclose(shared);
}

}  // namespace
