/* SPDX-License-Identifier: MIT */
/**
 * @file tabulix.h
 * @brief libtabulix: tables of typed columns printed as aligned plain text.
 *
 * A caller creates a table, declares its columns (the header), adds rows of
 * typed cells, may sort the rows by one column, and prints the table to a
 * FILE* it owns, or through a writer function (tblx_print_to()), as aligned
 * text or in another format (tblx_setformat()). Every fallible call returns
 * a tblx_status: TBLX_OK (0) or one of the TBLX_ERR_* codes, which
 * tblx_strerror turns into a fixed message.
 * A refused call leaves the table exactly as it was. While a table is being
 * printed, every call that would change or print it gives
 * TBLX_ERR_INVALID_ARGUMENT (see tblx_title_func).
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
 * Statuses: each function lists the statuses it gives in the order it checks
 * them; the first check that fails decides the status.
 *
 * Versions: within 0.x a release only adds to the interface. Each function is
 * exported with the symbol version of the release that added it (TABULIX_0.5,
 * TABULIX_0.6, TABULIX_0.7); those marked "Added in 0.6" need 0.6.0 or
 * later, and those marked "Added in 0.7" need 0.7.0 or later.
 *
 * This header is plain C (C89 with <stdint.h>) and usable from C++.
 */
#ifndef TABULIX_H
#define TABULIX_H

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

/** @name Version of this header
 * The library's own version at run time: tblx_version_str(), tblx_version_uint().
 * @{ */
#define TBLX_VERSION_MAJOR 0        /**< Major version. */
#define TBLX_VERSION_MINOR 7        /**< Minor version: releases within 0.x only add. */
#define TBLX_VERSION_PATCH 0        /**< Patch version. */
#define TBLX_VERSION_STRING "0.7.0" /**< The version as text. */
/** @} */

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

/** The result of a fallible call: TBLX_OK or one of the TBLX_ERR_* codes. */
typedef int32_t tblx_status;

/** @name Status codes
 * The comment of each is its message from tblx_strerror(). TBLX_ERR_INVALID_ARGUMENT
 * also stands for a table being printed (see tblx_title_func), and after
 * TBLX_ERR_NO_MEMORY the table is unchanged and the call may be retried.
 * @{ */
#define TBLX_OK 0                        /**< Success */
#define TBLX_ERR_INVALID_ARGUMENT 1      /**< Invalid argument */
#define TBLX_ERR_NO_MEMORY 2             /**< Out of memory */
#define TBLX_ERR_PARSE 3                 /**< Parse error */
#define TBLX_ERR_INVALID_STYLE 4         /**< Invalid style */
#define TBLX_ERR_INVALID_COLUMN_TYPE 5   /**< Invalid column type */
#define TBLX_ERR_INVALID_CASING 6        /**< Invalid letter casing */
#define TBLX_ERR_INVALID_JUSTIFICATION 7 /**< Invalid justification */
#define TBLX_ERR_CELL_TYPE_MISMATCH 8    /**< Cell type mismatch with column type */
#define TBLX_ERR_NO_HEADER 9             /**< No header */
#define TBLX_ERR_HEADER_ENDED 10         /**< Header is ended */
#define TBLX_ERR_NO_OPEN_COLUMN 11       /**< No column is open */
#define TBLX_ERR_COLUMN_OPEN 12          /**< Column is still open */
#define TBLX_ERR_NO_MORE_COLUMNS 13      /**< No more columns specified */
#define TBLX_ERR_NO_OPEN_ROW 14          /**< No row is open */
#define TBLX_ERR_ROW_OPEN 15             /**< Row is still open */
#define TBLX_ERR_NO_SUCH_COLUMN 16       /**< No such column ID */
#define TBLX_ERR_NOT_COMPARABLE 17       /**< Could not compare values in the specified column */
#define TBLX_ERR_INVALID_SORT_ORDER 18   /**< Invalid sort order */
#define TBLX_ERR_OUTPUT 19               /**< Output error */
/** @} */

/* ---- constants ---------------------------------------------------------- */

/** @name Column types (tblx_begincolumn())
 * @{ */
#define TBLX_TYPE_STRING 1 /**< Text; string cells. */
#define TBLX_TYPE_INT 2    /**< Signed 64-bit integers; int cells. */
#define TBLX_TYPE_UINT 3   /**< Unsigned 64-bit integers; uint cells. */
#define TBLX_TYPE_HEX 4    /**< Unsigned 64-bit integers shown in hex; hex cells. */
#define TBLX_TYPE_DOUBLE 5 /**< Floating-point numbers (double); double cells. */
/** @} */

/** @name Justifications of titles, cells and sums
 * CHAR_FIRST and CHAR_LAST place the first or last occurrence of the column's
 * justify character on one alignment position (for example decimal points
 * under each other).
 * @{ */
#define TBLX_JUST_LEFT 1       /**< Left-justified. */
#define TBLX_JUST_RIGHT 2      /**< Right-justified. */
#define TBLX_JUST_CENTER 3     /**< Centred. */
#define TBLX_JUST_CHAR_FIRST 4 /**< The first justify character on the alignment position. */
#define TBLX_JUST_CHAR_LAST 5  /**< The last justify character on the alignment position. */
/** @} */

/** @name Letter case of hexadecimal digits
 * The "0x" prefix is always lower case.
 * @{ */
#define TBLX_HEX_LOWER 1 /**< a to f. */
#define TBLX_HEX_UPPER 2 /**< A to F. */
/** @} */

/** @name Output styles (tblx_setstyle())
 * @{ */
#define TBLX_STYLE_SIMPLE 0 /**< "simple": padded fields separated by one space. */
#define TBLX_STYLE_RAW 1    /**< "raw": fields separated by one space, not padded. */
#define TBLX_STYLE_FANCY 2  /**< "fancy": "|" between fields, rules of "-" and "+". */
#define TBLX_STYLE_FANCYW 3 /**< "fancyw": " | " between fields, rules of "-" and "-+-". */
/** @} */

/** @name Output formats (tblx_setformat()); added in 0.7
 * @{ */
#define TBLX_FORMAT_TEXT 0     /**< Aligned text in the table's style (the default). */
#define TBLX_FORMAT_MARKDOWN 1 /**< A GitHub Markdown table, padded to line up. */
#define TBLX_FORMAT_CSV 2      /**< Comma-separated values (RFC 4180), CR LF line ends. */
#define TBLX_FORMAT_TSV 3      /**< Tab-separated values, escapes with backslashes. */
#define TBLX_FORMAT_JSON 4     /**< A JSON array of one object per row. */
#define TBLX_FORMAT_JSONL 5    /**< JSON Lines: one JSON object per row and line. */
#define TBLX_FORMAT_HTML 6     /**< One HTML table. */
/** @} */

