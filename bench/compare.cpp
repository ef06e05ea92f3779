// SPDX-License-Identifier: MIT
// libtabulix against hand-written printers on the benchmark workload
// (workload.h). The headline is a cold run: every measurement is a fresh
// process (this program started again with -c), which generates the rows
// untimed and then times its first table, as a program that prints one table
// does: libtabulix fills, prints and deletes it; a printer runs its two passes
// over the rows (it allocates nothing, so it has nothing to free).
//
//   snprintf printer  a first pass that measures each number with snprintf
//                     for the widths and the sum, then one fprintf per line
//   to_chars printer  a first pass that counts digits without formatting,
//                     then the same fprintf per line
//
// Both printers' bytes must equal libtabulix's. The cold runs also give the
// heap bytes per row that the table holds, page faults and peak resident
// growth; print and delete right after sorting by the bytes column against
// print and delete in insertion order; tblx_sort against std::stable_sort of
// (key, row) pairs; and the cost of a tenth of the rows. Each round runs every
// side once, the first side rotating; the report gives the medians. Beside it
// the warm figures: all sides in this process, each round reusing the heap
// that earlier rounds left, with libsmartcols (the nearest layout it offers,
// numbers formatted by snprintf) and a memcpy of the finished bytes as the
// floor.
//
// Usage: tabulix_compare [-n rows] [-r rounds] [-s null|memory]
// Exit status 1 when a printer's bytes differ from libtabulix's, 2 on an error.
#include <fcntl.h>
#include <libsmartcols/libsmartcols.h>
#include <malloc.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "support/table.h"
#include "tabulix.h"
#include "workload.h"

extern char** environ;

namespace {

using workload::record;

// A time span, on the wall clock and in CPU time of the process. While other
// programs compete for the cores, the CPU time is the steadier figure.
struct span {
  double wall = 0;
  double cpu = 0;
};

span operator+(span a, span b) { return {a.wall + b.wall, a.cpu + b.cpu}; }

class stopwatch {
 public:
  stopwatch() { restart(); }
  void restart() {
    wall_ = std::chrono::steady_clock::now();
    cpu_ = cpu_seconds();
  }
  span elapsed() const {
    return {std::chrono::duration<double>(std::chrono::steady_clock::now() - wall_).count(),
            cpu_seconds() - cpu_};
  }

 private:
  static double cpu_seconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
  }

  std::chrono::steady_clock::time_point wall_;
  double cpu_ = 0;
};

[[noreturn]] void fail(const char* what) {
  std::fprintf(stderr, "tabulix_compare: %s\n", what);
  std::exit(2);
}

// ---- the hand-written printers ----------------------------------------------------
// What a C programmer writes for this table: a pass that measures the column
// widths and the sum, then one fprintf per line. The two printers differ in
// how the first pass measures a number.

// The widths and the sum that the first pass finds. The empty summary text of
// the price column still reserves the alignment point, hence a lead of 1.
struct layout {
  int name = 0, delta = 0, bytes_digits = 0, addr_digits = 0;
  int lead = 1;  // the price up to and including its '.'
  int tail = 0;  // the price after its '.'
  unsigned long long sum = 0;
};

int decimal_digits(uint64_t v) {
  int n = 1;
  while (v >= 10) {
    v /= 10;
    ++n;
  }
  return n;
}

int signed_digits(int64_t v) {
  return v < 0 ? 1 + decimal_digits(0 - static_cast<uint64_t>(v))
               : decimal_digits(static_cast<uint64_t>(v));
}

int hex_digits(uint64_t v) {
  int n = 1;
  while (v >= 16) {
    v >>= 4;
    ++n;
  }
  return n;
}

// Position of the '.' plus one: the price's share before the alignment point.
int price_lead(const char* price) {
  const char* dot = std::strchr(price, '.');
  return dot != nullptr ? static_cast<int>(dot - price) + 1
                        : static_cast<int>(std::strlen(price)) + 1;
}

// The text columns, measured the same way by both printers.
void measure_texts(const record& r, layout& l) {
  l.name = std::max(l.name, static_cast<int>(std::strlen(r.name)));
  const int a = price_lead(r.price);
  l.lead = std::max(l.lead, a);
  l.tail = std::max(l.tail, static_cast<int>(std::strlen(r.price)) - a);
}

