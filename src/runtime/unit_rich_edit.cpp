// The rich edit box: a plain-text editor whose whole text has one character format.
//
// The box lays out only the part of the text it shows, so a long article appears as fast as a bare
// text box can show it. What needs every line (the line count, the first visible line's number)
// comes from counting the lines block by block with the box's own layout rules, a slice at a time
// in idle time when the caller can wait, at once when it cannot.
#include <QAbstractTextDocumentLayout>
#include <QDeadlineTimer>
#include <QPlainTextDocumentLayout>
#include <QPlainTextEdit>
#include <QResizeEvent>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <QTimer>
#include <climits>
#ifdef __GLIBC__
#include <malloc.h>
#endif

#include "runtime/operation_unit.h"
#include "runtime/qt_text.h"
#include "runtime/unit_types.h"

namespace nvx {
namespace {

// The program's texts break lines with CR LF, a lone LF or a lone CR; each is one line break in
// the box. What the box gives back breaks lines with CR LF.
QString ToBoxText(QString s) {
  if (!s.contains(QChar('\r'))) return s;
  s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  s.replace(QChar('\r'), QChar('\n'));
  return s;
}

QString FromBoxText(QString s) {
  s.replace(QChar::ParagraphSeparator, QChar('\n'));
  s.replace(QChar::LineSeparator, QChar('\n'));
  s.replace(QChar('\n'), QStringLiteral("\r\n"));
  return s;
}

// A search text that holds a line break matches nothing: a match never spans two lines of the box.
bool SpansLines(const QString& text) {
  for (const QChar c : text)
    if (c == QChar('\n') || c == QChar('\r') || c == QChar::ParagraphSeparator) return true;
  return false;
}

bool IsWholeWord(const QString& all, qsizetype at, qsizetype length) {
  const qsizetype end = at + length;
  return (at == 0 || !all[at - 1].isLetterOrNumber()) && (end == all.size() || !all[end].isLetterOrNumber());
}

constexpr int kCountSliceMs = 15;

// A long text passes through several whole copies on its way into the box (unpacked bytes, code
// page conversion) and counting its lines makes many small layouts; once they are freed, the heap
// keeps their pages. Give them back to the system after the caller's handler has returned.
constexpr qsizetype kLongText = 1 << 20;

}  // namespace

void ReleaseFreedMemory() {
#ifdef __GLIBC__
  QTimer::singleShot(0, [] { malloc_trim(0); });
#endif
}

// How the box breaks a block into lines: its font, text options and the width a line may take.
struct LineRules {
  QFont font;
  QTextOption option;
  qreal lineWidth = 0;

  bool operator==(const LineRules& o) const {
    return font == o.font && lineWidth == o.lineWidth && option.wrapMode() == o.option.wrapMode() &&
           option.flags() == o.option.flags() && option.tabStopDistance() == o.option.tabStopDistance() &&
           option.tabs() == o.option.tabs() && option.alignment() == o.option.alignment() &&
           option.textDirection() == o.option.textDirection();
  }
};

// Counts the lines of a snapshot of the box's text (blocks separated by U+2029, as the document
// keeps them) under given rules: each block through a text layout of its own, as the box's
// document layout lays out a block, without keeping the layouts. Runs in slices: a slice may stop
// inside a long block and go on with it later.
class LineCounter {
 public:
  LineCounter(QString text, LineRules rules, std::uint64_t generation)
      : text_(std::move(text)), rules_(std::move(rules)), generation_(generation) {
    layout_.setFont(rules_.font);
    layout_.setTextOption(rules_.option);
  }

