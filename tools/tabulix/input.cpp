// SPDX-License-Identifier: MIT
#include "input.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#ifdef TABULIX_TOOL_ZLIB
#include <zlib.h>
#endif
#ifdef TABULIX_TOOL_BZIP2
#include <bzlib.h>
#endif
#ifdef TABULIX_TOOL_XZ
#include <lzma.h>
#endif
#ifdef TABULIX_TOOL_ZSTD
#include <zstd.h>
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

// The compressed bytes of a stream, read a chunk at a time for a decoder.
class compressed_input {
 public:
  explicit compressed_input(std::unique_ptr<byte_source> raw)
      : raw_(std::move(raw)), in_(chunk_size) {}

  // Reads the next chunk; false at the end of the input.
  bool fill() {
    size_ = raw_->read(in_.data(), in_.size());
    return size_ != 0;
  }
  [[nodiscard]] char* data() { return in_.data(); }
  [[nodiscard]] std::size_t size() const { return size_; }

 private:
  std::unique_ptr<byte_source> raw_;
  std::vector<char> in_;
  std::size_t size_ = 0;
};

#ifdef TABULIX_TOOL_BZIP2
// bzip2 data; several streams one after the other (as pbzip2 writes them)
// are read as one.
class bzip2_source final : public byte_source {
 public:
  bzip2_source(std::unique_ptr<byte_source> raw, std::string name)
      : in_(std::move(raw)), name_(std::move(name)) {
    start();
  }
  bzip2_source(const bzip2_source&) = delete;
  bzip2_source& operator=(const bzip2_source&) = delete;
  bzip2_source(bzip2_source&&) = delete;
  bzip2_source& operator=(bzip2_source&&) = delete;
  ~bzip2_source() override { BZ2_bzDecompressEnd(&z_); }

  std::size_t read(char* to, std::size_t size) override {
    z_.next_out = to;
    z_.avail_out = static_cast<unsigned>(std::min<std::size_t>(size, chunk_size));
    const unsigned wanted = z_.avail_out;
    while (z_.avail_out == wanted) {
      // A decoder that filled the last output may hold more without input.
      if (z_.avail_in == 0 && !full_) {
        if (!in_.fill()) {
          if (!ended_) throw input_error(name_, 0, 0, "the compressed data is cut short");
          break;
        }
        z_.next_in = in_.data();
        z_.avail_in = static_cast<unsigned>(in_.size());
      }
      const int rc = BZ2_bzDecompress(&z_);
      full_ = z_.avail_out == 0;
      ended_ = rc == BZ_STREAM_END;
      if (ended_) {
        // Another stream may follow: start again on the bytes left.
        const bz_stream at = z_;
        BZ2_bzDecompressEnd(&z_);
        z_ = bz_stream{};
        start();
        z_.next_in = at.next_in;
        z_.avail_in = at.avail_in;
        z_.next_out = at.next_out;
        z_.avail_out = at.avail_out;
      } else if (rc == BZ_MEM_ERROR) {
        throw std::bad_alloc();
      } else if (rc != BZ_OK) {
        throw input_error(name_, 0, 0, "broken bzip2 data");
      }
    }
    return wanted - z_.avail_out;
  }

 private:
  void start() {
    if (BZ2_bzDecompressInit(&z_, 0, 0) != BZ_OK) throw std::bad_alloc();
  }

  compressed_input in_;
  std::string name_;
  bz_stream z_{};
  bool ended_ = false;  // at the end of a stream: the input may end here
  bool full_ = false;   // the last call filled the output
};
#endif

#ifdef TABULIX_TOOL_XZ
// xz data, several streams one after the other included.
class xz_source final : public byte_source {
 public:
  xz_source(std::unique_ptr<byte_source> raw, std::string name)
      : in_(std::move(raw)), name_(std::move(name)) {
    if (lzma_stream_decoder(&z_, UINT64_MAX, LZMA_CONCATENATED) != LZMA_OK) {
      throw std::bad_alloc();
    }
  }
  xz_source(const xz_source&) = delete;
  xz_source& operator=(const xz_source&) = delete;
  xz_source(xz_source&&) = delete;
  xz_source& operator=(xz_source&&) = delete;
  ~xz_source() override { lzma_end(&z_); }

  std::size_t read(char* to, std::size_t size) override {
    z_.next_out = reinterpret_cast<std::uint8_t*>(to);
    z_.avail_out = std::min<std::size_t>(size, chunk_size);
    const std::size_t wanted = z_.avail_out;
    while (z_.avail_out == wanted && !ended_) {
      lzma_action action = LZMA_RUN;
      if (z_.avail_in == 0) {
        if (in_.fill()) {
          z_.next_in = reinterpret_cast<const std::uint8_t*>(in_.data());
          z_.avail_in = in_.size();
        } else {
          action = LZMA_FINISH;  // the decoder checks that the last stream is whole
        }
      }
      const lzma_ret rc = lzma_code(&z_, action);
      if (rc == LZMA_STREAM_END) {
        ended_ = true;
      } else if (rc == LZMA_MEM_ERROR) {
        throw std::bad_alloc();
      } else if (rc == LZMA_BUF_ERROR) {
        throw input_error(name_, 0, 0, "the compressed data is cut short");
      } else if (rc != LZMA_OK) {
        throw input_error(name_, 0, 0, "broken xz data");
      }
    }
    return wanted - z_.avail_out;
  }