layout measure_by_counting(const std::vector<record>& rows) {
  layout l;
  for (const record& r : rows) {
    measure_texts(r, l);
    l.delta = std::max(l.delta, signed_digits(r.delta));
    l.bytes_digits = std::max(l.bytes_digits, decimal_digits(r.bytes));
    l.addr_digits = std::max(l.addr_digits, hex_digits(r.addr));
    l.sum += r.bytes;
  }
  l.bytes_digits = std::max(l.bytes_digits, decimal_digits(l.sum));
  return l;
}

layout measure_by_snprintf(const std::vector<record>& rows) {
  layout l;
  char buf[32];
  for (const record& r : rows) {
    measure_texts(r, l);
    l.delta =
        std::max(l.delta, std::snprintf(buf, sizeof buf, "%lld", static_cast<long long>(r.delta)));
    l.bytes_digits =
        std::max(l.bytes_digits,
                 std::snprintf(buf, sizeof buf, "%llu", static_cast<unsigned long long>(r.bytes)));
    l.addr_digits = std::max(l.addr_digits, std::snprintf(buf, sizeof buf, "%llx",
                                                          static_cast<unsigned long long>(r.addr)));
    l.sum += r.bytes;
  }
  l.bytes_digits = std::max(l.bytes_digits, std::snprintf(buf, sizeof buf, "%llu", l.sum));
  return l;
}

void print_rule(FILE* out, const int* widths, int count) {
  for (int i = 0; i < count; ++i) {
    if (i > 0) std::fputs("-+-", out);
    for (int k = 0; k < widths[i]; ++k) std::fputc('-', out);
  }
  std::fputc('\n', out);
}

// The second pass, the same for both printers.
void write_table(const std::vector<record>& rows, const layout& l, FILE* out) {
  const int bytes_w = l.bytes_digits + 2;
  const int addr_w = l.addr_digits + 2;
  const int widths[] = {l.name, l.delta, bytes_w, addr_w, l.lead + l.tail};
  std::fprintf(out, "%-*s | %*s | %*s | %-*s | %s\n", l.name, "name", l.delta, "delta", bytes_w,
               "bytes", addr_w, "addr", "price");
  print_rule(out, widths, 5);
  for (const record& r : rows) {
    std::fprintf(out, "%-*s | %*lld | %*llu B | 0x%0*llx | %*s%s\n", l.name, r.name, l.delta,
                 static_cast<long long>(r.delta), l.bytes_digits,
                 static_cast<unsigned long long>(r.bytes), l.addr_digits,
                 static_cast<unsigned long long>(r.addr), l.lead - price_lead(r.price), "",
                 r.price);
  }
  print_rule(out, widths, 5);
  std::fprintf(out, "%-*s | %*s | %*llu B | %-*s | %*s\n", std::max(l.name, 1), " ",
               std::max(l.delta, 1), " ", l.bytes_digits, l.sum, std::max(addr_w, 1), " ",
               std::max(l.lead - 1, 1), " ");
}

void snprintf_printer(const std::vector<record>& rows, FILE* out) {
  write_table(rows, measure_by_snprintf(rows), out);
  std::fflush(out);
}

void to_chars_printer(const std::vector<record>& rows, FILE* out) {
  write_table(rows, measure_by_counting(rows), out);
  std::fflush(out);
}

// ---- libtabulix, warm ----------------------------------------------------------------

struct tabulix_times {
  span fill, first_print, second_print, teardown;
};

tabulix_times run_tabulix(const std::vector<record>& rows, FILE* out) {
  tabulix_times t{};
  stopwatch clock;
  tblx_table* table = workload::build_table(rows);
  if (table == nullptr) fail("filling the table failed");
  t.fill = clock.elapsed();
  clock.restart();
  if (tblx_print_all(table, out) != TBLX_OK) fail("print failed");
  std::fflush(out);
  t.first_print = clock.elapsed();
  clock.restart();
  if (tblx_print_all(table, out) != TBLX_OK) fail("print failed");
  std::fflush(out);
  t.second_print = clock.elapsed();
  clock.restart();
  tblx_delete(table);
  t.teardown = clock.elapsed();
  return t;
}