  bool CountsFor(std::uint64_t generation, const LineRules& rules) const {
    return generation == generation_ && rules == rules_;
  }
  const LineRules& Rules() const { return rules_; }
  bool Finished() const { return next_ > text_.size(); }
  std::size_t BlocksCounted() const { return before_.size() - 1; }
  // Lines of the blocks before block `block` (at most BlocksCounted()).
  std::int32_t LinesBefore(std::size_t block) const { return before_[block]; }
  std::int32_t Lines(std::size_t block) const { return before_[block + 1] - before_[block]; }
  std::int32_t Total() const { return std::max(1, before_.back()); }
  // Counts until the deadline passes, `blocks` blocks are counted or the text is done.
  void Run(const QDeadlineTimer& deadline, std::size_t blocks = SIZE_MAX) {
    while (!Finished() && BlocksCounted() < blocks) {
      if (!inBlock_) {
        blockEnd_ = text_.indexOf(QChar::ParagraphSeparator, next_);
        if (blockEnd_ < 0) blockEnd_ = text_.size();
        layout_.setText(text_.sliced(next_, blockEnd_ - next_));
        layout_.beginLayout();
        inBlock_ = true;
        blockLines_ = 0;
      }
      for (;;) {
        QTextLine line = layout_.createLine();
        if (!line.isValid()) break;
        line.setLineWidth(rules_.lineWidth);
        if ((++blockLines_ & 63) == 0 && deadline.hasExpired()) return;
      }
      layout_.endLayout();
      inBlock_ = false;
      before_.push_back(before_.back() + std::max(1, blockLines_));
      next_ = blockEnd_ + 1;
      if (Finished()) {
        layout_.clearLayout();
        layout_.setText(QString());
        text_ = QString();  // the counts are all that is needed now
        next_ = 1;
        return;
      }
      if (deadline.hasExpired()) return;
    }
  }

