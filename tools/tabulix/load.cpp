// SPDX-License-Identifier: MIT
#include "load.hpp"

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <exception>
#include <limits>
#include <memory>
#include <stop_token>
#include <system_error>
#include <thread>

#include "aligned.hpp"
#include "csv.hpp"
#include "progress.hpp"
#include "sniff.hpp"
#include "split.hpp"
#include "terminal.hpp"
#include "text.hpp"
#include "topn.hpp"
#include "where.hpp"

namespace tabulix::cli {

namespace {

constexpr const char* stdin_name = "<stdin>";

bool same_fields(const csv_record& record, const std::vector<std::string>& titles) {
  if (record.size() != titles.size()) return false;
  for (std::size_t i = 0; i < titles.size(); ++i) {
    if (record.field(i) != titles[i]) return false;
  }
  return true;
}

std::string value_error(const std::string& where, const std::string& title, value_type t,
                        std::string_view value) {
  return where + ": column " + in_quotes(title) + ": " + in_quotes(value) + " is not " +
         (t == value_type::int64 ? "an " : "a ") + std::string(type_name(t)) + " value";
}

// A value of a column whose type the user chose, read leniently. Gives what
// it holds as scan_field would, or nothing when it does not fit.
std::optional<field_scan> scan_forced(value_type t, std::string_view v) {
  field_scan s;
  switch (t) {
    case value_type::string:
      return scan_field(v);
    case value_type::int64: {
      const auto n = parse_int(v, true);
      if (!n) return std::nullopt;
      s.kind = field_scan::form::integer;
      s.int64 = true;
      s.i = *n;
      break;
    }
    case value_type::uint64: {
      const auto n = parse_uint(v, true);
      if (!n) return std::nullopt;
      s.kind = field_scan::form::integer;
      s.uint64 = true;
      s.u = *n;
      break;
    }
    case value_type::hex: {
      const auto n = parse_hex(v, true);
      if (!n) return std::nullopt;
      s.kind = field_scan::form::hex;
      s.u = *n;
      s.as_written = plain_hex_text(v, s.u);
      return s;  // shown by value in a hex column
    }
  }
  // The text is kept when the value would print otherwise.
  char buffer[24];
  const auto [end, ec] = s.uint64 ? std::to_chars(buffer, buffer + sizeof buffer, s.u)
                                  : std::to_chars(buffer, buffer + sizeof buffer, s.i);
  s.as_written =
      ec == std::errc{} && std::string_view(buffer, static_cast<std::size_t>(end - buffer)) == v;
  return s;
}

// The markers of missing values, looked up for every field: most fields are
// told apart by their length or first byte alone.
class missing_markers {
 public:
  explicit missing_markers(std::vector<std::string> markers) : markers_(std::move(markers)) {
    for (const auto& m : markers_) {
      longest_ = std::max(longest_, m.size());
      first_[static_cast<unsigned char>(m.front())] = true;
      numbers_ = numbers_ || scan_field(m).kind != field_scan::form::text;
    }
  }

  [[nodiscard]] bool has_numbers() const { return numbers_; }

  [[nodiscard]] bool contains(std::string_view v) const {
    if (v.size() > longest_ || !first_[static_cast<unsigned char>(v.front())]) return false;
    return listed(v);
  }

 private:
  std::vector<std::string> markers_;
  std::size_t longest_ = 0;
  std::array<bool, 256> first_{};
  bool numbers_ = false;  // some marker reads as a number

  // Out of the loader's loop, which most fields leave before it.
  [[nodiscard, gnu::noinline]] bool listed(std::string_view v) const {
    return std::find(markers_.begin(), markers_.end(), v) != markers_.end();
  }
};

// The library holds a text of up to 4 GiB - 1 bytes in a cell or a title.
bool too_long_to_show(std::uint64_t shown_bytes) {
  return shown_bytes > std::numeric_limits<std::uint32_t>::max();
}

constexpr const char* too_long = "is 4 GiB or longer as shown, more than a table can hold";

class loader {
 public:
  loader(const options& opts, bool measure, width_unit unit, record_sink* sink)
      : opts_(opts), measure_(measure), unit_(unit), markers_(opts.na), sink_(sink) {
    // A streamed table prints while it reads: no progress line under it.
    if (!opts.quiet && sink_ == nullptr) progress_ = progress_display::on_terminal();
    if (sink_ != nullptr) sink_->attach(data_);
    split_ = plan_split();
  }

