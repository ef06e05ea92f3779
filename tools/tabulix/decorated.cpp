// SPDX-License-Identifier: MIT
#include "decorated.hpp"

#include <charconv>
#include <cmath>
#include <cstdlib>

namespace tabulix::cli {

namespace {

// The currency signs, by their number in decorated_number::currency - 1.
constexpr std::string_view currency_signs[] = {"$", "\xE2\x82\xAC", "\xC2\xA3", "\xC2\xA5"};

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// The currency sign at the start of `text`: its number from 1, or 0.
std::uint8_t currency_at(std::string_view text) {
  for (std::size_t i = 0; i < std::size(currency_signs); ++i) {
    if (text.starts_with(currency_signs[i])) return static_cast<std::uint8_t>(i + 1);
  }
  return 0;
}

// Digits with thousands separators (groups of three after the first), or
// without, then optionally a point and more digits. Gives the bytes taken,
// 0 when there is no number.
std::size_t take_number(std::string_view t, decorated_number& d) {
  std::size_t p = 0;
  while (p < t.size() && is_digit(t[p])) ++p;
  const std::size_t first = p;
  if (first >= 1 && first <= 3 && p + 3 < t.size() &&
      (t[p] == ',' || t[p] == ' ' || t[p] == '\'')) {
    const char sep = t[p];
    std::size_t q = p;
    while (q + 3 < t.size() && t[q] == sep && is_digit(t[q + 1]) && is_digit(t[q + 2]) &&
           is_digit(t[q + 3]) && (q + 4 == t.size() || !is_digit(t[q + 4]))) {
      q += 4;
    }
    if (q != p) {
      d.group = sep;
      p = q;
    }
  }
  std::size_t fraction = 0;
  if (p < t.size() && t[p] == '.') {
    while (p + 1 + fraction < t.size() && is_digit(t[p + 1 + fraction])) ++fraction;
    if (first + fraction == 0) return 0;
    p += 1 + fraction;
  }
  if (first == 0 && fraction == 0) return 0;
  d.fraction = static_cast<std::uint32_t>(fraction);
  return p;
}

// A size unit: K, M, G, T, P or E (k too), then optionally 'i' and 'B'; or
// "B" alone.
bool take_unit(std::string_view u, decorated_number& d) {
  static constexpr std::string_view letters = "KMGTPE";
  if (u == "B") return true;
  if (u.empty()) return false;
  const char letter = u.front() == 'k' ? 'K' : u.front();
  const auto at = letters.find(letter);
  if (at == std::string_view::npos) return false;
  u.remove_prefix(1);
  d.binary = u.starts_with('i');
  if (d.binary) u.remove_prefix(1);
  if (u.starts_with('B')) u.remove_prefix(1);
  if (!u.empty()) return false;
  d.power = static_cast<std::uint8_t>(at + 1);
  return true;
}

// What follows the number: nothing, '%', a currency sign or a unit, one
// blank before the last two allowed.
bool take_after(std::string_view after, decorated_number& d) {
  if (after.empty()) return true;
  if (after == "%") {
    d.what = decoration::percent;
    return true;
  }
  std::string_view rest = after;
  if (rest.starts_with(' ')) rest.remove_prefix(1);
  if (const std::uint8_t c = currency_at(rest); c != 0 && d.currency == 0) {
    if (rest.size() != currency_signs[c - 1].size()) return false;
    d.what = decoration::currency;
    d.currency = c;
    return true;
  }
  if (d.currency == 0 && take_unit(rest, d)) {
    d.what = decoration::size;
    return true;
  }
  return false;
}

}  // namespace

bool read_decorated(std::string_view text, decorated_number& d) {
  if (!may_be_decorated(text)) return false;
  d = decorated_number{};
  std::string_view t = text;
  if (t.starts_with('-') || t.starts_with('+')) {
    d.negative = t.front() == '-';
    t.remove_prefix(1);
  }
  if (const std::uint8_t c = currency_at(t); c != 0) {
    d.what = decoration::currency;
    d.currency = c;
    d.before = currency_signs[c - 1];
    t.remove_prefix(d.before.size());
  }
  const std::size_t n = take_number(t, d);
  if (n == 0) return false;
  d.digits = t.substr(0, n);
  d.after = t.substr(n);
  if (!take_after(d.after, d)) return false;
  if (d.what == decoration::group && d.group == 0) return false;  // a plain number
  d.value = std::strtod(plain_digits(d).c_str(), nullptr);
  if (d.what == decoration::size) d.value *= std::pow(d.binary ? 1024.0 : 1000.0, d.power);
  return true;
}

std::string plain_digits(const decorated_number& d) {
  std::string plain;
  if (d.negative) plain.push_back('-');
  for (const char c : d.digits) {
    if (is_digit(c) || c == '.') plain.push_back(c);
  }
  if (plain.back() == '.') plain.pop_back();
  return plain;
}

std::string decorate(std::string_view number, const decorated_number& like) {
  std::string out;
  const bool negative = number.starts_with('-');
  if (negative) number.remove_prefix(1);
  if (negative) out.push_back('-');
  out.append(like.before);
  const std::size_t whole = std::min(number.find('.'), number.size());
  for (std::size_t i = 0; i < whole; ++i) {
    if (like.group != 0 && i != 0 && (whole - i) % 3 == 0) out.push_back(like.group);
    out.push_back(number[i]);
  }
  out.append(number.substr(whole));
  if (like.what != decoration::size) out.append(like.after);
  return out;
}

std::string size_in_unit(long double bytes, const decorated_number& like) {
  const long double unit = std::pow(like.binary ? 1024.0L : 1000.0L, like.power);
  char digits[400];  // the largest double in fixed notation
  const auto [end, ec] =
      std::to_chars(digits, digits + sizeof digits, static_cast<double>(bytes / unit),
                    std::chars_format::fixed, 1);
  static_cast<void>(ec);
  return std::string(digits, end) + std::string(like.after);
}

double value_of(std::string_view text) {
  decorated_number d;
  if (read_decorated(text, d)) return d.value;
  return std::strtod(std::string(text).c_str(), nullptr);
}

}  // namespace tabulix::cli
