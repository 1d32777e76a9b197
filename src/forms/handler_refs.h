// The handler references the forms bind to events. The editor's logic fills the handler table at
// start-up, one C++ function per reference; the forms only carry the numbers.
#pragma once

#include "runtime/form_types.h"

namespace nvx::forms {
// Tables aligned by hand, so that each row reads as one unit.
// clang-format off

// Reference 0 is an ordinary handler (colour scheme 4), so "no handler" is kNoHandler, never 0.
enum Handler : HandlerRef {
  kColorScheme4 = 0,

  // Main window.
  kStoreReadingState,  // close requested: remember where the reader was
  kLayout,             // size changed
  kLoadArticle,        // catalogue clicked
  kLoadArticleDoubleClick,
  kCatalogueMenu,      // catalogue row right-clicked (after it is selected)
  kContentKeyDown,
  kLinesRead,          // content box mouse moved
  kContentMenu,        // content box right button down
  kSaveArticle,        // the save-title button and menu 保存文章 alike

  // Main window menu.
  kNew,
  kOpen,
  kSaveAs,
  kExport,
  kClose,
  kExit,
  kPrevious,
  kNext,
  kSelectAll,
  kCopy,
  kPaste,
  kCut,
  kDelete,
  kFind,
  kFontSetting,
  kBackgroundColour,
  kFontLarger,
  kFontSmaller,
  kColorScheme1,
  kColorScheme2,
  kColorScheme3,
  kColorScheme5,
  kHideCatalogue,
  kShowCatalogue,
  kAddTitle,
  kModifyTitle,
  kDeleteArticle,
  kShrinkDatabase,
  kAbout,

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
