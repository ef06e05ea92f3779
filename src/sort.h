// SPDX-License-Identifier: MIT
// The two ways tblx_sort orders the rows, declared for the tests, which check
// that both give the same order.
#ifndef TABULIX_SORT_H
#define TABULIX_SORT_H

#include "tabulix_internal.h"

enum class sort_method : unsigned char {
  // Sorts an array of (key, cells) pairs and gives the rows of the list their
  // cells in that order, leaving the links as they are; when the array cannot
  // be allocated, sorts in place instead. tblx_sort's.
  pairs,
  // A merge sort that relinks the rows in place and allocates nothing.
  in_place,
};

// tblx_sort by the given method.
tblx_status sort_rows(tblx_table* table, int sortorder, int column_id, sort_method method) noexcept;

#endif  // TABULIX_SORT_H
