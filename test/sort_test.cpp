// SPDX-License-Identifier: MIT
// Sorting rows: order, stability, absent keys, status codes, sort order names,
// and a randomized comparison with a plain insertion sort of the same rows, by
// both methods (pairs, and in place as when no pairs array can be allocated).
#include "sort.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <unordered_map>
#include <vector>

#include "support/table.h"

namespace {

using namespace support;

using row_values = std::vector<Val>;  // shorter than the header for short rows

// The rows in list order, checking the record lists (rows_tail included).
std::vector<const row*> row_list(const tblx_table* t) {
  EXPECT_EQ("", record_faults(t));
  return rows_of(t);
}

// Labels rows by their place in the list at the time of the call, so that a
// later order can be read as a permutation of these indexes. A row is known by
// its cells: a sort hands the cells to other row records. Empty rows, which
// have none, are told apart by their order, which no sort changes.
class row_labels {
 public:
  explicit row_labels(const tblx_table* t) {
    for (const row* r : row_list(t)) {
      if (r->cells == nullptr) {
        empty_.push_back(index_.size() + empty_.size());
      } else {
        index_.emplace(r->cells, index_.size() + empty_.size());
      }
    }
  }
  std::vector<size_t> order(const tblx_table* t) const {
    std::vector<size_t> out;
    size_t empties = 0;
    for (const row* r : row_list(t)) {
      out.push_back(r->cells == nullptr ? empty_.at(empties++) : index_.at(r->cells));
    }
    return out;
  }

