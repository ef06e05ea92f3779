// SPDX-License-Identifier: MIT
// The table object: start values, emptying, deletion and the summary fillers.
#include <cstdlib>
#include <cstring>

#include "support/table.h"

namespace {

using namespace support;

TEST(Table, NewTableStartsFromFixedDefaults) {
  Table t(tblx_new());
  ASSERT_NE(nullptr, t);
  tblx_table want{};  // every field not named below starts zero or null
  want.style = TBLX_STYLE_SIMPLE;
  want.next_column_id = 1;
  std::memcpy(want.sum_filler, "-\0 \0 ", sizeof want.sum_filler);
  want.default_justify_char = '.';
  want.default_title_justification = TBLX_JUST_LEFT;
  want.default_cell_justification = TBLX_JUST_LEFT;
  want.default_hex_case = TBLX_HEX_LOWER;
  EXPECT_EQ(0, std::memcmp(&want, t.get(), sizeof want));
  EXPECT_EQ(0, tblx_getrowcount(t.get()));
}

TEST(Table, CleanDropsColumnsAndRowsButKeepsSettingsAndIdCounter) {
  Table t = make_table({{TBLX_TYPE_STRING}, {TBLX_TYPE_INT}, {TBLX_TYPE_HEX}});
  for (int i = 0; i < 3; ++i) {  // two ended rows, then an open one
    ASSERT_EQ(TBLX_OK, tblx_beginrow(t.get()));
    ASSERT_EQ(TBLX_OK, tblx_addcell_string(t.get(), "x"));
    if (i < 2) {
      ASSERT_EQ(TBLX_OK, tblx_endrow(t.get()));
    }
  }
  ASSERT_EQ(TBLX_OK, tblx_setsumreplace(t.get(), TBLX_STYLE_RAW, '*'));
  t->style = TBLX_STYLE_FANCY;  // as a style change would leave it
  t->scratch = static_cast<char*>(std::malloc(16));

  tblx_table want;  // a new table's record with the settings kept
  Table fresh(tblx_new());
  std::memcpy(&want, fresh.get(), sizeof want);
  want.layout_stale = 1;  // left as tblx_endheader set it
  want.next_column_id = 4;
  want.sum_filler[FILLER_RAW][0] = '*';
  want.style = TBLX_STYLE_FANCY;
  want.scratch = t->scratch;

  tblx_clean(t.get());
  EXPECT_EQ(0, std::memcmp(&want, t.get(), sizeof want));

  // The IDs go on from where they stood: never given twice.
  int32_t id = 0;
  EXPECT_EQ(TBLX_OK, tblx_begincolumn_columnid(t.get(), TBLX_TYPE_INT, &id));
  EXPECT_EQ(4, id);
  EXPECT_EQ(TBLX_OK, tblx_endcolumn(t.get()));
  EXPECT_EQ(TBLX_OK, tblx_endheader(t.get()));
  EXPECT_EQ(TBLX_OK, tblx_getcolumnid(t.get(), 0, &id));
  EXPECT_EQ(4, id);
}

TEST(Table, CleanWithAColumnOpenLeavesNoneOpen) {
  Table t = make_open_header({{TBLX_TYPE_STRING}});
  ASSERT_EQ(TBLX_OK, tblx_begincolumn(t.get(), TBLX_TYPE_INT));
  tblx_clean(t.get());
  EXPECT_EQ(TBLX_ERR_NO_OPEN_COLUMN, tblx_endcolumn(t.get()));
  EXPECT_EQ(3, t->next_column_id);
}

TEST(Table, NullTable) {
  tblx_delete(nullptr);
  tblx_clean(nullptr);
  tblx_removerows(nullptr);
  EXPECT_EQ(0, tblx_getrowcount(nullptr));
  EXPECT_EQ(TBLX_ERR_INVALID_ARGUMENT, tblx_setsumreplace(nullptr, TBLX_STYLE_SIMPLE, '*'));
}

TEST(Table, SumReplaceTestsTheCharacterBeforeTheSelector) {
  struct Case {
    unsigned selector;
    int character;
    tblx_status want;
    int filler;  // index of the filler that changes, or -1
    char stored;
  };
  const Case cases[] = {
      {TBLX_STYLE_SIMPLE, '#', TBLX_OK, FILLER_SIMPLE, '#'},
      {TBLX_STYLE_RAW, '*', TBLX_OK, FILLER_RAW, '*'},
      {TBLX_STYLE_FANCY, '=', TBLX_OK, FILLER_FANCY, '='},
      {TBLX_STYLE_FANCYW, '~', TBLX_OK, FILLER_FANCY, '~'},     // shared with fancy
      {TBLX_STYLE_SIMPLE, 0x141, TBLX_OK, FILLER_SIMPLE, 'A'},  // low 8 bits
      {TBLX_STYLE_RAW, ' ', TBLX_OK, FILLER_RAW, ' '},
      {7, '\t', TBLX_ERR_INVALID_ARGUMENT, -1, 0},
      {7, '*', TBLX_ERR_INVALID_STYLE, -1, 0},
      {static_cast<unsigned>(-1), '*', TBLX_ERR_INVALID_STYLE, -1, 0},
      {TBLX_STYLE_SIMPLE, '\n', TBLX_ERR_INVALID_ARGUMENT, -1, 0},
      {TBLX_STYLE_SIMPLE, 0, TBLX_ERR_INVALID_ARGUMENT, -1, 0},
      {TBLX_STYLE_SIMPLE, 0x7f, TBLX_ERR_INVALID_ARGUMENT, -1, 0},
      {TBLX_STYLE_SIMPLE, 0x80, TBLX_ERR_INVALID_ARGUMENT, -1, 0},
      {TBLX_STYLE_SIMPLE, -1, TBLX_ERR_INVALID_ARGUMENT, -1, 0},  // byte 0xFF
  };
  for (const Case& c : cases) {
    Table t(tblx_new());
    tblx_table want;
    std::memcpy(&want, t.get(), sizeof want);
    if (c.filler >= 0) want.sum_filler[c.filler][0] = c.stored;
    EXPECT_EQ(c.want, tblx_setsumreplace(t.get(), c.selector, c.character))
        << "selector " << c.selector << ", character " << c.character;
    EXPECT_EQ(0, std::memcmp(&want, t.get(), sizeof want)) << "character " << c.character;
  }
}

}  // namespace
