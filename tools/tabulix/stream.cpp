// SPDX-License-Identifier: MIT
#include "stream.hpp"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#if !defined(_WIN32)
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "build.hpp"
#include "csv.hpp"
#include "errors.hpp"
#include "input.hpp"
#include "load.hpp"
#include "store.hpp"
#include "text.hpp"

namespace tabulix::cli {

namespace {

// How long the input may pause before the first rows are printed.
constexpr int idle_ms = 200;
// Rows printed together while the input keeps coming: one write each.
constexpr std::size_t rows_per_flush = 1024;

// What a read that would wait tells the one who prints.
class wait_listener {
 public:
  // No input is ready: what is pending should be written now.
  virtual void before_wait() = 0;
  // None came for idle_ms either.
  virtual void idle() = 0;

 protected:
  wait_listener() = default;
  wait_listener(const wait_listener&) = default;
  wait_listener& operator=(const wait_listener&) = default;
  wait_listener(wait_listener&&) = default;
  wait_listener& operator=(wait_listener&&) = default;
  ~wait_listener() = default;
};

#if !defined(_WIN32)
// A pipe or a terminal, read with poll(): a read gives what has arrived, so
// that a record is printed as soon as its line is in, and a pause is seen.
// While the first bytes are sampled (to tell the delimiter), a pause after
// some bytes ends the sample, as the end of the input would.
class pipe_source final : public byte_source {
 public:
  pipe_source(int fd, std::string name, wait_listener& listener)
      : fd_(fd), name_(std::move(name)), listener_(listener) {}

  void end_sampling() { sampling_ = false; }

  std::size_t read(char* to, std::size_t size) override {
    if (!ready(0)) {
      if (!sampling_) listener_.before_wait();
      // A pause that ended the sample counts as the pause before the rows.
      if (paused_ || !ready(idle_ms)) {
        if (sampling_ && got_any_) {
          paused_ = true;
          return 0;
        }
        paused_ = false;
        listener_.idle();
        wait_for_input();
      }
    }
    for (;;) {
      const ssize_t n = ::read(fd_, to, size);
      if (n >= 0) {
        got_any_ = got_any_ || n > 0;
        return static_cast<std::size_t>(n);
      }
      if (errno != EINTR && errno != EAGAIN) {
        throw input_error(name_, 0, 0, std::string("read error: ") + std::strerror(errno));
      }
      if (errno == EAGAIN) wait_for_input();
    }
  }

 private:
  // Whether a read would not wait, after waiting up to timeout_ms (-1: for
  // ever). An error of poll lets the read report it.
  [[nodiscard]] bool ready(int timeout_ms) const {
    pollfd p{fd_, POLLIN, 0};
    for (;;) {
      const int r = ::poll(&p, 1, timeout_ms);
      if (r >= 0) return r > 0;
      if (errno != EINTR) return true;
    }
  }

  void wait_for_input() const { static_cast<void>(ready(-1)); }

  int fd_;
  std::string name_;
  wait_listener& listener_;
  bool sampling_ = true;
  bool got_any_ = false;
  bool paused_ = false;  // the sample ended at a pause, and no input came since
};
#endif

void check(tblx_status rc) {
  if (rc != TBLX_OK) {
    throw std::system_error(tabulix::make_error_code(static_cast<tabulix::errc>(rc)));
  }
}

bool is_library_number(column_kind k) {
  return k == column_kind::int64 || k == column_kind::uint64 || k == column_kind::hex;
}

// A value read as the type the user chose, leniently, as the loader reads it.
bool scan_forced(value_type t, std::string_view v, field_scan& s) {
  switch (t) {
    case value_type::string:
      s = scan_field(v);
      return true;
    case value_type::int64:
      if (const auto n = parse_int(v, true)) {
        s.kind = field_scan::form::integer;
        s.int64 = true;
        s.i = *n;
        return true;
      }
      return false;
    case value_type::uint64:
      if (const auto n = parse_uint(v, true)) {
        s.kind = field_scan::form::integer;
        s.uint64 = true;
        s.u = *n;
        return true;
      }
      return false;
    case value_type::hex:
      if (const auto n = parse_hex(v, true)) {
        s.kind = field_scan::form::hex;
        s.u = *n;
        return true;
      }
      return false;
  }
  return false;
}

// Whether a guessed column of this kind takes the value.
bool fits_kind(column_kind k, const field_scan& s) {
  using form = field_scan::form;
  switch (k) {
    case column_kind::text:
      return true;
    case column_kind::int64:
      return s.kind == form::integer && s.int64;
    case column_kind::uint64:
      return s.kind == form::integer && (s.uint64 || s.i >= 0);
    case column_kind::hex:
    case column_kind::hex_text:
      return s.kind == form::hex;
    case column_kind::decimal_text:
      return s.kind == form::integer || s.kind == form::decimal;
    case column_kind::decorated_text:
      return s.kind != form::text && s.kind != form::hex;
  }
  return false;
}

// The printer of --stream. The loader keeps the first records; at the N-th
// row, or when the input pauses, the plan is made from them and the table
// is built and flushed, which freezes its layout. Number columns go to the
// library as text, right-aligned as its numbers are, so that a later value
// of another type can still be shown in them.
class streamer final : public record_sink, public wait_listener {
 public:
  streamer(const options& opts, const output_place& place, std::FILE* out)
      : opts_(opts), place_(place), out_(out) {}