/** @name Sort orders (tblx_sort())
 * @{ */
#define TBLX_SORT_UNORD 0 /**< "unord": the order stays as it is. */
#define TBLX_SORT_ASC 1   /**< "asc": ascending; rows without the key cell first. */
#define TBLX_SORT_DESC 2  /**< "desc": descending; rows without the key cell last. */
/** @} */

/** Sort mode bit (tblx_setcolumn_sortmode()): string columns compare by
 * length first, then by bytes. */
#define TBLX_SORTMODE_BY_LENGTH 2

/** @name Print sections (tblx_print())
 * Bits that combine; the sections are always written in this order. Rules
 * appear only in the fancy styles.
 * @{ */
#define TBLX_PRINT_TITLES 1     /**< The title line. */
#define TBLX_PRINT_TITLE_RULE 2 /**< The rule under the titles. */
#define TBLX_PRINT_ROWS 4       /**< The rows. */
#define TBLX_PRINT_SUM_RULE 8   /**< The rule above the summary line. */
#define TBLX_PRINT_SUM 16       /**< The summary line: sums, summary texts and fillers. */
#define TBLX_PRINT_ALL 31       /**< Every section. */
/** @} */

/* ---- types -------------------------------------------------------------- */

/** The table; only ever handled through a pointer. */
typedef struct tblx_table tblx_table;

/* Internal records, named only by the record-freeing and comparator exports;
 * callers never hold them. Their tags carry the prefix, so that no name of this
 * header can clash with a caller's own (`column` in C++ code that says
 * `using namespace tabulix;`). */
struct tblx_column;
struct tblx_row;
struct tblx_cell;

/**
 * Title callback: gives the title of a column when its table is printed.
 *
 * It runs during tblx_print(), and its table is busy meanwhile: on it the
 * reading calls (tblx_getrowcount(), tblx_isfancy(), tblx_getcolumnid()) work,
 * every call that would change or print it gives TBLX_ERR_INVALID_ARGUMENT and
 * changes nothing, and tblx_delete(), tblx_clean() and tblx_removerows() do
 * nothing. The print's bytes so far are on the stream when it runs, and the
 * stream's lock is not held: it may write to the stream itself, or wait for
 * another thread that does; such writes appear where the callback ran.
 *
 * @param arg   the argument given to tblx_setcolumn_titlefunc()
 * @param width the width the title will be placed in
 * @return a NUL-terminated text that stays valid until the print call
 *         returns; NULL counts as an empty title
 */
typedef const char*(TBLX_CALL* tblx_title_func)(void* arg, uint32_t width);

/**
 * Cell comparator, as given by tblx_get_cell_cmp__().
 *
 * @param a a cell of the column
 * @param b another cell of the column
 * @return negative, zero or positive as a sorts before, with or after b
 */
typedef int(TBLX_CALL* tblx_cell_cmp_func)(const struct tblx_cell* a, const struct tblx_cell* b);

/**
 * Writer: takes the bytes of a print made with tblx_print_to().
 *
 * A print hands its bytes over in order, in pieces of any size (a few
 * kilobytes at a time as a rule), and before each title callback it calls.
 * Added in 0.7.
 *
 * @param context the context given to tblx_print_to()
 * @param data    the next bytes; not NUL-terminated, valid during the call
 * @param size    how many, never 0
 * @return 0 when the bytes were taken; anything else stops the print, which
 *         then writes nothing more and gives TBLX_ERR_OUTPUT
 */
typedef int(TBLX_CALL* tblx_writer)(void* context, const char* data, size_t size);

/* ---- status messages ---------------------------------------------------- */

/**
 * The fixed English message of a status code.
 *
 * @param code a status code
 * @return "Success" for TBLX_OK, the message of a TBLX_ERR_* code, or
 *         "<unknown error>" for any other value; never NULL, library-owned
 */
TBLX_API const char* TBLX_CALL tblx_strerror(tblx_status code) TBLX_NOEXCEPT;

/* ---- table lifetime, fillers, version ------------------------------------ */

/**
 * Creates a new, empty table in the simple style. Release it with tblx_delete().
 *
 * @return the table, or NULL when memory is short
 */
TBLX_API tblx_table* TBLX_CALL tblx_new(void) TBLX_NOEXCEPT;

/**
 * Frees the table and everything it owns.
 *
 * @param table the table; NULL, or a table being printed, does nothing
 */
TBLX_API void TBLX_CALL tblx_delete(tblx_table* table) TBLX_NOEXCEPT;

/**
 * Drops all columns and rows and reopens the header. Keeps the style, the
 * fillers and the column ID counter (IDs are never reused).
 *
 * @param table the table; NULL, or a table being printed, does nothing
 */
TBLX_API void TBLX_CALL tblx_clean(tblx_table* table) TBLX_NOEXCEPT;

/**
 * Sets the text that the summary line shows in a column instead of its sum or
 * filler, such as a label ("Total") or a figure the caller computed.
 *
 * The text is justified like the column's cells and measured like a string
 * cell of the column (split at its alignment character), so it widens the
 * column as needed; the raw style writes it as it is. A summed column keeps
 * computing its sum. tblx_removerows() keeps the texts, tblx_clean() drops
 * them with the columns. Allowed with or without an open row.
 * Added in 0.6.
 *
 * @param table     the table
 * @param column_id the column's ID (tblx_begincolumn_columnid(), tblx_getcolumnid())
 * @param text      the text, copied; NULL removes it, and the column shows its
 *                  sum or filler again
 * @return TBLX_OK, TBLX_ERR_INVALID_ARGUMENT (NULL table, or a text of 4 GiB
 *         or more), TBLX_ERR_NO_HEADER, TBLX_ERR_NO_SUCH_COLUMN,
 *         TBLX_ERR_NO_MEMORY
 */
TBLX_API tblx_status TBLX_CALL tblx_setsumtext(tblx_table* table, int32_t column_id,
                                               const char* text) TBLX_NOEXCEPT;

/**
 * Tells whether the summary line shows anything but fillers: whether a
 * column is summed or has a summary text. A caller may leave the summary
 * line out otherwise (tblx_print_except() with TBLX_PRINT_SUM and
 * TBLX_PRINT_SUM_RULE). Works on a table being printed. Added in 0.7.
 *
 * @param table the table
 * @return 1 when a column is summed or has a summary text; 0 otherwise and
 *         for NULL
 */