 private:
  QString text_;
  LineRules rules_;
  std::uint64_t generation_;
  QTextLayout layout_;
  qsizetype next_ = 0;  // where the next block starts; past the end once all are counted
  qsizetype blockEnd_ = 0;
  bool inBlock_ = false;
  int blockLines_ = 0;
  std::vector<std::int32_t> before_{0};
};

namespace {

// The rules the box's document layout lays a block out with now. The width a line may take is read
// from a block the box has laid out (the one at the top, which it shows anyway): the layout keeps
// that width with every line.
LineRules CurrentRules(const QPlainTextEdit& edit) {
  QTextDocument* doc = edit.document();
  LineRules rules;
  rules.font = doc->defaultFont();
  rules.option = doc->defaultTextOption();
  QTextBlock probe = doc->findBlockByLineNumber(edit.verticalScrollBar()->value());
  if (!probe.isValid()) probe = doc->firstBlock();
  if (probe.layout()->lineCount() == 0) doc->documentLayout()->blockBoundingRect(probe);
  rules.lineWidth = probe.layout()->lineCount() > 0 ? probe.layout()->lineAt(0).width() : INT_MAX;
  return rules;
}

// Gives the document the counted lines of every block, as if the box had laid each one out, so its
// scroll bar moves line by line over the whole text. False when the counts are of another text.
bool ApplyCounts(QPlainTextEdit& edit, const LineCounter& counter) {
  QTextDocument* doc = edit.document();
  if (static_cast<std::size_t>(doc->blockCount()) != counter.BlocksCounted()) return false;
  std::size_t i = 0;
  for (QTextBlock b = doc->begin(); b.isValid(); b = b.next(), ++i) {
    if (b.lineCount() != counter.Lines(i)) b.setLineCount(counter.Lines(i));
  }
  if (auto* layout = qobject_cast<QPlainTextDocumentLayout*>(doc->documentLayout()))
    emit layout->documentSizeChanged(layout->documentSize());
  return true;
}

}  // namespace

RichEditUnit::~RichEditUnit() = default;

bool RichEditUnit::Create(QWidget* container) {
  const auto& p = std::get<RichEditProps>(Def().props);
  edit_ = new QPlainTextEdit(container);
  edit_->setLineWrapMode(p.wrap ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
  edit_->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  edit_->setHorizontalScrollBarPolicy(p.wrap ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAsNeeded);
  edit_->setReadOnly(p.readOnly);
  edit_->setTabChangesFocus(false);
  // The program pops up its own menu on a right click; the box has none of its own.
  edit_->setContextMenuPolicy(Qt::PreventContextMenu);
  if (p.border == 0) edit_->setFrameShape(QFrame::NoFrame);
  // The selection stays as visible when the box loses the focus: Find keeps the focus in its own
  // window and shows the match here.
  QPalette pal = edit_->palette();
  pal.setColor(QPalette::Inactive, QPalette::Highlight, pal.color(QPalette::Active, QPalette::Highlight));
  pal.setColor(QPalette::Inactive, QPalette::HighlightedText,
               pal.color(QPalette::Active, QPalette::HighlightedText));
  edit_->setPalette(pal);
  backColor_ = p.backColor;
  CharFormat initial;
  initial.faceName = L(p.faceName);
  initial.size = p.fontSize;
  initial.color = kDefaultColor;
  SetCharFormat(initial);
  SetTypeProperty(prop::rich::kBackColor, backColor_);
  Attach(edit_);
  countTimer_ = new QTimer(this);
  countTimer_->setInterval(0);
  QObject::connect(countTimer_, &QTimer::timeout, this, [this] { CountSlice(); });
  QObject::connect(edit_, &QPlainTextEdit::textChanged, this, [this] { Raise(event::kChanged); });
  QObject::connect(edit_, &QPlainTextEdit::selectionChanged, this,
                   [this] { Raise(event::kSelectionChanged); });
  QObject::connect(edit_->document(), &QTextDocument::contentsChange, this, [this] { ++generation_; });
  QObject::connect(edit_->document(), &QTextDocument::contentsChanged, this, [this] {
    if (edit_->document()->isModified()) textKept_ = false;
  });
  return true;
}

void RichEditUnit::SetContent(const Text& text) {
  // Another text: a line count still being made for the one before is of no use to anyone.
  ready_ = nullptr;
  pending_.reset();
  applied_.reset();
  edit_->setPlainText(ToBoxText(ToQString(text)));
  edit_->document()->setModified(false);
  setText_ = text;
  textKept_ = true;
  if (static_cast<qsizetype>(text.size()) > kLongText) ReleaseFreedMemory();
}

Text RichEditUnit::Content() const {
  if (textKept_ && !edit_->document()->isModified()) return setText_;
  // The raw text: the plain-text form would turn no-break spaces into ordinary ones.
  return FromQString(FromBoxText(edit_->document()->toRawText()));
}

// The raw text keeps no-break spaces as they are and separates blocks with U+2029, one position
// each, so an index in it is a position in the box.
const QString& RichEditUnit::PlainText() {
  if (plainGeneration_ != generation_) {
    plain_ = edit_->document()->toRawText();
    plainGeneration_ = generation_;
  }
  return plain_;
}

// The counter of the text as it is now under the rules of now: the one kept when it still fits.
std::shared_ptr<LineCounter> RichEditUnit::CounterForNow() {
  const LineRules rules = CurrentRules(*edit_);
  if (counter_ && counter_->CountsFor(generation_, rules)) return counter_;
  if (pending_ && pending_->CountsFor(generation_, rules)) return counter_ = pending_;
  const QString snapshot = plainGeneration_ == generation_ ? plain_ : edit_->document()->toRawText();
  return counter_ = std::make_shared<LineCounter>(snapshot, rules, generation_);
}

// Lines as the box shows them, wrapped lines included; an empty box has one line.
std::int32_t RichEditUnit::LineCount() {
  const std::shared_ptr<LineCounter> counter = CounterForNow();
  if (!counter->Finished()) {
    counter->Run(QDeadlineTimer(QDeadlineTimer::Forever));
    if (ApplyCounts(*edit_, *counter)) applied_ = counter;
  }
  return counter->Total();
}

void RichEditUnit::WhenLineCountReady(std::function<void(std::int32_t)> ready) {
  ready_ = nullptr;
  pending_.reset();
  if (!ready) return;
  const std::shared_ptr<LineCounter> counter = CounterForNow();
  if (counter->Finished()) {
    ready(counter->Total());
    return;
  }
  ready_ = std::move(ready);
  pending_ = counter;
  countTimer_->start();
}

void RichEditUnit::CountSlice() {
  if (!pending_) {
    countTimer_->stop();
    return;
  }
  pending_->Run(QDeadlineTimer(kCountSliceMs));
  if (!pending_->Finished()) return;
  countTimer_->stop();
  const std::shared_ptr<LineCounter> done = std::move(pending_);
  pending_.reset();
  if (done->CountsFor(generation_, CurrentRules(*edit_)) && ApplyCounts(*edit_, *done)) applied_ = done;
  if (done->BlocksCounted() > 10000 || edit_->document()->characterCount() > kLongText) ReleaseFreedMemory();
  // The handler may ask again; it finds nothing waiting.
  const std::function<void(std::int32_t)> ready = std::move(ready_);
  ready_ = nullptr;
  if (ready) ready(done->Total());
}

// The first visible line counts wrapped lines too. The box places its text by a line number in
// which blocks it has not laid out yet count one line each; the block and the line in it that
// number names are what shows at the top, and the counted lines of the blocks above give its
// number among all lines. While the box holds the counted lines of every block (the user's edits
// it lays out itself as it shows them), that line number is already the answer; a new width or
// font makes the box forget them all.
std::int32_t RichEditUnit::FirstVisibleLine() {
  const int value = edit_->verticalScrollBar()->value();
  if (applied_ && applied_->Rules() == CurrentRules(*edit_)) return value;
  const QTextBlock top = edit_->document()->findBlockByLineNumber(value);
  if (!top.isValid()) return value;
  const auto block = static_cast<std::size_t>(top.blockNumber());
  const std::shared_ptr<LineCounter> counter = CounterForNow();
  if (counter->BlocksCounted() < block) counter->Run(QDeadlineTimer(QDeadlineTimer::Forever), block);
  return counter->LinesBefore(block) + (value - top.firstLineNumber());
}

// A box of another width lays its text out anew and forgets the lines given to it.
bool RichEditUnit::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Resize && watched == edit_->viewport()) {
    const auto* resize = static_cast<QResizeEvent*>(event);
    if (resize->oldSize().width() != resize->size().width()) applied_.reset();
  }
  return Unit::eventFilter(watched, event);
}