// ---- libsmartcols ------------------------------------------------------------------

// Fill and print; the table is released after the clock stopped.
span run_smartcols(const std::vector<record>& rows, FILE* out) {
  const stopwatch clock;
  libscols_table* tb = scols_new_table();
  if (tb == nullptr) fail("scols_new_table failed");
  scols_table_set_column_separator(tb, " | ");
  scols_table_set_termforce(tb, SCOLS_TERMFORCE_NEVER);
  scols_table_set_stream(tb, out);
  const char* names[] = {"name", "delta", "bytes", "addr", "price"};
  const int flags[] = {0, SCOLS_FL_RIGHT, SCOLS_FL_RIGHT, 0, SCOLS_FL_RIGHT};
  for (int i = 0; i < 5; ++i) {
    if (scols_table_new_column(tb, names[i], 0, flags[i]) == nullptr) fail("smartcols column");
  }
  char buf[32];
  unsigned long long sum = 0;
  for (const record& r : rows) {
    libscols_line* ln = scols_table_new_line(tb, nullptr);
    if (ln == nullptr) fail("smartcols line");
    scols_line_set_data(ln, 0, r.name);
    std::snprintf(buf, sizeof buf, "%lld", static_cast<long long>(r.delta));
    scols_line_set_data(ln, 1, buf);
    std::snprintf(buf, sizeof buf, "%llu B", static_cast<unsigned long long>(r.bytes));
    scols_line_set_data(ln, 2, buf);
    std::snprintf(buf, sizeof buf, "0x%012llx", static_cast<unsigned long long>(r.addr));
    scols_line_set_data(ln, 3, buf);
    scols_line_set_data(ln, 4, r.price);
    sum += r.bytes;
  }
  libscols_line* ln = scols_table_new_line(tb, nullptr);
  if (ln == nullptr) fail("smartcols line");
  std::snprintf(buf, sizeof buf, "%llu B", sum);
  scols_line_set_data(ln, 2, buf);
  scols_print_table(tb);
  std::fflush(out);
  const span elapsed = clock.elapsed();
  scols_unref_table(tb);
  return elapsed;
}

// ---- output sinks and checks --------------------------------------------------------

using support::capture;

// Fails with status 1, showing the first line that differs.
void require_equal(const std::string& expected, const std::string& got, const char* who) {
  if (expected == got) return;
  size_t at = 0, line = 1;
  while (at < expected.size() && at < got.size() && expected[at] == got[at]) {
    if (expected[at] == '\n') ++line;
    ++at;
  }
  const auto line_at = [](const std::string& s, size_t pos) {
    const size_t begin = s.rfind('\n', pos == 0 ? 0 : pos - 1);
    const size_t from = begin == std::string::npos || pos == 0 ? 0 : begin + 1;
    return s.substr(from, s.find('\n', from) - from);
  };
  std::fprintf(stderr,
               "tabulix_compare: OUTPUT DIFFERS: %s wrote %zu bytes, libtabulix %zu; first "
               "difference on line %zu:\n  libtabulix: \"%s\"\n  %s: \"%s\"\n",
               who, got.size(), expected.size(), line, line_at(expected, at).c_str(), who,
               line_at(got, at).c_str());
  std::exit(1);
}

// Where the timed output goes: /dev/null, or a preallocated memory buffer.
class sink {
 public:
  sink(bool memory, size_t capacity) : memory_(memory) {
    if (memory_) {
      buffer_.assign(capacity, '\0');  // touched now, so no page faults are timed
      stream_ = fmemopen(buffer_.data(), buffer_.size(), "w");
    } else {
      stream_ = std::fopen("/dev/null", "w");
    }
    if (stream_ == nullptr) fail("cannot open the output stream");
  }
  ~sink() { std::fclose(stream_); }
  sink(const sink&) = delete;
  sink& operator=(const sink&) = delete;

  FILE* rewound() {
    if (memory_) std::rewind(stream_);
    return stream_;
  }