TBLX_API int TBLX_CALL tblx_hassummary(const tblx_table* table) TBLX_NOEXCEPT;

/**
 * Sets the summary-line filler shown for unsummed columns in one style.
 *
 * @param table     the table
 * @param style     0 simple, 1 raw, 2 or 3 fancy and fancyw (which share one)
 * @param character the filler; its low 8 bits are used, which must be 0x20 to 0x7E
 * @return TBLX_OK, TBLX_ERR_INVALID_ARGUMENT (NULL table or a character out
 *         of range), TBLX_ERR_INVALID_STYLE (a style above 3)
 */
TBLX_API tblx_status TBLX_CALL tblx_setsumreplace(tblx_table* table, unsigned int style,
                                                  int character) TBLX_NOEXCEPT;

/**
 * The library's version as text.
 *
 * @return "0.7.0" (TBLX_VERSION_STRING of the library's build); library-owned
 */
TBLX_API const char* TBLX_CALL tblx_version_str(void) TBLX_NOEXCEPT;

/**
 * The library's version as one number.
 *
 * @return major << 24 | minor << 16 | patch << 8: 0x70000
 */
TBLX_API uint32_t TBLX_CALL tblx_version_uint(void) TBLX_NOEXCEPT;

/* ---- column definition ---------------------------------------------------- */
/* All give TBLX_ERR_INVALID_ARGUMENT for a NULL table, then
 * TBLX_ERR_HEADER_ENDED once the header is ended; the setters then give
 * TBLX_ERR_NO_OPEN_COLUMN when no column is open. Setters act on the open
 * column only. */

/**
 * Declares a column and opens it for configuration by the tblx_setcolumn_* calls.
 *
 * @param table the table
 * @param type  TBLX_TYPE_STRING, TBLX_TYPE_INT, TBLX_TYPE_UINT, TBLX_TYPE_HEX or
 *              TBLX_TYPE_DOUBLE
 * @return TBLX_OK, TBLX_ERR_INVALID_ARGUMENT, TBLX_ERR_HEADER_ENDED,
 *         TBLX_ERR_COLUMN_OPEN, TBLX_ERR_INVALID_COLUMN_TYPE, TBLX_ERR_NO_MEMORY
 */
TBLX_API tblx_status TBLX_CALL tblx_begincolumn(tblx_table* table, unsigned int type) TBLX_NOEXCEPT;

/**
 * As tblx_begincolumn(), and gives the new column's ID (for tblx_sort()).
 *
 * @param table the table
 * @param type  the column type (TBLX_TYPE_*)
 * @param id    where the ID is written; NULL gives TBLX_ERR_INVALID_ARGUMENT
 *              and declares nothing
 * @return as tblx_begincolumn()
 */
TBLX_API tblx_status TBLX_CALL tblx_begincolumn_columnid(tblx_table* table, unsigned int type,
                                                         int32_t* id) TBLX_NOEXCEPT;

/**
 * Closes the open column.
 *
 * @param table the table
 * @return TBLX_OK, TBLX_ERR_INVALID_ARGUMENT, TBLX_ERR_HEADER_ENDED,
 *         TBLX_ERR_NO_OPEN_COLUMN
 */
TBLX_API tblx_status TBLX_CALL tblx_endcolumn(tblx_table* table) TBLX_NOEXCEPT;

/**
 * Sets a fixed title of the open column.
 *
 * @param table the table
 * @param title the title; not copied: keep it alive while the column exists
 * @return TBLX_OK, TBLX_ERR_INVALID_ARGUMENT, TBLX_ERR_HEADER_ENDED,
 *         TBLX_ERR_NO_OPEN_COLUMN
 */
TBLX_API tblx_status TBLX_CALL tblx_setcolumn_title(tblx_table* table,
                                                    const char* title) TBLX_NOEXCEPT;

/**
 * Sets a title callback of the open column.
 *
 * @param table the table
 * @param func  the callback; NULL gives TBLX_ERR_INVALID_ARGUMENT
 * @param arg   its argument; not copied
 * @return TBLX_OK, TBLX_ERR_INVALID_ARGUMENT, TBLX_ERR_HEADER_ENDED,
 *         TBLX_ERR_NO_OPEN_COLUMN
 */
TBLX_API tblx_status TBLX_CALL tblx_setcolumn_titlefunc(tblx_table* table, tblx_title_func func,
                                                        void* arg) TBLX_NOEXCEPT;

/**
 * Sets the justification of the open column's title.
 *
 * @param table         the table
 * @param justification a TBLX_JUST_* value
 * @return TBLX_OK, TBLX_ERR_INVALID_ARGUMENT, TBLX_ERR_HEADER_ENDED,
 *         TBLX_ERR_NO_OPEN_COLUMN, TBLX_ERR_INVALID_JUSTIFICATION
 */
TBLX_API tblx_status TBLX_CALL tblx_setcolumn_titlejust(tblx_table* table,
                                                        unsigned int justification) TBLX_NOEXCEPT;

/**
 * Sets the justification of the open column's cells and sum.
 *
 * @param table         the table
 * @param justification a TBLX_JUST_* value
 * @return TBLX_OK, TBLX_ERR_INVALID_ARGUMENT, TBLX_ERR_HEADER_ENDED,
 *         TBLX_ERR_NO_OPEN_COLUMN, TBLX_ERR_INVALID_JUSTIFICATION
 */
TBLX_API tblx_status TBLX_CALL tblx_setcolumn_celljust(tblx_table* table,
                                                       unsigned int justification) TBLX_NOEXCEPT;

/**
 * Sets the smallest width of the open column.
 *
 * @param table the table
 * @param width the width; a negative width counts as 0
 * @return TBLX_OK, TBLX_ERR_INVALID_ARGUMENT, TBLX_ERR_HEADER_ENDED,
 *         TBLX_ERR_NO_OPEN_COLUMN
 */
TBLX_API tblx_status TBLX_CALL tblx_setcolumn_minwidth(tblx_table* table, int width) TBLX_NOEXCEPT;

/**
 * Sums the open column and shows the sum in the summary line.
 *
 * The sum is exact: it is kept in 128 bits, so it never wraps. A sum beyond
 * the column's 64-bit type is printed with every digit (such as
 * 18446744073709551617, -9223372036854775809 or 0x10000000000000001) and
 * measured, filled, suffixed and aligned as any number of the column; a sum
 * within it prints as a cell of that value would. The sum of a double column
 * is the exact sum of its values rounded once (0.1 ten times gives 1), shown
 * in the column's precision; a NaN, or both infinities, make it NaN.
 *
 * @param table the table
 * @param flag  nonzero to sum; ignored (stored as 0) for string columns
 * @return TBLX_OK, TBLX_ERR_INVALID_ARGUMENT, TBLX_ERR_HEADER_ENDED,
 *         TBLX_ERR_NO_OPEN_COLUMN
 */
