// The windows' parts as the handlers speak to them: "the catalogue", "the content box", "the
// status bar", "the title window". Each is a small typed accessor over the runtime's numbered
// units and properties, which stay behind it. The accessors hold nothing: every call reaches the
// live window, and addressing a part whose window is not loaded ends the program with the
// run-time error report, as the runtime does.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include "runtime/window_runtime.h"

namespace nvx::forms {

// The main window's list of titles (目录). While it fills in the background, a call that needs a
// row not read yet reads as far as that row first (RowCount: all of them).
class CatalogueList {
 public:
  using RowSource = ListView::RowSource;

  // The selected row; -1 when none is.
  int SelectedRow() const;
  // Selects `row` (-1 selects none).
  void SetSelectedRow(int row) const;
  int RowCount() const;
  // Whether rows are still coming from a FillInBackground source.
  bool Filling() const;
  // Whether `row` is the last row (-1 in an empty list), reading only as far as needed to tell.
  bool IsLastRow(int row) const;
  // The id of the article shown in `row` (0 on the trailing blank row); none for no such row.
  std::optional<std::int64_t> ArticleAt(int row) const;
  std::optional<std::int64_t> SelectedArticle() const { return ArticleAt(SelectedRow()); }
  // The title `row` shows; empty for no such row.
  Text RowTitle(int row) const;
  void Clear() const;
  // Appends rows of (id, title) cells, each keyed with its article's id (Utf8Rows::keys), as
  // ListView::AppendUtf8Rows; the index of the first.
  int AppendRows(const Utf8Rows& rows) const;
  // Appends the rows `source` gives between events, as ListView::FillInBackground.
  void FillInBackground(RowSource source) const;
  void Place(int left, int top, int width, int height) const;
  int Left() const;
  int Top() const;
};
CatalogueList Catalogue();

// The main window's rich edit box holding the article (编辑框1).
class ContentBoxEdit {
 public:
  Text Content() const;
  void SetContent(const Text& text) const;
  // The character format of the whole text.
  void SetFormat(const CharFormat& format) const;
  void SetBackColor(std::int32_t rgb) const;
  std::int32_t FirstVisibleLine() const;
  // As RichEdit::WhenLineCountReady.
  void WhenLineCountReady(std::function<void(std::int32_t lines)> ready) const;
  void Focus() const;
  bool HasSelection() const;
  void SelectAll() const;
  void Select(std::int32_t start, std::int32_t length) const;
  // As RichEdit::FindText and RichEdit::FindTextBackward.
  std::int32_t FindText(std::int32_t start, bool matchCase, bool wholeWord, const Text& text) const;
  std::int32_t FindTextBackward(std::int32_t start, bool matchCase, const Text& text) const;
  void Copy() const;
  void Cut() const;
  void Paste() const;
  void DeleteSelection() const;
  void Place(int left, int top, int width, int height) const;
  int Left() const;
  int Top() const;
};
ContentBoxEdit ContentBox();

// The main window's status bar: one setter per part the program fills.
class StatusBarParts {
 public:
  // "12篇", or "12篇…" while more are coming.
  void SetArticleCount(std::int64_t articles, bool moreComing = false) const;
  // Lines of the article shown; empty until they are counted.
  void SetContentSize(std::optional<std::int32_t> lines) const;
  void SetLinesRead(std::int32_t lines) const;
  void SetTitle(const Text& title) const;
  // Empties every part the program fills.
  void Clear() const;
};
StatusBarParts StatusBar();

// The main window itself and its save-title button (保存按钮).
class MainWindowFrame {
 public:
  int Width() const;
  int Height() const;
  void SetTitle(const Text& title) const;
  void ShowSaveTitleButton(bool shown) const;
  void PlaceSaveTitleButton(int left, int top, int width, int height) const;
};
MainWindowFrame MainWindow();

// The small window that is the title input and the Find window; only while it is loaded.
class TitleFindWindow {
 public:
  Text Input() const;
  void SetInput(const Text& text) const;
  void FocusInput() const;
  void Focus() const;
  void SetTitle(const Text& title) const;
  void SetPrompt(const Text& prompt) const;
  void HideFindUp() const;
  void SetAcceptCaption(const Text& caption) const;
  // Moves the window's top left corner to (left, top) of its parent; its size stays.
  void MoveTo(int left, int top) const;
};
TitleFindWindow TitleWindow();

// The main window's file dialogs: the path chosen with `filter` ("name|*.ext"), none when
// cancelled.
std::optional<Text> ChooseFileToOpen(const Text& filter);
std::optional<Text> ChooseFileToSave(const Text& filter);

// What the font dialog confirmed.
struct FontChoice {
  Text faceName;
  std::int32_t size = 0;
  std::int32_t color = 0;
  bool bold = false;
  bool italic = false;
  bool underline = false;
  bool strikeOut = false;
};
// The font dialog, starting from this face, size and colour (its effect boxes show what was last
// confirmed in it); none when cancelled.
std::optional<FontChoice> ChooseFont(const Text& faceName, std::int32_t size, std::int32_t color);

// The colour the background colour window's picker holds; only while that window is loaded.
std::int32_t PickedBackgroundColour();

}  // namespace nvx::forms