 private:
  std::unordered_map<const row_cells*, size_t> index_;
  std::vector<size_t> empty_;  // the labels of the empty rows, in list order
};

// The first cell of every row, as text (string columns) or number.
std::vector<std::string> first_texts(const tblx_table* t) {
  std::vector<std::string> out;
  for (const row* r : row_list(t)) out.emplace_back(r->cells ? first_cell(r)->str.text : "-");
  return out;
}

std::vector<int64_t> first_ints(const tblx_table* t) {
  std::vector<int64_t> out;
  for (const row* r : row_list(t)) out.push_back(static_cast<int64_t>(first_cell(r)->value()));
  return out;
}

std::vector<uint64_t> first_uints(const tblx_table* t) {
  std::vector<uint64_t> out;
  for (const row* r : row_list(t)) out.push_back(first_cell(r)->value());
  return out;
}

using strings = std::vector<std::string>;

// ---- worked examples ---------------------------------------------------------

Table letters_and_numbers() {
  return make_table({{TBLX_TYPE_STRING}, {TBLX_TYPE_UINT}},
                    {{str("b"), unum(20)}, {str("a"), unum(10)}, {str("c"), unum(20)}, {str("d")}});
}

TEST(Sort, TextAndNumberColumns) {
  struct Case {
    int order;
    int column_id;
    strings expected;
  };
  const Case cases[] = {
      {TBLX_SORT_ASC, 2, {"d", "a", "b", "c"}},   {TBLX_SORT_DESC, 2, {"b", "c", "a", "d"}},
      {TBLX_SORT_ASC, 1, {"a", "b", "c", "d"}},   {TBLX_SORT_DESC, 1, {"d", "c", "b", "a"}},
      {TBLX_SORT_UNORD, 2, {"b", "a", "c", "d"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "order " << c.order << " column " << c.column_id);
    Table t = letters_and_numbers();
    ASSERT_EQ(tblx_sort(t.get(), c.order, c.column_id), TBLX_OK);
    EXPECT_EQ(first_texts(t.get()), c.expected);
  }
}

TEST(Sort, StringsByBytesOrByLengthFirst) {
  const std::vector<row_values> rows = {{str("10")}, {str("9")}, {str("100")}, {str("")}};
  Table plain = make_table({{TBLX_TYPE_STRING}}, rows);
  ASSERT_EQ(tblx_sort(plain.get(), TBLX_SORT_ASC, 1), TBLX_OK);
  EXPECT_EQ(first_texts(plain.get()), (strings{"", "10", "100", "9"}));

  Table by_length =
      make_table({{.type = TBLX_TYPE_STRING, .sort_mode = TBLX_SORTMODE_BY_LENGTH}}, rows);
  ASSERT_EQ(tblx_sort(by_length.get(), TBLX_SORT_ASC, 1), TBLX_OK);
  EXPECT_EQ(first_texts(by_length.get()), (strings{"", "9", "10", "100"}));
  ASSERT_EQ(tblx_sort(by_length.get(), TBLX_SORT_DESC, 1), TBLX_OK);
  EXPECT_EQ(first_texts(by_length.get()), (strings{"100", "10", "9", ""}));
}

TEST(Sort, BytesCompareUnsigned) {
  Table t = make_table({{TBLX_TYPE_STRING}}, {{str("\xc3\xa9")}, {str("z")}, {str("\x01")}});
  ASSERT_EQ(tblx_sort(t.get(), TBLX_SORT_ASC, 1), TBLX_OK);
  EXPECT_EQ(first_texts(t.get()), (strings{"\x01", "z", "\xc3\xa9"}));
}

TEST(Sort, SignedAndUnsignedOrderAroundTheSignBit) {
  const uint64_t high = uint64_t{1} << 63;
  for (unsigned type : {unsigned{TBLX_TYPE_UINT}, unsigned{TBLX_TYPE_HEX}}) {
    auto v = [type](uint64_t n) { return Val{type, {}, n}; };
    Table t = make_table({{type}}, {{v(high)}, {v(3)}, {v(UINT64_MAX)}, {v(0)}});
    ASSERT_EQ(tblx_sort(t.get(), TBLX_SORT_ASC, 1), TBLX_OK);
    EXPECT_EQ(first_uints(t.get()), (std::vector<uint64_t>{0, 3, high, UINT64_MAX}));
  }
  Table t =
      make_table({{TBLX_TYPE_INT}},
                 {{num(INT64_MIN)}, {num(3)}, {num(-1)}, {num(INT64_MAX)}, {num(0)}, {num(-5)}});
  ASSERT_EQ(tblx_sort(t.get(), TBLX_SORT_ASC, 1), TBLX_OK);
  EXPECT_EQ(first_ints(t.get()), (std::vector<int64_t>{INT64_MIN, -5, -1, 0, 3, INT64_MAX}));
  ASSERT_EQ(tblx_sort(t.get(), TBLX_SORT_DESC, 1), TBLX_OK);
  EXPECT_EQ(first_ints(t.get()), (std::vector<int64_t>{INT64_MAX, 3, 0, -1, -5, INT64_MIN}));
}

// ---- stability and absent keys -------------------------------------------------

// Rows of a label column and an int key column.
Table labelled(const std::vector<std::pair<const char*, int64_t>>& rows) {
  std::vector<row_values> values;
  for (const auto& [label, key] : rows) values.push_back({str(label), num(key)});
  return make_table({{TBLX_TYPE_STRING}, {TBLX_TYPE_INT}}, values);
}

// True when each row record of the list lies behind the one before it, as a
// table's rows do in its first block: the print reads them one after another.
bool rows_in_memory_order(const tblx_table* t) {
  const std::vector<const row*> rows = row_list(t);
  return std::is_sorted(rows.begin(), rows.end(), std::less<const row*>());
}

TEST(Sort, EqualKeysKeepTheirOrderInBothDirections) {
  Table t = labelled({{"x1", 1}, {"y1", 2}, {"x2", 1}, {"y2", 2}, {"x3", 1}, {"z", 0}});
  ASSERT_EQ(tblx_sort(t.get(), TBLX_SORT_ASC, 2), TBLX_OK);
  EXPECT_EQ(first_texts(t.get()), (strings{"z", "x1", "x2", "x3", "y1", "y2"}));
  EXPECT_TRUE(rows_in_memory_order(t.get()));
  ASSERT_EQ(tblx_sort(t.get(), TBLX_SORT_DESC, 2), TBLX_OK);
  EXPECT_EQ(first_texts(t.get()), (strings{"y1", "y2", "x1", "x2", "x3", "z"}));
  EXPECT_TRUE(rows_in_memory_order(t.get()));
}

TEST(Sort, RowsWithoutKeyFirstAscendingLastDescendingInInputOrder) {
  // An empty row and two short rows, mixed in among rows with keys.
  Table t =
      make_table({{TBLX_TYPE_STRING}, {TBLX_TYPE_INT}},
                 {{str("k5"), num(5)}, {str("short1")}, {}, {str("k1"), num(1)}, {str("short2")}});
  row_labels labels(t.get());
  ASSERT_EQ(tblx_sort(t.get(), TBLX_SORT_ASC, 2), TBLX_OK);
  EXPECT_EQ(labels.order(t.get()), (std::vector<size_t>{1, 2, 4, 3, 0}));
  ASSERT_EQ(tblx_sort(t.get(), TBLX_SORT_DESC, 2), TBLX_OK);
  EXPECT_EQ(labels.order(t.get()), (std::vector<size_t>{0, 3, 1, 2, 4}));
}

// Empty cells sort below every value, the empty text included, and keep
// their input order; rows without the cell stay outermost.
TEST(Sort, EmptyCellsBelowEveryValue) {
  struct Case {
    ColDef key;
    std::vector<Val> keys;  // one per row, after its label; `none`: a short row
    std::vector<size_t> ascending, descending;
  };
  const Val none{TBLX_TYPE_HEX + 1, {}, 0};
  const Case cases[] = {
      {{TBLX_TYPE_INT},
       {blank(), num(INT64_MIN), none, blank(), num(-1)},
       {2, 0, 3, 1, 4},
       {4, 1, 0, 3, 2}},
      {{TBLX_TYPE_UINT}, {unum(0), blank(), blank(), unum(7)}, {1, 2, 0, 3}, {3, 0, 1, 2}},
      {{TBLX_TYPE_HEX}, {blank(), hex(0)}, {0, 1}, {1, 0}},
      {{TBLX_TYPE_STRING},
       {str("b"), blank(), str(""), blank(), str("a")},
       {1, 3, 2, 4, 0},
       {0, 4, 2, 1, 3}},
      {{.type = TBLX_TYPE_STRING, .sort_mode = TBLX_SORTMODE_BY_LENGTH},
       {str("bb"), str(""), blank(), str("a")},
       {2, 1, 3, 0},
       {0, 3, 1, 2}},
  };
  for (const Case& c : cases) {
    for (const auto method : {sort_method::pairs, sort_method::in_place}) {
      std::vector<std::vector<Val>> rows;
      for (const Val& v : c.keys) {
        rows.push_back({str("row")});
        if (v.type != none.type) rows.back().push_back(v);
      }
      Table t = make_table({{TBLX_TYPE_STRING}, c.key}, rows);
      row_labels labels(t.get());
      SCOPED_TRACE(testing::Message() << "type " << c.key.type << " method " << int(method));
      ASSERT_EQ(sort_rows(t.get(), TBLX_SORT_ASC, 2, method), TBLX_OK);
      EXPECT_EQ(labels.order(t.get()), c.ascending);
      ASSERT_EQ(sort_rows(t.get(), TBLX_SORT_DESC, 2, method), TBLX_OK);
      EXPECT_EQ(labels.order(t.get()), c.descending);
    }
  }
}

TEST(Sort, SecondSortKeepsTheFirstOrderAmongEqualKeys) {
  Table t = make_table({{TBLX_TYPE_STRING}, {TBLX_TYPE_INT}}, {{str("b"), num(2)},
                                                               {str("a"), num(1)},
                                                               {str("d"), num(1)},
                                                               {str("c"), num(2)},
                                                               {str("e"), num(1)}});
  ASSERT_EQ(tblx_sort(t.get(), TBLX_SORT_DESC, 1), TBLX_OK);
  ASSERT_EQ(tblx_sort(t.get(), TBLX_SORT_ASC, 2), TBLX_OK);
  EXPECT_EQ(first_texts(t.get()), (strings{"e", "d", "a", "c", "b"}));
}

TEST(Sort, RowsAddedAfterASortGoLast) {
  Table t = make_table({{TBLX_TYPE_INT}}, {{num(3)}, {num(1)}, {num(2)}});
  ASSERT_EQ(tblx_sort(t.get(), TBLX_SORT_ASC, 1), TBLX_OK);
  ASSERT_EQ(tblx_beginrow(t.get()), TBLX_OK);
  ASSERT_EQ(tblx_addcell_int(t.get(), 0), TBLX_OK);
  ASSERT_EQ(tblx_endrow(t.get()), TBLX_OK);
  EXPECT_EQ(first_ints(t.get()), (std::vector<int64_t>{1, 2, 3, 0}));
  EXPECT_EQ(tblx_getrowcount(t.get()), 4);
}

TEST(Sort, NoRowsOrOneRow) {
  Table empty = make_table({{TBLX_TYPE_INT}}, {});
  EXPECT_EQ(tblx_sort(empty.get(), TBLX_SORT_ASC, 1), TBLX_OK);
  EXPECT_EQ(empty->rows, nullptr);
  EXPECT_EQ(empty->rows_tail, nullptr);

  Table one = make_table({{TBLX_TYPE_INT}}, {{num(7)}});
  const row* only = one->rows;
  EXPECT_EQ(tblx_sort(one.get(), TBLX_SORT_DESC, 1), TBLX_OK);
  EXPECT_EQ(one->rows, only);
  EXPECT_EQ(one->rows_tail, only);
  EXPECT_EQ(only->next, nullptr);
}

// ---- status codes ----------------------------------------------------------------

TEST(Sort, RefusalsInTheirOrderLeaveTheRowsAlone) {
  EXPECT_EQ(tblx_sort(nullptr, TBLX_SORT_ASC, 1), TBLX_ERR_INVALID_ARGUMENT);

  Table open_header(tblx_new());
  ASSERT_EQ(tblx_begincolumn(open_header.get(), TBLX_TYPE_INT), TBLX_OK);
  EXPECT_EQ(tblx_sort(open_header.get(), 99, 99), TBLX_ERR_NO_HEADER);

  struct Case {
    int order;
    int column_id;
    tblx_status expected;
  };
  const Case cases[] = {
      {TBLX_SORT_UNORD, 3, TBLX_ERR_NO_SUCH_COLUMN}, {3, 0, TBLX_ERR_NO_SUCH_COLUMN},
      {TBLX_SORT_ASC, -1, TBLX_ERR_NO_SUCH_COLUMN},  {3, 1, TBLX_ERR_INVALID_SORT_ORDER},
      {-1, 2, TBLX_ERR_INVALID_SORT_ORDER},          {TBLX_SORT_UNORD, 2, TBLX_OK},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "order " << c.order << " column " << c.column_id);
    Table t = letters_and_numbers();
    EXPECT_EQ(tblx_sort(t.get(), c.order, c.column_id), c.expected);
    EXPECT_EQ(first_texts(t.get()), (strings{"b", "a", "c", "d"}));
  }

  // An open row is refused before the column and the order are looked at.
  Table t = letters_and_numbers();
  ASSERT_EQ(tblx_beginrow(t.get()), TBLX_OK);
  EXPECT_EQ(tblx_sort(t.get(), 99, 99), TBLX_ERR_ROW_OPEN);
  ASSERT_EQ(tblx_endrow(t.get()), TBLX_OK);

  // A column of no known type has no comparator; that check precedes the order's.
  t->columns->type = 99;
  EXPECT_EQ(tblx_sort(t.get(), 99, 1), TBLX_ERR_NOT_COMPARABLE);
  EXPECT_EQ(tblx_sort(t.get(), TBLX_SORT_UNORD, 1), TBLX_ERR_NOT_COMPARABLE);
}

// ---- sort order names --------------------------------------------------------------

TEST(SortOrderNames, ParseWholeExactNames) {
  struct Case {
    const char* name;
    tblx_status status;
    int value;  // what the int holds afterwards; it starts at 42
  };
  const Case cases[] = {
      {"asc", TBLX_OK, TBLX_SORT_ASC},
      {"desc", TBLX_OK, TBLX_SORT_DESC},
      {"unord", TBLX_OK, TBLX_SORT_UNORD},
      {"DESC", TBLX_ERR_PARSE, 42},
      {"as", TBLX_ERR_PARSE, 42},
      {"ascending", TBLX_ERR_PARSE, 42},
      {"", TBLX_ERR_PARSE, 42},
      {"asc ", TBLX_ERR_PARSE, 42},
  };
  for (const Case& c : cases) {
    int value = 42;
    EXPECT_EQ(tblx_parse_sortorder(&value, c.name), c.status) << c.name;
    EXPECT_EQ(value, c.value) << c.name;
  }
  int value = 42;
  EXPECT_EQ(tblx_parse_sortorder(nullptr, "asc"), TBLX_ERR_INVALID_ARGUMENT);
  EXPECT_EQ(tblx_parse_sortorder(&value, nullptr), TBLX_ERR_INVALID_ARGUMENT);
  EXPECT_EQ(value, 42);
}

TEST(SortOrderNames, ListEndsWithNullAndEveryNameParses) {
  const char* const* list = tblx_getsortorderlist();
  ASSERT_NE(list, nullptr);
  EXPECT_STREQ(list[0], "asc");
  EXPECT_STREQ(list[1], "desc");
  EXPECT_STREQ(list[2], "unord");
  EXPECT_EQ(list[3], nullptr);
  EXPECT_EQ(tblx_getsortorderlist(), list);
}

// ---- randomized comparison with insertion ----------------------------------------

// Compares two present keys of one column as the column's sort mode says;
// an empty cell is below every value.
int compare_keys(const ColDef& col, const Val& a, const Val& b) {
  if (a.type == 0 || b.type == 0) return int{b.type == 0} - int{a.type == 0};
  switch (col.type) {
    case TBLX_TYPE_STRING: {
      const std::string& x = a.text;
      const std::string& y = b.text;
      if ((col.sort_mode & TBLX_SORTMODE_BY_LENGTH) && x.size() != y.size()) {
        return x.size() < y.size() ? -1 : 1;
      }
      return std::strcmp(x.c_str(), y.c_str());
    }
    case TBLX_TYPE_INT: {
      const auto x = static_cast<int64_t>(a.value), y = static_cast<int64_t>(b.value);
      return x < y ? -1 : x > y;
    }
    default: {
      const uint64_t x = a.value, y = b.value;
      return x < y ? -1 : x > y;
    }
  }
}

// The plain procedure: each row in turn goes in front of the first placed row
// whose key it sorts strictly before, or at the end.
std::vector<size_t> insertion_order(const std::vector<ColDef>& columns,
                                    const std::vector<row_values>& rows,
                                    const std::vector<size_t>& current, int order, size_t key) {
  auto wrap = [&](const row_values& a, const row_values& b) {
    const bool has_a = a.size() > key, has_b = b.size() > key;
    int r = 0;
    if (has_a && has_b) {
      r = compare_keys(columns[key], a[key], b[key]);
    } else if (has_a != has_b) {
      r = has_a ? 1 : -1;
    }
    return order == TBLX_SORT_DESC ? -r : r;
  };
  std::vector<size_t> placed;
  for (size_t r : current) {
    auto at = placed.begin();
    while (at != placed.end() && wrap(rows[r], rows[*at]) >= 0) ++at;
    placed.insert(at, r);
  }
  return placed;
}

// A text of the given length from a small alphabet, so that many are equal.
std::string texts_of_length(size_t len, std::mt19937& rng) {
  std::string text;
  for (size_t i = 0; i < len; ++i) text.push_back("ab"[rng() % 2]);
  return text;
}

Val random_value(unsigned type, std::mt19937& rng) {
  // Some alike in their first 4 or 8 bytes, the prefixes that the pair sort compares first.
  static const char* const texts[] = {
      "",         "9",        "10",       "100",       "a",
      "ab",       "b",        "\xc3\xa9", "B",         "abcdX",
      "abcdY",    "abcdefgh", "abcdefgh", "abcdefgh2", "abcdefgh\xff",
      "abcdefgh1"};
  static const uint64_t numbers[] = {0, 1, 2, 3, uint64_t{1} << 63, UINT64_MAX, 42};
  const uint64_t n = numbers[rng() % std::size(numbers)];
  if (rng() % 8 == 0) return blank();
  switch (type) {
    case TBLX_TYPE_STRING:
      return str(texts[rng() % std::size(texts)]);
    case TBLX_TYPE_INT:
      return num(static_cast<int64_t>(n));
    default:
      return {type, {}, n};
  }
}

TEST(SortRandomized, SameOrderAsInsertion) {
  std::mt19937 rng(20240611);
  for (int round = 0; round < 1500; ++round) {
    std::vector<ColDef> columns(1 + rng() % 4);
    for (ColDef& c : columns) {
      c.type = TBLX_TYPE_STRING + rng() % 4;
      c.sort_mode = static_cast<int>(rng() % 4);  // bit 2 set or not, plus a stray bit
    }
    // Mostly small tables; now and then one large enough for many merge passes.
    const size_t n = rng() % 10 == 0 ? rng() % 700 : rng() % 40;
    std::vector<row_values> rows(n);
    for (row_values& r : rows) {
      // A third of the rows are short, some of those empty.
      const size_t len = rng() % 3 == 0 ? rng() % columns.size() : columns.size();
      for (size_t i = 0; i < len; ++i) r.push_back(random_value(columns[i].type, rng));
    }
    Table t = make_table(columns, rows);
    row_labels labels(t.get());
    std::vector<size_t> expected(n);
    for (size_t i = 0; i < n; ++i) expected[i] = i;

    // Several sorts in a row, each starting from the order the last one left,
    // by the two methods in turn.
    for (int step = 0; step < 3; ++step) {
      const int order = rng() % 2 ? TBLX_SORT_ASC : TBLX_SORT_DESC;
      const size_t key = rng() % columns.size();
      const auto method = (round + step) % 2 ? sort_method::in_place : sort_method::pairs;
      SCOPED_TRACE(testing::Message()
                   << "round " << round << " step " << step << " rows " << n << " order " << order
                   << " key " << key << " method " << int(method));
      expected = insertion_order(columns, rows, expected, order, key);
      ASSERT_EQ(sort_rows(t.get(), order, static_cast<int>(key + 1), method), TBLX_OK);
      ASSERT_EQ(labels.order(t.get()), expected);
    }
  }
}

// Tables large enough to be sorted in several chunks that are then merged
// many lists at a time, or by every byte of the keys. Insertion is too slow at
// this size; a stable sort by the same rule gives the same order. The row
// count sizes the chunks and the pairs array, so a wrong one must not change
// the order either: one too low leaves the pairs method to sort in place.
TEST(SortRandomized, LargeTablesSameOrderAsStableSort) {
  std::mt19937 rng(7);
  const std::vector<ColDef> columns = {
      {.type = TBLX_TYPE_STRING, .sort_mode = TBLX_SORTMODE_BY_LENGTH},
      {TBLX_TYPE_INT},
      {TBLX_TYPE_UINT}};
  const size_t n = 70001;
  std::vector<row_values> rows(n);
  for (row_values& r : rows) {
    const size_t len = rng() % 8 == 0 ? rng() % 3 : 3;  // some short and empty rows
    if (len > 0) r.push_back(str(texts_of_length(rng() % 4, rng)));
    // Many equal keys, and some empty cells.
    if (len > 1) r.push_back(rng() % 16 ? num(static_cast<int64_t>(rng() % 50) - 25) : blank());
    // Many equal keys again, and bytes that all keys share between those that differ.
    if (len > 2) r.push_back(unum((uint64_t{rng() % 4} << 56) | (uint64_t{rng() % 1000} << 16)));
  }
  Table t = make_table(columns, rows);
  row_labels labels(t.get());
  std::vector<size_t> expected(n);
  for (size_t i = 0; i < n; ++i) expected[i] = i;

  const int32_t true_count = tblx_getrowcount(t.get());
  const int32_t counts[] = {true_count, 0, 1, 4097, true_count * 3};
  int step = 0;
  for (const int32_t count : counts) {
    for (const auto& [order, method] : {std::pair{TBLX_SORT_ASC, sort_method::pairs},
                                        {TBLX_SORT_ASC, sort_method::in_place},
                                        {TBLX_SORT_DESC, sort_method::pairs},
                                        {TBLX_SORT_DESC, sort_method::in_place}}) {
      const size_t key = static_cast<size_t>(step++) % columns.size();
      SCOPED_TRACE(testing::Message() << "row count " << count << " order " << order << " key "
                                      << key << " method " << int(method));
      auto wrap = [&](size_t a, size_t b) {
        const bool has_a = rows[a].size() > key, has_b = rows[b].size() > key;
        int r = 0;
        if (has_a && has_b) {
          r = compare_keys(columns[key], rows[a][key], rows[b][key]);
        } else if (has_a != has_b) {
          r = has_a ? 1 : -1;
        }
        return order == TBLX_SORT_DESC ? -r : r;
      };
      std::stable_sort(expected.begin(), expected.end(),
                       [&](size_t a, size_t b) { return wrap(a, b) < 0; });
      t->row_count = count;
      ASSERT_EQ(sort_rows(t.get(), order, static_cast<int>(key + 1), method), TBLX_OK);
      t->row_count = true_count;
      ASSERT_EQ(labels.order(t.get()), expected);
    }
  }
}

}  // namespace
