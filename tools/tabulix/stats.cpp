// SPDX-License-Identifier: MIT
#include "stats.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <deque>
#include <iterator>
#include <optional>
#include <string_view>
#include <utility>

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

// "2.50" with `keep` digits after the point at least: "3.0" to "3".
std::string trimmed(std::string text, std::uint32_t keep) {
  const auto point = text.find('.');
  if (point == std::string::npos) return text;
  while (text.size() > point + 1 + keep && text.back() == '0') text.pop_back();
  if (text.back() == '.') text.pop_back();
  return text;
}

// The number of different texts, exactly: an open-addressing set of their
// positions, which holds no copy of a text and makes no allocation per text.
std::uint64_t count_distinct(const std::vector<std::string_view>& texts) {
  std::size_t size = 16;
  while (size < texts.size() * 2) size *= 2;
  std::vector<std::uint32_t> slots(size);  // position + 1 of a text; 0: free
  std::vector<std::size_t> hashes(texts.size());
  const std::hash<std::string_view> hash;
  std::uint64_t distinct = 0;
  for (std::size_t i = 0; i < texts.size(); ++i) {
    const std::size_t h = hashes[i] = hash(texts[i]);
    for (std::size_t at = h & (size - 1);; at = (at + 1) & (size - 1)) {
      const std::uint32_t other = slots[at];
      if (other == 0) {
        slots[at] = static_cast<std::uint32_t>(i + 1);
        ++distinct;
        break;
      }
      if (hashes[other - 1] == h && texts[other - 1] == texts[i]) break;
    }
  }
  return distinct;
}

// Sorts unsigned 64-bit keys by their 16-bit digits, least significant
// first, skipping digits that every key shares: a column of 32-bit values
// takes two passes.
void radix_sort(std::vector<std::uint64_t>& keys) {
  std::vector<std::uint64_t> spare(keys.size());
  for (unsigned shift = 0; shift < 64; shift += 16) {
    std::vector<std::size_t> counts(std::size_t{1} << 16);
    for (const std::uint64_t k : keys) ++counts[(k >> shift) & 0xFFFF];
    if (counts[(keys.front() >> shift) & 0xFFFF] == keys.size()) continue;
    std::size_t at = 0;
    for (auto& c : counts) at += std::exchange(c, at);
    for (const std::uint64_t k : keys) spare[counts[(k >> shift) & 0xFFFF]++] = k;
    keys.swap(spare);
  }
}

// An exact sum of 64-bit integers in 128 bits, as four 32-bit limbs of the
// positive and of the negative values (2^31 rows of 2^64 cannot overflow).
class integer_sum {
 public:
  void add(bool negative, std::uint64_t magnitude) {
    std::uint64_t(&limbs)[2] = negative ? negative_ : positive_;
    const std::uint64_t low = limbs[0] + magnitude;
    limbs[1] += low < magnitude ? 1 : 0;
    limbs[0] = low;
  }
  [[nodiscard]] exact_decimal total() const {
    exact_decimal sum = value_of(positive_, false);
    sum.add(value_of(negative_, true));
    return sum;
  }

 private:
  static exact_decimal value_of(const std::uint64_t (&limbs)[2], bool negative) {
    // The digits by long division by 10^9, least significant group first.
    std::uint32_t words[4] = {
        static_cast<std::uint32_t>(limbs[1] >> 32), static_cast<std::uint32_t>(limbs[1]),
        static_cast<std::uint32_t>(limbs[0] >> 32), static_cast<std::uint32_t>(limbs[0])};
    std::string digits;
    for (;;) {
      std::uint64_t rest = 0;
      bool zero = true;
      for (auto& w : words) {
        const std::uint64_t part = (rest << 32) | w;
        w = static_cast<std::uint32_t>(part / 1000000000U);
        rest = part % 1000000000U;
        zero = zero && w == 0;
      }
      std::string group = std::to_string(rest);
      if (!zero) group.insert(0, 9 - group.size(), '0');
      digits.insert(0, group);
      if (zero) break;
    }
    if (negative) digits.insert(0, 1, '-');
    return *exact_decimal::parse(digits);
  }

  std::uint64_t positive_[2] = {};
  std::uint64_t negative_[2] = {};
};

// The magnitude of "[+-]digits[.digits]" as an integer with `scale` digits
// after the point (at least as many as it has), or nothing when that does
// not fit 64 bits or the text is written otherwise.
std::optional<std::uint64_t> scaled_magnitude(std::string_view t, std::uint32_t scale) {
  if (!t.empty() && (t.front() == '-' || t.front() == '+')) t.remove_prefix(1);
  constexpr std::uint64_t limit = (std::uint64_t{1} << 63) / 10;
  std::uint64_t m = 0;
  std::uint32_t fraction = 0;
  bool point = false;
  for (const char c : t) {
    if (c == '.' && !point) {
      point = true;
      continue;
    }
    if (c < '0' || c > '9' || m >= limit) return std::nullopt;
    m = m * 10 + static_cast<std::uint64_t>(c - '0');
    fraction += point ? 1 : 0;
  }
  for (; fraction < scale; ++fraction) {
    if (m >= limit) return std::nullopt;
    m *= 10;
  }
  if (fraction != scale) return std::nullopt;
  return m;
}

