// SPDX-License-Identifier: MIT
#include "sort_keys.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <deque>
#include <string>
#include <string_view>

#include "decorated.hpp"
#include "infer.hpp"
#include "store.hpp"

namespace tabulix::cli {

namespace {

// One sort value of one record, in full.
struct sort_key {
  record_order::place where = record_order::place::missing;
  std::uint64_t bits = 0;
  std::string_view text;
  decimal_key number;
  double amount = 0;  // a decorated number's value
};

bool is_text_kind(column_kind k) {
  return k == column_kind::text || k == column_kind::decimal_text ||
         k == column_kind::decorated_text;
}

bool is_empty(const column_settings& c, const stored_field& f) {
  return f.tag == cell_tag::empty || (f.tag == cell_tag::missing && c.kind != column_kind::text);
}

// Finds field `column` of a record; false when the record is shorter.
bool field_of(const char* record, std::size_t column, stored_field& f) {
  record_reader reader(record);
  for (std::size_t j = 0; reader.next(f); ++j) {
    if (j == column) return true;
  }
  return false;
}

// The full key of one field; a number stored without its text is written
// into `digits`, which the key then points into.
sort_key key_in(const column_settings& c, const stored_field& f, char (&digits)[24]) {
  sort_key key;
  if (f.tag == cell_tag::end) return key;  // the record ends before this column
  if (is_empty(c, f)) {
    key.where = record_order::place::empty;
    return key;
  }
  key.where = record_order::place::value;
  key.bits = f.bits;
  if (is_text_kind(c.kind)) {
    key.text = f.text;
    if (key.text.empty() && f.tag != cell_tag::text) key.text = stored_text(f, digits);
    if (c.kind == column_kind::decimal_text && !c.by_length) {
      key.number = make_decimal_key(key.text);
    }
    if (c.kind == column_kind::decorated_text) key.amount = value_of(key.text);
  }
  return key;
}

// The full key of one field, kept: texts of numbers stored without their
// text go to `texts`, which must outlive the key.
sort_key key_of(const column_settings& c, const stored_field& f, std::deque<std::string>& texts) {
  char digits[24];
  sort_key key = key_in(c, f, digits);
  if (key.text.data() == digits) {
    key.text = texts.emplace_back(key.text);
    if (c.kind == column_kind::decimal_text && !c.by_length) {
      key.number = make_decimal_key(key.text);
    }
  }
  return key;
}

// Rows without the cell first, then empty cells, then values: the library's
// order, which descending order reverses.
int compare_keys(const column_settings& c, const sort_key& a, const sort_key& b) {
  if (a.where != b.where || a.where != record_order::place::value) {
    return static_cast<int>(a.where) - static_cast<int>(b.where);
  }
  switch (c.kind) {
    case column_kind::int64: {
      const auto x = static_cast<std::int64_t>(a.bits);
      const auto y = static_cast<std::int64_t>(b.bits);
      return (x > y) - (x < y);
    }
    case column_kind::uint64:
    case column_kind::hex:
    case column_kind::hex_text:
      return (a.bits > b.bits) - (a.bits < b.bits);
    case column_kind::decimal_text:
      if (!c.by_length) return compare_decimal_keys(a.number, b.number);
      break;
    case column_kind::decorated_text:
      if (!c.by_length) return (a.amount > b.amount) - (a.amount < b.amount);
      break;
    case column_kind::text:
      break;
  }
  if (c.by_length && a.text.size() != b.text.size()) return a.text.size() < b.text.size() ? -1 : 1;
  const int order = a.text.compare(b.text);
  return (order > 0) - (order < 0);
}

// A decimal number as 64 bits that order as the numbers do, equal bits for
// numbers that differ only past the 15th significant digit or beyond an
// exponent of +-2047: sign, then the exponent, then 15 digits.
std::uint64_t decimal_prefix(const decimal_key& d) {
  constexpr std::uint64_t sign = std::uint64_t{1} << 63;
  if (d.zero) return sign;
  constexpr std::int64_t exponent_limit = 2047;
  std::int64_t e = d.exponent;
  if (!d.exponent_digits.empty()) e = d.exponent_negative ? -exponent_limit : exponent_limit;
  e = std::clamp(e, -exponent_limit, exponent_limit);
  std::uint64_t digits = 0;
  constexpr std::size_t kept_digits = 15;  // below 2^50
  for (std::size_t i = 0; i < kept_digits; ++i) {
    digits = digits * 10 + (i < d.size() ? static_cast<std::uint64_t>(d[i] - '0') : 0);
  }
  const std::uint64_t magnitude = (std::uint64_t{1} << 62) |
                                  (static_cast<std::uint64_t>(e + exponent_limit + 1) << 50) |
                                  digits;
  return d.negative ? sign - 1 - magnitude : sign + magnitude;
}

// A double as 64 bits that order as the doubles do (NaN above everything).
std::uint64_t double_prefix(double x) {
  if (x == 0) x = 0;  // -0 is 0
  const auto bits = std::bit_cast<std::uint64_t>(x);
  return (bits >> 63) != 0 ? ~bits : bits | (std::uint64_t{1} << 63);
}

// The first eight bytes of a text, big-endian, zeros after its end.
std::uint64_t text_prefix(std::string_view t) {
  std::uint64_t p = 0;
  for (std::size_t i = 0; i < 8; ++i) {
    p = (p << 8) | (i < t.size() ? static_cast<unsigned char>(t[i]) : 0U);
  }
  return p;
}

std::uint64_t value_prefix(const column_settings& c, const stored_field& f) {
  switch (c.kind) {
    case column_kind::int64:
      return f.bits ^ (std::uint64_t{1} << 63);
    case column_kind::uint64:
    case column_kind::hex:
    case column_kind::hex_text:
      return f.bits;
    case column_kind::decimal_text:
    case column_kind::decorated_text:
    case column_kind::text:
      break;
  }
  char digits[24];
  const std::string_view text = stored_text(f, digits);
  if (c.by_length) return text.size();
  if (c.kind == column_kind::decimal_text) return decimal_prefix(make_decimal_key(text));
  if (c.kind == column_kind::decorated_text) return double_prefix(value_of(text));
  return text_prefix(text);
}

struct entry {
  std::uint64_t prefix;
  std::size_t row;
};

// A stable LSD radix sort of the `n` entries at `v` by prefix, a byte at a
// time, through `buffer`; bytes that all entries share are skipped.
void radix_sort(entry* v, std::size_t n, std::vector<entry>& buffer) {
  if (n < 2) return;
  buffer.resize(std::max(buffer.size(), n));
  entry* from = v;
  entry* to = buffer.data();
  for (unsigned shift = 0; shift < 64; shift += 8) {
    std::array<std::size_t, 256> count{};
    for (std::size_t i = 0; i < n; ++i) ++count[(from[i].prefix >> shift) & 0xFF];
    if (std::find(count.begin(), count.end(), n) != count.end()) continue;
    std::size_t at = 0;
    for (auto& c : count) {
      const std::size_t k = c;
      c = at;
      at += k;
    }
    for (std::size_t i = 0; i < n; ++i) to[count[(from[i].prefix >> shift) & 0xFF]++] = from[i];
    std::swap(from, to);
  }
  if (from != v) std::copy(from, from + n, v);
}

// Sorts one run of entries whose first keys are equal by their prefixes,
// comparing the records' full keys, each taken once.
class run_sorter {
 public:
  run_sorter(const table_plan& plan, const std::vector<const char*>& records)
      : plan_(plan), records_(records) {}

