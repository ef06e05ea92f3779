// SPDX-License-Identifier: MIT
#include "stats.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <deque>
#include <optional>
#include <string_view>
#include <unordered_set>

#include "decimal.hpp"
#include "figures.hpp"
#include "infer.hpp"

namespace tabulix::cli {

namespace {

bool is_integer_kind(column_kind k) {
  return k == column_kind::int64 || k == column_kind::uint64 || k == column_kind::hex ||
         k == column_kind::hex_text;
}

std::string type_text(column_kind k) {
  switch (k) {
    case column_kind::int64:
      return "int";
    case column_kind::uint64:
      return "uint";
    case column_kind::hex:
    case column_kind::hex_text:
      return "hex";
    case column_kind::decimal_text:
      return "decimal";
    case column_kind::decorated_text:
      return "number";
    case column_kind::text:
      break;
  }
  return "string";
}

// The values of one column, gathered from the stored rows.
class column_gatherer {
 public:
  column_gatherer(const column_settings& c, const column_stats& s) : c_(c), s_(s) {}

  void add(const stored_field& f) {
    ++rows_;
    if (f.tag == cell_tag::end || f.tag == cell_tag::empty ||
        (f.tag == cell_tag::missing && c_.kind != column_kind::text)) {
      return;
    }
    ++values_;
    if (is_integer_kind(c_.kind)) {
      distinct_bits_.insert(f.bits);
      bits_.push_back(f.bits);
      return;
    }
    std::string_view text = f.text;
    if (text.empty() && f.tag != cell_tag::text && f.tag != cell_tag::missing) {
      // A number stored as its value alone, in a column shown as text.
      char digits[24];
      const auto [end, ec] =
          f.tag == cell_tag::int64
              ? std::to_chars(digits, digits + sizeof digits, static_cast<std::int64_t>(f.bits))
              : std::to_chars(digits, digits + sizeof digits, f.bits);
      static_cast<void>(ec);  // 24 bytes hold any 64-bit number
      text = owned_.emplace_back(digits, static_cast<std::size_t>(end - digits));
    }
    distinct_texts_.insert(text);
    texts_.push_back(text);
  }

  // Rows that end before the column have an empty cell there too.
  void add_rows_without(std::uint64_t n) { rows_ += n; }
  [[nodiscard]] std::uint64_t rows() const { return rows_; }

  column_figures figures(bool ascii) {
    column_figures out;
    out.name = c_.title;
    out.type = type_text(c_.kind);
    out.values = values_;
    out.empty = rows_ - values_;
    out.distinct = distinct_bits_.size() + distinct_texts_.size();
    if (values_ == 0) return out;
    if (c_.kind == column_kind::text) {
      const auto [lo, hi] = std::minmax_element(texts_.begin(), texts_.end());
      out.min = std::string(*lo);
      out.max = std::string(*hi);
      return out;
    }
    if (is_integer_kind(c_.kind)) {
      integer_figures(out);
    } else {
      text_number_figures(out);
    }
    out.histogram = histogram(doubles_, ascii);
    return out;
  }

 private:
  [[nodiscard]] bool is_signed() const { return c_.kind == column_kind::int64; }
  [[nodiscard]] bool is_hex() const {
    return c_.kind == column_kind::hex || c_.kind == column_kind::hex_text;
  }

  [[nodiscard]] std::string integer_text(std::uint64_t bits) const {
    if (is_hex()) {
      exact_decimal d(false, bits, 0);
      return d.to_hex(c_.hex_upper);
    }
    return is_signed() ? std::to_string(static_cast<std::int64_t>(bits)) : std::to_string(bits);
  }

  [[nodiscard]] exact_decimal integer_value(std::uint64_t bits) const {
    if (is_signed()) {
      const auto v = static_cast<std::int64_t>(bits);
      return {v < 0, v < 0 ? 0 - bits : bits, 0};
    }
    return {false, bits, 0};
  }

