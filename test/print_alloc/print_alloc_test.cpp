// SPDX-License-Identifier: MIT
// A print allocates only the scratch buffer of its measuring pass; the output
// pass allocates nothing. The executable is linked with --wrap for malloc,
// calloc and realloc, so every heap call of the library's objects is counted.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "support/table.h"

extern "C" {
void* __real_malloc(size_t size);
void* __real_calloc(size_t count, size_t size);
void* __real_realloc(void* block, size_t size);
void* __wrap_malloc(size_t size);
void* __wrap_calloc(size_t count, size_t size);
void* __wrap_realloc(void* block, size_t size);
}

namespace {

bool counting = false;
int heap_calls = 0;

void count() {
  if (counting) ++heap_calls;
}

}  // namespace

extern "C" void* __wrap_malloc(size_t size) {
  count();
  return __real_malloc(size);
}

extern "C" void* __wrap_calloc(size_t count_, size_t size) {
  count();
  return __real_calloc(count_, size);
}

extern "C" void* __wrap_realloc(void* block, size_t size) {
  count();
  return __real_realloc(block, size);
}

namespace {

using namespace support;

const char* TBLX_CALL width_title(void*, uint32_t width) { return width > 4 ? "Wide.x" : "N.x"; }

// Heap calls made by one tblx_print_all into stream.
int heap_calls_of_print(tblx_table* t, FILE* stream) {
  heap_calls = 0;
  counting = true;
  const tblx_status status = tblx_print_all(t, stream);
  counting = false;
  EXPECT_EQ(TBLX_OK, status);
  return heap_calls;
}

TEST(PrintHeap, OutputPassAllocatesNothing) {
  Table t = make_table(
      {{.type = TBLX_TYPE_STRING, .title = "Name", .cell_just = TBLX_JUST_CENTER},
       {.type = TBLX_TYPE_INT, .cell_just = TBLX_JUST_LEFT, .sum = true, .suffix = " pc"},
       {.type = TBLX_TYPE_UINT, .cell_just = TBLX_JUST_RIGHT, .min_width = 40, .sum = true},
       {.type = TBLX_TYPE_HEX, .min_width = 12, .zeros = true, .title_func = width_title},
       {.type = TBLX_TYPE_STRING,
        .title_just = TBLX_JUST_CHAR_LAST,
        .cell_just = TBLX_JUST_CHAR_FIRST,
        .title_func = width_title}},
      {{str("alpha"), num(-5), unum(UINT64_MAX), hex(0xbeef), str("1.25")},
       {str("b"), num(INT64_MIN)},
       {},
       {str(std::string(20000, 'x')), num(3), unum(7), hex(1), str("100")}});
  FILE* stream = std::fopen("/dev/null", "w");
  ASSERT_NE(nullptr, stream);
  // The first print measures: one resize of the scratch buffer, nothing else.
  EXPECT_EQ(1, heap_calls_of_print(t.get(), stream));
  for (int style : {TBLX_STYLE_SIMPLE, TBLX_STYLE_RAW, TBLX_STYLE_FANCY, TBLX_STYLE_FANCYW}) {
    ASSERT_EQ(TBLX_OK, tblx_setstyle(t.get(), style));
    EXPECT_EQ(0, heap_calls_of_print(t.get(), stream)) << "style " << style;
  }
  std::fclose(stream);
}

}  // namespace
