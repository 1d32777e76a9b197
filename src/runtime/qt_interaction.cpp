// The real interaction: Qt's own dialogs, always the non-native ones so they look and translate the
// same on every platform, each without an owner window and modal for the whole application.
#include <QAbstractButton>
#include <QApplication>
#include <QColorDialog>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QProgressDialog>
#include <algorithm>
#include <limits>

#include "runtime/font_window.h"
#include "runtime/interaction.h"

namespace nvx {
namespace {

struct ButtonSet {
  QMessageBox::StandardButtons buttons;
  // What a box closed without a button press counts as: the answer that does least.
  int escapeCode;
};

ButtonSet ButtonsFor(int flags) {
  switch (flags & kMsgButtonsMask) {
    case kMsgOkCancel: return {QMessageBox::Ok | QMessageBox::Cancel, kButtonCancel};
    case kMsgAbortRetryIgnore:
      return {QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore, kButtonAbort};
    case kMsgYesNoCancel: return {QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, kButtonCancel};
    case kMsgYesNo: return {QMessageBox::Yes | QMessageBox::No, kButtonNo};
    case kMsgRetryCancel: return {QMessageBox::Retry | QMessageBox::Cancel, kButtonCancel};
    default: return {QMessageBox::Ok, kButtonOk};
  }
}

QMessageBox::Icon IconFor(int flags) {
  switch (flags & kMsgIconMask) {
    case kMsgIconError: return QMessageBox::Critical;
    case kMsgIconQuestion: return QMessageBox::Question;
    case kMsgIconWarning: return QMessageBox::Warning;
    case kMsgIconInformation: return QMessageBox::Information;
    default: return QMessageBox::NoIcon;
  }
}

int ButtonCode(QMessageBox::StandardButton button) {
  switch (button) {
    case QMessageBox::Cancel: return kButtonCancel;
    case QMessageBox::Abort: return kButtonAbort;
    case QMessageBox::Retry: return kButtonRetry;
    case QMessageBox::Ignore: return kButtonIgnore;
    case QMessageBox::Yes: return kButtonYes;
    case QMessageBox::No: return kButtonNo;
    default: return kButtonOk;
  }
}

// Widgets need a QApplication; a caller without one (a tool, a test) must not crash the process
// by asking, so it gets the answer that does least.
bool HaveWidgets(const char* what) {
  if (qobject_cast<QApplication*>(QCoreApplication::instance())) return true;
  qWarning("nvx: no QApplication, %s not shown", what);
  return false;
}

// The progress dialog of long work. Closing it or pressing Esc asks to cancel like its button; when
// the work cannot be cancelled it has no button and cannot be closed. Either way it stays up until
// the work ends, so the user sees the work is still undoing what it did.
class WorkDialog final : public QProgressDialog {
 public:
  WorkDialog(QWidget* parent, bool cancellable, bool& cancelled)
      : QProgressDialog(parent), cancellable_(cancellable), cancelled_(cancelled) {}

  // The work can no longer stop: the button goes, Esc and the close box do nothing.
  void EndCancel() {
    if (!cancellable_) return;
    cancellable_ = false;
    setCancelButton(nullptr);
  }

 protected:
  void closeEvent(QCloseEvent* event) override {
    event->ignore();
    if (cancellable_) cancelled_ = true;
  }
  void keyPressEvent(QKeyEvent* event) override {
    if (event->key() == Qt::Key_Escape) {
      if (cancellable_) cancelled_ = true;
      return;
    }
    QProgressDialog::keyPressEvent(event);
  }

 private:
  bool cancellable_;
  bool& cancelled_;
};

class DialogProgress final : public Progress {
 public:
  DialogProgress(const QString& caption, std::int64_t total, bool cancellable)
      : caption_(caption), total_(std::max<std::int64_t>(total, 0)), cancellable_(cancellable) {
    started_.start();
    painted_.start();
  }
  ~DialogProgress() override { delete dialog_.data(); }