  // Sorts a run of entries whose first keys tie on their prefixes.
  void sort(entry* first, entry* last) {
    if (!sort_texts(first, last, 8)) sort_in_full(first, last);
  }

 private:
  // A run of plain texts under a single key: sorted by their next eight
  // bytes, and each run still tied by the eight after, up to a depth; false
  // (nothing done) when the run holds anything else.
  bool sort_texts(entry* first, entry* last, std::size_t depth) {
    constexpr std::size_t deepest = 64;
    const sort_column& s = plan_.sort.front();
    const column_settings& c = plan_.columns[s.column];
    if (plan_.sort.size() != 1 || c.kind != column_kind::text || c.by_length || depth > deepest) {
      return false;
    }
    std::size_t longest = 0;
    for (entry* e = first; e != last; ++e) {
      stored_field f;
      if (!field_of(records_[e->row], s.column, f) || f.tag != cell_tag::text) return false;
      longest = std::max(longest, f.text.size());
      const std::uint64_t p = text_prefix(f.text.substr(std::min(depth, f.text.size())));
      e->prefix = s.descending ? ~p : p;
    }
    // Texts that all ended tie unless they differ in trailing NUL bytes.
    if (longest <= depth) return false;
    radix_sort(first, static_cast<std::size_t>(last - first), buffer_);
    for (entry* i = first; i != last;) {
      entry* j = i + 1;
      while (j != last && j->prefix == i->prefix) ++j;
      if (j - i > 1 && !sort_texts(i, j, depth + 8)) sort_in_full(i, j);
      i = j;
    }
    return true;
  }

  void sort_in_full(entry* first, entry* last) {
    const auto n = static_cast<std::size_t>(last - first);
    const std::size_t width = plan_.sort.size();
    keys_.assign(n * width, sort_key{});
    texts_.clear();
    index_.resize(n);
    for (std::size_t i = 0; i < n; ++i) {
      index_[i] = i;
      take_keys(records_[first[i].row], &keys_[i * width]);
    }
    std::stable_sort(index_.begin(), index_.end(), [&](std::size_t a, std::size_t b) {
      for (std::size_t k = 0; k < width; ++k) {
        const int c = compare_keys(plan_.columns[plan_.sort[k].column], keys_[a * width + k],
                                   keys_[b * width + k]);
        if (c != 0) return plan_.sort[k].descending ? c > 0 : c < 0;
      }
      return false;
    });
    moved_.resize(n);
    for (std::size_t i = 0; i < n; ++i) moved_[i] = first[index_[i]];
    std::copy(moved_.begin(), moved_.end(), first);
  }