 private:
  bool memory_;
  std::vector<char> buffer_;
  FILE* stream_ = nullptr;
};

// Room for a print of n rows: a row of this workload is at most 92 bytes.
size_t print_capacity(size_t rows) { return 128 * (rows + 8); }

// ---- cold runs: one side in a fresh process -------------------------------------------

enum class side { tabulix, snprintf_printer, to_chars_printer, sorted, pairs };
constexpr const char* side_names[] = {"tabulix", "snprintf", "to_chars", "sorted", "pairs"};

// What one cold process measured. The phases depend on the side: libtabulix's
// fill, print and delete; a printer's two passes; tblx_sort, then the print
// and the delete after it; std::stable_sort of (key, row) pairs. The memory
// figures are libtabulix's, taken after the print.
struct cold_run {
  span phase[3];
  double minor_faults = 0;      // during the phases
  double peak_rss_growth = 0;   // bytes, during the phases
  double heap_per_row = 0;      // heap in use (malloc's count)
  double resident_per_row = 0;  // growth of the resident set

  span total() const { return phase[0] + phase[1] + phase[2]; }
};

size_t heap_in_use() {
  const struct mallinfo2 mi = mallinfo2();
  return mi.uordblks + mi.hblkhd;
}

// A size from /proc/self/status ("VmRSS", the resident set, or "VmHWM", its
// peak), in bytes. The peak in getrusage is no use here: a process started by
// posix_spawn inherits the peak of the program that started it. Read with
// plain system calls, as a stdio stream would allocate on the heap being
// measured.
double proc_status_bytes(const char* field) {
  char text[4096] = {};
  const int fd = open("/proc/self/status", O_RDONLY | O_CLOEXEC);
  if (fd < 0 || read(fd, text, sizeof text - 1) <= 0) fail("cannot read /proc/self/status");
  close(fd);
  const char* line = std::strstr(text, field);
  long kib = 0;
  if (line == nullptr || std::sscanf(line + std::strlen(field), ": %ld kB", &kib) != 1) {
    fail("unexpected /proc/self/status");
  }
  return static_cast<double>(kib) * 1024.0;
}

// Times consecutive phases and counts the page faults and the peak resident
// growth from its creation to finish().
class phase_clock {
 public:
  explicit phase_clock(cold_run& run) : run_(run) {
    getrusage(RUSAGE_SELF, &start_);
    peak_resident_ = proc_status_bytes("VmHWM");
    clock_.restart();
  }
  // Ends the current phase and starts the next.
  void lap() {
    run_.phase[next_++] = clock_.elapsed();
    clock_.restart();
  }
  // Starts the next phase again, leaving out what ran since the last lap.
  void resume() { clock_.restart(); }
  void finish() {
    struct rusage end {};
    getrusage(RUSAGE_SELF, &end);
    run_.minor_faults = static_cast<double>(end.ru_minflt - start_.ru_minflt);
    run_.peak_rss_growth = proc_status_bytes("VmHWM") - peak_resident_;
  }

 private:
  cold_run& run_;
  struct rusage start_ {};
  double peak_resident_ = 0;
  stopwatch clock_;
  int next_ = 0;
};

void cold_tabulix(const std::vector<record>& rows, FILE* out, cold_run& run) {
  const size_t heap_before = heap_in_use();
  const double resident_before = proc_status_bytes("VmRSS");
  phase_clock clock(run);
  tblx_table* table = workload::build_table(rows);
  if (table == nullptr) fail("filling the table failed");
  clock.lap();
  if (tblx_print_all(table, out) != TBLX_OK) fail("print failed");
  std::fflush(out);
  clock.lap();
  const auto n = static_cast<double>(rows.size());
  run.heap_per_row = (static_cast<double>(heap_in_use()) - static_cast<double>(heap_before)) / n;
  run.resident_per_row = (proc_status_bytes("VmRSS") - resident_before) / n;
  clock.resume();
  tblx_delete(table);
  clock.lap();
  clock.finish();
}

void cold_printer(void (*printer)(const std::vector<record>&, FILE*),
                  const std::vector<record>& rows, FILE* out, cold_run& run) {
  phase_clock clock(run);
  printer(rows, out);
  clock.lap();
  clock.finish();
}

