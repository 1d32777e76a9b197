#include "reading/content_operations.h"

#include "forms/main_window_refs.h"
#include "reading/title_find_window.h"
#include "runtime/unit_numbers.h"
#include "runtime/value_commands.h"

namespace nvx::reading {

using forms::kContentBox;

namespace {

bool HasSelection() { return !GetText(kContentBox, prop::rich::kSelText).empty(); }

}  // namespace

void SelectAll() {
  Focus(kContentBox);
  SetInt(kContentBox, prop::rich::kSelLength, -1);
}

void Copy() {
  if (HasSelection()) RichEdit::Copy(kContentBox);
}

void Paste() { RichEdit::Paste(kContentBox); }

void Cut() {
  if (HasSelection()) RichEdit::Cut(kContentBox);
}

void Delete() {
  if (HasSelection()) RichEdit::DeleteSelection(kContentBox);
}

bool IsCtrlKey(const EventArgs& args, char letter) { return args[0] == letter && args[1] == keystate::kCtrl; }

HandlerResult ContentKeyDown(const EventArgs& args) {
  const int code = args[0];
  bool done = false;
  if (IsCtrlKey(args, 'F')) {
    OpenFindWindow();
    done = true;
  }
  if (IsCtrlKey(args, 'C') && HasSelection()) {
    RichEdit::Copy(kContentBox);
    done = true;
  }
  if (IsCtrlKey(args, 'V')) {
    Paste();
    done = true;
  }
  if (IsCtrlKey(args, 'X') && HasSelection()) {
    RichEdit::Cut(kContentBox);
    done = true;
  }
  if ((code == key::kDelete || code == key::kBackspace) && HasSelection()) {
    RichEdit::DeleteSelection(kContentBox);
    done = true;
  }
  if (IsCtrlKey(args, 'A')) {
    SelectAll();
    done = true;
  }
  if (done) return 0;
  return std::nullopt;
}

}  // namespace nvx::reading
