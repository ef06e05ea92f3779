// SPDX-License-Identifier: MIT
// The figure of one column for the summary line (sum, count, minimum,
// maximum or mean), gathered value by value as the input is read.
#ifndef TABULIX_TOOL_FIGURES_HPP
#define TABULIX_TOOL_FIGURES_HPP

#include <cstdint>
#include <string>
#include <string_view>

#include "decimal.hpp"
#include "infer.hpp"
#include "options.hpp"

namespace tabulix::cli {

class figure_counter {
 public:
  explicit figure_counter(figure what) : what_(what) {}

  // A non-empty value and what scan_field found in it; `where` tells where it
  // stands ("file:line"), for a message on a value that is not a number.
  void add(std::string_view text, const field_scan& s, const std::string& where = {});
  // A marker of a missing value: counted only in a text column.
  void add_missing() { ++missing_; }

  [[nodiscard]] figure what() const { return what_; }

  // Why the figure cannot be shown for a column of this kind, or "".
  [[nodiscard]] std::string refusal(column_kind kind, bool exponent) const;

  // The figure as text, for a column of this kind; hex sums in the given
  // letter case; a mean to two more digits than `fraction_digits`.
  [[nodiscard]] std::string text(column_kind kind, bool upper_hex,
                                 std::uint32_t fraction_digits) const;

 private:
  [[nodiscard]] bool better(std::string_view text, const field_scan& s);
  void add_to_sum(std::string_view text, const field_scan& s);
  void add_decorated(std::string_view text);
  [[nodiscard]] std::string decorated_text(const exact_decimal& value) const;

  figure what_;
  std::uint64_t count_ = 0;
  std::uint64_t missing_ = 0;
  std::string first_text_;  // the first value that is not a number, and where
  std::string first_text_at_;
  exact_sum sum_;
  // Decorated numbers: how the first one was decorated (its sign before and
  // its text after), the sizes in bytes and the largest unit among them. The
  // decorated_number members point into no text: a counter may move.
  bool decorated_ = false;
  bool any_decorated_ = false;  // for any figure
  decorated_number like_;
  std::string like_before_;
  std::string like_after_;
  bool sizes_ = false;
  long double bytes_ = 0;
  decorated_number largest_;
  std::string largest_after_;
  bool summable_ = true;  // every value so far is a number without an exponent
  std::string best_;      // the smallest or largest value so far
  field_scan best_scan_;
  // best_ taken apart once, not on every comparison: it points into best_,
  // at best_key_at_ (a moved counter takes it apart again).
  decimal_key best_key_;
  const char* best_key_at_ = nullptr;
};

}  // namespace tabulix::cli

#endif
