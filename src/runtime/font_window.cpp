#include "runtime/font_window.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPixmap>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace nvx {
namespace {

// The styles every family offers, in the order of their bits: italic 1, bold 2.
constexpr const char* kStyles[] = {"常规", "倾斜", "粗体", "粗偏斜体"};
constexpr int kItalicBit = 1;
constexpr int kBoldBit = 2;
constexpr int kSizes[] = {8, 9, 10, 11, 12, 14, 16, 18, 20, 22, 24, 26, 28, 36, 48, 72};
// The largest size a stored format can carry.
constexpr int kMaxSize = 1638;

QIcon Swatch(const QColor& color) {
  QPixmap pixmap(16, 16);
  pixmap.fill(color.isValid() ? color : QColor(Qt::black));
  return QIcon(pixmap);
}

QListWidget* MakeList(const QString& name, int width) {
  auto* list = new QListWidget;
  list->setObjectName(name);
  list->setMinimumWidth(width);
  list->setFixedHeight(150);
  return list;
}

}  // namespace

QString FontWindow::ShownFamily(const QString& face) {
  if (face.isEmpty()) return QFontInfo(QFont()).family();
  if (QFontDatabase::hasFamily(face)) {
    // The database's own spelling of the name, as the list shows it.
    for (const QString& family : QFontDatabase::families())
      if (family.compare(face, Qt::CaseInsensitive) == 0) return family;
  }
  return QFontInfo(QFont(face)).family();
}

FontWindow::FontWindow(const FontChoice& initial, ColorPicker pickColor, QWidget* parent)
    : QDialog(parent), initial_(initial), pickColor_(std::move(pickColor)), color_(initial.color) {
  setObjectName(QStringLiteral("fontWindow"));
  setWindowTitle(QStringLiteral("字体"));
  initialFamily_ = ShownFamily(initial.face);
  MakeControls();
  LayOut();
  ShowInitial();
  Connect();
  ShowSample();
  familyEdit_->setFocus();
}

void FontWindow::MakeControls() {
  familyEdit_ = new QLineEdit;
  familyEdit_->setObjectName(QStringLiteral("familyEdit"));
  families_ = MakeList(QStringLiteral("familyList"), 200);
  families_->addItems(QFontDatabase::families());
  styles_ = MakeList(QStringLiteral("styleList"), 100);
  for (const char* style : kStyles) styles_->addItem(QString::fromUtf8(style));
  size_ = new QComboBox;
  size_->setObjectName(QStringLiteral("sizeBox"));
  size_->setEditable(true);
  size_->setInsertPolicy(QComboBox::NoInsert);
  size_->setValidator(new QIntValidator(1, kMaxSize, size_));
  for (int s : kSizes) size_->addItem(QString::number(s));

  strikeOut_ = new QCheckBox(QStringLiteral("删除线(&K)"));
  strikeOut_->setObjectName(QStringLiteral("strikeOut"));
  underline_ = new QCheckBox(QStringLiteral("下划线(&U)"));
  underline_->setObjectName(QStringLiteral("underline"));
  colorButton_ = new QPushButton(QStringLiteral("颜色(&C)…"));
  colorButton_->setObjectName(QStringLiteral("colorButton"));
  colorButton_->setAutoDefault(false);
  colorButton_->setIcon(Swatch(color_));

  sample_ = new QLabel(QStringLiteral("微软中文软件 AaBbYyZz"));
  sample_->setObjectName(QStringLiteral("sample"));
  sample_->setAlignment(Qt::AlignCenter);
  sample_->setFixedHeight(70);
  sample_->setAutoFillBackground(true);
}

// The family, style and size lists above; the effects and the sample below; the buttons last.
void FontWindow::LayOut() {
  auto* grid = new QGridLayout;
  const auto label = [](const char* text, QWidget* buddy) {
    auto* l = new QLabel(QString::fromUtf8(text));
    l->setBuddy(buddy);
    return l;
  };
  grid->addWidget(label("字体(&F)：", familyEdit_), 0, 0);
  grid->addWidget(label("字形(&Y)：", styles_), 0, 1);
  grid->addWidget(label("大小(&S)：", size_), 0, 2);
  grid->addWidget(familyEdit_, 1, 0);
  grid->addWidget(size_, 1, 2);
  grid->addWidget(families_, 2, 0);
  grid->addWidget(styles_, 1, 1, 2, 1, Qt::AlignBottom);
  grid->setColumnStretch(0, 1);
  styles_->setFixedWidth(110);
  size_->setFixedWidth(80);

  auto* effects = new QGroupBox(QStringLiteral("效果"));
  auto* effectsLayout = new QVBoxLayout(effects);
  effectsLayout->addWidget(strikeOut_);
  effectsLayout->addWidget(underline_);
  effectsLayout->addWidget(colorButton_);
  auto* sampleBox = new QGroupBox(QStringLiteral("示例"));
  auto* sampleLayout = new QVBoxLayout(sampleBox);
  sampleLayout->addWidget(sample_);
  auto* lower = new QHBoxLayout;
  lower->addWidget(effects);
  lower->addWidget(sampleBox, 1);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("确定"));
  buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("取消"));
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(grid);
  layout->addLayout(lower);
  layout->addWidget(buttons);
}

