// SPDX-License-Identifier: MIT
#include "build.hpp"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <system_error>

#include "sort_keys.hpp"
#include "text.hpp"

namespace tabulix::cli {

namespace {

// The title of the column that --number adds.
constexpr const char* row_number_title = "#";

tabulix::type library_type(column_kind k) {
  switch (k) {
    case column_kind::int64:
      return tabulix::type::int64;
    case column_kind::uint64:
      return tabulix::type::uint64;
    case column_kind::hex:
      return tabulix::type::hex;
    case column_kind::hex_text:
    case column_kind::decimal_text:
    case column_kind::decorated_text:
    case column_kind::text:
      break;
  }
  return tabulix::type::string;
}

bool is_char_kind(tabulix::just k) {
  return k == tabulix::just::char_first || k == tabulix::just::char_last;
}

void check(tblx_status rc) {
  if (rc != TBLX_OK)
    throw std::system_error(tabulix::make_error_code(static_cast<tabulix::errc>(rc)));
}

// Whether texts go to the table with their control characters escaped, as
// lines of text show them; the data formats take every byte as it is, and
// escape what they must themselves.
bool escapes_controls(tabulix::format f) {
  return f == tabulix::format::text || f == tabulix::format::markdown;
}

// What a column shows beyond its title and justification: limits, suffix,
// hex digits and digit groups.
template <class Column>
void apply_settings(Column& col, const column_settings& c, const table_plan& plan) {
  // The overflow mode also tells how fitting narrows the column.
  if (c.kind == column_kind::text && (c.max_width != 0 || plan.wrap)) {
    col.max_width(static_cast<unsigned>(c.max_width),
                  plan.wrap ? tabulix::overflow::wrap : tabulix::overflow::cut);
  }
  if (c.suffix) col.suffix(*c.suffix);
  if (c.hex_upper) col.hex_case(tabulix::hex_case::upper);
  if (c.leading_zeros) col.leading_zeros();
  // Numbers the library formats are grouped there; numbers shown as written
  // are grouped when their text is added.
  if (c.group != 0 && c.kind != column_kind::text &&
      library_type(c.kind) != tabulix::type::string) {
    col.grouping(c.group);
  }
}

// Declares the columns and gives their IDs, in order.
std::vector<std::int32_t> declare_columns(tabulix::table& t, const table_plan& plan) {
  std::vector<std::int32_t> ids;
  std::string buffer;
  if (plan.number_rows) {
    t.add_column(tabulix::column_spec(tabulix::type::uint64, row_number_title)
                     .title_just(tabulix::just::right)
                     .cell_just(tabulix::just::right));
  }
  for (std::size_t j = 0; j < plan.visible; ++j) {
    const column_settings& c = plan.columns[j];
    tabulix::column_spec col(library_type(c.kind), escapes_controls(plan.format)
                                                       ? printable(c.title.c_str(), buffer)
                                                       : c.title.c_str());
    col.title_just(c.title_align.kind)
        .cell_just(c.cell.kind)
        .justify_char(is_char_kind(c.cell.kind) ? c.cell.justify_char : c.title_align.justify_char)
        .min_width(c.min_width);
    apply_settings(col, c, plan);
    ids.push_back(t.add_column(col).id());
  }
  t.end_header();
  for (std::size_t j = 0; j < plan.visible; ++j) {
    if (plan.columns[j].summary) {
      check(tblx_setsumtext(t.get(), ids[j], plan.columns[j].summary->c_str()));
    }
  }
  return ids;
}

// Adds stored records to the table as rows.
class row_adder {
 public:
  row_adder(tabulix::table& t, const table_plan& plan) : t_(t.get()), plan_(plan) {}

  void add(record_reader& r, std::uint64_t number) {
    check(tblx_beginrow(t_));
    if (plan_.number_rows) check(tblx_addcell_uint(t_, number));
    stored_field f;
    // Columns past the visible ones are sort keys only.
    for (std::size_t j = 0; j < plan_.visible && r.next(f); ++j) add_cell(plan_.columns[j], f);
    check(tblx_endrow(t_));
  }

