// SPDX-License-Identifier: MIT
// The examples of docs/cpp.md: their code, kept in examples/cpp_guide/, is in
// the guide, and each table prints the output the guide shows, byte for
// byte, through operator<<, to_string and print(FILE*).
#include <gtest/gtest.h>

#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "support/table.h"
#include "tabulix.hpp"

namespace {

using tabulix::column_spec;
using tabulix::just;
using tabulix::type;

// clang-format off
tabulix::table first() {
#include "cpp_guide/first.inc"
  return t;
}
tabulix::table defaults() {
#include "cpp_guide/defaults.inc"
  return t;
}
tabulix::table c_defaults() {
#include "cpp_guide/c_defaults.inc"
  return t;
}
tabulix::table missing() {
#include "cpp_guide/missing.inc"
  return t;
}
tabulix::table numbers() {
#include "cpp_guide/numbers.inc"
  return t;
}
tabulix::table lines() {
#include "cpp_guide/lines.inc"
  return t;
}
tabulix::table formats() {
#include "cpp_guide/formats.inc"
  return t;
}
// clang-format on

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// The text with every line's leading blanks removed.
std::string dedented(const std::string& text) {
  std::string out;
  bool line_start = true;
  for (char c : text) {
    if (line_start && c == ' ') continue;
    line_start = c == '\n';
    out += c;
  }
  return out;
}

// The fenced blocks of a Markdown text: their language and their content.
std::vector<std::pair<std::string, std::string>> fenced_blocks(const std::string& doc) {
  std::vector<std::pair<std::string, std::string>> blocks;
  std::size_t at = 0;
  while ((at = doc.find("```", at)) != std::string::npos) {
    const std::size_t eol = doc.find('\n', at);
    const std::size_t close = doc.find("\n```", eol);
    if (eol == std::string::npos || close == std::string::npos) break;
    blocks.emplace_back(doc.substr(at + 3, eol - at - 3), doc.substr(eol + 1, close + 1 - eol - 1));
    at = close + 4;
  }
  return blocks;
}

// The output the guide shows after the code block that holds the code.
std::optional<std::string> shown_output(const std::string& doc, const std::string& code) {
  const auto blocks = fenced_blocks(doc);
  for (std::size_t i = 0; i + 1 < blocks.size(); ++i) {
    if (blocks[i].first != "cpp") continue;
    if (dedented(blocks[i].second).find(dedented(code)) == std::string::npos) continue;
    for (std::size_t j = i + 1; j < blocks.size(); ++j) {
      if (blocks[j].first == "text") return blocks[j].second;
    }
  }
  return std::nullopt;
}

TEST(CppGuide, ExamplesPrintWhatTheGuideShows) {
  const std::string dir = TABULIX_SOURCE_DIR;
  const std::string doc = read_file(dir + "/docs/cpp.md");
  ASSERT_FALSE(doc.empty());
  const std::pair<const char*, tabulix::table (*)()> examples[] = {
      {"first", first},     {"defaults", defaults}, {"c_defaults", c_defaults},
      {"missing", missing}, {"numbers", numbers},   {"lines", lines},
      {"formats", formats},
  };
  for (const auto& [name, make] : examples) {
    const std::string code = read_file(dir + "/examples/cpp_guide/" + name + ".inc");
    ASSERT_FALSE(code.empty()) << name;
    const std::optional<std::string> expected = shown_output(doc, code);
    ASSERT_TRUE(expected.has_value()) << name << ": the code or its output is not in the guide";
    tabulix::table t = make();
    std::ostringstream streamed;
    streamed << t;
    EXPECT_EQ(streamed.str(), *expected) << name << ": operator<<";
    EXPECT_EQ(t.to_string(), *expected) << name << ": to_string";
    EXPECT_EQ(support::capture([&](std::FILE* f) { t.print(f); }), *expected) << name << ": print";
  }
}

}  // namespace
