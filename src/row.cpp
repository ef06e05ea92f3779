// Rows: opening, ending, counting and removing them.
#include <cstdlib>

#include "tabulix_internal.h"

void remove_all_rows(tblx_table* table) noexcept {
  while (row* r = table->rows) {
    table->rows = r->next;
    free_row(r);
  }
  table->rows_tail = nullptr;
  table->open_row = nullptr;
  table->cell_column = nullptr;
  table->cell_tail = nullptr;
  table->row_count = 0;
}

TBLX_EXPORT tblx_status TBLX_CALL tblx_beginrow(tblx_table* table) noexcept {
  if (unavailable(table)) return TBLX_ERR_INVALID_ARGUMENT;
  if (!table->header_ended) return TBLX_ERR_NO_HEADER;
  if (table->open_row != nullptr) return TBLX_ERR_ROW_OPEN;

  auto* r = static_cast<row*>(std::calloc(1, sizeof(row)));
  if (r == nullptr) return TBLX_ERR_NO_MEMORY;
  if (table->rows == nullptr) {
    table->rows = r;
  } else {
    table->rows_tail->next = r;
  }
  table->rows_tail = r;
  table->open_row = r;
  table->cell_tail = &r->cells;
  table->cell_column = table->columns;
  table->layout_stale = 1;
  return TBLX_OK;
}

TBLX_EXPORT tblx_status TBLX_CALL tblx_endrow(tblx_table* table) noexcept {
  if (unavailable(table)) return TBLX_ERR_INVALID_ARGUMENT;
  if (table->open_row == nullptr) return TBLX_ERR_NO_OPEN_ROW;
  table->open_row = nullptr;
  // Clearing the cursor keeps cells out of an ended (possibly short) row,
  // which the last measurement may not have seen: such cells get 13.
  table->cell_column = nullptr;
  table->cell_tail = nullptr;
  table->row_count = static_cast<int32_t>(static_cast<uint32_t>(table->row_count) + 1u);
  return TBLX_OK;
}

TBLX_EXPORT int32_t TBLX_CALL tblx_getrowcount(const tblx_table* table) noexcept {
  return table == nullptr ? 0 : table->row_count;
}

TBLX_EXPORT void TBLX_CALL tblx_removerows(tblx_table* table) noexcept {
  if (unavailable(table)) return;
  remove_all_rows(table);
  // Measure the now empty table on the next print, so that no sum of a
  // removed row is ever shown.
  table->layout_stale = 1;
}

TBLX_EXPORT void TBLX_CALL free_row(row* r) noexcept {
  if (r == nullptr) return;
  cell* c = r->cells;
  while (c != nullptr) {
    cell* next = c->next;
    std::free(c);
    c = next;
  }
  std::free(r);
}
