// SPDX-License-Identifier: MIT
#include "aligned.hpp"

#include <algorithm>
#include <cstddef>
#include <cstdint>

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

// Which columns hold a character in some line.
std::vector<bool> filled_columns(const std::vector<std::string_view>& lines) {
  std::vector<bool> filled;
  for (const auto line : lines) {
    if (filled.size() < line.size()) filled.resize(line.size());
    for (std::size_t c = 0; c < line.size(); ++c) filled[c] = filled[c] || !is_blank(line[c]);
  }
  return filled;
}

// Joins a run that has no data below it to the run before, one blank away:
// more words of that title.
std::vector<text_span> join_title_words(const std::vector<text_span>& runs,
                                        const std::vector<bool>& data_filled) {
  std::vector<text_span> joined;
  for (const text_span& run : runs) {
    bool data_below = false;
    for (std::size_t c = run.begin; c < std::min(run.end, data_filled.size()); ++c) {
      data_below = data_below || data_filled[c];
    }
    if (!joined.empty() && !data_below && run.begin == joined.back().end + 1) {
      joined.back().end = run.end;
      continue;
    }
    joined.push_back(run);
  }
  return joined;
}

// The runs of columns in which some line has a character.
std::vector<text_span> filled_runs(const std::vector<std::string_view>& lines) {
  const std::vector<bool> filled = filled_columns(lines);
  std::vector<text_span> runs;
  for (std::size_t c = 0; c < filled.size();) {
    if (!filled[c]) {
      ++c;
      continue;
    }
    text_span run{c, c};
    while (run.end < filled.size() && filled[run.end]) ++run.end;
    runs.push_back(run);
    c = run.end;
  }
  return runs;
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
  const std::string_view header = lines.front();
  const std::vector<std::string_view> data(lines.begin() + 1, lines.end());
  std::vector<text_span> runs = join_title_words(filled_runs(lines), filled_columns(data));
  // A title with a blank inside ("Mounted on") stands over values that start
  // where it starts; values that start elsewhere ("RSS COMMAND" over "12844
  // /sbin/init") make it two titles run together. Each line is walked once.
  std::vector<std::size_t> title_start(runs.size(), std::string_view::npos);
  for (std::size_t r = 0; r < runs.size(); ++r) {
    const std::string_view title = trimmed(header, runs[r]);
    if (title.find("  ") != std::string_view::npos) return {};  // two titles over one run
    if (title.find(' ') != std::string_view::npos) {
      title_start[r] = static_cast<std::size_t>(title.data() - header.data());
    }
  }
  std::vector<std::size_t> run_of(runs.empty() ? 0 : runs.back().end);
  for (std::size_t r = 0; r < runs.size(); ++r) {
    std::fill(run_of.begin() + static_cast<std::ptrdiff_t>(runs[r].begin),
              run_of.begin() + static_cast<std::ptrdiff_t>(runs[r].end), r);
  }
  for (const auto line : data) {
    std::size_t seen = SIZE_MAX;  // the run whose value has started
    for (std::size_t c = 0; c < line.size(); ++c) {
      if (is_blank(line[c]) || run_of[c] == seen) continue;
      seen = run_of[c];
      if (title_start[seen] != std::string_view::npos && c != title_start[seen]) return {};
    }
  }
  return runs;
}

bool fits_columns(std::string_view line, const std::vector<text_span>& spans) {
  if (spans.empty()) return false;
  const std::size_t last = spans.back().begin;
  if (!plain_ascii(line.substr(0, last))) return false;
  std::size_t from = 0;
  // Spans past the end of the line cost nothing: a short line under a wide
  // header is looked at for its own length only.
  for (auto s = spans.begin(); s != spans.end() && from < line.size(); ++s) {
    for (std::size_t c = from; c < std::min(s->begin, line.size()); ++c) {
      if (!is_blank(line[c])) return false;
    }
    from = s->end;
  }
  return true;
}

}  // namespace tabulix::cli
