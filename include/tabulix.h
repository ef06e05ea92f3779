/*
 * libtabulix: tables of typed columns printed as aligned plain text.
 *
 * A caller creates a table, declares its columns (the header), adds rows of
 * typed cells, may sort the rows by one column, and prints the table to a
 * FILE* it owns. Every fallible call returns a tblx_status: TBLX_OK (0) or one
 * of the TBLX_ERR_* codes, which tblx_strerror turns into a fixed message.
 * A refused call leaves the table exactly as it was. While a table is being
 * printed, every call that would change or print it gives 1 (see
 * tblx_title_func).
 *
 * Ownership: the table owns its columns, rows, cells and buffers. A string
 * cell keeps its own copy of the text. Titles, title-callback arguments and
 * suffixes are NOT copied: keep them alive and unchanged while the column
 * exists. The stream stays the caller's; a print only writes and flushes it.
 *
 * Threads: a table is used by one thread at a time; distinct tables are
 * independent, and the constant lists and messages may be read from any thread.
 * A print writes its bytes to the stream in order, holding the stream's
 * lock (flockfile; _lock_file on Windows) while it writes, except while a
 * caller's title callback runs: the lock is not held then, so other threads'
 * writes to the same stream can appear at those points and only there. A
 * print of a table without caller callbacks appears in one piece.
 *
 * This header is plain C (C89 with <stdint.h>) and usable from C++.
 */
#ifndef TABULIX_H
#define TABULIX_H

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

#define TBLX_VERSION_MAJOR 0
#define TBLX_VERSION_MINOR 5
#define TBLX_VERSION_PATCH 0
#define TBLX_VERSION_STRING "0.5.0"

/* TBLX_API marks the exported functions. TBLX_BUILDING is set while the
 * library itself is compiled; TBLX_STATIC selects a static build on Windows. */
#if defined(TBLX_BUILDING) && defined(TBLX_IMPORTING)
#error "Define TBLX_BUILDING or TBLX_IMPORTING, not both"
#endif
#ifndef TBLX_API
#if defined(_WIN32) || defined(__CYGWIN__)
#if defined(TBLX_STATIC)
#define TBLX_API
#elif defined(TBLX_BUILDING)
#define TBLX_API __declspec(dllexport)
#else
#define TBLX_API __declspec(dllimport)
#endif
#elif defined(__GNUC__) && __GNUC__ >= 4
#define TBLX_API __attribute__((visibility("default")))
#else
#define TBLX_API
#endif
#endif

/* Plain, undecorated names on 32-bit Windows whatever the caller's default. */
#if defined(_WIN32) && !defined(_WIN64)
#define TBLX_CALL __cdecl
#else
#define TBLX_CALL
#endif

/* The library never throws; C++ callers see that in the declarations
 * (noexcept from C++11 on, throw() before). */
#if defined(__cplusplus) && (__cplusplus >= 201103L || (defined(_MSC_VER) && _MSC_VER >= 1900))
#define TBLX_NOEXCEPT noexcept
#elif defined(__cplusplus)
#define TBLX_NOEXCEPT throw()
#else
#define TBLX_NOEXCEPT
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ---- status codes ------------------------------------------------------ */

typedef int32_t tblx_status;

#define TBLX_OK 0
#define TBLX_ERR_INVALID_ARGUMENT 1
#define TBLX_ERR_NO_MEMORY 2
#define TBLX_ERR_PARSE 3
#define TBLX_ERR_INVALID_STYLE 4
#define TBLX_ERR_INVALID_COLUMN_TYPE 5
#define TBLX_ERR_INVALID_CASING 6
#define TBLX_ERR_INVALID_JUSTIFICATION 7
#define TBLX_ERR_CELL_TYPE_MISMATCH 8
#define TBLX_ERR_NO_HEADER 9
#define TBLX_ERR_HEADER_ENDED 10
#define TBLX_ERR_NO_OPEN_COLUMN 11
#define TBLX_ERR_COLUMN_OPEN 12
#define TBLX_ERR_NO_MORE_COLUMNS 13
#define TBLX_ERR_NO_OPEN_ROW 14
#define TBLX_ERR_ROW_OPEN 15
#define TBLX_ERR_NO_SUCH_COLUMN 16
#define TBLX_ERR_NOT_COMPARABLE 17
#define TBLX_ERR_INVALID_SORT_ORDER 18