 private:
  compressed_input in_;
  std::string name_;
  lzma_stream z_ = LZMA_STREAM_INIT;
  bool ended_ = false;
};
#endif

#ifdef TABULIX_TOOL_ZSTD
// zstd data; several frames one after the other are read as one stream.
class zstd_source final : public byte_source {
 public:
  zstd_source(std::unique_ptr<byte_source> raw, std::string name)
      : in_(std::move(raw)), name_(std::move(name)), z_(ZSTD_createDStream()) {
    if (z_ == nullptr) throw std::bad_alloc();
  }
  zstd_source(const zstd_source&) = delete;
  zstd_source& operator=(const zstd_source&) = delete;
  zstd_source(zstd_source&&) = delete;
  zstd_source& operator=(zstd_source&&) = delete;
  ~zstd_source() override { ZSTD_freeDStream(z_); }

  std::size_t read(char* to, std::size_t size) override {
    ZSTD_outBuffer out{to, std::min<std::size_t>(size, chunk_size), 0};
    while (out.pos == 0) {
      // A decoder that filled the last output may hold more without input.
      if (pending_.pos == pending_.size && !full_) {
        if (!in_.fill()) {
          if (!ended_) throw input_error(name_, 0, 0, "the compressed data is cut short");
          break;
        }
        pending_ = ZSTD_inBuffer{in_.data(), in_.size(), 0};
      }
      const std::size_t rc = ZSTD_decompressStream(z_, &out, &pending_);
      if (ZSTD_isError(rc) != 0) {
        throw input_error(name_, 0, 0, std::string("broken zstd data: ") + ZSTD_getErrorName(rc));
      }
      ended_ = rc == 0;  // a frame is whole; another may follow
      full_ = out.pos == out.size;
    }
    return out.pos;
  }

 private:
  compressed_input in_;
  std::string name_;
  ZSTD_DStream* z_;
  ZSTD_inBuffer pending_{nullptr, 0, 0};
  bool ended_ = true;
  bool full_ = false;
};
#endif

