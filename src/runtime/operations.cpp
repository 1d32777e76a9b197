// The operations the editor's logic calls on its windows and controls, and property access.
#include <QApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTreeView>

#include "runtime/form_engine.h"
#include "runtime/form_window.h"
#include "runtime/interaction.h"
#include "runtime/list_rows_model.h"
#include "runtime/qt_text.h"
#include "runtime/runtime_error.h"
#include "runtime/unit_types.h"

namespace nvx {
namespace {

constexpr const char* kNoSuchUnit = "指定窗口或窗口组件不存在或尚未载入";
constexpr const char* kWindowNotLoaded = "未载入欲访问窗口组件所在的窗口";
constexpr const char* kUnitNotLoaded = "指定窗口尚未载入";

FormEngine& Engine() { return FormEngine::Instance(); }

Unit& RequireUnit(UnitRef ref, const char* message = kNoSuchUnit) {
  FormWindow& w = Engine().RequireWindow(ref.window, message);
  Unit* u = w.FindUnit(ref.unit);
  if (u == nullptr) ReportRuntimeError(L(message));
  return *u;
}

// The unit of an operation, which must be of the operation's type.
template <typename T>
T& RequireTyped(UnitRef ref) {
  auto* typed = dynamic_cast<T*>(&RequireUnit(ref));
  if (typed == nullptr) ReportRuntimeError(L(kNoSuchUnit));
  return *typed;
}

bool IsMenuItem(const FormWindow& w, UnitId unit) { return w.MenuIndex(unit) >= 0; }

PropertyValue WindowProperty(FormWindow& w, int index) {
  const QRect r = w.OuterRect();
  switch (index) {
    case prop::kLeft: return r.left();
    case prop::kTop: return r.top();
    case prop::kWidth: return r.width();
    case prop::kHeight: return r.height();
    case prop::kTag: return w.Tag();
    case prop::kVisible: return static_cast<std::int32_t>(!w.isHidden());
    case prop::kDisabled: return static_cast<std::int32_t>(!w.isEnabled());
    case prop::kTitle: return FromQString(w.Title());
    default: return std::int32_t{0};
  }
}

void SetWindowProperty(FormWindow& w, int index, const PropertyValue& value) {
  if (index == prop::kTitle) {
    w.SetTitle(ToQString(TextOf(value)));
    return;
  }
  if (index == prop::kTag) {
    w.SetTag(TextOf(value));
    return;
  }
  QRect r = w.OuterRect();
  if (ApplyCommonProperty(w, r, index, NumberOf(value))) w.SetOuterRect(r);
}

PropertyValue MenuProperty(FormWindow& w, UnitId unit, int index) {
  const int i = w.MenuIndex(unit);
  const QAction* a = w.MenuAction(i);
  const auto& def = w.Def().menu[static_cast<std::size_t>(i)];
  switch (index) {
    case prop::menu::kCaption: return a ? FromQString(a->text()) : L(def.caption);
    case prop::menu::kTicked:
      return static_cast<std::int32_t>(a ? a->isChecked() : (def.flags & kMenuTicked) != 0);
    case prop::menu::kDisabled:
      return static_cast<std::int32_t>(a ? !a->isEnabled() : (def.flags & kMenuDisabled) != 0);
    case prop::menu::kVisible:
      return static_cast<std::int32_t>(a ? a->isVisible() : !(def.flags & kMenuHidden));
    default: return std::int32_t{0};
  }
}

void SetMenuProperty(FormWindow& w, UnitId unit, int index, const PropertyValue& value) {
  QAction* a = w.MenuAction(w.MenuIndex(unit));
  if (a == nullptr) return;
  switch (index) {
    case prop::menu::kCaption: a->setText(ToQString(TextOf(value))); return;
    case prop::menu::kTicked:
      a->setCheckable(true);
      a->setChecked(NumberOf(value) != 0);
      return;
    case prop::menu::kDisabled: a->setEnabled(NumberOf(value) == 0); return;
    case prop::menu::kVisible: a->setVisible(NumberOf(value) != 0); return;
    default: return;
  }
}

}  // namespace

void BindHandler(HandlerRef ref, Handler handler) { Engine().Bind(ref, std::move(handler)); }

void BindHandler(HandlerRef ref, void (*handler)()) {
  Engine().Bind(ref, [handler](const EventArgs&) -> HandlerResult {
    handler();
    return std::nullopt;
  });
}

void ClearHandlers() { Engine().ClearHandlers(); }

bool HandlerBound(HandlerRef ref) { return Engine().HasHandler(ref); }

void InitialiseForms(std::span<const WindowDef> windows) { Engine().SetForms(windows); }

void SetWindowMenu(WindowId window, std::span<const MenuItemDef> menu) { Engine().SetMenu(window, menu); }

void LoadStartWindow(WindowId startWindow) {
  QApplication::setQuitOnLastWindowClosed(false);
  if (!LoadWindow(startWindow)) ReportRuntimeError(L("载入启动窗口失败"));
}

void RunMessageLoop() {
  if (Engine().LiveWindows().empty()) return;
  QApplication::exec();
}

PropertyValue GetProperty(UnitRef ref, int index) {
  FormWindow& w = Engine().RequireWindow(ref.window, kWindowNotLoaded);
  if (ref.unit == w.Def().unit) return WindowProperty(w, index);
  if (IsMenuItem(w, ref.unit)) return MenuProperty(w, ref.unit, index);
  return RequireUnit(ref, kUnitNotLoaded).Property(index);
}

void SetProperty(UnitRef ref, int index, const PropertyValue& value) {
  FormWindow& w = Engine().RequireWindow(ref.window, kWindowNotLoaded);
  if (ref.unit == w.Def().unit) return SetWindowProperty(w, index, value);
  if (IsMenuItem(w, ref.unit)) return SetMenuProperty(w, ref.unit, index, value);
  RequireUnit(ref, kUnitNotLoaded).SetProperty(index, value);
}

std::int32_t GetInt(UnitRef ref, int index) { return NumberOf(GetProperty(ref, index)); }

Text GetText(UnitRef ref, int index) { return TextOf(GetProperty(ref, index)); }

bool LoadWindow(WindowId window, std::optional<WindowId> parent, bool modal) {
  return Engine().Load(window, parent, modal);
}

bool IsCreated(WindowId window) { return Engine().Window(window) != nullptr; }

bool IsCreated(UnitRef ref) {
  FormWindow* w = Engine().Window(ref.window);
  if (w == nullptr) return false;
  return ref.unit == w->Def().unit || w->FindUnit(ref.unit) != nullptr || IsMenuItem(*w, ref.unit);
}

void Destroy(WindowId window) {
  Engine().RequireWindow(window, kNoSuchUnit);
  Engine().ScheduleDestroy(window);
}

void Focus(UnitRef ref) {
  FormWindow& w = Engine().RequireWindow(ref.window, kNoSuchUnit);
  if (ref.unit == w.Def().unit) {
    // Focusing a window activates it and gives the focus back to the control that had it last,
    // as a dialog does, so typing goes on where it was.
    w.activateWindow();
    QWidget* last = w.focusWidget();
    if (last && w.isAncestorOf(last)) {
      last->setFocus();
    } else {
      w.setFocus();
    }
    return;
  }
  if (QWidget* widget = RequireUnit(ref).Widget()) widget->setFocus();
}

// A given left or top moves that edge and keeps the size; a given width or height other than -1
// sets it. Nothing happens when the rectangle stays the same.
void Move(UnitRef ref, std::optional<int> left, std::optional<int> top, std::optional<int> width,
          std::optional<int> height) {
  FormWindow& w = Engine().RequireWindow(ref.window, kNoSuchUnit);
  const bool isWindow = ref.unit == w.Def().unit;
  QWidget* widget = isWindow ? &w : RequireUnit(ref).Widget();
  if (widget == nullptr) return;
  const QRect old = isWindow ? w.OuterRect() : widget->geometry();
  QRect r = old;
  if (left) r.moveLeft(*left);
  if (top) r.moveTop(*top);
  if (width && *width != -1) r.setWidth(std::max(0, *width));
  if (height && *height != -1) r.setHeight(std::max(0, *height));
  if (r == old) return;
  if (isWindow) {
    w.SetOuterRect(r);
  } else {
    widget->setGeometry(r);
  }
}

void PopupMenu(WindowId window, UnitId menu, std::optional<int> x, std::optional<int> y) {
  FormWindow& w = Engine().RequireWindow(window, kNoSuchUnit);
  if (w.MenuIndex(menu) < 0) ReportRuntimeError(L(kNoSuchUnit));
  std::unique_ptr<QMenu> popup = w.BuildPopup(menu);
  if (popup->actions().isEmpty()) return;
  const QPoint at = x && y ? QPoint(*x, *y) : QCursor::pos() + QPoint(3, 3);
  QAction* chosen = CurrentInteraction().ShowPopupMenu(*popup, at);
  const int command = chosen ? chosen->data().toInt() : 0;
  popup.reset();
  if (command < kMenuCommandBase || Engine().Window(window) != &w) return;
  const auto& records = w.Def().menu;
  const auto index = static_cast<std::size_t>(command - kMenuCommandBase);
  if (index < records.size()) Engine().RunMenuItem(records[index]);
}

void SetParentWindow(WindowId window, WindowId parent) {
  FormWindow& w = Engine().RequireWindow(window, kNoSuchUnit);
  FormWindow* p = Engine().Window(parent);
  if (p == nullptr || p == &w) return;
  w.EmbedInto(*p);
}

// One saved cursor: nested SetWaitCursor calls keep the first.
namespace {
bool waitCursorShown = false;
}

void SetWaitCursor() {
  if (waitCursorShown) return;
  QGuiApplication::setOverrideCursor(Qt::WaitCursor);
  waitCursorShown = true;
}

void RestoreCursor() {
  if (waitCursorShown) {
    QGuiApplication::restoreOverrideCursor();
    waitCursorShown = false;
  }
  QCursor::setPos(QCursor::pos());
}

std::int32_t TextPositions(const Text& text) { return static_cast<std::int32_t>(ToQString(text).size()); }

namespace CommonDlg {
bool Open(UnitRef dialog) { return RequireTyped<CommonDlgUnit>(dialog).Open(); }
}  // namespace CommonDlg

namespace StatusBar {
void SetPartText(UnitRef bar, int part, const Text& text) {
  RequireTyped<StatusBarUnit>(bar).SetPartText(part, text);
}
}  // namespace StatusBar

namespace ListView {

std::int32_t InsertItem(UnitRef list) {
  ListViewUnit& unit = RequireTyped<ListViewUnit>(list);
  unit.ReadThrough(-1);
  ListRowsModel& rows = unit.Rows();
  Utf8Rows blank;
  blank.columns = std::max(rows.Columns(), 1);
  for (int c = 0; c < blank.columns; ++c) blank.Add({});
  return rows.Append(blank);
}

namespace {

// The list unit, with every row up to `row` read when it is still filling.
ListViewUnit& ListThrough(UnitRef list, int row) {
  ListViewUnit& unit = RequireTyped<ListViewUnit>(list);
  if (unit.Filling() && row >= unit.Rows().Rows()) unit.ReadThrough(row);
  return unit;
}

}  // namespace

void SetItemText(UnitRef list, int row, int column, const Text& text) {
  ListThrough(list, row).SetText(row, column, ToUtf8Lossy(text));
}

Text GetItemText(UnitRef list, int row, int column) {
  return FromUtf8Lossy(ListThrough(list, row).Rows().Cell(row, column));
}

std::optional<std::int64_t> ItemKey(UnitRef list, int row) { return ListThrough(list, row).Rows().Key(row); }

std::int32_t ItemCount(UnitRef list) {
  ListViewUnit& unit = RequireTyped<ListViewUnit>(list);
  unit.ReadThrough(-1);
  return unit.Rows().Rows();
}

void DeleteAllItems(UnitRef list) { RequireTyped<ListViewUnit>(list).Clear(); }

void DeselectItem(UnitRef list, int row) {
  ListViewUnit& unit = ListThrough(list, row);
  if (row < 0 || row >= unit.Rows().Rows()) return;
  unit.Tree()->selectionModel()->select(unit.Rows().index(row, 0),
                                        QItemSelectionModel::Deselect | QItemSelectionModel::Rows);
}

}  // namespace ListView

namespace RichEdit {

std::int32_t LineCount(UnitRef box) { return RequireTyped<RichEditUnit>(box).LineCount(); }

std::int32_t FirstVisibleLine(UnitRef box) { return RequireTyped<RichEditUnit>(box).FirstVisibleLine(); }

bool SetCharFormat(UnitRef box, const CharFormat& format) {
  return RequireTyped<RichEditUnit>(box).SetCharFormat(format);
}

std::int32_t FindText(UnitRef box, std::int32_t start, bool matchCase, bool wholeWord, const Text& text) {
  return RequireTyped<RichEditUnit>(box).FindText(start, matchCase, wholeWord, ToQString(text));
}

std::int32_t FindTextBackward(UnitRef box, std::int32_t start, bool matchCase, const Text& text) {
  return RequireTyped<RichEditUnit>(box).FindTextBackward(start, matchCase, ToQString(text));
}

void Copy(UnitRef box) { RequireTyped<RichEditUnit>(box).Edit()->copy(); }
void Cut(UnitRef box) { RequireTyped<RichEditUnit>(box).Edit()->cut(); }
void Paste(UnitRef box) { RequireTyped<RichEditUnit>(box).Edit()->paste(); }

void DeleteSelection(UnitRef box) {
  QPlainTextEdit* edit = RequireTyped<RichEditUnit>(box).Edit();
  QTextCursor c = edit->textCursor();
  c.removeSelectedText();
  edit->setTextCursor(c);
}

}  // namespace RichEdit

}  // namespace nvx
