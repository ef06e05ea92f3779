// SPDX-License-Identifier: MIT
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

// Builds and sorts the table. Throws data_error when a sum does not fit in
// 64 bits, and std::system_error when the library refuses a call.
tabulix::table build_table(const table_plan& plan, const dataset& data);

}  // namespace tabulix::cli

#endif
