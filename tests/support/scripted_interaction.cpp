#include "support/scripted_interaction.h"

#include <QAction>
#include <QMenu>
#include <QPointer>
#include <QRegularExpression>

namespace nvx {
namespace {

// An action's caption as the user reads it: no shortcut column, no mnemonic markers, and no "(&C)"
// access key suffix, which exists only for the mnemonic.
QString Caption(const QAction& action) {
  QString text = action.text().section(u'\t', 0, 0);
  static const QRegularExpression kAccessKey(QStringLiteral("\\(&[^&]\\)"));
  text.remove(kAccessKey);
  QString out;
  out.reserve(text.size());
  for (qsizetype i = 0; i < text.size(); ++i) {
    if (text[i] == u'&' && i + 1 < text.size()) ++i;  // "&&" keeps one '&'
    out += text[i];
  }
  return out;
}

// What the user sees of the menu is what exists after aboutToShow: menus may fill themselves then.
void AnnounceShow(QMenu& menu) {
  emit menu.aboutToShow();
  for (QAction* action : menu.actions())
    if (action->menu() && action->isVisible()) AnnounceShow(*action->menu());
}

void DescribeInto(const QMenu& menu, const QString& prefix, QStringList& items, QStringList& disabled,
                  bool parentEnabled) {
  for (QAction* action : menu.actions()) {
    if (!action->isVisible()) continue;
    if (action->isSeparator()) {
      items << prefix + u'-';
      continue;
    }
    const bool enabled = parentEnabled && action->isEnabled();
    if (QMenu* submenu = action->menu()) {
      const QString inner = prefix + Caption(*action) + u'/';
      const qsizetype before = items.size();
      DescribeInto(*submenu, inner, items, disabled, enabled);
      if (items.size() == before) {
        items << inner;
        if (!enabled) disabled << inner;
      }
      continue;
    }
    items << prefix + Caption(*action);
    if (!enabled) disabled << items.back();
  }
}

// The action at a caption path. Only what the user could click counts: hidden or disabled entries
// are not found.
QAction* FindByPath(QMenu& menu, const QStringList& path) {
  QMenu* current = &menu;
  for (qsizetype i = 0; i < path.size(); ++i) {
    QAction* found = nullptr;
    for (QAction* action : current->actions()) {
      const bool clickable = action->isVisible() && action->isEnabled() && !action->isSeparator();
      if (clickable && Caption(*action) == path[i]) {
        found = action;
        break;
      }
    }
    if (!found) return nullptr;
    if (i + 1 == path.size()) return found->menu() ? nullptr : found;
    if (!found->menu()) return nullptr;
    current = found->menu();
  }
  return nullptr;
}

QAction* FindByData(QMenu& menu, const QVariant& data) {
  for (QAction* action : menu.actions()) {
    if (!action->isVisible() || !action->isEnabled() || action->isSeparator()) continue;
    if (QMenu* submenu = action->menu()) {
      if (QAction* found = FindByData(*submenu, data)) return found;
    } else if (action->data() == data) {
      return action;
    }
  }
  return nullptr;
}

// What a message box gives when Enter is pressed at once: its first button.
int FirstButton(int flags) {
  switch (flags & kMsgButtonsMask) {
    case kMsgAbortRetryIgnore: return kButtonAbort;
    case kMsgYesNoCancel:
    case kMsgYesNo: return kButtonYes;
    case kMsgRetryCancel: return kButtonRetry;
    default: return kButtonOk;
  }
}

template <class T>
std::optional<T> TakeFront(std::deque<T>& queue) {
  if (queue.empty()) return std::nullopt;
  T front = std::move(queue.front());
  queue.pop_front();
  return front;
}

// Records each step into its entry; says "cancelled" from the scripted step on.
class ScriptedProgress final : public Progress {
 public:
  explicit ScriptedProgress(ScriptedInteraction::ProgressShown& record) : record_(record) {}
  ~ScriptedProgress() override { record_.ended = true; }

  bool Step(std::int64_t done) override {
    // The last chance is the step after the one that reached the total.
    const bool last = !record_.steps.empty() && record_.steps.back() >= record_.total;
    record_.steps.push_back(done);
    if (!record_.finishing && record_.cancelAt >= 0 && done >= record_.cancelAt &&
        (!record_.cancelLast || last))
      record_.cancelled = true;
    return !record_.cancelled;
  }
  bool Cancelled() const override { return record_.cancelled; }
  void Finishing() override { record_.finishing = true; }

