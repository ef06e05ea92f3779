// SPDX-License-Identifier: MIT
#include "figures.hpp"

namespace tabulix::cli {

namespace {

bool is_number_kind(column_kind k) { return k != column_kind::text; }
bool is_hex_kind(column_kind k) { return k == column_kind::hex || k == column_kind::hex_text; }

// The value of an integer field as a sign and a magnitude.
std::uint64_t magnitude_of(const field_scan& s) {
  if (s.uint64) return s.u;
  return s.i < 0 ? 0 - static_cast<std::uint64_t>(s.i) : static_cast<std::uint64_t>(s.i);
}

// Orders two numbers of one column: hex by value, decimals exactly.
int compare_numbers(std::string_view a, const field_scan& x, std::string_view b,
                    const field_scan& y) {
  if (x.kind == field_scan::form::hex && y.kind == field_scan::form::hex) {
    return (x.u > y.u) - (x.u < y.u);
  }
  if (x.int64 && y.int64) return (x.i > y.i) - (x.i < y.i);
  return compare_decimal(a, b);
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
    case field_scan::form::text:
      summable_ = false;
      break;
  }
}

bool figure_counter::better(std::string_view text, const field_scan& s) const {
  if (count_ == 1) return true;
  if (s.kind == field_scan::form::text || best_scan_.kind == field_scan::form::text) return false;
  const int order = compare_numbers(text, s, best_, best_scan_);
  return what_ == figure::min ? order < 0 : order > 0;
}

void figure_counter::add(std::string_view text, const field_scan& s) {
  ++count_;
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
      }
      break;
  }
}

std::string figure_counter::refusal(column_kind kind, bool exponent) const {
  if (what_ == figure::count) return "";
  if (!is_number_kind(kind)) return "holds text, not numbers";
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
      return std::to_string(count_);
    case figure::sum:
      return is_hex_kind(kind) ? sum_.total().to_hex(upper_hex) : sum_.total().to_string();
    case figure::mean:
      if (count_ == 0) return "";
      return sum_.total().divided(count_, fraction_digits + 2).to_string();
    case figure::min:
    case figure::max:
      return best_;
  }
  return "";
}

}  // namespace tabulix::cli
