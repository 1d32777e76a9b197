// The main window: catalogue on the left, the article on the right, counts in the status bar.
#pragma once

#include "runtime/form_types.h"

namespace nvx::forms::main_window {
// Tables aligned by hand, so that each row reads as one unit.
// clang-format off

inline constexpr WindowId kWindow = 0x52010001;
inline constexpr UnitId kSelf = 0x06010000;

// Controls.
inline constexpr UnitId kSaveDialog = 0x1601014B;       // 另存对话框
inline constexpr UnitId kOpenDialog = 0x160100F7;       // 通用对话框2
inline constexpr UnitId kFontDialog = 0x16010087;       // 通用对话框1
inline constexpr UnitId kStatusBar = 0x1601006E;        // 状态条1
inline constexpr UnitId kContentBox = 0x16010027;       // 编辑框1
inline constexpr UnitId kSaveTitleButton = 0x1601001C;  // 保存按钮
inline constexpr UnitId kCatalogue = 0x16010002;        // 超级列表框1

// The menu is the editor's (app/main_menu.cpp): each row beside the function it runs.

// Status bar parts whose text the program fills; the others are their captions.
inline constexpr int kPartArticleCount = 1;  // after 共：
inline constexpr int kPartContentSize = 3;   // after 内容：
inline constexpr int kPartLinesRead = 5;     // after 已读行：
inline constexpr int kPartTitle = 7;         // after 文章标题：

// Catalogue columns. The id column is zero wide: it shows the article's id as text, which the
// program never reads back (each row keeps the id as a number beside it).
inline constexpr int kColumnId = 0;
inline constexpr int kColumnTitle = 1;

const WindowDef& Definition();

// clang-format on
}  // namespace nvx::forms::main_window
