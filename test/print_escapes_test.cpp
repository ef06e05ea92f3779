// SPDX-License-Identifier: MIT
// Display widths of whole tables: coloured and linked texts, styled titles
// and emoji pairs line up as a terminal draws them.
#include <string>
#include <vector>

#include "display_width.h"
#include "support/table.h"

namespace {

using namespace support;

#define RED "\x1b[31m"
#define BOLD "\x1b[1m"
#define RESET "\x1b[0m"
#define LINK(url, text) "\x1b]8;;" url "\x1b\\" text "\x1b]8;;\x1b\\"

// A text without its escape sequences: what a terminal shows of it.
std::string visible(const std::string& s) {
  std::string out;
  const auto* p = reinterpret_cast<const unsigned char*>(s.data());
  for (size_t i = 0; i < s.size();) {
    const size_t n = s[i] == '\x1b' ? display_width_detail::escape_length(p + i, s.size() - i) : 0;
    if (n == 0) out += s[i];
    i += n == 0 ? 1 : n;
  }
  return out;
}

// The same table with styled texts (as given) and without (each text as
// visible() leaves it).
Table styled(bool plain) {
  auto text = [plain](const char* s) { return plain ? visible(s) : std::string(s); };
  static std::vector<std::string> kept[2];  // ColDef holds pointers
  std::vector<std::string>& keep = kept[plain ? 1 : 0];
  keep = {text(BOLD "Name" RESET), text(BOLD "Ratio" RESET), text("\x1b[2m kB" RESET),
          text(RED "total" RESET), text(BOLD "Site" RESET)};
  return make_table(
      {{.type = TBLX_TYPE_STRING, .title = keep[0].c_str(), .sum_text = keep[3].c_str()},
       {.type = TBLX_TYPE_STRING,
        .title = keep[1].c_str(),
        .title_just = TBLX_JUST_CENTER,
        .cell_just = TBLX_JUST_CHAR_FIRST,
        .just_char = ';'},
       {.type = TBLX_TYPE_INT,
        .title = "Size",
        .cell_just = TBLX_JUST_RIGHT,
        .sum = true,
        .suffix = keep[2].c_str()},
       {.type = TBLX_TYPE_STRING, .title = keep[4].c_str()}},
      {{str(text(RED "red" RESET)), str(text("\x1b[1;32m1;5" RESET)), num(12),
        str(text(LINK("https://example.org/a", "example")))},
       {str("plain"), str(text("12;" RED "25" RESET)), num(-3), str("none")},
       {str(text("\x1b[38;2;0;0;255mbl\x1b[4mue" RESET)), str("x"), num(100),
        str(text(LINK("https://example.org/%E2%9C%93", "✓ ok")))}});
}

TEST(PrintEscapes, StyledTextsLineUp) {
  Table t = styled(false);
  ASSERT_EQ(TBLX_OK, tblx_setstyle(t.get(), TBLX_STYLE_FANCYW));
  ASSERT_EQ(TBLX_OK, tblx_setwidthmode(t.get(), TBLX_WIDTH_DISPLAY));
  const Printed got = print_capture(t.get());
  ASSERT_EQ(TBLX_OK, got.status);
  // The ';' of "1;32m" is no alignment character: "1;5" aligns on its own.
  EXPECT_EQ(BOLD "Name" RESET "  | " BOLD "Ratio" RESET " | Size   | " BOLD "Site" RESET "\n"
            "------+-------+--------+--------\n" RED "red" RESET "   |  \x1b[1;32m1;5" RESET
            "  |  12\x1b[2m kB" RESET " | " LINK("https://example.org/a", "example") "\n"
            "plain | 12;" RED "25" RESET " |  -3\x1b[2m kB" RESET " | none\n"
            "\x1b[38;2;0;0;255mbl\x1b[4mue" RESET "  |  x    | 100\x1b[2m kB" RESET
            " | " LINK("https://example.org/%E2%9C%93", "✓ ok") "\n"
            "------+-------+--------+--------\n" RED "total" RESET " |       | 109\x1b[2m kB" RESET
            " |  \n",
            got.text);
  // What the terminal shows is the table of the texts without their sequences.
  Table plain = styled(true);
  ASSERT_EQ(TBLX_OK, tblx_setstyle(plain.get(), TBLX_STYLE_FANCYW));
  ASSERT_EQ(TBLX_OK, tblx_setwidthmode(plain.get(), TBLX_WIDTH_DISPLAY));
  EXPECT_EQ(print_capture(plain.get()).text, visible(got.text));
}

// Emoji pairs take the columns a terminal gives them.
TEST(PrintEscapes, EmojiPairsLineUp) {
  Table t = make_table({{.type = TBLX_TYPE_STRING, .title = "Icon"}, {TBLX_TYPE_STRING, "What"}},
                       {{str("\u2764\uFE0F"), str("heart")},
                        {str("\u2714\uFE0F!"), str("check")},
                        {str("\u2600\uFE0E"), str("sun as text")},
                        {str("\U0001F1E9\U0001F1EA"), str("flag")},
                        {str("\U0001F1E9\U0001F1EA\U0001F1EB"), str("flag and a half")},
                        {str("1\uFE0F\u20E3"), str("keycap")}});
  ASSERT_EQ(TBLX_OK, tblx_setstyle(t.get(), TBLX_STYLE_FANCYW));
  ASSERT_EQ(TBLX_OK, tblx_setwidthmode(t.get(), TBLX_WIDTH_DISPLAY));
  EXPECT_EQ(
      "Icon | What\n"
      "-----+----------------\n"
      "\u2764\uFE0F   | heart\n"
      "\u2714\uFE0F!  | check\n"
      "\u2600\uFE0E    | sun as text\n"
      "\U0001F1E9\U0001F1EA   | flag\n"
      "\U0001F1E9\U0001F1EA\U0001F1EB | flag and a half\n"
      "1\uFE0F\u20E3   | keycap\n"
      "-----+----------------\n"
      "     |  \n",
      print_capture(t.get()).text);
}

}  // namespace
