// SPDX-License-Identifier: MIT
// Random tables and their prints in the formats that other programs parse,
// for format_check.py: every column type, empty cells, short rows, summed
// columns, summary texts, suffixes, zero-filled hex, and texts of any bytes
// but NUL (quotes, separators, markup, line ends, controls, UTF-8 and bytes
// that are not UTF-8).
//
// Usage: tabulix_format_tables [COUNT [SEED]]. For every table it writes the
// cells as they were given, then each print, in lines that Python reads
// without a parser of its own:
//   table COLUMNS
//   column TYPE UPPER ZEROS SUMMED TITLE_HEX SUFFIX_HEX SUM_TEXT_HEX|-
//   row CELL...        with CELL as s:HEX, i:DECIMAL, u:DECIMAL, x:DECIMAL or e
//   print FORMAT BYTES then the bytes and a newline
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tabulix.h"

namespace {

struct random_bits {
  uint64_t state;
  uint64_t next() {
    uint64_t z = (state += 0x9E3779B97F4A7C15u);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
    return z ^ (z >> 31);
  }
  uint64_t below(uint64_t n) { return next() % n; }
};

// Pieces that texts are made of: each a hazard for one format or another.
const char* const pieces[] = {
    "a",        "Z", "7",     " ",    ",",        "\"",           "'",
    "\\",       "|", "\t",    "\n",   "\r",       "\r\n",         "<",
    ">",        "&", "&amp;", "\x01", "\x1b[1m",  "\x7f",         "é",
    "東京",     "🎉", "\xff",  "\xc3", "\xe2\x82", "\xed\xa0\x80", "\xf4\x90\x80\x80",
    "\xc0\xaf", ".", "-",     "0x1",  "null",     "</td>",
};

std::string random_text(random_bits& rng, size_t most_pieces) {
  std::string text;
  const uint64_t n = rng.below(most_pieces + 1);
  for (uint64_t i = 0; i < n; ++i) text += pieces[rng.below(sizeof pieces / sizeof pieces[0])];
  return text;
}

std::string hex_of(const std::string& bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string out = "=";  // never an empty word
  for (const char ch : bytes) {
    const auto b = static_cast<unsigned char>(ch);
    out += digits[b >> 4];
    out += digits[b & 15];
  }
  return out;
}

uint64_t random_value(random_bits& rng) {
  switch (rng.below(4)) {
    case 0:
      return rng.below(10);
    case 1:
      return rng.below(100000);
    case 2:
      return UINT64_MAX - rng.below(3);  // -1, -2, -3 as int; near the top as uint
    default:
      return rng.next();
  }
}

struct column_def {
  int type;
  bool upper;
  bool zeros;
  bool summed;
  std::string title;
  std::string suffix;
  bool has_sum_text;
  std::string sum_text;
};

bool ok(tblx_status s) {
  if (s == TBLX_OK) return true;
  std::fprintf(stderr, "tabulix_format_tables: %s\n", tblx_strerror(s));
  std::exit(1);
}

// Declares the columns, and writes them.
void declare(tblx_table* t, std::vector<column_def>& cols, random_bits& rng) {
  const auto count = static_cast<size_t>(1 + rng.below(6));
  std::printf("table %zu\n", count);
  for (size_t i = 0; i < count; ++i) {
    column_def c{};
    c.type = static_cast<int>(1 + rng.below(4));
    c.upper = rng.below(2) == 0;
    c.zeros = rng.below(3) == 0;
    c.summed = c.type != TBLX_TYPE_STRING && rng.below(2) == 0;
    // Keys must differ whatever the text: each title ends with its position.
    c.title = random_text(rng, 3) + "#" + std::to_string(i);
    c.suffix = rng.below(3) == 0 ? random_text(rng, 2) : "";
    c.has_sum_text = rng.below(4) == 0;
    if (c.has_sum_text) c.sum_text = random_text(rng, 3);
    ok(tblx_begincolumn(t, static_cast<unsigned>(c.type)));
    ok(tblx_setcolumn_title(t, cols.emplace_back(c).title.c_str()));
    ok(tblx_setcolumn_celljust(t, static_cast<unsigned>(1 + rng.below(5))));
    ok(tblx_setcolumn_titlejust(t, static_cast<unsigned>(1 + rng.below(5))));
    if (c.type == TBLX_TYPE_HEX) {
      ok(tblx_setcolumn_hexcase(t, c.upper ? TBLX_HEX_UPPER : TBLX_HEX_LOWER));
      ok(tblx_setcolumn_leadingzero(t, c.zeros ? 1 : 0));
    }
    if (c.summed) ok(tblx_setcolumn_summarize(t, 1));
    if (!c.suffix.empty()) ok(tblx_setcolumn_suffix(t, cols.back().suffix.c_str()));
    if (rng.below(4) == 0) ok(tblx_setcolumn_minwidth(t, static_cast<int>(rng.below(30))));
    ok(tblx_endcolumn(t));
    std::printf("column %d %d %d %d %s %s %s\n", c.type, c.upper, c.zeros, c.summed,
                hex_of(c.title).c_str(), hex_of(c.suffix).c_str(),
                c.has_sum_text ? hex_of(c.sum_text).c_str() : "-");
  }
  ok(tblx_endheader(t));
  for (size_t i = 0; i < count; ++i) {
    if (!cols[i].has_sum_text) continue;
    int32_t id = 0;
    ok(tblx_getcolumnid(t, static_cast<uint32_t>(i), &id));
    ok(tblx_setsumtext(t, id, cols[i].sum_text.c_str()));
  }
}

void add_rows(tblx_table* t, const std::vector<column_def>& cols, random_bits& rng) {
  const uint64_t rows = rng.below(8);
  for (uint64_t r = 0; r < rows; ++r) {
    ok(tblx_beginrow(t));
    const size_t cells =
        rng.below(4) == 0 ? static_cast<size_t>(rng.below(cols.size() + 1)) : cols.size();
    std::printf("row");
    for (size_t i = 0; i < cells; ++i) {
      if (rng.below(6) == 0) {
        ok(tblx_addcell_empty(t));
        std::printf(" e");
        continue;
      }
      const uint64_t v = random_value(rng);
      switch (cols[i].type) {
        case TBLX_TYPE_STRING: {
          const std::string text = random_text(rng, 5);
          ok(tblx_addcell_string(t, text.c_str()));
          std::printf(" s:%s", hex_of(text).c_str());
          break;
        }
        case TBLX_TYPE_INT:
          ok(tblx_addcell_int(t, static_cast<int64_t>(v)));
          std::printf(" i:%" PRId64, static_cast<int64_t>(v));
          break;
        case TBLX_TYPE_UINT:
          ok(tblx_addcell_uint(t, v));
          std::printf(" u:%" PRIu64, v);
          break;
        default:
          ok(tblx_addcell_hex(t, v));
          std::printf(" x:%" PRIu64, v);
          break;
      }
    }
    std::printf("\n");
    ok(tblx_endrow(t));
  }
}

int TBLX_CALL append(void* context, const char* data, size_t size) {
  static_cast<std::string*>(context)->append(data, size);
  return 0;
}

void print_formats(tblx_table* t, random_bits& rng) {
  static const struct {
    int format;
    const char* name;
  } formats[] = {{TBLX_FORMAT_JSON, "json"},
                 {TBLX_FORMAT_JSONL, "jsonl"},
                 {TBLX_FORMAT_CSV, "csv"},
                 {TBLX_FORMAT_HTML, "html"}};
  ok(tblx_setwidthmode(t, rng.below(2) == 0 ? TBLX_WIDTH_BYTES : TBLX_WIDTH_DISPLAY));
  for (const auto& f : formats) {
    ok(tblx_setformat(t, f.format));
    std::string out;
    ok(tblx_print_to(t, TBLX_PRINT_ALL, append, &out));
    std::printf("print %s %zu\n", f.name, out.size());
    std::fwrite(out.data(), 1, out.size(), stdout);
    std::printf("\n");
  }
}

}  // namespace

int main(int argc, char** argv) {
  const long count = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 1000;
  random_bits rng{argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 26};
  for (long i = 0; i < count; ++i) {
    tblx_table* t = tblx_new();
    if (t == nullptr) return 1;
    std::vector<column_def> cols;
    cols.reserve(8);  // titles and suffixes stay where the table can see them
    declare(t, cols, rng);
    add_rows(t, cols, rng);
    print_formats(t, rng);
    tblx_delete(t);
  }
  return std::fflush(stdout) == 0 ? 0 : 1;
}
