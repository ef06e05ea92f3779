// SPDX-License-Identifier: MIT
// Reading every input before anything is printed: the types of the columns
// depend on all their values, and a fault late in the input must not leave
// half a table behind. Each field is scanned once, as it is read: its type
// guess, its figure and its width are taken then, and it is stored with the
// number it holds.
#ifndef TABULIX_TOOL_LOAD_HPP
#define TABULIX_TOOL_LOAD_HPP

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "columns.hpp"
#include "figures.hpp"
#include "infer.hpp"
#include "options.hpp"
#include "store.hpp"
#include "text.hpp"

namespace tabulix::cli {

class top_rows;

// What the values of one shown column look like.
struct column_stats {
  type_guess guess;
  std::optional<figure_counter> figure;
  std::size_t widest = 0;  // display width of the widest value as shown
};

struct dataset {
  std::vector<std::string> input_titles;  // the header, or "1", "2", ... without one
  column_requests requests;               // the options, resolved against the header
  std::vector<column_stats> stats;        // one per shown column
  row_store rows;
  std::vector<const char*> records;    // record addresses, kept when the rows are sorted
  std::vector<std::uint64_t> numbers;  // with --number: each row's number in the input
  std::shared_ptr<top_rows> top;       // with --sort and --head: the rows chosen while reading
};

class byte_source;
struct csv_record;

// Where records go once the table prints as it reads (--stream, stream.cpp):
// the loader keeps the first records in the dataset as usual, then hands
// each further record over. Each hook is called from the loader's loop.
class record_sink {
 public:
  record_sink() = default;
  record_sink(const record_sink&) = delete;
  record_sink& operator=(const record_sink&) = delete;
  record_sink(record_sink&&) = delete;
  record_sink& operator=(record_sink&&) = delete;
  virtual ~record_sink() = default;
  // The dataset that the loader fills, before anything is read.
  virtual void attach(dataset& data) = 0;
  // The decoded bytes of an input (the sink may read pipes its own way).
  virtual std::unique_ptr<byte_source> open(std::FILE* in, const std::string& name,
                                            text_encoding encoding) = 0;
  // The input's first bytes have been looked at; its records follow.
  virtual void reading() = 0;
  // Whether a record, whose field count was checked, goes to take() instead
  // of the dataset.
  virtual bool streaming() = 0;
  virtual void take(const csv_record& record, const std::string& name) = 0;
  // Records handed over so far (for --head).
  [[nodiscard]] virtual std::uint64_t taken() const = 0;
  // Reading stopped at a fault, which the loader throws on after this.
  virtual void input_failed() noexcept = 0;
};

// Loads the named files ("-" or none: standard input) as `opts` says; the
// first input with a record gives the header (unless --no-header), and later
// inputs must begin with the same header. Measures display widths when
// `measure`. Throws input_error for faults in the text, a record with more
// fields than the header and a file that cannot be opened; data_error for a
// value that does not fit a type the user chose; usage_error for options
// that name no column.
dataset load_inputs(const options& opts, bool measure, width_unit unit,
                    record_sink* sink = nullptr);

// With --sort and --head: makes the rows that `data.top` chose for the key
// columns' final kinds (in the order of the sort keys) the rows of `data`,
// and takes the figures and widths again over them alone. The types stay
// those of every row read, which the choice was made under.
void take_top_rows(const options& opts, dataset& data, const std::vector<column_kind>& key_kinds,
                   bool measure, width_unit unit);

}  // namespace tabulix::cli

#endif
