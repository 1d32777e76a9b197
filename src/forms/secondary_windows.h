// The smaller windows: title entry and find (one window serves both), About, and the background
// colour picker.
#pragma once

#include "runtime/form_types.h"

namespace nvx::forms::title_find {

inline constexpr WindowId kWindow = 0x52010043;
inline constexpr UnitId kSelf = 0x06010042;

inline constexpr UnitId kFindUpButton = 0x1601006F;  // 按钮2
inline constexpr UnitId kPromptLabel = 0x16010046;   // 标签1
inline constexpr UnitId kInputBox = 0x16010045;      // 编辑框1
inline constexpr UnitId kAcceptButton = 0x16010044;  // 按钮1

const WindowDef& Definition();

}  // namespace nvx::forms::title_find

namespace nvx::forms::about {

inline constexpr WindowId kWindow = 0x520100E3;
inline constexpr UnitId kSelf = 0x060100E4;

inline constexpr UnitId kNotesBox = 0x160100E6;      // 编辑框1
inline constexpr UnitId kNotesGroup = 0x160100E7;    // 分组框2
inline constexpr UnitId kHelpLabel = 0x160100E9;     // 标签4
inline constexpr UnitId kHelpGroup = 0x160100EA;     // 分组框1
inline constexpr UnitId kOkButton = 0x160100EB;      // 超级按钮1
inline constexpr UnitId kCreditsLabel = 0x160100EC;  // 标签3
inline constexpr UnitId kProductLabel = 0x160100ED;  // 标签1

// The help shown in 标签4. Its punctuation mixes ASCII and full-width marks on purpose: it is
// the text users of the editor have always read.
inline constexpr char kHelpText[] =
    "    [编辑器帮助]\r\n"
    "    [文件]---可以新建、打开、另存.nvx文件，导出为txt文件,新建文件默认为new.nvx位于程序目录下\r\n"
    "    [阅读]---可以对文章内容进行阅读设置，内容操作，字体背景，配色方案，界面设置等\r\n"
    "\r\n"
    "    [编辑]---对新建或打开的.nvx文件进行编辑。在目录列表单击右键，弹出编辑菜单，"
    "可以添加、修改标题，保存、删除文章，收缩数据库。单击目录选择文章标题，"
    "然后在右边文本框编辑文章内容，编辑好后使用“保存文章”菜单保存文章。\r\n"
    "\r\n"
    "    [小注]nvx编辑器可以编辑的.nvx文件是一种自定义格式的sqlite数据库文件，"
    "nvx编辑器只能对该自定义格式的.nvx文件进行编辑。"
    "新建或打开的.nvx文件在编辑时需要单击添加或修改标题后显示的\"保存文章标题\"按钮，"
    "使用\"保存文章\"菜单才会将数据保存到该文件。\r\n"
    "    本编辑器可以用于小说、文本、资料等数据管理。\r\n"
    "    软件也还存在许多不足，欢迎提出改进意见，感谢你使用本软件！";

const WindowDef& Definition();

}  // namespace nvx::forms::about

namespace nvx::forms::background_colour {

inline constexpr WindowId kWindow = 0x520101A3;
inline constexpr UnitId kSelf = 0x060101A4;

inline constexpr UnitId kCancelButton = 0x160101A5;  // 取消按钮
inline constexpr UnitId kOkButton = 0x160101A6;      // 确定按钮
inline constexpr UnitId kColourPicker = 0x160101A7;  // 颜色选择器1

const WindowDef& Definition();

}  // namespace nvx::forms::background_colour
