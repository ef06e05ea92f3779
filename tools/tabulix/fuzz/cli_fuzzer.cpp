// SPDX-License-Identifier: MIT
// Fuzz target of the tabulix command's own code: the input goes through what
// the command does with a file (the reader, the type guessing, the figures
// with their exact decimals, the record store, the plan, the table built and
// printed), with options taken from its first four bytes:
//
//   byte 0: bits 0-1 the format (CSV with ',' or ';', TSV, blanks), bit 2
//           --no-header, bit 3 Latin-1, bit 4 --skip 1, bit 5 --comment '#',
//           bit 6 --head 3, bit 7 byte widths
//   byte 1: bits 0-2 and 3-5 the figures of columns 1 and 2 (sum, count, min,
//           max, mean), bit 6 --sort 1, bit 7 --sort 2:desc
//   byte 2: bits 0-3 --hex-upper and --leading-zeros of columns 1 and 2,
//           bit 4 a suffix on column 1, bit 5 --by-length 1, bits 6-7 the
//           style
//   byte 3: bits 0-1 the type of column 1, bit 2 -c 2,1, bit 3 --exclude 3,
//           bit 4 --width 24 with --group, bit 5 a label, bit 6 column 2 aligned on '.',
//           bit 7 the numbers mode below instead of a table
//   byte 4: bit 0 --trim, bit 1 Windows-1252, bit 2 --fields 2 (with -w),
//           bit 3 --na -999,x instead of the usual markers, bit 4 --na '',
//           bit 5 --stats, bit 6 a --where expression (below), bit 7
//           --number and --sort 3 (a column that --exclude 3 hides)
//   the input's length: bit 0 --wrap, bit 1 --max-column-width 6, bits 2-4
//           which --where expression, bit 5 --stream=2 (without --sort,
//           --stats and --number), bit 6 the file read in parts, as on
//           several cores (cut at a quarter and half of it, in windows of
//           three quarters) (bits that mutations change freely, leaving the
//           bytes' meaning as it was)
//
// Faults the command reports (usage_error, data_error, input_error, a refused
// library call, memory running out) end a run quietly; anything else, and any
// sanitizer report, is a crash.
//
// In the numbers mode the rest of the input is lines, each checked as a
// decimal number: the order of two numbers is antisymmetric and, without
// exponents, the sign of their exact difference; it stays the same when both
// are multiplied by 10^(10^25) or divided by it (exponents past 64 bits); an
// exact sum is the same in either order of its values, and a mean rounds the
// same sum.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "build.hpp"
#include "decimal.hpp"
#include "errors.hpp"
#include "infer.hpp"
#include "load.hpp"
#include "plan.hpp"
#include "stats.hpp"
#include "stream.hpp"

