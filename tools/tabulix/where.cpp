// SPDX-License-Identifier: MIT
#include "where.hpp"

#include <algorithm>
#include <array>
#include <utility>

#include "columns.hpp"
#include "errors.hpp"
#include "infer.hpp"

#ifdef TABULIX_TOOL_PCRE2
#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>
#endif

namespace tabulix::cli {

// A compiled regular expression and the match data it uses, freed together.
class regex {
 public:
#ifdef TABULIX_TOOL_PCRE2
  explicit regex(std::string_view pattern, std::string_view expr) {
    int code = 0;
    PCRE2_SIZE offset = 0;
    // The input is UTF-8, checked as it is read.
    code_ = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern.data()), pattern.size(),
                          PCRE2_UTF | PCRE2_NO_UTF_CHECK, &code, &offset, nullptr);
    if (code_ == nullptr) {
      std::array<PCRE2_UCHAR, 256> message{};
      pcre2_get_error_message(code, message.data(), message.size());
      throw usage_error("--where: " + in_quotes(expr) + ": bad regular expression at offset " +
                        std::to_string(offset) + ": " +
                        reinterpret_cast<const char*>(message.data()));
    }
    // Compiled to machine code where PCRE2 can; interpreted otherwise.
    static_cast<void>(pcre2_jit_compile(code_, PCRE2_JIT_COMPLETE));
    match_ = pcre2_match_data_create_from_pattern(code_, nullptr);
    if (match_ == nullptr) {
      pcre2_code_free(code_);
      throw std::bad_alloc();
    }
  }
  ~regex() {
    pcre2_match_data_free(match_);
    pcre2_code_free(code_);
  }
  regex(const regex&) = delete;
  regex& operator=(const regex&) = delete;
  regex(regex&&) = delete;
  regex& operator=(regex&&) = delete;

  [[nodiscard]] bool matches(std::string_view text) const {
    const int rc = pcre2_match(code_, reinterpret_cast<PCRE2_SPTR>(text.data()), text.size(), 0,
                               PCRE2_NO_UTF_CHECK, match_, nullptr);
    if (rc >= 0) return true;
    if (rc == PCRE2_ERROR_NOMATCH) return false;
    std::array<PCRE2_UCHAR, 256> message{};
    pcre2_get_error_message(rc, message.data(), message.size());
    throw data_error(std::string("--where: matching failed: ") +
                     reinterpret_cast<const char*>(message.data()));
  }

 private:
  pcre2_code* code_ = nullptr;
  pcre2_match_data* match_ = nullptr;
#else
  regex(std::string_view /*pattern*/, std::string_view /*expr*/) {
    throw usage_error("--where: this tabulix was built without PCRE2: no regular expressions");
  }
  [[nodiscard]] static bool matches(std::string_view /*text*/) { return false; }
#endif
};

bool regex_supported() {
#ifdef TABULIX_TOOL_PCRE2
  return true;
#else
  return false;
#endif
}