TBLX_API tblx_status TBLX_CALL tblx_setcolumn_summarize(tblx_table* table, int flag) TBLX_NOEXCEPT;

/**
 * Sets the letter case of the open column's hex digits.
 *
 * @param table    the table
 * @param hex_case TBLX_HEX_LOWER or TBLX_HEX_UPPER
 * @return TBLX_OK, TBLX_ERR_INVALID_ARGUMENT, TBLX_ERR_HEADER_ENDED,
 *         TBLX_ERR_NO_OPEN_COLUMN, TBLX_ERR_INVALID_CASING
 */
TBLX_API tblx_status TBLX_CALL tblx_setcolumn_hexcase(tblx_table* table,
                                                      unsigned int hex_case) TBLX_NOEXCEPT;

/**
 * Zero-fills the open column's hex cells to the column width (not in the raw
 * style).
 *
 * @param table the table
 * @param flag  nonzero to fill; ignored (stored as 0) for other column types
 * @return TBLX_OK, TBLX_ERR_INVALID_ARGUMENT, TBLX_ERR_HEADER_ENDED,
 *         TBLX_ERR_NO_OPEN_COLUMN
 */
TBLX_API tblx_status TBLX_CALL tblx_setcolumn_leadingzero(tblx_table* table,
                                                          int flag) TBLX_NOEXCEPT;

/**
 * Sets the text written after every number and sum of the open column.
 *
 * @param table  the table
 * @param suffix the text, or NULL for none; not copied, and its length is
 *               taken now
 * @return TBLX_OK, TBLX_ERR_INVALID_ARGUMENT (also for a suffix of 4 GiB or
 *         more), TBLX_ERR_HEADER_ENDED, TBLX_ERR_NO_OPEN_COLUMN
 */
TBLX_API tblx_status TBLX_CALL tblx_setcolumn_suffix(tblx_table* table,
                                                     const char* suffix) TBLX_NOEXCEPT;

/**
 * Sets the sort mode flags of the open column.
 *
 * @param table the table
 * @param mode  TBLX_SORTMODE_BY_LENGTH or 0; any value is stored
 * @return TBLX_OK, TBLX_ERR_INVALID_ARGUMENT, TBLX_ERR_HEADER_ENDED,
 *         TBLX_ERR_NO_OPEN_COLUMN
 */
TBLX_API tblx_status TBLX_CALL tblx_setcolumn_sortmode(tblx_table* table, int mode) TBLX_NOEXCEPT;

/**
 * Sets the alignment character of the open column, for TBLX_JUST_CHAR_FIRST
 * and TBLX_JUST_CHAR_LAST.
 *
 * @param table     the table
 * @param character the character; its low 8 bits are used (default '.').
 *                  The column's digit group separator gives
 *                  TBLX_ERR_INVALID_ARGUMENT (tblx_setcolumn_grouping()).
 * @return TBLX_OK, TBLX_ERR_INVALID_ARGUMENT, TBLX_ERR_HEADER_ENDED,
 *         TBLX_ERR_NO_OPEN_COLUMN
 */
TBLX_API tblx_status TBLX_CALL tblx_setcolumn_justchar(tblx_table* table,
                                                       int character) TBLX_NOEXCEPT;

/**
 * Sets how many decimals the open column's doubles and sum show.
 *
 * With 0 to 17, exactly that many decimals, correctly rounded (ties to even,
 * as printf("%.*f") in the C locale). With -1, the default, the shortest
 * text that reads back as the same double: plain for magnitudes from 1e-5
 * up to 1e16 (0.1, 1234.5), with an exponent outside (1.5e+20, 1e-07).
 * The point is always '.', whatever the locale; NaN prints as "nan", the
 * infinities as "inf" and "-inf", and -0 keeps its sign ("-0", "-0.00").
 *
 * @param table  the table
 * @param digits -1 to 17; any other value gives TBLX_ERR_INVALID_ARGUMENT.
 *               Stored for every column type, used by double columns.
 * @return TBLX_OK, TBLX_ERR_INVALID_ARGUMENT, TBLX_ERR_HEADER_ENDED,
 *         TBLX_ERR_NO_OPEN_COLUMN
 */
TBLX_API tblx_status TBLX_CALL tblx_setcolumn_precision(tblx_table* table,
                                                        int digits) TBLX_NOEXCEPT;

/**
 * Groups the integer digits of the open column's numbers and sum:
 * by three in int, uint and double columns (1,234,567.25), by four after
 * the "0x" of hex columns (0xdead_beef); string columns ignore it.
 *
 * The separator and the column's alignment character (tblx_setcolumn_justchar)
 * never meet: a separator equal to the alignment character is refused, and
 * so is an alignment character equal to the separator.
 *
 * @param table     the table
 * @param separator ',', '.', '\'', '_' or ' '; 0 (the default) for no
 *                  grouping. Any other character, or the column's alignment
 *                  character, gives TBLX_ERR_INVALID_ARGUMENT.
 * @return TBLX_OK, TBLX_ERR_INVALID_ARGUMENT, TBLX_ERR_HEADER_ENDED,
 *         TBLX_ERR_NO_OPEN_COLUMN
 */
TBLX_API tblx_status TBLX_CALL tblx_setcolumn_grouping(tblx_table* table,
                                                       char separator) TBLX_NOEXCEPT;

/**
 * Closes the header and opens the table for rows.
 *
 * @param table the table
 * @return TBLX_OK, TBLX_ERR_INVALID_ARGUMENT, TBLX_ERR_HEADER_ENDED,
 *         TBLX_ERR_COLUMN_OPEN
 */
TBLX_API tblx_status TBLX_CALL tblx_endheader(tblx_table* table) TBLX_NOEXCEPT;

/**
 * Gives the ID of the column at a position.
 *
 * @param table    the table
 * @param position the column's position, from 0
 * @param id       where the ID is written
 * @return TBLX_OK, TBLX_ERR_INVALID_ARGUMENT (NULL table or id),
 *         TBLX_ERR_NO_HEADER, TBLX_ERR_NO_SUCH_COLUMN (no such position)
 */
TBLX_API tblx_status TBLX_CALL tblx_getcolumnid(tblx_table* table, uint32_t position,
                                                int32_t* id) TBLX_NOEXCEPT;

/**
 * Frees one column record. The table frees its own columns without calling
 * this name, so a program's own function of that name never replaces the
 * library's work (in the static library this name and free_row() are weak
 * symbols, which a program's own definitions override).
 *
 * @param column the record
 */
