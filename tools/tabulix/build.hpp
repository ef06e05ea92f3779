// SPDX-License-Identifier: MIT
// Turning the plan and the stored records into a library table, in order and
// ready to print.
#ifndef TABULIX_TOOL_BUILD_HPP
#define TABULIX_TOOL_BUILD_HPP

#include <tabulix.hpp>

#include "load.hpp"
#include "plan.hpp"

namespace tabulix::cli {

// Builds the table, its rows in sorted order when the plan sorts. The
// records' store is emptied on the way. Throws std::system_error when the
// library refuses a call.
tabulix::table build_table(const table_plan& plan, dataset& data);

}  // namespace tabulix::cli

#endif
