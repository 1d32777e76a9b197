#include "runtime/form_window.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDropEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>
#include <QWindow>

#include "runtime/form_engine.h"
#include "runtime/qt_text.h"
#include "runtime/unit_types.h"
#include "runtime/units.h"

namespace nvx {
namespace {

Qt::WindowFlags FlagsFor(const WindowProps& p, bool owned) {
  Qt::WindowFlags flags = p.frame == Frame::Fixed ? Qt::Dialog : Qt::Window;
  flags |=
      Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
  if (p.minimizeBox) flags |= Qt::WindowMinimizeButtonHint;
  if (p.maximizeBox) flags |= Qt::WindowMaximizeButtonHint;
  if (p.alwaysOnTop) flags |= Qt::WindowStaysOnTopHint;
  if (!p.inTaskbar && !owned) flags |= Qt::Tool;
  return flags;
}

}  // namespace

FormWindow::FormWindow(const WindowDef& def, QWidget* owner) : QFrame(owner), def_(def) {
  setWindowFlags(FlagsFor(def.props, owner != nullptr));
  setObjectName(QStringLiteral("window_%1").arg(def.id, 8, 16, QChar('0')));
  setWindowTitle(QString::fromUtf8(def.props.title));
  setAttribute(Qt::WA_DeleteOnClose, false);
  // A window placed inside another paints its own background over what lies beneath it.
  setAutoFillBackground(true);
  if (def.props.backColor != kDefaultColor) {
    QPalette pal = palette();
    pal.setColor(QPalette::Window, ToQColor(def.props.backColor, pal.color(QPalette::Window)));
    setPalette(pal);
    setAutoFillBackground(true);
  }

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);

  // The title strip is shown only while the window sits inside another one.
  titleStrip_ = new QWidget(this);
  titleStrip_->setObjectName("titleStrip");
  titleStrip_->setAutoFillBackground(true);
  QPalette stripPalette = titleStrip_->palette();
  stripPalette.setColor(QPalette::Window, stripPalette.color(QPalette::Highlight));
  stripPalette.setColor(QPalette::WindowText, stripPalette.color(QPalette::HighlightedText));
  titleStrip_->setPalette(stripPalette);
  auto* strip = new QHBoxLayout(titleStrip_);
  strip->setContentsMargins(6, 2, 2, 2);
  titleLabel_ = new QLabel(titleStrip_);
  auto* closeBox = new QToolButton(titleStrip_);
  closeBox->setObjectName("closeBox");
  closeBox->setText(QStringLiteral("×"));
  closeBox->setAutoRaise(true);
  connect(closeBox, &QToolButton::clicked, this, &QWidget::close);
  strip->addWidget(titleLabel_, 1);
  strip->addWidget(closeBox);
  titleStrip_->hide();
  titleStrip_->installEventFilter(this);
  titleLabel_->installEventFilter(this);
  layout->addWidget(titleStrip_);

  client_ = new QWidget(this);
  client_->setObjectName("client");
  client_->installEventFilter(this);
  layout->addWidget(client_, 1);
}

FormWindow::~FormWindow() = default;

bool FormWindow::Build() {
  BuildMenu();
  // The design size is the outer size: take off what the platform adds for the frame.
  winId();
  const QSize outer(def_.rect.width, def_.rect.height);
  const QRect frame = frameGeometry();
  const QSize inner(outer.width() - (frame.width() - width()), outer.height() - (frame.height() - height()));
  resize(inner);
  if (def_.props.frame == Frame::Fixed) setFixedSize(inner);
  if (def_.props.centred) {
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    move(screen.left() + (screen.width() - outer.width()) / 2,
         screen.top() + (screen.height() - outer.height()) / 2);
  } else {
    move(def_.rect.left, def_.rect.top);
  }

  // Controls in record order, hidden; group boxes hold the controls that name them as container.
  for (const ControlDef& c : def_.controls) {
    auto unit = MakeUnit(*this, c);
    if (!unit) return false;
    order_.push_back(unit.get());
    units_[c.id] = std::move(unit);
  }
  // Group boxes first: a control may come before the box that holds it.
  std::vector<Unit*> creation;
  for (Unit* u : order_)
    if (u->Def().type == UnitType::GroupBox) creation.push_back(u);
  for (Unit* u : order_)
    if (u->Def().type != UnitType::GroupBox) creation.push_back(u);
  for (Unit* u : creation) {
    QWidget* container = client_;
    if (u->Def().container != 0) {
      Unit* box = FindUnit(u->Def().container);
      if (box == nullptr || box->Widget() == nullptr) return false;
      container = box->Widget();
    }
    if (!u->Create(container)) return false;
  }
  // Tab order follows creation order.
  QWidget* previous = nullptr;
  for (Unit* u : order_) {
    QWidget* w = u->Widget();
    if (w == nullptr || w->focusPolicy() == Qt::NoFocus) continue;
    if (previous) QWidget::setTabOrder(previous, w);
    previous = w;
  }
  StackControls();
  WireControls();
  for (const auto& b : def_.events) {
    if (b.event == event::kMouseMove) client_->setMouseTracking(true);
  }
  Redock();
  for (Unit* u : order_) u->ShowIfVisible();
  return true;
}

