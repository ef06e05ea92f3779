// SPDX-License-Identifier: MIT
// Where a print's bytes go: the writer (the locked stream, or a caller's
// function), its staging buffer, and runs of fill characters.
#ifndef TABULIX_PRINT_SINK_H
#define TABULIX_PRINT_SINK_H

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "tabulix.h"

// ---- stream access ----------------------------------------------------------
// A print locks the stream once and then writes with the calls that skip the
// per-call lock where the C library offers them, so that a whole table also
// appears in one piece when other threads write to the same stream. Only
// around a caller's title callback is the lock released (sink::call_unlocked).

#if defined(_WIN32)
inline void lock_stream(FILE* stream) noexcept { _lock_file(stream); }
inline void unlock_stream(FILE* stream) noexcept { _unlock_file(stream); }
#else
inline void lock_stream(FILE* stream) noexcept { flockfile(stream); }
inline void unlock_stream(FILE* stream) noexcept { funlockfile(stream); }
#endif

// flush_stream gives whether the flush succeeded; stream_error whether the
// stream's error indicator is set.
#if defined(__GLIBC__)
inline size_t write_stream(const char* bytes, size_t n, FILE* stream) noexcept {
  return fwrite_unlocked(bytes, 1, n, stream);
}
inline bool flush_stream(FILE* stream) noexcept { return fflush_unlocked(stream) == 0; }
inline bool stream_error(FILE* stream) noexcept { return ferror_unlocked(stream) != 0; }
#elif defined(_WIN32) && (defined(_MSC_VER) || defined(_UCRT))
inline size_t write_stream(const char* bytes, size_t n, FILE* stream) noexcept {
  return _fwrite_nolock(bytes, 1, n, stream);
}
inline bool flush_stream(FILE* stream) noexcept { return _fflush_nolock(stream) == 0; }
inline bool stream_error(FILE* stream) noexcept { return std::ferror(stream) != 0; }
#else
// Also the old msvcrt.dll (MinGW-w64's default), which has no _nolock writes:
// its stream lock is recursive, so fwrite takes it again under ours.
inline size_t write_stream(const char* bytes, size_t n, FILE* stream) noexcept {
  return std::fwrite(bytes, 1, n, stream);
}
inline bool flush_stream(FILE* stream) noexcept { return std::fflush(stream) == 0; }
inline bool stream_error(FILE* stream) noexcept { return std::ferror(stream) != 0; }
#endif

// Copies n bytes. Most pieces of a line are a few bytes long; for those,
// fixed-size moves of the first and the last bytes (overlapping when n is
// not a power of two) beat a call of memcpy. Nothing outside the n bytes is
// read or written.
inline void copy_bytes(char* to, const char* from, size_t n) noexcept {
  if (n <= 16) {
    if (n >= 8) {
      std::memcpy(to, from, 8);
      std::memcpy(to + n - 8, from + n - 8, 8);
    } else if (n >= 4) {
      std::memcpy(to, from, 4);
      std::memcpy(to + n - 4, from + n - 4, 4);
    } else if (n != 0) {
      to[0] = from[0];
      to[n / 2] = from[n / 2];
      to[n - 1] = from[n - 1];
    }
  } else if (n <= 32) {
    std::memcpy(to, from, 16);
    std::memcpy(to + n - 16, from + n - 16, 16);
  } else {
    std::memcpy(to, from, n);
  }
}

// ---- the staging buffer -----------------------------------------------------

// The writer of a print to a stream, locked by the print: a short write
// fails it.
inline int TBLX_CALL write_locked_stream(void* stream, const char* data, size_t size) noexcept {
  return write_stream(data, size, static_cast<FILE*>(stream)) == size ? 0 : 1;
}

// Output staged in a fixed buffer, so that the many small pieces of a line
// cost a copy each instead of a call of the writer. It lives on the caller's
// stack: the output pass allocates nothing. The owner flushes it before it
// goes. After the writer fails once, it is not called again: the rest of the
// print is dropped.
class sink {
 public:
  // Reserving this much or less always succeeds.
  static constexpr size_t max_reserve = 64;
  // Bytes staged before they go to the writer.
  static constexpr size_t capacity = 8192;

