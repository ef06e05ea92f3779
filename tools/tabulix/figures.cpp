// SPDX-License-Identifier: MIT
#include "figures.hpp"

#include <cstdlib>

#include "errors.hpp"

namespace tabulix::cli {

namespace {

bool is_number_kind(column_kind k) { return k != column_kind::text; }

// The value of a number for ordering by value.
double value_of_scan(std::string_view text, const field_scan& s) {
  if (s.int64) return static_cast<double>(s.i);
  return value_of(text);
}
bool is_hex_kind(column_kind k) { return k == column_kind::hex || k == column_kind::hex_text; }

// The value of an integer field as a sign and a magnitude.
std::uint64_t magnitude_of(const field_scan& s) {
  if (s.uint64) return s.u;
  return s.i < 0 ? 0 - static_cast<std::uint64_t>(s.i) : static_cast<std::uint64_t>(s.i);
}

// A decorated number kept without the texts it points into, which a counter
// keeps in strings of its own (a moved counter moves them), and given them
// back for use.
decorated_number without_text(decorated_number d) {
  d.digits = d.before = d.after = {};
  return d;
}

decorated_number with_text(decorated_number d, std::string_view before, std::string_view after) {
  d.before = before;
  d.after = after;
  return d;
}

}  // namespace

void figure_counter::add_to_sum(std::string_view text, const field_scan& s) {
  switch (s.kind) {
    case field_scan::form::integer:
      sum_.add(s.int64 && s.i < 0, magnitude_of(s), 0);
      break;
    case field_scan::form::hex:
      sum_.add(false, s.u, 0);
      break;
    case field_scan::form::decimal:
      if (s.exponent || !sum_.add(text)) summable_ = false;
      break;
    case field_scan::form::decorated:
      add_decorated(text);
      break;
    case field_scan::form::text:
      summable_ = false;
      break;
  }
}

// Sizes add up in bytes; other decorated numbers add exactly, as written.
void figure_counter::add_decorated(std::string_view text) {
  decorated_number d;
  static_cast<void>(read_decorated(text, d));  // scan_field found it one
  if (d.what == decoration::size) {
    sizes_ = true;
    bytes_ += d.value;
    if (largest_after_.empty() || d.power > largest_.power) {
      largest_after_ = d.after;
      largest_ = without_text(d);
    }
    return;
  }
  if (!sum_.add(plain_digits(d))) summable_ = false;
  if (!decorated_ || (like_.what == decoration::group && d.what != decoration::group)) {
    // The decoration to give the figure: the currency or '%' of any value.
    const char group = decorated_ ? like_.group : d.group;
    like_before_ = d.before;
    like_after_ = d.after;
    like_ = without_text(d);
    like_.group = group != 0 ? group : d.group;
  } else if (like_.group == 0) {
    like_.group = d.group;
  }
  decorated_ = true;
}

std::string figure_counter::decorated_text(const exact_decimal& value) const {
  if (sizes_) {
    // Plain numbers among sizes are bytes.
    const long double plain = std::strtold(value.to_string().c_str(), nullptr);
    const long double total = bytes_ + plain;
    return size_in_unit(what_ == figure::mean ? total / static_cast<long double>(count_) : total,
                        with_text(largest_, {}, largest_after_));
  }
  return decorate(value.to_string(), with_text(like_, like_before_, like_after_));
}

// Orders a number against the best so far: hex by value, integers of 64 bits
// by value, other decimals exactly. Hex and decimal values together make a
// text column, which has no minimum or maximum.
bool figure_counter::better(std::string_view text, const field_scan& s) {
  if (count_ == 1) return true;
  const field_scan& b = best_scan_;
  if (s.kind == field_scan::form::text || b.kind == field_scan::form::text) return false;
  int order = 0;
  if (s.kind == field_scan::form::decorated || b.kind == field_scan::form::decorated) {
    const double x = value_of_scan(text, s);
    const double y = value_of_scan(best_, b);
    order = (x > y) - (x < y);
  } else if (s.kind == field_scan::form::hex || b.kind == field_scan::form::hex) {
    if (s.kind != b.kind) return false;
    order = (s.u > b.u) - (s.u < b.u);
  } else if (s.int64 && b.int64) {
    order = (s.i > b.i) - (s.i < b.i);
  } else {
    if (best_key_at_ != best_.data()) {
      best_key_ = make_decimal_key(best_);
      best_key_at_ = best_.data();
    }
    order = compare_decimal_keys(make_decimal_key(text), best_key_);
  }
  return what_ == figure::min ? order < 0 : order > 0;
}

void figure_counter::add(std::string_view text, const field_scan& s, const std::string& where) {
  ++count_;
  any_decorated_ = any_decorated_ || s.kind == field_scan::form::decorated;
  if (s.kind == field_scan::form::text && first_text_at_.empty() && !where.empty()) {
    first_text_ = text;
    first_text_at_ = where;
  }
  switch (what_) {
    case figure::count:
      break;
    case figure::sum:
    case figure::mean:
      add_to_sum(text, s);
      break;
    case figure::min:
    case figure::max:
      if (better(text, s)) {
        // Integers show as the library prints them ("+7" as 7).
        best_ = s.kind == field_scan::form::integer && !s.as_written
                    ? (s.uint64 ? std::to_string(s.u) : std::to_string(s.i))
                    : std::string(text);
        best_scan_ = s;
        best_key_at_ = nullptr;
      }
      break;
  }
}

std::string figure_counter::refusal(column_kind kind, bool exponent) const {
  if (what_ == figure::count) return "";
  if (!is_number_kind(kind)) {
    if (first_text_at_.empty()) {
      // Every value may be a number, whose decorations do not go together.
      return any_decorated_ ? "holds numbers decorated in different ways, such as two currencies"
                            : "holds text, not numbers";
    }
    return "holds text, not numbers: " + in_quotes(first_text_) + " at " + first_text_at_;
  }
  if (what_ == figure::mean && is_hex_kind(kind)) return "is hex, which has no mean";
  if ((what_ == figure::sum || what_ == figure::mean) && (exponent || !summable_)) {
    return "holds numbers with exponents, which are not summed";
  }
  return "";
}

std::string figure_counter::text(column_kind kind, bool upper_hex,
                                 std::uint32_t fraction_digits) const {
  switch (what_) {
    case figure::count:
      return std::to_string(kind == column_kind::text ? count_ + missing_ : count_);
    case figure::sum:
      if (kind == column_kind::decorated_text) return decorated_text(sum_.total());
      return is_hex_kind(kind) ? sum_.total().to_hex(upper_hex) : sum_.total().to_string();
    case figure::mean:
      if (count_ == 0) return "";
      if (kind == column_kind::decorated_text) {
        return decorated_text(sizes_ ? sum_.total()
                                     : sum_.total().divided(count_, fraction_digits + 2));
      }
      return sum_.total().divided(count_, fraction_digits + 2).to_string();
    case figure::min:
    case figure::max:
      return best_;
  }
  return "";
}

}  // namespace tabulix::cli
