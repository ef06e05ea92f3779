// SPDX-License-Identifier: MIT
#include "build.hpp"

#include <algorithm>
#include <cstdint>
#include <numeric>
#include <system_error>

namespace tabulix::cli {

namespace {

tabulix::type library_type(value_type t) {
  switch (t) {
    case value_type::int64:
      return tabulix::type::int64;
    case value_type::uint64:
      return tabulix::type::uint64;
    case value_type::hex:
      return tabulix::type::hex;
    case value_type::string:
      break;
  }
  return tabulix::type::string;
}

tabulix::just library_just(align_kind k) { return static_cast<tabulix::just>(k); }

bool is_char_kind(align_kind k) {
  return k == align_kind::char_first || k == align_kind::char_last;
}

tabulix::style library_style(const std::string& name) {
  if (name == "raw") return tabulix::style::raw;
  if (name == "fancy") return tabulix::style::fancy;
  if (name == "fancyw") return tabulix::style::fancyw;
  return tabulix::style::simple;
}

// The exact sum of a column, kept as the 64-bit wrapping sum that the
// library shows and a count of the times it wrapped: the shown sum is right
// exactly when the wraps cancel out.
class sum_check {
 public:
  void add_signed(std::int64_t v) {
    std::int64_t r = 0;
    if (__builtin_add_overflow(signed_sum_, v, &r)) wraps_ += v < 0 ? -1 : 1;
    signed_sum_ = r;
  }
  void add_unsigned(std::uint64_t v) {
    std::uint64_t r = 0;
    if (__builtin_add_overflow(unsigned_sum_, v, &r)) ++wraps_;
    unsigned_sum_ = r;
  }
  [[nodiscard]] bool fits() const { return wraps_ == 0; }

