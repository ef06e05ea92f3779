// SPDX-License-Identifier: MIT
// A process list with sums, printed to a FILE*: the biggest resident sets
// first, with the totals and a count of processes on the summary line.
// Widths come from the cells; a minimum width makes room for a longer title.
#include <cstdint>
#include <cstdio>
#include <string>
#include <system_error>
#include <tabulix.hpp>
#include <vector>

namespace {

struct process {
  int pid;
  std::string user;
  std::string command;
  std::size_t resident_kib;
  std::uint64_t cpu_ms;
  int nice;
};

const std::vector<process> processes = {
    {1, "root", "/sbin/init", 12288, 5310, 0},
    {412, "root", "/usr/sbin/sshd -D", 7936, 120, 0},
    {1370, "postgres", "postgres: checkpointer", 145408, 98211, 0},
    {2204, "ada", "vim notes.md", 10240, 4410, 0},
    {2911, "ada", "make -j2", 4096, 15, 10},
    {3050, "www", "nginx: worker process", 18432, 30127, -5},
};

}  // namespace

int main() try {
  using tabulix::column_spec;
  using tabulix::just;
  using tabulix::type;
  tabulix::table t{
      column_spec(type::int64, "PID").cell_just(just::right),
      {type::string, "User"},
      {type::string, "Command"},
      column_spec(type::uint64, "RSS").cell_just(just::right).summarize().suffix(" KiB"),
      column_spec(type::uint64, "CPU").cell_just(just::right).summarize().suffix(" ms"),
      column_spec(type::int64, "Nice").cell_just(just::right).min_width(4)};
  t.set_style(tabulix::style::fancyw);
  // size_t and int values go to the uint64 and int64 columns as they are.
  for (const process& p : processes) {
    t.add_row(p.pid, p.user, p.command, p.resident_kib, p.cpu_ms, p.nice);
  }
  t.sort(t.column_id(3), tabulix::order::desc);
  t.set_sum_text(t.column_id(2), std::to_string(processes.size()) + " processes");
  t.print(stdout);
  return 0;
} catch (const std::system_error& e) {
  std::fprintf(stderr, "process_list: %s\n", e.what());
  return 1;
}
