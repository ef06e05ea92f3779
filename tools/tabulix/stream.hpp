// SPDX-License-Identifier: MIT
// --stream: the table printed while the input is read, in bounded memory.
// The first rows (or those read before the input pauses) give the types and
// the layout, which the library freezes; every later row is printed in it as
// it is read, and the summary line counts them all at the end.
#ifndef TABULIX_TOOL_STREAM_HPP
#define TABULIX_TOOL_STREAM_HPP

#include <cstdio>

#include "options.hpp"
#include "plan.hpp"

namespace tabulix::cli {

// Reads the inputs and prints them to `out` as --stream asks. Throws what loading,
// planning and building a table throw, and std::system_error when the
// output fails. A value that does not fit the type its column got from the
// first rows is shown as text and left out of the figures; their number is
// told on standard error at the end.
void run_stream(const options& opts, const output_place& place, std::FILE* out);

}  // namespace tabulix::cli

#endif