  // A print to a stream that it holds locked, released around title callbacks.
  explicit sink(FILE* stream) noexcept
      : write_(write_locked_stream), context_(stream), locked_(stream) {}
  // A print through a caller's writer: nothing to lock.
  sink(tblx_writer write, void* context) noexcept : write_(write), context_(context) {}
  sink(const sink&) = delete;
  sink& operator=(const sink&) = delete;
  sink(sink&&) = delete;
  sink& operator=(sink&&) = delete;
  ~sink() = default;

  void put(const char* bytes, size_t n) noexcept {
    if (n <= sizeof(buffer_) - used_) {
      copy_bytes(buffer_ + used_, bytes, n);
      used_ += n;
    } else {
      put_long(bytes, n);
    }
  }

  void put(char ch) noexcept {
    if (used_ == sizeof(buffer_)) flush();
    buffer_[used_++] = ch;
  }

  // Room for n bytes to be written in place, or null when the buffer is
  // smaller than that; advance then keeps the first of them.
  [[nodiscard]] char* reserve(size_t n) noexcept {
    if (n > sizeof(buffer_) - used_) {
      flush();
      if (n > sizeof(buffer_)) return nullptr;
    }
    return buffer_ + used_;
  }
  void advance(size_t n) noexcept { used_ += n; }

  // Hands the staged bytes to the writer: at the end of a print, and before
  // a title callback, which may write to the same stream itself.
  void flush() noexcept {
    if (used_ == 0) return;
    write_out(buffer_, used_);
    used_ = 0;
  }

  // Runs a caller's callback with the staged bytes on the stream and the
  // stream's lock, which the print holds while the sink lives, released: the
  // callback may write to the stream or wait for a thread that does. Other
  // writers can come in here only, between two whole pieces of the print.
  template <typename Call>
  auto call_unlocked(Call call) noexcept {
    flush();
    if (locked_ != nullptr) unlock_stream(locked_);
    auto result = call();
    if (locked_ != nullptr) lock_stream(locked_);
    return result;
  }

  // The writer failed.
  [[nodiscard]] bool failed() const noexcept { return failed_; }

 private:
  void put_long(const char* bytes, size_t n) noexcept {
    flush();
    if (n >= sizeof(buffer_)) {
      write_out(bytes, n);
    } else {
      std::memcpy(buffer_, bytes, n);
      used_ = n;
    }
  }

  void write_out(const char* bytes, size_t n) noexcept {
    if (!failed_ && write_(context_, bytes, n) != 0) failed_ = true;
  }

  tblx_writer write_;
  void* context_;
  FILE* locked_ = nullptr;  // the stream whose lock the print holds, if any
  size_t used_ = 0;
  bool failed_ = false;
  // Only the first used_ bytes are ever read. Clearing the buffer costs a few
  // hundred instructions a print, nothing next to the write that ends it.
  char buffer_[capacity] = {};
};

// ---- runs of fill characters ------------------------------------------------

// The only source of blanks, zeros and rule dashes: runs are copied from these
// in chunks, never built in memory.
constexpr size_t fill_chunk = 32;
static_assert(fill_chunk <= sink::max_reserve);
constexpr char spaces[] = "                                ";
constexpr char zeros[] = "00000000000000000000000000000000";
constexpr char dashes[] = "--------------------------------";
static_assert(sizeof(spaces) == fill_chunk + 1 && sizeof(zeros) == fill_chunk + 1 &&
              sizeof(dashes) == fill_chunk + 1);

// Writes whole chunks while more than one chunk remains and gives what is
// left: 1 to 32, or 0 for n = 0.
inline uint64_t fill_whole_chunks(sink& out, const char* run, uint64_t n) noexcept {
  for (; n > fill_chunk; n -= fill_chunk) out.put(run, fill_chunk);
  return n;
}