  // A loader of one part of an input that `whole` reads, after its header:
  // the same columns and options, its own rows and guesses.
  struct part_tag {};
  loader(const loader& whole, part_tag /*unused*/)
      : opts_(whole.opts_),
        measure_(whole.measure_),
        unit_(whole.unit_),
        first_file_(whole.first_file_),
        read_as_(whole.read_as_),
        markers_(whole.markers_),
        started_(true),
        keep_addresses_(whole.keep_addresses_),
        sink_(nullptr) {
    data_.input_titles = whole.data_.input_titles;
    data_.requests = whole.data_.requests;
    data_.stats.resize(whole.data_.stats.size());
    if (!opts_.where.empty()) filter_.emplace(opts_.where, data_.input_titles, opts_.na);
  }
  loader(const loader&) = delete;
  loader& operator=(const loader&) = delete;
  loader(loader&&) = delete;
  loader& operator=(loader&&) = delete;
  ~loader() = default;

  void load_all() {
    load_each();
    if (progress_) progress_->finish();
  }

  dataset take() { return std::move(data_); }

 private:
  void load_each() {
    if (opts_.files.empty()) {
      load_one(stdin, stdin_name);
      return;
    }
    for (const auto& name : opts_.files) {
      if (started_ && done()) return;  // the header is read even for --head 0
      if (name == "-") {
        load_one(stdin, stdin_name);
        continue;
      }
      const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(open_input_file(name),
                                                                 &std::fclose);
      if (!file) throw input_error(name, 0, 0, std::strerror(errno));
      load_one(file.get(), name);
    }
  }

  // --head without --sort stops reading; with it, every row is read.
  // Streamed rows count too.
  [[nodiscard]] bool done() const {
    const std::uint64_t taken = sink_ != nullptr ? sink_->taken() : 0;
    return opts_.head && !data_.top && data_.rows.size() + taken >= *opts_.head;
  }

  // Whether an input may be read in parts: the options must not need it read
  // in order (--head stops early, --stream prints as it reads, without a
  // header a record may bring columns, aligned columns are found in the
  // first lines).
  [[nodiscard]] bool may_split() const {
    return split_.parts > 1 && sink_ == nullptr && !opts_.head && !opts_.no_header &&
           opts_.format() != input_format::whitespace;
  }

  void load_one(std::FILE* in, const std::string& name) {
    reader_options ro{opts_.format(), opts_.delimiter, opts_.skip, opts_.comment, opts_.trim, {}};
    std::unique_ptr<byte_source> source = sink_ != nullptr ? sink_->open(in, name, opts_.encoding)
                                                           : open_source(in, name, opts_.encoding);
    if (progress_) source = progress_->watch(std::move(source), in);
    read_as_ = {};
    if (ro.format == input_format::whitespace) {
      std::string sample;
      source = take_sample(std::move(source), sniff_sample_size, sample);
      ro.spans = find_aligned_columns(sample, sample.size() == sniff_sample_size, opts_.skip,
                                      opts_.comment, opts_.no_header);
    } else if (!opts_.delimiter_given && !opts_.tsv) {
      choose_delimiter(name, source, ro);
    }
    // The decoded bytes of a large file, as the reader takes them.
    window_source* windows = nullptr;
    if (may_split() && large_regular_file(in, split_.min_bytes)) {
      auto w = std::make_unique<window_source>(std::move(source));
      windows = w.get();
      source = std::move(w);
    }
    const reader_options part_options = ro;
    csv_reader reader(std::move(source), name, std::move(ro));
    if (sink_ != nullptr) sink_->reading();
    if (first_file_.empty()) first_file_ = name;
    if (opts_.fields) reader.set_field_limit(*opts_.fields);
    if (!opts_.no_header && reader.next(record_)) {
      take_header(name);
      if (!opts_.fields) reader.set_field_limit(record_.size());
    }
    if (windows != nullptr) {
      if (started_ && no_figures()) load_in_windows(reader, *windows, part_options, name);
      windows->stream();
    }
    while (!done() && reader.next(record_)) take_record(name);
  }

  // A figure counter takes its values in order: its column is read in one
  // piece.
  [[nodiscard]] bool no_figures() const {
    return std::none_of(data_.requests.figures.begin(), data_.requests.figures.end(),
                        [](const auto& f) { return f.has_value(); });
  }

