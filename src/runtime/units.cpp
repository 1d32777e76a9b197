#include "runtime/units.h"

#include <QAbstractScrollArea>
#include <QCoreApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>
#include <QWidget>

#include "base/codepage.h"
#include "runtime/form_engine.h"
#include "runtime/form_window.h"
#include "runtime/qt_text.h"
#include "runtime/runtime_error.h"
#include "runtime/unit_types.h"
#include "runtime/value_commands.h"

namespace nvx {

std::int32_t NumberOf(const PropertyValue& value) {
  if (const auto* n = std::get_if<std::int32_t>(&value)) return *n;
  ReportRuntimeError(L("欲转换数据类型不是数值"));
}

Text TextOf(const PropertyValue& value) {
  if (const auto* t = std::get_if<Text>(&value)) return *t;
  return ToText(std::get<std::int32_t>(value));
}

QColor ToQColor(std::int32_t rgb, const QColor& fallback) {
  if (rgb == kDefaultColor) return fallback;
  return QColor(rgb & 0xFF, (rgb >> 8) & 0xFF, (rgb >> 16) & 0xFF);
}

std::int32_t FromQColor(const QColor& color) { return ColorValue(color.red(), color.green(), color.blue()); }

Unit::Unit(FormWindow& window, const ControlDef& def) : window_(window), def_(def) {}

Unit::~Unit() = default;

void Unit::Attach(QWidget* widget, QWidget* inputTarget) {
  widget_ = widget;
  widget->setObjectName(QString::fromUtf8(def_.name));
  widget->setGeometry(def_.rect.left, def_.rect.top, def_.rect.width, def_.rect.height);
  widget->setEnabled(!(def_.flags & kDisabled));
  if (!(def_.flags & kTabStop) && widget->focusPolicy() != Qt::NoFocus)
    widget->setFocusPolicy(Qt::ClickFocus);
  widget->hide();
  widget->installEventFilter(this);
  // Mouse input of a scrolling widget arrives at its viewport.
  QWidget* mouseTarget = widget;
  if (auto* area = qobject_cast<QAbstractScrollArea*>(widget)) mouseTarget = area->viewport();
  if (inputTarget) mouseTarget = inputTarget;
  mouseTarget_ = mouseTarget;
  if (mouseTarget != widget) mouseTarget->installEventFilter(this);
  bool tracksMouse = false;
  for (const auto& b : def_.events) tracksMouse = tracksMouse || b.event == event::kMouseMove;
  mouseTarget->setMouseTracking(tracksMouse);
}

void Unit::ShowIfVisible() {
  if (widget_ && (def_.flags & kVisible)) widget_->show();
}

bool Unit::Bound(int event) const {
  for (const auto& b : def_.events)
    if (b.event == event) return FormEngine::Instance().HasHandler(b.handler);
  return false;
}

HandlerResult Unit::Raise(int event, const EventArgs& args) {
  HandlerResult result;
  FormEngine::Instance().Deliver(window_, def_.id, event, args, &result);
  return result;
}

namespace {

// The event number of a mouse event (0 for a button that raises none) and its arguments.
int MouseEventNumber(const QMouseEvent* me, EventArgs& args) {
  const bool left = me->button() == Qt::LeftButton;
  const bool right = me->button() == Qt::RightButton;
  int number = event::kMouseMove;
  if (me->type() == QEvent::MouseButtonPress) {
    number = left ? event::kLeftDown : right ? event::kRightDown : 0;
  } else if (me->type() == QEvent::MouseButtonRelease) {
    number = left ? event::kLeftUp : right ? event::kRightUp : 0;
  } else if (me->type() == QEvent::MouseButtonDblClick) {
    number = left ? event::kDoubleClick : 0;
  }
  const QPoint p = me->position().toPoint();
  args = MouseArgs(p.x(), p.y(), me->modifiers());
  return number;
}

// A key goes up or down, and a pressed key that gives text gives its character: a handler of
// either that returns 0 keeps the key from the control, and one of the character that returns
// another character has that one typed instead. True when the key was kept or replaced.
bool RaiseKeyEvents(const CommonEventSource& source, QObject* watched, QKeyEvent* ke) {
  const bool press = ke->type() == QEvent::KeyPress;
  EventArgs args;
  args.values[0] = VirtualKey(ke->key());
  args.values[1] = KeyState(ke->modifiers());
  args.count = 2;
  if (source.bound(press ? event::kKeyDown : event::kKeyUp)) {
    const HandlerResult r = source.raise(press ? event::kKeyDown : event::kKeyUp, args);
    if (r && *r == 0) return true;
  }
  if (press && !ke->text().isEmpty() && source.bound(event::kCharacter)) {
    EventArgs c;
    c.values[0] = ke->text().at(0).unicode();
    c.count = 1;
    const HandlerResult r = source.raise(event::kCharacter, c);
    if (r && *r == 0) return true;
    if (r && *r != c.values[0]) {
      QKeyEvent replaced(QEvent::KeyPress, 0, ke->modifiers(), QString(QChar(static_cast<char16_t>(*r))));
      QCoreApplication::sendEvent(watched, &replaced);
      return true;
    }
  }
  return false;
}

}  // namespace

// Common events: mouse, focus, keys and the wheel, delivered before the control or window sees
// the input. A handler that returns 0 keeps the input from it.
bool RaiseCommonEvent(const CommonEventSource& source, QObject* watched, QEvent* event) {
  int number = 0;
  EventArgs args;
  switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
      if (watched != source.mouseTarget) return false;  // not again when it bubbles up from a child
      number = MouseEventNumber(static_cast<QMouseEvent*>(event), args);
      break;
    case QEvent::FocusIn:
      if (watched != source.widget) return false;
      number = event::kFocusIn;
      break;
    case QEvent::FocusOut:
      if (watched != source.widget) return false;
      number = event::kFocusOut;
      break;
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
      if (watched != source.widget) return false;
      return RaiseKeyEvents(source, watched, static_cast<QKeyEvent*>(event));
    case QEvent::Wheel: {
      if (watched != source.widget && watched != source.mouseTarget) return false;
      auto* we = static_cast<QWheelEvent*>(event);
      number = event::kWheel;
      args.values[0] = we->angleDelta().y() / 120;
      args.values[1] = KeyState(we->modifiers());
      args.count = 2;
      break;
    }
    default: return false;
  }
  if (number == 0 || !source.bound(number)) return false;
  const HandlerResult r = source.raise(number, args);
  const bool withholdable = number != event::kFocusIn && number != event::kFocusOut;
  return withholdable && r && *r == 0;
}

