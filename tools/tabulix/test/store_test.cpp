// SPDX-License-Identifier: MIT
// The record store: fields read back as they were written, whatever their
// lengths, across the store's blocks.
#include "store.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using tabulix::cli::cell_tag;
using tabulix::cli::record_reader;
using tabulix::cli::record_writer;
using tabulix::cli::row_store;
using tabulix::cli::stored_field;

// A field as the test writes it and expects it back.
struct field {
  cell_tag tag;
  bool escape;
  std::uint64_t bits;
  std::string text;
  bool operator==(const field&) const = default;
};

std::vector<field> record_of_length(std::size_t n) {
  return {{cell_tag::text, n % 2 == 1, 0, std::string(n, 't')},
          {cell_tag::empty, false, 0, ""},
          {cell_tag::int64, false, static_cast<std::uint64_t>(-5), std::string(n, '0')},
          {cell_tag::hex, false, 0xFF, "0x00ff"}};
}

void write(record_writer& w, const std::vector<field>& fields) {
  w.clear();
  for (const field& f : fields) {
    if (f.tag == cell_tag::text) w.text(f.text, f.escape);
    if (f.tag == cell_tag::empty) w.empty();
    if (f.tag == cell_tag::int64 || f.tag == cell_tag::hex) w.number(f.tag, f.bits, f.text);
  }
}

std::vector<field> read_back(record_reader& r) {
  std::vector<field> fields;
  stored_field f;
  while (r.next(f)) {
    // Texts are NUL-terminated: a missing NUL shows as a changed escape flag.
    const bool ends =
        f.text.empty() || std::string_view(f.text.data(), f.text.size() + 1).back() == '\0';
    fields.push_back({f.tag, f.escape != !ends, f.bits, std::string(f.text)});
  }
  return fields;
}

TEST(RecordStore, FieldsReadBackWhateverTheirLengths) {
  // Lengths on either side of the one-byte form, and a record larger than a
  // block of the store.
  const std::size_t lengths[] = {0, 1, 254, 255, 256, 70000, (std::size_t{1} << 20) + 3};
  row_store rows;
  record_writer w;
  for (const std::size_t n : lengths) {
    write(w, record_of_length(n));
    static_cast<void>(rows.add(w.finish()));
  }
  std::vector<std::vector<field>> read;
  rows.drain([&](record_reader& r) { read.push_back(read_back(r)); });
  ASSERT_EQ(read.size(), std::size(lengths));
  for (std::size_t i = 0; i < read.size(); ++i) {
    EXPECT_TRUE(read[i] == record_of_length(lengths[i])) << lengths[i];
  }
}

}  // namespace
