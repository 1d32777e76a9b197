// What the editor's logic sees of its windows: numbered events delivered to bound handlers,
// numbered properties, and the operations on windows and controls. Handlers never touch a widget;
// every window, control and menu item is named by (window identifier, unit identifier). The
// handlers themselves reach the controls through the forms' typed accessors (forms/window_parts.h),
// which are the only users of the numbered properties outside the runtime.
//
// Texts cross this boundary in the local code page; colours are RGB values (0xFF000000 is the
// system default). Addressing a window or control that does not exist ends the program with the
// run-time error report.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "base/value.h"
#include "runtime/form_types.h"

namespace nvx {

struct UnitRef {
  WindowId window = 0;
  UnitId unit = 0;
};

// The arguments of an event, in order (x, y, key state; key code, key state; ...).
struct EventArgs {
  std::int32_t values[3] = {0, 0, 0};
  int count = 0;
  std::int32_t operator[](int i) const { return i < count ? values[i] : 0; }
};

// A handler returns no value (std::nullopt) or one. For key, mouse and wheel events a returned 0
// (false) withholds the input from the control; for close requested it keeps the window open.
using HandlerResult = std::optional<std::int32_t>;
using Handler = std::function<HandlerResult(const EventArgs&)>;

// Binds a handler reference of the form definitions to the code that runs for it. A reference
// with nothing bound does nothing.
void BindHandler(HandlerRef ref, Handler handler);
// For handlers that take no arguments and return nothing.
void BindHandler(HandlerRef ref, void (*handler)());
void ClearHandlers();
bool HandlerBound(HandlerRef ref);

// Files dropped onto a window (anywhere on it, its controls included) go to `handler`, one path
// (local code page) at a time, as an event the message loop delivers; a window without a handler
// takes no drops of files. An empty handler removes it.
using FileDropHandler = std::function<void(const Text& path)>;
void SetFileDropHandler(WindowId window, FileDropHandler handler);

// Makes the program's forms known to the runtime; must run before any window is loaded.
void InitialiseForms(std::span<const WindowDef> windows);
// Window `window` gets `menu` in place of its form's menu, from its next load on, until the forms
// are initialised again: so the program can keep each command's row beside the function it runs.
// `menu` must outlive the windows loaded with it.
void SetWindowMenu(WindowId window, std::span<const MenuItemDef> menu);

// Loads the start-up window; when it cannot be loaded, the run-time error report ends the program.
void LoadStartWindow(WindowId startWindow);

// Runs the message loop until no window of the program exists any more.
void RunMessageLoop();

// Property values: numbers (also bools and colours) and texts.
using PropertyValue = std::variant<std::int32_t, Text>;

PropertyValue GetProperty(UnitRef ref, int index);
void SetProperty(UnitRef ref, int index, const PropertyValue& value);
std::int32_t GetInt(UnitRef ref, int index);
Text GetText(UnitRef ref, int index);
inline void SetInt(UnitRef ref, int index, std::int32_t v) { SetProperty(ref, index, v); }
inline void SetText(UnitRef ref, int index, const Text& v) { SetProperty(ref, index, v); }

// Window operations.
bool LoadWindow(WindowId window, std::optional<WindowId> parent = std::nullopt, bool modal = false);
bool IsCreated(WindowId window);
bool IsCreated(UnitRef ref);
void Destroy(WindowId window);
void Focus(UnitRef ref);
void Move(UnitRef ref, std::optional<int> left, std::optional<int> top = std::nullopt,
          std::optional<int> width = std::nullopt, std::optional<int> height = std::nullopt);
void PopupMenu(WindowId window, UnitId menu, std::optional<int> x = std::nullopt,
               std::optional<int> y = std::nullopt);
void SetParentWindow(WindowId window, WindowId parent);
void SetWaitCursor();
void RestoreCursor();

// The character format of a rich edit box's whole text.
struct CharFormat {
  Text faceName;
  std::int32_t size = 0;     // points
  std::int32_t offset = 0;   // baseline offset in points
  std::int32_t effects = 0;  // 1 bold, 2 italic, 4 underline, 8 strike-out, 16 protected
  std::int32_t color = 0;    // RGB; 0xFF000000 the automatic colour
};

inline constexpr std::int32_t kEffectBold = 1;
inline constexpr std::int32_t kEffectItalic = 2;
inline constexpr std::int32_t kEffectUnderline = 4;
inline constexpr std::int32_t kEffectStrikeOut = 8;
inline constexpr std::int32_t kEffectProtected = 16;

// How many character positions `text` takes in a text box (a double-byte character is one).
std::int32_t TextPositions(const Text& text);

namespace CommonDlg {
bool Open(UnitRef dialog);
}

namespace StatusBar {
void SetPartText(UnitRef bar, int part, const Text& text);
}

// Rows for a list in one UTF-8 buffer, `columns` cells a row, row after row: each cell's text
// ends where `ends` says. The catalogue loader hands its titles on this way, as stored, without a
// text per cell. A row may carry a number beside its texts, its key (the catalogue's: the
// article's id): `keys` holds them for the first rows, in order; the rows after have none.
struct Utf8Rows {
  int columns = 1;
  std::string text;
  std::vector<std::size_t> ends;
  std::vector<std::int64_t> keys;

