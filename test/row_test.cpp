// SPDX-License-Identifier: MIT
// Rows and cells: the row states, the cell cursor and how cells are stored.

#include <algorithm>
#include <cstring>
#include <string>

#include "support/table.h"

namespace {

using namespace support;

using Call = tblx_status (*)(tblx_table*);

constexpr char kCellText[] = "s";
constexpr Call add_string = call<tblx_addcell_string, kCellText>;
constexpr Call add_int = call<tblx_addcell_int, 5>;
constexpr Call add_uint = call<tblx_addcell_uint, 5u>;
constexpr Call add_hex = call<tblx_addcell_hex, 5u>;
constexpr Call add_empty = call<tblx_addcell_empty>;
tblx_status remove_rows(tblx_table* t) {
  tblx_removerows(t);
  return TBLX_OK;
}

TEST(Rows, CursorFollowsTheColumnsAndRefusalsChangeNothing) {
  struct Step {
    const char* what;
    Call call;
    tblx_status want;
    int32_t rows_after;
  };
  const Step steps[] = {
      {"cell before any row", add_string, TBLX_ERR_NO_MORE_COLUMNS, 0},
      {"endrow before any row", tblx_endrow, TBLX_ERR_NO_OPEN_ROW, 0},
      {"beginrow", tblx_beginrow, TBLX_OK, 0},
      {"beginrow with a row open", tblx_beginrow, TBLX_ERR_ROW_OPEN, 0},
      {"int into the string column", add_int, TBLX_ERR_CELL_TYPE_MISMATCH, 0},
      {"string into the string column", add_string, TBLX_OK, 0},
      {"string into the int column", add_string, TBLX_ERR_CELL_TYPE_MISMATCH, 0},
      {"int into the int column", add_int, TBLX_OK, 0},
      {"cell past the last column", add_int, TBLX_ERR_NO_MORE_COLUMNS, 0},
      {"endrow", tblx_endrow, TBLX_OK, 1},
      {"second endrow", tblx_endrow, TBLX_ERR_NO_OPEN_ROW, 1},
      {"beginrow of a short row", tblx_beginrow, TBLX_OK, 1},
      {"its only cell", add_string, TBLX_OK, 1},
      {"endrow of the short row", tblx_endrow, TBLX_OK, 2},
      {"cell after endrow of a short row", add_int, TBLX_ERR_NO_MORE_COLUMNS, 2},
      {"empty cell before beginrow", add_empty, TBLX_ERR_NO_MORE_COLUMNS, 2},
      {"beginrow of empty cells", tblx_beginrow, TBLX_OK, 2},
      {"empty cell in the string column", add_empty, TBLX_OK, 2},
      {"empty cell in the int column", add_empty, TBLX_OK, 2},
      {"empty cell past the last column", add_empty, TBLX_ERR_NO_MORE_COLUMNS, 2},
      {"endrow of empty cells", tblx_endrow, TBLX_OK, 3},
      {"beginrow to be removed", tblx_beginrow, TBLX_OK, 3},
      {"cell of the removed row", add_string, TBLX_OK, 3},
      {"removerows with a row open", remove_rows, TBLX_OK, 0},
      {"cell after removerows", add_string, TBLX_ERR_NO_MORE_COLUMNS, 0},
      {"endrow after removerows", tblx_endrow, TBLX_ERR_NO_OPEN_ROW, 0},
      {"beginrow after removerows", tblx_beginrow, TBLX_OK, 0},
      {"endrow of a row without cells", tblx_endrow, TBLX_OK, 1},
  };
  Table t = make_table({{TBLX_TYPE_STRING}, {TBLX_TYPE_INT}});
  for (const Step& s : steps) {
    const std::string before = image(t.get());
    const tblx_status got = s.call(t.get());
    EXPECT_EQ(s.want, got) << s.what;
    if (got != TBLX_OK) {
      EXPECT_EQ(before, image(t.get())) << s.what << ": refused but wrote";
    }
    EXPECT_EQ(s.rows_after, tblx_getrowcount(t.get())) << s.what;
  }
  ASSERT_NE(nullptr, t->rows);
  EXPECT_EQ(t->rows, t->rows_tail);
  EXPECT_EQ(nullptr, t->rows->cells);
}

TEST(Rows, CellTypeMustMatchTheWaitingColumnExactly) {
  const unsigned types[] = {TBLX_TYPE_STRING, TBLX_TYPE_INT, TBLX_TYPE_UINT, TBLX_TYPE_HEX};
  const Call adds[] = {add_string, add_int, add_uint, add_hex};
  for (int column_type = 0; column_type < 4; ++column_type) {
    for (int cell_type = 0; cell_type < 4; ++cell_type) {
      Table t = make_table({{types[column_type]}});
      ASSERT_EQ(TBLX_OK, tblx_beginrow(t.get()));
      EXPECT_EQ(column_type == cell_type ? TBLX_OK : TBLX_ERR_CELL_TYPE_MISMATCH,
                adds[cell_type](t.get()))
          << "column " << column_type << ", cell " << cell_type;
    }
  }
}

TEST(Rows, HeaderStatesAndNullArguments) {
  Table open_header = make_open_header({{TBLX_TYPE_STRING}});
  EXPECT_EQ(TBLX_ERR_NO_HEADER, tblx_beginrow(open_header.get()));

  Table no_columns = make_table({});
  ASSERT_EQ(TBLX_OK, tblx_beginrow(no_columns.get()));
  for (Call add : {add_string, add_int, add_uint, add_hex, add_empty}) {
    EXPECT_EQ(TBLX_ERR_NO_MORE_COLUMNS, add(no_columns.get()));
  }
  EXPECT_EQ(TBLX_OK, tblx_endrow(no_columns.get()));

  for (Call call : {Call{tblx_beginrow}, Call{tblx_endrow}, add_string, add_int, add_uint, add_hex,
                    add_empty}) {
    EXPECT_EQ(TBLX_ERR_INVALID_ARGUMENT, call(nullptr));
  }
  Table t = make_table({{TBLX_TYPE_STRING}});
  EXPECT_EQ(TBLX_ERR_INVALID_ARGUMENT, tblx_addcell_string(t.get(), nullptr));  // none waiting
  ASSERT_EQ(TBLX_OK, tblx_beginrow(t.get()));
  EXPECT_EQ(TBLX_ERR_INVALID_ARGUMENT, tblx_addcell_string(t.get(), nullptr));
  EXPECT_EQ(nullptr, t->open_row->cells);
}

TEST(Rows, KeptInInsertionOrderAndCountedOnlyWhenEnded) {
  Table t = make_table({{TBLX_TYPE_INT}});
  for (int64_t i = 0; i < 3; ++i) {
    ASSERT_EQ(TBLX_OK, tblx_beginrow(t.get()));
    ASSERT_EQ(TBLX_OK, tblx_addcell_int(t.get(), i));
    if (i < 2) {
      ASSERT_EQ(TBLX_OK, tblx_endrow(t.get()));
    }
  }
  EXPECT_EQ(2, tblx_getrowcount(t.get()));  // the third row is still open
  const row* r = t->rows;
  for (uint64_t i = 0; i < 3; r = r->next, ++i) EXPECT_EQ(i, first_cell(r)->value());
  EXPECT_EQ(nullptr, r);
  EXPECT_EQ(t->open_row, t->rows_tail);
}

TEST(Rows, BeginAndRemoveMarkTheLayoutStaleAndKeepTheHeader) {
  Table t = make_table({{TBLX_TYPE_UINT}});
  t->layout_stale = 0;  // as a print leaves it
  ASSERT_EQ(TBLX_OK, tblx_beginrow(t.get()));
  EXPECT_EQ(1, t->layout_stale);
  ASSERT_EQ(TBLX_OK, tblx_addcell_uint(t.get(), 7));
  ASSERT_EQ(TBLX_OK, tblx_endrow(t.get()));
  t->layout_stale = 0;
  column* const header = t->columns;
  // A print right after must measure the empty table, not show old sums.
  tblx_removerows(t.get());
  EXPECT_EQ(1, t->layout_stale);
  EXPECT_EQ(header, t->columns);
  EXPECT_EQ(1, t->header_ended);
}

// The table's image but for the note of where the open row began, which
// only tblx_beginrow writes.
std::string image_but_row_start(tblx_table* t, const row_start& keep) {
  const row_start now = t->before_row;
  t->before_row = keep;
  std::string out = image(t);
  t->before_row = now;
  return out;
}

TEST(Rows, CancelGivesBackTheRowItsCellsAndTheirBlocks) {
  struct Case {
    const char* what;
    size_t rows_before;
    std::vector<std::string> texts;  // the cancelled row's cells
  };
  const std::string big(3 * arena_first_block, 'b');   // a block of its own
  const std::string fill(arena_first_block / 3, 'f');  // three fill a regular block
  const Case cases[] = {
      {"first row, no cells", 0, {}},
      {"first row", 0, {"a", "b"}},
      {"after rows", 5, {"a", "b"}},
      {"a cell in a block of its own", 2, {big}},
      {"cells that start a new regular block", 2, {fill, fill, fill, fill}},
  };
  for (const Case& c : cases) {
    Table t = make_table({{TBLX_TYPE_STRING},
                          {TBLX_TYPE_STRING},
                          {TBLX_TYPE_STRING},
                          {TBLX_TYPE_STRING},
                          {TBLX_TYPE_UINT, "n", 0, TBLX_JUST_RIGHT, 0, true}});
    for (size_t r = 0; r < c.rows_before; ++r) {
      ASSERT_EQ("", support::append_row(t.get(), {str("x"), str("y"), str(""), str(""), unum(r)}));
    }
    const std::string printed = print_capture(t.get()).text;
    const row_start kept = t->before_row;
    const std::string before = image(t.get());
    const arena_block* const row_blocks = t->row_store.newest;
    ASSERT_EQ(TBLX_OK, tblx_beginrow(t.get())) << c.what;
    for (const std::string& text : c.texts) {
      ASSERT_EQ(TBLX_OK, tblx_addcell_string(t.get(), text.c_str())) << c.what;
    }
    EXPECT_EQ(TBLX_OK, tblx_cancelrow(t.get())) << c.what;
    EXPECT_EQ(1, t->layout_stale) << c.what << ": the next print measures again";
    t->layout_stale = 0;  // as the print before left it
    EXPECT_EQ(before, image_but_row_start(t.get(), kept)) << c.what;
    EXPECT_EQ(row_blocks, t->row_store.newest) << c.what;
    EXPECT_EQ(TBLX_ERR_NO_OPEN_ROW, tblx_cancelrow(t.get())) << c.what;
    EXPECT_EQ(printed, print_capture(t.get()).text) << c.what;
    // The space given back is handed out again, zeroed.
    ASSERT_EQ("", support::append_row(t.get(), {str("z"), blank()})) << c.what;
    EXPECT_EQ(c.rows_before + 1, static_cast<size_t>(tblx_getrowcount(t.get())));
    EXPECT_EQ("", support::record_faults(t.get())) << c.what;
  }
  EXPECT_EQ(TBLX_ERR_INVALID_ARGUMENT, tblx_cancelrow(nullptr));
}

// A setting changed while a row was open counts after the row is cancelled:
// the next print measures again, here with its title.
TEST(Rows, CancelKeepsSettingsChangedWhileTheRowWasOpen) {
  Table t = make_table({{TBLX_TYPE_STRING, "a long title"}});
  ASSERT_EQ("", support::append_row(t.get(), {str("x")}));
  print_capture(t.get());
  ASSERT_EQ(TBLX_OK, tblx_beginrow(t.get()));
  ASSERT_EQ(TBLX_OK, tblx_setmeasuretitles(t.get(), 1));
  ASSERT_EQ(TBLX_OK, tblx_cancelrow(t.get()));
  Table fresh = make_table({{TBLX_TYPE_STRING, "a long title"}});
  ASSERT_EQ(TBLX_OK, tblx_setmeasuretitles(fresh.get(), 1));
  ASSERT_EQ("", support::append_row(fresh.get(), {str("x")}));
  EXPECT_EQ(print_capture(fresh.get()).text, print_capture(t.get()).text);
}

// Empty marks come in words of 32 cells: rows of texts and numbers, with
// empty cells and row ends on both sides of each group's edge, read back
// cell by cell, and a sort by a column behind the edges finds its keys.
TEST(Cells, EmptyMarksAndRowEndsAcrossGroupsOfThirtyTwo) {
  constexpr size_t columns = 70;
  std::vector<ColDef> cols;
  for (size_t j = 0; j < columns; ++j)
    cols.push_back({static_cast<unsigned>(j % 2 ? TBLX_TYPE_UINT : TBLX_TYPE_STRING)});
  struct Case {
    size_t cells;
    std::vector<size_t> empty;
  };
  const Case cases[] = {
      {70, {}},      {70, {0, 31, 32, 33, 63, 64, 69}}, {32, {31}}, {33, {32}}, {64, {0, 1, 2, 63}},
      {65, {32, 64}}};
  auto value_of = [](size_t r, size_t j) -> Val {
    return j % 2 ? unum(r * 100 + j) : str(std::string(j % 7, char('a' + r)));
  };
  Table t = make_table(cols);
  for (size_t r = 0; r < std::size(cases); ++r) {
    std::vector<Val> row;
    for (size_t j = 0; j < cases[r].cells; ++j) {
      const bool empty = std::count(cases[r].empty.begin(), cases[r].empty.end(), j) != 0;
      row.push_back(empty ? blank() : value_of(r, j));
    }
    ASSERT_EQ("", append_row(t.get(), row)) << r;
  }
  const auto rows = rows_of(t.get());
  for (size_t r = 0; r < rows.size(); ++r) {
    const auto cells = cells_of(t.get(), rows[r]);
    ASSERT_EQ(cases[r].cells, cells.size()) << r;
    for (size_t j = 0; j < cells.size(); ++j) {
      const bool empty = std::count(cases[r].empty.begin(), cases[r].empty.end(), j) != 0;
      EXPECT_EQ(empty, cells[j]->empty()) << r << ' ' << j;
      EXPECT_EQ(cells[j], cell_at(rows[r]->cells, t->columns, j)) << r << ' ' << j;
      if (empty) continue;
      const Val want = value_of(r, j);
      if (j % 2) {
        EXPECT_EQ(want.value, cells[j]->value()) << r << ' ' << j;
      } else {
        EXPECT_EQ(want.text, cells[j]->str.text) << r << ' ' << j;
      }
    }
    EXPECT_EQ(nullptr, cell_at(rows[r]->cells, t->columns, cells.size())) << r;
    // The print's walk takes the cells in batches: any size gives the same.
    std::vector<uint32_t> sizers;
    for (const column* c = t->columns; c != nullptr; c = c->next) sizers.push_back(cell_sizer(*c));
    for (const size_t room : {size_t{1}, size_t{5}, size_t{16}, size_t{31}, size_t{33}, columns}) {
      std::vector<const cell*> taken(columns);
      cell_walk w(rows[r]->cells);
      size_t n = 0;
      while (n < columns) {
        const size_t got = w.take(sizers.data() + n, taken.data() + n, std::min(room, columns - n));
        if (got == 0) break;
        n += got;
      }
      taken.resize(n);
      EXPECT_EQ(cells, taken) << r << ' ' << room;
    }
  }
  // The uint column at position 65 (ID 66): rows 0 and 1 hold it.
  ASSERT_EQ(TBLX_OK, tblx_sort(t.get(), TBLX_SORT_DESC, 66));
  EXPECT_EQ(165u, cell_at(t->rows->cells, t->columns, 65)->value());
  EXPECT_EQ(65u, cell_at(t->rows->next->cells, t->columns, 65)->value());
}

TEST(Cells, ValuesAndTextsAreStoredExactly) {
  std::string high;  // every byte from 0x80 up
  for (int b = 0x80; b <= 0xff; ++b) high += static_cast<char>(b);
  char callers[] = "caller's text";
  Table t = make_table({{TBLX_TYPE_INT},
                        {TBLX_TYPE_UINT},
                        {TBLX_TYPE_HEX},
                        {TBLX_TYPE_STRING},
                        {TBLX_TYPE_STRING},
                        {TBLX_TYPE_STRING}});
  ASSERT_EQ(TBLX_OK, tblx_beginrow(t.get()));
  ASSERT_EQ(TBLX_OK, tblx_addcell_int(t.get(), INT64_MIN));
  ASSERT_EQ(TBLX_OK, tblx_addcell_uint(t.get(), UINT64_MAX));
  ASSERT_EQ(TBLX_OK, tblx_addcell_hex(t.get(), UINT64_MAX));
  ASSERT_EQ(TBLX_OK, tblx_addcell_string(t.get(), ""));
  ASSERT_EQ(TBLX_OK, tblx_addcell_string(t.get(), high.c_str()));
  ASSERT_EQ(TBLX_OK, tblx_addcell_string(t.get(), callers));
  ASSERT_EQ(TBLX_OK, tblx_endrow(t.get()));
  const std::string texts[] = {"", high, callers};
  std::memset(callers, 'X', sizeof callers - 1);  // the cell has its own copy

  // The cells lie back to back behind the row's header: a number in 8
  // bytes, a text behind its length and followed by its NUL.
  const auto cells = cells_of(t.get(), t->rows);
  ASSERT_EQ(6u, cells.size());
  EXPECT_EQ(reinterpret_cast<const char*>(t->rows->cells + 1),
            reinterpret_cast<const char*>(cells[0]));
  for (size_t i = 1; i < cells.size(); ++i) {
    const size_t size = i <= 3 ? number_cell_size : string_cell_size(cells[i - 1]->str.len);
    EXPECT_EQ(reinterpret_cast<const char*>(cells[i - 1]) + size,
              reinterpret_cast<const char*>(cells[i]))
        << i;
  }
  EXPECT_EQ(INT64_MIN, static_cast<int64_t>(cells[0]->value()));
  EXPECT_EQ(UINT64_MAX, cells[1]->value());
  EXPECT_EQ(UINT64_MAX, cells[2]->value());
  for (size_t i = 0; i < 3; ++i) {
    const cell* c = cells[3 + i];
    EXPECT_EQ(reinterpret_cast<const char*>(c) + cell_text_offset, c->str.text);
    EXPECT_EQ(texts[i].size(), c->str.len);
    EXPECT_EQ(texts[i], std::string(c->str.text, c->str.len));
    EXPECT_EQ('\0', c->str.text[c->str.len]);
  }
}

}  // namespace