/* ---- constants ---------------------------------------------------------- */

/* Column types. */
#define TBLX_TYPE_STRING 1
#define TBLX_TYPE_INT 2
#define TBLX_TYPE_UINT 3
#define TBLX_TYPE_HEX 4

/* Justifications of titles, cells and sums. CHAR_FIRST and CHAR_LAST place
 * the first or last occurrence of the column's justify character on one
 * alignment position (for example decimal points under each other). */
#define TBLX_JUST_LEFT 1
#define TBLX_JUST_RIGHT 2
#define TBLX_JUST_CENTER 3
#define TBLX_JUST_CHAR_FIRST 4
#define TBLX_JUST_CHAR_LAST 5

/* Letter case of hexadecimal digits; the "0x" prefix is always lower case. */
#define TBLX_HEX_LOWER 1
#define TBLX_HEX_UPPER 2

/* Output styles: "simple", "raw", "fancy" ("|" and "+"), "fancyw" (" | " and "-+-"). */
#define TBLX_STYLE_SIMPLE 0
#define TBLX_STYLE_RAW 1
#define TBLX_STYLE_FANCY 2
#define TBLX_STYLE_FANCYW 3

/* Sort orders: "unord", "asc", "desc". */
#define TBLX_SORT_UNORD 0
#define TBLX_SORT_ASC 1
#define TBLX_SORT_DESC 2

/* Sort mode bit: string columns compare by length first, then by bytes. */
#define TBLX_SORTMODE_BY_LENGTH 2

/* Print sections, always written in this order. Rules appear only in the
 * fancy styles. */
#define TBLX_PRINT_TITLES 1
#define TBLX_PRINT_TITLE_RULE 2
#define TBLX_PRINT_ROWS 4
#define TBLX_PRINT_SUM_RULE 8
#define TBLX_PRINT_SUM 16
#define TBLX_PRINT_ALL 31

/* ---- types -------------------------------------------------------------- */

/* The table; only ever handled through a pointer. */
typedef struct tblx_table tblx_table;

/* Internal records, named only by the record-freeing and comparator exports. */
struct column;
struct row;
struct cell;

/* Title callback: gets the column's title argument and the width the title
 * will be placed in, and gives a NUL-terminated text that must stay valid
 * until the print call returns. NULL counts as an empty title.
 * It runs during tblx_print, and its table is busy meanwhile: on it the
 * reading calls (tblx_getrowcount, tblx_isfancy, tblx_getcolumnid) work,
 * every call that would change or print it gives 1 and changes nothing, and
 * tblx_delete, tblx_clean and tblx_removerows do nothing.
 * The print's bytes so far are on the stream when it runs, and the stream's
 * lock is not held: it may write to the stream itself, or wait for another
 * thread that does; such writes appear where the callback ran. */
typedef const char*(TBLX_CALL* tblx_title_func)(void* arg, uint32_t width);

/* Cell comparator: negative, zero or positive as a sorts before, with or after b. */
typedef int(TBLX_CALL* tblx_cell_cmp_func)(const struct cell* a, const struct cell* b);

/* ---- status messages ---------------------------------------------------- */

/* The fixed English message of a status code ("Success" for TBLX_OK), or
 * "<unknown error>" for any other value. Never NULL; library-owned. */
TBLX_API const char* TBLX_CALL tblx_strerror(tblx_status code) TBLX_NOEXCEPT;

