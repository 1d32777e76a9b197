// The handler references the forms bind to events. The editor's logic fills the handler table at
// start-up, one C++ function per reference; the forms only carry the numbers.
#pragma once

#include "runtime/form_types.h"

namespace nvx::forms {
// Tables aligned by hand, so that each row reads as one unit.
// clang-format off

// Reference 0 is an ordinary handler, so "no handler" is kNoHandler, never 0. The main window's
// menu items are not here: each menu row names the function it runs (app/main_menu.cpp).
enum Handler : HandlerRef {
  // Main window.
  kStoreReadingState = 0,  // close requested: remember where the reader was
  kLayout,                 // size changed
  kLoadArticle,            // catalogue clicked
  kLoadArticleDoubleClick,
  kCatalogueMenu,          // catalogue row right-clicked (after it is selected)
  kContentKeyDown,
  kLinesRead,              // content box mouse moved
  kContentMenu,            // content box right button down
  kSaveArticle,            // the save-title button (the menu's 保存文章 runs the same function)

  // Title/find window.
  kTitleFindCreated,
  kFindUp,
  kTitleFindEditKey,
  kTitleFindAccept,

  // About window.
  kAboutOk,
  kAboutProductLabel,  // bound but empty: the label reacts to nothing

  // Background colour window.
  kBackgroundCancel,
  kBackgroundOk,

  kHandlerCount
};

// clang-format on
}  // namespace nvx::forms