// Qt stacks siblings in creation order, the last on top; the forms were laid out for a platform
// that puts the first of the table on top (the save-title button lies over the catalogue).
void FormWindow::StackControls() {
  for (auto it = order_.rbegin(); it != order_.rend(); ++it)
    if (QWidget* w = (*it)->Widget()) w->raise();
}

namespace {

std::map<WindowId, FileDropHandler>& DropHandlers() {
  static std::map<WindowId, FileDropHandler> handlers;
  return handlers;
}

}  // namespace

void SetFileDropHandler(WindowId window, FileDropHandler handler) {
  if (handler) {
    DropHandlers()[window] = std::move(handler);
  } else {
    DropHandlers().erase(window);
  }
}

bool FormWindow::TakesDroppedFiles(const QMimeData* data) const {
  if (data == nullptr || !data->hasUrls() || !DropHandlers().count(Id())) return false;
  for (const QUrl& url : data->urls())
    if (url.isLocalFile()) return true;
  return false;
}

// A drag of files is the window's wherever it is over the window: a text box would otherwise
// take the file's name as text to insert.
bool FormWindow::HandleFileDrag(QEvent* event) {
  switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
      auto* drag = static_cast<QDragMoveEvent*>(event);
      if (!TakesDroppedFiles(drag->mimeData())) return false;
      drag->acceptProposedAction();
      return true;
    }
    case QEvent::Drop: {
      auto* drop = static_cast<QDropEvent*>(event);
      if (!TakesDroppedFiles(drop->mimeData())) return false;
      drop->acceptProposedAction();
      std::vector<Text> paths;
      for (const QUrl& url : drop->mimeData()->urls())
        if (url.isLocalFile()) paths.push_back(FromQString(url.toLocalFile()));
      // The drag's source waits for the drop to return: the handler (which may ask questions
      // and do long work) runs from the message loop afterwards.
      const WindowId window = Id();
      QTimer::singleShot(0, [window, paths] {
        for (const Text& path : paths) {
          const auto found = DropHandlers().find(window);
          if (found == DropHandlers().end()) return;
          const FileDropHandler handler = found->second;
          handler(path);
        }
      });
      return true;
    }
    default: return false;
  }
}

void FormWindow::dragEnterEvent(QDragEnterEvent* event) {
  if (!HandleFileDrag(event)) QFrame::dragEnterEvent(event);
}

void FormWindow::dragMoveEvent(QDragMoveEvent* event) {
  if (!HandleFileDrag(event)) QFrame::dragMoveEvent(event);
}

void FormWindow::dropEvent(QDropEvent* event) {
  if (!HandleFileDrag(event)) QFrame::dropEvent(event);
}

void FormWindow::WireControls() {
  setAcceptDrops(true);
  for (Unit* u : order_) {
    QWidget* w = u->Widget();
    if (w == nullptr) continue;
    // Drags of files over a control reach the window (text boxes take drops on their viewport).
    w->installEventFilter(this);
    if (auto* area = qobject_cast<QAbstractScrollArea*>(w)) area->viewport()->installEventFilter(this);
    switch (u->Def().type) {
      case UnitType::Label:
      case UnitType::GroupBox:
        if (def_.props.dragByClientArea) {
          dragHandles_.push_back(w);
          w->installEventFilter(this);
        }
        break;
      case UnitType::ListView: {
        bool tracks = false;
        for (const auto& b : u->Def().events) tracks = tracks || b.event == event::kHotTracked;
        auto* list = static_cast<ListViewUnit*>(u);
        QTreeView* tree = list->Tree();
        if (!tracks || tree == nullptr) break;
        tree->setMouseTracking(true);
        tree->viewport()->setMouseTracking(true);
        const UnitId id = u->Id();
        connect(tree, &QTreeView::entered, this, [this, id](const QModelIndex& index) {
          EventArgs args;
          args.values[0] = index.row();
          args.count = 1;
          if (!closing_) FormEngine::Instance().Deliver(*this, id, event::kHotTracked, args);
        });
        break;
      }
      case UnitType::RichEdit: {
        // The box shows its selection as plainly when another window has the focus: a match Find
        // selected stays visible while the user goes on typing in the Find window.
        QPalette pal = w->palette();
        for (auto role : {QPalette::Highlight, QPalette::HighlightedText})
          pal.setColor(QPalette::Inactive, role, pal.color(QPalette::Active, role));
        w->setPalette(pal);
        break;
      }
      default: break;
    }
  }
}