bool IsCommonInput(const QEvent* event) {
  switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::FocusIn:
    case QEvent::FocusOut:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Wheel: return true;
    default: return false;
  }
}

bool Unit::eventFilter(QObject* watched, QEvent* event) {
  if (!IsCommonInput(event)) return false;
  return RaiseCommonEvent({widget_.data(), mouseTarget_, [this](int e) { return Bound(e); },
                           [this](int e, const EventArgs& a) { return Raise(e, a); }},
                          watched, event);
}

PropertyValue Unit::Property(int index) const {
  switch (index) {
    case prop::kLeft: return widget_ ? widget_->x() : def_.rect.left;
    case prop::kTop: return widget_ ? widget_->y() : def_.rect.top;
    case prop::kWidth: return widget_ ? widget_->width() : def_.rect.width;
    case prop::kHeight: return widget_ ? widget_->height() : def_.rect.height;
    case prop::kTag: return tag_;
    case prop::kVisible: return static_cast<std::int32_t>(widget_ ? !widget_->isHidden() : false);
    case prop::kDisabled:
      return static_cast<std::int32_t>(widget_ ? !widget_->isEnabled() : (def_.flags & kDisabled) != 0);
    case prop::kCursor: return cursor_;
    default:
      if (auto v = TypeProperty(index)) return *v;
      return std::int32_t{0};
  }
}

void Unit::SetProperty(int index, const PropertyValue& value) {
  if (index == prop::kTag) {
    tag_ = TextOf(value);
    return;
  }
  if (index >= prop::kFirstOfType) {
    SetTypeProperty(index, value);
    return;
  }
  const std::int32_t n = NumberOf(value);
  if (index == prop::kCursor) cursor_ = n;
  if (!widget_) return;
  QRect r = widget_->geometry();
  if (ApplyCommonProperty(*widget_, r, index, n)) widget_->setGeometry(r);
}

bool ApplyCommonProperty(QWidget& widget, QRect& rect, int index, std::int32_t value) {
  switch (index) {
    case prop::kLeft: rect.moveLeft(value); return true;
    case prop::kTop: rect.moveTop(value); return true;
    case prop::kWidth: rect.setWidth(std::max(0, value)); return true;
    case prop::kHeight: rect.setHeight(std::max(0, value)); return true;
    case prop::kVisible: widget.setVisible(value != 0); return false;
    case prop::kDisabled: widget.setEnabled(value == 0); return false;
    default: return false;
  }
}

std::unique_ptr<Unit> MakeUnit(FormWindow& window, const ControlDef& def) {
  switch (def.type) {
    case UnitType::Button:
    case UnitType::SuperBtn: return std::make_unique<ButtonUnit>(window, def);
    case UnitType::EditBox: return std::make_unique<EditBoxUnit>(window, def);
    case UnitType::Label: return std::make_unique<LabelUnit>(window, def);
    case UnitType::GroupBox: return std::make_unique<GroupBoxUnit>(window, def);
    case UnitType::ColorPicker: return std::make_unique<ColorPickerUnit>(window, def);
    case UnitType::CommonDlg: return std::make_unique<CommonDlgUnit>(window, def);
    case UnitType::StatusBar: return std::make_unique<StatusBarUnit>(window, def);
    case UnitType::ListView: return std::make_unique<ListViewUnit>(window, def);
    case UnitType::RichEdit: return std::make_unique<RichEditUnit>(window, def);
    case UnitType::Window:
    case UnitType::MenuItem: return nullptr;
  }
  return nullptr;
}

}  // namespace nvx
