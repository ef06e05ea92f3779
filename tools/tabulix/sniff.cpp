// SPDX-License-Identifier: MIT
#include "sniff.hpp"

#include <algorithm>
#include <map>
#include <vector>

namespace tabulix::cli {

namespace {

constexpr char candidates[] = {',', ';', '\t', '|'};

// The field count of each line of the sample, split at `delimiter`; a line
// end inside quotes belongs to its field.
std::vector<std::size_t> field_counts(std::string_view sample, char delimiter, bool cut,
                                      std::uint64_t skip, std::string_view comment) {
  std::vector<std::size_t> counts;
  std::uint64_t line = 0;
  std::size_t at = 0;
  while (at < sample.size()) {
    ++line;
    const std::string_view rest = sample.substr(at);
    const bool counted = line > skip && !(!comment.empty() && rest.starts_with(comment));
    std::size_t fields = 1;
    bool quoted = false;
    bool ended = false;
    for (; at < sample.size(); ++at) {
      const char c = sample[at];
      if (c == '"') {
        quoted = !quoted;
      } else if (quoted) {
        continue;
      } else if (c == delimiter) {
        ++fields;
      } else if (c == '\n' || c == '\r') {
        ended = true;
        while (at < sample.size() && (sample[at] == '\n' || sample[at] == '\r')) ++at;
        break;
      }
    }
    if (counted && (ended || !cut)) counts.push_back(fields);
  }
  return counts;
}

// How many lines share the most common field count above one.
std::size_t agreeing_lines(const std::vector<std::size_t>& counts) {
  std::map<std::size_t, std::size_t> lines_with;
  std::size_t most = 0;
  for (const std::size_t n : counts) {
    if (n > 1) most = std::max(most, ++lines_with[n]);
  }
  return most;
}

bool ends_with(std::string_view text, std::string_view end) {
  return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

}  // namespace

bool named_tab_separated(std::string_view file_name) {
  for (const std::string_view packed : {".gz", ".bz2", ".xz", ".zst"}) {
    if (ends_with(file_name, packed)) {
      file_name.remove_suffix(packed.size());
      break;
    }
  }
  return ends_with(file_name, ".tsv") || ends_with(file_name, ".tab");
}

char sniff_delimiter(std::string_view sample, bool cut, std::uint64_t skip,
                     std::string_view comment) {
  char best = ',';
  std::size_t best_lines = 0;
  for (const char d : candidates) {
    const std::size_t lines = agreeing_lines(field_counts(sample, d, cut, skip, comment));
    if (lines > best_lines) {
      best = d;
      best_lines = lines;
    }
  }
  return best;
}

}  // namespace tabulix::cli
