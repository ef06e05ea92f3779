// SPDX-License-Identifier: MIT
// Output styles: choosing one by value or by name, and querying it; the
// width mode, what the widths of a printed table count; and whether titles
// count in them.
#include <cstring>

#include "tabulix_internal.h"

namespace {

// Names a caller may pass, and at the same index the style each stands for.
// The list order is not the value order: "raw" comes first but is 1.
constexpr const char* style_list[] = {"raw", "simple", "fancy", "fancyw", nullptr};
constexpr int32_t style_map[] = {TBLX_STYLE_RAW, TBLX_STYLE_SIMPLE, TBLX_STYLE_FANCY,
                                 TBLX_STYLE_FANCYW};

// What the fancy styles draw between columns and at the junctions of rules.
constexpr char fancy_separator[] = "|";
constexpr char fancy_junction[] = "+";
constexpr char wide_separator[] = " | ";
constexpr char wide_junction[] = "-+-";

// Simple and raw draw no separators; they keep the previous strings, which
// are read only while fancy is set.
void apply_style(tblx_table* table, int32_t style) noexcept {
  table->style = style;
  switch (style) {
    case TBLX_STYLE_FANCY:
      table->fancy = 1;
      table->column_separator = fancy_separator;
      table->rule_junction = fancy_junction;
      break;
    case TBLX_STYLE_FANCYW:
      table->fancy = 1;
      table->column_separator = wide_separator;
      table->rule_junction = wide_junction;
      break;
    default:
      table->fancy = 0;
      break;
  }
}

}  // namespace

TBLX_EXPORT tblx_status TBLX_CALL tblx_setstyle(tblx_table* table, int style) noexcept {
  if (unavailable(table)) return TBLX_ERR_INVALID_ARGUMENT;
  // Compared unsigned, so negative values are out of range as well.
  if (static_cast<unsigned int>(style) > TBLX_STYLE_FANCYW) return TBLX_ERR_INVALID_STYLE;
  apply_style(table, style);
  return TBLX_OK;
}

TBLX_EXPORT tblx_status TBLX_CALL tblx_setstylestr(tblx_table* table, const char* name) noexcept {
  if (name == nullptr || unavailable(table)) return TBLX_ERR_INVALID_ARGUMENT;
  for (size_t i = 0; style_list[i] != nullptr; ++i) {
    if (std::strcmp(name, style_list[i]) == 0) {
      apply_style(table, style_map[i]);
      return TBLX_OK;
    }
  }
  return TBLX_ERR_PARSE;
}

TBLX_EXPORT const char* const* TBLX_CALL tblx_getstylelist(void) noexcept { return style_list; }

TBLX_EXPORT int TBLX_CALL tblx_isfancy(const tblx_table* table) noexcept {
  return table == nullptr ? 0 : table->fancy;
}

TBLX_EXPORT tblx_status TBLX_CALL tblx_setwidthmode(tblx_table* table, int32_t mode) noexcept {
  if (unavailable(table)) return TBLX_ERR_INVALID_ARGUMENT;
  if (mode != TBLX_WIDTH_BYTES && mode != TBLX_WIDTH_DISPLAY) return TBLX_ERR_INVALID_ARGUMENT;
  const uint8_t display = mode == TBLX_WIDTH_DISPLAY ? 1 : 0;
  // Widths, and the scratch buffer sized from them, hold for one mode.
  if (display != table->display_widths) table->layout_stale = 1;
  table->display_widths = display;
  return TBLX_OK;
}

TBLX_EXPORT tblx_status TBLX_CALL tblx_setmeasuretitles(tblx_table* table, int on) noexcept {
  if (unavailable(table)) return TBLX_ERR_INVALID_ARGUMENT;
  const uint8_t measure = on != 0 ? 1 : 0;
  if (measure != table->measure_titles) table->layout_stale = 1;
  table->measure_titles = measure;
  return TBLX_OK;
}
