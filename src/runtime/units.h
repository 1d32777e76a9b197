// The controls of a live window. Each unit owns the behaviour of its type: the widget it shows,
// its own properties (index 8 and up) and the type events it raises. The common properties
// (0 to 7) and the common mouse, focus and key events are handled here for every type.
#pragma once

#include <QObject>
#include <QPointer>
#include <QRect>
#include <functional>
#include <memory>
#include <optional>

#include "runtime/window_runtime.h"

class QWidget;

namespace nvx {

class FormWindow;

class Unit : public QObject {
  Q_OBJECT

 public:
  Unit(FormWindow& window, const ControlDef& def);
  ~Unit() override;

  // Creates the unit's widget (hidden) inside `container`; false when it cannot be made.
  virtual bool Create(QWidget* container) = 0;

  const ControlDef& Def() const { return def_; }
  FormWindow& Window() const { return window_; }
  UnitId Id() const { return def_.id; }
  QWidget* Widget() const { return widget_; }

  // Properties 0 to 7 and the type's own.
  PropertyValue Property(int index) const;
  void SetProperty(int index, const PropertyValue& value);

  // Shows the unit when its form says visible (after creation).
  void ShowIfVisible();

 protected:
  virtual std::optional<PropertyValue> TypeProperty(int /*index*/) const { return std::nullopt; }
  virtual void SetTypeProperty(int /*index*/, const PropertyValue& /*value*/) {}

  // Takes `widget` as this unit's widget: names it after the form, applies the form's flags and
  // watches its input (and its viewport's, for scrolling widgets).
  void Attach(QWidget* widget, QWidget* inputTarget = nullptr);

  // Raises a type event; returns the handler's result when one ran.
  HandlerResult Raise(int event, const EventArgs& args = {});
  bool Bound(int event) const;

  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  FormWindow& window_;
  const ControlDef& def_;
  QPointer<QWidget> widget_;
  QObject* mouseTarget_ = nullptr;
  Text tag_;
  std::int32_t cursor_ = 0;
};

// Where the common events of a control or window come from: the object its keys and focus
// arrive at, the one its mouse input arrives at, and its bindings.
struct CommonEventSource {
  const QObject* widget = nullptr;
  const QObject* mouseTarget = nullptr;
  std::function<bool(int event)> bound;
  std::function<HandlerResult(int event, const EventArgs& args)> raise;
};

// Whether `event` is input that makes a common event: mouse, focus, keys, the wheel.
bool IsCommonInput(const QEvent* event);

// Raises the common event (mouse, focus, keys, wheel) that `event` on `watched` makes for `source`,
// when a handler is bound to it. True when the handler withheld the input.
bool RaiseCommonEvent(const CommonEventSource& source, QObject* watched, QEvent* event);

// Makes the unit for a control definition.
std::unique_ptr<Unit> MakeUnit(FormWindow& window, const ControlDef& def);

// Values of properties: numbers and texts; a text where a number is needed is a run-time error.
std::int32_t NumberOf(const PropertyValue& value);
Text TextOf(const PropertyValue& value);

// Applies a common property of number `value` to a window or control: position and size change
// `rect` (a negative size counts as 0) and return true, the caller then places the widget at it;
// visible and disabled change `widget` at once.
bool ApplyCommonProperty(QWidget& widget, QRect& rect, int index, std::int32_t value);

// RGB values and Qt colours; `fallback` stands for the system default (0xFF000000).
QColor ToQColor(std::int32_t rgb, const QColor& fallback);
std::int32_t FromQColor(const QColor& color);

}  // namespace nvx
