// Side-by-side comparison on the benchmark workload, in one process: the
// implementations run in alternating rounds on the same generated rows, and
// the medians are printed with their ratio to a hand-written printf printer.
//
//   libtabulix        fill the table (API calls) and print it; the second
//                     print of the unchanged table is the print alone
//   printf printer    two passes over the rows: measure, then fprintf; its
//                     output must equal libtabulix's byte for byte
//   libsmartcols      the nearest layout it offers (no rules, no alignment
//                     on the '.'), numbers formatted by snprintf
//   memcpy            the finished bytes copied once: the floor
//
// Usage: tabulix_compare [-n rows] [-r rounds] [-s null|memory]
// Exit status 1 when the printf printer's bytes differ from libtabulix's.
#include <libsmartcols/libsmartcols.h>
#include <malloc.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include "support/table.h"
#include "tabulix.h"
#include "workload.h"

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

// ---- the hand-written printf printer -------------------------------------------
// What a C programmer writes for this table: a pass that measures the column
// widths and the sum, then one fprintf per line.

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

void print_rule(FILE* out, const int* widths, int count) {
  for (int i = 0; i < count; ++i) {
    if (i > 0) std::fputs("-+-", out);
    for (int k = 0; k < widths[i]; ++k) std::fputc('-', out);
  }
  std::fputc('\n', out);
}

void printf_printer(const std::vector<record>& rows, FILE* out) {
  // Pass 1: widths and the sum. The empty summary text of the price column
  // still reserves the alignment point, hence a lead of at least 1.
  int name_w = 0, delta_w = 0, bytes_digits = 0, addr_digits = 0, lead = 1, tail = 0;
  unsigned long long sum = 0;
  for (const record& r : rows) {
    name_w = std::max(name_w, static_cast<int>(std::strlen(r.name)));
    delta_w = std::max(delta_w, signed_digits(r.delta));
    bytes_digits = std::max(bytes_digits, decimal_digits(r.bytes));
    addr_digits = std::max(addr_digits, hex_digits(r.addr));
    const int a = price_lead(r.price);
    lead = std::max(lead, a);
    tail = std::max(tail, static_cast<int>(std::strlen(r.price)) - a);
    sum += r.bytes;
  }
  bytes_digits = std::max(bytes_digits, decimal_digits(sum));
  const int bytes_w = bytes_digits + 2;
  const int addr_w = addr_digits + 2;
  const int widths[] = {name_w, delta_w, bytes_w, addr_w, lead + tail};

  // Pass 2.
  std::fprintf(out, "%-*s | %*s | %*s | %-*s | %s\n", name_w, "name", delta_w, "delta", bytes_w,
               "bytes", addr_w, "addr", "price");
  print_rule(out, widths, 5);
  for (const record& r : rows) {
    std::fprintf(out, "%-*s | %*lld | %*llu B | 0x%0*llx | %*s%s\n", name_w, r.name, delta_w,
                 static_cast<long long>(r.delta), bytes_digits,
                 static_cast<unsigned long long>(r.bytes), addr_digits,
                 static_cast<unsigned long long>(r.addr), lead - price_lead(r.price), "", r.price);
  }
  print_rule(out, widths, 5);
  std::fprintf(out, "%-*s | %*s | %*llu B | %-*s | %*s\n", std::max(name_w, 1), " ",
               std::max(delta_w, 1), " ", bytes_digits, sum, std::max(addr_w, 1), " ",
               std::max(lead - 1, 1), " ");
}

// ---- libtabulix ------------------------------------------------------------------

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
  t.first_print = clock.elapsed();
  clock.restart();
  if (tblx_print_all(table, out) != TBLX_OK) fail("print failed");
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

// Fails loudly, showing the first line that differs.
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

// ---- memory --------------------------------------------------------------------------

size_t heap_in_use() {
  const struct mallinfo2 mi = mallinfo2();
  return mi.uordblks + mi.hblkhd;
}

long peak_rss_kib() {
  struct rusage usage {};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

struct memory_use {
  double heap_per_row;  // heap bytes in use after fill and print
  double rss_per_row;   // growth of the peak resident set
};

// Runs first, before anything else grows the process, so that the peak
// resident set grows by the table alone.
memory_use measure_memory(const std::vector<record>& rows, FILE* out) {
  const size_t heap_before = heap_in_use();
  const long rss_before = peak_rss_kib();
  tblx_table* table = workload::build_table(rows);
  if (table == nullptr) fail("filling the table failed");
  if (tblx_print_all(table, out) != TBLX_OK) fail("print failed");
  const size_t heap_after = heap_in_use();
  const long rss_after = peak_rss_kib();
  tblx_delete(table);
  const auto n = static_cast<double>(rows.size());
  return {static_cast<double>(heap_after - heap_before) / n,
          static_cast<double>(rss_after - rss_before) * 1024.0 / n};
}

// ---- statistics and report ----------------------------------------------------------

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

struct options {
  size_t rows = 1'000'000;
  int rounds = 5;
  bool memory_sink = false;
};

options parse(int argc, char** argv) {
  options o;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
    if (arg == "-n" && value != nullptr) {
      o.rows = std::strtoull(value, nullptr, 10);
    } else if (arg == "-r" && value != nullptr) {
      o.rounds = std::atoi(value);
    } else if (arg == "-s" && value != nullptr) {
      o.memory_sink = std::strcmp(value, "memory") == 0;
      if (!o.memory_sink && std::strcmp(value, "null") != 0) fail("-s takes null or memory");
    } else {
      std::fprintf(stderr, "usage: %s [-n rows] [-r rounds] [-s null|memory]\n", argv[0]);
      std::exit(2);
    }
    ++i;
  }
  if (o.rows == 0 || o.rounds < 1) fail("rows and rounds must be positive");
  return o;
}

}  // namespace

