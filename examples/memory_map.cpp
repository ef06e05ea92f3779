// SPDX-License-Identifier: MIT
// A process memory map printed to a std::ostream: hexadecimal addresses and
// offsets, sizes summed in KiB. Columns are declared one by one here, with a
// handle or with a column_spec.
#include <cstdint>
#include <iostream>
#include <tabulix.hpp>

namespace {

struct mapping {
  std::uint64_t start;
  std::uint64_t end;
  const char* perms;
  std::uint64_t offset;
  const char* path;
};

const mapping maps[] = {
    {0x55d0c8a00000, 0x55d0c8a2c000, "r--p", 0x0, "/usr/bin/bash"},
    {0x55d0c8a2c000, 0x55d0c8b0d000, "r-xp", 0x2c000, "/usr/bin/bash"},
    {0x55d0c8b47000, 0x55d0c8b4b000, "rw-p", 0x146000, "/usr/bin/bash"},
    {0x55d0ca1e3000, 0x55d0ca38f000, "rw-p", 0x0, "[heap]"},
    {0x7f2b4e400000, 0x7f2b4e428000, "r--p", 0x0, "/usr/lib/x86_64-linux-gnu/libc.so.6"},
    {0x7ffd6d2f1000, 0x7ffd6d312000, "rw-p", 0x0, "[stack]"},
};

}  // namespace

int main() try {
  using tabulix::column_spec;
  using tabulix::type;
  tabulix::table t;
  t.add_column({type::hex, "Start"});
  t.add_column({type::hex, "End"});
  t.add_column(column_spec(type::string, "Perms").min_width(5));
  t.add_column(column_spec(type::hex, "Offset").hex_case(tabulix::hex_case::upper));
  t.add_column(
      column_spec(type::uint64, "Size").cell_just(tabulix::just::right).summarize().suffix(" KiB"));
  t.add_column({type::string, "Mapping"});
  for (const mapping& m : maps) {
    t.add_row(tabulix::hex{m.start}, tabulix::hex{m.end}, m.perms, m.offset,
              (m.end - m.start) / 1024, m.path);
  }
  t.set_style(tabulix::style::fancyw);
  std::cout << t;
  return std::cout ? 0 : 1;
} catch (const std::system_error& e) {
  std::cerr << "memory_map: " << e.what() << '\n';
  return 1;
}