  void integer_figures(column_figures& out) {
    const auto less = [this](std::uint64_t a, std::uint64_t b) {
      return is_signed() ? static_cast<std::int64_t>(a) < static_cast<std::int64_t>(b) : a < b;
    };
    exact_sum sum;
    doubles_.reserve(bits_.size());
    for (const std::uint64_t b : bits_) {
      const exact_decimal v = integer_value(b);
      const auto x = static_cast<std::int64_t>(b);
      sum.add(is_signed() && x < 0, is_signed() && x < 0 ? 0 - b : b, 0);
      doubles_.push_back(is_signed() ? static_cast<double>(x) : static_cast<double>(b));
    }
    const exact_decimal total = sum.total();
    if (is_hex()) {
      out.sum = total.to_hex(c_.hex_upper);
    } else {
      out.sum = total.to_string();
      out.mean = total.divided(values_, 2).to_string();
    }
    const std::size_t mid = bits_.size() / 2;
    std::nth_element(bits_.begin(), bits_.begin() + static_cast<std::ptrdiff_t>(mid), bits_.end(),
                     less);
    const std::uint64_t upper = bits_[mid];
    const auto [lo, hi] = std::minmax_element(bits_.begin(), bits_.end(), less);
    out.min = integer_text(*lo);
    out.max = integer_text(*hi);
    if (bits_.size() % 2 == 1 || is_hex()) {
      out.median = integer_text(bits_.size() % 2 == 1 || !is_hex()
                                    ? upper
                                    : *std::max_element(bits_.begin(), bits_.begin() +
                                                                        static_cast<std::ptrdiff_t>(mid),
                                                        less));
      return;
    }
    const std::uint64_t lower = *std::max_element(
        bits_.begin(), bits_.begin() + static_cast<std::ptrdiff_t>(mid), less);
    exact_decimal pair = integer_value(lower);
    pair.add(integer_value(upper));
    out.median = trimmed(pair.divided(2, 1).to_string(), 0);
  }

  // "2.50" with `keep` digits after the point at least: "3.0" to "3".
  static std::string trimmed(std::string text, std::uint32_t keep) {
    const auto point = text.find('.');
    if (point == std::string::npos) return text;
    while (text.size() > point + 1 + keep && text.back() == '0') text.pop_back();
    if (text.back() == '.') text.pop_back();
    return text;
  }

  void text_number_figures(column_figures& out) {
    const bool decorated = c_.kind == column_kind::decorated_text;
    const bool exponent = s_.guess.has_exponent();
    std::vector<double> values;
    doubles_.reserve(texts_.size());
    for (const auto t : texts_) doubles_.push_back(value_of(t));
    const auto less = [&](std::string_view a, std::string_view b) {
      if (decorated) return value_of(a) < value_of(b);
      return compare_decimal(a, b) < 0;
    };
    const auto [lo, hi] = std::minmax_element(texts_.begin(), texts_.end(), less);
    out.min = std::string(*lo);
    out.max = std::string(*hi);
    const std::uint32_t digits = s_.guess.fraction_digits();
    if (decorated) {
      figure_counter sum(figure::sum);
      figure_counter mean(figure::mean);
      for (const auto t : texts_) {
        const field_scan s = scan_field(t);
        sum.add(t, s);
        mean.add(t, s);
      }
      if (sum.refusal(c_.kind, exponent).empty()) {
        out.sum = sum.text(c_.kind, false, digits);
        out.mean = mean.text(c_.kind, false, digits);
      }
    } else if (!exponent) {
      exact_sum sum;
      for (const auto t : texts_) static_cast<void>(sum.add(t));
      out.sum = sum.total().to_string();
      out.mean = sum.total().divided(values_, digits + 2).to_string();
    }
    const std::size_t mid = texts_.size() / 2;
    std::nth_element(texts_.begin(), texts_.begin() + static_cast<std::ptrdiff_t>(mid),
                     texts_.end(), less);
    const std::string_view upper = texts_[mid];
    if (texts_.size() % 2 == 1) {
      out.median = std::string(upper);
      return;
    }
    const std::string_view lower =
        *std::max_element(texts_.begin(), texts_.begin() + static_cast<std::ptrdiff_t>(mid), less);
    const auto a = exact_decimal::parse(lower);
    const auto b = exact_decimal::parse(upper);
    if (decorated || exponent || !a || !b) {
      out.median = std::string(lower);  // the lower of the two middle values
      return;
    }
    exact_decimal pair = *a;
    pair.add(*b);
    out.median = trimmed(pair.divided(2, digits + 1).to_string(), digits);
  }