Unit* FormWindow::FindUnit(UnitId id) const {
  const auto it = units_.find(id);
  return it == units_.end() ? nullptr : it->second.get();
}

std::vector<Unit*> FormWindow::Units() const { return order_; }

void FormWindow::Redock() {
  for (Unit* u : order_) {
    if (u->Def().type != UnitType::StatusBar || u->Widget() == nullptr) continue;
    const auto& props = std::get<StatusBarProps>(u->Def().props);
    if (props.docking == 2) continue;
    QWidget* bar = u->Widget();
    const int h = std::max(u->Def().rect.height, bar->sizeHint().height());
    const int y = props.docking == 1 ? 0 : client_->height() - h;
    bar->setGeometry(0, y, client_->width(), h);
  }
}

QRect FormWindow::OuterRect() const {
  if (Embedded() || !isWindow()) return geometry();
  return frameGeometry();
}

void FormWindow::SetOuterRect(const QRect& r) {
  if (Embedded() || !isWindow()) {
    if (def_.props.frame == Frame::Fixed) setFixedSize(r.size());
    setGeometry(r);
    return;
  }
  const QRect frame = frameGeometry();
  const QSize margins(frame.width() - width(), frame.height() - height());
  const QSize inner(std::max(0, r.width() - margins.width()), std::max(0, r.height() - margins.height()));
  if (def_.props.frame == Frame::Fixed) setFixedSize(inner);
  resize(inner);
  move(r.topLeft());
}

void FormWindow::EmbedInto(FormWindow& parent) {
  if (embeddedIn_ == parent.Id()) return;
  const QSize outer = OuterRect().size();
  embeddedIn_ = parent.Id();
  setParent(parent.Client(), Qt::Widget);
  setFrameStyle(QFrame::Panel | QFrame::Raised);
  setLineWidth(2);
  titleLabel_->setText(windowTitle());
  titleStrip_->show();
  if (def_.props.frame == Frame::Fixed) setFixedSize(outer);
  resize(outer);
  show();
  raise();
}

QString FormWindow::Title() const { return windowTitle(); }

void FormWindow::SetTitle(const QString& title) {
  setWindowTitle(title);
  titleLabel_->setText(title);
}

void FormWindow::BuildMenu() {
  if (def_.menu.empty()) return;
  menuBar_ = new QMenuBar(this);
  menuBar_->setObjectName("menuBar");
  menuActions_.assign(def_.menu.size(), nullptr);
  const int count = static_cast<int>(def_.menu.size());
  int i = 0;
  while (i < count) {
    const MenuItemDef& entry = def_.menu[static_cast<std::size_t>(i)];
    int end = i + 1;
    while (end < count && def_.menu[static_cast<std::size_t>(end)].level > entry.level) ++end;
    if (entry.level == 0 && !(entry.flags & kMenuHidden)) {
      QMenu* menu = menuBar_->addMenu(QString::fromUtf8(entry.caption));
      menu->setObjectName(QString::fromUtf8(entry.caption));
      menuActions_[static_cast<std::size_t>(i)] = menu->menuAction();
      AddMenuItems(menu, i + 1, end, false);
    }
    i = end;
  }
  connect(menuBar_, &QMenuBar::triggered, this, &FormWindow::MenuTriggered);
  layout()->setMenuBar(menuBar_);
}