  void take_keys(const char* record, sort_key* keys) {
    record_reader reader(record);
    stored_field f;
    for (std::size_t j = 0; reader.next(f); ++j) {
      for (std::size_t k = 0; k < plan_.sort.size(); ++k) {
        if (plan_.sort[k].column == j) keys[k] = key_of(plan_.columns[j], f, texts_);
      }
    }
  }

  const table_plan& plan_;
  const std::vector<const char*>& records_;
  std::vector<sort_key> keys_;
  std::deque<std::string> texts_;
  std::vector<std::size_t> index_;
  std::vector<entry> moved_;
  std::vector<entry> buffer_;
};

// Sorts each run of entries with equal prefixes in full.
void sort_tied_runs(std::vector<entry>& g, run_sorter& runs) {
  for (std::size_t i = 0; i < g.size();) {
    std::size_t j = i + 1;
    while (j < g.size() && g[j].prefix == g[i].prefix) ++j;
    if (j - i > 1) runs.sort(g.data() + i, g.data() + j);
    i = j;
  }
}

}  // namespace

record_order::first_key record_order::first_key_of(const char* record) const {
  const sort_column& s = plan_.sort.front();
  const column_settings& c = plan_.columns[s.column];
  first_key key;
  stored_field f;
  if (!field_of(record, s.column, f)) return key;
  if (is_empty(c, f)) {
    key.where = place::empty;
    return key;
  }
  key.where = place::value;
  key.prefix = value_prefix(c, f);
  if (s.descending) key.prefix = ~key.prefix;
  return key;
}

bool record_order::prefix_decides() const {
  if (plan_.sort.size() != 1) return false;
  switch (plan_.columns[plan_.sort.front().column].kind) {
    case column_kind::int64:
    case column_kind::uint64:
    case column_kind::hex:
    case column_kind::hex_text:
      return true;
    case column_kind::decimal_text:
    case column_kind::decorated_text:
    case column_kind::text:
      break;
  }
  return false;
}

int record_order::compare(const char* a, const char* b) const {
  std::deque<std::string> texts;
  for (const sort_column& s : plan_.sort) {
    const column_settings& c = plan_.columns[s.column];
    stored_field f;
    sort_key x;
    sort_key y;
    if (field_of(a, s.column, f)) x = key_of(c, f, texts);
    if (field_of(b, s.column, f)) y = key_of(c, f, texts);
    const int order = compare_keys(c, x, y);
    if (order != 0) return s.descending ? -order : order;
  }
  return 0;
}

int compare_sort_fields(const column_settings& c, const stored_field& a, const stored_field& b) {
  char a_digits[24];
  char b_digits[24];
  return compare_keys(c, key_in(c, a, a_digits), key_in(c, b, b_digits));
}

std::vector<std::size_t> sorted_order(const table_plan& plan,
                                      const std::vector<const char*>& records) {
  const record_order order(plan);
  // Records by where their first key falls, each group in input order.
  std::array<std::vector<entry>, 3> groups;
  groups[static_cast<std::size_t>(record_order::place::value)].reserve(records.size());
  for (std::size_t r = 0; r < records.size(); ++r) {
    const auto key = order.first_key_of(records[r]);
    groups[static_cast<std::size_t>(key.where)].push_back({key.prefix, r});
  }
  const auto value_group = static_cast<std::size_t>(record_order::place::value);
  {
    std::vector<entry> buffer;
    radix_sort(groups[value_group].data(), groups[value_group].size(), buffer);
  }

  // Runs of equal prefixes (all of a missing or empty group) are sorted in
  // full unless the prefix decides.
  const bool prefix_decides = order.prefix_decides();
  run_sorter runs(plan, records);
  std::vector<std::size_t> sorted;
  sorted.reserve(records.size());
  const auto take = [&](std::vector<entry>& g, bool is_values) {
    if (!is_values && plan.sort.size() > 1 && g.size() > 1)
      runs.sort(g.data(), g.data() + g.size());
    if (is_values && !prefix_decides) sort_tied_runs(g, runs);
    for (const entry& e : g) sorted.push_back(e.row);
    std::vector<entry>().swap(g);
  };
  if (plan.sort.front().descending) {
    for (std::size_t i = groups.size(); i-- > 0;) take(groups[i], i == value_group);
  } else {
    for (std::size_t i = 0; i < groups.size(); ++i) take(groups[i], i == value_group);
  }
  return sorted;
}

}  // namespace tabulix::cli