// The starting point: the shown family, the style of the bold and italic flags, the size.
void FontWindow::ShowInitial() {
  const QList<QListWidgetItem*> found = families_->findItems(initialFamily_, Qt::MatchFixedString);
  if (!found.isEmpty()) families_->setCurrentItem(found.first());
  familyEdit_->setText(found.isEmpty() ? initial_.face : found.first()->text());
  styles_->setCurrentRow((initial_.bold ? kBoldBit : 0) | (initial_.italic ? kItalicBit : 0));
  size_->setCurrentText(QString::number(initial_.pointSize > 0 ? initial_.pointSize : 9));
  strikeOut_->setChecked(initial_.strikeOut);
  underline_->setChecked(initial_.underline);
  if (QListWidgetItem* current = families_->currentItem()) families_->scrollToItem(current);
}

// Every change of a control shows in the sample.
void FontWindow::Connect() {
  connect(families_, &QListWidget::currentTextChanged, this, [this](const QString& text) {
    const QSignalBlocker quiet(familyEdit_);
    familyEdit_->setText(text);
    ShowSample();
  });
  connect(familyEdit_, &QLineEdit::textEdited, this, &FontWindow::FamilyTyped);
  connect(styles_, &QListWidget::currentRowChanged, this, &FontWindow::ShowSample);
  connect(size_, &QComboBox::currentTextChanged, this, &FontWindow::ShowSample);
  connect(strikeOut_, &QCheckBox::toggled, this, &FontWindow::ShowSample);
  connect(underline_, &QCheckBox::toggled, this, &FontWindow::ShowSample);
  connect(colorButton_, &QPushButton::clicked, this, [this] {
    if (!pickColor_) return;
    if (const auto chosen = pickColor_(color_.isValid() ? color_ : QColor(Qt::black))) {
      color_ = *chosen;
      colorButton_->setIcon(Swatch(color_));
      ShowSample();
    }
  });
}

// Typing a name selects the first family that begins with it.
void FontWindow::FamilyTyped(const QString& text) {
  for (int i = 0; i < families_->count(); ++i) {
    if (families_->item(i)->text().startsWith(text, Qt::CaseInsensitive)) {
      const QSignalBlocker quiet(families_);
      families_->setCurrentRow(i);
      families_->scrollToItem(families_->item(i));
      break;
    }
  }
  ShowSample();
}

QString FontWindow::Family() const {
  const QString typed = familyEdit_->text().trimmed();
  if (QListWidgetItem* current = families_->currentItem()) {
    if (typed.isEmpty() || current->text().startsWith(typed, Qt::CaseInsensitive)) return current->text();
  }
  return typed;
}

void FontWindow::ShowSample() {
  const FontChoice now = Choice();
  QFont font(Family());
  font.setPointSize(now.pointSize);
  font.setBold(now.bold);
  font.setItalic(now.italic);
  font.setUnderline(now.underline);
  font.setStrikeOut(now.strikeOut);
  sample_->setFont(font);
  QPalette pal = sample_->palette();
  pal.setColor(QPalette::WindowText, color_.isValid() ? color_ : QColor(Qt::black));
  sample_->setPalette(pal);
}

FontChoice FontWindow::Choice() const {
  FontChoice c;
  const QString chosen = Family();
  // The family the face was shown with, left alone, is still that face.
  const bool untouched = chosen.isEmpty() || chosen.compare(initialFamily_, Qt::CaseInsensitive) == 0;
  c.face = untouched && !initial_.face.isEmpty() ? initial_.face : chosen;
  bool sized = false;
  const int size = size_->currentText().toInt(&sized);
  c.pointSize = sized && size > 0 ? std::min(size, kMaxSize) : initial_.pointSize;
  const int style = std::max(0, styles_->currentRow());
  c.bold = (style & kBoldBit) != 0;
  c.italic = (style & kItalicBit) != 0;
  c.underline = underline_->isChecked();
  c.strikeOut = strikeOut_->isChecked();
  c.color = color_;
  return c;
}

}  // namespace nvx