// Sorted by the bytes column: the rows end up scattered over the table's memory.
void cold_sorted(const std::vector<record>& rows, FILE* out, cold_run& run) {
  tblx_table* table = workload::build_table(rows);
  if (table == nullptr) fail("filling the table failed");
  phase_clock clock(run);
  if (tblx_sort(table, TBLX_SORT_ASC, workload::column_id(workload::BYTES)) != TBLX_OK) {
    fail("sort failed");
  }
  clock.lap();
  if (tblx_print_all(table, out) != TBLX_OK) fail("print failed");
  std::fflush(out);
  clock.lap();
  tblx_delete(table);
  clock.lap();
  clock.finish();
}

// The same sort on (key, row) pairs built beforehand.
void cold_pairs(const std::vector<record>& rows, cold_run& run) {
  std::vector<std::pair<uint64_t, const record*>> pairs;
  pairs.reserve(rows.size());
  for (const record& r : rows) pairs.emplace_back(r.bytes, &r);
  const auto by_key = [](const auto& a, const auto& b) { return a.first < b.first; };
  phase_clock clock(run);
  std::stable_sort(pairs.begin(), pairs.end(), by_key);
  clock.lap();
  clock.finish();
  if (!std::is_sorted(pairs.begin(), pairs.end(), by_key)) fail("std::stable_sort failed");
}

// The body of a cold process: runs one side and writes its figures to stdout.
int cold_process(side s, size_t row_count, bool memory_sink) {
  const std::vector<record> rows = workload::generate(row_count);
  sink out(memory_sink, memory_sink ? print_capacity(row_count) : 0);
  cold_run run{};
  switch (s) {
    case side::tabulix:
      cold_tabulix(rows, out.rewound(), run);
      break;
    case side::snprintf_printer:
      cold_printer(snprintf_printer, rows, out.rewound(), run);
      break;
    case side::to_chars_printer:
      cold_printer(to_chars_printer, rows, out.rewound(), run);
      break;
    case side::sorted:
      cold_sorted(rows, out.rewound(), run);
      break;
    case side::pairs:
      cold_pairs(rows, run);
      break;
  }
  for (const span& p : run.phase) std::printf("%.9g %.9g ", p.wall, p.cpu);
  std::printf("%.9g %.9g %.9g %.9g\n", run.minor_faults, run.peak_rss_growth, run.heap_per_row,
              run.resident_per_row);
  return 0;
}

cold_run parse_cold_run(const std::string& text) {
  cold_run r{};
  span* p = r.phase;
  const int got =
      std::sscanf(text.c_str(), "%lf %lf %lf %lf %lf %lf %lf %lf %lf %lf", &p[0].wall, &p[0].cpu,
                  &p[1].wall, &p[1].cpu, &p[2].wall, &p[2].cpu, &r.minor_faults, &r.peak_rss_growth,
                  &r.heap_per_row, &r.resident_per_row);
  if (got != 10) fail("a cold run reported no figures");
  return r;
}

// Starts this program again as a cold process for one side and reads its figures.
cold_run run_cold(side s, size_t row_count, bool memory_sink) {
  std::vector<std::string> args = {
      "tabulix_compare",         "-c", side_names[static_cast<int>(s)], "-n",
      std::to_string(row_count), "-s", memory_sink ? "memory" : "null"};
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);

  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) fail("pipe failed");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, "/proc/self/exe", &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(fds[1]);
  if (spawned != 0) fail("cannot start a cold process");

  std::string text;
  char buf[512];
  for (ssize_t got; (got = read(fds[0], buf, sizeof buf)) > 0;) {
    text.append(buf, static_cast<size_t>(got));
  }
  close(fds[0]);
  int status = 0;
  if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    fail("a cold process failed");
  }
  return parse_cold_run(text);
}

// ---- statistics ------------------------------------------------------------------------

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const size_t m = v.size() / 2;
  return v.size() % 2 == 1 ? v[m] : (v[m - 1] + v[m]) / 2;
}

