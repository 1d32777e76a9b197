// Buttons, edit boxes, labels, group boxes, colour pickers and common dialogs.
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>

#include "runtime/form_window.h"
#include "runtime/interaction.h"
#include "runtime/qt_text.h"
#include "runtime/unit_types.h"

namespace nvx {
namespace {

// Texts of the program carry CR LF line ends; Qt's widgets break lines at LF.
QString WithLineFeeds(const QString& s) {
  QString out = s;
  out.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  out.replace(QChar('\r'), QChar('\n'));
  return out;
}

QString WithCrLf(const QString& s) {
  QString out = s;
  out.replace(QChar('\n'), QStringLiteral("\r\n"));
  return out;
}

Qt::Alignment Alignment(int horizontal, int vertical) {
  Qt::Alignment a = horizontal == 1 ? Qt::AlignHCenter : horizontal == 2 ? Qt::AlignRight : Qt::AlignLeft;
  a |= vertical == 1 ? Qt::AlignVCenter : vertical == 2 ? Qt::AlignBottom : Qt::AlignTop;
  return a;
}

void SetColors(QWidget* w, QPalette::ColorRole textRole, std::int32_t text, QPalette::ColorRole backRole,
               std::int32_t back) {
  QPalette pal = w->palette();
  pal.setColor(textRole, ToQColor(text, pal.color(textRole)));
  if (back != kDefaultColor) {
    pal.setColor(backRole, ToQColor(back, pal.color(backRole)));
    w->setAutoFillBackground(backRole == QPalette::Window);
  }
  w->setPalette(pal);
}

}  // namespace

// ---- Button and SuperBtn: push buttons; clicked is event 0.

bool ButtonUnit::Create(QWidget* container) {
  button_ = new QPushButton(container);
  button_->setAutoDefault(false);
  if (const auto* p = std::get_if<ButtonProps>(&Def().props)) {
    button_->setText(QString::fromUtf8(p->caption));
    button_->setDefault(p->kind == prop::button::kDefault);
  } else if (const auto* s = std::get_if<SuperBtnProps>(&Def().props)) {
    button_->setText(QString::fromUtf8(s->caption));
  }
  Attach(button_);
  QObject::connect(button_, &QPushButton::clicked, this, [this] { Raise(event::kClicked); });
  return true;
}

std::optional<PropertyValue> ButtonUnit::TypeProperty(int index) const {
  const bool super = Def().type == UnitType::SuperBtn;
  if (index == (super ? prop::superbtn::kCaption : prop::button::kCaption))
    return FromQString(button_->text());
  if (!super && index == prop::button::kKind) return static_cast<std::int32_t>(button_->isDefault());
  return std::nullopt;
}

void ButtonUnit::SetTypeProperty(int index, const PropertyValue& value) {
  const bool super = Def().type == UnitType::SuperBtn;
  if (index == (super ? prop::superbtn::kCaption : prop::button::kCaption))
    button_->setText(ToQString(TextOf(value)));
  if (!super && index == prop::button::kKind) button_->setDefault(NumberOf(value) == prop::button::kDefault);
}

// ---- EditBox: a single-line QLineEdit, or a QPlainTextEdit for the multi-line kind.

bool EditBoxUnit::Create(QWidget* container) {
  const auto& p = std::get<EditBoxProps>(Def().props);
  const QString text = QString::fromUtf8(p.text);
  QWidget* w = nullptr;
  if (p.multiLine) {
    lines_ = new QPlainTextEdit(container);
    lines_->setPlainText(WithLineFeeds(text));
    lines_->setReadOnly(p.inputMode == 1);
    lines_->setVerticalScrollBarPolicy((p.scrollBars & 2) ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
    lines_->setHorizontalScrollBarPolicy((p.scrollBars & 1) ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
    lines_->setLineWrapMode((p.scrollBars & 1) ? QPlainTextEdit::NoWrap : QPlainTextEdit::WidgetWidth);
    SetColors(lines_, QPalette::Text, p.textColor, QPalette::Base, p.backColor);
    // The box paints its selection in the inactive colours while it lacks the focus: with hide
    // selection, those are the box's own, so the selection shows only while the box has the focus.
    // (A single-line box drops its selection when it loses the focus.)
    if (p.hideSelection) {
      QPalette pal = lines_->palette();
      pal.setColor(QPalette::Inactive, QPalette::Highlight, pal.color(QPalette::Inactive, QPalette::Base));
      pal.setColor(QPalette::Inactive, QPalette::HighlightedText,
                   pal.color(QPalette::Inactive, QPalette::Text));
      lines_->setPalette(pal);
    }
    QObject::connect(lines_, &QPlainTextEdit::textChanged, this, [this] { Raise(event::kChanged); });
    w = lines_;
  } else {
    line_ = new QLineEdit(container);
    line_->setText(text);
    line_->setReadOnly(p.inputMode == 1);
    if (p.inputMode == 2) line_->setEchoMode(QLineEdit::Password);
    if (p.maxLength > 0) line_->setMaxLength(p.maxLength);
    line_->setAlignment(Alignment(p.align, 1));
    SetColors(line_, QPalette::Text, p.textColor, QPalette::Base, p.backColor);
    QObject::connect(line_, &QLineEdit::textChanged, this, [this] { Raise(event::kChanged); });
    w = line_;
  }
  if (p.border == 0) {
    if (auto* frame = qobject_cast<QFrame*>(w)) frame->setFrameShape(QFrame::NoFrame);
    if (line_) line_->setFrame(false);
  }
  Attach(w);
  return true;
}

std::optional<PropertyValue> EditBoxUnit::TypeProperty(int index) const {
  if (index != prop::edit::kText) return std::nullopt;
  return FromQString(line_ ? line_->text() : WithCrLf(lines_->toPlainText()));
}

void EditBoxUnit::SetTypeProperty(int index, const PropertyValue& value) {
  if (index != prop::edit::kText) return;
  const QString text = ToQString(TextOf(value));
  if (line_) {
    line_->setText(text);
  } else {
    lines_->setPlainText(WithLineFeeds(text));
  }
}

// ---- Label.

bool LabelUnit::Create(QWidget* container) {
  const auto& p = std::get<LabelProps>(Def().props);
  label_ = new QLabel(WithLineFeeds(QString::fromUtf8(p.caption)), container);
  label_->setWordWrap(p.wordWrap);
  label_->setAlignment(Alignment(p.hAlign, p.wordWrap ? 0 : p.vAlign));
  label_->setTextFormat(Qt::PlainText);
  SetColors(label_, QPalette::WindowText, p.textColor, QPalette::Window, p.backColor);
  Attach(label_);
  return true;
}

std::optional<PropertyValue> LabelUnit::TypeProperty(int index) const {
  if (index != prop::label::kCaption) return std::nullopt;
  return FromQString(WithCrLf(label_->text()));
}

void LabelUnit::SetTypeProperty(int index, const PropertyValue& value) {
  if (index == prop::label::kCaption) label_->setText(WithLineFeeds(ToQString(TextOf(value))));
}

// ---- GroupBox: holds the controls that name it as their container, at positions inside it.

bool GroupBoxUnit::Create(QWidget* container) {
  const auto& p = std::get<GroupBoxProps>(Def().props);
  auto* box = new QGroupBox(QString::fromUtf8(p.caption), container);
  Attach(box);
  return true;
}

std::optional<PropertyValue> GroupBoxUnit::TypeProperty(int index) const {
  if (index != prop::group::kCaption) return std::nullopt;
  return FromQString(static_cast<QGroupBox*>(Widget())->title());
}

void GroupBoxUnit::SetTypeProperty(int index, const PropertyValue& value) {
  if (index == prop::group::kCaption) static_cast<QGroupBox*>(Widget())->setTitle(ToQString(TextOf(value)));
}

// ---- ColorPicker: a button showing its colour; choosing opens the colour dialog.

bool ColorPickerUnit::Create(QWidget* container) {
  const auto& p = std::get<ColorPickerProps>(Def().props);
  color_ = p.color;
  flag_ = p.flag;
  button_ = new QPushButton(container);
  button_->setAutoDefault(false);
  ShowColor();
  Attach(button_);
  QObject::connect(button_, &QPushButton::clicked, this, [this] {
    if (auto chosen = CurrentInteraction().ColorDialog(ToQColor(color_, Qt::white))) {
      color_ = FromQColor(*chosen);
      ShowColor();
    }
  });
  return true;
}

void ColorPickerUnit::ShowColor() {
  const QSize size(std::max(8, Def().rect.width - 16), std::max(8, Def().rect.height - 12));
  QPixmap swatch(size);
  swatch.fill(ToQColor(color_, Qt::white));
  QPainter(&swatch).drawRect(0, 0, size.width() - 1, size.height() - 1);
  button_->setIcon(QIcon(swatch));
  button_->setIconSize(size);
  button_->setToolTip(ToQColor(color_, Qt::white).name());
}

std::optional<PropertyValue> ColorPickerUnit::TypeProperty(int index) const {
  if (index == prop::picker::kColor) return color_;
  if (index == prop::picker::kFlag) return static_cast<std::int32_t>(flag_);
  return std::nullopt;
}

void ColorPickerUnit::SetTypeProperty(int index, const PropertyValue& value) {
  if (index == prop::picker::kColor) {
    color_ = NumberOf(value);
    ShowColor();
  } else if (index == prop::picker::kFlag) {
    flag_ = NumberOf(value) != 0;
  }
}

// ---- CommonDlg: the kind, the file dialog's title, file name, filter, directory and flags, and
// the font dialog's face, size, effects and colour; numbers are kept by their property index.

bool CommonDlgUnit::Create(QWidget* /*container*/) {
  const auto& p = std::get<CommonDlgProps>(Def().props);
  numbers_[prop::dlg::kKind] = p.kind;
  numbers_[prop::dlg::kFilterIndex] = p.filterIndex;
  numbers_[prop::dlg::kCreatePrompt] = p.createPrompt;
  numbers_[prop::dlg::kFileMustExist] = p.fileMustExist;
  numbers_[prop::dlg::kOverwritePrompt] = p.overwritePrompt;
  numbers_[prop::dlg::kPathMustExist] = p.pathMustExist;
  numbers_[prop::dlg::kNoChangeDir] = p.noChangeDir;
  numbers_[prop::dlg::kFontColor] = p.fontColor;
  numbers_[prop::dlg::kBold] = p.bold;
  numbers_[prop::dlg::kItalic] = p.italic;
  numbers_[prop::dlg::kStrikeOut] = p.strikeOut;
  numbers_[prop::dlg::kUnderline] = p.underline;
  numbers_[prop::dlg::kFontSize] = p.fontSize;
  title_ = L(p.title);
  fileName_ = L(p.fileName);
  filter_ = L(p.filter);
  initialDir_ = L(p.initialDir);
  defaultExt_ = L(p.defaultExt);
  faceName_ = L(p.faceName);
  return true;
}

std::optional<PropertyValue> CommonDlgUnit::TypeProperty(int index) const {
  switch (index) {
    case prop::dlg::kTitle: return title_;
    case prop::dlg::kFileName: return fileName_;
    case prop::dlg::kFilter: return filter_;
    case prop::dlg::kInitialDir: return initialDir_;
    case prop::dlg::kDefaultExt: return defaultExt_;
    case prop::dlg::kFaceName: return faceName_;
    default:
      if (index >= prop::dlg::kFirst && index <= prop::dlg::kLast) return numbers_[index];
      return std::nullopt;
  }
}

void CommonDlgUnit::SetTypeProperty(int index, const PropertyValue& value) {
  switch (index) {
    case prop::dlg::kTitle: title_ = TextOf(value); return;
    case prop::dlg::kFileName: fileName_ = TextOf(value); return;
    case prop::dlg::kFilter: filter_ = TextOf(value); return;
    case prop::dlg::kInitialDir: initialDir_ = TextOf(value); return;
    case prop::dlg::kDefaultExt: defaultExt_ = TextOf(value); return;
    case prop::dlg::kFaceName: faceName_ = TextOf(value); return;
    default:
      if (index >= prop::dlg::kFirst && index <= prop::dlg::kLast) numbers_[index] = NumberOf(value);
  }
}

bool CommonDlgUnit::Open() {
  switch (numbers_[prop::dlg::kKind]) {
    case prop::dlg::kOpenFile:
    case prop::dlg::kSaveFile: return OpenFile();
    case prop::dlg::kFont: return OpenFont();
    default: return false;  // no help files on this platform
  }
}

// The filter is pairs of a description and its patterns, all separated by "|"; Qt wants one
// "description (patterns)" entry per pair, patterns separated by spaces.
bool CommonDlgUnit::OpenFile() {
  FileDialogRequest request;
  request.save = numbers_[prop::dlg::kKind] == prop::dlg::kSaveFile;
  request.title = ToQString(title_);
  request.directory = ToQString(initialDir_);
  request.fileName = ToQString(fileName_);
  const QStringList pieces = ToQString(filter_).split(QChar('|'));
  for (int i = 0; i + 1 < pieces.size(); i += 2) {
    const QString description = pieces[i];
    QString patterns = pieces[i + 1];
    patterns.replace(QChar(';'), QChar(' '));
    if (description.isEmpty() && patterns.isEmpty()) break;
    // A description that already ends in its patterns, as "sqlite数据库文件(*.nvx)", is used as is.
    const bool named = description.endsWith(QStringLiteral("(") + patterns + QStringLiteral(")"));
    request.filters << (named ? description
                              : description + QStringLiteral(" (") + patterns + QStringLiteral(")"));
  }
  if (!request.filters.isEmpty()) request.selectedFilter = std::max(0, numbers_[prop::dlg::kFilterIndex]);
  // The form stores the default extension with its wildcard ("*.nvx"); the dialog wants "nvx".
  QString suffix = ToQString(defaultExt_);
  while (suffix.startsWith(QChar('*')) || suffix.startsWith(QChar('.'))) suffix.remove(0, 1);
  request.defaultSuffix = suffix;
  request.createPrompt = numbers_[prop::dlg::kCreatePrompt] != 0;
  // The forms ask for an existing file in every dialog; a save dialog that insisted on one could
  // never save under a new name, so there the flag only applies to opening.
  request.fileMustExist = numbers_[prop::dlg::kFileMustExist] != 0 && !request.save;
  request.overwritePrompt = numbers_[prop::dlg::kOverwritePrompt] != 0;
  request.pathMustExist = numbers_[prop::dlg::kPathMustExist] != 0;
  const auto chosen = CurrentInteraction().FileDialog(request);
  if (!chosen) return false;
  fileName_ = FromQString(QDir::toNativeSeparators(QFileInfo(*chosen).absoluteFilePath()));
  return true;
}

bool CommonDlgUnit::OpenFont() {
  FontChoice initial;
  initial.face = ToQString(faceName_);
  initial.pointSize = numbers_[prop::dlg::kFontSize];
  initial.bold = numbers_[prop::dlg::kBold] != 0;
  initial.italic = numbers_[prop::dlg::kItalic] != 0;
  initial.strikeOut = numbers_[prop::dlg::kStrikeOut] != 0;
  initial.underline = numbers_[prop::dlg::kUnderline] != 0;
  initial.color = ToQColor(numbers_[prop::dlg::kFontColor], Qt::black);
  const auto chosen = CurrentInteraction().FontDialog(initial);
  if (!chosen) return false;
  faceName_ = FromQString(chosen->face);
  numbers_[prop::dlg::kFontSize] = chosen->pointSize;
  numbers_[prop::dlg::kBold] = chosen->bold;
  numbers_[prop::dlg::kItalic] = chosen->italic;
  numbers_[prop::dlg::kStrikeOut] = chosen->strikeOut;
  numbers_[prop::dlg::kUnderline] = chosen->underline;
  numbers_[prop::dlg::kFontColor] = FromQColor(chosen->color);
  return true;
}

}  // namespace nvx
