// SPDX-License-Identifier: MIT
// The bytes of one input, decoded: gzip-compressed input is recognised by its
// magic bytes and inflated, and Latin-1 text is converted to UTF-8, so that
// the reader only ever sees UTF-8.
#ifndef TABULIX_TOOL_INPUT_HPP
#define TABULIX_TOOL_INPUT_HPP

#include <cstddef>
#include <cstdio>
#include <memory>
#include <string>

#include "options.hpp"

namespace tabulix::cli {

class byte_source {
 public:
  byte_source() = default;
  byte_source(const byte_source&) = delete;
  byte_source& operator=(const byte_source&) = delete;
  byte_source(byte_source&&) = delete;
  byte_source& operator=(byte_source&&) = delete;
  virtual ~byte_source() = default;

  // Reads up to `size` bytes into `to`; 0 only at the end of the input.
  // Throws input_error for a read error or broken compressed data.
  virtual std::size_t read(char* to, std::size_t size) = 0;
};

// Whether this build can read gzip-compressed input.
bool gzip_supported();

// The decoded bytes of `in`, which stays the caller's; `name` is used in
// messages.
std::unique_ptr<byte_source> open_source(std::FILE* in, const std::string& name,
                                         text_encoding encoding);

// The same for bytes that `raw` reads (a pipe read its own way).
std::unique_ptr<byte_source> decode_source(std::unique_ptr<byte_source> raw,
                                           const std::string& name, text_encoding encoding);

// Reads up to `size` bytes of `source` into `sample` (fewer at its end);
// gives a source that reads them again, then the rest.
std::unique_ptr<byte_source> take_sample(std::unique_ptr<byte_source> source, std::size_t size,
                                         std::string& sample);

}  // namespace tabulix::cli

#endif
