// SPDX-License-Identifier: MIT
// Output styles: setting them by value and by name, and what they select.
#include <cstring>
#include <string>

#include "support/table.h"

namespace {

using namespace support;

struct StyleState {
  int32_t style;
  int fancy;
  const char* separator;  // null: not set
  const char* junction;
};

StyleState state_of(const tblx_table* t) {
  return {t->style, tblx_isfancy(t), t->column_separator, t->rule_junction};
}

void expect_state(const StyleState& want, const tblx_table* t, const std::string& what) {
  const StyleState got = state_of(t);
  EXPECT_EQ(want.style, got.style) << what;
  EXPECT_EQ(want.fancy, got.fancy) << what;
  if (want.separator == nullptr) {
    EXPECT_EQ(nullptr, got.separator) << what;
    EXPECT_EQ(nullptr, got.junction) << what;
  } else {
    ASSERT_NE(nullptr, got.separator) << what;
    ASSERT_NE(nullptr, got.junction) << what;
    EXPECT_STREQ(want.separator, got.separator) << what;
    EXPECT_STREQ(want.junction, got.junction) << what;
  }
}

TEST(Style, NewTableIsSimple) {
  Table t(tblx_new());
  expect_state({TBLX_STYLE_SIMPLE, 0, nullptr, nullptr}, t.get(), "new table");
  EXPECT_EQ(0, tblx_isfancy(nullptr));
}

// Each step applies to the state the previous ones left.
TEST(Style, SettersInSequence) {
  using Set = tblx_status (*)(tblx_table*);
  struct Step {
    const char* what;
    Set set;
    tblx_status status;
    StyleState after;
  };
  const Step steps[] = {
      {"value 3",
       [](tblx_table* t) { return tblx_setstyle(t, 3); },
       TBLX_OK,
       {TBLX_STYLE_FANCYW, 1, " | ", "-+-"}},
      {"value 0 keeps the strings",
       [](tblx_table* t) { return tblx_setstyle(t, 0); },
       TBLX_OK,
       {TBLX_STYLE_SIMPLE, 0, " | ", "-+-"}},
      {"value 2",
       [](tblx_table* t) { return tblx_setstyle(t, 2); },
       TBLX_OK,
       {TBLX_STYLE_FANCY, 1, "|", "+"}},
      {"value 4",
       [](tblx_table* t) { return tblx_setstyle(t, 4); },
       TBLX_ERR_INVALID_STYLE,
       {TBLX_STYLE_FANCY, 1, "|", "+"}},
      {"value -1",
       [](tblx_table* t) { return tblx_setstyle(t, -1); },
       TBLX_ERR_INVALID_STYLE,
       {TBLX_STYLE_FANCY, 1, "|", "+"}},
      {"name raw is 1",
       [](tblx_table* t) { return tblx_setstylestr(t, "raw"); },
       TBLX_OK,
       {TBLX_STYLE_RAW, 0, "|", "+"}},
      {"name fancyw",
       [](tblx_table* t) { return tblx_setstylestr(t, "fancyw"); },
       TBLX_OK,
       {TBLX_STYLE_FANCYW, 1, " | ", "-+-"}},
      {"name simple is 0",
       [](tblx_table* t) { return tblx_setstylestr(t, "simple"); },
       TBLX_OK,
       {TBLX_STYLE_SIMPLE, 0, " | ", "-+-"}},
      {"name fancy",
       [](tblx_table* t) { return tblx_setstylestr(t, "fancy"); },
       TBLX_OK,
       {TBLX_STYLE_FANCY, 1, "|", "+"}},
      {"other letter case",
       [](tblx_table* t) { return tblx_setstylestr(t, "Raw"); },
       TBLX_ERR_PARSE,
       {TBLX_STYLE_FANCY, 1, "|", "+"}},
      {"prefix",
       [](tblx_table* t) { return tblx_setstylestr(t, "sim"); },
       TBLX_ERR_PARSE,
       {TBLX_STYLE_FANCY, 1, "|", "+"}},
      {"longer name",
       [](tblx_table* t) { return tblx_setstylestr(t, "fancywide"); },
       TBLX_ERR_PARSE,
       {TBLX_STYLE_FANCY, 1, "|", "+"}},
      {"empty name",
       [](tblx_table* t) { return tblx_setstylestr(t, ""); },
       TBLX_ERR_PARSE,
       {TBLX_STYLE_FANCY, 1, "|", "+"}},
      {"null name",
       [](tblx_table* t) { return tblx_setstylestr(t, nullptr); },
       TBLX_ERR_INVALID_ARGUMENT,
       {TBLX_STYLE_FANCY, 1, "|", "+"}},
      {"value 1",
       [](tblx_table* t) { return tblx_setstyle(t, 1); },
       TBLX_OK,
       {TBLX_STYLE_RAW, 0, "|", "+"}},
  };
  Table t(tblx_new());
  for (const Step& s : steps) {
    EXPECT_EQ(s.status, s.set(t.get())) << s.what;
    expect_state(s.after, t.get(), s.what);
  }
}

TEST(Style, NullTable) {
  for (int style : {0, 3, 4, -1})
    EXPECT_EQ(TBLX_ERR_INVALID_ARGUMENT, tblx_setstyle(nullptr, style));
  EXPECT_EQ(TBLX_ERR_INVALID_ARGUMENT, tblx_setstylestr(nullptr, "raw"));
  EXPECT_EQ(TBLX_ERR_INVALID_ARGUMENT, tblx_setstylestr(nullptr, nullptr));
}

TEST(Style, NameList) {
  const char* const* list = tblx_getstylelist();
  ASSERT_NE(nullptr, list);
  const char* expected[] = {"raw", "simple", "fancy", "fancyw"};
  for (size_t i = 0; i < 4; ++i) EXPECT_STREQ(expected[i], list[i]) << i;
  EXPECT_EQ(nullptr, list[4]);
  EXPECT_EQ(list, tblx_getstylelist());
  // Every listed name is accepted.
  Table t(tblx_new());
  for (size_t i = 0; list[i] != nullptr; ++i)
    EXPECT_EQ(TBLX_OK, tblx_setstylestr(t.get(), list[i]));
}

// Neither a style change nor the clean-up of the table marks the layout for
// measuring; clean keeps the style.
TEST(Style, ChangesNeitherLayoutNorSurvivesNothing) {
  Table t = make_table({{TBLX_TYPE_STRING, "A"}}, {{str("x")}});
  print_to_string(t.get(), 0);
  ASSERT_EQ(TBLX_OK, tblx_setstyle(t.get(), TBLX_STYLE_FANCYW));
  EXPECT_EQ(0, t->layout_stale);
  tblx_clean(t.get());
  EXPECT_EQ(TBLX_STYLE_FANCYW, t->style);
  EXPECT_EQ(1, tblx_isfancy(t.get()));
}

}  // namespace