  bool Step(std::int64_t done) override;
  bool Cancelled() const override { return cancelled_; }
  void Finishing() override {
    cancellable_ = false;
    if (dialog_) {
      dialog_->EndCancel();
      QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
  }

 private:
  static constexpr qint64 kShowAfterMs = 500;
  static constexpr qint64 kPaintEveryMs = 40;

  void Show();

  QString caption_;
  std::int64_t total_;
  bool cancellable_;
  bool cancelled_ = false;
  QElapsedTimer started_;
  QElapsedTimer painted_;
  QPointer<WorkDialog> dialog_;
};

// The window long work belongs to: the active one, else the first visible top-level window.
QWidget* MainWindow() {
  if (QWidget* active = QApplication::activeWindow()) return active;
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->isVisible() && w->windowType() == Qt::Window) return w;
  return nullptr;
}

void DialogProgress::Show() {
  if (!qobject_cast<QApplication*>(QCoreApplication::instance())) return;
  dialog_ = new WorkDialog(MainWindow(), cancellable_, cancelled_);
  WorkDialog& dialog = *dialog_;
  dialog.setObjectName(QStringLiteral("progressDialog"));
  dialog.setWindowTitle(caption_);
  dialog.setWindowModality(Qt::ApplicationModal);
  dialog.setAutoClose(false);
  dialog.setAutoReset(false);
  // The dialog shows itself only when told to, and its button only raises the flag: the work is
  // what stops and undoes, and the dialog stays until it has.
  dialog.setMinimumDuration(std::numeric_limits<int>::max());
  QObject::disconnect(&dialog, SIGNAL(canceled()), &dialog, SLOT(cancel()));
  if (cancellable_) {
    dialog.setCancelButtonText(QStringLiteral("取消"));
    QObject::connect(&dialog, &QProgressDialog::canceled, &dialog, [this] {
      if (cancellable_) cancelled_ = true;
    });
  } else {
    dialog.setCancelButton(nullptr);
  }
  dialog.setRange(0, 1000);
  dialog.show();
}

bool DialogProgress::Step(std::int64_t done) {
  if (painted_.elapsed() < kPaintEveryMs && done < total_) return !cancelled_;
  painted_.restart();
  if (!dialog_ && started_.elapsed() >= kShowAfterMs) Show();
  if (dialog_) {
    const std::int64_t shown = std::clamp<std::int64_t>(done, 0, total_);
    dialog_->setLabelText(QStringLiteral("%1 / %2").arg(shown).arg(total_));
    dialog_->setValue(total_ > 0 ? static_cast<int>(shown * 1000 / total_) : 1000);
    // The dialog is modal: input can reach only it.
    QCoreApplication::processEvents();
  } else {
    // Nothing modal is up yet: paint, but take no input the work could trip over.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  }
  return !cancelled_;
}

class QtInteraction final : public Interaction {
 public:
  int MessageBox(const QString& caption, const QString& text, int flags) override;
  std::optional<QString> FileDialog(const FileDialogRequest& request) override;
  std::optional<FontChoice> FontDialog(const FontChoice& initial) override;
  std::optional<QColor> ColorDialog(const QColor& initial) override;
  QAction* ShowPopupMenu(QMenu& menu, const QPoint& at) override;
  std::unique_ptr<Progress> BeginProgress(const QString& caption, std::int64_t total,
                                          bool cancellable) override {
    return std::make_unique<DialogProgress>(caption, total, cancellable);
  }
};

int QtInteraction::MessageBox(const QString& caption, const QString& text, int flags) {
  const ButtonSet set = ButtonsFor(flags);
  if (!HaveWidgets("message box")) return set.escapeCode;

  // The program's texts are plain, whatever they look like, and use CR LF line ends.
  QString shown = text;
  shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
  QMessageBox box(IconFor(flags), caption, shown, set.buttons);
  box.setTextFormat(Qt::PlainText);
  box.setWindowModality(Qt::ApplicationModal);
  box.exec();
  QAbstractButton* clicked = box.clickedButton();
  return clicked ? ButtonCode(box.standardButton(clicked)) : set.escapeCode;
}

std::optional<QString> QtInteraction::FileDialog(const FileDialogRequest& request) {
  if (!HaveWidgets("file dialog")) return std::nullopt;

  QFileDialog dialog;
  dialog.setWindowModality(Qt::ApplicationModal);
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setOption(QFileDialog::DontConfirmOverwrite, !request.overwritePrompt);
  dialog.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode(!request.save && request.fileMustExist ? QFileDialog::ExistingFile
                                                            : QFileDialog::AnyFile);
  if (!request.title.isEmpty()) dialog.setWindowTitle(request.title);
  if (!request.directory.isEmpty()) dialog.setDirectory(request.directory);
  if (!request.filters.isEmpty()) {
    dialog.setNameFilters(request.filters);
    if (request.selectedFilter >= 0 && request.selectedFilter < request.filters.size())
      dialog.selectNameFilter(request.filters[request.selectedFilter]);
  }
  dialog.setDefaultSuffix(request.defaultSuffix);
  if (!request.fileName.isEmpty()) dialog.selectFile(request.fileName);

  // A choice that fails a check is explained and the dialog comes back as the user left it.
  while (dialog.exec() == QDialog::Accepted) {
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty()) return std::nullopt;
    const QFileInfo file(chosen.first());
    if (request.pathMustExist && !file.absoluteDir().exists()) {
      MessageBox(dialog.windowTitle(),
                 QStringLiteral("路径“%1”不存在。\n请检查路径是否正确。")
                     .arg(QDir::toNativeSeparators(file.absolutePath())),
                 kMsgOk | kMsgIconWarning);
      continue;
    }
    if (!request.save && request.createPrompt && !file.exists()) {
      const int answer = MessageBox(dialog.windowTitle(),
                                    QStringLiteral("文件“%1”不存在。\n是否创建文件?").arg(file.fileName()),
                                    kMsgYesNo | kMsgIconQuestion);
      if (answer != kButtonYes) continue;
    }
    return file.absoluteFilePath();
  }
  return std::nullopt;
}

std::optional<FontChoice> QtInteraction::FontDialog(const FontChoice& initial) {
  if (!HaveWidgets("font dialog")) return std::nullopt;
  // The runtime's own font window: Qt's font dialog offers only the styles a family has, so the
  // one-style Chinese families could never be made bold or italic, and it opens on the first
  // family of its list for a face it does not know.
  FontWindow window(initial, [this](const QColor& from) { return ColorDialog(from); });
  window.setWindowModality(Qt::ApplicationModal);
  if (window.exec() != QDialog::Accepted) return std::nullopt;
  return window.Choice();
}

std::optional<QColor> QtInteraction::ColorDialog(const QColor& initial) {
  if (!HaveWidgets("colour dialog")) return std::nullopt;
  const QColor chosen =
      QColorDialog::getColor(initial, nullptr, QStringLiteral("颜色"), QColorDialog::DontUseNativeDialog);
  if (!chosen.isValid()) return std::nullopt;
  return chosen;
}

QAction* QtInteraction::ShowPopupMenu(QMenu& menu, const QPoint& at) {
  if (!HaveWidgets("pop-up menu")) return nullptr;
  return menu.exec(at);
}

}  // namespace

std::unique_ptr<Interaction> MakeQtInteraction() { return std::make_unique<QtInteraction>(); }

}  // namespace nvx