namespace {

using op = row_condition::op;

// The operators, two-character ones first so that "<=" is not read as "<".
constexpr std::pair<std::string_view, op> operators[] = {
    {"!~", op::no_match}, {"!=", op::not_equal}, {"<=", op::less_equal}, {">=", op::greater_equal},
    {"=", op::equal},     {"<", op::less},       {">", op::greater},     {"~", op::match},
};

std::string_view trim_blanks(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

std::optional<std::pair<op, std::size_t>> operator_at(std::string_view expr, std::size_t i) {
  for (const auto& [text, o] : operators) {
    if (expr.substr(i).starts_with(text)) return std::pair{o, text.size()};
  }
  return std::nullopt;
}

bool is_ordering(op o) {
  return o == op::less || o == op::less_equal || o == op::greater || o == op::greater_equal;
}

bool holds(op o, int order) {
  switch (o) {
    case op::equal:
      return order == 0;
    case op::not_equal:
      return order != 0;
    case op::less:
      return order < 0;
    case op::less_equal:
      return order <= 0;
    case op::greater:
      return order > 0;
    case op::greater_equal:
      return order >= 0;
    case op::match:
    case op::no_match:
    case op::filled:
    case op::empty:
      break;
  }
  return false;
}

}  // namespace

row_condition::row_condition(std::string_view expr, const std::vector<std::string>& titles) {
  const column_names names(titles);
  constexpr const char* option = "--where";
  // The column is the first text before an operator that names one: a
  // title may itself hold an operator's characters.
  std::optional<std::size_t> first_operator;
  for (std::size_t i = 0; i < expr.size(); ++i) {
    const auto found = operator_at(expr, i);
    if (!found) continue;
    if (!first_operator) first_operator = i;
    const auto at = names.lookup(option, trim_blanks(expr.substr(0, i)));
    if (!at) continue;
    column_ = *at;
    op_ = found->first;
    const std::string_view value = trim_blanks(expr.substr(i + found->second));
    value_ = std::string(value);
    if (is_ordering(op_) && value.empty()) {
      throw usage_error(std::string(option) + ": " + in_quotes(expr) + " compares with nothing");
    }
    value_is_number_ = is_decimal(value);
    if (const auto hex = parse_hex(value)) {
      value_is_hex_ = true;
      hex_ = *hex;
    }
    if (op_ == op::match || op_ == op::no_match) regex_ = std::make_shared<regex>(value, expr);
    return;
  }
  const std::string_view whole = trim_blanks(expr);
  if (const auto at = names.lookup(option, whole)) {
    column_ = *at;
    op_ = op::filled;
    return;
  }
  if (!first_operator && whole.starts_with('!')) {
    column_ = names.find(option, trim_blanks(whole.substr(1)));
    op_ = op::empty;
    return;
  }
  if (!first_operator) static_cast<void>(names.find(option, whole));
  const std::string_view left = trim_blanks(expr.substr(0, *first_operator));
  if (left.empty()) {
    throw usage_error(std::string(option) + ": " + in_quotes(expr) +
                      " names no column (expected COL OP VALUE, COL or !COL)");
  }
  static_cast<void>(names.find(option, left));  // reports the unknown column
}

bool row_condition::compare(std::string_view field) const {
  if (value_is_hex_) {
    if (const auto n = parse_hex(field)) return holds(op_, (*n > hex_) - (*n < hex_));
  }
  if (value_is_number_ && is_decimal(field)) return holds(op_, compare_decimal(field, value_));
  // Anything else by bytes: dates written as 2024-05-01 order as such.
  const int order = field.compare(value_);
  return holds(op_, (order > 0) - (order < 0));
}

bool row_condition::passes(std::string_view field, bool missing) const {
  switch (op_) {
    case op::filled:
      return !field.empty() && !missing;
    case op::empty:
      return field.empty() || missing;
    case op::match:
      return regex_->matches(field);
    case op::no_match:
      return !regex_->matches(field);
    case op::equal:
    case op::not_equal:
      return compare(field);
    case op::less:
    case op::less_equal:
    case op::greater:
    case op::greater_equal:
      // An empty field has no value to order.
      return !field.empty() && !missing && compare(field);
  }
  return false;
}

row_filter::row_filter(const std::vector<std::string>& exprs,
                       const std::vector<std::string>& titles,
                       std::vector<std::string> missing_markers)
    : markers_(std::move(missing_markers)) {
  for (const auto& e : exprs) conditions_.emplace_back(e, titles);
}

bool row_filter::passes(const csv_record& record) const {
  return std::all_of(conditions_.begin(), conditions_.end(), [&](const row_condition& c) {
    const std::string_view field =
        c.column() < record.size() ? record.field(c.column()) : std::string_view{};
    const bool missing =
        !field.empty() && std::find(markers_.begin(), markers_.end(), field) != markers_.end();
    return c.passes(field, missing);
  });
}

}  // namespace tabulix::cli