 private:
  ScriptedInteraction::ProgressShown& record_;
};

}  // namespace

void ScriptedInteraction::AnswerMessage(int button) { messageAnswers_.push_back(button); }
void ScriptedInteraction::AnswerFile(std::optional<QString> path) { fileAnswers_.push_back(std::move(path)); }
void ScriptedInteraction::AnswerFont(std::optional<FontChoice> choice) {
  fontAnswers_.push_back(std::move(choice));
}
void ScriptedInteraction::AnswerColor(std::optional<QColor> color) { colorAnswers_.push_back(color); }
void ScriptedInteraction::AnswerPopup(QStringList captionPath) {
  popupAnswers_.emplace_back(std::move(captionPath));
}
void ScriptedInteraction::AnswerPopupData(QVariant data) { popupAnswers_.emplace_back(std::move(data)); }
void ScriptedInteraction::AnswerPopupCancel() { popupAnswers_.emplace_back(PopupCancel{}); }
void ScriptedInteraction::CancelProgressAt(std::int64_t done) { progressCancels_.push_back(done); }
void ScriptedInteraction::CancelProgressWhenDone() { progressCancels_.push_back(kCancelWhenDone); }

int ScriptedInteraction::MessageBox(const QString& caption, const QString& text, int flags) {
  Shown s;
  s.kind = Shown::Message;
  s.caption = caption;
  s.text = text;
  s.flags = flags;
  shown.push_back(std::move(s));
  if (auto answer = TakeFront(messageAnswers_)) return *answer;
  // A box with only an OK button asks nothing: it needs no scripted answer.
  if ((flags & kMsgButtonsMask) == kMsgOk) return kButtonOk;
  problems << QStringLiteral("unanswered message box \"%1\": %2").arg(caption, text);
  return FirstButton(flags);
}

std::optional<QString> ScriptedInteraction::FileDialog(const FileDialogRequest& request) {
  Shown s;
  s.kind = Shown::File;
  s.caption = request.title;
  s.file = request;
  shown.push_back(std::move(s));
  if (auto answer = TakeFront(fileAnswers_)) return *answer;
  problems << QStringLiteral("unanswered file dialog \"%1\"").arg(request.title);
  return std::nullopt;
}

std::optional<FontChoice> ScriptedInteraction::FontDialog(const FontChoice& initial) {
  Shown s;
  s.kind = Shown::Font;
  s.font = initial;
  shown.push_back(std::move(s));
  if (auto answer = TakeFront(fontAnswers_)) return *answer;
  problems << QStringLiteral("unanswered font dialog");
  return std::nullopt;
}

std::optional<QColor> ScriptedInteraction::ColorDialog(const QColor& initial) {
  Shown s;
  s.kind = Shown::Color;
  s.color = initial;
  shown.push_back(std::move(s));
  if (auto answer = TakeFront(colorAnswers_)) return *answer;
  problems << QStringLiteral("unanswered colour dialog");
  return std::nullopt;
}

QAction* ScriptedInteraction::ShowPopupMenu(QMenu& menu, const QPoint&) {
  AnnounceShow(menu);
  Shown s;
  s.kind = Shown::Popup;
  DescribeInto(menu, QString(), s.menuItems, s.disabledItems, true);
  shown.push_back(s);

  const auto answer = TakeFront(popupAnswers_);
  QAction* picked = nullptr;
  if (!answer) {
    problems << QStringLiteral("unanswered pop-up menu: %1").arg(s.menuItems.join(u", "));
  } else if (const auto* path = std::get_if<QStringList>(&*answer)) {
    picked = FindByPath(menu, *path);
    if (!picked) problems << QStringLiteral("pop-up menu offers no \"%1\"").arg(path->join(u'/'));
  } else if (const auto* data = std::get_if<QVariant>(&*answer)) {
    picked = FindByData(menu, *data);
    if (!picked)
      problems << QStringLiteral("pop-up menu offers no action with data %1").arg(data->toString());
  }
  emit menu.aboutToHide();
  if (!picked) return nullptr;

  // As a click does: the action fires (and with it the menus' triggered signals).
  QPointer<QAction> guard(picked);
  picked->activate(QAction::Trigger);
  return guard.data();
}

std::unique_ptr<Progress> ScriptedInteraction::BeginProgress(const QString& caption, std::int64_t total,
                                                             bool cancellable) {
  Shown s;
  s.kind = Shown::Progress;
  s.caption = caption;
  shown.push_back(std::move(s));

  ProgressShown& record = progress.emplace_back();
  record.caption = caption;
  record.total = total;
  record.cancellable = cancellable;
  if (auto cancelAt = TakeFront(progressCancels_)) {
    if (cancellable) {
      record.cancelLast = *cancelAt == kCancelWhenDone;
      record.cancelAt = record.cancelLast ? 0 : *cancelAt;
    } else {
      problems << QStringLiteral("progress \"%1\" cannot be cancelled").arg(caption);
    }
  }
  return std::make_unique<ScriptedProgress>(record);
}

int ScriptedInteraction::UnusedAnswers() const {
  return static_cast<int>(messageAnswers_.size() + fileAnswers_.size() + fontAnswers_.size() +
                          colorAnswers_.size() + popupAnswers_.size() + progressCancels_.size());
}

std::vector<ScriptedInteraction::Shown> ScriptedInteraction::OfKind(Shown::Kind kind) const {
  std::vector<Shown> out;
  for (const Shown& s : shown)
    if (s.kind == kind) out.push_back(s);
  return out;
}

const ScriptedInteraction::Shown* ScriptedInteraction::LastMessage() const {
  for (auto it = shown.rbegin(); it != shown.rend(); ++it)
    if (it->kind == Shown::Message) return &*it;
  return nullptr;
}

QStringList ScriptedInteraction::DescribeMenu(const QMenu& menu) {
  QStringList items, disabled;
  DescribeInto(menu, QString(), items, disabled, true);
  return items;
}

ScopedScriptedInteraction::ScopedScriptedInteraction() {
  auto scripted = std::make_unique<ScriptedInteraction>();
  scripted_ = scripted.get();
  previous_ = SetInteraction(std::move(scripted));
}

ScopedScriptedInteraction::~ScopedScriptedInteraction() { SetInteraction(std::move(previous_)); }

}  // namespace nvx