// Medians of the wall and the CPU times, each taken on its own.
span median(const std::vector<span>& spans) {
  std::vector<double> wall, cpu;
  for (const span& s : spans) {
    wall.push_back(s.wall);
    cpu.push_back(s.cpu);
  }
  return {median(wall), median(cpu)};
}

// The median of one figure of the cold runs.
template <typename Field>
double median_of(const std::vector<cold_run>& runs, Field field) {
  std::vector<double> values;
  for (const cold_run& r : runs) values.push_back(field(r));
  return median(values);
}

// ---- options ---------------------------------------------------------------------------

struct options {
  size_t rows = 1'000'000;
  int rounds = 5;
  bool memory_sink = false;
  const char* cold_side = nullptr;  // -c: run as the cold process of this side
};

options parse(int argc, char** argv) {
  options o;
  for (int i = 1; i < argc; i += 2) {  // each option takes a value
    const std::string arg = argv[i];
    const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
    if (arg == "-n" && value != nullptr) {
      o.rows = std::strtoull(value, nullptr, 10);
    } else if (arg == "-r" && value != nullptr) {
      o.rounds = std::atoi(value);
    } else if (arg == "-s" && value != nullptr) {
      o.memory_sink = std::strcmp(value, "memory") == 0;
      if (!o.memory_sink && std::strcmp(value, "null") != 0) fail("-s takes null or memory");
    } else if (arg == "-c" && value != nullptr) {
      o.cold_side = value;
    } else {
      std::fprintf(stderr, "usage: %s [-n rows] [-r rounds] [-s null|memory]\n", argv[0]);
      std::exit(2);
    }
  }
  if (o.rows == 0 || o.rounds < 1) fail("rows and rounds must be positive");
  return o;
}

side side_named(const char* name) {
  for (int i = 0; i < static_cast<int>(std::size(side_names)); ++i) {
    if (std::strcmp(name, side_names[i]) == 0) return static_cast<side>(i);
  }
  fail("unknown side for -c");
}

// ---- the rounds ------------------------------------------------------------------------

// Runs each of the functions once per round, the first one rotating.
void interleave(int rounds, const std::vector<std::function<void()>>& runs) {
  for (int round = 0; round < rounds; ++round) {
    for (size_t k = 0; k < runs.size(); ++k) runs[(static_cast<size_t>(round) + k) % runs.size()]();
  }
}

struct cold_results {
  std::vector<cold_run> tabulix, snprintf_printer, to_chars_printer, tabulix_tenth, sorted, pairs;
};

cold_results cold_rounds(const options& opt) {
  cold_results c;
  const size_t tenth = std::max<size_t>(1, opt.rows / 10);
  const auto add = [&](std::vector<cold_run>& to, side s, size_t n) {
    return [&to, s, n, &opt] { to.push_back(run_cold(s, n, opt.memory_sink)); };
  };
  interleave(opt.rounds,
             {add(c.tabulix, side::tabulix, opt.rows),
              add(c.snprintf_printer, side::snprintf_printer, opt.rows),
              add(c.to_chars_printer, side::to_chars_printer, opt.rows),
              add(c.tabulix_tenth, side::tabulix, tenth), add(c.sorted, side::sorted, opt.rows),
              add(c.pairs, side::pairs, opt.rows)});
  return c;
}

struct warm_results {
  std::vector<span> fill, first, second, teardown, tabulix, snprintf_printer, to_chars_printer,
      smartcols, memcpy;
};

warm_results warm_rounds(const options& opt, const std::vector<record>& rows,
                         const std::string& expected, size_t smartcols_bytes) {
  warm_results w;
  sink out(opt.memory_sink, 2 * std::max(expected.size(), smartcols_bytes));
  std::vector<char> copy(expected.size(), '\1');
  const auto printer = [&](std::vector<span>& to,
                           void (*print)(const std::vector<record>&, FILE*)) {
    return [&to, print, &rows, &out] {
      FILE* f = out.rewound();
      const stopwatch clock;
      print(rows, f);
      to.push_back(clock.elapsed());
    };
  };
  interleave(opt.rounds, {[&] {
                            const tabulix_times t = run_tabulix(rows, out.rewound());
                            w.fill.push_back(t.fill);
                            w.first.push_back(t.first_print);
                            w.second.push_back(t.second_print);
                            w.teardown.push_back(t.teardown);
                            w.tabulix.push_back(t.fill + t.first_print + t.teardown);
                          },
                          printer(w.snprintf_printer, snprintf_printer),
                          printer(w.to_chars_printer, to_chars_printer),
                          [&] { w.smartcols.push_back(run_smartcols(rows, out.rewound())); },
                          [&] {
                            const stopwatch clock;
                            std::memcpy(copy.data(), expected.data(), expected.size());
                            w.memcpy.push_back(clock.elapsed());
                            if (copy.back() != expected.back()) fail("memcpy lost");
                          }});
  return w;
}