namespace {

using namespace tabulix::cli;

void require(bool ok, const char* what) {
  if (!ok) {
    std::fputs("broken: ", stderr);
    std::fputs(what, stderr);
    std::fputc('\n', stderr);
    std::abort();
  }
}

void add_figure(options& o, unsigned code, const char* column) {
  switch (code) {
    case 1:
      o.sum.emplace_back(column);
      break;
    case 2:
      o.count.emplace_back(column);
      break;
    case 3:
      o.min.emplace_back(column);
      break;
    case 4:
      o.max.emplace_back(column);
      break;
    case 5:
      o.mean.emplace_back(column);
      break;
    default:
      break;
  }
}

// --stats, --where, --number and a sort key that may not be shown.
void add_questions(options& o, std::uint8_t bits, std::size_t size) {
  o.stats = (bits & 32U) != 0;
  if ((bits & 64U) != 0) {
    // Numbers, texts, hex, empty fields, regular expressions good and bad.
    const char* const filters[] = {"1>0",     "2~^[a-f]", "1!=x",           "!2",
                                   "1<=-1.5", "2=0x1f",   "1~(?i)é|\\d{2}", "2 !~ ("};
    o.where.emplace_back(filters[(size >> 2) & 7U]);
  }
  if ((bits & 128U) != 0) {
    o.number = true;
    o.sort.emplace_back("3");
  }
}

options options_from(const std::uint8_t* b, std::size_t size) {
  options o;
  switch (b[0] & 3U) {
    case 1:
      o.delimiter = ';';
      o.delimiter_given = true;
      break;
    case 2:
      o.tsv = true;
      break;
    case 3:
      o.whitespace = true;
      break;
    default:
      break;
  }
  o.no_header = (b[0] & 4U) != 0;
  if ((b[0] & 8U) != 0) o.encoding = text_encoding::latin1;
  if ((b[0] & 16U) != 0) o.skip = 1;
  if ((b[0] & 32U) != 0) o.comment = "#";
  if ((b[0] & 64U) != 0) o.head = 3;
  o.byte_widths = (b[0] & 128U) != 0;

  add_figure(o, b[1] & 7U, "1");
  add_figure(o, (b[1] >> 3) & 7U, "2");
  if ((b[1] & 64U) != 0) o.sort.emplace_back("1");
  if ((b[1] & 128U) != 0) o.sort.emplace_back("2:desc");

  if ((b[2] & 1U) != 0) o.hex_upper.emplace_back("1");
  if ((b[2] & 2U) != 0) o.leading_zeros.emplace_back("1");
  if ((b[2] & 4U) != 0) o.hex_upper.emplace_back("2");
  if ((b[2] & 8U) != 0) o.leading_zeros.emplace_back("2");
  if ((b[2] & 16U) != 0) o.suffix.emplace_back("1= B");
  if ((b[2] & 32U) != 0) o.by_length.emplace_back("1");
  const char* const styles[] = {"raw", "simple", "fancy", "fancyw"};
  o.style = styles[b[2] >> 6];

  const char* const types[] = {nullptr, "1=int", "1=uint", "1=hex"};
  if (types[b[3] & 3U] != nullptr) o.types.emplace_back(types[b[3] & 3U]);
  if ((b[3] & 4U) != 0) o.columns.emplace_back("2,1");
  if ((b[3] & 8U) != 0) o.exclude.emplace_back("3");
  if ((b[3] & 16U) != 0) {
    // Grouped digits widen the number columns that the fitting works around.
    o.width = 24;
    o.group.emplace_back(group_all_columns);
  }
  if ((b[3] & 32U) != 0) o.label = "Total";
  if ((b[3] & 64U) != 0) o.align.emplace_back("2=first:.");
  o.wrap = (size & 1U) != 0;
  if ((size & 2U) != 0) o.max_column_width.emplace_back("6");
  o.trim = (b[4] & 1U) != 0;
  if ((b[4] & 2U) != 0) o.encoding = text_encoding::cp1252;
  if ((b[4] & 4U) != 0 && o.whitespace) o.fields = 2;
  if ((b[4] & 8U) != 0) o.na = {"-999", "x"};
  if ((b[4] & 16U) != 0) o.na.clear();
  add_questions(o, b[4], size);
  return o;
}

// A file that holds the input, named as the command would be given it.
class memory_file {
 public:
  memory_file(const std::uint8_t* data, std::size_t size) : fd_(memfd_create("input", 0)) {
    if (fd_ < 0) return;
    for (std::size_t done = 0; done < size;) {
      const ssize_t n = write(fd_, data + done, size - done);
      require(n > 0, "write to the memory file");
      done += static_cast<std::size_t>(n);
    }
    name_ = "/proc/self/fd/" + std::to_string(fd_);
  }
  ~memory_file() {
    if (fd_ >= 0) close(fd_);
  }
  memory_file(const memory_file&) = delete;
  memory_file& operator=(const memory_file&) = delete;
  memory_file(memory_file&&) = delete;
  memory_file& operator=(memory_file&&) = delete;

  [[nodiscard]] const std::string& name() const { return name_; }

