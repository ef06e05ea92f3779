// Turning the plan and the loaded records into a library table, sorted and
// ready to print.
#ifndef TABULIX_TOOL_BUILD_HPP
#define TABULIX_TOOL_BUILD_HPP

#include <string>
#include <string_view>

#include <tabulix.hpp>

#include "load.hpp"
#include "plan.hpp"

namespace tabulix::cli {

// The text as it can stand in one table line: control characters become
// \n, \r, \t or \xHH. Gives `text` itself when there is nothing to change,
// else the text of `buffer`.
const char* printable(const char* text, std::string& buffer);

// Builds and sorts the table. Throws data_error when a sum does not fit in
// 64 bits, and std::system_error when the library refuses a call.
tabulix::table build_table(const table_plan& plan, const dataset& data);

}  // namespace tabulix::cli

#endif