/* ---- table lifetime, fillers, version ------------------------------------ */

/* A new, empty table in the simple style, or NULL when memory is short.
 * Release it with tblx_delete. */
TBLX_API tblx_table* TBLX_CALL tblx_new(void) TBLX_NOEXCEPT;

/* Frees the table and everything it owns. NULL, or a table being printed,
 * does nothing. */
TBLX_API void TBLX_CALL tblx_delete(tblx_table* table) TBLX_NOEXCEPT;

/* Drops all columns and rows and reopens the header. Keeps the style, the
 * fillers and the column ID counter (IDs are never reused). NULL, or a table
 * being printed, does nothing. */
TBLX_API void TBLX_CALL tblx_clean(tblx_table* table) TBLX_NOEXCEPT;

/* Extension: the text that the summary line shows in the column with the
 * given ID instead of its sum or filler, such as a label ("Total") or a
 * figure the caller computed. The text is copied; NULL removes it, and the
 * column shows its sum or filler again. The text is justified like the
 * column's cells and measured like a string cell of the column (split at its
 * alignment character), so it widens the column as needed; the raw style
 * writes it as it is. A summed column keeps computing its sum.
 * tblx_removerows keeps the texts, tblx_clean drops them with the columns.
 * Allowed with or without an open row. Gives 0, 1 (NULL table, or a text of
 * 4 GiB or more), 9 (header not ended), 16 (no such column ID), 2 (the table
 * unchanged). */
TBLX_API tblx_status TBLX_CALL tblx_setsumtext(tblx_table* table, int32_t column_id,
                                               const char* text) TBLX_NOEXCEPT;

/* Sets the summary-line filler shown for unsummed columns in one style:
 * 0 simple, 1 raw, 2 or 3 fancy and fancyw (shared). The low 8 bits of
 * character are used. Gives 1 for a NULL table or a character outside
 * 0x20..0x7E, then 4 for a style above 3. */
TBLX_API tblx_status TBLX_CALL tblx_setsumreplace(tblx_table* table, unsigned int style,
                                                  int character) TBLX_NOEXCEPT;

/* "0.5.0" (TBLX_VERSION_STRING); library-owned. */
TBLX_API const char* TBLX_CALL tblx_version_str(void) TBLX_NOEXCEPT;

/* The version packed as major << 24 | minor << 16 | patch << 8: 0x50000. */
TBLX_API uint32_t TBLX_CALL tblx_version_uint(void) TBLX_NOEXCEPT;

/* ---- column definition ---------------------------------------------------- */
/* All give 1 for a NULL table, then 10 once the header is ended; the setters
 * then give 11 when no column is open. Setters act on the open column only. */

/* Declares a column of the given type (TBLX_TYPE_*) and opens it for
 * configuration. Gives 0, 1, 10, 12 (a column is open), 5 (bad type), 2. */
TBLX_API tblx_status TBLX_CALL tblx_begincolumn(tblx_table* table, unsigned int type) TBLX_NOEXCEPT;

/* As tblx_begincolumn, and writes the new column's ID (for tblx_sort) to *id.
 * A NULL id gives 1 and declares nothing. */
TBLX_API tblx_status TBLX_CALL tblx_begincolumn_columnid(tblx_table* table, unsigned int type,
                                                         int32_t* id) TBLX_NOEXCEPT;

/* Closes the open column. Gives 0, 1, 10, 11. */
TBLX_API tblx_status TBLX_CALL tblx_endcolumn(tblx_table* table) TBLX_NOEXCEPT;

/* Sets a fixed title. The text is not copied. Gives 0, 1, 10, 11. */
TBLX_API tblx_status TBLX_CALL tblx_setcolumn_title(tblx_table* table,
                                                    const char* title) TBLX_NOEXCEPT;

/* Sets a title callback and its argument (not copied). A NULL callback gives 1.
 * Gives 0, 1, 10, 11. */
