#include "forms/window_parts.h"

#include "base/codepage.h"
#include "forms/main_window.h"
#include "forms/secondary_windows.h"
#include "runtime/unit_numbers.h"
#include "runtime/value_commands.h"

namespace nvx::forms {

namespace mw = main_window;
namespace tf = title_find;

namespace {

constexpr UnitRef kMainWindow{mw::kWindow, mw::kSelf};
constexpr UnitRef kCatalogue{mw::kWindow, mw::kCatalogue};
constexpr UnitRef kContentBox{mw::kWindow, mw::kContentBox};
constexpr UnitRef kStatusBar{mw::kWindow, mw::kStatusBar};
constexpr UnitRef kSaveTitleButton{mw::kWindow, mw::kSaveTitleButton};
constexpr UnitRef kOpenDialog{mw::kWindow, mw::kOpenDialog};
constexpr UnitRef kSaveDialog{mw::kWindow, mw::kSaveDialog};
constexpr UnitRef kFontDialog{mw::kWindow, mw::kFontDialog};
constexpr UnitRef kTitleFind{tf::kWindow, tf::kSelf};
constexpr UnitRef kTitleFindInput{tf::kWindow, tf::kInputBox};

void Place(UnitRef ref, int left, int top, int width, int height) {
  nvx::Move(ref, left, top, width, height);
}

// A count and its unit, "12行".
Text Counted(std::int64_t count, const char* unit) { return ToText(count) + L(unit); }

std::optional<Text> ChooseFile(UnitRef dialog, int kind, const Text& filter) {
  SetInt(dialog, prop::dlg::kKind, kind);
  SetText(dialog, prop::dlg::kFilter, filter);
  if (!CommonDlg::Open(dialog)) return std::nullopt;
  return GetText(dialog, prop::dlg::kFileName);
}

}  // namespace

int CatalogueList::SelectedRow() const { return GetInt(kCatalogue, prop::list::kCurrentRow); }
void CatalogueList::SetSelectedRow(int row) const { SetInt(kCatalogue, prop::list::kCurrentRow, row); }
int CatalogueList::RowCount() const { return ListView::ItemCount(kCatalogue); }
bool CatalogueList::Filling() const { return ListView::Filling(kCatalogue); }
bool CatalogueList::IsLastRow(int row) const { return ListView::IsLastItem(kCatalogue, row); }

std::optional<std::int64_t> CatalogueList::ArticleAt(int row) const {
  return ListView::ItemKey(kCatalogue, row);
}

Text CatalogueList::RowTitle(int row) const {
  return ListView::GetItemText(kCatalogue, row, mw::kColumnTitle);
}
void CatalogueList::Clear() const { ListView::DeleteAllItems(kCatalogue); }
int CatalogueList::AppendRows(const Utf8Rows& rows) const {
  return ListView::AppendUtf8Rows(kCatalogue, rows);
}
void CatalogueList::FillInBackground(RowSource source) const {
  ListView::FillInBackground(kCatalogue, std::move(source));
}
void CatalogueList::Place(int left, int top, int width, int height) const {
  forms::Place(kCatalogue, left, top, width, height);
}
int CatalogueList::Left() const { return GetInt(kCatalogue, prop::kLeft); }
int CatalogueList::Top() const { return GetInt(kCatalogue, prop::kTop); }
CatalogueList Catalogue() { return {}; }

Text ContentBoxEdit::Content() const { return GetText(kContentBox, prop::rich::kText); }
void ContentBoxEdit::SetContent(const Text& text) const { SetText(kContentBox, prop::rich::kText, text); }
void ContentBoxEdit::SetFormat(const CharFormat& format) const {
  RichEdit::SetCharFormat(kContentBox, format);
}
void ContentBoxEdit::SetBackColor(std::int32_t rgb) const {
  SetInt(kContentBox, prop::rich::kBackColor, rgb);
}
std::int32_t ContentBoxEdit::FirstVisibleLine() const { return RichEdit::FirstVisibleLine(kContentBox); }
void ContentBoxEdit::WhenLineCountReady(std::function<void(std::int32_t lines)> ready) const {
  RichEdit::WhenLineCountReady(kContentBox, std::move(ready));
}
void ContentBoxEdit::Focus() const { nvx::Focus(kContentBox); }
bool ContentBoxEdit::HasSelection() const { return !GetText(kContentBox, prop::rich::kSelText).empty(); }
void ContentBoxEdit::SelectAll() const { SetInt(kContentBox, prop::rich::kSelLength, -1); }
void ContentBoxEdit::Select(std::int32_t start, std::int32_t length) const {
  SetInt(kContentBox, prop::rich::kSelStart, start);
  SetInt(kContentBox, prop::rich::kSelLength, length);
}
std::int32_t ContentBoxEdit::FindText(std::int32_t start, bool matchCase, bool wholeWord,
                                      const Text& text) const {
  return RichEdit::FindText(kContentBox, start, matchCase, wholeWord, text);
}
std::int32_t ContentBoxEdit::FindTextBackward(std::int32_t start, bool matchCase, const Text& text) const {
  return RichEdit::FindTextBackward(kContentBox, start, matchCase, text);
}
void ContentBoxEdit::Copy() const { RichEdit::Copy(kContentBox); }
void ContentBoxEdit::Cut() const { RichEdit::Cut(kContentBox); }
void ContentBoxEdit::Paste() const { RichEdit::Paste(kContentBox); }
void ContentBoxEdit::DeleteSelection() const { RichEdit::DeleteSelection(kContentBox); }
void ContentBoxEdit::Place(int left, int top, int width, int height) const {
  forms::Place(kContentBox, left, top, width, height);
}
int ContentBoxEdit::Left() const { return GetInt(kContentBox, prop::kLeft); }
int ContentBoxEdit::Top() const { return GetInt(kContentBox, prop::kTop); }
ContentBoxEdit ContentBox() { return {}; }

void StatusBarParts::SetArticleCount(std::int64_t articles, bool moreComing) const {
  nvx::StatusBar::SetPartText(kStatusBar, mw::kPartArticleCount,
                              Counted(articles, moreComing ? "篇…" : "篇"));
}
void StatusBarParts::SetContentSize(std::optional<std::int32_t> lines) const {
  nvx::StatusBar::SetPartText(kStatusBar, mw::kPartContentSize, lines ? Counted(*lines, "行") : Text());
}
void StatusBarParts::SetLinesRead(std::int32_t lines) const {
  nvx::StatusBar::SetPartText(kStatusBar, mw::kPartLinesRead, Counted(lines, "行"));
}
void StatusBarParts::SetTitle(const Text& title) const {
  nvx::StatusBar::SetPartText(kStatusBar, mw::kPartTitle, title);
}
void StatusBarParts::Clear() const {
  for (int part : {mw::kPartArticleCount, mw::kPartContentSize, mw::kPartLinesRead, mw::kPartTitle})
    nvx::StatusBar::SetPartText(kStatusBar, part, Text());
}
StatusBarParts StatusBar() { return {}; }

int MainWindowFrame::Width() const { return GetInt(kMainWindow, prop::kWidth); }
int MainWindowFrame::Height() const { return GetInt(kMainWindow, prop::kHeight); }
void MainWindowFrame::SetTitle(const Text& title) const { SetText(kMainWindow, prop::kTitle, title); }
void MainWindowFrame::ShowSaveTitleButton(bool shown) const {
  SetInt(kSaveTitleButton, prop::kVisible, shown ? 1 : 0);
}
void MainWindowFrame::PlaceSaveTitleButton(int left, int top, int width, int height) const {
  forms::Place(kSaveTitleButton, left, top, width, height);
}
MainWindowFrame MainWindow() { return {}; }

Text TitleFindWindow::Input() const { return GetText(kTitleFindInput, prop::edit::kText); }
void TitleFindWindow::SetInput(const Text& text) const { SetText(kTitleFindInput, prop::edit::kText, text); }
void TitleFindWindow::FocusInput() const { nvx::Focus(kTitleFindInput); }
void TitleFindWindow::Focus() const { nvx::Focus(kTitleFind); }
void TitleFindWindow::SetTitle(const Text& title) const { SetText(kTitleFind, prop::kTitle, title); }
void TitleFindWindow::SetPrompt(const Text& prompt) const {
  SetText({tf::kWindow, tf::kPromptLabel}, prop::label::kCaption, prompt);
}
void TitleFindWindow::HideFindUp() const { SetInt({tf::kWindow, tf::kFindUpButton}, prop::kVisible, 0); }
void TitleFindWindow::SetAcceptCaption(const Text& caption) const {
  SetText({tf::kWindow, tf::kAcceptButton}, prop::button::kCaption, caption);
}
void TitleFindWindow::MoveTo(int left, int top) const {
  nvx::Move(kTitleFind, left, top, GetInt(kTitleFind, prop::kWidth), GetInt(kTitleFind, prop::kHeight));
}
TitleFindWindow TitleWindow() { return {}; }

std::optional<Text> ChooseFileToOpen(const Text& filter) {
  return ChooseFile(kOpenDialog, prop::dlg::kOpenFile, filter);
}
std::optional<Text> ChooseFileToSave(const Text& filter) {
  return ChooseFile(kSaveDialog, prop::dlg::kSaveFile, filter);
}

std::optional<FontChoice> ChooseFont(const Text& faceName, std::int32_t size, std::int32_t color) {
  SetText(kFontDialog, prop::dlg::kFaceName, faceName);
  SetInt(kFontDialog, prop::dlg::kFontSize, size);
  SetInt(kFontDialog, prop::dlg::kFontColor, color);
  if (!CommonDlg::Open(kFontDialog)) return std::nullopt;
  return FontChoice{
      .faceName = GetText(kFontDialog, prop::dlg::kFaceName),
      .size = GetInt(kFontDialog, prop::dlg::kFontSize),
      .color = GetInt(kFontDialog, prop::dlg::kFontColor),
      .bold = GetInt(kFontDialog, prop::dlg::kBold) != 0,
      .italic = GetInt(kFontDialog, prop::dlg::kItalic) != 0,
      .underline = GetInt(kFontDialog, prop::dlg::kUnderline) != 0,
      .strikeOut = GetInt(kFontDialog, prop::dlg::kStrikeOut) != 0,
  };
}

std::int32_t PickedBackgroundColour() {
  return GetInt({background_colour::kWindow, background_colour::kColourPicker}, prop::picker::kColor);
}

}  // namespace nvx::forms
