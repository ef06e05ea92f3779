// SPDX-License-Identifier: MIT
// Choosing the output format, and the values of cells that the formats other
// than text write.
#include "format.h"

#include "justify.h"

TBLX_EXPORT tblx_status TBLX_CALL tblx_setformat(tblx_table* table, int format) noexcept {
  if (unavailable(table)) return TBLX_ERR_INVALID_ARGUMENT;
  if (format < TBLX_FORMAT_TEXT || format > TBLX_FORMAT_HTML) return TBLX_ERR_INVALID_ARGUMENT;
  // Every format writes the same layout: nothing to measure again.
  table->format = static_cast<uint8_t>(format);
  return TBLX_OK;
}

void write_format(sink& out, const print_context& ctx, unsigned int flags) noexcept {
  // Only Markdown places fields in their columns, and it does so as the
  // fancy styles do; the value formats fill nothing but zero-filled hex.
  print_context plain = ctx;
  plain.raw = false;
  plain.fancy = false;
  switch (ctx.table->format) {
    case TBLX_FORMAT_MARKDOWN:
      write_markdown(out, plain, flags);
      break;
    case TBLX_FORMAT_CSV:
    case TBLX_FORMAT_TSV:
      write_separated(out, plain, flags);
      break;
    case TBLX_FORMAT_JSON:
    case TBLX_FORMAT_JSONL:
      write_json(out, plain, flags);
      break;
    default:
      write_html(out, plain, flags);
      break;
  }
}

namespace {

// A number's text, zero-filled as the text format fills it.
void number_value(cell_value& v, const field_plan& plan, value_kind kind) noexcept {
  v.kind = kind;
  v.text = v.number.head;
  v.len = v.number.head_len;
  v.prefix_len = v.number.prefix_len;
  v.zeros = plan.hex_digits > v.number.digit_count() ? plan.hex_digits - v.number.digit_count() : 0;
  v.suffix = plan.col->suffix;
  v.suffix_len = plan.col->suffix_len;
}

}  // namespace

// One case per column type: a new type of cell is one more case here.
void value_of(cell_value& v, const field_plan& plan, const cell* c) noexcept {
  const column& col = *plan.col;
  if (c == nullptr || c->empty()) {
    v.kind = value_kind::none;
    return;
  }
  switch (col.type) {
    case TBLX_TYPE_STRING:
      v.kind = value_kind::text;
      v.text = c->str.text;
      v.len = c->str.len;
      return;
    case TBLX_TYPE_HEX:
      v.number = make_number_text(col, c->value);
      number_value(v, plan, value_kind::word);
      return;
    default:  // int, uint
      v.number = make_number_text(col, c->value);
      number_value(v, plan, value_kind::number);
      return;
  }
}

void sum_value_of(cell_value& v, const field_plan& plan) noexcept {
  const column& col = *plan.col;
  if (col.sum_text != nullptr) {
    v.kind = value_kind::text;
    v.text = col.sum_text;
    v.len = col.sum_text_len;
  } else if (col.summarize != 0 && col.type != TBLX_TYPE_STRING) {
    v.number = make_sum_text(col);
    number_value(v, plan, col.type == TBLX_TYPE_HEX ? value_kind::word : value_kind::number);
  } else {
    v.kind = value_kind::none;
  }
}
