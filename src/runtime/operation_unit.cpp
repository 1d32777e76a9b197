#include "runtime/operation_unit.h"

#include "runtime/form_engine.h"
#include "runtime/form_window.h"
#include "runtime/qt_text.h"
#include "runtime/runtime_error.h"

namespace nvx {

Unit* FindOperationUnit(UnitRef ref) {
  FormWindow* window = FormEngine::Instance().Window(ref.window);
  return window != nullptr ? window->FindUnit(ref.unit) : nullptr;
}

void ReportNoSuchUnit() { ReportRuntimeError(L("指定窗口或窗口组件不存在或尚未载入")); }

}  // namespace nvx
