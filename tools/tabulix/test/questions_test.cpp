// SPDX-License-Identifier: MIT
// Unit tests of the parts of --where and --stats that the end-to-end check
// (questions_check.py) reaches only by chance: titles that hold operator
// characters, and the histogram's levels.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "errors.hpp"
#include "stats.hpp"
#include "where.hpp"

namespace tabulix::cli {
namespace {

TEST(Where, ColumnIsTheFirstTitleBeforeAnOperator) {
  const std::vector<std::string> titles{"a<b", "x=y", "c", "!d"};
  struct {
    const char* expr;
    std::size_t column;
    const char* passing;
    const char* failing;
  } const cases[] = {
      {"a<b<5", 0, "4.99", "5"},
      {"x=y = 2.50", 1, "2.5", "2.51"},
      {"c !~ ^[0-9]+$", 2, "12a", "12"},
      {"c~é", 2, "café", "cafe"},
      {"!d", 3, "x", ""},
      {"!c", 2, "", "x"},
      {"c>=0x10", 2, "0x1f", "0xf"},
      {"c < b", 2, "a", "b"},
  };
  for (const auto& c : cases) {
    if (!regex_supported() && std::string(c.expr).find('~') != std::string::npos) continue;
    const row_condition rc(c.expr, titles);
    EXPECT_EQ(rc.column(), c.column) << c.expr;
    EXPECT_TRUE(rc.passes(c.passing, false)) << c.expr;
    EXPECT_FALSE(rc.passes(c.failing, false)) << c.expr;
  }
}

TEST(Where, EmptyAndMissingFieldsPassNoOrdering) {
  const std::vector<std::string> titles{"n"};
  EXPECT_FALSE(row_condition("n<5", titles).passes("", false));
  EXPECT_FALSE(row_condition("n<5", titles).passes("NA", true));
  EXPECT_TRUE(row_condition("n!=5", titles).passes("", false));
  EXPECT_TRUE(row_condition("!n", titles).passes("NA", true));
  EXPECT_FALSE(row_condition("n", titles).passes("NA", true));
}

bool is_usage_error(const char* expr, const std::vector<std::string>& titles) {
  try {
    const row_condition rc(expr, titles);
  } catch (const usage_error&) {
    return true;
  }
  return false;
}

TEST(Where, BadExpressionsAreUsageErrors) {
  const std::vector<std::string> titles{"n", "t"};
  for (const char* expr : {"", "=5", "m>1", "n<", "!m", "n ~ ("}) {
    const bool regex = std::string(expr).find('~') != std::string::npos;
    if (!regex || regex_supported()) {
      EXPECT_TRUE(is_usage_error(expr, titles)) << expr;
    }
  }
}

TEST(Stats, HistogramLevelsShareOfTheFullestBin) {
  EXPECT_EQ(histogram({1, 1, 1, 10}, false), "█        ▃");
  EXPECT_EQ(histogram({1, 1, 1, 10}, true), "@        -");
  EXPECT_EQ(histogram({7, 7}, true), "@         ");  // no spread: one bin
  EXPECT_EQ(histogram({0, 4.5, 9}, true), "@    @   @");
  EXPECT_EQ(histogram({}, false), "");
}

}  // namespace
}  // namespace tabulix::cli
