// SPDX-License-Identifier: MIT
#include "input.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#ifdef TABULIX_TOOL_ZLIB
#include <zlib.h>
#endif

namespace tabulix::cli {

namespace {

constexpr std::size_t chunk_size = std::size_t{1} << 16;

// A file, read as it is; the first bytes may have been read already to look
// for a magic number.
class file_source final : public byte_source {
 public:
  file_source(std::FILE* in, std::string name, std::vector<char> first)
      : in_(in), name_(std::move(name)), first_(std::move(first)) {}

  std::size_t read(char* to, std::size_t size) override {
    if (taken_ < first_.size()) {
      const std::size_t n = std::min(size, first_.size() - taken_);
      std::memcpy(to, first_.data() + taken_, n);
      taken_ += n;
      return n;
    }
    const std::size_t n = std::fread(to, 1, size, in_);
    if (n == 0 && std::ferror(in_) != 0) {
      throw input_error(name_, 0, 0, std::string("read error: ") + std::strerror(errno));
    }
    return n;
  }

 private:
  std::FILE* in_;
  std::string name_;
  std::vector<char> first_;
  std::size_t taken_ = 0;
};

#ifdef TABULIX_TOOL_ZLIB
// gzip data, inflated as it is read; several members one after the other
// (as `cat a.gz b.gz` gives) are read as one stream.
class gzip_source final : public byte_source {
 public:
  gzip_source(std::unique_ptr<byte_source> raw, std::string name)
      : raw_(std::move(raw)), name_(std::move(name)), in_(chunk_size) {
    // 15 + 32: the largest window, and a gzip or zlib header detected.
    if (inflateInit2(&z_, 15 + 32) != Z_OK) throw std::bad_alloc();
  }
  gzip_source(const gzip_source&) = delete;
  gzip_source& operator=(const gzip_source&) = delete;
  gzip_source(gzip_source&&) = delete;
  gzip_source& operator=(gzip_source&&) = delete;
  ~gzip_source() override { inflateEnd(&z_); }

  std::size_t read(char* to, std::size_t size) override {
    z_.next_out = reinterpret_cast<Bytef*>(to);
    z_.avail_out = static_cast<uInt>(std::min<std::size_t>(size, chunk_size));
    const uInt wanted = z_.avail_out;
    while (z_.avail_out == wanted) {
      if (z_.avail_in == 0 && !fill()) {
        if (!ended_) throw input_error(name_, 0, 0, "the compressed data is cut short");
        break;
      }
      const int rc = inflate(&z_, Z_NO_FLUSH);
      if (rc == Z_STREAM_END) {
        ended_ = true;
        inflateReset(&z_);  // another member may follow
      } else if (rc == Z_OK || rc == Z_BUF_ERROR) {
        ended_ = false;
      } else if (rc == Z_MEM_ERROR) {
        throw std::bad_alloc();
      } else {
        throw input_error(
            name_, 0, 0,
            std::string("broken gzip data: ") + (z_.msg != nullptr ? z_.msg : "unknown fault"));
      }
    }
    return wanted - z_.avail_out;
  }

 private:
  bool fill() {
    const std::size_t n = raw_->read(in_.data(), in_.size());
    z_.next_in = reinterpret_cast<Bytef*>(in_.data());
    z_.avail_in = static_cast<uInt>(n);
    return n != 0;
  }

  std::unique_ptr<byte_source> raw_;
  std::string name_;
  std::vector<char> in_;
  z_stream z_{};
  bool ended_ = false;  // at the end of a member: the input may end here
};
#endif

// Latin-1 to UTF-8: each byte is its own code point, and those of 0x80 and
// above take two bytes.
class latin1_source final : public byte_source {
 public:
  explicit latin1_source(std::unique_ptr<byte_source> raw)
      : raw_(std::move(raw)), in_(chunk_size) {}

  std::size_t read(char* to, std::size_t size) override {
    std::size_t out = 0;
    if (pending_ != 0 && size > 0) {
      to[out++] = static_cast<char>(pending_);
      pending_ = 0;
    }
    if (out == size) return out;
    const std::size_t n = raw_->read(in_.data(), std::min(in_.size(), (size - out + 1) / 2));
    for (std::size_t i = 0; i < n; ++i) {
      const auto c = static_cast<unsigned char>(in_[i]);
      if (c < 0x80) {
        to[out++] = static_cast<char>(c);
        continue;
      }
      to[out++] = static_cast<char>(0xC0 | (c >> 6));
      const auto second = static_cast<unsigned char>(0x80 | (c & 0x3F));
      if (out < size) {
        to[out++] = static_cast<char>(second);
      } else {
        pending_ = second;
      }
    }
    return out;
  }

 private:
  std::unique_ptr<byte_source> raw_;
  std::vector<char> in_;
  unsigned char pending_ = 0;  // second byte that did not fit
};

bool has_gzip_magic(const std::vector<char>& first) {
  return first.size() >= 2 && static_cast<unsigned char>(first[0]) == 0x1F &&
         static_cast<unsigned char>(first[1]) == 0x8B;
}

}  // namespace

bool gzip_supported() {
#ifdef TABULIX_TOOL_ZLIB
  return true;
#else
  return false;
#endif
}

std::unique_ptr<byte_source> open_source(std::FILE* in, const std::string& name,
                                         text_encoding encoding) {
  // Two bytes tell gzip data; a pipe may give them in separate reads.
  std::vector<char> first(2);
  std::size_t got = 0;
  while (got < first.size()) {
    const std::size_t n = std::fread(first.data() + got, 1, first.size() - got, in);
    if (n == 0) break;
    got += n;
  }
  // A read error shows again, and is reported, on the next read.
  first.resize(got);
  const bool gzip = has_gzip_magic(first);
  std::unique_ptr<byte_source> source = std::make_unique<file_source>(in, name, std::move(first));
  if (gzip) {
#ifdef TABULIX_TOOL_ZLIB
    source = std::make_unique<gzip_source>(std::move(source), name);
#else
    throw input_error(name, 0, 0, "gzip-compressed input cannot be read by this build");
#endif
  }
  if (encoding == text_encoding::latin1) {
    source = std::make_unique<latin1_source>(std::move(source));
  }
  return source;
}

}  // namespace tabulix::cli
