// SPDX-License-Identifier: MIT
#include "split.hpp"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <thread>

#ifndef _WIN32
#include <sys/stat.h>
#endif
#ifdef __linux__
#include <sched.h>
#endif

namespace tabulix::cli {

namespace {

// Below this a file parses in a few tens of milliseconds: threads would
// gain little.
constexpr std::uint64_t default_min_bytes = std::uint64_t{8} << 20;
// Past a few parts the merge and the memory bandwidth gain nothing more.
constexpr std::size_t most_parts = 8;

std::vector<std::uint64_t> parse_offsets(std::string_view text) {
  std::vector<std::uint64_t> offsets;
  const char* p = text.data();
  const char* const end = p + text.size();
  while (p < end) {
    std::uint64_t n = 0;
    const auto [next, ec] = std::from_chars(p, end, n);
    if (ec != std::errc{}) break;
    offsets.push_back(n);
    p = next;
    if (p < end && *p == ',') ++p;
  }
  return offsets;
}

// The cores this process may run on (taskset, a container's share), which
// may be fewer than the machine's.
std::size_t usable_cores() {
#ifdef __linux__
  cpu_set_t set;
  CPU_ZERO(&set);
  if (sched_getaffinity(0, sizeof set, &set) == 0) {
    return static_cast<std::size_t>(CPU_COUNT(&set));
  }
#endif
  return std::thread::hardware_concurrency();
}

}  // namespace

split_plan plan_split() {
  split_plan plan;
  // Read once, before any thread starts.
  // NOLINTNEXTLINE(concurrency-mt-unsafe)
  if (const char* forced = std::getenv("TABULIX_TEST_SPLIT"); forced != nullptr) {
    const std::string_view given(forced);
    const std::size_t slash = given.find('/');
    plan.cuts = parse_offsets(given.substr(0, slash));
    plan.parts = plan.cuts.size() + 1;
    plan.window = std::size_t{1} << 30;
    if (slash != std::string_view::npos) {
      const std::vector<std::uint64_t> window = parse_offsets(given.substr(slash + 1));
      if (!window.empty() && window.front() != 0) {
        plan.window = static_cast<std::size_t>(std::min<std::uint64_t>(window.front(), SIZE_MAX));
      }
    }
    return plan;
  }
  plan.parts = std::min(usable_cores(), most_parts);
  plan.min_bytes = default_min_bytes;
  plan.window = plan.parts * default_min_bytes;
  return plan;
}

bool large_regular_file(std::FILE* in, std::uint64_t min_bytes) {
#ifdef _WIN32
  (void)in;
  (void)min_bytes;
  return false;
#else
  struct stat st {};
  return fstat(fileno(in), &st) == 0 && S_ISREG(st.st_mode) &&
         static_cast<std::uint64_t>(st.st_size) >= min_bytes;
#endif
}

std::size_t window_source::read(char* to, std::size_t size) {
  if (pos_ == end_) {
    if (streaming_) {
      // The rest goes straight through, once what is held is read.
      bytes_.reset();
      capacity_ = end_ = pos_ = 0;
      return eof_ ? 0 : in_->read(to, size);
    }
    fill(end_ + size);
  }
  const std::size_t n = std::min(size, end_ - pos_);
  std::memcpy(to, bytes_.get() + pos_, n);
  pos_ += n;
  return n;
}

std::string_view window_source::window(std::uint64_t from, std::size_t size) {
  // Drops what comes before `from`.
  const auto start = static_cast<std::size_t>(from - base_);
  std::memmove(bytes_.get(), bytes_.get() + start, end_ - start);
  base_ = from;
  pos_ -= start;
  end_ -= start;
  fill(size);
  return {bytes_.get(), std::min(size, end_)};
}

// Reads until `end` bytes are held, or the input ends.
void window_source::fill(std::size_t end) {
  if (end > capacity_) {
    const std::size_t size = std::max(end, capacity_ * 2);
    auto larger = std::make_unique_for_overwrite<char[]>(size);
    if (end_ != 0) std::memcpy(larger.get(), bytes_.get(), end_);
    bytes_ = std::move(larger);
    capacity_ = size;
  }
  while (end_ < end && !eof_) {
    const std::size_t n = in_->read(bytes_.get() + end_, capacity_ - end_);
    end_ += n;
    eof_ = n == 0;
  }
}

std::vector<std::size_t> cut_points(std::string_view bytes, std::size_t from,
                                    const split_plan& plan) {
  std::vector<std::uint64_t> targets = plan.cuts;
  if (targets.empty()) {
    const std::size_t rest = bytes.size() - std::min(from, bytes.size());
    for (std::size_t i = 1; i < plan.parts; ++i) targets.push_back(from + rest / plan.parts * i);
  }
  std::sort(targets.begin(), targets.end());
  std::vector<std::size_t> cuts;
  for (const std::uint64_t target : targets) {
    if (target >= bytes.size()) break;
    // The line start at or after the target: a cut at `from` itself is
    // where the first part begins, no cut.
    std::size_t at = std::max<std::size_t>(static_cast<std::size_t>(target), from + 1);
    if (at >= bytes.size()) break;
    if (bytes[at - 1] != '\n') {
      const auto* lf =
          static_cast<const char*>(std::memchr(bytes.data() + at, '\n', bytes.size() - at));
      if (lf == nullptr) break;
      at = static_cast<std::size_t>(lf - bytes.data()) + 1;
    }
    if (at >= bytes.size()) break;
    if (cuts.empty() || at > cuts.back()) cuts.push_back(at);
  }
  return cuts;
}

}  // namespace tabulix::cli
