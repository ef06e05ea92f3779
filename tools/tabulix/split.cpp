// SPDX-License-Identifier: MIT
#include "split.hpp"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "errors.hpp"

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

class memory_bytes final : public byte_source {
 public:
  explicit memory_bytes(std::string_view bytes) : rest_(bytes) {}

  std::size_t read(char* to, std::size_t size) override {
    const std::size_t n = std::min(size, rest_.size());
    std::memcpy(to, rest_.data(), n);
    rest_.remove_prefix(n);
    return n;
  }

 private:
  std::string_view rest_;
};

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
  plan.min_bytes = default_min_bytes;
  // Read once, before any thread starts.
  // NOLINTNEXTLINE(concurrency-mt-unsafe)
  if (const char* forced = std::getenv("TABULIX_TEST_SPLIT"); forced != nullptr) {
    plan.cuts = parse_offsets(forced);
    plan.parts = plan.cuts.size() + 1;
    plan.min_bytes = 0;
    return plan;
  }
  plan.parts = std::min(usable_cores(), most_parts);
  return plan;
}

std::optional<whole_file> read_whole_file(std::FILE* in, const std::string& name,
                                          std::uint64_t min_bytes) {
#ifdef _WIN32
  (void)in;
  (void)name;
  (void)min_bytes;
  return std::nullopt;
#else
  struct stat st {};
  if (fstat(fileno(in), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  if (static_cast<std::uint64_t>(st.st_size) < min_bytes) return std::nullopt;
  // One byte more than the size, to see the end at once; a file that grows
  // meanwhile is read to its new end.
  whole_file file;
  std::size_t capacity = static_cast<std::size_t>(st.st_size) + 1;
  file.bytes = std::make_unique_for_overwrite<char[]>(capacity);
  for (;;) {
    file.size += std::fread(file.bytes.get() + file.size, 1, capacity - file.size, in);
    if (file.size < capacity) break;
    auto larger = std::make_unique_for_overwrite<char[]>(capacity * 2);
    std::memcpy(larger.get(), file.bytes.get(), file.size);
    file.bytes = std::move(larger);
    capacity *= 2;
  }
  if (std::ferror(in) != 0) {
    throw input_error(name, 0, 0, std::string("read error: ") + std::strerror(errno));
  }
  return file;
#endif
}

std::unique_ptr<byte_source> memory_source(std::string_view bytes) {
  return std::make_unique<memory_bytes>(bytes);
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
