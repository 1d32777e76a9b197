// The runtime's own test forms: a main window with a list view, a rich edit box, a hidden button,
// a status bar, three common dialogs and a menu with submenus; a modal window that Esc closes; and
// a small input window to place inside the main one. The form engine is tested on these alone.
#pragma once

#include <span>

#include "runtime/form_types.h"

namespace nvx::test_forms {

// The handler references the test forms bind. Reference 0 is an ordinary one (the menu's 方案2).
enum Handler : HandlerRef {
  kScheme2 = 0,
  kCloseRequested,
  kLayout,
  kListClicked,
  kListDoubleClick,
  kContentKeyDown,
  kContentRightDown,
  kSaveTitleClicked,
  kNew,
  kOpen,
  kExit,
  kPrevious,
  kCopy,
  kFind,
  kScheme1,
  kShowList,
  kAddTitle,
  kDeleteArticle,
  kAbout,
  kHelpOk,
  kHelpRightDown,
  kHelpKeyDown,
  kHelpWheel,
};

namespace main_window {

inline constexpr WindowId kWindow = 0x52FF0001;
inline constexpr UnitId kSelf = 0x06FF0001;

inline constexpr UnitId kSaveDialog = 0x16FF0001;       // 另存对话框
inline constexpr UnitId kFontDialog = 0x16FF0002;       // 通用对话框1
inline constexpr UnitId kStatusBar = 0x16FF0003;        // 状态条1
inline constexpr UnitId kContentBox = 0x16FF0004;       // 编辑框1
inline constexpr UnitId kSaveTitleButton = 0x16FF0005;  // 保存按钮
inline constexpr UnitId kList = 0x16FF0006;             // 超级列表框1

inline constexpr UnitId kMenuFile = 0x26FF0001;
inline constexpr UnitId kMenuReading = 0x26FF0010;
inline constexpr UnitId kMenuEdit = 0x26FF0020;

}  // namespace main_window

namespace help {

inline constexpr WindowId kWindow = 0x52FF0002;
inline constexpr UnitId kSelf = 0x06FF0002;
inline constexpr UnitId kTextLabel = 0x16FF0011;  // 标签1
inline constexpr UnitId kOkButton = 0x16FF0012;   // 超级按钮1

// Several lines, ASCII and full-width marks mixed, as the label shows them.
inline constexpr char kText[] = "    [帮助]---第一行，说明\r\n\r\n    第二行: \"引号\"与“引号”。";

}  // namespace help

namespace input {

inline constexpr WindowId kWindow = 0x52FF0003;
inline constexpr UnitId kSelf = 0x06FF0003;
inline constexpr UnitId kPromptLabel = 0x16FF0021;   // 标签1
inline constexpr UnitId kInputBox = 0x16FF0022;      // 编辑框1
inline constexpr UnitId kAcceptButton = 0x16FF0023;  // 按钮1

}  // namespace input

std::span<const WindowDef> AllWindows();

}  // namespace nvx::test_forms
