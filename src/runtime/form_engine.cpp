#include "runtime/form_engine.h"

#include <QApplication>
#include <QCoreApplication>
#include <QEventLoop>
#include <QScreen>

#include "base/codepage.h"
#include "runtime/form_window.h"
#include "runtime/runtime_error.h"
#include "runtime/units.h"

namespace nvx {

FormEngine& FormEngine::Instance() {
  static FormEngine engine;
  return engine;
}

void FormEngine::DeleteLater::operator()(FormWindow* w) const {
  if (w != nullptr) w->deleteLater();
}

void FormEngine::SetForms(std::span<const WindowDef> windows) {
  forms_ = windows;
  menus_.clear();
}

void FormEngine::SetMenu(WindowId id, std::span<const MenuItemDef> menu) { menus_[id] = menu; }

const WindowDef* FormEngine::Definition(WindowId id) const {
  for (const auto& def : forms_)
    if (def.id == id) return &def;
  return nullptr;
}

void FormEngine::Bind(HandlerRef ref, Handler handler) {
  if (ref < 0) return;
  if (handlers_.size() <= static_cast<std::size_t>(ref)) handlers_.resize(static_cast<std::size_t>(ref) + 1);
  handlers_[static_cast<std::size_t>(ref)] = std::move(handler);
}

void FormEngine::ClearHandlers() { handlers_.clear(); }

bool FormEngine::HasHandler(HandlerRef ref) const {
  return ref >= 0 && static_cast<std::size_t>(ref) < handlers_.size() &&
         handlers_[static_cast<std::size_t>(ref)];
}

FormWindow* FormEngine::Window(WindowId id) const {
  const auto it = live_.find(id);
  return it == live_.end() ? nullptr : it->second.get();
}

FormWindow& FormEngine::RequireWindow(WindowId id, const char* message) {
  FormWindow* w = Window(id);
  if (w == nullptr) ReportRuntimeError(L(message));
  return *w;
}

std::vector<FormWindow*> FormEngine::LiveWindows() const {
  std::vector<FormWindow*> all;
  for (const auto& [id, w] : live_) all.push_back(w.get());
  return all;
}

namespace {

// Counts a handler as running for as long as it lives.
class RunningHandler {
 public:
  explicit RunningHandler(int& running) : running_(running) { ++running_; }
  ~RunningHandler() { --running_; }
  RunningHandler(const RunningHandler&) = delete;
  RunningHandler& operator=(const RunningHandler&) = delete;

