// The unit a list or rich-edit operation names, found through the form engine.
#pragma once

#include "runtime/units.h"

namespace nvx {

// The unit an operation names, of the operation's type; when its window or the unit is not there,
// or the unit is of another type, the run-time error report ends the program.
Unit* FindOperationUnit(UnitRef ref);
[[noreturn]] void ReportNoSuchUnit();
template <typename T>
T& OperationUnit(UnitRef ref) {
  if (auto* unit = dynamic_cast<T*>(FindOperationUnit(ref))) return *unit;
  ReportNoSuchUnit();
}

}  // namespace nvx
