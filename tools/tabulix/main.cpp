// SPDX-License-Identifier: MIT
// tabulix: prints CSV or TSV as a typed, aligned table.
#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#endif

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "build.hpp"
#include "color.hpp"
#include "errors.hpp"
#include "load.hpp"
#include "options.hpp"
#include "plan.hpp"
#include "stats.hpp"
#include "stream.hpp"
#include "terminal.hpp"

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace {

using namespace tabulix::cli;

int fail(int status, const char* message) {
  std::fputs("tabulix: ", stderr);
  std::fputs(message, stderr);
  std::fputc('\n', stderr);
  return status;
}

// Output lost to a full disk or a failing device must not pass for success.
int check_output() {
  if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
    return fail(1, (std::string("cannot write the output: ") + std::strerror(errno)).c_str());
  }
  return 0;
}

// Windows opens the standard streams in text mode, which turns LF into CR LF
// on the way out, and CR LF into LF (and Ctrl-Z into an end) on the way in:
// the bytes pass unchanged instead, as elsewhere (the reader takes CR LF).
void use_binary_standard_streams() {
#if defined(_WIN32)
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
#endif
}

// The records' blocks are freed while the table's blocks are allocated.
// glibc maps blocks of a megabyte on their own and unmaps them when freed,
// so the table would fault in fresh pages; from the heap it reuses them.
// So is the window of a large file read in parts (16 MiB on 2 cores), under
// the largest threshold glibc takes on a 64-bit system; a 32-bit one takes
// up to 16 MiB. One heap for every thread: the blocks that the threads
// reading a large file in parts fill are reused by the table, which this
// thread fills.
void reuse_freed_blocks() {
#ifdef __GLIBC__
  if (mallopt(M_MMAP_THRESHOLD, 32 << 20) == 0) mallopt(M_MMAP_THRESHOLD, 16 << 20);
  mallopt(M_ARENA_MAX, 1);
#endif
}

// The library hands its output on in pieces of a few KiB: through a large
// buffer they leave in few system calls. glibc ignores the size given with
// no buffer (it takes the device's block size, 4 KiB), so the buffer is
// given; it must outlive the stream, which closes after main returns.
void buffer_output() {
  static std::array<char, std::size_t{1} << 18> buffer;
  std::setvbuf(stdout, buffer.data(), _IOFBF, buffer.size());
}

int run(int argc, char** argv) {
  reuse_freed_blocks();
  options opts;
  if (const auto done = parse_command_line(argc, argv, opts)) {
    // --help and --version write to standard output too.
    return *done == 0 ? check_output() : *done;
  }
  const terminal_info term = standard_output_terminal();
  const output_place place{term.is_terminal, term.columns};
  if (opts.stream) {
    buffer_output();  // one write a flush of rows
    run_stream(opts, place, stdout);
    return check_output();
  }

  std::optional<tabulix::table> table;
  tabulix::section sections{};
  {
    // The records go as the table takes their rows.
    const bool measure = fit_width(opts, place) > 0;
    dataset data = load_inputs(opts, measure, unit_of(opts));
    if (data.input_titles.empty()) return 0;  // no input, no table
    table_plan plan = make_plan(opts, data, place);
    if (data.top) {
      // The first rows of the sorted table, chosen for the keys' types.
      std::vector<column_kind> key_kinds;
      for (const auto& k : plan.sort) key_kinds.push_back(plan.columns[k.column].kind);
      take_top_rows(opts, data, key_kinds, measure, unit_of(opts));
      plan = make_plan(opts, data, place);
    }
    if (opts.stats) {
      sections = opts.sections ? *opts.sections
                               : tabulix::section::titles | tabulix::section::title_rule |
                                     tabulix::section::rows;
      table.emplace(build_stats_table(plan, data, opts.byte_widths));
    } else {
      sections = plan.sections;
      table.emplace(build_table(plan, data));
    }
  }

  buffer_output();
  std::error_code ec;
  if (opts.output_format == tabulix::format::text && wants_color(opts.color, term.is_terminal)) {
    print_painted(*table, sections, unit_of(opts), stdout, ec);
  } else {
    table->print(stdout, sections, ec);
  }
  // A failed write is reported below with the system's reason.
  if (ec && ec != tabulix::errc::output_error) throw std::system_error(ec);
  return check_output();
}

int tabulix_main(int argc, char** argv) {
  use_binary_standard_streams();
  use_utf8_console();
  try {
    return run(argc, argv);
  } catch (const usage_error& e) {
    return fail(2, e.what());
  } catch (const data_error& e) {
    return fail(1, e.what());
  } catch (const input_error& e) {
    return fail(1, e.what());
  } catch (const std::bad_alloc&) {
    return fail(1, "out of memory");
  } catch (const std::system_error& e) {
    return fail(1, e.what());
  }
}

}  // namespace

#if defined(_WIN32)
// Windows gives main() its arguments in the ANSI code page, which holds few
// of the characters a delimiter, a title or a file name may have: wmain()
// (linked with -municode) has them whole, as UTF-16, and the tool takes them
// as UTF-8 like everything else it reads.
extern "C" int wmain(int argc, wchar_t** wide_argv) {
  std::vector<std::string> texts;
  texts.reserve(static_cast<std::size_t>(argc));
  for (int i = 0; i < argc; ++i) texts.push_back(tabulix::cli::utf8_from_wide(wide_argv[i]));
  std::vector<char*> argv;
  for (auto& t : texts) argv.push_back(t.data());
  argv.push_back(nullptr);
  return tabulix_main(argc, argv.data());
}
#else
int main(int argc, char** argv) { return tabulix_main(argc, argv); }
#endif
