// An Interaction for tests: answers every dialog from queues filled by the test and records what
// the program showed. It never waits for a person: a question with nothing queued gets the
// default answer and is noted in `problems`, so a test can check nothing unexpected was asked. A
// message box with only an OK button asks nothing and needs no answer.
#pragma once

#include <QColor>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <variant>
#include <vector>

#include "runtime/interaction.h"

namespace nvx {

class ScriptedInteraction : public Interaction {
 public:
  struct Shown {
    enum Kind { Message, File, Font, Color, Popup, Progress };
    Kind kind = Message;
    QString caption;            // message caption, file dialog title, progress caption
    QString text;               // message text
    int flags = 0;              // message flags
    FileDialogRequest file;     // the file dialog's request
    FontChoice font;            // the font dialog's initial choice
    QColor color;               // the colour dialog's initial colour
    QStringList menuItems;      // the pop-up menu, as describeMenu gives it
    QStringList disabledItems;  // the entries of menuItems that could not be picked
  };

  // A progress report the program began: what it said, every step it reported, and how it ended.
  struct ProgressShown {
    QString caption;
    std::int64_t total = 0;
    bool cancellable = false;
    std::vector<std::int64_t> steps;
    std::int64_t cancelAt = -1;  // the scripted cancel, or -1
    bool cancelLast = false;     // the scripted cancel comes at the last chance before finishing
    bool finishing = false;      // the work said it can no longer be cancelled
    bool cancelled = false;      // step returned false at least once
    bool ended = false;          // the Progress was destroyed
  };

  // Queues the next answer of each kind; answers are used in the order queued.
  void AnswerMessage(int button);
  void AnswerFile(std::optional<QString> path);
  void AnswerFont(std::optional<FontChoice> choice);
  void AnswerColor(std::optional<QColor> color);
  // A pop-up answer picks the action with this caption path ({"内容操作", "复制"}), ...
  void AnswerPopup(QStringList captionPath);
  // ... the action whose data() equals `data` (a command number), ...
  void AnswerPopupData(QVariant data);
  // ... or nothing, as when the user clicks outside the menu.
  void AnswerPopupCancel();
  // The next progress report is cancelled by the user once the work reports `done` or more
  // finished. (A report with nothing queued is never cancelled; it asks nothing.)
  void CancelProgressAt(std::int64_t done);
  // The next progress report is cancelled once the work has reported every step: at its last
  // chance before it finishes (the commit or rename).
  void CancelProgressWhenDone();

  int MessageBox(const QString& caption, const QString& text, int flags) override;
  std::optional<QString> FileDialog(const FileDialogRequest& request) override;
  std::optional<FontChoice> FontDialog(const FontChoice& initial) override;
  std::optional<QColor> ColorDialog(const QColor& initial) override;
  QAction* ShowPopupMenu(QMenu& menu, const QPoint& at) override;
  std::unique_ptr<nvx::Progress> BeginProgress(const QString& caption, std::int64_t total,
                                               bool cancellable) override;

  // Everything shown, in order.
  std::vector<Shown> shown;
  // Every progress report begun, in order (a deque: a live report keeps writing to its entry).
  std::deque<ProgressShown> progress;
  // Why an answer could not be given as scripted: nothing queued, or a pop-up answer naming an
  // action the menu did not offer (missing, hidden or disabled).
  QStringList problems;

  int Unexpected() const { return static_cast<int>(problems.size()); }
  // Answers queued but never asked for.
  int UnusedAnswers() const;

  std::vector<Shown> OfKind(Shown::Kind kind) const;
  std::vector<Shown> Messages() const { return OfKind(Shown::Message); }
  // The last message box shown, or nullptr.
  const Shown* LastMessage() const;

  // A menu flattened for comparison: each visible action's text without mnemonics, a submenu's
  // actions as "内容操作/复制", a separator as "-" (or "内容操作/-"), an empty submenu as "内容操作/".
  static QStringList DescribeMenu(const QMenu& menu);

 private:
  struct PopupCancel {};
  using PopupAnswer = std::variant<PopupCancel, QStringList, QVariant>;

  std::deque<int> messageAnswers_;
  std::deque<std::optional<QString>> fileAnswers_;
  std::deque<std::optional<FontChoice>> fontAnswers_;
  std::deque<std::optional<QColor>> colorAnswers_;
  std::deque<PopupAnswer> popupAnswers_;
  static constexpr std::int64_t kCancelWhenDone = -2;
  std::deque<std::int64_t> progressCancels_;
};

// Installs a ScriptedInteraction for the scope and puts back whatever was installed before.
class ScopedScriptedInteraction {
 public:
  ScopedScriptedInteraction();
  ~ScopedScriptedInteraction();
  ScopedScriptedInteraction(const ScopedScriptedInteraction&) = delete;
  ScopedScriptedInteraction& operator=(const ScopedScriptedInteraction&) = delete;

  ScriptedInteraction& Get() const { return *scripted_; }
  ScriptedInteraction& operator*() const { return *scripted_; }
  ScriptedInteraction* operator->() const { return scripted_; }

 private:
  ScriptedInteraction* scripted_;  // owned by the installed slot while this scope lasts
  std::unique_ptr<Interaction> previous_;
};

}  // namespace nvx