bool RichEditUnit::SetCharFormat(const CharFormat& format) {
  applied_.reset();
  QFont font(ToQString(format.faceName));
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
  pal.setColor(QPalette::Text, ToQColor(format.color, automatic));
  edit_->setPalette(pal);
  return true;
}

// Both directions search the box's raw text with the same rules: exactly as typed (a no-break
// space is a character like any other), case as asked, never across a line break.
std::int32_t RichEditUnit::FindText(std::int32_t start, bool matchCase, bool wholeWord, const QString& text) {
  if (text.isEmpty() || SpansLines(text)) return -1;
  const QString& all = PlainText();
  const Qt::CaseSensitivity cs = matchCase ? Qt::CaseSensitive : Qt::CaseInsensitive;
  for (qsizetype from = std::max(0, start);;) {
    const qsizetype at = all.indexOf(text, from, cs);
    if (at < 0) return -1;
    if (!wholeWord || IsWholeWord(all, at, text.size())) return static_cast<std::int32_t>(at);
    from = at + 1;
  }
}

std::int32_t RichEditUnit::FindTextBackward(std::int32_t start, bool matchCase, const QString& text) {
  if (text.isEmpty() || start < 0 || SpansLines(text)) return -1;
  const QString& all = PlainText();
  // A start past the end (the last result came from a longer text) searches from the end.
  const qsizetype from = std::min<qsizetype>(start, all.size());
  return static_cast<std::int32_t>(
      all.lastIndexOf(text, from, matchCase ? Qt::CaseSensitive : Qt::CaseInsensitive));
}

// A selection length of -1 selects the whole text.
std::optional<PropertyValue> RichEditUnit::TypeProperty(int index) const {
  const QTextCursor c = edit_->textCursor();
  switch (index) {
    case prop::rich::kTextFormat: return std::int32_t{0};
    case prop::rich::kText: return Content();
    case prop::rich::kBackColor: return backColor_;
    case prop::rich::kSelStart: return static_cast<std::int32_t>(c.selectionStart());
    case prop::rich::kSelLength: return static_cast<std::int32_t>(c.selectionEnd() - c.selectionStart());
    case prop::rich::kSelText: return FromQString(FromBoxText(c.selectedText()));
    case prop::rich::kModified: return static_cast<std::int32_t>(edit_->document()->isModified());
    default: return std::nullopt;
  }
}

void RichEditUnit::SetTypeProperty(int index, const PropertyValue& value) {
  QTextCursor c = edit_->textCursor();
  const int end = static_cast<int>(edit_->document()->characterCount()) - 1;
  switch (index) {
    case prop::rich::kText: SetContent(TextOf(value)); return;
    case prop::rich::kBackColor: {
      backColor_ = NumberOf(value);
      QPalette pal = edit_->palette();
      pal.setColor(QPalette::Base, ToQColor(backColor_, Qt::white));
      edit_->setPalette(pal);
      return;
    }
    case prop::rich::kSelStart:
      c.setPosition(std::clamp(NumberOf(value), 0, end));
      edit_->setTextCursor(c);
      return;
    case prop::rich::kSelLength: {
      const int length = std::max(-1, NumberOf(value));
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
    case prop::rich::kSelText:
      c.insertText(ToBoxText(ToQString(TextOf(value))));
      edit_->setTextCursor(c);
      return;
    case prop::rich::kModified: edit_->document()->setModified(NumberOf(value) != 0); return;
    default: return;
  }
}

namespace RichEdit {

void WhenLineCountReady(UnitRef box, std::function<void(std::int32_t)> ready) {
  OperationUnit<RichEditUnit>(box).WhenLineCountReady(std::move(ready));
}

}  // namespace RichEdit

}  // namespace nvx