 private:
  int& running_;
};

}  // namespace

bool FormEngine::Run(HandlerRef ref, const EventArgs& args, HandlerResult* result) {
  if (!HasHandler(ref) || RuntimeErrorShowing()) return false;
  // A copy: the handler may bind or clear handlers while it runs.
  const Handler handler = handlers_[static_cast<std::size_t>(ref)];
  const RunningHandler running(running_);
  HandlerResult r = handler(args);
  if (result) *result = r;
  return true;
}

void FormEngine::RunMenuItem(const MenuItemDef& item) {
  if (item.command == nullptr) {
    Run(item.handler, {});
  } else if (!RuntimeErrorShowing()) {
    const RunningHandler running(running_);
    item.command();
  }
}

bool FormEngine::Deliver(FormWindow& window, UnitId unit, int event, const EventArgs& args,
                         HandlerResult* result) {
  const WindowDef& def = window.Def();
  std::span<const EventBinding> bindings;
  if (unit == def.unit) {
    bindings = def.events;
  } else if (Unit* u = window.FindUnit(unit)) {
    bindings = u->Def().events;
  } else {
    return false;
  }
  for (const auto& b : bindings)
    if (b.event == event) return Run(b.handler, args, result);
  return false;
}

bool FormEngine::Load(WindowId id, std::optional<WindowId> parent, bool modal) {
  if (FormWindow* existing = Window(id)) {
    if (!existing->Closing()) {
      if (existing->isMinimized()) existing->showNormal();
      existing->activateWindow();
      existing->raise();
      return true;
    }
    DestroyNow(id);
  }
  const WindowDef* def = Definition(id);
  if (def == nullptr) return false;
  FormWindow* owner = nullptr;
  if (parent && !modal) {
    owner = Window(*parent);
    if (owner == nullptr) return false;
  }

  WindowDef made = *def;
  if (const auto menu = menus_.find(id); menu != menus_.end()) made.menu = menu->second;
  std::unique_ptr<FormWindow, DeleteLater> created(new FormWindow(made, owner));
  if (owner) created->SetOwner(owner->Id());
  if (!created->Build()) return false;
  FormWindow* w = created.get();
  live_[id] = std::move(created);

  QWidget* focusBefore = QApplication::focusWidget();
  if (modal) w->setWindowModality(Qt::ApplicationModal);
  w->show();
  if (modal) {
    for (FormWindow* other : LiveWindows()) {
      if (other == w || !other->isEnabled()) continue;
      other->setEnabled(false);
      w->DisabledByModal().emplace_back(other);
    }
  }
  w->SetCreating(false);
  // Each event only while the window still exists: a handler may destroy it at once. The window
  // was shown while it was being created; "shown" follows once it is complete.
  for (int event : {event::kCreated, event::kMoved, event::kResized, event::kShown}) {
    if (Window(id) != w) break;
    if (event == event::kShown && w->isHidden()) break;
    Deliver(*w, def->unit, event, {});
  }
  if (Window(id) != w) return false;
  if (focusBefore && focusBefore->window() == w) focusBefore->setFocus();
  if (modal) {
    // The caller goes on once the user is done with the window, as with a dialog.
    QEventLoop loop;
    connect(this, &FormEngine::WindowDestroyed, &loop, [&loop, id](WindowId gone) {
      if (gone == id) loop.quit();
    });
    if (Window(id) == w) loop.exec(QEventLoop::DialogExec);
  }
  return true;
}

void FormEngine::ScheduleDestroy(WindowId id) {
  FormWindow* w = Window(id);
  if (w == nullptr || w->Closing()) return;
  w->SetClosing(true);
  QPointer<FormWindow> guard(w);
  QMetaObject::invokeMethod(
      this,
      [this, id, guard] {
        if (guard && Window(id) == guard.data() && guard->Closing()) DestroyNow(id);
      },
      Qt::QueuedConnection);
}

void FormEngine::DestroyNow(WindowId id) {
  FormWindow* w = Window(id);
  if (w == nullptr) return;
  // Windows owned by this one, or placed inside it, go first.
  for (FormWindow* other : LiveWindows())
    if (other != w && (other->Owner() == id || other->EmbeddedIn() == id)) DestroyNow(other->Id());
  w = Window(id);
  if (w == nullptr) return;
  w->SetClosing(true);
  Deliver(*w, w->Def().unit, event::kDestroying, {});
  for (auto& disabled : w->DisabledByModal())
    if (disabled) disabled->setEnabled(true);
  w->hide();
  auto node = live_.extract(id);  // deleted later, outside whatever event is being handled
  emit WindowDestroyed(id);
  if (live_.empty()) QCoreApplication::quit();
}

EventArgs MouseArgs(int x, int y, Qt::KeyboardModifiers modifiers) {
  EventArgs a;
  a.values[0] = x;
  a.values[1] = y;
  a.values[2] = KeyState(modifiers);
  a.count = 3;
  return a;
}

int KeyState(Qt::KeyboardModifiers modifiers) {
  int state = 0;
  if (modifiers & Qt::ControlModifier) state |= keystate::kCtrl;
  if (modifiers & Qt::ShiftModifier) state |= keystate::kShift;
  if (modifiers & Qt::AltModifier) state |= keystate::kAlt;
  return state;
}

int VirtualKey(int key) {
  if (key >= Qt::Key_A && key <= Qt::Key_Z) return 'A' + (key - Qt::Key_A);
  if (key >= Qt::Key_0 && key <= Qt::Key_9) return '0' + (key - Qt::Key_0);
  if (key >= Qt::Key_F1 && key <= Qt::Key_F24) return 112 + (key - Qt::Key_F1);
  switch (key) {
    case Qt::Key_Backspace: return key::kBackspace;
    case Qt::Key_Tab:
    case Qt::Key_Backtab: return key::kTab;
    case Qt::Key_Return:
    case Qt::Key_Enter: return key::kEnter;
    case Qt::Key_Shift: return 16;
    case Qt::Key_Control: return 17;
    case Qt::Key_Alt: return 18;
    case Qt::Key_Pause: return 19;
    case Qt::Key_CapsLock: return 20;
    case Qt::Key_Escape: return key::kEscape;
    case Qt::Key_Space: return 32;
    case Qt::Key_PageUp: return 33;
    case Qt::Key_PageDown: return 34;
    case Qt::Key_End: return 35;
    case Qt::Key_Home: return 36;
    case Qt::Key_Left: return 37;
    case Qt::Key_Up: return 38;
    case Qt::Key_Right: return 39;
    case Qt::Key_Down: return 40;
    case Qt::Key_Print: return 44;
    case Qt::Key_Insert: return 45;
    case Qt::Key_Delete: return key::kDelete;
    case Qt::Key_Meta: return 91;
    case Qt::Key_Menu: return 93;
    case Qt::Key_NumLock: return 144;
    case Qt::Key_ScrollLock: return 145;
    case Qt::Key_Semicolon:
    case Qt::Key_Colon: return 186;
    case Qt::Key_Equal:
    case Qt::Key_Plus: return 187;
    case Qt::Key_Comma:
    case Qt::Key_Less: return 188;
    case Qt::Key_Minus:
    case Qt::Key_Underscore: return 189;
    case Qt::Key_Period:
    case Qt::Key_Greater: return 190;
    case Qt::Key_Slash:
    case Qt::Key_Question: return 191;
    case Qt::Key_QuoteLeft:
    case Qt::Key_AsciiTilde: return 192;
    case Qt::Key_BracketLeft:
    case Qt::Key_BraceLeft: return 219;
    case Qt::Key_Backslash:
    case Qt::Key_Bar: return 220;
    case Qt::Key_BracketRight:
    case Qt::Key_BraceRight: return 221;
    case Qt::Key_Apostrophe:
    case Qt::Key_QuoteDbl: return 222;
    default: return 0;
  }
}

}  // namespace nvx