TBLX_API tblx_status TBLX_CALL tblx_setcolumn_titlefunc(tblx_table* table, tblx_title_func func,
                                                        void* arg) TBLX_NOEXCEPT;

/* Justification (TBLX_JUST_*) of the title. Gives 0, 1, 10, 11, 7. */
TBLX_API tblx_status TBLX_CALL tblx_setcolumn_titlejust(tblx_table* table,
                                                        unsigned int justification) TBLX_NOEXCEPT;

/* Justification (TBLX_JUST_*) of cells and of the sum. Gives 0, 1, 10, 11, 7. */
TBLX_API tblx_status TBLX_CALL tblx_setcolumn_celljust(tblx_table* table,
                                                       unsigned int justification) TBLX_NOEXCEPT;

/* Smallest column width; a negative width counts as 0. Gives 0, 1, 10, 11. */
TBLX_API tblx_status TBLX_CALL tblx_setcolumn_minwidth(tblx_table* table, int width) TBLX_NOEXCEPT;

/* Nonzero: sum the column and show it in the summary line. Ignored (stored
 * as 0) for string columns. Gives 0, 1, 10, 11. */
TBLX_API tblx_status TBLX_CALL tblx_setcolumn_summarize(tblx_table* table, int flag) TBLX_NOEXCEPT;

/* Letter case of hex digits (TBLX_HEX_*). Gives 0, 1, 10, 11, 6. */
TBLX_API tblx_status TBLX_CALL tblx_setcolumn_hexcase(tblx_table* table,
                                                      unsigned int hex_case) TBLX_NOEXCEPT;

/* Nonzero: hex cells are zero-filled to the column width (not in the raw
 * style). Ignored (stored as 0) for other column types. Gives 0, 1, 10, 11. */
TBLX_API tblx_status TBLX_CALL tblx_setcolumn_leadingzero(tblx_table* table,
                                                          int flag) TBLX_NOEXCEPT;

/* Text written after every number and sum of the column; NULL means none.
 * Not copied; its length is taken now. Gives 0, 1 (also for a suffix of
 * 4 GiB or more), 10, 11. */
TBLX_API tblx_status TBLX_CALL tblx_setcolumn_suffix(tblx_table* table,
                                                     const char* suffix) TBLX_NOEXCEPT;

/* Sort mode flags (TBLX_SORTMODE_BY_LENGTH); any value is stored.
 * Gives 0, 1, 10, 11. */
TBLX_API tblx_status TBLX_CALL tblx_setcolumn_sortmode(tblx_table* table, int mode) TBLX_NOEXCEPT;

/* Alignment character for TBLX_JUST_CHAR_FIRST/LAST (low 8 bits; default
 * '.'). Gives 0, 1, 10, 11. */
TBLX_API tblx_status TBLX_CALL tblx_setcolumn_justchar(tblx_table* table,
                                                       int character) TBLX_NOEXCEPT;

/* Closes the header and opens the table for rows. Gives 0, 1, 10, 12. */
TBLX_API tblx_status TBLX_CALL tblx_endheader(tblx_table* table) TBLX_NOEXCEPT;

/* Writes the ID of the column at a 0-based position to *id. Gives 0, 1 (also
 * for a NULL id), 9 (header not ended), 16 (no such position). */
TBLX_API tblx_status TBLX_CALL tblx_getcolumnid(tblx_table* table, uint32_t position,
                                                int32_t* id) TBLX_NOEXCEPT;

/* Frees one column record; used by the table itself. */
TBLX_API void TBLX_CALL free_column(struct column* column) TBLX_NOEXCEPT;

/* ---- rows and cells -------------------------------------------------------- */

/* Opens a new row at the end of the table. Gives 0, 1, 9 (header not ended),
 * 15 (a row is open), 2. */
TBLX_API tblx_status TBLX_CALL tblx_beginrow(tblx_table* table) TBLX_NOEXCEPT;