TBLX_API void TBLX_CALL free_column(struct tblx_column* column) TBLX_NOEXCEPT;

/* ---- rows and cells -------------------------------------------------------- */

/**
 * Opens a new row at the end of the table.
 *
 * @param table the table
 * @return TBLX_OK, TBLX_ERR_INVALID_ARGUMENT, TBLX_ERR_NO_HEADER,
 *         TBLX_ERR_ROW_OPEN, TBLX_ERR_NO_MEMORY
 */
TBLX_API tblx_status TBLX_CALL tblx_beginrow(tblx_table* table) TBLX_NOEXCEPT;

/**
 * Adds a string cell to the open row, in the next column.
 *
 * The tblx_addcell_* calls give, in this order: TBLX_OK,
 * TBLX_ERR_INVALID_ARGUMENT, TBLX_ERR_NO_MORE_COLUMNS (no row open, or no
 * column left in it), TBLX_ERR_CELL_TYPE_MISMATCH (the next column has
 * another type; retry the same column), TBLX_ERR_NO_MEMORY.
 *
 * @param table the table
 * @param text  the text, copied; NULL or a text of 4 GiB or more gives
 *              TBLX_ERR_INVALID_ARGUMENT
 * @return as above
 */
TBLX_API tblx_status TBLX_CALL tblx_addcell_string(tblx_table* table,
                                                   const char* text) TBLX_NOEXCEPT;
/**
 * Adds an int cell to the open row, in the next column.
 *
 * @param table the table
 * @param value the value
 * @return as tblx_addcell_string()
 */
TBLX_API tblx_status TBLX_CALL tblx_addcell_int(tblx_table* table, int64_t value) TBLX_NOEXCEPT;
/**
 * Adds a uint cell to the open row, in the next column.
 *
 * @param table the table
 * @param value the value
 * @return as tblx_addcell_string()
 */
TBLX_API tblx_status TBLX_CALL tblx_addcell_uint(tblx_table* table, uint64_t value) TBLX_NOEXCEPT;
/**
 * Adds a hex cell to the open row, in the next column.
 *
 * @param table the table
 * @param value the value
 * @return as tblx_addcell_string()
 */
TBLX_API tblx_status TBLX_CALL tblx_addcell_hex(tblx_table* table, uint64_t value) TBLX_NOEXCEPT;

/**
 * Adds a double cell to the open row, in the next column (of type
 * TBLX_TYPE_DOUBLE). Any double is taken, NaN and the infinities included.
 *
 * @param table the table
 * @param value the value
 * @return as tblx_addcell_string()
 */
TBLX_API tblx_status TBLX_CALL tblx_addcell_double(tblx_table* table, double value) TBLX_NOEXCEPT;

/**
 * Adds an empty cell (a missing value) to the open row, in the next column,
 * whatever its type.
 *
 * It prints as an empty text justified in its column (in a column aligned on
 * a character it ends one place before the alignment position), is measured
 * as that text and is never added to a sum. Sorting puts it below every value
 * of its column, the empty text included: first in ascending order (after
 * rows that lack the cell), last in descending order (before those rows);
 * empty cells keep their input order among themselves. The comparators of
 * tblx_get_cell_cmp__() order them the same way.
 * Added in 0.6.
 *
 * @param table the table
 * @return TBLX_OK, TBLX_ERR_INVALID_ARGUMENT, TBLX_ERR_NO_MORE_COLUMNS (no row
 *         open, or no column left in it), TBLX_ERR_NO_MEMORY
 */
TBLX_API tblx_status TBLX_CALL tblx_addcell_empty(tblx_table* table) TBLX_NOEXCEPT;

/**
 * Ends the open row; it may hold fewer cells than there are columns.
 *
 * @param table the table
 * @return TBLX_OK, TBLX_ERR_INVALID_ARGUMENT, TBLX_ERR_NO_OPEN_ROW
 */
TBLX_API tblx_status TBLX_CALL tblx_endrow(tblx_table* table) TBLX_NOEXCEPT;

/**
 * Drops the open row and its cells, as if tblx_beginrow() had not been
 * called: the rows, the memory the table holds and the next print are as
 * they were before the row began. For a caller who meets an error in the
 * middle of a row (a value it cannot convert, TBLX_ERR_NO_MEMORY) and would
 * rather not keep the row short.
 * Added in 0.7.
 *
 * @param table the table
 * @return TBLX_OK, TBLX_ERR_INVALID_ARGUMENT (NULL or busy table),
 *         TBLX_ERR_NO_OPEN_ROW
 */
TBLX_API tblx_status TBLX_CALL tblx_cancelrow(tblx_table* table) TBLX_NOEXCEPT;

/**
 * Counts the ended rows.
 *
 * @param table the table
 * @return the number of ended rows; 0 for NULL
 */
TBLX_API int32_t TBLX_CALL tblx_getrowcount(const tblx_table* table) TBLX_NOEXCEPT;

/**
 * Frees every row (the open one too) and keeps the header.
 *
 * @param table the table; NULL, or a table being printed, does nothing
 */
TBLX_API void TBLX_CALL tblx_removerows(tblx_table* table) TBLX_NOEXCEPT;

/**
 * Releases one row record and its cells. Rows and cells live in blocks that
 * their table frees as a whole (tblx_removerows(), tblx_clean(),
 * tblx_delete()), so this frees nothing by itself and leaves the records as
 * they are.
 *
 * @param row the record
 */
TBLX_API void TBLX_CALL free_row(struct tblx_row* row) TBLX_NOEXCEPT;

/* ---- sorting --------------------------------------------------------------- */

/**
 * Sorts the rows stably by one column.
 *
 * @param table     the table
 * @param sortorder TBLX_SORT_ASC (rows without that cell first),
 *                  TBLX_SORT_DESC (those rows last) or TBLX_SORT_UNORD (the
 *                  order stays)
 * @param column_id the column's ID
 * @return TBLX_OK, TBLX_ERR_INVALID_ARGUMENT (NULL table), TBLX_ERR_NO_HEADER,
 *         TBLX_ERR_ROW_OPEN, TBLX_ERR_NO_SUCH_COLUMN, TBLX_ERR_NOT_COMPARABLE,
 *         TBLX_ERR_INVALID_SORT_ORDER
 */
TBLX_API tblx_status TBLX_CALL tblx_sort(tblx_table* table, int sortorder,
                                         int column_id) TBLX_NOEXCEPT;