// Windows-1252 puts printable characters where Latin-1 has the C1 controls
// 0x80 to 0x9F; its five unassigned bytes stay those controls.
constexpr std::uint16_t cp1252_high[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

// The code point of a byte of 0x80 or above.
std::uint16_t code_point(unsigned char c, text_encoding encoding) {
  if (encoding == text_encoding::cp1252 && c < 0xA0) return cp1252_high[c - 0x80];
  return c;
}

// A single-byte encoding (Latin-1, Windows-1252) to UTF-8: bytes below 0x80
// stay, the others take two or three bytes.
class single_byte_source final : public byte_source {
 public:
  single_byte_source(std::unique_ptr<byte_source> raw, text_encoding encoding)
      : raw_(std::move(raw)), encoding_(encoding), in_(chunk_size) {}

  std::size_t read(char* to, std::size_t size) override {
    std::size_t out = 0;
    while (pending_at_ < pending_.size() && out < size) to[out++] = pending_[pending_at_++];
    if (out == size) return out;
    const std::size_t n = raw_->read(in_.data(), std::min(in_.size(), (size - out + 2) / 3));
    for (std::size_t i = 0; i < n; ++i) {
      const auto c = static_cast<unsigned char>(in_[i]);
      if (c < 0x80) {
        to[out++] = static_cast<char>(c);
        continue;
      }
      const std::string_view bytes = encode(code_point(c, encoding_));
      const std::size_t fits = std::min(bytes.size(), size - out);
      std::memcpy(to + out, bytes.data(), fits);
      out += fits;
      pending_.assign(bytes.substr(fits));  // at most the last character's
      pending_at_ = 0;
    }
    return out;
  }

 private:
  std::string_view encode(std::uint16_t cp) {
    if (cp < 0x800) {
      utf8_[0] = static_cast<char>(0xC0 | (cp >> 6));
      utf8_[1] = static_cast<char>(0x80 | (cp & 0x3F));
      return {utf8_, 2};
    }
    utf8_[0] = static_cast<char>(0xE0 | (cp >> 12));
    utf8_[1] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    utf8_[2] = static_cast<char>(0x80 | (cp & 0x3F));
    return {utf8_, 3};
  }

  std::unique_ptr<byte_source> raw_;
  text_encoding encoding_;
  std::vector<char> in_;
  char utf8_[3] = {};
  std::string pending_;  // bytes of a character that did not fit
  std::size_t pending_at_ = 0;
};

enum class compression { none, gzip, bzip2, xz, zstd };

// The compression whose magic bytes start the input.
compression compression_of(const std::vector<char>& first) {
  const std::string_view bytes(first.data(), first.size());
  if (bytes.starts_with("\x1F\x8B")) return compression::gzip;
  // "BZh" and a block size digit, then the magic of a block (the digits of
  // pi, 31 41 59 26 53 59, which read as ASCII) or of the end.
  if (bytes.size() >= 10 && bytes.starts_with("BZh") && bytes[3] >= '1' && bytes[3] <= '9' &&
      (bytes.substr(4, 6) == "1AY&SY" || bytes.substr(4, 6) == "\x17\x72\x45\x38\x50\x90")) {
    return compression::bzip2;
  }
  if (bytes.starts_with(std::string_view("\xFD"
                                         "7zXZ\0",
                                         6)))
    return compression::xz;
  if (bytes.starts_with("\x28\xB5\x2F\xFD")) return compression::zstd;
  return compression::none;
}

[[noreturn, maybe_unused]] void not_built(const std::string& name, const char* format) {
  throw input_error(name, 0, 0,
                    std::string(format) +
                        "-compressed input cannot be read: this build was made without " + format +
                        " support");
}

std::unique_ptr<byte_source> decompressed(std::unique_ptr<byte_source> source,
                                          const std::string& name, compression c) {
  switch (c) {
    case compression::none:
      break;
    case compression::gzip:
#ifdef TABULIX_TOOL_ZLIB
      return std::make_unique<gzip_source>(std::move(source), name);
#else
      not_built(name, "gzip");
#endif
    case compression::bzip2:
#ifdef TABULIX_TOOL_BZIP2
      return std::make_unique<bzip2_source>(std::move(source), name);
#else
      not_built(name, "bzip2");
#endif
    case compression::xz:
#ifdef TABULIX_TOOL_XZ
      return std::make_unique<xz_source>(std::move(source), name);
#else
      not_built(name, "xz");
#endif
    case compression::zstd:
#ifdef TABULIX_TOOL_ZSTD
      return std::make_unique<zstd_source>(std::move(source), name);
#else
      not_built(name, "zstd");
#endif
  }
  return source;
}

// A sample read ahead, then the rest of the source.
class sampled_source final : public byte_source {
 public:
  sampled_source(std::unique_ptr<byte_source> rest, std::string sample)
      : rest_(std::move(rest)), sample_(std::move(sample)) {}

  std::size_t read(char* to, std::size_t size) override {
    if (taken_ == sample_.size()) return rest_->read(to, size);
    const std::size_t n = std::min(size, sample_.size() - taken_);
    std::memcpy(to, sample_.data() + taken_, n);
    taken_ += n;
    if (taken_ == sample_.size()) {  // no longer needed
      sample_ = std::string();
      taken_ = 0;
    }
    return n;
  }

 private:
  std::unique_ptr<byte_source> rest_;
  std::string sample_;
  std::size_t taken_ = 0;
};

}  // namespace

std::unique_ptr<byte_source> take_sample(std::unique_ptr<byte_source> source, std::size_t size,
                                         std::string& sample) {
  sample.resize(size);
  std::size_t got = 0;
  while (got < size) {
    const std::size_t n = source->read(sample.data() + got, size - got);
    if (n == 0) break;
    got += n;
  }
  sample.resize(got);
  return std::make_unique<sampled_source>(std::move(source), sample);
}

bool gzip_supported() {
#ifdef TABULIX_TOOL_ZLIB
  return true;
#else
  return false;
#endif
}

std::unique_ptr<byte_source> open_source(std::FILE* in, const std::string& name,
                                         text_encoding encoding) {
  // Ten bytes tell the compression; a pipe may give them in separate reads.
  std::vector<char> first(10);
  std::size_t got = 0;
  while (got < first.size()) {
    const std::size_t n = std::fread(first.data() + got, 1, first.size() - got, in);
    if (n == 0) break;
    got += n;
  }
  // A read error shows again, and is reported, on the next read.
  first.resize(got);
  const compression c = compression_of(first);
  std::unique_ptr<byte_source> source =
      decompressed(std::make_unique<file_source>(in, name, std::move(first)), name, c);
  if (encoding != text_encoding::utf8) {
    source = std::make_unique<single_byte_source>(std::move(source), encoding);
  }
  return source;
}

std::unique_ptr<byte_source> decode_source(std::unique_ptr<byte_source> raw,
                                           const std::string& name, text_encoding encoding) {
  std::string first(10, '\0');
  std::size_t got = 0;
  while (got < first.size()) {
    const std::size_t n = raw->read(first.data() + got, first.size() - got);
    if (n == 0) break;
    got += n;
  }
  first.resize(got);
  const compression c = compression_of(std::vector<char>(first.begin(), first.end()));
  std::unique_ptr<byte_source> source =
      decompressed(std::make_unique<sampled_source>(std::move(raw), std::move(first)), name, c);
  if (encoding != text_encoding::utf8) {
    source = std::make_unique<single_byte_source>(std::move(source), encoding);
  }
  return source;
}

}  // namespace tabulix::cli
