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

TEST(RecordStore, FieldsReadBackWhateverTheirLengths) {
  // Lengths on either side of the one-byte form, and a record larger than a
  // block of the store.
  const std::size_t lengths[] = {0, 1, 254, 255, 256, 70000, (std::size_t{1} << 20) + 3};
  row_store rows;
  record_writer w;
  for (const std::size_t n : lengths) {
    w.clear();
    w.text(std::string(n, 't'), n % 2 == 1);
    w.empty();
    w.number(cell_tag::int64, static_cast<std::uint64_t>(-5), n != 0 ? std::string(n, '0') : "");
    w.number(cell_tag::hex, 0xFF, "0x00ff");
    static_cast<void>(rows.add(w.finish()));
  }
  ASSERT_EQ(rows.size(), std::size(lengths));
  std::size_t i = 0;
  rows.drain([&](record_reader& r) {
    const std::size_t n = lengths[i++];
    std::vector<stored_field> fields;
    stored_field f;
    while (r.next(f)) fields.push_back(f);
    ASSERT_EQ(fields.size(), 4u) << n;
    EXPECT_EQ(fields[0].tag, cell_tag::text);
    EXPECT_EQ(fields[0].text, std::string(n, 't'));
    EXPECT_EQ(fields[0].escape, n % 2 == 1);
    EXPECT_EQ(fields[0].text.data()[n], '\0');
    EXPECT_EQ(fields[1].tag, cell_tag::empty);
    EXPECT_EQ(fields[2].tag, cell_tag::int64);
    EXPECT_EQ(fields[2].bits, static_cast<std::uint64_t>(-5));
    EXPECT_EQ(fields[2].text, std::string(n, '0'));
    EXPECT_EQ(fields[3].bits, 0xFFu);
    EXPECT_EQ(fields[3].text, "0x00ff");
  });
  EXPECT_EQ(i, std::size(lengths));
}

}  // namespace
