// A live window made from its form definition: a top-level widget with the menu bar and a client
// area that holds the controls at their design positions. A window can also sit inside another
// window's client area (SetParentWindow), framed, with a title strip and a close box of its own.
#pragma once

#include <QFrame>
#include <QPointer>
#include <map>
#include <memory>
#include <vector>

#include "runtime/window_runtime.h"

class QAction;
class QLabel;
class QMenu;
class QMenuBar;
class QMimeData;

namespace nvx {

class Unit;

class FormWindow : public QFrame {
  Q_OBJECT
  Q_PROPERTY(int dragStarts READ DragStarts)

 public:
  FormWindow(const WindowDef& def, QWidget* owner);
  ~FormWindow() override;

  const WindowDef& Def() const { return def_; }
  WindowId Id() const { return def_.id; }
  QWidget* Client() const { return client_; }

  // Creates the menu bar and the controls, docks, shows what is visible. False when a control
  // could not be made.
  bool Build();

  Unit* FindUnit(UnitId id) const;
  std::vector<Unit*> Units() const;

  bool Closing() const { return closing_; }
  void SetClosing(bool closing) { closing_ = closing; }
  void SetCreating(bool creating) { creating_ = creating; }

  // The window's outer rectangle: on the screen for a top-level window, in the parent's client
  // area for one placed inside another window.
  QRect OuterRect() const;
  void SetOuterRect(const QRect& r);

  // Places the window inside `parent`'s client area, framed, with a title strip and close box.
  void EmbedInto(FormWindow& parent);
  bool Embedded() const { return embeddedIn_ != 0; }
  WindowId EmbeddedIn() const { return embeddedIn_; }
  WindowId Owner() const { return owner_; }
  void SetOwner(WindowId owner) { owner_ = owner; }

  QString Title() const;
  void SetTitle(const QString& title);

  // Menu records: the action of command `index` (its record's place in the menu), and a pop-up
  // built from the sub-items of entry `entry`.
  QAction* MenuAction(int index) const;
  std::unique_ptr<QMenu> BuildPopup(UnitId entry);
  int MenuIndex(UnitId item) const;

  // Docks the status bar along the client area's edge, across its width.
  void Redock();

  // How often a press on the client area started moving the window (for tests and diagnostics).
  int DragStarts() const { return dragStarts_; }

  // The windows this one disabled when it was loaded modally.
  std::vector<QPointer<QWidget>>& DisabledByModal() { return disabledByModal_; }

  void SetTag(const Text& tag) { tag_ = tag; }
  const Text& Tag() const { return tag_; }

 protected:
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  bool event(QEvent* event) override;
  void changeEvent(QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  // Stacks overlapping controls with the first of the form's table on top.
  void StackControls();
  // Wires what the window does for its controls beyond their own units: drag handles, list rows
  // that report the row under the mouse, a content box that shows its selection unfocused.
  void WireControls();
  bool PressEnter();
  void RaiseWindowEvent(int event);
  // The window's own common events (mouse and wheel on its client area, keys and focus reaching
  // the window); true when a handler withheld the input.
  bool RaiseCommon(QObject* watched, QEvent* event);
  void BuildMenu();
  void AddMenuItems(QMenu* into, int first, int end, bool popup);
  void MenuTriggered(QAction* action);
  void StartDrag(QMouseEvent* event);
  // Files dragged over the window: taken when a drop handler is set for it, wherever they land.
  bool TakesDroppedFiles(const QMimeData* data) const;
  bool HandleFileDrag(QEvent* event);

  const WindowDef def_;  // a copy: the menu may be the program's, not the form's
  QWidget* client_ = nullptr;
  QMenuBar* menuBar_ = nullptr;
  QWidget* titleStrip_ = nullptr;
  QLabel* titleLabel_ = nullptr;
  std::vector<QAction*> menuActions_;  // by record index; nullptr for level-0 titles
  std::map<UnitId, std::unique_ptr<Unit>> units_;
  std::vector<Unit*> order_;
  bool closing_ = false;
  bool creating_ = true;
  WindowId embeddedIn_ = 0;
  WindowId owner_ = 0;
  int dragStarts_ = 0;
  QPoint dragOffset_;
  bool dragging_ = false;
  bool activatedOnce_ = false;
  std::vector<QWidget*> dragHandles_;  // labels and group boxes that move the window
  Text tag_;
  std::vector<QPointer<QWidget>> disabledByModal_;
};

}  // namespace nvx
