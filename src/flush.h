// SPDX-License-Identifier: MIT
// What a table that streams (tblx_flushrows, flush.cpp) keeps of the rows it
// flushed and freed; the tests read it to check the row count.
#ifndef TABULIX_FLUSH_H
#define TABULIX_FLUSH_H

#include <cstddef>
#include <cstdint>

#include "exact_sum.h"
#include "tabulix_internal.h"

struct flushed_sums {
  uint32_t rows;    // rows flushed, counted as the row count is (modulo 2^32)
  bool wrote_rows;  // a flush wrote a row (a JSON array needs commas after it)
  char* room;       // the buffer of numbers wider than their frozen column
  size_t room_size;
  size_t count;  // entries in sums, one a column
  struct column_sum {
    wide_sum sum;
    exact_sum exact;
  } sums[1];  // count entries, allocated with the record
};

#endif  // TABULIX_FLUSH_H