 private:
  std::int64_t signed_sum_ = 0;
  std::uint64_t unsigned_sum_ = 0;
  std::int64_t wraps_ = 0;
};

// Declares the columns and gives their IDs, in order.
std::vector<std::int32_t> declare_columns(tabulix::table& t, const table_plan& plan) {
  std::vector<std::int32_t> ids;
  std::string buffer;
  for (const auto& c : plan.columns) {
    auto col = t.add_column(library_type(c.type));
    col.title(printable(c.title.c_str(), buffer))
        .title_just(library_just(c.title_align.kind))
        .cell_just(library_just(c.cell.kind))
        .justify_char(is_char_kind(c.cell.kind) ? c.cell.justify_char : c.title_align.justify_char)
        .min_width(c.min_width);
    if (c.sum) col.summarize();
    if (c.suffix) col.suffix(*c.suffix);
    if (c.hex_upper) col.hex_case(tabulix::hex_case::upper);
    if (c.leading_zeros) col.leading_zeros();
    if (c.by_length) col.sort_by_length();
    ids.push_back(col.id());
  }
  t.end_header();
  return ids;
}

// Adds one record as a row. The values have been checked against the
// column types already. Empty fields at the end are left out, so that
// number columns show them as blanks.
void add_row(tabulix::table& t, const table_plan& plan, const dataset& data,
             const dataset::record& r, std::vector<sum_check>& sums, std::string& buffer) {
  std::int64_t last = -1;
  data.for_each_field(r, [&](std::uint32_t i, std::string_view v) {
    if (!v.empty()) last = i;
  });
  t.begin_row();
  data.for_each_field(r, [&](std::uint32_t i, std::string_view v) {
    if (static_cast<std::int64_t>(i) > last) return;
    const column_settings& c = plan.columns[i];
    switch (c.type) {
      case value_type::string:
        t.add_cell(printable(v.data(), buffer));
        break;
      case value_type::int64: {
        const std::int64_t n = *parse_int(v, true);
        if (c.sum) sums[i].add_signed(n);
        t.add_cell(n);
        break;
      }
      case value_type::uint64: {
        const std::uint64_t n = *parse_uint(v, true);
        if (c.sum) sums[i].add_unsigned(n);
        t.add_cell(n);
        break;
      }
      case value_type::hex: {
        const std::uint64_t n = *parse_hex(v, true);
        if (c.sum) sums[i].add_unsigned(n);
        t.add_cell(tabulix::hex{n});
        break;
      }
    }
  });
  t.end_row();
}

// The library compares text byte by byte, so decimal numbers written as
// text ("24.90", "3.49") would sort wrongly. When such a column is a sort
// key the rows are put in order here, before they reach the table, with the
// same rules as the library's sort: stable, and rows without the key cell
// first in ascending and last in descending order.
bool sorts_decimal_text(const table_plan& plan) {
  return std::any_of(plan.sort.begin(), plan.sort.end(), [&plan](const sort_column& k) {
    const column_settings& c = plan.columns[k.column];
    return c.decimal && !c.by_length;
  });
}

template <class T>
int three_way(const T& a, const T& b) {
  return (b < a) - (a < b);
}

int compare_values(const column_settings& c, std::string_view a, std::string_view b) {
  switch (c.type) {
    case value_type::int64:
      return three_way(*parse_int(a, true), *parse_int(b, true));
    case value_type::uint64:
      return three_way(*parse_uint(a, true), *parse_uint(b, true));
    case value_type::hex:
      return three_way(*parse_hex(a, true), *parse_hex(b, true));
    case value_type::string:
      break;
  }
  if (c.by_length && a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
  if (c.decimal && !c.by_length) {
    // Empty text among the numbers sorts before them, as it would by bytes.
    const bool x = is_decimal(a);
    const bool y = is_decimal(b);
    if (x && y) return compare_decimal(a, b);
    if (x != y) return x ? 1 : -1;
  }
  return three_way(a.compare(b), 0);
}

// A key cell of a record; absent when the row ends before it.
struct key_cell {
  std::string_view text;
  bool present = false;
};

std::vector<std::size_t> sorted_order(const table_plan& plan, const dataset& data) {
  std::vector<std::size_t> order(data.records.size());
  std::iota(order.begin(), order.end(), std::size_t{0});
  if (!sorts_decimal_text(plan)) return order;

  const std::size_t key_count = plan.sort.size();
  std::vector<key_cell> keys(order.size() * key_count);
  std::vector<std::string_view> fields;
  for (std::size_t r = 0; r < order.size(); ++r) {
    fields.clear();
    std::size_t end = 0;  // fields up to the last non-empty one form the row
    data.for_each_field(data.records[r], [&](std::uint32_t i, std::string_view v) {
      fields.push_back(v);
      if (!v.empty()) end = i + 1;
    });
    for (std::size_t k = 0; k < key_count; ++k) {
      const std::size_t column = plan.sort[k].column;
      keys[r * key_count + k] = column < end ? key_cell{fields[column], true} : key_cell{{}, false};
    }
  }
  // Stable sorts from the last key to the first leave the first key primary.
  for (std::size_t k = key_count; k-- > 0;) {
    const column_settings& c = plan.columns[plan.sort[k].column];
    const bool descending = plan.sort[k].descending;
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
      const key_cell& x = keys[a * key_count + k];
      const key_cell& y = keys[b * key_count + k];
      int order_of = x.present != y.present ? (x.present ? 1 : -1)
                     : x.present            ? compare_values(c, x.text, y.text)
                                            : 0;
      return descending ? order_of > 0 : order_of < 0;
    });
  }
  return order;
}

}  // namespace

tabulix::table build_table(const table_plan& plan, const dataset& data) {
  tabulix::table t;
  t.set_style(library_style(plan.style));
  // Not in the C++ layer yet: the C call on the table it wraps. The input is
  // valid UTF-8, checked when it was read.
  if (plan.display_widths) {
    if (const tblx_status s = tblx_setwidthmode(t.get(), TBLX_WIDTH_DISPLAY); s != TBLX_OK) {
      throw std::system_error(tabulix::make_error_code(static_cast<tabulix::errc>(s)));
    }
  }
  for (const auto& f : plan.fillers) t.set_sum_filler(library_style(f.style), f.character);
  const std::vector<std::int32_t> ids = declare_columns(t, plan);

  std::vector<sum_check> sums(plan.columns.size());
  std::string buffer;
  const std::vector<std::size_t> order = sorted_order(plan, data);
  for (const std::size_t r : order) add_row(t, plan, data, data.records[r], sums, buffer);
  for (std::size_t i = 0; i < plan.columns.size(); ++i) {
    if (!sums[i].fits()) {
      throw data_error("column '" + plan.columns[i].title + "': the sum does not fit in 64 bits");
    }
  }

  if (sorts_decimal_text(plan)) return t;  // in order already
  // The sort is stable: sorting by the last key first leaves the first key
  // given as the primary one.
  std::for_each(plan.sort.rbegin(), plan.sort.rend(), [&](const sort_column& key) {
    t.sort(ids[key.column], key.descending ? tabulix::order::desc : tabulix::order::asc);
  });
  return t;
}

}  // namespace tabulix::cli