  // Reads the records after the header of a large input in windows, each
  // cut into parts at line starts, read at once by loaders of their own: the
  // first on this thread, the others on threads of their own. The window
  // begins at a record start; when each part is read without a fault, each
  // ended at a record start (its last record is not cut short), so every part
  // read its records as `reader` would have, and their rows and guesses
  // follow these. Otherwise a part may have begun inside a quoted field:
  // `reader` then reads on from the window's start, alone, and reports any
  // fault as it would have.
  void load_in_windows(csv_reader& reader, window_source& windows, const reader_options& options,
                       const std::string& name) {
    // LF line ends: parts begin after an LF.
    if (reader.line_end() != '\n') return;
    const std::size_t window_size = split_.window;
    for (;;) {
      const std::uint64_t from = reader.consumed();
      std::string_view bytes = windows.window(from, window_size);
      if (bytes.size() == window_size) {
        // Up to its last line start; a line as long as the window is read
        // alone.
        const std::size_t last_lf = bytes.rfind('\n');
        if (last_lf == std::string_view::npos) return;
        bytes = bytes.substr(0, last_lf + 1);
      }
      std::vector<std::size_t> cuts = cut_points(bytes, 0, split_);
      if (cuts.empty()) return;
      cuts.insert(cuts.begin(), 0);
      const std::optional<std::uint64_t> lines =
          load_window(bytes, cuts, options, reader.field_limit(), name);
      if (!lines) return;
      windows.seek(from + bytes.size());
      reader.skip_to(from + bytes.size(), *lines);
    }
  }

  // Reads the parts of `bytes` that begin at `cuts` (the first at 0), and
  // takes their rows; gives the lines read. Nothing when a part failed, or
  // when the rows would be too many for a table, which the reader names.
  std::optional<std::uint64_t> load_window(std::string_view bytes,
                                           const std::vector<std::size_t>& cuts,
                                           const reader_options& options, std::size_t field_limit,
                                           const std::string& name) {
    std::vector<std::unique_ptr<loader>> parts;
    for (std::size_t i = 0; i < cuts.size(); ++i) {
      parts.push_back(std::make_unique<loader>(*this, part_tag{}));
    }
    std::vector<std::exception_ptr> faults(cuts.size());
    const auto read_part = [&](std::size_t i, const std::stop_token& stop) {
      const std::size_t end = i + 1 < cuts.size() ? cuts[i + 1] : bytes.size();
      try {
        parts[i]->load_part(bytes.substr(cuts[i], end - cuts[i]), options, field_limit, name, stop);
      } catch (...) {
        faults[i] = std::current_exception();
      }
    };
    {
      std::vector<std::jthread> threads;
      try {
        for (std::size_t i = 1; i < cuts.size(); ++i) {
          threads.emplace_back(
              [&read_part, i](const std::stop_token& stop) { read_part(i, stop); });
        }
      } catch (const std::system_error&) {
        // No more threads: this one reads the parts left.
      }
      read_part(0, {});
      // The others are wasted when this part failed.
      if (faults[0]) {
        for (auto& t : threads) t.request_stop();
      }
      for (std::size_t i = threads.size() + 1; i < cuts.size() && !faults[0]; ++i) {
        read_part(i, {});
      }
      for (auto& t : threads) t.join();
    }
    std::uint64_t rows = data_.rows.size();
    std::uint64_t lines = 0;
    for (std::size_t i = 0; i < parts.size(); ++i) {
      if (faults[i]) return std::nullopt;
      rows += parts[i]->data_.rows.size();
      lines += parts[i]->lines_;
    }
    if (rows > std::numeric_limits<std::int32_t>::max()) return std::nullopt;
    for (auto& part : parts) take_part(*part);
    return lines;
  }

  // The records of one part (from its start, whose line numbers count from
  // 1 again: they are only used in faults, which are not reported).
  void load_part(std::string_view bytes, reader_options options, std::size_t field_limit,
                 const std::string& name, const std::stop_token& stop) {
    options.skip = 0;  // the lines skipped are before the header
    csv_reader reader(bytes, name, std::move(options));
    reader.begin_mid_input();
    reader.set_field_limit(field_limit);
    while (!stop.stop_requested() && reader.next(record_)) take_record(name);
    lines_ = reader.lines();
  }

  // Takes the rows of the part that follows these, and their guesses.
  void take_part(loader& part) {
    for (const std::uint64_t n : part.data_.numbers) data_.numbers.push_back(row_number_ + n);
    row_number_ += part.row_number_;
    data_.records.insert(data_.records.end(), part.data_.records.begin(), part.data_.records.end());
    data_.rows.append(std::move(part.data_.rows));
    for (std::size_t j = 0; j < data_.stats.size(); ++j) {
      data_.stats[j].guess.merge(part.data_.stats[j].guess);
      data_.stats[j].widest = std::max(data_.stats[j].widest, part.data_.stats[j].widest);
    }
  }