  void attach(dataset& data) override { data_ = &data; }

  std::unique_ptr<byte_source> open(std::FILE* in, const std::string& name,
                                    text_encoding encoding) override {
    pipe_ = nullptr;
#if !defined(_WIN32)
    struct stat st {};
    if (fstat(fileno(in), &st) == 0 && !S_ISREG(st.st_mode)) {
      auto raw = std::make_unique<pipe_source>(fileno(in), name, *this);
      pipe_ = raw.get();
      return decode_source(std::move(raw), name, encoding);
    }
#endif
    return open_source(in, name, encoding);
  }

  void reading() override {
#if !defined(_WIN32)
    if (pipe_ != nullptr) pipe_->end_sampling();
#endif
  }

  bool streaming() override {
    if (!table_ && data_->rows.size() >= *opts_.stream) start();
    return table_.has_value();
  }

  void take(const csv_record& record, const std::string& name) override {
    ++taken_;
    add_record(record, name);
    if (++pending_ >= rows_per_flush) flush();
  }

  [[nodiscard]] std::uint64_t taken() const override { return taken_; }

  void before_wait() override {
    if (table_ && pending_ != 0) flush();
  }

  // The rows read before a fault in the input are shown before it is
  // reported; a failure here would only hide that fault.
  void input_failed() noexcept override {
    try {
      if (!table_ && data_ != nullptr && data_->rows.size() != 0) start();
      if (table_ && pending_ != 0) flush();
    } catch (...) {  // NOLINT(bugprone-empty-catch): the fault in the input is what counts
    }
  }

  void idle() override {
    if (!table_ && data_ != nullptr && data_->rows.size() != 0) start();
  }

  // After the input: the rows not printed yet, then the summary line of
  // every row read (which closes the document of the HTML and JSON formats).
  void finish(dataset& data) {
    data_ = &data;
    if (!table_) {
      if (data.input_titles.empty()) return;  // no input, no table
      start();
    } else if (pending_ != 0) {
      flush();
    }
    const tabulix::section summary =
        sections_ & (tabulix::section::sum_rule | tabulix::section::sum);
    if (summary != tabulix::section{}) {
      const table_plan figures = make_plan(opts_, data, place_);
      for (std::size_t j = 0; j < figures.columns.size(); ++j) {
        if (!figures.columns[j].summary) continue;
        check(tblx_setsumtext(table_->get(), static_cast<std::int32_t>(j + 1),
                              figures.columns[j].summary->c_str()));
      }
    }
    std::error_code ec;
    table_->print(out_, summary, ec);
    if (ec) fail_output(ec);
    if (misfits_ != 0) {
      const bool one = misfits_ == 1;
      const std::string note = "tabulix: " + std::to_string(misfits_) +
                               (one ? " value" : " values") + " did not fit the type of " +
                               (one ? "its" : "their") +
                               " column, taken from the first rows: shown as text, left out of "
                               "the figures\n";
      std::fputs(note.c_str(), stderr);
    }
  }