// ---- the report ------------------------------------------------------------------------

void print_time(const char* what, span s) {
  std::printf("  %-46s %9.4f %9.4f\n", what, s.cpu, s.wall);
}

span cold_phase(const std::vector<cold_run>& runs, int phase) {
  return {median_of(runs, [=](const cold_run& r) { return r.phase[phase].wall; }),
          median_of(runs, [=](const cold_run& r) { return r.phase[phase].cpu; })};
}

span cold_total(const std::vector<cold_run>& runs) {
  return {median_of(runs, [](const cold_run& r) { return r.total().wall; }),
          median_of(runs, [](const cold_run& r) { return r.total().cpu; })};
}

// A total with the page faults and the peak resident growth, in MB.
void print_cold_total(const char* what, const std::vector<cold_run>& runs) {
  const span total = cold_total(runs);
  std::printf("  %-46s %9.4f %9.4f %9.0f %8.1f\n", what, total.cpu, total.wall,
              median_of(runs, [](const cold_run& r) { return r.minor_faults; }),
              median_of(runs, [](const cold_run& r) { return r.peak_rss_growth; }) / 1e6);
}

void print_cold(const cold_results& c, size_t rows) {
  std::printf("%-48s %9s %9s %9s %8s\n", "cold: a fresh process per run, its first table", "CPU s",
              "wall s", "faults", "RSS+ MB");
  print_cold_total("libtabulix fill + print + delete", c.tabulix);
  print_time("  fill", cold_phase(c.tabulix, 0));
  print_time("  print (measure + output)", cold_phase(c.tabulix, 1));
  print_time("  delete", cold_phase(c.tabulix, 2));
  print_cold_total("snprintf printer (measure + print)", c.snprintf_printer);
  print_cold_total("to_chars printer (measure + print)", c.to_chars_printer);
  const std::string tenth =
      "libtabulix at " + std::to_string(std::max<size_t>(1, rows / 10)) + " rows";
  print_cold_total(tenth.c_str(), c.tabulix_tenth);
  print_time("tblx_sort by bytes", cold_phase(c.sorted, 0));
  print_time("std::stable_sort of (key, row) pairs", cold_phase(c.pairs, 0));
  print_time("libtabulix print after the sort", cold_phase(c.sorted, 1));
  print_time("libtabulix delete after the sort", cold_phase(c.sorted, 2));
}

void print_warm(const warm_results& w) {
  std::printf("\n%-48s %9s %9s\n", "warm: in one process, on a reused heap", "CPU s", "wall s");
  print_time("libtabulix fill + print + delete", median(w.tabulix));
  print_time("  fill", median(w.fill));
  print_time("  first print (measure + output)", median(w.first));
  print_time("  delete", median(w.teardown));
  print_time("libtabulix print alone (second print)", median(w.second));
  print_time("snprintf printer (measure + print)", median(w.snprintf_printer));
  print_time("to_chars printer (measure + print)", median(w.to_chars_printer));
  print_time("libsmartcols fill + print", median(w.smartcols));
  print_time("memcpy of the finished bytes", median(w.memcpy));
}

// One figure against its target (an upper bound); a bound of 0 means none.
enum class unit { times, bytes };

std::string figure_text(double value, unit u) {
  char text[32];
  std::snprintf(text, sizeof text, u == unit::times ? "%.2fx" : "%.0f B", value);
  return text;
}