  // The delimiter of an input that names none: tab for a *.tsv or *.tab
  // file, else the one that splits the first lines alike.
  void choose_delimiter(const std::string& name, std::unique_ptr<byte_source>& source,
                        reader_options& ro) {
    if (named_tab_separated(name)) {
      ro.format = input_format::tsv;
      read_as_ = "fields split at tabs, as the file name says";
      return;
    }
    std::string sample;
    source = take_sample(std::move(source), sniff_sample_size, sample);
    ro.delimiter =
        sniff_delimiter(sample, sample.size() == sniff_sample_size, opts_.skip, opts_.comment);
    if (ro.delimiter == '\t') {
      ro.format = input_format::tsv;
      read_as_ = "fields split at tabs, as the first lines suggest";
    } else if (ro.delimiter != ',') {
      read_as_ = "fields split at " + in_quotes(std::string(1, ro.delimiter)) +
                 ", as the first lines suggest";
    }
  }

  // Why a record may not have the fields of the header: a comment line,
  // or the delimiter the tool chose.
  [[nodiscard]] std::string field_count_hint() const {
    if (opts_.comment.empty() && record_.size() != 0 && record_.field(0).starts_with('#')) {
      return " (a comment? --comment '#' skips such lines)";
    }
    if (!read_as_.empty()) return " (" + read_as_ + "; --delimiter chooses)";
    return "";
  }

  void take_header(const std::string& name) {
    if (!started_) {
      for (std::size_t i = 0; i < record_.size(); ++i) {
        if (too_long_to_show(look_at(record_.field(i), false, unit_).size)) {
          throw input_error(name, record_.line, 0,
                            "the title of column " + std::to_string(i + 1) + ' ' + too_long);
        }
        data_.input_titles.emplace_back(record_.field(i));
      }
      start();
    } else if (!same_fields(record_, data_.input_titles)) {
      throw input_error(name, record_.line, 0,
                        "the header differs from the header of " + first_file_);
    }
  }

  // Resolves the options once the columns are known.
  void start() {
    started_ = true;
    data_.requests = resolve_requests(opts_, data_.input_titles);
    data_.stats.resize(data_.requests.shown.size());
    for (std::size_t j = 0; j < data_.stats.size(); ++j) {
      if (data_.requests.figures[j]) data_.stats[j].figure.emplace(*data_.requests.figures[j]);
    }
    keep_addresses_ = !data_.requests.sort.empty();
    if (!opts_.where.empty()) filter_.emplace(opts_.where, data_.input_titles, opts_.na);
    // Each key column may double the selections (see topn.hpp): past a few
    // keys every row is kept and sorted instead.
    constexpr std::size_t most_keys = 8;
    if (opts_.head && keep_addresses_ && data_.requests.sort.size() <= most_keys) {
      data_.top =
          std::make_shared<top_rows>(*opts_.head, data_.requests.sort, data_.requests.by_length);
    }
  }

  // What each key column may still be ordered as (topn.hpp).
  const std::vector<key_column_state>& key_states() {
    key_states_.resize(data_.requests.sort.size());
    for (std::size_t k = 0; k < key_states_.size(); ++k) {
      const std::size_t j = data_.requests.sort[k].column;
      key_column_state& state = key_states_[k];
      if (const auto forced = data_.requests.types[j]) {
        state.text_only = *forced == value_type::string;
        state.numbers_only = !state.text_only;
        state.numbers = forced_kind(*forced);
        continue;
      }
      const type_guess& g = data_.stats[j].guess;
      const column_kind kind = g.has_values() ? g.kind() : column_kind::int64;
      state.text_only = kind == column_kind::text;
      if (!state.text_only) state.numbers = kind;
    }
    return key_states_;
  }

  // Without a header, a longer record brings more columns, shown when no
  // column list was given.
  void grow_columns() {
    if (!started_) {
      while (data_.input_titles.size() < record_.size()) {
        data_.input_titles.push_back(std::to_string(data_.input_titles.size() + 1));
      }
      start();
      return;
    }
    if (!data_.requests.all_shown) return;
    while (data_.input_titles.size() < record_.size()) {
      data_.requests.shown.push_back(data_.input_titles.size());
      data_.requests.add_column();
      data_.input_titles.push_back(std::to_string(data_.input_titles.size() + 1));
      data_.stats.emplace_back();
    }
  }

