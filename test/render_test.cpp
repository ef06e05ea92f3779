// SPDX-License-Identifier: MIT
// The layers under a print: justified fields, rendered cells and sums, and the
// measuring pass that lays out the columns.
#include "render.h"

#include <charconv>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "justify.h"
#include "number_text.h"
#include "print_sink.h"
#include "support/table.h"

namespace {

using namespace support;

// The printer places fields in its staging sink; these run its routines on a
// stream as a print does and give 0, or EOF when the stream refused the bytes.

int print_justified_to(FILE* stream, int32_t kind, const char* text, size_t text_len,
                       const column& widths, unsigned char justify_char, bool pad_trailing) {
  sink out(stream);
  print_justified(out, kind, text, text_len, widths, justify_char, pad_trailing);
  out.flush();
  return out.failed() ? EOF : 0;
}

int render_to(tblx_table* table, FILE* stream, const column* col, const cell* c) {
  const print_context ctx = make_context(*table);
  sink out(stream);
  render(out, ctx, plan_field(ctx, *col), c);
  out.flush();
  return out.failed() ? EOF : 0;
}

column widths_of(uint32_t lead, uint32_t tail) {
  column c{};
  c.width_lead = lead;
  c.width_tail = tail;
  return c;
}

std::string justified(int32_t kind, const char* text, uint32_t lead, uint32_t tail, bool pad,
                      unsigned char justify_char = '.') {
  const column c = widths_of(lead, tail);
  return capture([&](FILE* s) {
    EXPECT_EQ(0, print_justified_to(s, kind, text, std::strlen(text), c, justify_char, pad));
  });
}

// ---- print_justified --------------------------------------------------------------

TEST(PrintJustified, PlacesTextsByKind) {
  struct Case {
    int32_t kind;
    const char* text;
    uint32_t lead, tail;
    bool pad;
    const char* expected;
  };
  const Case cases[] = {
      {TBLX_JUST_LEFT, "abc", 6, 0, true, "abc   "},
      {TBLX_JUST_LEFT, "abc", 6, 0, false, "abc"},
      {TBLX_JUST_LEFT, "abcdefg", 6, 0, true, "abcdefg"},
      {TBLX_JUST_RIGHT, "abc", 6, 0, true, "   abc"},
      {TBLX_JUST_RIGHT, "abc", 6, 0, false, "   abc"},
      {TBLX_JUST_RIGHT, "abcdefg", 6, 0, true, "abcdefg"},
      {TBLX_JUST_CENTER, "abc", 7, 0, true, "  abc  "},
      {TBLX_JUST_CENTER, "abc", 8, 0, true, "  abc   "},
      {TBLX_JUST_CENTER, "abc", 8, 0, false, "  abc"},
      {TBLX_JUST_CENTER, "abc", 4, 0, true, "abc "},
      {TBLX_JUST_CENTER, "abc", 3, 0, true, "abc"},
      // How the pair is split does not matter to kinds 1 to 3.
      {TBLX_JUST_CENTER, "abc", 2, 5, true, "  abc  "},
      {TBLX_JUST_CHAR_FIRST, "1.5", 4, 3, true, "  1.5  "},
      {TBLX_JUST_CHAR_FIRST, "12.25", 4, 3, true, " 12.25 "},
      {TBLX_JUST_CHAR_FIRST, "100", 4, 3, true, "100    "},
      {TBLX_JUST_CHAR_FIRST, "7", 4, 3, true, "  7    "},
      {TBLX_JUST_CHAR_FIRST, "7", 4, 3, false, "  7"},
      {TBLX_JUST_CHAR_FIRST, "1.2.3", 4, 3, true, "  1.2.3"},
      {TBLX_JUST_CHAR_LAST, "1.2.3", 4, 3, true, "1.2.3  "},
      {TBLX_JUST_CHAR_FIRST, "12345.6", 4, 3, true, "12345.6  "},
      // Without the character and with no lead: tail + 1 blanks after it.
      {TBLX_JUST_CHAR_FIRST, "7", 0, 2, true, "7   "},
      {TBLX_JUST_CHAR_LAST, "", 1, 0, true, " "},
      {TBLX_JUST_CHAR_LAST, "", 3, 1, true, "    "},
      {TBLX_JUST_CHAR_FIRST, "1.2345", 5, 4, true, "   1.2345"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.expected, justified(c.kind, c.text, c.lead, c.tail, c.pad))
        << "kind " << c.kind << " text '" << c.text << "' (" << c.lead << ", " << c.tail << ")";
  }
}

TEST(PrintJustified, AlignmentCharacterIsAnyByte) {
  EXPECT_EQ(
      " a\xff"
      "b ",
      justified(TBLX_JUST_CHAR_FIRST,
                "a\xff"
                "b",
                3, 2, true, 0xff));
}

// Runs of blanks cross the 32-character chunks of the fill string exactly.
TEST(PrintJustified, FillRunsOfAnyLength) {
  for (uint32_t n : {0u, 1u, 31u, 32u, 33u, 63u, 64u, 65u, 100u, 1000u}) {
    EXPECT_EQ(std::string(n, ' '), justified(TBLX_JUST_LEFT, "", n, 0, true)) << n;
    EXPECT_EQ(std::string(n, ' ') + "x", justified(TBLX_JUST_RIGHT, "x", n + 1, 0, false)) << n;
    EXPECT_EQ(std::string(n / 2, ' ') + "x" + std::string(n - n / 2, ' '),
              justified(TBLX_JUST_CENTER, "x", n + 1, 0, true))
        << n;
  }
}

TEST(PrintJustifiedDeathTest, ImpossibleKindAborts) {
  for (int32_t kind : {0, 6, -1}) {
    EXPECT_DEATH(justified(kind, "abc", 6, 0, true), "") << kind;
  }
}

TEST(Memrchr, FindsTheLastOccurrence) {
  const char text[] = "a.b.c";
  EXPECT_EQ(nullptr, tblx_memrchr__(text, '.', 0));
  EXPECT_EQ(text + 3, tblx_memrchr__(text, '.', 5));
  EXPECT_EQ(text + 1, tblx_memrchr__(text, '.', 3));
  EXPECT_EQ(nullptr, tblx_memrchr__(text, 'x', 5));
  EXPECT_EQ(text + 0, tblx_memrchr__(text, 'a', 5));
  // Past a NUL, and the byte compared as unsigned char.
  const char bytes[] = {'\xe9', '\0', 'z', '\xe9', 'q'};
  EXPECT_EQ(bytes + 3, tblx_memrchr__(bytes, 0xe9, 5));
  EXPECT_EQ(bytes + 3, tblx_memrchr__(bytes, 0x1e9, 5));
  EXPECT_EQ(bytes + 1, tblx_memrchr__(bytes, 0, 5));
}

// ---- render ------------------------------------------------------------------------------

// One column and its cell built by hand, so that width and style can be set
// freely. A following column and cell exist, so blanks after a field are due.
struct RenderCase {
  const char* what;
  int32_t type;
  uint32_t width;
  int32_t just;
  int style;
  const char* suffix;
  int32_t hex_case;
  bool zeros;
  uint64_t value;
  const char* text;  // string cells
  const char* expected;
};

std::string render_case(const RenderCase& rc, bool summary = false) {
  Table t(tblx_new());
  EXPECT_EQ(TBLX_OK, tblx_setstyle(t.get(), rc.style));
  t->scratch_size = rc.width + 5;
  t->scratch = static_cast<char*>(std::malloc(t->scratch_size));
  column next{};
  column col{};
  col.next = &next;
  col.type = rc.type;
  col.width_lead = rc.width;
  col.cell_justification = rc.just;
  col.suffix = rc.suffix;
  col.suffix_len = static_cast<uint32_t>(std::strlen(rc.suffix));
  col.hex_case = rc.hex_case;
  col.leading_zeros = rc.zeros;
  col.justify_char = '.';
  col.summarize = summary;
  col.sum = {rc.value, rc.type == TBLX_TYPE_INT && rc.value >> 63 != 0 ? UINT64_MAX : 0u};
  cell value_cell{};
  support::TextCell text_cell(rc.text != nullptr ? rc.text : "");
  cell& c = rc.text != nullptr ? text_cell.get() : value_cell;
  if (rc.text == nullptr) c.set_value(rc.value);
  return capture(
      [&](FILE* s) { EXPECT_EQ(0, render_to(t.get(), s, &col, summary ? nullptr : &c)); });
}

constexpr int SIMPLE = TBLX_STYLE_SIMPLE;
constexpr int RAW = TBLX_STYLE_RAW;
constexpr int32_t LOWER = TBLX_HEX_LOWER;
constexpr int32_t UPPER = TBLX_HEX_UPPER;

const RenderCase render_cases[] = {
    {"int left", TBLX_TYPE_INT, 8, TBLX_JUST_LEFT, SIMPLE, "kB", 0, false, 42, nullptr, "42    kB"},
    {"int right", TBLX_TYPE_INT, 8, TBLX_JUST_RIGHT, SIMPLE, "kB", 0, false, 42, nullptr,
     "    42kB"},
    {"int center", TBLX_TYPE_INT, 8, TBLX_JUST_CENTER, SIMPLE, "kB", 0, false, 42, nullptr,
     "  42kB  "},
    {"negative left", TBLX_TYPE_INT, 5, TBLX_JUST_LEFT, SIMPLE, "", 0, false,
     static_cast<uint64_t>(-7), nullptr, "-7   "},
    {"negative right", TBLX_TYPE_INT, 5, TBLX_JUST_RIGHT, SIMPLE, "", 0, false,
     static_cast<uint64_t>(-7), nullptr, "   -7"},
    {"int raw", TBLX_TYPE_INT, 8, TBLX_JUST_RIGHT, RAW, "kB", 0, false, 42, nullptr, "42kB"},
    {"uint max", TBLX_TYPE_UINT, 20, TBLX_JUST_RIGHT, SIMPLE, "", 0, false, UINT64_MAX, nullptr,
     "18446744073709551615"},
    {"int min", TBLX_TYPE_INT, 22, TBLX_JUST_RIGHT, SIMPLE, "", 0, false,
     static_cast<uint64_t>(INT64_MIN), nullptr, "  -9223372036854775808"},
    {"uint left", TBLX_TYPE_UINT, 6, TBLX_JUST_LEFT, SIMPLE, "", 0, false, 0, nullptr, "0     "},
    {"uint on a character", TBLX_TYPE_UINT, 6, TBLX_JUST_CHAR_FIRST, SIMPLE, "", 0, false, 12,
     nullptr, "   12 "},
    {"hex zeros lower", TBLX_TYPE_HEX, 7, TBLX_JUST_RIGHT, SIMPLE, "", LOWER, true, 31, nullptr,
     "0x0001f"},
    {"hex zeros upper", TBLX_TYPE_HEX, 7, TBLX_JUST_LEFT, SIMPLE, "", UPPER, true, 31, nullptr,
     "0x0001F"},
    {"hex zeros suffix", TBLX_TYPE_HEX, 8, TBLX_JUST_CENTER, SIMPLE, "h", LOWER, true, 31, nullptr,
     "0x0001fh"},
    {"hex zeros raw", TBLX_TYPE_HEX, 7, TBLX_JUST_RIGHT, RAW, "", LOWER, true, 31, nullptr, "0x1f"},
    {"hex right", TBLX_TYPE_HEX, 10, TBLX_JUST_RIGHT, SIMPLE, "", LOWER, false, 31, nullptr,
     "      0x1f"},
    {"hex left upper", TBLX_TYPE_HEX, 10, TBLX_JUST_LEFT, SIMPLE, "", UPPER, false, 255, nullptr,
     "0xFF      "},
    {"hex max upper", TBLX_TYPE_HEX, 18, TBLX_JUST_LEFT, SIMPLE, "", UPPER, true, UINT64_MAX,
     nullptr, "0xFFFFFFFFFFFFFFFF"},
    {"hex zero zeros", TBLX_TYPE_HEX, 6, TBLX_JUST_LEFT, SIMPLE, "", LOWER, true, 0, nullptr,
     "0x0000"},
    {"string center", TBLX_TYPE_STRING, 6, TBLX_JUST_CENTER, SIMPLE, "", 0, false, 0, "ab",
     "  ab  "},
    {"string ignores the suffix", TBLX_TYPE_STRING, 4, TBLX_JUST_RIGHT, SIMPLE, "kB", 0, false, 0,
     "ab", "  ab"},
    {"string raw", TBLX_TYPE_STRING, 6, TBLX_JUST_RIGHT, RAW, "", 0, false, 0, "ab", "ab"},
    {"text wider than the column", TBLX_TYPE_STRING, 2, TBLX_JUST_RIGHT, SIMPLE, "", 0, false, 0,
     "abcd", "abcd"},
    // A suffix holding the alignment character is searched like the rest.
    {"int on a character in its suffix", TBLX_TYPE_INT, 6, TBLX_JUST_CHAR_FIRST, SIMPLE, ".5", 0,
     false, 12, nullptr, "   12.5"},
};

TEST(Render, CellsByTypeJustificationAndStyle) {
  for (const RenderCase& rc : render_cases) {
    EXPECT_EQ(rc.expected, render_case(rc)) << rc.what;
  }
}

TEST(Render, SumsAreRenderedLikeCells) {
  for (const RenderCase& rc : render_cases) {
    if (rc.type == TBLX_TYPE_STRING) continue;
    EXPECT_EQ(rc.expected, render_case(rc, true)) << rc.what;
  }
}

// The scratch buffer bounds the text whatever the widths claim.
TEST(Render, NeverWritesPastTheScratchBuffer) {
  Table t(tblx_new());
  t->scratch_size = 4;
  t->scratch = static_cast<char*>(std::malloc(t->scratch_size));
  column col{};
  col.type = TBLX_TYPE_INT;
  col.width_lead = 1000;
  col.cell_justification = TBLX_JUST_RIGHT;
  col.suffix = "kB";
  col.suffix_len = 2;
  cell c{};
  c.set_value(123456);
  const std::string out = capture([&](FILE* s) { render_to(t.get(), s, &col, &c); });
  EXPECT_EQ(std::string(997, ' ') + "   ", out);  // three blanks fit, then blanks to the width
}

TEST(Render, MeasuringGivesTheUnfilledLength) {
  column col{};
  col.suffix = "kB";
  col.suffix_len = 2;
  cell c{};
  struct Case {
    int32_t type;
    bool summarize;
    uint64_t value;
    int expected;
  };
  const Case cases[] = {
      {TBLX_TYPE_INT, false, 42, 4},
      {TBLX_TYPE_INT, false, static_cast<uint64_t>(INT64_MIN), 22},
      {TBLX_TYPE_UINT, false, UINT64_MAX, 22},
      {TBLX_TYPE_HEX, false, 31, 6},
      {TBLX_TYPE_HEX, false, 0, 5},
  };
  for (const Case& k : cases) {
    col.type = k.type;
    c.set_value(k.value);
    EXPECT_EQ(k.expected, measured_length(col, &c)) << k.value;
    // Without a cell: the sum when summed, else the empty text.
    col.sum = {k.value, k.type == TBLX_TYPE_INT && k.value >> 63 != 0 ? UINT64_MAX : 0u};
    col.summarize = 1;
    EXPECT_EQ(k.expected, measured_length(col, nullptr)) << k.value;
    col.summarize = 0;
    EXPECT_EQ(0, measured_length(col, nullptr)) << k.value;
  }
  col.type = TBLX_TYPE_STRING;
  support::TextCell hello("hello");
  EXPECT_EQ(5, measured_length(col, &hello.get()));
  EXPECT_EQ(0, measured_length(col, nullptr));
  // Lengths beyond 32 bits signed count whole.
  hello.get().str.len = 0x80000000u;
  EXPECT_EQ(0x80000000u, measured_length(col, &hello.get()));
  col.type = TBLX_TYPE_INT;
  col.suffix_len = UINT32_MAX;
  c.set_value(5);
  EXPECT_EQ(uint64_t{UINT32_MAX} + 1, measured_length(col, &c));
}

// Lengths are counted without formatting; they must match the formatted text
// at every change in the number of digits. The text that measuring, the
// alignment split and the print share is checked against the standard
// formatter too, hex in both letter cases.
TEST(Render, MeasuredLengthsMatchTheFormattedNumbers) {
  column col{};
  col.suffix = "";
  cell c{};
  std::vector<uint64_t> values = {0, UINT64_MAX, static_cast<uint64_t>(INT64_MIN),
                                  static_cast<uint64_t>(INT64_MAX)};
  for (uint64_t p = 1; p <= 10000000000000000000u; p *= 10) {
    for (uint64_t v : {p - 1, p, p + 1}) {
      values.push_back(v);
      values.push_back(0 - v);
    }
    if (p == 10000000000000000000u) break;
  }
  for (int shift = 0; shift < 64; ++shift) {
    values.push_back(uint64_t{1} << shift);
    values.push_back((uint64_t{1} << shift) - 1);
    values.push_back(uint64_t{0xabcdef} << shift);
  }
  const auto head = [&](uint64_t v) {
    const number_text t = make_number_text(col, v);
    return std::string(t.head, t.head_len);
  };
  char buffer[32];
  for (uint64_t v : values) {
    col.type = TBLX_TYPE_INT;
    c.set_value(v);
    auto r = std::to_chars(buffer, buffer + sizeof buffer, static_cast<int64_t>(v));
    EXPECT_EQ(r.ptr - buffer, measured_length(col, &c)) << "int " << v;
    EXPECT_EQ(std::string(buffer, r.ptr), head(v)) << "int " << v;
    col.type = TBLX_TYPE_UINT;
    r = std::to_chars(buffer, buffer + sizeof buffer, v);
    EXPECT_EQ(r.ptr - buffer, measured_length(col, &c)) << "uint " << v;
    EXPECT_EQ(std::string(buffer, r.ptr), head(v)) << "uint " << v;
    col.type = TBLX_TYPE_HEX;
    col.hex_case = TBLX_HEX_LOWER;
    r = std::to_chars(buffer, buffer + sizeof buffer, v, 16);
    EXPECT_EQ(r.ptr - buffer + 2, measured_length(col, &c)) << "hex " << v;
    std::string hex = "0x" + std::string(buffer, r.ptr);
    EXPECT_EQ(hex, head(v)) << "hex " << v;
    col.hex_case = TBLX_HEX_UPPER;
    for (size_t i = 2; i < hex.size(); ++i) {
      if (hex[i] >= 'a') hex[i] = static_cast<char>(hex[i] - 'a' + 'A');
    }
    EXPECT_EQ(hex, head(v)) << "hex upper " << v;
  }
}

// Where a number's text holds its column's alignment character: in the sign,
// "0x" or digits as the print writes them, or in the suffix; the first or the
// last occurrence by the kind. Measuring splits the width there.
TEST(Render, NumberTextFindsTheAlignmentCharacter) {
  struct Case {
    int32_t type;
    int32_t just;
    unsigned char justify_char;
    int32_t hex_case;
    const char* suffix;
    uint64_t value;
    int64_t expected;
  };
  constexpr int32_t FIRST = TBLX_JUST_CHAR_FIRST;
  constexpr int32_t LAST = TBLX_JUST_CHAR_LAST;
  const Case cases[] = {
      {TBLX_TYPE_UINT, FIRST, '.', 0, ".5", 12, 2},
      {TBLX_TYPE_UINT, FIRST, '.', 0, "", 12, -1},
      {TBLX_TYPE_UINT, FIRST, '1', 0, "1", 121, 0},  // first: in the digits
      {TBLX_TYPE_UINT, LAST, '1', 0, "1", 121, 3},   // last: in the suffix
      {TBLX_TYPE_UINT, LAST, '1', 0, "", 121, 2},
      {TBLX_TYPE_INT, FIRST, '-', 0, "", static_cast<uint64_t>(-12), 0},
      {TBLX_TYPE_INT, LAST, '-', 0, "-", static_cast<uint64_t>(-12), 3},
      {TBLX_TYPE_INT, FIRST, '-', 0, "", 12, -1},
      {TBLX_TYPE_HEX, FIRST, 'x', TBLX_HEX_UPPER, "", 0xab, 1},  // "0x" stays lower case
      {TBLX_TYPE_HEX, FIRST, 'X', TBLX_HEX_UPPER, "", 0xab, -1},
      {TBLX_TYPE_HEX, LAST, 'B', TBLX_HEX_UPPER, "", 0xbab, 4},
      {TBLX_TYPE_HEX, LAST, 'B', TBLX_HEX_LOWER, "", 0xbab, -1},
      {TBLX_TYPE_HEX, LAST, 'b', TBLX_HEX_LOWER, " b", 0xbab, 6},
      {TBLX_TYPE_HEX, FIRST, '0', TBLX_HEX_LOWER, "", 0, 0},
      // Only the kinds that align on a character look for it.
      {TBLX_TYPE_UINT, TBLX_JUST_RIGHT, '.', 0, ".5", 12, -1},
      {TBLX_TYPE_UINT, TBLX_JUST_CENTER, '1', 0, "", 1, -1},
  };
  for (const Case& k : cases) {
    column col{};
    col.type = k.type;
    col.cell_justification = k.just;
    col.justify_char = k.justify_char;
    col.hex_case = k.hex_case;
    col.suffix = k.suffix;
    col.suffix_len = static_cast<uint32_t>(std::strlen(k.suffix));
    const number_text t = make_number_text(col, k.value);
    EXPECT_EQ(k.expected, t.justify_at)
        << std::string(t.head, t.head_len) << k.suffix << " on '" << k.justify_char << "'";
  }
}

// ---- the measuring pass -------------------------------------------------------------------

struct Layout {
  const char* what;
  std::vector<ColDef> cols;
  Rows rows;
  std::vector<std::pair<uint64_t, uint64_t>> expected;
  size_t scratch_size;  // the widest number column's bytes and 5
};

std::vector<Layout> layouts() {
  const ColDef name{TBLX_TYPE_STRING, "Name"};
  const ColDef size{.type = TBLX_TYPE_UINT, .cell_just = TBLX_JUST_RIGHT, .sum = true};
  const ColDef price{.type = TBLX_TYPE_STRING, .cell_just = TBLX_JUST_CHAR_FIRST};
  const ColDef last_point{.type = TBLX_TYPE_STRING, .cell_just = TBLX_JUST_CHAR_LAST};
  return {
      {"names and sizes",
       {name, size},
       {{str("alpha"), unum(1200)}, {str("b"), unum(35)}, {str("gamma-ray"), unum(7)}},
       {{9, 0}, {4, 0}},
       9},
      {"items",
       {{.type = TBLX_TYPE_STRING, .min_width = 10},
        price,
        {.type = TBLX_TYPE_INT, .sum = true, .suffix = " pc"}},
       {{str("pen"), str("1.25"), num(10)}, {str("notebook"), str("12.5"), num(3)}, {str("ink")}},
       {{10, 0}, {3, 2}, {5, 0}},
       10},
      {"title on the point",
       {{.type = TBLX_TYPE_STRING,
         .title = "Price",
         .title_just = TBLX_JUST_CHAR_FIRST,
         .cell_just = TBLX_JUST_CHAR_FIRST}},
       {{str("1.25")}, {str("12.5")}},
       {{6, 2}},
       5},
      {"halves are independent maxima", {price}, {{str("1.2345")}, {str("1234.5")}}, {{5, 4}}, 5},
      {"points and a minimum width",
       {price, {.type = TBLX_TYPE_STRING, .cell_just = TBLX_JUST_CHAR_FIRST, .min_width = 10}},
       {{str("3.14"), str("3.14")}, {str("12.5"), str("12.5")}, {str("100"), str("100")}},
       {{4, 2}, {8, 2}},
       5},
      {"first and last occurrence",
       {price, last_point},
       {{str("1.2.3"), str("1.2.3")}},
       {{2, 3}, {4, 1}},
       5},
      {"another alignment character",
       {{.type = TBLX_TYPE_STRING, .cell_just = TBLX_JUST_CHAR_FIRST, .just_char = ':'}},
       {{str("12:5.1")}},
       {{3, 3}},
       5},
      {"no rows",
       {{.type = TBLX_TYPE_INT, .sum = true, .suffix = "kB"},
        {.type = TBLX_TYPE_HEX, .sum = true},
        {TBLX_TYPE_UINT},
        price,
        last_point},
       {},
       {{3, 0}, {3, 0}, {0, 0}, {1, 0}, {1, 0}},
       8},
      {"no columns", {}, {{}, {}}, {}, 5},
      {"title wider than the cells",
       {{TBLX_TYPE_STRING, "Identifier"}},
       {{str("abc")}},
       {{3, 0}},
       5},
      {"title wider, minimum width",
       {{.type = TBLX_TYPE_STRING, .title = "Identifier", .min_width = 10}},
       {{str("abc")}},
       {{10, 0}},
       5},
      {"uint sum past 64 bits", {size}, {{unum(UINT64_MAX)}, {unum(2)}}, {{20, 0}}, 25},
      {"negative int sum",
       {{.type = TBLX_TYPE_INT, .sum = true}},
       {{num(-7)}, {num(2)}},
       {{2, 0}},
       7},
      {"hex with suffix", {{.type = TBLX_TYPE_HEX, .suffix = " h"}}, {{hex(255)}}, {{6, 0}}, 11},
      {"hex case and zeros do not count",
       {{.type = TBLX_TYPE_HEX, .hex_case = TBLX_HEX_UPPER, .zeros = true}},
       {{hex(0)}, {hex(0xabc)}},
       {{5, 0}},
       10},
      {"numbers are not split when they lack the character",
       {{.type = TBLX_TYPE_INT, .cell_just = TBLX_JUST_CHAR_FIRST}},
       {{num(12345)}, {num(7)}},
       {{5, 0}},
       10},
      {"numbers holding the character are split where the print aligns them",
       {{.type = TBLX_TYPE_INT, .cell_just = TBLX_JUST_CHAR_FIRST, .suffix = ".0"}},
       {{num(12345)}, {num(7)}},
       {{6, 1}},
       12},
      {"the last occurrence may be in the digits",
       {{.type = TBLX_TYPE_INT, .cell_just = TBLX_JUST_CHAR_LAST, .just_char = '-'}},
       {{num(-12)}, {num(345)}},
       {{3, 2}},
       10},
      {"short rows measure only their cells",
       {name, size, price},
       {{str("abc")}, {}, {str("a"), unum(5), str("1.5")}},
       {{3, 0}, {1, 0}, {2, 1}},
       6},
  };
}

TEST(Measure, WidthPairsAndScratchSize) {
  for (const Layout& l : layouts()) {
    Table t = make_table(l.cols, l.rows);
    EXPECT_EQ("", print_to_string(t.get(), 0)) << l.what;
    EXPECT_EQ(0, t->layout_stale) << l.what;
    std::vector<std::pair<uint64_t, uint64_t>> got;
    for (const column* c = t->columns; c != nullptr; c = c->next) {
      got.emplace_back(c->width_lead, c->width_tail);
    }
    EXPECT_EQ(l.expected, got) << l.what;
    EXPECT_EQ(l.scratch_size, t->scratch_size) << l.what;
  }
}

// Sums are exact in 128 bits, two's complement in int columns.
TEST(Measure, SumsAreExactInEveryNumericType) {
  Table t = make_table({{.type = TBLX_TYPE_INT, .sum = true},
                        {.type = TBLX_TYPE_UINT, .sum = true},
                        {.type = TBLX_TYPE_HEX, .sum = true},
                        {.type = TBLX_TYPE_UINT}},
                       {{num(INT64_MAX), unum(UINT64_MAX), hex(UINT64_MAX), unum(9)},
                        {num(2), unum(3), hex(1), unum(9)}});
  print_to_string(t.get(), 0);
  const column* c = t->columns;
  EXPECT_EQ(static_cast<uint64_t>(INT64_MIN) + 1, c->sum.low);
  EXPECT_EQ(0u, c->sum.high);
  EXPECT_EQ(2u, c->next->sum.low);
  EXPECT_EQ(1u, c->next->sum.high);
  EXPECT_EQ(0u, c->next->next->sum.low);
  EXPECT_EQ(1u, c->next->next->sum.high);
  EXPECT_EQ(0u, c->next->next->next->sum.low + c->next->next->next->sum.high);  // not summed
}

}  // namespace
