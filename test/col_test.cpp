// SPDX-License-Identifier: MIT
// Column definitions: check orders, the header's states, the setters and IDs.
#include <climits>
#include <vector>

#include "support/table.h"

namespace {

using namespace support;

const char* TBLX_CALL fixed_title(void* /*arg*/, uint32_t /*width*/) { return "T"; }
constexpr char kText[] = "kB";
int32_t id_place;

// The header states every operation is tried in.
enum State { kNullTable, kHeaderEnded, kNoOpenColumn, kColumnOpen, kStates };

Table in_state(State s) {
  if (s == kNullTable) return Table();
  Table t = s == kHeaderEnded ? make_table({{TBLX_TYPE_HEX}}) : make_open_header({{TBLX_TYPE_HEX}});
  if (s == kColumnOpen) tblx_begincolumn(t.get(), TBLX_TYPE_HEX);
  return t;
}

TEST(Header, EachStateGivesTheCodeOfTheFirstFailingCheck) {
  struct Case {
    const char* name;
    tblx_status (*call)(tblx_table*);
    tblx_status want[kStates];  // null table, header ended, no open column, column open
  };
  const Case cases[] = {
      {"begincolumn", call<tblx_begincolumn, 1u>, {1, 10, 0, 12}},
      {"begincolumn 0", call<tblx_begincolumn, 0u>, {1, 10, 5, 12}},
      {"begincolumn 6", call<tblx_begincolumn, 6u>, {1, 10, 5, 12}},
      {"begincolumn -1", call<tblx_begincolumn, UINT_MAX>, {1, 10, 5, 12}},
      {"begincolumn_columnid", call<tblx_begincolumn_columnid, 1u, &id_place>, {1, 10, 0, 12}},
      {"begincolumn_columnid null", call<tblx_begincolumn_columnid, 1u, nullptr>, {1, 1, 1, 1}},
      {"endcolumn", call<tblx_endcolumn>, {1, 10, 11, 0}},
      {"title", call<tblx_setcolumn_title, kText>, {1, 10, 11, 0}},
      {"titlefunc", call<tblx_setcolumn_titlefunc, fixed_title, nullptr>, {1, 10, 11, 0}},
      {"titlefunc null", call<tblx_setcolumn_titlefunc, nullptr, nullptr>, {1, 1, 1, 1}},
      {"titlejust 5", call<tblx_setcolumn_titlejust, 5u>, {1, 10, 11, 0}},
      {"titlejust 0", call<tblx_setcolumn_titlejust, 0u>, {1, 10, 11, 7}},
      {"titlejust 6", call<tblx_setcolumn_titlejust, 6u>, {1, 10, 11, 7}},
      {"celljust 1", call<tblx_setcolumn_celljust, 1u>, {1, 10, 11, 0}},
      {"celljust 0", call<tblx_setcolumn_celljust, 0u>, {1, 10, 11, 7}},
      {"celljust 6", call<tblx_setcolumn_celljust, 6u>, {1, 10, 11, 7}},
      {"minwidth", call<tblx_setcolumn_minwidth, -3>, {1, 10, 11, 0}},
      {"summarize", call<tblx_setcolumn_summarize, 1>, {1, 10, 11, 0}},
      {"hexcase 2", call<tblx_setcolumn_hexcase, 2u>, {1, 10, 11, 0}},
      {"hexcase 0", call<tblx_setcolumn_hexcase, 0u>, {1, 10, 11, 6}},
      {"hexcase 3", call<tblx_setcolumn_hexcase, 3u>, {1, 10, 11, 6}},
      {"leadingzero", call<tblx_setcolumn_leadingzero, 1>, {1, 10, 11, 0}},
      {"suffix", call<tblx_setcolumn_suffix, nullptr>, {1, 10, 11, 0}},
      {"sortmode", call<tblx_setcolumn_sortmode, 2>, {1, 10, 11, 0}},
      {"justchar", call<tblx_setcolumn_justchar, ','>, {1, 10, 11, 0}},
      {"endheader", call<tblx_endheader>, {1, 10, 0, 12}},
      {"getcolumnid 0", call<tblx_getcolumnid, 0u, &id_place>, {1, 0, 9, 9}},
      {"getcolumnid 1", call<tblx_getcolumnid, 1u, &id_place>, {1, 16, 9, 9}},
      {"getcolumnid null", call<tblx_getcolumnid, 0u, nullptr>, {1, 1, 1, 1}},
      {"setsumtext", call<tblx_setsumtext, 1, kText>, {1, 0, 9, 9}},
      {"setsumtext null text", call<tblx_setsumtext, 1, nullptr>, {1, 0, 9, 9}},
      {"setsumtext unknown ID", call<tblx_setsumtext, 2, kText>, {1, 16, 9, 9}},
      {"setwidthmode in any phase", call<tblx_setwidthmode, TBLX_WIDTH_DISPLAY>, {1, 0, 0, 0}},
      {"setwidthmode 2", call<tblx_setwidthmode, 2>, {1, 1, 1, 1}},
  };
  for (const Case& c : cases) {
    for (int s = 0; s < kStates; ++s) {
      Table t = in_state(static_cast<State>(s));
      const std::string before = image(t.get());
      const tblx_status got = c.call(t.get());
      EXPECT_EQ(c.want[s], got) << c.name << " in state " << s;
      if (got != TBLX_OK) {
        EXPECT_EQ(before, image(t.get())) << c.name << " refused but wrote";
      }
    }
  }
}

TEST(Header, NewColumnTakesTheTableDefaultsAndTheNextId) {
  Table t(tblx_new());
  // Defaults other than the start values show that they are copied.
  t->default_title_justification = TBLX_JUST_RIGHT;
  t->default_cell_justification = TBLX_JUST_CENTER;
  t->default_hex_case = TBLX_HEX_UPPER;
  t->default_sort_mode = TBLX_SORTMODE_BY_LENGTH;
  t->default_justify_char = ',';
  ASSERT_EQ(TBLX_OK, tblx_begincolumn(t.get(), TBLX_TYPE_UINT));
  const column& c = *t->open_column;
  EXPECT_EQ(&c, t->columns);
  EXPECT_EQ(&c, t->columns_tail);
  EXPECT_EQ(TBLX_TYPE_UINT, c.type);
  EXPECT_EQ(title_ident, c.title_func);
  EXPECT_EQ(empty_string, c.title_arg);
  EXPECT_EQ(empty_string, c.suffix);
  EXPECT_EQ(0u, c.suffix_len + c.min_width + c.width_lead + c.width_tail + c.sum.low + c.sum.high);
  EXPECT_EQ(0, c.leading_zeros + c.summarize);
  EXPECT_EQ(TBLX_JUST_RIGHT, c.title_justification);
  EXPECT_EQ(TBLX_JUST_CENTER, c.cell_justification);
  EXPECT_EQ(TBLX_HEX_UPPER, c.hex_case);
  EXPECT_EQ(TBLX_SORTMODE_BY_LENGTH, c.sort_mode);
  EXPECT_EQ(',', c.justify_char);
  EXPECT_EQ(1, c.id);
}

template <auto Field>
int64_t get(const column& c) {
  return c.*Field;
}

TEST(Header, SettersStoreWhatTheColumnTypeAllows) {
  struct Case {
    const char* name;
    unsigned type;
    tblx_status (*set)(tblx_table*);
    int64_t (*field)(const column&);
    int64_t want;
  };
  const Case cases[] = {
      {"minwidth -3", 2, call<tblx_setcolumn_minwidth, -3>, get<&column::min_width>, 0},
      {"minwidth INT_MIN", 2, call<tblx_setcolumn_minwidth, INT_MIN>, get<&column::min_width>, 0},
      {"minwidth 12", 2, call<tblx_setcolumn_minwidth, 12>, get<&column::min_width>, 12},
      {"summarize string", 1, call<tblx_setcolumn_summarize, 1>, get<&column::summarize>, 0},
      {"summarize int", 2, call<tblx_setcolumn_summarize, 1>, get<&column::summarize>, 1},
      {"summarize uint", 3, call<tblx_setcolumn_summarize, 1>, get<&column::summarize>, 1},
      {"summarize hex", 4, call<tblx_setcolumn_summarize, 1>, get<&column::summarize>, 1},
      {"leadingzero string", 1, call<tblx_setcolumn_leadingzero, 1>, get<&column::leading_zeros>,
       0},
      {"leadingzero int", 2, call<tblx_setcolumn_leadingzero, 1>, get<&column::leading_zeros>, 0},
      {"leadingzero uint", 3, call<tblx_setcolumn_leadingzero, 1>, get<&column::leading_zeros>, 0},
      {"leadingzero hex", 4, call<tblx_setcolumn_leadingzero, 1>, get<&column::leading_zeros>, 1},
      {"hexcase string", 1, call<tblx_setcolumn_hexcase, 2u>, get<&column::hex_case>, 2},
      {"titlejust 5", 2, call<tblx_setcolumn_titlejust, 5u>, get<&column::title_justification>, 5},
      {"celljust 4", 2, call<tblx_setcolumn_celljust, 4u>, get<&column::cell_justification>, 4},
      {"sortmode -1", 1, call<tblx_setcolumn_sortmode, -1>, get<&column::sort_mode>, -1},
      {"justchar 0x1FF", 2, call<tblx_setcolumn_justchar, 0x1ff>, get<&column::justify_char>, 0xff},
      {"suffix kB", 3, call<tblx_setcolumn_suffix, kText>, get<&column::suffix_len>, 2},
  };
  for (const Case& c : cases) {
    Table t = make_open_header({});
    ASSERT_EQ(TBLX_OK, tblx_begincolumn(t.get(), c.type));
    EXPECT_EQ(TBLX_OK, c.set(t.get())) << c.name;
    EXPECT_EQ(c.want, c.field(*t->open_column)) << c.name;
  }
}

TEST(Header, TitleAndSuffixKeepTheCallersPointers) {
  int arg = 0;
  Table t = make_open_header({});
  ASSERT_EQ(TBLX_OK, tblx_begincolumn(t.get(), TBLX_TYPE_UINT));
  const column& c = *t->open_column;
  ASSERT_EQ(TBLX_OK, tblx_setcolumn_titlefunc(t.get(), fixed_title, &arg));
  EXPECT_EQ(fixed_title, c.title_func);
  EXPECT_EQ(&arg, c.title_arg);
  ASSERT_EQ(TBLX_OK, tblx_setcolumn_title(t.get(), kText));  // back to the fixed text
  EXPECT_EQ(title_ident, c.title_func);
  EXPECT_EQ(kText, c.title_arg);
  ASSERT_EQ(TBLX_OK, tblx_setcolumn_suffix(t.get(), kText));
  EXPECT_EQ(kText, c.suffix);
  ASSERT_EQ(TBLX_OK, tblx_setcolumn_suffix(t.get(), nullptr));
  EXPECT_EQ(empty_string, c.suffix);
  EXPECT_EQ(0u, c.suffix_len);
}

TEST(Header, IdsFollowDeclarationOrderAndRefusalsUseNone) {
  Table t(tblx_new());
  EXPECT_EQ(TBLX_ERR_INVALID_ARGUMENT, tblx_begincolumn_columnid(t.get(), 1, nullptr));
  EXPECT_EQ(TBLX_ERR_INVALID_COLUMN_TYPE, tblx_begincolumn(t.get(), 0));
  for (int32_t want = 1; want <= 3; ++want) {
    int32_t id = 0;
    ASSERT_EQ(TBLX_OK, tblx_begincolumn_columnid(t.get(), TBLX_TYPE_INT, &id));
    EXPECT_EQ(want, id);
    ASSERT_EQ(TBLX_OK, tblx_endcolumn(t.get()));
  }
  ASSERT_EQ(TBLX_OK, tblx_endheader(t.get()));
  const struct {
    uint32_t position;
    tblx_status want;
    int32_t id;  // -7: left alone
  } cases[] = {{0, 0, 1}, {2, 0, 3}, {3, 16, -7}, {0xFFFFFFFF, 16, -7}};
  for (const auto& c : cases) {
    int32_t id = -7;
    EXPECT_EQ(c.want, tblx_getcolumnid(t.get(), c.position, &id)) << c.position;
    EXPECT_EQ(c.id, id) << c.position;
  }
}

TEST(Header, EmptyHeaderMayBeEndedAndHasNoIds) {
  Table t(tblx_new());
  EXPECT_EQ(TBLX_OK, tblx_endheader(t.get()));
  EXPECT_EQ(1, t->layout_stale);
  EXPECT_EQ(TBLX_ERR_NO_SUCH_COLUMN, tblx_getcolumnid(t.get(), 0, &id_place));
}

// A summed string column shows no sum; a summed number column or a summary
// text makes the summary line show something.
TEST(Header, HasSummaryWhenASumOrATextIsShown) {
  EXPECT_EQ(0, tblx_hassummary(nullptr));
  const struct {
    const char* what;
    std::vector<ColDef> cols;
    int want;
  } cases[] = {
      {"no columns", {}, 0},
      {"unsummed", {{TBLX_TYPE_STRING}, {TBLX_TYPE_UINT}}, 0},
      {"summed string", {{TBLX_TYPE_STRING, "s", 0, 0, 0, true}}, 0},
      {"summed number", {{TBLX_TYPE_STRING}, {TBLX_TYPE_DOUBLE, "d", 0, 0, 0, true}}, 1},
      {"summary text", {{TBLX_TYPE_STRING}, {.type = TBLX_TYPE_INT, .sum_text = "Total"}}, 1},
  };
  for (const auto& c : cases) {
    Table t = make_table(c.cols);
    EXPECT_EQ(c.want, tblx_hassummary(t.get())) << c.what;
  }
  Table t = make_table({{.type = TBLX_TYPE_STRING, .sum_text = "Total"}});
  ASSERT_EQ(TBLX_OK, tblx_setsumtext(t.get(), 1, nullptr));
  EXPECT_EQ(0, tblx_hassummary(t.get()));
}

}  // namespace
