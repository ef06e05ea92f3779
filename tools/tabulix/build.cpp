#include "build.hpp"

#include <cstdint>

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

bool needs_escape(unsigned char c) { return c < 0x20 || c == 0x7F; }

// The exact sum of a column, kept as the 64-bit wrapping sum that the
// library shows and a count of the times it wrapped: the shown sum is right
// exactly when the wraps cancel out.
class sum_check {
 public:
  void add_signed(std::int64_t v) {
    std::int64_t r;
    if (__builtin_add_overflow(signed_sum_, v, &r)) wraps_ += v < 0 ? -1 : 1;
    signed_sum_ = r;
  }
  void add_unsigned(std::uint64_t v) {
    std::uint64_t r;
    if (__builtin_add_overflow(unsigned_sum_, v, &r)) ++wraps_;
    unsigned_sum_ = r;
  }
  bool fits() const { return wraps_ == 0; }

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
    const column_plan& c = plan.columns[i];
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

}  // namespace

const char* printable(const char* text, std::string& buffer) {
  const char* p = text;
  while (*p != '\0' && !needs_escape(static_cast<unsigned char>(*p))) ++p;
  if (*p == '\0') return text;

  static constexpr char digits[] = "0123456789abcdef";
  buffer.assign(text, p);
  for (; *p != '\0'; ++p) {
    const auto c = static_cast<unsigned char>(*p);
    if (!needs_escape(c)) {
      buffer += *p;
    } else if (c == '\n') {
      buffer += "\\n";
    } else if (c == '\r') {
      buffer += "\\r";
    } else if (c == '\t') {
      buffer += "\\t";
    } else {
      buffer += "\\x";
      buffer += digits[c >> 4];
      buffer += digits[c & 0xF];
    }
  }
  return buffer.c_str();
}

tabulix::table build_table(const table_plan& plan, const dataset& data) {
  tabulix::table t;
  t.set_style(library_style(plan.style));
  for (const auto& f : plan.fillers) t.set_sum_filler(library_style(f.style), f.character);
  const std::vector<std::int32_t> ids = declare_columns(t, plan);

  std::vector<sum_check> sums(plan.columns.size());
  std::string buffer;
  for (const auto& r : data.records) add_row(t, plan, data, r, sums, buffer);
  for (std::size_t i = 0; i < plan.columns.size(); ++i) {
    if (!sums[i].fits()) {
      throw data_error("column '" + plan.columns[i].title + "': the sum does not fit in 64 bits");
    }
  }

  // The sort is stable: sorting by the last key first leaves the first key
  // given as the primary one.
  for (auto key = plan.sort.rbegin(); key != plan.sort.rend(); ++key) {
    t.sort(ids[key->column], key->descending ? tabulix::order::desc : tabulix::order::asc);
  }
  return t;
}

}  // namespace tabulix::cli
