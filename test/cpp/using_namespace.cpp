// SPDX-License-Identifier: MIT
// Compiled only: a program that says `using namespace tabulix;` names the C++
// layer's types unqualified, beside names of its own. No name of the C header
// may clash with them (its records were once struct column, row and cell).
#include "tabulix.hpp"

namespace app {
struct row {
  int number;
};
struct cell {
  int number;
};
}  // namespace app

using namespace tabulix;
using namespace app;

int tabulix_using_namespace_check() {
  const column unused{};
  static_cast<void>(unused);
  const row r{1};
  const cell c{2};
  return r.number + c.number;
}