// Writes n fill characters. The last piece copies a whole chunk and keeps n
// of it, which is cheaper than a copy of variable length.
inline void fill(sink& out, const char* run, uint64_t n) noexcept {
  if (n > fill_chunk) n = fill_whole_chunks(out, run, n);
  std::memcpy(out.reserve(fill_chunk), run, fill_chunk);
  out.advance(static_cast<size_t>(n));
}

// Writes n fill characters at out and gives their end. Whole chunks are
// copied, so up to 31 bytes after the run may be overwritten.
inline char* fill_at(char* out, const char* run, uint64_t n) noexcept {
  for (uint64_t i = 0; i < n; i += fill_chunk) std::memcpy(out + i, run, fill_chunk);
  return out + n;
}

template <typename Writer>
void pad(Writer& out, uint64_t n) noexcept {
  fill(out, spaces, n);
}

// ---- other writers of a field -----------------------------------------------
// A writer has put(bytes, n) and a fill(writer, run, n) found by argument
// lookup, as the sink has.

// Writes into room already reserved in a sink, with no checks: for a field
// whose size is known to fit. Fills may overwrite up to 31 bytes after the
// field, so the room must exceed the field by fill_chunk.
class span_writer {
 public:
  explicit span_writer(char* at) noexcept : at_(at) {}
  void put(const char* bytes, size_t n) noexcept {
    copy_bytes(at_, bytes, n);
    at_ += n;
  }
  // Takes n bytes written at at() by other means.
  void skip(size_t n) noexcept { at_ += n; }
  [[nodiscard]] char* at() const noexcept { return at_; }
  friend void fill(span_writer& out, const char* run, uint64_t n) noexcept {
    out.at_ = fill_at(out.at_, run, n);
  }

 private:
  char* at_;
};

// Appends to a buffer of a known size and never past its end. Whatever does
// not fit is left out; with the buffer sized by the measuring pass, which
// sees every number and sum, nothing is.
class bounded_text {
 public:
  bounded_text(char* buffer, size_t size) noexcept
      : buffer_(buffer), room_(buffer == nullptr || size == 0 ? 0 : size - 1) {}

  void put(const char* bytes, size_t n) noexcept {
    n = std::min(n, room_ - len_);
    if (n == 0) return;
    std::memcpy(buffer_ + len_, bytes, n);
    len_ += n;
  }

  // Repeats the run's character n times, as far as it fits.
  friend void fill(bounded_text& out, const char* run, uint64_t n) noexcept {
    const auto count = static_cast<size_t>(std::min<uint64_t>(n, out.room_ - out.len_));
    if (count == 0) return;
    std::memset(out.buffer_ + out.len_, run[0], count);
    out.len_ += count;
  }

  // NUL-terminates the text and gives its length.
  size_t finish() noexcept {
    if (buffer_ != nullptr && room_ != 0) buffer_[len_] = '\0';
    return len_;
  }

 private:
  char* buffer_;
  size_t room_;  // bytes available for text, the NUL excluded
  size_t len_ = 0;
};

// ---- where a print goes ---------------------------------------------------------

// A stream, or (with a null stream) a caller's writer and its context.
struct destination {
  FILE* stream;
  tblx_writer write;
  void* context;
};

// Writes through a sink on `to` what `body(sink&)` puts into it. A stream is
// locked for the time and flushed after: a buffered stream may fail only when
// it is flushed, and its error indicator also tells of writes that a title
// callback made, or earlier ones. Gives TBLX_ERR_OUTPUT when a write failed.
template <class Body>
tblx_status write_to(const destination& to, Body&& body) noexcept {
  if (to.stream == nullptr) {
    sink out(to.write, to.context);
    body(out);
    out.flush();
    return out.failed() ? TBLX_ERR_OUTPUT : TBLX_OK;
  }
  lock_stream(to.stream);
  bool failed = false;
  {
    sink out(to.stream);
    body(out);
    out.flush();
    failed = out.failed();
  }
  failed = !flush_stream(to.stream) || failed;
  failed = stream_error(to.stream) || failed;
  unlock_stream(to.stream);
  return failed ? TBLX_ERR_OUTPUT : TBLX_OK;
}

#endif  // TABULIX_PRINT_SINK_H
