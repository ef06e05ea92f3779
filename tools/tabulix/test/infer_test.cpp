// SPDX-License-Identifier: MIT
// Reading numbers and guessing column types.
#include "infer.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "store.hpp"

namespace {

using namespace tabulix::cli;

constexpr auto int_min = std::numeric_limits<std::int64_t>::min();
constexpr auto int_max = std::numeric_limits<std::int64_t>::max();
constexpr auto uint_max = std::numeric_limits<std::uint64_t>::max();

TEST(ParseNumbers, SignedDecimals) {
  struct test_case {
    const char* text = nullptr;
    std::optional<std::int64_t> strict;
    std::optional<std::int64_t> lenient;
  };
  const test_case cases[] = {
      {"0", 0, 0},
      {"-17", -17, -17},
      {"9223372036854775807", int_max, int_max},
      {"-9223372036854775808", int_min, int_min},
      {"9223372036854775808", std::nullopt, std::nullopt},
      {"-9223372036854775809", std::nullopt, std::nullopt},
      {"99999999999999999999999", std::nullopt, std::nullopt},
      // A plus sign and "-0" are integers; leading zeros are left to lenient
      // reading, as they would not print back.
      {"-0", 0, 0},
      {"+0", 0, 0},
      {"007", std::nullopt, 7},
      {"+5", 5, 5},
      {"+007", std::nullopt, 7},
      {"-007", std::nullopt, -7},
      {"", std::nullopt, std::nullopt},
      {"-", std::nullopt, std::nullopt},
      {"+-5", std::nullopt, std::nullopt},
      {"1.0", std::nullopt, std::nullopt},
      {" 1", std::nullopt, std::nullopt},
      {"1 ", std::nullopt, std::nullopt},
      {"0x10", std::nullopt, std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(parse_int(c.text), c.strict) << c.text;
    EXPECT_EQ(parse_int(c.text, true), c.lenient) << c.text;
  }
}

TEST(ParseNumbers, UnsignedDecimals) {
  EXPECT_EQ(parse_uint("18446744073709551615"), uint_max);
  EXPECT_EQ(parse_uint("18446744073709551616"), std::nullopt);
  EXPECT_EQ(parse_uint("-1"), std::nullopt);
  EXPECT_EQ(parse_uint("01"), std::nullopt);
  EXPECT_EQ(parse_uint("01", true), 1u);
  EXPECT_EQ(parse_uint("+1", true), 1u);
  EXPECT_EQ(parse_uint("", true), std::nullopt);
}

TEST(ParseNumbers, Hex) {
  struct test_case {
    const char* text = nullptr;
    std::optional<std::uint64_t> strict;
    std::optional<std::uint64_t> lenient;
  };
  const test_case cases[] = {
      {"0x0", 0, 0},
      {"0xfF", 255, 255},
      {"0xffffffffffffffff", uint_max, uint_max},
      {"0x00000000000000000001", 1, 1},  // zeros do not count against the 64 bits
      {"0x10000000000000000", std::nullopt, std::nullopt},
      {"0x", std::nullopt, std::nullopt},
      {"0x1g", std::nullopt, std::nullopt},
      {"0X1F", std::nullopt, 31},
      {"1f", std::nullopt, 31},
      {"x1", std::nullopt, std::nullopt},
      {"-0x1", std::nullopt, std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(parse_hex(c.text), c.strict) << c.text;
    EXPECT_EQ(parse_hex(c.text, true), c.lenient) << c.text;
  }
}

// The loader keeps the text of a hex value only when it would print
// otherwise: the scan's flag must say what writing the value out says.
TEST(ParseNumbers, HexPrintsBackAsWritten) {
  for (const char* text : {"0x0", "0x1f", "0x1F", "0x01", "0x00", "0xabcdef0123456789",
                           "0xffffffffffffffff", "0x00000000000000000001"}) {
    const field_scan s = scan_field(text);
    ASSERT_EQ(s.kind, field_scan::form::hex) << text;
    EXPECT_EQ(s.as_written, plain_hex_text(text, s.u)) << text;
  }
}

TEST(ParseNumbers, Decimals) {
  for (const char* yes :
       {"12.50", "-3.5", "+0.25", ".5", "7.", "12", "-12", "1e5", "2.5E-4", "-.5e+3", "007"}) {
    EXPECT_TRUE(is_decimal(yes)) << yes;
  }
  for (const char* no :
       {"", ".", "-", "-.", "1.2.3", "1,5", "12 ", "0x1", "1e", "e5", "1e+", ".e1", "1e5.0"}) {
    EXPECT_FALSE(is_decimal(no)) << no;
  }
}

TEST(ParseNumbers, DecimalsCompareByValue) {
  struct test_case {
    const char* a;
    const char* b;
    int expected;
  };
  const test_case cases[] = {
      {"3.49", "24.90", -1},
      {"2.5", "2.50", 0},
      {"-0", "0.0", 0},
      {"+1", "1", 0},
      {"0.5", "0.49", 1},
      {"-0.5", "-0.49", -1},
      {"-1", "0.1", -1},
      {".5", "0.5", 0},
      {"7.", "7", 0},
      {"007.10", "7.1", 0},
      {"10", "9.99", 1},
      {"-10", "-9.99", -1},
      {"123456789012345678901234567890.5", "123456789012345678901234567890.25", 1},
      // Exponents move the point.
      {"1e3", "999", 1},
      {"2.5E-4", "0.00025", 0},
      {"25e-5", "0.00025", 0},
      {"-1e3", "-999.5", -1},
      {"1e-3", "0", 1},
      {"0e9", "-0", 0},
      {"12.5e1", "125", 0},
      // Exponents of any size order by value, with the point's place added.
      {"1e1000000000000", "1e2000000000", 1},
      {"1e2000000000", "1e1500000000", 1},
      {"1e-2000000000", "1e-1500000000", -1},
      {"-1e2000000000", "-1e1500000000", -1},
      {"1e99999999999999999999", "1e99999999999999999998", 1},
      {"10e99999999999999999999", "1e100000000000000000000", 0},
      {"0.001e100000000000000000002", "1e099999999999999999999", 0},
      {"-1e-99999999999999999999", "-1e-99999999999999999998", 1},
      {"1e9223372036854775807", "10e9223372036854775807", -1},
      {"1e-9223372036854775808", "1e-9223372036854775809", 1},
      {"1e18446744073709551616", "1e18446744073709551615", 1},
      {"1e-18446744073709551616", "1e99", -1},
      {"1e100000000000000000000", "1e5", 1},
      {"-1e100000000000000000000", "-1e5", -1},
      {"1e-100000000000000000000", "1e-5", -1},
      {"2e-100000000000000000000", "1e-100000000000000000000", 1},
      {"9.9e2", "1e3", -1},
  };
  for (const auto& c : cases) {
    const int forward = compare_decimal(c.a, c.b);
    const int backward = compare_decimal(c.b, c.a);
    EXPECT_EQ((forward > 0) - (forward < 0), c.expected) << c.a << " vs " << c.b;
    EXPECT_EQ((backward > 0) - (backward < 0), -c.expected) << c.b << " vs " << c.a;
  }
}

TEST(TypeGuess, EveryValueCounts) {
  struct test_case {
    std::vector<const char*> values;
    value_type type;
  };
  const test_case cases[] = {
      {{}, value_type::string},
      {{"1", "-2", "0"}, value_type::int64},
      {{"-9223372036854775808", "9223372036854775807"}, value_type::int64},
      {{"9223372036854775808"}, value_type::uint64},
      {{"1", "18446744073709551615"}, value_type::uint64},
      {{"-1", "18446744073709551615"}, value_type::string},
      {{"18446744073709551616"}, value_type::string},
      {{"0x1", "0xFF"}, value_type::hex},
      {{"0x"}, value_type::string},
      {{"0x1", "12"}, value_type::string},
      {{"1", "x"}, value_type::string},
      {{"1", "2.5"}, value_type::string},
      {{"1.25", "12", "100.5"}, value_type::string},
      {{"007"}, value_type::string},
      {{"+7", "-0", "3"}, value_type::int64},
      {{"1e3"}, value_type::string},
  };
  for (const auto& c : cases) {
    type_guess guess;
    for (const char* v : c.values) guess.add(v);
    EXPECT_EQ(guess.type(), c.type) << testing::PrintToString(c.values);
  }
}

TEST(TypeGuess, DecimalTextAndHexCase) {
  struct test_case {
    std::vector<const char*> values;
    bool decimal;
    bool point;
    bool upper_hex;
    bool hex_as_written;
    column_kind kind;
  };
  const test_case cases[] = {
      {{"1.25", "12", "100.5"}, true, true, false, false, column_kind::decimal_text},
      {{"1", "-2", "+3"}, true, false, false, false, column_kind::int64},
      {{"1.25", "n/a"}, false, true, false, false, column_kind::text},
      {{"1e3", "2.5"}, true, true, false, false, column_kind::decimal_text},
      {{}, false, false, false, false, column_kind::text},
      {{"0xAB", "0x12"}, false, false, true, false, column_kind::hex},
      // Letters of both cases, or one zero-filled value, keep every value
      // as written.
      {{"0xAB", "0xcd"}, false, false, false, true, column_kind::hex_text},
      {{"0xAb"}, false, false, false, true, column_kind::hex_text},
      {{"0x0", "0x00ff", "0x12345"}, false, false, false, true, column_kind::hex_text},
      {{"0x0", "0xff"}, false, false, false, false, column_kind::hex},
      // Numbers written for people, with plain ones among them; decorations
      // that do not add up, or separators that are not thousands, make text.
      {{"$1,925.50", "-$5", "12"}, false, false, false, false, column_kind::decorated_text},
      {{"12G", "1.5Gi", "0B", "4.0 kB", "512"},
       false,
       false,
       false,
       false,
       column_kind::decorated_text},
      {{"1 234 567", "0.44%"}, false, false, false, false, column_kind::decorated_text},
      {{"$5", "5 \xE2\x82\xAC"}, false, false, false, false, column_kind::text},
      {{"12%", "$5"}, false, false, false, false, column_kind::text},
      {{"1,234", "1'234"}, false, false, false, false, column_kind::text},
      {{"1,2345"}, false, false, false, false, column_kind::text},
      {{"12,5", "1,234"}, false, false, false, false, column_kind::text},
      {{"12Q"}, false, false, false, false, column_kind::text},
  };
  for (const auto& c : cases) {
    type_guess guess;
    for (const char* v : c.values) guess.add(v);
    const auto seen = std::make_tuple(guess.decimal(), guess.has_point(), guess.upper_hex(),
                                      guess.hex_as_written(), guess.kind());
    EXPECT_EQ(seen, std::make_tuple(c.decimal, c.point, c.upper_hex, c.hex_as_written, c.kind))
        << testing::PrintToString(c.values);
  }
}

TEST(TypeNames, RoundTrip) {
  for (const auto t :
       {value_type::string, value_type::int64, value_type::uint64, value_type::hex}) {
    EXPECT_EQ(parse_type_name(type_name(t)), t);
  }
  EXPECT_EQ(parse_type_name("integer"), std::nullopt);
  EXPECT_EQ(parse_type_name("hex_text"), std::nullopt);
  EXPECT_EQ(parse_type_name("Int"), std::nullopt);
}

}  // namespace
