// SPDX-License-Identifier: MIT
#include "progress.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "terminal.hpp"

namespace tabulix::cli {

namespace {

// A source that tells the display how far it has read.
class watched_source : public byte_source {
 public:
  watched_source(std::unique_ptr<byte_source> inner, std::FILE* in, progress_display& display)
      : inner_(std::move(inner)), in_(in), size_(regular_file_size(in)), display_(display) {}

  std::size_t read(char* to, std::size_t size) override {
    const std::size_t n = inner_->read(to, size);
    decoded_ += n;
    display_.advanced(decoded_, in_, size_);
    return n;
  }

 private:
  std::unique_ptr<byte_source> inner_;
  std::FILE* in_;
  std::uint64_t size_;
  std::uint64_t decoded_ = 0;
  progress_display& display_;
};

// `value` with one digit after the point.
std::string one_decimal(double value) {
  char text[32];
  const auto [end, ec] =
      std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 1);
  return ec == std::errc{} ? std::string(text, end) : std::string("?");
}

// "12.3 MB", in powers of 1000 as file managers show sizes.
std::string bytes_text(double bytes) {
  static constexpr const char* units[] = {"B", "kB", "MB", "GB", "TB"};
  std::size_t u = 0;
  while (bytes >= 1000 && u + 1 < std::size(units)) {
    bytes /= 1000;
    ++u;
  }
  return (u == 0 ? std::to_string(std::llround(bytes)) : one_decimal(bytes)) + ' ' + units[u];
}

std::string two_digits(unsigned long long n) { return (n < 10 ? "0" : "") + std::to_string(n); }

// "m:ss", or "h:mm:ss" from an hour on.
std::string duration_text(double seconds) {
  const auto s = static_cast<unsigned long long>(std::llround(seconds));
  if (s >= 3600) {
    return std::to_string(s / 3600) + ':' + two_digits(s / 60 % 60) + ':' + two_digits(s % 60);
  }
  return std::to_string(s / 60) + ':' + two_digits(s % 60);
}

}  // namespace

std::unique_ptr<progress_display> progress_display::on_terminal() {
  if (!standard_error_is_terminal()) return nullptr;
  return std::make_unique<progress_display>(stderr);
}

std::unique_ptr<byte_source> progress_display::watch(std::unique_ptr<byte_source> source,
                                                     std::FILE* in) {
  return std::make_unique<watched_source>(std::move(source), in, *this);
}

std::string progress_display::line(std::uint64_t done, std::uint64_t size, double seconds) {
  std::string text = "tabulix: read " + bytes_text(static_cast<double>(done));
  if (size != 0) text += " of " + bytes_text(static_cast<double>(size));
  if (seconds > 0) {
    const double rate = static_cast<double>(done) / seconds;
    text += ", " + bytes_text(rate) + "/s";
    if (size != 0 && done <= size) {
      const double percent = 100.0 * static_cast<double>(done) / static_cast<double>(size);
      text += ", " + std::to_string(std::llround(percent)) + '%';
      if (rate > 0) {
        text += ", " + duration_text(static_cast<double>(size - done) / rate) + " left";
      }
    }
  }
  return text;
}

void progress_display::advanced(std::uint64_t decoded, std::FILE* in, std::uint64_t size) {
  const std::int64_t position = size != 0 ? file_position(in) : -1;
  const std::uint64_t done = position >= 0 ? static_cast<std::uint64_t>(position) : decoded;
  if (std::max(size, done) < large_input) return;
  const clock::time_point now = clock::now();
  // A few updates a second are enough to see, and cost nothing.
  if (now - last_ < std::chrono::milliseconds(250)) return;
  last_ = now;
  const std::string text = line(done, size, std::chrono::duration<double>(now - start_).count());
  // Spaces clear what a longer line before left.
  const std::size_t clear = shown_ > text.size() ? shown_ - text.size() : 0;
  std::fputs(('\r' + text + std::string(clear, ' ') + '\r').c_str(), to_);
  std::fflush(to_);
  shown_ = text.size();
}

void progress_display::finish() {
  if (shown_ == 0) return;
  std::fputs(('\r' + std::string(shown_, ' ') + '\r').c_str(), to_);
  std::fflush(to_);
  shown_ = 0;
}

}  // namespace tabulix::cli