/* Adds a cell to the open row, in the next column, whose type must match.
 * Give 0, 1, 13 (no row open, or no column left in it), 8 (type mismatch;
 * retry the same column), 2. The string is copied; NULL or a text
 * of 4 GiB or more gives 1. */
TBLX_API tblx_status TBLX_CALL tblx_addcell_string(tblx_table* table,
                                                   const char* text) TBLX_NOEXCEPT;
TBLX_API tblx_status TBLX_CALL tblx_addcell_int(tblx_table* table, int64_t value) TBLX_NOEXCEPT;
TBLX_API tblx_status TBLX_CALL tblx_addcell_uint(tblx_table* table, uint64_t value) TBLX_NOEXCEPT;
TBLX_API tblx_status TBLX_CALL tblx_addcell_hex(tblx_table* table, uint64_t value) TBLX_NOEXCEPT;

/* Extension: adds an empty cell (a missing value) to the open row, in the
 * next column, whatever its type. Gives 0, 1, 13 (no row open, or no column
 * left in it), 2.
 * It prints as an empty text justified in its column (in a column aligned on
 * a character it ends one place before the alignment position), is measured
 * as that text and is never added to a sum. Sorting puts it below every value
 * of its column, the empty text included: first in ascending order (after
 * rows that lack the cell), last in descending order (before those rows);
 * empty cells keep their input order among themselves. The comparators of
 * tblx_get_cell_cmp__ order them the same way. */
TBLX_API tblx_status TBLX_CALL tblx_addcell_empty(tblx_table* table) TBLX_NOEXCEPT;

/* Ends the open row; it may hold fewer cells than there are columns.
 * Gives 0, 1, 14 (no row open). */
TBLX_API tblx_status TBLX_CALL tblx_endrow(tblx_table* table) TBLX_NOEXCEPT;

/* Number of ended rows; 0 for NULL. */
TBLX_API int32_t TBLX_CALL tblx_getrowcount(const tblx_table* table) TBLX_NOEXCEPT;

/* Frees every row (the open one too) and keeps the header. NULL, or a table
 * being printed, does nothing. */
TBLX_API void TBLX_CALL tblx_removerows(tblx_table* table) TBLX_NOEXCEPT;

/* Releases one row record and its cells. Rows and cells live in blocks that
 * their table frees as a whole (tblx_removerows, tblx_clean, tblx_delete), so
 * this frees nothing by itself and leaves the records as they are. */
TBLX_API void TBLX_CALL free_row(struct row* row) TBLX_NOEXCEPT;

/* ---- sorting --------------------------------------------------------------- */

/* Sorts the rows stably by the column with the given ID, in TBLX_SORT_ASC
 * (rows without that cell first) or TBLX_SORT_DESC (those rows last) order;
 * TBLX_SORT_UNORD keeps the order. Gives 0, 1 (NULL table), 9, 15,
 * 16 (no such column ID), 17, 18 (bad order). */
TBLX_API tblx_status TBLX_CALL tblx_sort(tblx_table* table, int sortorder,
                                         int column_id) TBLX_NOEXCEPT;

/* Parses "asc", "desc" or "unord" into *sortorder. Gives 0, 1 (NULL pointer),
 * 3 (unknown name; *sortorder untouched). */
TBLX_API tblx_status TBLX_CALL tblx_parse_sortorder(int* sortorder, const char* name) TBLX_NOEXCEPT;

/* The NULL-terminated list of sort order names; library-owned, constant. */
TBLX_API const char* const* TBLX_CALL tblx_getsortorderlist(void) TBLX_NOEXCEPT;

/* The comparator for a column's cells, or NULL when they cannot be compared. */
TBLX_API tblx_cell_cmp_func TBLX_CALL tblx_get_cell_cmp__(const struct column* column)
    TBLX_NOEXCEPT;