/**
 * Parses the name of a sort order.
 *
 * @param sortorder where the TBLX_SORT_* value is written
 * @param name      "asc", "desc" or "unord"
 * @return TBLX_OK, TBLX_ERR_INVALID_ARGUMENT (a NULL pointer), TBLX_ERR_PARSE
 *         (an unknown name; *sortorder is untouched)
 */
TBLX_API tblx_status TBLX_CALL tblx_parse_sortorder(int* sortorder, const char* name) TBLX_NOEXCEPT;

/**
 * The names of the sort orders.
 *
 * @return a NULL-terminated list; library-owned, constant
 */
TBLX_API const char* const* TBLX_CALL tblx_getsortorderlist(void) TBLX_NOEXCEPT;

/**
 * The comparator for a column's cells.
 *
 * @param column the column record
 * @return the comparator, or NULL when the cells cannot be compared
 */
TBLX_API tblx_cell_cmp_func TBLX_CALL tblx_get_cell_cmp__(const struct tblx_column* column)
    TBLX_NOEXCEPT;

/* ---- styles ---------------------------------------------------------------- */

/**
 * Sets the style.
 *
 * @param table the table
 * @param style a TBLX_STYLE_* value
 * @return TBLX_OK, TBLX_ERR_INVALID_ARGUMENT, TBLX_ERR_INVALID_STYLE (a value
 *         above 3 or negative)
 */
TBLX_API tblx_status TBLX_CALL tblx_setstyle(tblx_table* table, int style) TBLX_NOEXCEPT;

/**
 * Sets the style by its name.
 *
 * @param table the table
 * @param name  "raw", "simple", "fancy" or "fancyw", exactly
 * @return TBLX_OK, TBLX_ERR_INVALID_ARGUMENT (NULL table or name),
 *         TBLX_ERR_PARSE (an unknown name)
 */
TBLX_API tblx_status TBLX_CALL tblx_setstylestr(tblx_table* table, const char* name) TBLX_NOEXCEPT;

/**
 * The names of the styles.
 *
 * @return a NULL-terminated list; library-owned, constant
 */
TBLX_API const char* const* TBLX_CALL tblx_getstylelist(void) TBLX_NOEXCEPT;

/**
 * Tells whether the style draws separators and rules.
 *
 * @param table the table
 * @return 1 for fancy and fancyw, 0 for the other styles and for NULL
 */
TBLX_API int TBLX_CALL tblx_isfancy(const tblx_table* table) TBLX_NOEXCEPT;

/**
 * Sets the output format of the prints.
 *
 * TBLX_FORMAT_TEXT, the default, prints aligned text in the table's style. The
 * other formats print the same rows in the same order, each section flag
 * selecting its part where the format has it; titles come from the title
 * callbacks, given the width the text format would give them (the column's
 * width, or its minimum width in the raw style).
 *
 * - TBLX_FORMAT_MARKDOWN: a GitHub table. The title line and the alignment
 *   row (":---" left, "---:" right and both character justifications,
 *   ":---:" centred) are always written; cells are placed as in the fancyw
 *   style between "| " and " |", every column at least 3 wide; a "|" in a
 *   text is written "\|" (which widens that line by one); the summary line,
 *   when selected, is the last row. No rules.
 * - TBLX_FORMAT_CSV: RFC 4180, every line ended by CR LF. TBLX_FORMAT_TSV:
 *   fields separated by a tab, lines ended by LF, and in a text tab, LF, CR
 *   and backslash written "\t", "\n", "\r", "\\". Both print a header
 *   record of the titles when titles are selected, then one record per row
 *   with a field for every column (empty for an empty or missing cell). A
 *   CSV field is quoted when it holds a comma, a quote, CR or LF, a quote
 *   doubled. Values, not presentation: numbers in plain digits, hex numbers
 *   as "0x" and their digits in the column's case (zero-filled as the text
 *   format fills them when leading zeros are set); no suffix, no padding,
 *   no rules, no summary line.
 * - TBLX_FORMAT_JSON: an array of one object per row, one object a line;
 *   TBLX_FORMAT_JSONL: one object per line and nothing else. Keys are the
 *   titles, in column order; int and uint cells are numbers with all their
 *   digits, hex cells and texts strings (bytes that are not UTF-8 become
 *   U+FFFD, control characters are escaped), empty and missing cells null.
 *   No summary line. The title flag is ignored: every object has its keys.
 * - TBLX_FORMAT_HTML: one table, with the titles in thead, the rows in tbody
 *   and the summary line in tfoot, each cell as the text format shows it
 *   unpadded, with "&", "<", ">", '"' and "'" escaped and its justification
 *   as style="text-align:left", "right" (also both character justifications)
 *   or "center".
 *
 * Callable in any phase but during a print; the layout, the same for every
 * format, is not measured again. Added in 0.7.
 *
 * @param table  the table
 * @param format a TBLX_FORMAT_* value
 * @return TBLX_OK, TBLX_ERR_INVALID_ARGUMENT (NULL or busy table, or an
 *         unknown format: nothing changes)
 */
TBLX_API tblx_status TBLX_CALL tblx_setformat(tblx_table* table, int format) TBLX_NOEXCEPT;

/* ---- width mode and title measuring --------------------------------------- */

/** @name Width modes (tblx_setwidthmode()): what a width counts
 * @{ */
#define TBLX_WIDTH_BYTES 0   /**< Bytes of the text (the default). */
#define TBLX_WIDTH_DISPLAY 1 /**< Terminal columns of UTF-8 text. */
/** @} */

/**
 * Sets what every width of the table counts.
 *
 * TBLX_WIDTH_BYTES, the default, counts bytes. TBLX_WIDTH_DISPLAY counts the
 * columns a terminal shows for UTF-8 text, so that accented, CJK and emoji
 * texts line up: the widths of string cells, titles (measured, centred and
 * placed), suffixes, summary texts and fillers, the width handed to a title
 * callback, and the two shares of a text split at its alignment character.
 * Each code point counts on its own, whatever the locale (Unicode 15): East
 * Asian Wide and Fullwidth characters and default emoji 2 columns; combining
 * marks, zero-width joiner and non-joiner, variation selectors, other
 * default-ignorable code points and Hangul vowel and trailing jamo 0; all else
 * 1, control characters included. A byte that is not part of valid UTF-8
 * counts 1. Since 0.7 escape sequences count 0: CSI (ESC [, parameter and
 * intermediate bytes, a final byte 0x40 to 0x7E, as the colour ESC [ 3 1 m),
 * OSC (ESC ] up to BEL or ESC \, as an OSC 8 hyperlink) and any other ESC,
 * intermediate bytes 0x20 to 0x2F and a final byte 0x30 to 0x7E; bytes that
 * only start one count as text; a character that Unicode lists with an emoji
 * presentation sequence counts 2 before U+FE0F and 1 before U+FE0E, and two
 * regional indicators (a flag) count 2. Other sequences are not joined (a
 * family emoji counts as the sum of its parts), as wcswidth() counts them. The
 * alignment character stays one byte; in this mode one of 0x80 or above never
 * matches, since it could only hit part of a character, nor does one inside an
 * escape sequence. Callable in any phase; the next print measures again. Added
 * in 0.6.
 *
 * @param table the table
 * @param mode  TBLX_WIDTH_BYTES or TBLX_WIDTH_DISPLAY
 * @return TBLX_OK, TBLX_ERR_INVALID_ARGUMENT (NULL or busy table, or an
 *         unknown mode: nothing changes)
 */