  void Add(std::string_view cell) {
    text += cell;
    ends.push_back(text.size());
  }
  std::size_t Rows() const { return ends.size() / static_cast<std::size_t>(columns); }
  void Clear() {
    text.clear();
    ends.clear();
    keys.clear();
  }
};

namespace ListView {
std::int32_t InsertItem(UnitRef list);
void SetItemText(UnitRef list, int row, int column, const Text& text);
Text GetItemText(UnitRef list, int row, int column = 0);
// The key row `row` was given when appended (Utf8Rows::keys); none for a row given none or no
// such row. Found at once by the row's index.
std::optional<std::int64_t> ItemKey(UnitRef list, int row);
std::int32_t ItemCount(UnitRef list);
void DeleteAllItems(UnitRef list);
void DeselectItem(UnitRef list, int row);
// Appends rows in one step, each given by its column texts from column 0 (a row may give fewer
// columns than the list has; texts of columns the list lacks are ignored), aligned as their
// column's heading, as InsertItem plus SetItemText for each row would leave them. Returns the
// index of the first new row. Filling a list of 100,000 rows this way costs what one insertion of
// 100,000 rows costs in Qt, not 100,000 insertions; the catalogue loader can call it once, or once
// per batch of rows as it reads them.
std::int32_t AppendRows(UnitRef list, std::span<const std::vector<Text>> rows);
// The same for rows whose texts are already valid UTF-8.
std::int32_t AppendUtf8Rows(UnitRef list, const Utf8Rows& rows);

// Rows a list reads after it is shown. Given a buffer and room for up to `most` rows, a source
// adds rows to the buffer (as AppendUtf8Rows takes them) and returns whether more may follow.
using RowSource = std::function<bool(Utf8Rows& rows, std::size_t most)>;
// Fills the list from `source` in short slices between events, so the window stays usable while
// a long list fills; the rows join the list in batches that grow with it. An operation that
// needs rows not read yet reads them at once: ItemCount, InsertItem and AppendRows read them all;
// GetItemText, SetItemText, DeselectItem, IsLastItem and setting the current row read as far as
// their row. Slices wait while a handler runs (its message box, progress dialog or modal window),
// so a source never runs inside another command's work. DeleteAllItems drops the source, as does
// the list's window going.
void FillInBackground(UnitRef list, RowSource source);
// Whether the list is still taking rows from a source.
bool Filling(UnitRef list);
// Whether `row` is the list's last row (-1 in an empty list), reading only as far as needed to tell.
bool IsLastItem(UnitRef list, int row);
}  // namespace ListView

namespace RichEdit {
std::int32_t LineCount(UnitRef box);
std::int32_t FirstVisibleLine(UnitRef box);
bool SetCharFormat(UnitRef box, const CharFormat& format);
std::int32_t FindText(UnitRef box, std::int32_t start, bool matchCase, bool wholeWord, const Text& text);
// The nearest match that begins at or before `start`, searching toward the start of the text with
// the same matching as FindText; -1 when there is none or `start` is below 0.
std::int32_t FindTextBackward(UnitRef box, std::int32_t start, bool matchCase, const Text& text);
void Copy(UnitRef box);
void Cut(UnitRef box);
void Paste(UnitRef box);
void DeleteSelection(UnitRef box);
// Calls `ready` with the box's line count, the number LineCount gives, once it is known, on the
// GUI thread: at once (before returning) when it is known already, otherwise from the event loop
// when counting in slices between other events has finished. So a long article shows at once and
// its line count follows. The count is of the text as it was when asked, even when the user types
// meanwhile. The call is dropped when another WhenLineCountReady replaces it, when the program
// sets the box's text again (its text property), or when the box is destroyed; an empty `ready`
// only drops the one waiting.
void WhenLineCountReady(UnitRef box, std::function<void(std::int32_t)> ready);
}  // namespace RichEdit

}  // namespace nvx
