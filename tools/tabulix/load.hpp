// SPDX-License-Identifier: MIT
// Reading every input into memory before anything is printed: the types of
// the columns depend on all their values, and a fault late in the input must
// not leave half a table behind.
#ifndef TABULIX_TOOL_LOAD_HPP
#define TABULIX_TOOL_LOAD_HPP

#include <cstdint>
#include <cstdio>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tabulix::cli {

// Holds the text of the records in large blocks that never move, so that
// memory grows with the input without the copies and slack of one growing
// buffer.
class text_store {
 public:
  // Keeps a copy of the bytes; gives its address.
  const char* add(std::string_view bytes);

 private:
  static constexpr std::size_t block_size = std::size_t{1} << 20;
  std::vector<std::unique_ptr<char[]>> blocks_;
  std::size_t used_ = 0;  // bytes taken in the last block
  std::size_t size_ = 0;  // size of the last block
};

struct dataset {
  // One data record; its fields lie one after the other at `text`, each
  // followed by a NUL byte.
  struct record {
    const char* text;
    std::uint64_t line;
    std::uint32_t fields;
    std::uint32_t file;  // index into files
  };

  std::vector<std::string> titles;  // the header, or "1", "2", ... without one
  std::vector<std::string> files;   // input names as used in messages
  text_store store;
  std::deque<record> records;  // a deque grows without moving what it holds

  // Calls f(index, field) for the fields of a record, in order; each field
  // is a NUL-terminated string.
  template <class F>
  void for_each_field(const record& r, F&& f) const {
    const char* p = r.text;
    for (std::uint32_t i = 0; i < r.fields; ++i) {
      const std::string_view field(p);
      f(i, field);
      p += field.size() + 1;
    }
  }
  // Where a record stands, as "file:line".
  [[nodiscard]] std::string where(const record& r) const;
};

// Adds the records of one input to `data`. The first input with a record
// gives the header (unless `no_header`); later inputs must begin with the
// same header. Throws input_error for faults in the text and for a record
// with more fields than the header.
void load(std::FILE* in, const std::string& name, char delimiter, bool no_header, dataset& data);

// Loads the named files, "-" or none meaning standard input. Throws
// input_error, also for a file that cannot be opened.
dataset load_files(const std::vector<std::string>& names, char delimiter, bool no_header);

}  // namespace tabulix::cli

#endif
