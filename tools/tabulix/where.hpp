// SPDX-License-Identifier: MIT
// Row filters (--where): each is COL OP VALUE, COL (the field is not empty)
// or !COL (it is empty), checked against the fields of each record as read,
// before anything of the record is stored. Every filter must hold.
#ifndef TABULIX_TOOL_WHERE_HPP
#define TABULIX_TOOL_WHERE_HPP

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "csv.hpp"

namespace tabulix::cli {

class regex;

// One filter, parsed against the input's titles.
class row_condition {
 public:
  enum class op {
    equal,
    not_equal,
    less,
    less_equal,
    greater,
    greater_equal,
    match,
    no_match,
    filled,
    empty
  };

  // Parses EXPR; usage_error for an expression that names no column, has no
  // value where one is needed, or holds a bad regular expression.
  row_condition(std::string_view expr, const std::vector<std::string>& titles);

  // Whether the field (empty when the record has none) passes; `missing`
  // tells that it is a marker of a missing value, which counts as empty.
  [[nodiscard]] bool passes(std::string_view field, bool missing) const;

  [[nodiscard]] std::size_t column() const { return column_; }

 private:
  [[nodiscard]] bool compare(std::string_view field) const;

  std::size_t column_ = 0;
  op op_ = op::filled;
  std::string value_;
  bool value_is_number_ = false;  // a decimal number, compared with numbers by value
  bool value_is_hex_ = false;     // 0x and hex digits, compared with hex by value
  std::uint64_t hex_ = 0;
  std::shared_ptr<const regex> regex_;
};

// Every --where of the command line.
class row_filter {
 public:
  row_filter(const std::vector<std::string>& exprs, const std::vector<std::string>& titles,
             std::vector<std::string> missing_markers);

  [[nodiscard]] bool passes(const csv_record& record) const;

 private:
  std::vector<row_condition> conditions_;
  std::vector<std::string> markers_;
};

// Whether this build has regular expressions (PCRE2).
bool regex_supported();

}  // namespace tabulix::cli

#endif