 private:
  void start() {
    dataset& data = *data_;
    plan_ = make_plan(opts_, data, place_);
    sections_ = plan_.sections;
    shown_ = data.requests.shown;
    all_shown_ = data.requests.all_shown;
    // JSON tells numbers from texts: there the columns stay numbers.
    numbers_as_text_ =
        plan_.format != tabulix::format::json && plan_.format != tabulix::format::jsonl;
    table_plan as_text = plan_;
    for (std::size_t j = 0; j < as_text.columns.size(); ++j) {
      column_settings& c = as_text.columns[j];
      if (!numbers_as_text_ || !is_library_number(c.kind)) continue;
      // Shown as text: the suffix, digit groups, letter case and zeros are
      // written by add_number.
      c.kind = c.kind == column_kind::hex ? column_kind::hex_text : column_kind::decimal_text;
      c.suffix.reset();
      c.leading_zeros = false;
      c.hex_upper = false;
      c.group = 0;
      if (as_text.fit_width > 0) {
        const std::size_t suffix =
            plan_.columns[j].suffix ? shown_width(*plan_.columns[j].suffix, unit_of(opts_)) : 0;
        const std::size_t widest = data.stats[j].widest + suffix;
        c.min_width =
            std::max(c.min_width, static_cast<int>(std::min<std::size_t>(widest, INT32_MAX)));
      }
    }
    dataset none;
    table_.emplace(build_table(as_text, none));
    data.rows.drain([this](record_reader& r) { add_stored(r); });
    data.records.clear();
    flush();
  }

  void flush() {
    std::error_code ec;
    table_->flush_rows(out_,
                       sections_ & (tabulix::section::titles | tabulix::section::title_rule |
                                    tabulix::section::rows),
                       ec);
    if (ec) fail_output(ec);
    pending_ = 0;
  }

  [[noreturn]] static void fail_output(std::error_code ec) {
    if (ec == tabulix::errc::output_error) {
      throw std::system_error(errno != 0 ? errno : EIO, std::generic_category(),
                              "cannot write the output");
    }
    throw std::system_error(ec);
  }

  // A row kept by the loader, whose values fit their columns.
  void add_stored(record_reader& r) {
    check(tblx_beginrow(table_->get()));
    stored_field f;
    char digits[24];
    for (std::size_t j = 0; r.next(f); ++j) {
      if (f.tag == cell_tag::empty) {
        check(tblx_addcell_empty(table_->get()));
      } else if (f.tag == cell_tag::missing) {
        add_missing(j, f.text);
      } else {
        add_value(j, stored_text(f, digits), nullptr, 0);
      }
    }
    check(tblx_endrow(table_->get()));
  }

  // A record read after the first rows: as the loader takes it, a row ends
  // at its last non-empty field, and columns beyond the first rows' are not
  // shown.
  void add_record(const csv_record& record, const std::string& name) {
    const auto field = [&](std::size_t input_column) {
      return input_column < record.size() ? record.field(input_column) : std::string_view{};
    };
    std::size_t end = all_shown_ ? std::min(shown_.size(), record.size()) : shown_.size();
    while (end > 0 && field(shown_[end - 1]).empty()) --end;
    check(tblx_beginrow(table_->get()));
    for (std::size_t j = 0; j < end; ++j) {
      const std::string_view v = field(shown_[j]);
      if (v.empty()) {
        check(tblx_addcell_empty(table_->get()));
      } else if (is_missing(j, v)) {
        if (data_->stats[j].figure) data_->stats[j].figure->add_missing();
        add_missing(j, v);
      } else {
        add_value(j, v, &name, record.line);
      }
    }
    check(tblx_endrow(table_->get()));
  }

  [[nodiscard]] bool is_missing(std::size_t j, std::string_view v) const {
    const auto& forced = data_->requests.types[j];
    if (forced && *forced == value_type::string) return false;
    return std::find(opts_.na.begin(), opts_.na.end(), v) != opts_.na.end();
  }

  // A marker of a missing value: its text in a text column, else empty.
  void add_missing(std::size_t j, std::string_view v) {
    if (plan_.columns[j].kind == column_kind::text) {
      add_text(v.data());
    } else {
      check(tblx_addcell_empty(table_->get()));
    }
  }

