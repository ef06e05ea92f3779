// SPDX-License-Identifier: MIT
// The records between reading and printing, kept compactly: each field once,
// numbers as the values read from them (with their text only when it does
// not print back as written), in large blocks that are freed as soon as the
// table holds their rows.
#ifndef TABULIX_TOOL_STORE_HPP
#define TABULIX_TOOL_STORE_HPP

#include <algorithm>
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tabulix::cli {

// `missing`: a marker of a missing value ("NA"), with its text: an empty cell
// in a column of numbers, its text in a text column.
enum class cell_tag : std::uint8_t { end = 0, empty, int64, uint64, hex, text, missing };

// One field as stored. Numbers hold their value in `bits` (int64 in two's
// complement); `text` is empty for numbers that print back as their value.
struct stored_field {
  cell_tag tag = cell_tag::end;
  bool escape = false;  // the text holds control characters
  std::uint64_t bits = 0;
  std::string_view text;  // NUL-terminated when not empty
};

// The text of a stored field: its own, or its number written out into
// `digits` (NUL-terminated, as a field's own text is): in decimal, or as
// "0x" and lower-case hex digits for a hex value.
inline std::string_view stored_text(const stored_field& f, char (&digits)[24]) {
  if (!f.text.empty() || f.tag == cell_tag::text || f.tag == cell_tag::missing) return f.text;
  char* start = digits;
  std::to_chars_result written{};
  if (f.tag == cell_tag::hex) {
    digits[0] = '0';
    digits[1] = 'x';
    written = std::to_chars(digits + 2, digits + 23, f.bits, 16);
  } else if (f.tag == cell_tag::int64) {
    written = std::to_chars(start, digits + 23, static_cast<std::int64_t>(f.bits));
  } else {
    written = std::to_chars(start, digits + 23, f.bits);
  }
  *written.ptr = '\0';  // 23 bytes hold any 64-bit number
  return {start, static_cast<std::size_t>(written.ptr - start)};
}

// Whether `text` is the text stored_text gives a hex value of `bits`, so that
// the value alone need be stored.
inline bool plain_hex_text(std::string_view text, std::uint64_t bits) {
  char digits[24];
  const stored_field f{cell_tag::hex, false, bits, {}};
  return stored_text(f, digits) == text;
}

// Encodes the fields of one record into bytes. The bytes go to a buffer of
// its own through a pointer: a std::string's push_back checks its room and
// writes a NUL at every byte.
class record_writer {
 public:
  void clear() { used_ = 0; }
  void empty() { *room(1) = static_cast<char>(cell_tag::empty); }
  // A number; `text` when it does not print back as written.
  void number(cell_tag tag, std::uint64_t bits, std::string_view text) {
    char* p = room(9);
    *p = tag_byte(tag, !text.empty(), false);
    std::memcpy(p + 1, &bits, 8);
    if (!text.empty()) put_text(text);
  }
  void text(std::string_view t, bool escape, cell_tag tag = cell_tag::text) {
    *room(1) = tag_byte(tag, true, escape);
    put_text(t);
  }
  [[nodiscard]] std::string_view finish() {
    *room(1) = static_cast<char>(cell_tag::end);
    return {bytes_.get(), used_};
  }

 private:
  static constexpr unsigned has_text_bit = 0x80;
  static constexpr unsigned escape_bit = 0x40;
  friend class record_reader;

  static char tag_byte(cell_tag tag, bool has_text, bool escape) {
    auto t = static_cast<unsigned>(tag);
    if (has_text) t |= has_text_bit;
    if (escape) t |= escape_bit;
    return static_cast<char>(t);
  }
  // Lengths below 255 take one byte, others nine: the whole length, however
  // large.
  void put_text(std::string_view t) {
    const bool short_text = t.size() < 255;
    char* p = room((short_text ? 1 : 9) + t.size() + 1);
    if (short_text) {
      *p++ = static_cast<char>(t.size());
    } else {
      *p++ = static_cast<char>(0xFF);
      const std::uint64_t n = t.size();
      std::memcpy(p, &n, 8);
      p += 8;
    }
    std::memcpy(p, t.data(), t.size());
    p[t.size()] = '\0';
  }
  // `n` more bytes at the end, which the caller writes.
  char* room(std::size_t n) {
    if (capacity_ - used_ < n) grow(n);
    char* at = bytes_.get() + used_;
    used_ += n;
    return at;
  }
  void grow(std::size_t n) {
    const std::size_t size = std::max(capacity_ * 2, used_ + n + 256);
    auto larger = std::make_unique_for_overwrite<char[]>(size);
    if (used_ != 0) std::memcpy(larger.get(), bytes_.get(), used_);
    bytes_ = std::move(larger);
    capacity_ = size;
  }

  std::unique_ptr<char[]> bytes_;
  std::size_t used_ = 0;
  std::size_t capacity_ = 0;
};

// Decodes the fields of a record that record_writer encoded.
class record_reader {
 public:
  explicit record_reader(const char* at) : p_(at) {}

  // The next field; false after the last one.
  bool next(stored_field& f) {
    if (done_) return false;
    const auto t = static_cast<unsigned char>(*p_++);
    f.tag = static_cast<cell_tag>(t & 0x0F);
    if (f.tag == cell_tag::end) {
      done_ = true;
      return false;
    }
    f.escape = (t & record_writer::escape_bit) != 0;
    f.text = {};
    if (f.tag == cell_tag::empty) return true;
    if (f.tag != cell_tag::text && f.tag != cell_tag::missing) {
      std::memcpy(&f.bits, p_, 8);
      p_ += 8;
    }
    if ((t & record_writer::has_text_bit) != 0) {
      std::uint64_t n = static_cast<unsigned char>(*p_++);
      if (n == 0xFF) {
        std::memcpy(&n, p_, 8);
        p_ += 8;
      }
      f.text = std::string_view(p_, static_cast<std::size_t>(n));
      p_ += n + 1;
    }
    return true;
  }
  [[nodiscard]] const char* position() const { return p_; }

 private:
  const char* p_;
  bool done_ = false;
};

// The bytes of the encoded record at `at`.
inline std::string_view encoded_record(const char* at) {
  record_reader r(at);
  stored_field ignored;
  while (r.next(ignored)) {
  }
  return {at, static_cast<std::size_t>(r.position() - at)};
}

// The encoded records, in input order, in blocks that never move.
class row_store {
 public:
  // Keeps a copy of one encoded record; gives its address.
  const char* add(std::string_view record) {
    if (blocks_.empty() || blocks_.back().size - blocks_.back().used < record.size()) {
      const std::size_t size = std::max(block_size, record.size());
      blocks_.push_back({std::make_unique_for_overwrite<char[]>(size), size, 0});
    }
    block& b = blocks_.back();
    char* at = b.bytes.get() + b.used;
    std::memcpy(at, record.data(), record.size());
    b.used += record.size();
    ++count_;
    return at;
  }
  [[nodiscard]] std::size_t size() const { return count_; }

  // Takes the records of `later` after these, without copying them: their
  // addresses stay valid.
  void append(row_store&& later) {
    blocks_.reserve(blocks_.size() + later.blocks_.size());
    std::move(later.blocks_.begin(), later.blocks_.end(), std::back_inserter(blocks_));
    count_ += later.count_;
    later.blocks_.clear();
    later.count_ = 0;
  }

  // Calls f(address) for each record in input order; the records stay.
  template <class F>
  void each(F&& f) const {
    for (const auto& b : blocks_) {
      const char* p = b.bytes.get();
      const char* const end = p + b.used;
      while (p != end) {
        f(p);
        record_reader r(p);
        stored_field ignored;
        while (r.next(ignored)) {
        }
        p = r.position();
      }
    }
  }

  // Calls f(reader) for each record in input order, which may read its
  // fields; frees each block once its records are done.
  template <class F>
  void drain(F&& f) {
    for (auto& b : blocks_) {
      const char* p = b.bytes.get();
      const char* const end = p + b.used;
      while (p != end) {
        record_reader r(p);
        f(r);
        stored_field ignored;
        while (r.next(ignored)) {
        }
        p = r.position();
      }
      b.bytes.reset();
    }
    blocks_.clear();
  }

 private:
  static constexpr std::size_t block_size = std::size_t{1} << 20;
  struct block {
    std::unique_ptr<char[]> bytes;
    std::size_t size;
    std::size_t used;
  };
  std::vector<block> blocks_;
  std::size_t count_ = 0;
};

}  // namespace tabulix::cli

#endif