 private:
  int fd_;
  std::string name_;
};

// Where tables go: nowhere, unless TABULIX_FUZZ_SHOW is set (to see what a
// seed input makes), then standard output, with the faults reported.
const bool show = std::getenv("TABULIX_FUZZ_SHOW") != nullptr;

std::FILE* output() {
  static std::FILE* const stream = show ? stdout : std::fopen("/dev/null", "w");  // NOLINT
  require(stream != nullptr, "/dev/null opens");
  return stream;
}

void report(const std::exception& e) {
  if (!show) return;
  std::fputs("fault: ", stdout);
  std::fputs(e.what(), stdout);
  std::fputc('\n', stdout);
}

void print_table(const options& opts, const std::uint8_t* data, std::size_t size) {
  const memory_file file(data, size);
  require(!file.name().empty(), "a memory file");
  options o = opts;
  o.files.push_back(file.name());
  const output_place place{};
  try {
    const bool measure = fit_width(o, place) > 0;
    if (o.stream) {
      run_stream(o, place, output());
      return;
    }
    dataset set = load_inputs(o, measure, unit_of(o));
    if (set.input_titles.empty()) return;
    table_plan plan = make_plan(o, set, place);
    if (set.top) {
      std::vector<column_kind> key_kinds;
      for (const auto& k : plan.sort) key_kinds.push_back(plan.columns[k.column].kind);
      take_top_rows(o, set, key_kinds, measure, unit_of(o));
      plan = make_plan(o, set, place);
    }
    tabulix::table t =
        o.stats ? build_stats_table(plan, set, o.byte_widths) : build_table(plan, set);
    t.print(output(), plan.sections);
  } catch (const usage_error& e) {
    report(e);
  } catch (const data_error& e) {
    report(e);
  } catch (const input_error& e) {
    report(e);
  } catch (const std::system_error& e) {
    report(e);
  } catch (const std::bad_alloc& e) {
    report(e);
  }
}

int sign(int v) { return (v > 0) - (v < 0); }

std::string negated(std::string_view v) {
  if (!v.empty() && v.front() == '-') return std::string(v.substr(1));
  if (!v.empty() && v.front() == '+') return "-" + std::string(v.substr(1));
  return "-" + std::string(v);
}

// "00...0n", `width` digits: n below 10^width.
std::string padded(std::uint64_t n, std::size_t width) {
  std::string digits = std::to_string(n);
  return std::string(width - digits.size(), '0') + digits;
}

// The number with 10^25 added to its exponent (`up`) or taken from it, or ""
// when its exponent is too long for that here.
std::string shifted(std::string_view v, bool up) {
  const auto e = v.find_first_of("eE");
  std::string_view written = e == std::string_view::npos ? "0" : v.substr(e + 1);
  const bool minus = written.front() == '-';
  if (minus || written.front() == '+') written.remove_prefix(1);
  while (written.size() > 1 && written.front() == '0') written.remove_prefix(1);
  constexpr std::size_t digits = 18;
  constexpr std::uint64_t limit = 1000000000000000000U;  // 10^18
  if (written.size() > digits) return "";
  // The exponent is m or -m; 10^25 + m, and 10^25 - m for 0 < m < 10^18
  // (9999999 and the 18 digits of 10^18 - m).
  const std::uint64_t m = std::stoull(std::string(written));
  const bool negative = minus && m != 0;
  const bool positive = !minus && m != 0;
  const std::string sum = "1" + padded(m, 25);
  const std::string difference = m == 0 ? sum : "9999999" + padded(limit - m, digits);
  const std::string exponent = up ? (negative ? difference : sum)         // E + 10^25
                                  : "-" + (positive ? difference : sum);  // E - 10^25
  return std::string(v.substr(0, e)) + "e" + exponent;
}

bool has_exponent(std::string_view v) { return v.find_first_of("eE") != std::string_view::npos; }

// The order of two numbers, checked every way it can be.
void check_order(std::string_view a, std::string_view b) {
  const int ab = sign(compare_decimal(a, b));
  require(ab == -sign(compare_decimal(b, a)), "the order is antisymmetric");
  require(sign(compare_decimal(a, a)) == 0, "a number equals itself");
  require(sign(compare_decimal_keys(make_decimal_key(a), make_decimal_key(b))) == ab,
          "keys order as texts");
  for (const bool up : {true, false}) {
    const std::string x = shifted(a, up);
    const std::string y = shifted(b, up);
    if (x.empty() || y.empty()) continue;
    require(sign(compare_decimal(x, y)) == ab, "the order under a common factor");
  }
  if (has_exponent(a) || has_exponent(b)) return;
  exact_sum difference;
  require(difference.add(a) && difference.add(negated(b)), "a difference adds");
  const exact_decimal d = difference.total();
  const int by_difference = d.is_zero() ? 0 : d.to_string().front() == '-' ? -1 : 1;
  require(by_difference == ab, "the order is the sign of the difference");
}

// Sums and means of numbers without exponents, forwards and backwards.
void check_sums(const std::vector<std::string_view>& values) {
  exact_sum forward;
  exact_sum backward;
  for (const auto v : values) require(forward.add(v), "a decimal adds");
  for (std::size_t i = values.size(); i-- > 0;) require(backward.add(values[i]), "adds back");
  const exact_decimal total = forward.total();
  require(total.to_string() == backward.total().to_string(), "a sum in either order");
  if (!values.empty()) {
    const auto n = static_cast<std::uint64_t>(values.size());
    require(total.divided(n, total.scale()).to_string() ==
                backward.total().divided(n, total.scale()).to_string(),
            "a mean in either order");
  }
}

void check_numbers(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string_view> values;
  std::string_view rest(reinterpret_cast<const char*>(data), size);
  bool summable = true;
  while (!rest.empty()) {
    const auto end = rest.find('\n');
    const std::string_view v = rest.substr(0, end);
    if (is_decimal(v)) {
      values.push_back(v);
      summable = summable && !has_exponent(v);
    }
    rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
  }
  for (std::size_t i = 0; i + 1 < values.size(); ++i) check_order(values[i], values[i + 1]);
  if (summable) check_sums(values);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  constexpr std::size_t option_bytes = 5;
  if (size < option_bytes) return 0;
  if ((data[3] & 128U) != 0) {
    check_numbers(data + option_bytes, size - option_bytes);
    return 0;
  }
  options o = options_from(data, size);
  if ((size & 32U) != 0) {  // --stream=2, which takes no sort, --stats or --number
    o.stream = 2;
    o.sort.clear();
    o.by_length.clear();
    o.stats = false;
    o.number = false;
  }
  // The loader reads the cuts when it starts.
  const std::size_t n = size - option_bytes;
  const std::string cuts =
      std::to_string(n / 4) + ',' + std::to_string(n / 2) + '/' + std::to_string(n * 3 / 4 + 1);
  if ((size & 64U) != 0) setenv("TABULIX_TEST_SPLIT", cuts.c_str(), 1);  // NOLINT
  print_table(o, data + option_bytes, size - option_bytes);
  unsetenv("TABULIX_TEST_SPLIT");  // NOLINT
  return 0;
}