TBLX_API tblx_status TBLX_CALL tblx_setwidthmode(tblx_table* table, int32_t mode) TBLX_NOEXCEPT;

/**
 * Sets whether every title counts in its column's width.
 *
 * By default only a title justified on a character (TBLX_JUST_CHAR_FIRST,
 * TBLX_JUST_CHAR_LAST) counts in the width, split at the alignment character;
 * a title justified left, right or centred is placed in the width that the
 * cells, the sum and the minimum width give, and a longer one pushes the
 * fields after it out of line. With on nonzero, every column's title counts,
 * whatever its justification: the measuring pass calls the title callback
 * once for each column with the width that the cells, the sum and the
 * minimum width give, measures the text it returns in the table's width mode
 * (split at the alignment character for the two character justifications)
 * and widens the column to hold it; the title line then calls the callback
 * again with the final width. The raw style fills nothing and prints as
 * before. Callable in any phase; the next print measures again when the
 * setting changes. Added in 0.7.
 *
 * @param table the table
 * @param on    nonzero: every title counts; 0: only titles justified on a
 *              character count (the default)
 * @return TBLX_OK, TBLX_ERR_INVALID_ARGUMENT (NULL or busy table: nothing
 *         changes)
 */
TBLX_API tblx_status TBLX_CALL tblx_setmeasuretitles(tblx_table* table, int on) TBLX_NOEXCEPT;

/* ---- fields on several lines and width limits ----------------------------- */

/**
 * Sets whether line feeds in texts start new lines inside their fields.
 *
 * With on nonzero, a line feed in a string cell, a title or a summary text
 * starts a new line inside that field: the row takes as many lines as its
 * tallest field, every other field is blank on the extra lines (texts stand
 * at the top), separators go on on every line, and a field is as wide as its
 * widest line. Without drawn separators a line ends after its last field
 * that shows something. With 0, the default, texts are written as they are.
 * The raw style writes texts as they are either way. Callable in any phase;
 * the next print measures again when the setting changes. Added in 0.7.
 *
 * @param table the table
 * @param on    nonzero: line feeds break texts into lines; 0: they do not
 * @return TBLX_OK, TBLX_ERR_INVALID_ARGUMENT (NULL or busy table: nothing
 *         changes)
 */
TBLX_API tblx_status TBLX_CALL tblx_setmultiline(tblx_table* table, int on) TBLX_NOEXCEPT;

/** @name Overflow modes (tblx_setcolumn_maxwidth()): what a text too wide does
 * @{ */
#define TBLX_OVERFLOW_CUT 0  /**< Cut, ending with a mark. */
#define TBLX_OVERFLOW_WRAP 1 /**< Go on over more lines (needs multi-line). */
/** @} */

/**
 * Limits the width of the open column, a string column.
 *
 * No line of a cell, title or summary text of the column is wider than
 * width (counted in the table's width mode); the column is no wider than
 * that either, whatever its minimum width. A longer line is cut, ending with
 * "…" ("..." in TBLX_WIDTH_BYTES mode, as many dots as fit below 3
 * columns), with TBLX_OVERFLOW_CUT, or with TBLX_OVERFLOW_WRAP goes on over
 * more lines when the table prints on several lines (tblx_setmultiline();
 * without it the line is cut): it breaks after the last blank that keeps it
 * within the width, dropping the blanks there, and a word longer than the
 * width breaks where the width falls. No line is ever broken inside a UTF-8
 * character (nor between a character and its variation selector, nor
 * inside a flag) or an escape sequence; a character wider than the width
 * takes a line of its own. In TBLX_WIDTH_DISPLAY mode a cut or a break
 * inside styled text (a line that holds escape sequences) ends the line with
 * ESC [ 0 m, and a wrapped line's styles start its next line again. A
 * column justified on a character whose lines, so aligned, would be wider
 * than width places them left instead. The raw style writes texts as they
 * are. Added in 0.7.
 *
 * @param table    the table
 * @param width    widest line in columns (bytes in TBLX_WIDTH_BYTES mode);
 *                 0 removes the limit, and the overflow mode still says how
 *                 tblx_setmaxwidth() narrows the column
 * @param overflow TBLX_OVERFLOW_CUT or TBLX_OVERFLOW_WRAP
 * @return TBLX_OK, TBLX_ERR_INVALID_ARGUMENT (NULL or busy table, a number
 *         column, whose numbers are never cut, or an unknown overflow
 *         mode), TBLX_ERR_HEADER_ENDED, TBLX_ERR_NO_OPEN_COLUMN
 */
TBLX_API tblx_status TBLX_CALL tblx_setcolumn_maxwidth(tblx_table* table, unsigned int width,
                                                       int overflow) TBLX_NOEXCEPT;

/**
 * Fits the printed lines to a width, where the numbers leave room for it.
 *
 * With width nonzero, text (string) columns give up width first, the widest
 * first: all that are wider are cut to one width, the widest that lets the
 * lines fit, but none below the smaller of its natural width and a floor:
 * its title's width, at least 6, or its minimum width if larger. Each then
 * cuts or wraps as tblx_setcolumn_maxwidth() says (cuts by default), titles
 * and summary texts included. When even the floors do not fit, the columns
 * from the right that do not are left out (the first column always stays)
 * and a print that writes the rows ends with a line "… N more columns:
 * title, title" naming them, itself cut to the width. Numbers and number
 * columns are never cut, so a table of wide numbers may stay wider than
 * width. The separators count; the raw style ignores the limit. Callable in
 * any phase; the next print measures again. Added in 0.7.
 *
 * @param table the table
 * @param width widest line in columns (bytes in TBLX_WIDTH_BYTES mode), or
 *              0, the default: no limit
 * @return TBLX_OK, TBLX_ERR_INVALID_ARGUMENT (NULL or busy table: nothing
 *         changes)
 */