void print_target(const char* what, double figure, unit u, double bound) {
  const std::string target = bound == 0 ? "(no target)" : "<= " + figure_text(bound, u);
  const char* verdict = bound == 0 ? "" : figure <= bound ? " met" : " NOT MET";
  std::printf("  %-46s %9s  %-11s%s\n", what, figure_text(figure, u).c_str(), target.c_str(),
              verdict);
}

void print_targets(const cold_results& c, const warm_results& w) {
  const double cold = cold_total(c.tabulix).cpu;
  const double warm = median(w.tabulix).cpu;
  std::printf("\n%-48s %9s  %s\n", "targets (CPU time, medians)", "figure", "target");
  print_target("cold fill+print+delete / snprintf printer",
               cold / cold_total(c.snprintf_printer).cpu, unit::times, 0.4);
  print_target("cold fill+print+delete / to_chars printer",
               cold / cold_total(c.to_chars_printer).cpu, unit::times, 1.0);
  print_target("heap bytes per row the table holds",
               median_of(c.tabulix, [](const cold_run& r) { return r.heap_per_row; }), unit::bytes,
               150);
  print_target("print after the sort / print in order",
               cold_phase(c.sorted, 1).cpu / cold_phase(c.tabulix, 1).cpu, unit::times, 1.5);
  print_target("tblx_sort / std::stable_sort of pairs",
               cold_phase(c.sorted, 0).cpu / cold_phase(c.pairs, 0).cpu, unit::times, 2.0);
  print_target("10x the rows: time / time at a tenth", cold / cold_total(c.tabulix_tenth).cpu,
               unit::times, 10.5);
  print_target("resident growth per row (fill + print)",
               median_of(c.tabulix, [](const cold_run& r) { return r.resident_per_row; }),
               unit::bytes, 0);
  print_target("delete after the sort / delete in order",
               cold_phase(c.sorted, 2).cpu / cold_phase(c.tabulix, 2).cpu, unit::times, 0);
  print_target("warm fill+print+delete / snprintf printer", warm / median(w.snprintf_printer).cpu,
               unit::times, 0);
  print_target("warm fill+print+delete / to_chars printer", warm / median(w.to_chars_printer).cpu,
               unit::times, 0);
  print_target("warm fill+print, no delete / to_chars printer",
               (median(w.fill).cpu + median(w.first).cpu) / median(w.to_chars_printer).cpu,
               unit::times, 0);
  print_target("libsmartcols / libtabulix, warm fill + print",
               median(w.smartcols).cpu / (median(w.fill).cpu + median(w.first).cpu), unit::times,
               0);
}

}  // namespace

int main(int argc, char** argv) {
  const options opt = parse(argc, argv);
  if (opt.cold_side != nullptr)
    return cold_process(side_named(opt.cold_side), opt.rows, opt.memory_sink);

  const std::vector<record> rows = workload::generate(opt.rows);
  // The bytes that every printer must produce, and the check of both printers.
  const std::string reference = capture([&](FILE* f) { run_tabulix(rows, f); });
  const std::string expected = reference.substr(0, reference.size() / 2);
  if (reference.substr(reference.size() / 2) != expected) fail("second print differs");
  require_equal(expected, capture([&](FILE* f) { snprintf_printer(rows, f); }), "snprintf printer");
  require_equal(expected, capture([&](FILE* f) { to_chars_printer(rows, f); }), "to_chars printer");
  const size_t smartcols_bytes = capture([&](FILE* f) { run_smartcols(rows, f); }).size();

  const cold_results cold = cold_rounds(opt);
  const warm_results warm = warm_rounds(opt, rows, expected, smartcols_bytes);

  std::printf("%zu rows, %d rounds, output to %s, %zu bytes per print (libsmartcols %zu)\n",
              opt.rows, opt.rounds, opt.memory_sink ? "memory" : "/dev/null", expected.size(),
              smartcols_bytes);
  std::printf("the snprintf and to_chars printers wrote the same bytes as libtabulix\n");
  if (opt.rows != 1'000'000) std::printf("(the targets are set for 1000000 rows)\n");
  std::printf("\n");
  print_cold(cold, opt.rows);
  print_warm(warm);
  print_targets(cold, warm);
  return 0;
}
