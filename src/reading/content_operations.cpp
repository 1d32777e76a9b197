#include "reading/content_operations.h"

#include "forms/window_parts.h"
#include "reading/title_find_window.h"
#include "runtime/unit_numbers.h"
#include "runtime/value_commands.h"

namespace nvx::reading {

using forms::ContentBox;

namespace {

bool HasSelection() { return ContentBox().HasSelection(); }

}  // namespace

void SelectAll() {
  ContentBox().Focus();
  ContentBox().SelectAll();
}

void Copy() {
  if (HasSelection()) ContentBox().Copy();
}

void Paste() { ContentBox().Paste(); }

void Cut() {
  if (HasSelection()) ContentBox().Cut();
}

void Delete() {
  if (HasSelection()) ContentBox().DeleteSelection();
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
    ContentBox().Copy();
    done = true;
  }
  if (IsCtrlKey(args, 'V')) {
    Paste();
    done = true;
  }
  if (IsCtrlKey(args, 'X') && HasSelection()) {
    ContentBox().Cut();
    done = true;
  }
  if ((code == key::kDelete || code == key::kBackspace) && HasSelection()) {
    ContentBox().DeleteSelection();
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