 private:
  void add_cell(const column_settings& c, const stored_field& f) {
    if (f.tag == cell_tag::empty || (f.tag == cell_tag::missing && c.kind != column_kind::text)) {
      return check(tblx_addcell_empty(t_));
    }
    switch (c.kind) {
      case column_kind::int64:
        return check(tblx_addcell_int(t_, static_cast<std::int64_t>(f.bits)));
      case column_kind::uint64:
        return check(tblx_addcell_uint(t_, f.bits));
      case column_kind::hex:
        return check(tblx_addcell_hex(t_, f.bits));
      case column_kind::hex_text:
      case column_kind::decimal_text:
      case column_kind::decorated_text:
      case column_kind::text:
        break;
    }
    add_text(c, f);
  }

  void add_text(const column_settings& c, const stored_field& f) {
    const char* text = stored_text(f, digits_).data();
    if (f.escape && escapes_controls(plan_.format)) text = printable(text, escaped_, plan_.wrap);
    if (c.group != 0 && c.kind != column_kind::text) {
      const std::string_view grouped = group_digits(text, c.group, grouped_);
      if (grouped.data() != text) text = grouped_.c_str();
    }
    if (c.hex_upper && c.kind == column_kind::hex_text) {
      // Hex as written, its digits in upper case; "0x" stays.
      upper_.assign(text);
      std::transform(upper_.begin(), upper_.end(), upper_.begin(), [](char ch) {
        return ch >= 'a' && ch <= 'f' ? static_cast<char>(ch - 'a' + 'A') : ch;
      });
      text = upper_.c_str();
    }
    check(tblx_addcell_string(t_, text));
  }

  tblx_table* t_;
  const table_plan& plan_;
  char digits_[24] = {};
  std::string escaped_;
  std::string upper_;
  std::string grouped_;
};

// Asks for the cache line at `p` ahead of its use.
void prefetch(const void* p) {
#if defined(__GNUC__)
  __builtin_prefetch(p);
#else
  static_cast<void>(p);
#endif
}

// Puts the stored records, and their row numbers, in sorted order: a new
// store is written in that order and the old one freed, so that the rows
// are then added as unsorted ones are, each block of the store freed once
// the table holds its rows. The store and the table never both peak.
void sort_records(const table_plan& plan, dataset& data) {
  std::vector<const char*> records;
  {
    const std::vector<std::size_t> order = sorted_order(plan, data.records);
    records.reserve(order.size());
    for (const std::size_t r : order) records.push_back(data.records[r]);
    if (!data.numbers.empty()) {
      std::vector<std::uint64_t> numbers;
      numbers.reserve(order.size());
      for (const std::size_t r : order) numbers.push_back(data.numbers[r]);
      data.numbers = std::move(numbers);
    }
    // Only the records in their new order stay while the store is copied.
    std::vector<const char*>().swap(data.records);
  }
  row_store sorted;
  // The records are read in scattered order: each is fetched some records
  // ahead, so that its cache misses overlap the copies made meanwhile.
  constexpr std::size_t ahead = 16;
  const std::size_t n = records.size();
  for (std::size_t i = 0; i < n; ++i) {
    if (i + ahead < n) {
      prefetch(records[i + ahead]);
      prefetch(records[i + ahead] + 64);
    }
    sorted.add(encoded_record(records[i]));
  }
  data.rows = std::move(sorted);
}

}  // namespace

tabulix::table build_table(const table_plan& plan, dataset& data) {
  // The command sets what it prints itself: the C library's defaults.
  tabulix::table t = tabulix::table::c_defaults();
  t.set_style(style_of(plan.style));
  t.set_format(plan.format);
  // The input is valid UTF-8, checked when it was read.
  if (plan.display_widths) check(tblx_setwidthmode(t.get(), TBLX_WIDTH_DISPLAY));
  t.set_measure_titles(plan.measure_titles);
  t.set_multiline(plan.wrap);
  t.set_max_width(static_cast<unsigned>(plan.fit_width));
  for (const auto& f : plan.fillers) t.set_sum_filler(style_of(f.style), f.character);
  declare_columns(t, plan);

  row_adder adder(t, plan);
  const auto number_of = [&data](std::size_t r) -> std::uint64_t {
    return r < data.numbers.size() ? data.numbers[r] : 0;
  };
  if (!plan.sort.empty()) sort_records(plan, data);
  std::size_t r = 0;
  data.rows.drain([&](record_reader& reader) { adder.add(reader, number_of(r++)); });
  return t;
}

}  // namespace tabulix::cli