// Adds the records [first, end) below one entry to `into`: a separator for "-", a submenu for a
// record followed by deeper ones, an item otherwise. Hidden records, and hidden submenus with all
// their records, are left out. Every action carries its command number (kMenuCommandBase + record index).
void FormWindow::AddMenuItems(QMenu* into, int first, int end, bool popup) {
  int i = first;
  while (i < end) {
    const MenuItemDef& item = def_.menu[static_cast<std::size_t>(i)];
    int next = i + 1;
    while (next < end && def_.menu[static_cast<std::size_t>(next)].level > item.level) ++next;
    if (!(item.flags & kMenuHidden)) {
      QAction* action = nullptr;
      if (std::string_view(item.caption) == "-") {
        action = into->addSeparator();
      } else if (next > i + 1) {
        QMenu* sub = into->addMenu(QString::fromUtf8(item.caption));
        action = sub->menuAction();
        AddMenuItems(sub, i + 1, next, popup);
      } else {
        action = into->addAction(QString::fromUtf8(item.caption));
      }
      action->setData(kMenuCommandBase + i);
      action->setEnabled(!(item.flags & kMenuDisabled));
      if (item.flags & kMenuTicked) {
        action->setCheckable(true);
        action->setChecked(true);
      }
      if (!popup) menuActions_[static_cast<std::size_t>(i)] = action;
    }
    i = next;
  }
}

QAction* FormWindow::MenuAction(int index) const {
  if (index < 0 || static_cast<std::size_t>(index) >= menuActions_.size()) return nullptr;
  return menuActions_[static_cast<std::size_t>(index)];
}

int FormWindow::MenuIndex(UnitId item) const {
  for (std::size_t i = 0; i < def_.menu.size(); ++i)
    if (def_.menu[i].id == item) return static_cast<int>(i);
  return -1;
}

std::unique_ptr<QMenu> FormWindow::BuildPopup(UnitId entry) {
  const int index = MenuIndex(entry);
  auto menu = std::make_unique<QMenu>(this);
  if (index < 0) return menu;
  const int level = def_.menu[static_cast<std::size_t>(index)].level;
  int end = index + 1;
  while (end < static_cast<int>(def_.menu.size()) && def_.menu[static_cast<std::size_t>(end)].level > level)
    ++end;
  AddMenuItems(menu.get(), index + 1, end, true);
  return menu;
}

void FormWindow::MenuTriggered(QAction* action) {
  const int command = action->data().toInt();
  if (command < kMenuCommandBase) return;
  const int index = command - kMenuCommandBase;
  if (static_cast<std::size_t>(index) >= def_.menu.size()) return;
  FormEngine::Instance().RunMenuItem(def_.menu[static_cast<std::size_t>(index)]);
}

void FormWindow::closeEvent(QCloseEvent* event) {
  event->ignore();
  FormEngine& engine = FormEngine::Instance();
  // A window a modal one has disabled takes no close request either.
  if (closing_ || !isEnabled() || engine.Window(Id()) != this) return;
  HandlerResult result;
  const bool ran = engine.Deliver(*this, def_.unit, event::kCloseRequested, {}, &result);
  if (ran && result && *result == 0) return;
  if (engine.Window(Id()) == this && !closing_) {
    engine.ScheduleDestroy(Id());  // closing from here on: going away is not "hidden"
    hide();
  }
}

void FormWindow::RaiseWindowEvent(int event) {
  if (creating_ || closing_) return;
  FormEngine::Instance().Deliver(*this, def_.unit, event, {});
}

// Activation belongs to top-level windows; a window placed inside another is part of that one.
void FormWindow::changeEvent(QEvent* event) {
  QFrame::changeEvent(event);
  if (event->type() != QEvent::ActivationChange || !isWindow() || creating_ || closing_) return;
  if (isActiveWindow()) {
    if (!activatedOnce_) {
      activatedOnce_ = true;
      RaiseWindowEvent(event::kFirstActivation);
    }
    RaiseWindowEvent(event::kActivated);
  } else if (activatedOnce_) {
    RaiseWindowEvent(event::kDeactivated);
  }
}

// Shown and hidden follow the program's own requests; a window the desktop minimises or restores
// is not shown or hidden by the program.
void FormWindow::showEvent(QShowEvent* event) {
  QFrame::showEvent(event);
  if (!event->spontaneous()) RaiseWindowEvent(event::kShown);
}

void FormWindow::hideEvent(QHideEvent* event) {
  QFrame::hideEvent(event);
  if (!event->spontaneous()) RaiseWindowEvent(event::kHidden);
}

void FormWindow::resizeEvent(QResizeEvent* event) {
  QFrame::resizeEvent(event);
  if (layout()) layout()->activate();
  Redock();
  if (!creating_ && !closing_) FormEngine::Instance().Deliver(*this, def_.unit, event::kResized, {});
}

