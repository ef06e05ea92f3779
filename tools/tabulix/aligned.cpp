// SPDX-License-Identifier: MIT
#include "aligned.hpp"

#include <algorithm>

namespace tabulix::cli {

namespace {

bool is_blank(char c) { return c == ' ' || c == '\t'; }

bool plain_ascii(std::string_view text) {
  return std::all_of(text.begin(), text.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// The lines that count, without their line ends.
std::vector<std::string_view> counted_lines(std::string_view sample, bool cut, std::uint64_t skip,
                                            std::string_view comment) {
  std::vector<std::string_view> lines;
  std::uint64_t number = 0;
  while (!sample.empty()) {
    const std::size_t end = sample.find_first_of("\r\n");
    if (end == std::string_view::npos && cut) break;
    std::string_view line = sample.substr(0, end);
    sample.remove_prefix(end == std::string_view::npos ? sample.size() : end + 1);
    if (end != std::string_view::npos && sample.starts_with('\n')) sample.remove_prefix(1);
    ++number;
    if (number <= skip || line.empty() || (!comment.empty() && line.starts_with(comment))) {
      continue;
    }
    lines.push_back(line);
  }
  return lines;
}

// The runs of columns in which some line has a character.
std::vector<text_span> filled_runs(const std::vector<std::string_view>& lines) {
  std::size_t widest = 0;
  for (const auto line : lines) widest = std::max(widest, line.size());
  std::vector<bool> filled(widest);
  for (const auto line : lines) {
    for (std::size_t c = 0; c < line.size(); ++c) filled[c] = filled[c] || !is_blank(line[c]);
  }
  std::vector<text_span> runs;
  for (std::size_t c = 0; c < widest;) {
    if (!filled[c]) {
      ++c;
      continue;
    }
    text_span run{c, c};
    while (run.end < widest && filled[run.end]) ++run.end;
    runs.push_back(run);
    c = run.end;
  }
  return runs;
}

bool has_text(std::string_view line, text_span s) {
  if (s.begin >= line.size()) return false;
  const std::string_view part = line.substr(s.begin, s.end - s.begin);
  return std::any_of(part.begin(), part.end(), [](char c) { return !is_blank(c); });
}

}  // namespace

std::string_view trimmed(std::string_view line, text_span s) {
  if (s.begin >= line.size()) return {};
  std::string_view part = line.substr(s.begin, s.end - s.begin);
  while (!part.empty() && is_blank(part.front())) part.remove_prefix(1);
  while (!part.empty() && is_blank(part.back())) part.remove_suffix(1);
  return part;
}

std::vector<text_span> find_aligned_columns(std::string_view sample, bool cut, std::uint64_t skip,
                                            std::string_view comment, bool no_header) {
  // Without titles to stand over them, runs of columns tell too little:
  // such lines split at blank runs.
  if (no_header) return {};
  const std::vector<std::string_view> lines = counted_lines(sample, cut, skip, comment);
  if (lines.empty() ||
      !std::all_of(lines.begin(), lines.end(), [](auto l) { return plain_ascii(l); })) {
    return {};
  }
  std::vector<text_span> runs = filled_runs(lines);
  {
    const std::string_view header = lines.front();
    std::vector<text_span> joined;
    for (const text_span& run : runs) {
      const bool data_below =
          std::any_of(lines.begin() + 1, lines.end(), [&](auto l) { return has_text(l, run); });
      if (!joined.empty() && !data_below && run.begin == joined.back().end + 1) {
        joined.back().end = run.end;  // more words of the title before
        continue;
      }
      joined.push_back(run);
    }
    runs = std::move(joined);
    for (const text_span& run : runs) {
      const std::string_view title = trimmed(header, run);
      if (title.find("  ") != std::string_view::npos) return {};  // two titles over one run
      // A title with a blank inside ("Mounted on") stands over values that
      // start where it starts; values that start elsewhere ("RSS COMMAND"
      // over "12844 /sbin/init") make it two titles run together.
      if (title.find(' ') == std::string_view::npos) continue;
      const auto starts_at_title = [&](std::string_view line) {
        const std::string_view value = trimmed(line, run);
        return value.empty() || value.data() - line.data() == title.data() - header.data();
      };
      if (!std::all_of(lines.begin() + 1, lines.end(), starts_at_title)) return {};
    }
  }
  return runs;
}

bool fits_columns(std::string_view line, const std::vector<text_span>& spans) {
  if (spans.empty()) return false;
  const std::size_t last = spans.back().begin;
  if (!plain_ascii(line.substr(0, last))) return false;
  std::size_t from = 0;
  for (const text_span& s : spans) {
    for (std::size_t c = from; c < std::min(s.begin, line.size()); ++c) {
      if (!is_blank(line[c])) return false;
    }
    from = s.end;
  }
  return true;
}

}  // namespace tabulix::cli
