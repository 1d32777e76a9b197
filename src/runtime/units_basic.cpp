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
QString withLineFeeds(const QString& s) {
  QString out = s;
  out.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  out.replace(QChar('\r'), QChar('\n'));
  return out;
}

QString withCrLf(const QString& s) {
  QString out = s;
  out.replace(QChar('\n'), QStringLiteral("\r\n"));
  return out;
}

Qt::Alignment alignment(int horizontal, int vertical) {
  Qt::Alignment a = horizontal == 1 ? Qt::AlignHCenter : horizontal == 2 ? Qt::AlignRight : Qt::AlignLeft;
  a |= vertical == 1 ? Qt::AlignVCenter : vertical == 2 ? Qt::AlignBottom : Qt::AlignTop;
  return a;
}

void setColors(QWidget* w, QPalette::ColorRole textRole, std::int32_t text, QPalette::ColorRole backRole,
               std::int32_t back) {
  QPalette pal = w->palette();
  pal.setColor(textRole, toQColor(text, pal.color(textRole)));
  if (back != kDefaultColor) {
    pal.setColor(backRole, toQColor(back, pal.color(backRole)));
    w->setAutoFillBackground(backRole == QPalette::Window);
  }
  w->setPalette(pal);
}

}  // namespace

// ---- Button and SuperBtn: push buttons; clicked is event 0.

bool ButtonUnit::create(QWidget* container) {
  button_ = new QPushButton(container);
  button_->setAutoDefault(false);
  if (const auto* p = std::get_if<ButtonProps>(&def().props)) {
    button_->setText(QString::fromUtf8(p->caption));
    button_->setDefault(p->kind == 1);
  } else if (const auto* s = std::get_if<SuperBtnProps>(&def().props)) {
    button_->setText(QString::fromUtf8(s->caption));
  }
  attach(button_);
  QObject::connect(button_, &QPushButton::clicked, this, [this] { raise(event::kClicked); });
  return true;
}

std::optional<PropertyValue> ButtonUnit::typeProperty(int index) const {
  const bool super = def().type == UnitType::SuperBtn;
  if (index == (super ? 8 : 10)) return fromQString(button_->text());
  if (!super && index == 9) return static_cast<std::int32_t>(button_->isDefault());
  return std::nullopt;
}

void ButtonUnit::setTypeProperty(int index, const PropertyValue& value) {
  const bool super = def().type == UnitType::SuperBtn;
  if (index == (super ? 8 : 10)) button_->setText(toQString(textOf(value)));
  if (!super && index == 9) button_->setDefault(numberOf(value) == 1);
}

// ---- EditBox: a single-line QLineEdit, or a QPlainTextEdit for the multi-line kind.

