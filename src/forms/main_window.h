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

// Menu.
inline constexpr UnitId kMenuFile = 0x260100DD;              // 文件
inline constexpr UnitId kMenuNew = 0x26010100;               // 新建
inline constexpr UnitId kMenuOpen = 0x260100DE;              // 打开
inline constexpr UnitId kMenuSaveAs = 0x260100DF;            // 另存
inline constexpr UnitId kMenuFileSeparator = 0x26010195;
inline constexpr UnitId kMenuExport = 0x260101D6;            // 导出
inline constexpr UnitId kMenuClose = 0x26010105;             // 关闭
inline constexpr UnitId kMenuExit = 0x260100E0;              // 退出
inline constexpr UnitId kMenuReading = 0x26010128;           // 阅读
inline constexpr UnitId kMenuPrevious = 0x260101AF;          // 上一篇
inline constexpr UnitId kMenuNext = 0x260101B0;              // 下一篇
inline constexpr UnitId kMenuContent = 0x260101BB;           // 内容操作
inline constexpr UnitId kMenuSelectAll = 0x2601013C;         // 全选
inline constexpr UnitId kMenuCopy = 0x26010033;              // 复制
inline constexpr UnitId kMenuPaste = 0x26010035;             // 粘贴
inline constexpr UnitId kMenuCut = 0x26010034;               // 剪切
inline constexpr UnitId kMenuDelete = 0x26010036;            // 删除
inline constexpr UnitId kMenuFind = 0x26010038;              // 查找
inline constexpr UnitId kMenuReadingSeparator = 0x2601013D;
inline constexpr UnitId kMenuFontColour = 0x260101E9;        // 字体颜色
inline constexpr UnitId kMenuFontSetting = 0x26010037;       // 字体设置
inline constexpr UnitId kMenuBackgroundColour = 0x260101A8;  // 背景颜色
inline constexpr UnitId kMenuFontLarger = 0x260101A9;        // 字体放大
inline constexpr UnitId kMenuFontSmaller = 0x260101AA;       // 字体缩小
inline constexpr UnitId kMenuColorSchemes = 0x26010129;      // 配色方案
inline constexpr UnitId kMenuColorScheme1 = 0x2601012A;      // 方案1
inline constexpr UnitId kMenuColorScheme2 = 0x2601012B;      // 方案2
inline constexpr UnitId kMenuColorScheme3 = 0x2601012C;      // 方案3
inline constexpr UnitId kMenuColorScheme4 = 0x2601012D;      // 方案4
inline constexpr UnitId kMenuColorScheme5 = 0x2601012E;      // 方案5
inline constexpr UnitId kMenuInterface = 0x26010198;         // 界面设置
inline constexpr UnitId kMenuHideCatalogue = 0x26010199;     // 关闭目录
inline constexpr UnitId kMenuShowCatalogue = 0x2601019A;     // 打开目录
inline constexpr UnitId kMenuEdit = 0x26010010;              // 编辑 (also the catalogue's pop-up)
inline constexpr UnitId kMenuAddTitle = 0x26010011;          // 添加标题
inline constexpr UnitId kMenuModifyTitle = 0x26010012;       // 修改标题
inline constexpr UnitId kMenuSaveArticle = 0x2601009C;       // 保存文章
inline constexpr UnitId kMenuEditSeparator1 = 0x260101EA;
inline constexpr UnitId kMenuDeleteArticle = 0x26010013;     // 删除文章
inline constexpr UnitId kMenuEditSeparator2 = 0x260101EB;
inline constexpr UnitId kMenuShrinkDatabase = 0x260100CD;    // 收缩数据库
inline constexpr UnitId kMenuNotes = 0x260100E1;             // 说明
inline constexpr UnitId kMenuAbout = 0x260100E2;             // 关于

// Status bar parts whose text the program fills; the others are their captions.
inline constexpr int kPartArticleCount = 1;  // after 共：
inline constexpr int kPartContentSize = 3;   // after 内容：
inline constexpr int kPartLinesRead = 5;     // after 已读行：
inline constexpr int kPartTitle = 7;         // after 文章标题：

// Catalogue columns. The id column is zero wide: it only carries the article's key.
inline constexpr int kColumnId = 0;
inline constexpr int kColumnTitle = 1;

const WindowDef& Definition();

// clang-format on
}  // namespace nvx::forms::main_window
