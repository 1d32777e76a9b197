// A handler as the editor's logic writes one: it sees its windows through the runtime's handler
// header only. Built with NVX_PROBE_WIDGETS it also reaches for a widget, which the libraries a
// handler links must not let it find.
#ifdef NVX_PROBE_WIDGETS
#include <QWidget>
#endif

#include "runtime/window_runtime.h"

namespace nvx::layering {

HandlerResult ProbeHandler(const EventArgs& args) {
#ifdef NVX_PROBE_WIDGETS
  QWidget widget;
  widget.show();
#endif
  return args.count > 0 ? HandlerResult(args[0]) : std::nullopt;
}

}  // namespace nvx::layering
