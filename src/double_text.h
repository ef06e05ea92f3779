// SPDX-License-Identifier: MIT
// The text of a double and the grouping of digits: what a cell of a double
// column shows, for any writer of a table (aligned text or otherwise).
#ifndef TABULIX_DOUBLE_TEXT_H
#define TABULIX_DOUBLE_TEXT_H

#include <cstddef>
#include <cstdint>

// Bytes that write_double may use: a sign, the 309 integer digits of the
// largest double, a point and 17 decimals, and 8 bytes that the digit
// writers may overwrite past the end.
constexpr size_t double_text_room = 1 + 309 + 1 + 17 + 8;

// Precision of a double column that asks for the shortest text.
constexpr int shortest_precision = -1;

// Writes the text of value at out (double_text_room bytes) and gives its
// length; no NUL. With a precision of 0 to 17, that many decimals, correctly
// rounded (ties to even, as printf in the C locale); with
// shortest_precision, the fewest digits that read back as the same double,
// written plainly from 1e-5 up to 1e16 and with an exponent (1.5e+20)
// outside. Always '.' as the point. NaN is "nan", the infinities "inf" and
// "-inf", and -0 keeps its sign.
uint32_t write_double(char* out, double value, int precision) noexcept;

// Separates the integer digits of a number's text in groups of `every`
// (3, or 4 for hex), counted from the right: the run of digits that starts
// at text[from]. The text must have room for the separators after len;
// gives the new length.
uint32_t group_digits(char* text, uint32_t len, uint32_t from, char separator,
                      uint32_t every) noexcept;

// The separators a column may group its digits with (besides 0 for none).
bool valid_group_separator(int separator) noexcept;

#endif  // TABULIX_DOUBLE_TEXT_H