  void take_record(const std::string& name) {
    if (opts_.no_header) {
      if (!started_ || record_.size() > data_.input_titles.size()) grow_columns();
    } else if (record_.size() + record_.extra > data_.input_titles.size()) {
      throw input_error(name, record_.line, 0,
                        "the record has " + std::to_string(record_.size() + record_.extra) +
                            " fields, the header " + std::to_string(data_.input_titles.size()) +
                            field_count_hint());
    }
    ++row_number_;
    if (filter_ && !filter_->passes(record_)) return;
    if (data_.rows.size() == std::numeric_limits<std::int32_t>::max()) {
      throw input_error(name, record_.line, 0, "too many records for one table");
    }
    if (sink_ != nullptr && sink_->streaming()) return sink_->take(record_, name);
    const std::vector<std::size_t>& shown = data_.requests.shown;
    // A row ends at its last non-empty field; empty fields before it are
    // empty cells.
    // With every column shown in order, the fields past the record's are
    // empty: a short row under a wide header costs its own fields only.
    std::size_t end =
        data_.requests.all_shown ? std::min(shown.size(), record_.size()) : shown.size();
    while (end > 0 && field_of(shown[end - 1]).empty()) --end;
    writer_.clear();
    for (std::size_t j = 0; j < end; ++j) take_field(j, field_of(shown[j]), name);
    const std::string_view encoded = writer_.finish();
    if (data_.top) {
      data_.top->offer(encoded, row_number_, key_states());
      return;
    }
    const char* at = data_.rows.add(encoded);
    if (keep_addresses_) data_.records.push_back(at);
    if (opts_.number) data_.numbers.push_back(row_number_);
  }

  [[nodiscard]] std::string_view field_of(std::size_t input_column) const {
    return input_column < record_.size() ? record_.field(input_column) : std::string_view{};
  }

  void take_field(std::size_t j, std::string_view v, const std::string& name) {
    if (v.empty()) {
      writer_.empty();
      return;
    }
    if (too_long_to_show(v.size())) refuse_field(j, name);
    column_stats& stats = data_.stats[j];
    if (const std::optional<value_type> forced = data_.requests.types[j]) {
      return take_forced(j, *forced, v, stats, name);
    }
    // Made where it stays: a copy of the scan, read in wider pieces than
    // it was written in, would wait for its stores at every field.
    const field_scan s = scan_field(v);
    // Markers are looked for among texts, and among numbers only when
    // some marker is one (--na -999).
    if ((s.kind == field_scan::form::text || markers_.has_numbers()) && markers_.contains(v)) {
      take_missing(stats, v);
      return;
    }
    stats.guess.add(s);
    take_scanned(j, s, v, stats, false, name);
  }

  // A field of a column whose type the user chose.
  [[gnu::noinline]] void take_forced(std::size_t j, value_type forced, std::string_view v,
                                     column_stats& stats, const std::string& name) {
    if (forced != value_type::string && markers_.contains(v)) {
      take_missing(stats, v);
      return;
    }
    const auto fits = scan_forced(forced, v);
    if (!fits) {
      throw data_error(value_error(name + ':' + std::to_string(record_.line),
                                   data_.input_titles[data_.requests.shown[j]], forced, v));
    }
    take_scanned(j, *fits, v, stats, forced == value_type::string, name);
  }

  // Inline: it runs for every field.
  [[gnu::always_inline]] void take_scanned(std::size_t j, const field_scan& s, std::string_view v,
                                           column_stats& stats, bool as_text,
                                           const std::string& name) {
    if (stats.figure) {
      if (s.kind == field_scan::form::text) {
        stats.figure->add(v, s, name + ':' + std::to_string(record_.line));
      } else {
        stats.figure->add(v, s);
      }
    }
    if (!store(s, v, stats, as_text)) refuse_field(j, name);
  }

  // A marker of a missing value: kept with its text, for a column that turns
  // out to hold text; it takes no part in the guess.
  void take_missing(column_stats& stats, std::string_view v) {
    const text_look look = look_at(v, measure_, unit_);
    writer_.text(v, look.escape, cell_tag::missing);
    stats.widest = std::max(stats.widest, look.width);
    if (stats.figure) stats.figure->add_missing();
  }

  [[noreturn]] void refuse_field(std::size_t j, const std::string& name) const {
    throw input_error(name, record_.line, 0,
                      "the field of column " +
                          in_quotes(data_.input_titles[data_.requests.shown[j]]) + ' ' + too_long);
  }

