// SPDX-License-Identifier: MIT
#include "load.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <memory>

#include "csv.hpp"

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

}  // namespace

const char* text_store::add(std::string_view bytes) {
  if (size_ - used_ < bytes.size()) {
    size_ = std::max(block_size, bytes.size());
    blocks_.push_back(std::make_unique_for_overwrite<char[]>(size_));  // no need to clear it
    used_ = 0;
  }
  char* at = blocks_.back().get() + used_;
  std::memcpy(at, bytes.data(), bytes.size());
  used_ += bytes.size();
  return at;
}

std::string dataset::where(const record& r) const {
  return files[r.file] + ':' + std::to_string(r.line);
}

void load(std::FILE* in, const std::string& name, char delimiter, bool no_header, dataset& data) {
  csv_reader reader(in, name, delimiter);
  csv_record record;
  const auto file = static_cast<std::uint32_t>(data.files.size());
  data.files.push_back(name);

  if (!no_header && reader.next(record)) {
    if (data.titles.empty() && data.records.empty()) {
      for (std::size_t i = 0; i < record.size(); ++i) data.titles.emplace_back(record.field(i));
    } else if (!same_fields(record, data.titles)) {
      throw input_error(name, record.line, 0,
                        "the header differs from the header of " + data.files.front());
    }
  }

  while (reader.next(record)) {
    if (no_header) {
      while (data.titles.size() < record.size()) {
        data.titles.push_back(std::to_string(data.titles.size() + 1));
      }
    } else if (record.size() > data.titles.size()) {
      throw input_error(name, record.line, 0,
                        "the record has " + std::to_string(record.size()) + " fields, the header " +
                            std::to_string(data.titles.size()));
    }
    if (data.records.size() == std::numeric_limits<std::int32_t>::max()) {
      throw input_error(name, record.line, 0, "too many records for one table");
    }
    data.records.push_back({data.store.add(record.data), record.line,
                            static_cast<std::uint32_t>(record.size()), file});
  }
}

dataset load_files(const std::vector<std::string>& names, char delimiter, bool no_header) {
  dataset data;
  if (names.empty()) {
    load(stdin, stdin_name, delimiter, no_header, data);
    return data;
  }
  for (const auto& name : names) {
    if (name == "-") {
      load(stdin, stdin_name, delimiter, no_header, data);
      continue;
    }
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(name.c_str(), "rb"),
                                                               &std::fclose);
    if (!file) throw input_error(name, 0, 0, std::strerror(errno));
    load(file.get(), name, delimiter, no_header, data);
  }
  return data;
}

}  // namespace tabulix::cli
