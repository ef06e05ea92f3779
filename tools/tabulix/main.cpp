// SPDX-License-Identifier: MIT
// tabulix: prints CSV or TSV as a typed, aligned table.
#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#else
#include <unistd.h>
#endif

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <optional>
#include <system_error>

#include "build.hpp"
#include "csv.hpp"
#include "load.hpp"
#include "options.hpp"
#include "plan.hpp"

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

bool stdout_is_terminal() {
#if defined(_WIN32)
  return _isatty(_fileno(stdout)) != 0;
#else
  return isatty(STDOUT_FILENO) == 1;
#endif
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

char delimiter_of(const options& opts) {
  if (opts.tsv) return '\t';
  if (opts.delimiter) return parse_delimiter(*opts.delimiter);
  return ',';
}

int run(int argc, char** argv) {
  options opts;
  if (const auto done = parse_command_line(argc, argv, opts)) {
    // --help and --version write to standard output too.
    return *done == 0 ? check_output() : *done;
  }
  check_options(opts);

  std::optional<tabulix::table> table;
  table_plan plan;
  {
    // The records go as soon as the table holds their values.
    const dataset data = load_files(opts.files, delimiter_of(opts), opts.no_header);
    if (data.titles.empty()) return 0;  // no input, no table
    plan = make_plan(opts, data, stdout_is_terminal());
    table.emplace(build_table(plan, data));
  }

  // The library writes field by field; a large buffer saves system calls.
  std::setvbuf(stdout, nullptr, _IOFBF, 1 << 16);
  table->print(stdout, static_cast<tabulix::section>(plan.sections));
  return check_output();
}

}  // namespace

int main(int argc, char** argv) {
  use_binary_standard_streams();
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