bool EditBoxUnit::create(QWidget* container) {
  const auto& p = std::get<EditBoxProps>(def().props);
  const QString text = QString::fromUtf8(p.text);
  QWidget* w = nullptr;
  if (p.multiLine) {
    lines_ = new QPlainTextEdit(container);
    lines_->setPlainText(withLineFeeds(text));
    lines_->setReadOnly(p.inputMode == 1);
    lines_->setVerticalScrollBarPolicy((p.scrollBars & 2) ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
    lines_->setHorizontalScrollBarPolicy((p.scrollBars & 1) ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
    lines_->setLineWrapMode((p.scrollBars & 1) ? QPlainTextEdit::NoWrap : QPlainTextEdit::WidgetWidth);
    setColors(lines_, QPalette::Text, p.textColor, QPalette::Base, p.backColor);
    QObject::connect(lines_, &QPlainTextEdit::textChanged, this, [this] { raise(event::kChanged); });
    w = lines_;
  } else {
    line_ = new QLineEdit(container);
    line_->setText(text);
    line_->setReadOnly(p.inputMode == 1);
    if (p.inputMode == 2) line_->setEchoMode(QLineEdit::Password);
    if (p.maxLength > 0) line_->setMaxLength(p.maxLength);
    line_->setAlignment(alignment(p.align, 1));
    setColors(line_, QPalette::Text, p.textColor, QPalette::Base, p.backColor);
    QObject::connect(line_, &QLineEdit::textChanged, this, [this] { raise(event::kChanged); });
    w = line_;
  }
  if (p.border == 0) {
    if (auto* frame = qobject_cast<QFrame*>(w)) frame->setFrameShape(QFrame::NoFrame);
    if (line_) line_->setFrame(false);
  }
  attach(w);
  return true;
}

std::optional<PropertyValue> EditBoxUnit::typeProperty(int index) const {
  if (index != 8) return std::nullopt;
  return fromQString(line_ ? line_->text() : withCrLf(lines_->toPlainText()));
}

void EditBoxUnit::setTypeProperty(int index, const PropertyValue& value) {
  if (index != 8) return;
  const QString text = toQString(textOf(value));
  if (line_) {
    line_->setText(text);
  } else {
    lines_->setPlainText(withLineFeeds(text));
  }
}

// ---- Label.

bool LabelUnit::create(QWidget* container) {
  const auto& p = std::get<LabelProps>(def().props);
  label_ = new QLabel(withLineFeeds(QString::fromUtf8(p.caption)), container);
  label_->setWordWrap(p.wordWrap);
  label_->setAlignment(alignment(p.hAlign, p.wordWrap ? 0 : p.vAlign));
  label_->setTextFormat(Qt::PlainText);
  setColors(label_, QPalette::WindowText, p.textColor, QPalette::Window, p.backColor);
  attach(label_);
  return true;
}

std::optional<PropertyValue> LabelUnit::typeProperty(int index) const {
  if (index != 8) return std::nullopt;
  return fromQString(withCrLf(label_->text()));
}

void LabelUnit::setTypeProperty(int index, const PropertyValue& value) {
  if (index == 8) label_->setText(withLineFeeds(toQString(textOf(value))));
}

// ---- GroupBox: holds the controls that name it as their container, at positions inside it.

bool GroupBoxUnit::create(QWidget* container) {
  const auto& p = std::get<GroupBoxProps>(def().props);
  auto* box = new QGroupBox(QString::fromUtf8(p.caption), container);
  attach(box);
  return true;
}

std::optional<PropertyValue> GroupBoxUnit::typeProperty(int index) const {
  if (index != 8) return std::nullopt;
  return fromQString(static_cast<QGroupBox*>(widget())->title());
}

void GroupBoxUnit::setTypeProperty(int index, const PropertyValue& value) {
  if (index == 8) static_cast<QGroupBox*>(widget())->setTitle(toQString(textOf(value)));
}

// ---- ColorPicker: a button showing its colour; choosing opens the colour dialog.

bool ColorPickerUnit::create(QWidget* container) {
  const auto& p = std::get<ColorPickerProps>(def().props);
  color_ = p.color;
  flag_ = p.flag;
  button_ = new QPushButton(container);
  button_->setAutoDefault(false);
  showColor();
  attach(button_);
  QObject::connect(button_, &QPushButton::clicked, this, [this] {
    if (auto chosen = interaction().colorDialog(toQColor(color_, Qt::white))) {
      color_ = fromQColor(*chosen);
      showColor();
    }
  });
  return true;
}

void ColorPickerUnit::showColor() {
  const QSize size(std::max(8, def().rect.width - 16), std::max(8, def().rect.height - 12));
  QPixmap swatch(size);
  swatch.fill(toQColor(color_, Qt::white));
  QPainter(&swatch).drawRect(0, 0, size.width() - 1, size.height() - 1);
  button_->setIcon(QIcon(swatch));
  button_->setIconSize(size);
  button_->setToolTip(toQColor(color_, Qt::white).name());
}

std::optional<PropertyValue> ColorPickerUnit::typeProperty(int index) const {
  if (index == 8) return color_;
  if (index == 9) return static_cast<std::int32_t>(flag_);
  return std::nullopt;
}

void ColorPickerUnit::setTypeProperty(int index, const PropertyValue& value) {
  if (index == 8) {
    color_ = numberOf(value);
    showColor();
  } else if (index == 9) {
    flag_ = numberOf(value) != 0;
  }
}

// ---- CommonDlg: properties 8 kind, 9 title, 10 file name, 11 filter, 12 filter index,
// 13 initial directory, 14 default extension, 15-19 file-dialog flags, 20 font colour, 21 bold,
// 22 italic, 23 strike-out, 24 underline, 25 face name, 26 size.

bool CommonDlgUnit::create(QWidget* /*container*/) {
  const auto& p = std::get<CommonDlgProps>(def().props);
  numbers_[8] = p.kind;
  numbers_[12] = p.filterIndex;
  numbers_[15] = p.createPrompt;
  numbers_[16] = p.fileMustExist;
  numbers_[17] = p.overwritePrompt;
  numbers_[18] = p.pathMustExist;
  numbers_[19] = p.noChangeDir;
  numbers_[20] = p.fontColor;
  numbers_[21] = p.bold;
  numbers_[22] = p.italic;
  numbers_[23] = p.strikeOut;
  numbers_[24] = p.underline;
  numbers_[26] = p.fontSize;
  title_ = L(p.title);
  fileName_ = L(p.fileName);
  filter_ = L(p.filter);
  initialDir_ = L(p.initialDir);
  defaultExt_ = L(p.defaultExt);
  faceName_ = L(p.faceName);
  return true;
}

std::optional<PropertyValue> CommonDlgUnit::typeProperty(int index) const {
  switch (index) {
    case 9: return title_;
    case 10: return fileName_;
    case 11: return filter_;
    case 13: return initialDir_;
    case 14: return defaultExt_;
    case 25: return faceName_;
    default:
      if (index >= 8 && index <= 26) return numbers_[index];
      return std::nullopt;
  }
}

void CommonDlgUnit::setTypeProperty(int index, const PropertyValue& value) {
  switch (index) {
    case 9: title_ = textOf(value); return;
    case 10: fileName_ = textOf(value); return;
    case 11: filter_ = textOf(value); return;
    case 13: initialDir_ = textOf(value); return;
    case 14: defaultExt_ = textOf(value); return;
    case 25: faceName_ = textOf(value); return;
    default:
      if (index >= 8 && index <= 26) numbers_[index] = numberOf(value);
  }
}

bool CommonDlgUnit::open() {
  switch (numbers_[8]) {
    case 0:
    case 1: return openFile();
    case 2: return openFont();
    default: return false;  // no help files on this platform
  }
}

// The filter is pairs of a description and its patterns, all separated by "|"; Qt wants one
// "description (patterns)" entry per pair, patterns separated by spaces.
bool CommonDlgUnit::openFile() {
  FileDialogRequest request;
  request.save = numbers_[8] == 1;
  request.title = toQString(title_);
  request.directory = toQString(initialDir_);
  request.fileName = toQString(fileName_);
  const QStringList pieces = toQString(filter_).split(QChar('|'));
  for (int i = 0; i + 1 < pieces.size(); i += 2) {
    const QString description = pieces[i];
    QString patterns = pieces[i + 1];
    patterns.replace(QChar(';'), QChar(' '));
    if (description.isEmpty() && patterns.isEmpty()) break;
    // A description that already ends in its patterns, as "sqlite数据库文件(*.nvx)", is used as is.
    const bool named = description.endsWith(QStringLiteral("(") + patterns + QStringLiteral(")"));
    request.filters << (named ? description : description + QStringLiteral(" (") + patterns + QStringLiteral(")"));
  }
  if (!request.filters.isEmpty()) request.selectedFilter = std::max(0, numbers_[12]);
  // The form stores the default extension with its wildcard ("*.nvx"); the dialog wants "nvx".
  QString suffix = toQString(defaultExt_);
  while (suffix.startsWith(QChar('*')) || suffix.startsWith(QChar('.'))) suffix.remove(0, 1);
  request.defaultSuffix = suffix;
  request.createPrompt = numbers_[15] != 0;
  // The forms ask for an existing file in every dialog; a save dialog that insisted on one could
  // never save under a new name, so there the flag only applies to opening.
  request.fileMustExist = numbers_[16] != 0 && !request.save;
  request.overwritePrompt = numbers_[17] != 0;
  request.pathMustExist = numbers_[18] != 0;
  const auto chosen = interaction().fileDialog(request);
  if (!chosen) return false;
  fileName_ = fromQString(QDir::toNativeSeparators(QFileInfo(*chosen).absoluteFilePath()));
  return true;
}

bool CommonDlgUnit::openFont() {
  FontChoice initial;
  initial.face = toQString(faceName_);
  initial.pointSize = numbers_[26];
  initial.bold = numbers_[21] != 0;
  initial.italic = numbers_[22] != 0;
  initial.strikeOut = numbers_[23] != 0;
  initial.underline = numbers_[24] != 0;
  initial.color = toQColor(numbers_[20], Qt::black);
  const auto chosen = interaction().fontDialog(initial);
  if (!chosen) return false;
  faceName_ = fromQString(chosen->face);
  numbers_[26] = chosen->pointSize;
  numbers_[21] = chosen->bold;
  numbers_[22] = chosen->italic;
  numbers_[23] = chosen->strikeOut;
  numbers_[24] = chosen->underline;
  numbers_[20] = fromQColor(chosen->color);
  return true;
}

}  // namespace nvx