int main(int argc, char** argv) {
  const options opt = parse(argc, argv);
  const std::vector<record> rows = workload::generate(opt.rows);

  FILE* devnull = std::fopen("/dev/null", "w");
  if (devnull == nullptr) fail("cannot open /dev/null");
  const memory_use memory = measure_memory(rows, devnull);
  std::fclose(devnull);

  // The bytes that every printer must produce, and the check of the printf printer.
  const std::string reference = capture([&](FILE* f) { run_tabulix(rows, f); });
  const std::string first_print = reference.substr(0, reference.size() / 2);
  if (reference.substr(reference.size() / 2) != first_print) fail("second print differs");
  require_equal(first_print, capture([&](FILE* f) { printf_printer(rows, f); }), "printf printer");
  const size_t smartcols_bytes = capture([&](FILE* f) { run_smartcols(rows, f); }).size();

  sink out(opt.memory_sink, 2 * std::max(first_print.size(), smartcols_bytes));
  std::vector<char> copy(first_print.size(), '\1');
  std::vector<span> fill, first, second, teardown, tabulix_total, printf_total, smartcols_total,
      memcpy_total;

  // One round runs every implementation once; the starting one rotates.
  const std::function<void()> runs[] = {
      [&] {
        const tabulix_times t = run_tabulix(rows, out.rewound());
        fill.push_back(t.fill);
        first.push_back(t.first_print);
        second.push_back(t.second_print);
        teardown.push_back(t.teardown);
        tabulix_total.push_back(t.fill + t.first_print);
      },
      [&] {
        FILE* f = out.rewound();
        const stopwatch clock;
        printf_printer(rows, f);
        std::fflush(f);
        printf_total.push_back(clock.elapsed());
      },
      [&] { smartcols_total.push_back(run_smartcols(rows, out.rewound())); },
      [&] {
        const stopwatch clock;
        std::memcpy(copy.data(), first_print.data(), first_print.size());
        memcpy_total.push_back(clock.elapsed());
        if (copy.back() != first_print.back()) fail("memcpy lost");
      },
  };
  constexpr int run_count = sizeof runs / sizeof runs[0];
  for (int round = 0; round < opt.rounds; ++round) {
    for (int k = 0; k < run_count; ++k) runs[(round + k) % run_count]();
  }

  const span base = median(printf_total);
  std::printf("%zu rows, %d rounds, output to %s, %zu bytes per print (libsmartcols %zu)\n",
              opt.rows, opt.rounds, opt.memory_sink ? "memory" : "/dev/null", first_print.size(),
              smartcols_bytes);
  std::printf("printf printer output: identical to libtabulix's\n\n");
  std::printf("%-42s %9s %6s %9s %6s\n", "median of the rounds", "CPU s", "ratio", "wall s",
              "ratio");
  const auto line = [&](const char* what, const std::vector<span>& v) {
    const span m = median(v);
    std::printf("%-42s %9.4f %6.2f %9.4f %6.2f\n", what, m.cpu, m.cpu / base.cpu, m.wall,
                m.wall / base.wall);
  };
  line("printf printer (measure + print)", printf_total);
  line("libtabulix fill + measure + print", tabulix_total);
  line("  fill (API calls)", fill);
  line("  first print (measure + output)", first);
  line("libtabulix print alone (second print)", second);
  line("libsmartcols fill + print", smartcols_total);
  line("memcpy of the finished bytes", memcpy_total);
  line("(libtabulix teardown, not in the totals)", teardown);
  const span smartcols = median(smartcols_total), tabulix = median(tabulix_total);
  std::printf("\nlibsmartcols / libtabulix, fill + print: %.1f times (CPU), %.1f times (wall)\n",
              smartcols.cpu / tabulix.cpu, smartcols.wall / tabulix.wall);
  std::printf("libtabulix memory: %.1f heap bytes per row, peak RSS growth %.1f bytes per row\n",
              memory.heap_per_row, memory.rss_per_row);
  return 0;
}
