// The rich edit box: a plain-text editor whose whole text has one character format.
#include <QAbstractTextDocumentLayout>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>

#include "runtime/qt_text.h"
#include "runtime/unit_types.h"

namespace nvx {
namespace {

// The program's texts break lines with CR LF, a lone LF or a lone CR; each is one line break in
// the box. What the box gives back breaks lines with CR LF.
QString toBoxText(const QString& s) {
  QString out;
  out.reserve(s.size());
  for (qsizetype i = 0; i < s.size(); ++i) {
    const QChar c = s[i];
    if (c == QChar('\r')) {
      out += QChar('\n');
      if (i + 1 < s.size() && s[i + 1] == QChar('\n')) ++i;
    } else {
      out += c;
    }
  }
  return out;
}

QString fromBoxText(QString s) {
  s.replace(QChar::ParagraphSeparator, QChar('\n'));
  s.replace(QChar::LineSeparator, QChar('\n'));
  s.replace(QChar('\n'), QStringLiteral("\r\n"));
  return s;
}

}  // namespace

bool RichEditUnit::create(QWidget* container) {
  const auto& p = std::get<forms::RichEditProps>(def().props);
  edit_ = new QPlainTextEdit(container);
  edit_->setLineWrapMode(p.wrap ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
  edit_->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  edit_->setHorizontalScrollBarPolicy(p.wrap ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAsNeeded);
  edit_->setReadOnly(p.readOnly);
  edit_->setTabChangesFocus(false);
  if (p.border == 0) edit_->setFrameShape(QFrame::NoFrame);
  backColor_ = p.backColor;
  CharFormat initial;
  initial.faceName = L(p.faceName);
  initial.size = p.fontSize;
  initial.color = forms::kDefaultColor;
  setCharFormat(initial);
  setTypeProperty(11, backColor_);
  attach(edit_);
  QObject::connect(edit_, &QPlainTextEdit::textChanged, this, [this] { raise(forms::event::kChanged); });
  QObject::connect(edit_, &QPlainTextEdit::selectionChanged, this,
                   [this] { raise(forms::event::kSelectionChanged); });
  QObject::connect(edit_->document(), &QTextDocument::contentsChanged, this, [this] {
    if (edit_->document()->isModified()) textKept_ = false;
  });
  return true;
}

void RichEditUnit::setText(const Text& text) {
  edit_->setPlainText(toBoxText(toQString(text)));
  edit_->document()->setModified(false);
  setText_ = text;
  textKept_ = true;
}

Text RichEditUnit::text() const {
  if (textKept_ && !edit_->document()->isModified()) return setText_;
  // The raw text: the plain-text form would turn no-break spaces into ordinary ones.
  return fromQString(fromBoxText(edit_->document()->toRawText()));
}

// Lines as the box shows them, wrapped lines included. The layout lays blocks out lazily, so
// every block is laid out first; an empty box has one line.
std::int32_t RichEditUnit::lineCount() const {
  QTextDocument* doc = edit_->document();
  QAbstractTextDocumentLayout* layout = doc->documentLayout();
  int lines = 0;
  for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
    layout->blockBoundingRect(b);
    lines += std::max(1, b.lineCount());
  }
  return std::max(1, lines);
}

// The first visible line counts wrapped lines too: the box scrolls line by line, so the scroll
// position is that line's number.
std::int32_t RichEditUnit::firstVisibleLine() const { return edit_->verticalScrollBar()->value(); }

bool RichEditUnit::setCharFormat(const CharFormat& format) {
  QFont font(toQString(format.faceName));
  // The box shows what it can of a size the stored format allows but a font does not.
  font.setPointSize(std::clamp(format.size, 1, 1638));
  font.setBold(format.effects & kEffectBold);
  font.setItalic(format.effects & kEffectItalic);
  font.setUnderline(format.effects & kEffectUnderline);
  font.setStrikeOut(format.effects & kEffectStrikeOut);
  edit_->setFont(font);
  edit_->document()->setDefaultFont(font);
  QPalette pal = edit_->palette();
  const QColor automatic = QPalette().color(QPalette::Text);
  pal.setColor(QPalette::Text, toQColor(format.color, automatic));
  edit_->setPalette(pal);
  return true;
}

std::int32_t RichEditUnit::findText(std::int32_t start, bool matchCase, bool wholeWord, const QString& text) const {
  if (text.isEmpty()) return -1;
  QTextDocument::FindFlags flags;
  if (matchCase) flags |= QTextDocument::FindCaseSensitively;
  if (wholeWord) flags |= QTextDocument::FindWholeWords;
  const QTextCursor found = edit_->document()->find(text, std::max(0, start), flags);
  return found.isNull() ? -1 : found.selectionStart();
}

// The box's plain text has one character per position, a line break included, so an index in it
// is a position in the box.
std::int32_t RichEditUnit::findTextBackward(std::int32_t start, bool matchCase, const QString& text) const {
  if (text.isEmpty() || start < 0) return -1;
  const QString all = edit_->document()->toRawText();
  // A start past the end (the last result came from a longer text) searches from the end.
  const qsizetype from = std::min<qsizetype>(start, all.size());
  const qsizetype at = all.lastIndexOf(text, from, matchCase ? Qt::CaseSensitive : Qt::CaseInsensitive);
  return static_cast<std::int32_t>(at);
}

// Properties: 8 text format, 9 whole text, 11 background colour, 17 selection start, 18 selection
// length (-1 the whole text), 19 selected text, 20 modified.
std::optional<PropertyValue> RichEditUnit::typeProperty(int index) const {
  const QTextCursor c = edit_->textCursor();
  switch (index) {
    case 8: return std::int32_t{0};
    case 9: return text();
    case 11: return backColor_;
    case 17: return static_cast<std::int32_t>(c.selectionStart());
    case 18: return static_cast<std::int32_t>(c.selectionEnd() - c.selectionStart());
    case 19: return fromQString(fromBoxText(c.selectedText()));
    case 20: return static_cast<std::int32_t>(edit_->document()->isModified());
    default: return std::nullopt;
  }
}

void RichEditUnit::setTypeProperty(int index, const PropertyValue& value) {
  QTextCursor c = edit_->textCursor();
  const int end = static_cast<int>(edit_->document()->characterCount()) - 1;
  switch (index) {
    case 9:
      setText(textOf(value));
      return;
    case 11: {
      backColor_ = numberOf(value);
      QPalette pal = edit_->palette();
      pal.setColor(QPalette::Base, toQColor(backColor_, Qt::white));
      edit_->setPalette(pal);
      return;
    }
    case 17:
      c.setPosition(std::clamp(numberOf(value), 0, end));
      edit_->setTextCursor(c);
      return;
    case 18: {
      const int length = std::max(-1, numberOf(value));
      if (length == -1) {
        c.setPosition(0);
        c.setPosition(end, QTextCursor::KeepAnchor);
      } else {
        const int from = c.selectionStart();
        c.setPosition(from);
        c.setPosition(std::min(end, from + length), QTextCursor::KeepAnchor);
      }
      edit_->setTextCursor(c);
      return;
    }
    case 19:
      c.insertText(toBoxText(toQString(textOf(value))));
      edit_->setTextCursor(c);
      return;
    case 20:
      edit_->document()->setModified(numberOf(value) != 0);
      return;
    default:
      return;
  }
}

}  // namespace nvx