/* ---- styles ---------------------------------------------------------------- */

/* Sets the style (TBLX_STYLE_*). Gives 0, 1, 4 (value above 3 or negative). */
TBLX_API tblx_status TBLX_CALL tblx_setstyle(tblx_table* table, int style) TBLX_NOEXCEPT;

/* Sets the style by its name ("raw", "simple", "fancy", "fancyw"; exact).
 * Gives 0, 1 (NULL table or name), 3 (unknown name). */
TBLX_API tblx_status TBLX_CALL tblx_setstylestr(tblx_table* table, const char* name) TBLX_NOEXCEPT;

/* The NULL-terminated list of style names; library-owned, constant. */
TBLX_API const char* const* TBLX_CALL tblx_getstylelist(void) TBLX_NOEXCEPT;

/* 1 when the style draws separators and rules (fancy, fancyw); 0 for NULL. */
TBLX_API int TBLX_CALL tblx_isfancy(const tblx_table* table) TBLX_NOEXCEPT;

/* ---- width mode -------------------------------------------------------------- */

/* Width modes: what a width counts. */
#define TBLX_WIDTH_BYTES 0   /* bytes of the text (the default) */
#define TBLX_WIDTH_DISPLAY 1 /* terminal columns of UTF-8 text */

/* Extension: sets what every width of the table counts. TBLX_WIDTH_BYTES, the
 * default, counts bytes. TBLX_WIDTH_DISPLAY counts the columns a terminal
 * shows for UTF-8 text, so that accented, CJK and emoji texts line up: the
 * widths of string cells, titles (measured, centred and placed), suffixes,
 * summary texts and fillers, the width handed to a title callback, and the
 * two shares of a text split at its alignment character. Each code point
 * counts on its own, whatever the locale (Unicode 15): East Asian Wide and
 * Fullwidth characters and default emoji 2 columns; combining marks,
 * zero-width joiner and non-joiner, variation selectors, other
 * default-ignorable code points and Hangul vowel and trailing jamo 0; all
 * else 1, control characters included. A byte that is not part of valid
 * UTF-8 counts 1. Sequences are not joined (a family emoji counts as the sum
 * of its parts), as wcswidth counts them. The alignment character stays one
 * byte; in this mode one of 0x80 or above never matches, since it could only
 * hit part of a character. Callable in any phase; the next print measures
 * again. Gives 0, 1 (NULL table, or an unknown mode: nothing changes). */
TBLX_API tblx_status TBLX_CALL tblx_setwidthmode(tblx_table* table, int32_t mode) TBLX_NOEXCEPT;

/* ---- byte search ------------------------------------------------------------ */

/* Like memchr, but the last of the first n bytes equal to (unsigned char)c. */
TBLX_API void* TBLX_CALL tblx_memrchr__(const void* s, int c, size_t n) TBLX_NOEXCEPT;

/* ---- printing --------------------------------------------------------------- */

/* Writes the selected sections (TBLX_PRINT_* bits) to stream and flushes it.
 * Gives 0 (also when the stream fails), 1 (NULL stream or table, or a table
 * already being printed: a title callback printing its own table), 9 (header
 * not ended), 15 (a row is open), 2; nothing is written on a refusal. */
TBLX_API tblx_status TBLX_CALL tblx_print(tblx_table* table, unsigned int flags,
                                          FILE* stream) TBLX_NOEXCEPT;

/* tblx_print with TBLX_PRINT_ALL. */
TBLX_API tblx_status TBLX_CALL tblx_print_all(tblx_table* table, FILE* stream) TBLX_NOEXCEPT;

/* tblx_print of every section whose bit is not in flags. */
TBLX_API tblx_status TBLX_CALL tblx_print_except(tblx_table* table, unsigned int flags,
                                                 FILE* stream) TBLX_NOEXCEPT;

#ifdef __cplusplus
}
#endif

#endif /* TABULIX_H */
