// SPDX-License-Identifier: MIT
// The record store: fields read back as they were written, whatever their
// lengths, across the store's blocks.
#include "store.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using tabulix::cli::cell_tag;
using tabulix::cli::plain_hex_text;
using tabulix::cli::record_reader;
using tabulix::cli::record_writer;
using tabulix::cli::row_store;
using tabulix::cli::stored_field;
using tabulix::cli::stored_text;

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

// Numbers stored by value alone are written back as the command would write
// them; a hex value is stored so only when that text is the one read.
TEST(RecordStore, NumbersStoredWithoutTextAreWrittenBack) {
  struct test_case {
    cell_tag tag;
    std::uint64_t bits;
    const char* text;
  };
  for (const test_case& c : {test_case{cell_tag::int64, static_cast<std::uint64_t>(-42), "-42"},
                             test_case{cell_tag::uint64, ~std::uint64_t{0}, "18446744073709551615"},
                             test_case{cell_tag::hex, 0, "0x0"},
                             test_case{cell_tag::hex, ~std::uint64_t{0}, "0xffffffffffffffff"}}) {
    char digits[24];
    EXPECT_EQ(stored_text(stored_field{c.tag, false, c.bits, {}}, digits), c.text);
    EXPECT_EQ(digits[std::string_view(c.text).size()], '\0');
  }
  EXPECT_TRUE(plain_hex_text("0x1f", 0x1F));
  for (const char* written : {"0x1F", "0x01f", "0X1f", "31"}) {
    EXPECT_FALSE(plain_hex_text(written, 0x1F)) << written;
  }
}

}  // namespace
