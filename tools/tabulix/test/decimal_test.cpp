// SPDX-License-Identifier: MIT
// Exact decimal arithmetic: sums past 64 bits, mixed scales, signs, means.
#include "decimal.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using tabulix::cli::exact_decimal;
using tabulix::cli::exact_sum;

std::string sum_of(const std::vector<const char*>& values) {
  exact_sum sum;
  for (const char* v : values) EXPECT_TRUE(sum.add(v)) << v;
  return sum.total().to_string();
}

TEST(ExactDecimal, Sums) {
  struct test_case {
    std::vector<const char*> values;
    const char* expected;
  };
  const test_case cases[] = {
      {{}, "0"},
      {{"12.50", "0.5", "3"}, "16.00"},
      {{"0.1", "0.2"}, "0.3"},
      {{"-1.25", "1.25"}, "0.00"},
      {{"-0.5", "0.25"}, "-0.25"},
      {{"+7", "-0", ".5", "7."}, "14.5"},
      {{"9223372036854775807", "1"}, "9223372036854775808"},
      {{"18446744073709551615", "18446744073709551615", "2"}, "36893488147419103232"},
      {{"-9223372036854775808", "-9223372036854775808"}, "-18446744073709551616"},
      {{"99999999999999999999.99", "0.01"}, "100000000000000000000.00"},
      {{"100000000000000000000", "-0.000000001"}, "99999999999999999999.999999999"},
      {{"1.5", "123456789012345678901234567890", "-123456789012345678901234567890"}, "1.5"},
      {{"0.000000000000000000001", "1"}, "1.000000000000000000001"},
      // Long numbers add on the limbs their digits fall in, carries cross
      // the point, negative and positive values meet at the end.
      {{"0.999999999999999999999", "0.000000000000000000001"}, "1.000000000000000000000"},
      {{"-0.5", "12345678901234567890.25", "-12345678901234567890"}, "-0.25"},
      {{"0.1234567890123456789", "-1234567890123456789012", "5"},
       "-1234567890123456789006.8765432109876543211"},
      {{"0.0000000000000000000000001", "1", "-3"}, "-1.9999999999999999999999999"},
      {{"-99999999999999999999.999999999", "-0.000000001", "9223372036854775807",
        "9223372036854775807"},
       "-81553255926290448386.000000000"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(sum_of(c.values), c.expected) << testing::PrintToString(c.values);
  }
  exact_sum sum;
  for (const char* bad : {"", ".", "1e3", "1.2.3", "0x10", "--1", "1 "}) {
    EXPECT_FALSE(sum.add(bad)) << bad;
  }
}

TEST(ExactDecimal, MeansRoundHalfAwayFromZero) {
  struct test_case {
    const char* total;
    std::uint64_t count;
    std::uint32_t scale;
    const char* expected;
  };
  const test_case cases[] = {
      {"10", 4, 2, "2.50"},
      {"2", 3, 2, "0.67"},
      {"-2", 3, 2, "-0.67"},
      {"1", 8, 2, "0.13"},
      {"-1", 8, 2, "-0.13"},
      {"-1", 400, 2, "0.00"},
      {"0.05", 1, 3, "0.050"},
      {"12.50", 3, 4, "4.1667"},
      {"36893488147419103232", 2, 2, "18446744073709551616.00"},
      // Digits past the one that rounds are dropped, whole limbs at once.
      {"1.2345678901234567890123", 1, 2, "1.23"},
      {"-0.0050000000000000000001", 1, 2, "-0.01"},
      {"0.0049999999999999999999", 1, 2, "0.00"},
  };
  for (const auto& c : cases) {
    const auto total = exact_decimal::parse(c.total);
    ASSERT_TRUE(total) << c.total;
    EXPECT_EQ(total->divided(c.count, c.scale).to_string(), c.expected)
        << c.total << " / " << c.count;
  }
}

TEST(ExactDecimal, HexDigits) {
  exact_sum sum;
  sum.add(false, 0xFFFFFFFFFFFFFFFFU, 0);
  sum.add(false, 0x1F, 0);
  EXPECT_EQ(sum.total().to_hex(false), "0x1000000000000001e");
  EXPECT_EQ(sum.total().to_hex(true), "0x1000000000000001E");
  EXPECT_EQ(exact_decimal().to_hex(false), "0x0");
}

}  // namespace