  // A value that is not empty. `name` is null for a row of the first ones,
  // whose figures the loader counted already.
  void add_value(std::size_t j, std::string_view v, const std::string* name, std::uint64_t line) {
    const column_settings& c = plan_.columns[j];
    const auto& forced = data_->requests.types[j];
    field_scan s;
    const bool fits = forced ? scan_forced(*forced, v, s) : fits_kind(c.kind, s = scan_field(v));
    if (!fits) {
      ++misfits_;
      if (numbers_as_text_ || !is_library_number(c.kind)) {
        add_text(v.data());
      } else {
        check(tblx_addcell_empty(table_->get()));  // JSON: null
      }
      return;
    }
    if (name != nullptr && data_->stats[j].figure) {
      if (s.kind == field_scan::form::text) {
        data_->stats[j].figure->add(v, s, *name + ':' + std::to_string(line));
      } else {
        data_->stats[j].figure->add(v, s);
      }
    }
    if (is_library_number(c.kind)) return add_number(c, s);
    std::string_view text = v;
    if (c.kind != column_kind::text && c.group != 0) text = group_digits(text, c.group, grouped_);
    if (c.kind == column_kind::hex_text && c.hex_upper) {
      upper_.assign(text);
      std::transform(upper_.begin(), upper_.end(), upper_.begin(), [](char ch) {
        return ch >= 'a' && ch <= 'f' ? static_cast<char>(ch - 'a' + 'A') : ch;
      });
      text = upper_;
    }
    add_text(text.data());  // v, or a buffer: NUL-terminated either way
  }

  // A number as the library would write it in its column: digits, groups,
  // hex letters in the column's case and zero-filled, then the suffix. In
  // JSON the column is the library's number column.
  void add_number(const column_settings& c, const field_scan& s) {
    tblx_table* t = table_->get();
    const std::uint64_t u =
        s.uint64 || c.kind == column_kind::hex ? s.u : static_cast<std::uint64_t>(s.i);
    if (!numbers_as_text_) {
      if (c.kind == column_kind::int64) return check(tblx_addcell_int(t, s.i));
      return check(c.kind == column_kind::hex ? tblx_addcell_hex(t, u) : tblx_addcell_uint(t, u));
    }
    char digits[24];
    std::to_chars_result r{};
    if (c.kind == column_kind::hex) {
      r = std::to_chars(digits, digits + sizeof digits, u, 16);
      number_.assign("0x");
    } else {
      r = c.kind == column_kind::int64 ? std::to_chars(digits, digits + sizeof digits, s.i)
                                       : std::to_chars(digits, digits + sizeof digits, u);
      number_.clear();
    }
    number_.append(digits, r.ptr);
    if (c.hex_upper) {
      std::transform(number_.begin() + 2, number_.end(), number_.begin() + 2,
                     [](char ch) { return ch >= 'a' ? static_cast<char>(ch - 'a' + 'A') : ch; });
    }
    if (c.leading_zeros) fill_zeros(c);
    if (c.group != 0) number_ = std::string(group_digits(number_, c.group, grouped_));
    if (c.suffix) number_ += *c.suffix;
    add_text(number_.c_str());
  }

  // Hex digits zero-filled to the width that the first rows gave (the
  // library fills to the column's): digits, their group separators and suffix.
  void fill_zeros(const column_settings& c) {
    const std::size_t suffix = c.suffix ? shown_width(*c.suffix, unit_of(opts_)) : 0;
    const auto room = static_cast<std::size_t>(std::max(c.min_width, 0));
    const std::size_t field = room > suffix + 2 ? room - suffix - 2 : 0;
    std::size_t wanted = field;
    while (c.group != 0 && wanted > 0 && wanted + (wanted - 1) / 4 > field) --wanted;
    const std::size_t have = number_.size() - 2;
    if (wanted > have) number_.insert(2, wanted - have, '0');
  }

  // A NUL-terminated text, its control characters escaped where the format
  // shows lines of text.
  void add_text(const char* text) {
    if (plan_.format == tabulix::format::text || plan_.format == tabulix::format::markdown) {
      text = printable(text, escaped_, plan_.wrap);
    }
    check(tblx_addcell_string(table_->get(), text));
  }

  const options& opts_;
  output_place place_;
  std::FILE* out_;
  dataset* data_ = nullptr;
#if !defined(_WIN32)
  pipe_source* pipe_ = nullptr;
#else
  void* pipe_ = nullptr;
#endif
  table_plan plan_;
  tabulix::section sections_{};
  std::vector<std::size_t> shown_;
  bool all_shown_ = false;
  bool numbers_as_text_ = true;
  std::optional<tabulix::table> table_;
  std::uint64_t taken_ = 0;
  std::size_t pending_ = 0;
  std::uint64_t misfits_ = 0;
  std::string escaped_, grouped_, upper_, number_;
};

}  // namespace

void run_stream(const options& opts, const output_place& place, std::FILE* out) {
  streamer s(opts, place, out);
  dataset data = load_inputs(opts, fit_width(opts, place) > 0, unit_of(opts), &s);
  s.finish(data);
}

}  // namespace tabulix::cli
