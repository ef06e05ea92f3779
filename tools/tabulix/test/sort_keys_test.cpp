// SPDX-License-Identifier: MIT
// The sort by compact keys gives the order of a stable sort by the full
// comparison, over random records with many equal prefixes, empty and
// missing fields, and decimals of every sign, length and exponent.
#include "sort_keys.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "store.hpp"

namespace {

using namespace tabulix::cli;

// A number below n, as a size on every target (size_t is 32 bits on i686).
std::size_t below(std::mt19937_64& rng, std::size_t n) {
  return static_cast<std::size_t>(rng() % n);
}

std::string random_decimal(std::mt19937_64& rng) {
  static const char* const forms[] = {
      "0",    "-0.0",  "1.5",   "-1.50",  "1e3",  "1000",    "999.99",
      "1e-3", "0.001", "-2E+2", "12.345", "12.3", "1e99999", "-1e-99999999999999999999"};
  if (rng() % 3 == 0) return forms[rng() % std::size(forms)];
  // 1 to 20 digits with a point somewhere: many share their first 15 digits.
  std::string s = rng() % 2 == 0 ? "-" : "";
  const std::size_t n = 1 + below(rng, 20);
  for (std::size_t i = 0; i < n; ++i) s += static_cast<char>('0' + (i < 16 ? 1 : rng() % 10));
  s.insert(1 + below(rng, n) + (s[0] == '-' ? 1 : 0), ".");
  return s;
}

std::string random_text(std::mt19937_64& rng) {
  // Long shared beginnings, so that the 8-byte prefixes tie.
  static const char* const stems[] = {"", "a", "abcdefgh", "abcdefghij", "abcdefgh\x01", "b"};
  std::string s = stems[rng() % std::size(stems)];
  for (std::size_t i = below(rng, 3); i > 0; --i) s += static_cast<char>('a' + rng() % 3);
  return s;
}

// Records of an int, a decimal and a text column, some of them short.
std::vector<std::string> random_records(std::mt19937_64& rng, std::size_t n) {
  std::vector<std::string> records;
  record_writer w;
  for (std::size_t r = 0; r < n; ++r) {
    w.clear();
    const std::size_t fields = rng() % 8 == 0 ? below(rng, 3) : 3;
    for (std::size_t j = 0; j < fields; ++j) {
      if (rng() % 10 == 0) {
        w.empty();
      } else if (j == 0) {
        w.number(cell_tag::int64, static_cast<std::uint64_t>(static_cast<int>(rng() % 21) - 10),
                 {});
      } else if (j == 1 && rng() % 5 == 0) {
        w.number(cell_tag::int64, rng() % 1000, {});  // a whole number in a decimal column
      } else {
        const std::string t = j == 1 ? random_decimal(rng) : random_text(rng);
        w.text(t, false);
      }
    }
    records.emplace_back(w.finish());
  }
  return records;
}

TEST(SortKeys, SameOrderAsStableSortOfFullKeys) {
  std::mt19937_64 rng(7);
  table_plan plan;
  plan.columns.resize(3);
  plan.columns[0].kind = column_kind::int64;
  plan.columns[1].kind = column_kind::decimal_text;
  plan.columns[2].kind = column_kind::text;
  const std::vector<std::vector<sort_column>> sorts = {{{0, false}},
                                                       {{0, true}},
                                                       {{1, false}},
                                                       {{1, true}},
                                                       {{2, false}},
                                                       {{2, true}, {0, false}},
                                                       {{0, false}, {2, true}},
                                                       {{1, false}, {2, false}}};
  for (int round = 0; round < 20; ++round) {
    const std::vector<std::string> stored = random_records(rng, 1 + below(rng, 600));
    std::vector<const char*> records;
    records.reserve(stored.size());
    for (const auto& s : stored) records.push_back(s.data());
    for (const auto& sort : sorts) {
      for (const bool by_length : {false, true}) {
        plan.sort = sort;
        plan.columns[2].by_length = by_length;
        std::vector<std::size_t> expected(records.size());
        for (std::size_t i = 0; i < expected.size(); ++i) expected[i] = i;
        const record_order order(plan);
        std::stable_sort(expected.begin(), expected.end(), [&](std::size_t a, std::size_t b) {
          return order.compare(records[a], records[b]) < 0;
        });
        ASSERT_EQ(sorted_order(plan, records), expected)
            << "round " << round << ", first column " << sort[0].column;
      }
    }
  }
}

}  // namespace
