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