void FormWindow::moveEvent(QMoveEvent* event) {
  QFrame::moveEvent(event);
  if (!creating_ && !closing_) FormEngine::Instance().Deliver(*this, def_.unit, event::kMoved, {});
}

bool FormWindow::RaiseCommon(QObject* watched, QEvent* event) {
  if (!IsCommonInput(event) || closing_ || def_.events.empty()) return false;
  FormEngine& engine = FormEngine::Instance();
  const auto bound = [this, &engine](int number) {
    for (const auto& b : def_.events)
      if (b.event == number) return engine.HasHandler(b.handler);
    return false;
  };
  const auto raise = [this, &engine](int number, const EventArgs& args) {
    HandlerResult result;
    engine.Deliver(*this, def_.unit, number, args, &result);
    return result;
  };
  return RaiseCommonEvent({this, client_, bound, raise}, watched, event);
}

// Keys and focus that reach the window itself: a key no control took comes up to it. The wheel
// is taken on the client area alone, so that it is raised once.
bool FormWindow::event(QEvent* event) {
  if (event->type() != QEvent::Wheel && RaiseCommon(this, event)) return true;
  return QFrame::event(event);
}

void FormWindow::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape && def_.props.escCloses) {
    close();
    return;
  }
  const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
  if (enter && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier && PressEnter()) return;
  QFrame::keyPressEvent(event);
}

// Enter that no control took: a focused default button is clicked; otherwise it moves the focus
// like Tab when the window says so; otherwise the first default button (in creation order) that
// can be clicked is. False when Enter does nothing here.
bool FormWindow::PressEnter() {
  const auto defaultButton = [](QWidget* w) {
    auto* b = qobject_cast<QPushButton*>(w);
    return b != nullptr && b->isDefault() ? b : nullptr;
  };
  QWidget* focus = QApplication::focusWidget();
  if (focus && isAncestorOf(focus)) {
    if (QPushButton* b = defaultButton(focus)) {
      b->click();
      return true;
    }
  }
  if (def_.props.enterMovesFocus) {
    focusNextChild();
    return true;
  }
  for (Unit* u : order_) {
    QPushButton* b = defaultButton(u->Widget());
    if (b && b->isVisibleTo(this) && b->isEnabled()) {
      b->click();
      return true;
    }
  }
  return false;
}

// A left press on the client area itself, a label or a group box (or on the title strip of a window placed
// inside another) moves the window: through the platform's system move for a top-level window, by following
// the mouse for one inside another window.
bool FormWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == client_ && RaiseCommon(watched, event)) return true;
  const QEvent::Type type = event->type();
  if ((type == QEvent::DragEnter || type == QEvent::DragMove || type == QEvent::Drop) &&
      HandleFileDrag(event))
    return true;
  const bool onStrip = watched == titleStrip_ || watched == titleLabel_;
  const bool onHandle = std::find(dragHandles_.begin(), dragHandles_.end(), watched) != dragHandles_.end();
  const bool onClient = (watched == client_ || onHandle) && def_.props.dragByClientArea;
  if (!onStrip && !onClient) return QFrame::eventFilter(watched, event);
  switch (event->type()) {
    case QEvent::MouseButtonPress: {
      auto* me = static_cast<QMouseEvent*>(event);
      if (me->button() != Qt::LeftButton) break;
      // Only an empty spot (of the client area or a group box), or a label: a press a control
      // passed on is not a press on the window.
      auto* area = static_cast<QWidget*>(watched);
      if (onClient && qobject_cast<QLabel*>(area) == nullptr &&
          area->childAt(me->position().toPoint()) != nullptr)
        break;
      StartDrag(me);
      return true;
    }
    case QEvent::MouseMove:
      if (dragging_) {
        auto* me = static_cast<QMouseEvent*>(event);
        const QPoint global = me->globalPosition().toPoint();
        move(isWindow() ? global - dragOffset_ : parentWidget()->mapFromGlobal(global) - dragOffset_);
        return true;
      }
      break;
    case QEvent::MouseButtonRelease: dragging_ = false; break;
    default: break;
  }
  return QFrame::eventFilter(watched, event);
}

void FormWindow::StartDrag(QMouseEvent* event) {
  ++dragStarts_;
  const QPoint global = event->globalPosition().toPoint();
  if (isWindow()) {
    if (windowHandle() && windowHandle()->startSystemMove()) return;
    dragOffset_ = global - frameGeometry().topLeft();
  } else {
    dragOffset_ = parentWidget()->mapFromGlobal(global) - pos();
  }
  dragging_ = true;
}

}  // namespace nvx