TBLX_API tblx_status TBLX_CALL tblx_setmaxwidth(tblx_table* table,
                                                unsigned int width) TBLX_NOEXCEPT;

/* ---- byte search ------------------------------------------------------------ */

/**
 * Finds the last occurrence of a byte, like memchr() from the end.
 *
 * @param s the bytes
 * @param c the byte, as (unsigned char)c
 * @param n how many bytes of s to search
 * @return the last of the first n bytes equal to c, or NULL
 */
TBLX_API void* TBLX_CALL tblx_memrchr__(const void* s, int c, size_t n) TBLX_NOEXCEPT;

/* ---- printing --------------------------------------------------------------- */

/**
 * Writes the selected sections of the table to a stream and flushes it.
 * Nothing is written on a refusal.
 *
 * Every text the setters accepted prints whole, however long. A stream that
 * fails gives TBLX_ERR_OUTPUT once the print has run: a write that fell
 * short, a flush that failed, or the stream's error indicator set after the
 * final flush, whether by this print, by a title callback's writes or before
 * the print (clearerr() resets it). What reached the stream stays there, the
 * table is unchanged and may be printed again.
 *
 * @param table  the table
 * @param flags  TBLX_PRINT_* bits
 * @param stream the stream; it stays the caller's
 * @return TBLX_OK, TBLX_ERR_INVALID_ARGUMENT (NULL stream or table, or a
 *         table already being printed: a title callback printing its own
 *         table), TBLX_ERR_NO_HEADER, TBLX_ERR_ROW_OPEN, TBLX_ERR_NO_MEMORY,
 *         TBLX_ERR_OUTPUT (the stream failed)
 */
TBLX_API tblx_status TBLX_CALL tblx_print(tblx_table* table, unsigned int flags,
                                          FILE* stream) TBLX_NOEXCEPT;

/**
 * Writes every section: tblx_print() with TBLX_PRINT_ALL.
 *
 * @param table  the table
 * @param stream the stream
 * @return as tblx_print()
 */
TBLX_API tblx_status TBLX_CALL tblx_print_all(tblx_table* table, FILE* stream) TBLX_NOEXCEPT;

/**
 * Writes every section whose bit is not in flags: tblx_print() with the
 * other bits.
 *
 * @param table  the table
 * @param flags  TBLX_PRINT_* bits of the sections to leave out
 * @param stream the stream
 * @return as tblx_print()
 */
TBLX_API tblx_status TBLX_CALL tblx_print_except(tblx_table* table, unsigned int flags,
                                                 FILE* stream) TBLX_NOEXCEPT;

/**
 * Writes the selected sections of the table through a writer function: as
 * tblx_print(), with the bytes handed to write(context, data, size) instead
 * of a stream. No lock is taken and nothing is flushed. A writer that gives
 * nonzero stops the print: it is not called again, and the print gives
 * TBLX_ERR_OUTPUT. Added in 0.7.
 *
 * @param table   the table
 * @param flags   TBLX_PRINT_* bits
 * @param write   the writer
 * @param context handed to every call of write
 * @return TBLX_OK, TBLX_ERR_INVALID_ARGUMENT (NULL writer or table, or a
 *         table already being printed), TBLX_ERR_NO_HEADER, TBLX_ERR_ROW_OPEN,
 *         TBLX_ERR_NO_MEMORY, TBLX_ERR_OUTPUT (the writer failed)
 */
TBLX_API tblx_status TBLX_CALL tblx_print_to(tblx_table* table, unsigned int flags,
                                             tblx_writer write, void* context) TBLX_NOEXCEPT;

/**
 * Streams the table: writes the rows added since the last flush and frees
 * them, so that memory holds only the rows not yet written. Added in 0.7.
 *
 * The first flush measures the rows present (with the titles, minimum widths
 * and width settings, as a print would), writes the selected title sections
 * and the rows, and freezes the layout. Each later flush writes only the rows
 * added since, in the frozen widths: a text wider than its column, justified
 * left or centred, is cut to it with "…" ("..." in TBLX_WIDTH_BYTES mode), or
 * wrapped when the table is multi-line and the column wraps; a number, and a
 * text justified right or on a character (a number written as text), is
 * written whole and pushes the rest of its line. Only TBLX_PRINT_TITLES,
 * TBLX_PRINT_TITLE_RULE (first flush only) and TBLX_PRINT_ROWS count in
 * sections; tblx_getrowcount() counts the flushed rows too.
 *
 * Sums and the row count keep counting every row ever added: a later
 * tblx_print() of the frozen table writes the rows still held in the frozen
 * widths and the summary of all rows (for example with TBLX_PRINT_SUM_RULE |
 * TBLX_PRINT_SUM). Every format streams: CSV, TSV and JSON Lines write rows;
 * Markdown writes its header lines once; HTML and JSON open their table or
 * array with the first flush and close it with that later print. While frozen,
 * tblx_sort() gives TBLX_ERR_INVALID_ARGUMENT; tblx_removerows() and
 * tblx_clean() end the freeze. A table never flushed prints as before.
 *
 * A stream that fails gives TBLX_ERR_OUTPUT; the rows are then kept, to be
 * written by the next flush (the layout stays frozen).
 *
 * @param table    the table
 * @param sections TBLX_PRINT_* bits (titles, title rule, rows)
 * @param stream   the stream; it stays the caller's
 * @return TBLX_OK, TBLX_ERR_INVALID_ARGUMENT (NULL stream or table, or a
 *         table being printed), TBLX_ERR_NO_HEADER, TBLX_ERR_ROW_OPEN,
 *         TBLX_ERR_NO_MEMORY (nothing written, the table as it was),
 *         TBLX_ERR_OUTPUT (the stream failed)
 */
TBLX_API tblx_status TBLX_CALL tblx_flushrows(tblx_table* table, unsigned int sections,
                                              FILE* stream) TBLX_NOEXCEPT;

/**
 * tblx_flushrows() through a writer function, as tblx_print_to() is
 * tblx_print() through one. Added in 0.7.
 *
 * @param table    the table
 * @param sections TBLX_PRINT_* bits (titles, title rule, rows)
 * @param write    the writer
 * @param context  handed to every call of write
 * @return as tblx_flushrows(), TBLX_ERR_INVALID_ARGUMENT for a NULL writer
 */
TBLX_API tblx_status TBLX_CALL tblx_flushrows_to(tblx_table* table, unsigned int sections,
                                                 tblx_writer write, void* context) TBLX_NOEXCEPT;

#ifdef __cplusplus
}
#endif

#endif /* TABULIX_H */