  const column_settings& c_;
  const column_stats& s_;
  std::uint64_t rows_ = 0;
  std::uint64_t values_ = 0;
  std::unordered_set<std::uint64_t> distinct_bits_;
  std::unordered_set<std::string_view> distinct_texts_;
  std::vector<std::uint64_t> bits_;
  std::vector<std::string_view> texts_;
  std::deque<std::string> owned_;
  std::vector<double> doubles_;
};

}  // namespace

std::string histogram(const std::vector<double>& values, bool ascii) {
  constexpr std::size_t bins = 10;
  if (values.empty()) return "";
  const auto [lo, hi] = std::minmax_element(values.begin(), values.end());
  const double low = *lo;
  const double span = *hi - *lo;
  std::uint64_t counts[bins] = {};
  for (const double v : values) {
    std::size_t bin = 0;
    if (span > 0) {
      bin = static_cast<std::size_t>((v - low) / span * bins);
      bin = std::min(bin, bins - 1);  // the largest value falls in the last bin
    }
    ++counts[bin];
  }
  static constexpr const char* blocks[] = {"▁", "▂", "▃", "▄", "▅", "▆", "▇", "█"};
  static constexpr std::string_view marks = ".:-=+*#%@";
  const std::uint64_t fullest = *std::max_element(std::begin(counts), std::end(counts));
  const std::uint64_t levels = ascii ? marks.size() : std::size(blocks);
  std::string text;
  for (const std::uint64_t n : counts) {
    if (n == 0) {
      text += ' ';
      continue;
    }
    // Levels 1 to `levels`, rounded up: any value shows.
    const std::uint64_t level = (n * levels + fullest - 1) / fullest;
    if (ascii) {
      text += marks[level - 1];
    } else {
      text += blocks[level - 1];
    }
  }
  return text;
}

std::vector<column_figures> column_statistics(const table_plan& plan, const dataset& data,
                                              bool ascii) {
  std::vector<column_gatherer> columns;
  columns.reserve(plan.visible);
  for (std::size_t j = 0; j < plan.visible; ++j) columns.emplace_back(plan.columns[j], data.stats[j]);
  const auto take = [&](const char* record) {
    record_reader reader(record);
    stored_field f;
    std::size_t j = 0;
    for (; j < columns.size() && reader.next(f); ++j) columns[j].add(f);
    for (; j < columns.size(); ++j) columns[j].add_rows_without(1);
  };
  if (!data.records.empty()) {
    for (const char* r : data.records) take(r);
  } else {
    data.rows.each(take);
  }
  std::vector<column_figures> out;
  out.reserve(columns.size());
  for (auto& c : columns) out.push_back(c.figures(ascii));
  return out;
}

tabulix::table build_stats_table(const table_plan& plan, const dataset& data, bool ascii) {
  const std::vector<column_figures> figures = column_statistics(plan, data, ascii);
  tabulix::table t;
  t.set_style(plan.style);
  t.set_format(plan.format);
  t.set_measure_titles(true);
  // Widths count terminal columns, as the table of rows does.
  if (plan.display_widths && tblx_setwidthmode(t.get(), TBLX_WIDTH_DISPLAY) != TBLX_OK) {
    throw std::bad_alloc();
  }
  const auto text_column = [&t](const char* title, bool right) {
    auto c = t.add_column(tabulix::type::string);
    c.title(title);
    if (right) c.cell_just(tabulix::just::right).title_just(tabulix::just::right);
  };
  const auto count_column = [&t](const char* title) {
    t.add_column(tabulix::type::uint64)
        .title(title)
        .cell_just(tabulix::just::right)
        .title_just(tabulix::just::right);
  };
  text_column("Column", false);
  text_column("Type", false);
  count_column("Values");
  count_column("Empty");
  count_column("Distinct");
  text_column("Min", true);
  text_column("Max", true);
  text_column("Mean", true);
  text_column("Sum", true);
  text_column("Median", true);
  text_column("Histogram", false);
  t.end_header();
  for (const auto& f : figures) {
    t.add_row(f.name, f.type, f.values, f.empty, f.distinct, f.min, f.max, f.mean, f.sum,
              f.median, f.histogram);
  }
  return t;
}

}  // namespace tabulix::cli
