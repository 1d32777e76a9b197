// The form engine: the program's window definitions, the live windows made from them, the
// handler table, and the delivery of numbered events to bound handlers.
#pragma once

#include <QObject>
#include <map>
#include <memory>
#include <vector>

#include "runtime/window_runtime.h"

namespace nvx {

class FormWindow;
class Unit;

class FormEngine : public QObject {
  Q_OBJECT

 public:
  static FormEngine& Instance();

  void SetForms(std::span<const WindowDef> windows);
  const WindowDef* Definition(WindowId id) const;
  // Window `id` gets `menu` in place of its form's from its next load on; until the next SetForms.
  void SetMenu(WindowId id, std::span<const MenuItemDef> menu);

  void Bind(HandlerRef ref, Handler handler);
  void ClearHandlers();
  bool HasHandler(HandlerRef ref) const;

  // The live window, or nullptr when it is not loaded.
  FormWindow* Window(WindowId id) const;
  // The live window, or the run-time error report with `message` when it is not loaded.
  FormWindow& RequireWindow(WindowId id, const char* message);
  std::vector<FormWindow*> LiveWindows() const;

  // Creates and shows the window. A modal one runs its own event loop and returns only once the
  // window has been destroyed.
  bool Load(WindowId id, std::optional<WindowId> parent, bool modal);
  // Marks the window as closing and destroys it once the current handler has returned.
  void ScheduleDestroy(WindowId id);
  // Destroys the window (and the windows it owns) now.
  void DestroyNow(WindowId id);

  // Runs the handler bound to `ref`, if any. Returns whether one ran; its result goes to `result`.
  bool Run(HandlerRef ref, const EventArgs& args, HandlerResult* result = nullptr);
  // Runs what choosing menu item `item` runs: its command, or else its handler.
  void RunMenuItem(const MenuItemDef& item);
  // Whether a handler is running: one whose message box, progress dialog or modal window has
  // the event loop running inside it counts too.
  bool HandlerRunning() const { return running_ > 0; }
  // Delivers event `event` of `unit` in `window` to its binding.
  bool Deliver(FormWindow& window, UnitId unit, int event, const EventArgs& args,
               HandlerResult* result = nullptr);

 signals:
  // The window `id` is gone: no longer among the live windows.
  void WindowDestroyed(nvx::WindowId id);

 private:
  struct DeleteLater {
    void operator()(FormWindow* w) const;
  };

  std::span<const WindowDef> forms_;
  std::map<WindowId, std::span<const MenuItemDef>> menus_;
  std::vector<Handler> handlers_;
  int running_ = 0;
  std::map<WindowId, std::unique_ptr<FormWindow, DeleteLater>> live_;
};

// The event arguments of a mouse event: x, y in the unit's client coordinates and the key state
// (bit 0 Ctrl, bit 1 Shift, bit 2 Alt).
EventArgs MouseArgs(int x, int y, Qt::KeyboardModifiers modifiers);
int KeyState(Qt::KeyboardModifiers modifiers);
// The virtual-key code the program's key handlers expect for a Qt key (13 Enter, 46 Delete,
// 8 Backspace, 'A' 65 ...); 0 when there is none.
int VirtualKey(int qtKey);

}  // namespace nvx