// An integer's digits with `scale` of them after the point.
exact_decimal with_point(const exact_decimal& integer, std::uint32_t scale) {
  std::string digits = integer.to_string();
  const bool negative = digits.front() == '-';
  if (negative) digits.erase(0, 1);
  if (scale != 0) {
    if (digits.size() <= scale) digits.insert(0, scale + 1 - digits.size(), '0');
    digits.insert(digits.size() - scale, 1, '.');
  }
  if (negative) digits.insert(0, 1, '-');
  return *exact_decimal::parse(digits);
}

// A decimal number's value as the nearest double (correctly rounded, so
// that the order of doubles never contradicts the exact order).
double nearest_double(std::string_view text) {
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  double value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  static_cast<void>(end);
  if (ec == std::errc::result_out_of_range) return value_of(text);
  return value;
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
      bits_.push_back(f.bits);
      return;
    }
    std::string_view text = f.text;
    if (text.empty() && f.tag != cell_tag::text && f.tag != cell_tag::missing) {
      // A number stored as its value alone, in a column shown as text.
      char digits[24];
      text = owned_.emplace_back(stored_text(f, digits));
    }
    texts_.push_back(text);
  }

  // Rows that end before the column have an empty cell there too.
  void add_rows_without(std::uint64_t n) { rows_ += n; }

  column_figures figures(bool ascii) {
    column_figures out;
    out.name = c_.title;
    out.type = type_text(c_.kind);
    out.values = values_;
    out.empty = rows_ - values_;
    if (values_ == 0) return out;
    if (is_integer_kind(c_.kind)) {
      integer_figures(out);
    } else {
      out.distinct = count_distinct(texts_);
      if (c_.kind == column_kind::text) {
        const auto [lo, hi] = std::minmax_element(texts_.begin(), texts_.end());
        out.min = std::string(*lo);
        out.max = std::string(*hi);
        return out;
      }
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
    if (is_hex()) return exact_decimal(false, bits, 0).to_hex(c_.hex_upper);
    return is_signed() ? std::to_string(static_cast<std::int64_t>(bits)) : std::to_string(bits);
  }

  [[nodiscard]] exact_decimal integer_value(std::uint64_t bits) const {
    const auto v = static_cast<std::int64_t>(bits);
    if (is_signed() && v < 0) return {true, 0 - bits, 0};
    return {false, bits, 0};
  }

  // Integers sorted once: minimum, maximum, median and distinct values.
  void integer_figures(column_figures& out) {
    // Flipping the sign bit orders two's complement as unsigned.
    const std::uint64_t sign = is_signed() ? std::uint64_t{1} << 63 : 0;
    for (auto& b : bits_) b ^= sign;
    radix_sort(bits_);
    for (auto& b : bits_) b ^= sign;
    out.distinct = static_cast<std::uint64_t>(
        std::unique_copy(bits_.begin(), bits_.end(), counting_iterator{}).count);
    integer_sum sum;
    doubles_.reserve(bits_.size());
    for (const std::uint64_t b : bits_) {
      const bool negative = is_signed() && static_cast<std::int64_t>(b) < 0;
      sum.add(negative, negative ? 0 - b : b);
      doubles_.push_back(is_signed() ? static_cast<double>(static_cast<std::int64_t>(b))
                                     : static_cast<double>(b));
    }
    const exact_decimal total = sum.total();
    out.min = integer_text(bits_.front());
    out.max = integer_text(bits_.back());
    const std::size_t mid = bits_.size() / 2;
    if (is_hex()) {
      out.sum = total.to_hex(c_.hex_upper);
      out.median = integer_text(bits_[bits_.size() % 2 == 1 ? mid : mid - 1]);
      return;
    }
    out.sum = total.to_string();
    out.mean = total.divided(values_, 2).to_string();
    if (bits_.size() % 2 == 1) {
      out.median = integer_text(bits_[mid]);
      return;
    }
    exact_decimal pair = integer_value(bits_[mid - 1]);
    pair.add(integer_value(bits_[mid]));
    out.median = trimmed(pair.divided(2, 1).to_string(), 0);
  }

  // Counts what unique_copy writes.
  struct counting_iterator {
    using iterator_category = std::output_iterator_tag;
    using value_type = void;
    using difference_type = std::ptrdiff_t;
    using pointer = void;
    using reference = void;
    std::size_t count = 0;
    counting_iterator& operator*() { return *this; }
    counting_iterator& operator=(std::uint64_t /*value*/) {
      ++count;
      return *this;
    }
    counting_iterator& operator++() { return *this; }
    counting_iterator operator++(int) { return *this; }
  };

  // Numbers shown as written, ordered by their nearest doubles and, where
  // those are equal, exactly.
  void sort_by_value(bool decorated) {
    std::vector<std::pair<double, std::string_view>> keyed;
    keyed.reserve(texts_.size());
    for (const auto t : texts_) keyed.emplace_back(decorated ? value_of(t) : nearest_double(t), t);
    std::sort(keyed.begin(), keyed.end(), [decorated](const auto& a, const auto& b) {
      if (a.first != b.first || decorated) return a.first < b.first;
      return compare_decimal(a.second, b.second) < 0;
    });
    doubles_.reserve(keyed.size());
    for (std::size_t i = 0; i < keyed.size(); ++i) {
      doubles_.push_back(keyed[i].first);
      texts_[i] = keyed[i].second;
    }
  }

  void text_number_figures(column_figures& out) {
    const bool decorated = c_.kind == column_kind::decorated_text;
    const bool exponent = s_.guess.has_exponent();
    sort_by_value(decorated);
    out.min = std::string(texts_.front());
    out.max = std::string(texts_.back());
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
      // Most values fit 64 bits as integers scaled to the column's digits
      // after the point, and add up in 128; the others add exactly apart.
      integer_sum scaled;
      exact_sum others;
      for (const auto t : texts_) {
        if (const auto m = scaled_magnitude(t, digits)) {
          scaled.add(t.front() == '-', *m);
        } else {
          static_cast<void>(others.add(t));
        }
      }
      exact_decimal total = with_point(scaled.total(), digits);
      total.add(others.total());
      out.sum = total.to_string();
      out.mean = total.divided(values_, digits + 2).to_string();
    }
    const std::size_t mid = texts_.size() / 2;
    if (texts_.size() % 2 == 1) {
      out.median = std::string(texts_[mid]);
      return;
    }
    const auto a = exact_decimal::parse(texts_[mid - 1]);
    const auto b = exact_decimal::parse(texts_[mid]);
    if (decorated || exponent || !a || !b) {
      out.median = std::string(texts_[mid - 1]);  // the lower of the two middle values
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
  // Halves keep the span finite for any finite values; an infinite value
  // gives NaN or 0 shares, which go to the first bin, and the largest value
  // to the last.
  const double low = *lo / 2;
  const double span = *hi / 2 - low;
  std::uint64_t counts[bins] = {};
  for (const double v : values) {
    const double share = span > 0 ? (v / 2 - low) / span : 0;
    std::size_t bin = 0;
    if (v >= *hi && span > 0) {
      bin = bins - 1;
    } else if (share > 0) {
      bin = std::min(static_cast<std::size_t>(share * bins), bins - 1);
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
    const auto level = static_cast<std::size_t>((n * levels + fullest - 1) / fullest);
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
  for (std::size_t j = 0; j < plan.visible; ++j)
    columns.emplace_back(plan.columns[j], data.stats[j]);
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
  t.set_style(style_of(plan.style));
  t.set_format(plan.format);
  t.set_measure_titles(true);
  t.set_max_width(static_cast<unsigned>(plan.fit_width));
  // Widths count terminal columns, as the table of rows does.
  if (plan.display_widths && tblx_setwidthmode(t.get(), TBLX_WIDTH_DISPLAY) != TBLX_OK) {
    throw std::bad_alloc();
  }
  // Fitting to a width may cut texts, never numbers or histograms: the
  // figures of number columns set their columns' least width.
  const auto widest = [&figures](std::string column_figures::*field) {
    std::size_t w = 0;
    for (const auto& f : figures) {
      if (f.type != "string") w = std::max(w, (f.*field).size());
    }
    return static_cast<int>(std::min<std::size_t>(w, 65535));
  };
  const auto text_column = [&t](const char* title, bool right, int least = 0) {
    tabulix::column_spec c(tabulix::type::string, title);
    c.min_width(least);
    if (right) c.cell_just(tabulix::just::right).title_just(tabulix::just::right);
    t.add_column(c);
  };
  const auto count_column = [&t](const char* title) {
    t.add_column(tabulix::column_spec(tabulix::type::uint64, title)
                     .cell_just(tabulix::just::right)
                     .title_just(tabulix::just::right));
  };
  text_column("Column", false);
  text_column("Type", false);
  count_column("Values");
  count_column("Empty");
  count_column("Distinct");
  text_column("Min", true, widest(&column_figures::min));
  text_column("Max", true, widest(&column_figures::max));
  text_column("Mean", true, widest(&column_figures::mean));
  text_column("Sum", true, widest(&column_figures::sum));
  text_column("Median", true, widest(&column_figures::median));
  text_column("Histogram", false, 10);
  t.end_header();
  for (const auto& f : figures) {
    t.add_row(f.name, f.type, f.values, f.empty, f.distinct, f.min, f.max, f.mean, f.sum, f.median,
              f.histogram);
  }
  return t;
}

}  // namespace tabulix::cli