  // Gives false for a text too long to show.
  [[nodiscard]] bool store(const field_scan& s, std::string_view v, column_stats& stats,
                           bool as_text) {
    if (!as_text) {
      switch (s.kind) {
        case field_scan::form::integer:
          writer_.number(s.uint64 ? cell_tag::uint64 : cell_tag::int64,
                         s.uint64 ? s.u : static_cast<std::uint64_t>(s.i),
                         s.as_written ? std::string_view{} : v);
          if (measure_) stats.widest = std::max(stats.widest, v.size());
          return true;
        case field_scan::form::hex:
          writer_.number(cell_tag::hex, s.u, s.as_written ? std::string_view{} : v);
          if (measure_) stats.widest = std::max(stats.widest, v.size());
          return true;
        case field_scan::form::decimal:
        case field_scan::form::decorated:
        case field_scan::form::text:
          break;
      }
    }
    // A printable ASCII field is shown as it is, as wide as its bytes.
    const text_look look =
        record_.printable ? text_look{false, v.size(), v.size()} : look_at(v, measure_, unit_);
    if (too_long_to_show(look.size)) return false;
    writer_.text(v, look.escape);
    stats.widest = std::max(stats.widest, look.width);
    return true;
  }

  const options& opts_;
  bool measure_;
  width_unit unit_;
  dataset data_;
  csv_record record_;
  record_writer writer_;
  std::string first_file_;
  std::string read_as_;
  missing_markers markers_;  // how the current input is split, when the tool chose it
  bool started_ = false;
  bool keep_addresses_ = false;
  std::uint64_t row_number_ = 0;  // data records read, passing or not
  std::optional<row_filter> filter_;
  std::vector<key_column_state> key_states_;
  std::unique_ptr<progress_display> progress_;
  record_sink* sink_;
  split_plan split_;
  std::uint64_t lines_ = 0;  // a part's: the lines it read
};

// The figures and widths of the stored rows, taken again: the loader's
// take_field for a value already stored.
class remeasure {
 public:
  remeasure(dataset& data, bool measure, width_unit unit)
      : data_(data), measure_(measure), unit_(unit) {
    for (auto& s : data_.stats) {
      s.widest = 0;
      if (s.figure) s.figure.emplace(s.figure->what());
    }
  }

  void take(const char* record) {
    record_reader reader(record);
    stored_field f;
    for (std::size_t j = 0; reader.next(f); ++j) take_field(j, f);
  }

 private:
  void take_field(std::size_t j, const stored_field& f) {
    if (f.tag == cell_tag::empty) return;
    column_stats& stats = data_.stats[j];
    char digits[24];
    const std::string_view v = stored_text(f, digits);
    if (f.tag == cell_tag::missing) {
      stats.widest = std::max(stats.widest, look_at(v, measure_, unit_).width);
      if (stats.figure) stats.figure->add_missing();
      return;
    }
    const std::optional<value_type> forced = data_.requests.types[j];
    const field_scan s = forced ? scan_forced(*forced, v).value_or(scan_field(v)) : scan_field(v);
    if (stats.figure) stats.figure->add(v, s);
    const bool number =
        f.tag == cell_tag::int64 || f.tag == cell_tag::uint64 || f.tag == cell_tag::hex;
    const std::size_t width =
        number ? (measure_ ? v.size() : 0) : look_at(v, measure_, unit_).width;
    stats.widest = std::max(stats.widest, width);
  }

  dataset& data_;
  bool measure_;
  width_unit unit_;
};

}  // namespace

dataset load_inputs(const options& opts, bool measure, width_unit unit, record_sink* sink) {
  loader l(opts, measure, unit, sink);
  try {
    l.load_all();
  } catch (...) {
    if (sink != nullptr) sink->input_failed();
    throw;
  }
  return l.take();
}

void take_top_rows(const options& opts, dataset& data, const std::vector<column_kind>& key_kinds,
                   bool measure, width_unit unit) {
  if (!data.top) return;
  const std::shared_ptr<top_rows> top = std::move(data.top);
  row_store rows;
  data.records.clear();
  data.numbers.clear();
  remeasure again(data, measure, unit);
  for (const auto& r : top->rows(key_kinds)) {
    const char* at = rows.add(r.record);
    data.records.push_back(at);
    if (opts.number) data.numbers.push_back(r.number);
    again.take(at);
  }
  data.rows = std::move(rows);
}

}  // namespace tabulix::cli
