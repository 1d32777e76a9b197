#include "app/main_menu.h"

#include "app/article_editing.h"
#include "app/catalogue.h"
#include "app/file_menu.h"
#include "forms/secondary_windows.h"
#include "reading/appearance.h"
#include "reading/background_window.h"
#include "reading/content_operations.h"
#include "reading/title_find_window.h"
#include "runtime/window_runtime.h"

namespace nvx::app {
// A table aligned by hand, so that each row reads as one item.
// clang-format off
namespace {

void OpenAbout() { LoadWindow(forms::about::kWindow, std::nullopt, true); }

// A row with a command is an item that runs it; one without opens the items below it, one level
// deeper, or is a separator ("-").
constexpr MenuItemDef kMenu[] = {
    {.id = 0x260100DD,   .level = 0, .caption = "文件"},
    {.id = 0x26010100,   .level = 1, .caption = "新建",       .command = &NewDatabase},
    {.id = 0x260100DE,   .level = 1, .caption = "打开",       .command = &OpenDatabase},
    {.id = 0x260100DF,   .level = 1, .caption = "另存",       .command = &SaveAs},
    {.id = 0x26010195,   .level = 1, .caption = "-"},
    {.id = 0x260101D6,   .level = 1, .caption = "导出",       .command = &Export},
    {.id = 0x26010105,   .level = 1, .caption = "关闭",       .command = &CloseDatabase},
    {.id = 0x260100E0,   .level = 1, .caption = "退出",       .command = &Exit},

    {.id = kMenuReading, .level = 0, .caption = "阅读"},
    {.id = 0x260101AF,   .level = 1, .caption = "上一篇",     .command = &Previous},
    {.id = 0x260101B0,   .level = 1, .caption = "下一篇",     .command = &Next},
    {.id = 0x260101BB,   .level = 1, .caption = "内容操作"},
    {.id = 0x2601013C,   .level = 2, .caption = "全选",       .command = &reading::SelectAll},
    {.id = 0x26010033,   .level = 2, .caption = "复制",       .command = &reading::Copy},
    {.id = 0x26010035,   .level = 2, .caption = "粘贴",       .command = &reading::Paste},
    {.id = 0x26010034,   .level = 2, .caption = "剪切",       .command = &reading::Cut},
    {.id = 0x26010036,   .level = 2, .caption = "删除",       .command = &reading::Delete},
    {.id = 0x26010038,   .level = 2, .caption = "查找",       .command = &reading::OpenFindWindow},
    {.id = 0x2601013D,   .level = 1, .caption = "-"},
    {.id = 0x260101E9,   .level = 1, .caption = "字体颜色"},
    {.id = 0x26010037,   .level = 2, .caption = "字体设置",   .command = &reading::FontSetting},
    {.id = 0x260101A8,   .level = 2, .caption = "背景颜色",   .command = &reading::OpenBackgroundWindow},
    {.id = 0x260101A9,   .level = 2, .caption = "字体放大",   .command = &reading::FontLarger},
    {.id = 0x260101AA,   .level = 2, .caption = "字体缩小",   .command = &reading::FontSmaller},
    {.id = 0x26010129,   .level = 1, .caption = "配色方案"},
    {.id = 0x2601012A,   .level = 2, .caption = "方案1",      .command = &reading::ColorScheme1},
    {.id = 0x2601012B,   .level = 2, .caption = "方案2",      .command = &reading::ColorScheme2},
    {.id = 0x2601012C,   .level = 2, .caption = "方案3",      .command = &reading::ColorScheme3},
    {.id = 0x2601012D,   .level = 2, .caption = "方案4",      .command = &reading::ColorScheme4},
    {.id = 0x2601012E,   .level = 2, .caption = "方案5",      .command = &reading::ColorScheme5},
    {.id = 0x26010198,   .level = 1, .caption = "界面设置"},
    {.id = 0x26010199,   .level = 2, .caption = "关闭目录",   .command = &reading::HideCatalogue},
    {.id = 0x2601019A,   .level = 2, .caption = "打开目录",   .command = &reading::ShowCatalogue},

    {.id = kMenuEdit,    .level = 0, .caption = "编辑"},
    {.id = 0x26010011,   .level = 1, .caption = "添加标题",   .command = &AddTitle},
    {.id = 0x26010012,   .level = 1, .caption = "修改标题",   .command = &ModifyTitle},
    {.id = 0x2601009C,   .level = 1, .caption = "保存文章",   .command = &SaveArticle},
    {.id = 0x260101EA,   .level = 1, .caption = "-"},
    {.id = 0x26010013,   .level = 1, .caption = "删除文章",   .command = &DeleteArticle},
    {.id = 0x260101EB,   .level = 1, .caption = "-"},
    {.id = 0x260100CD,   .level = 1, .caption = "收缩数据库", .command = &ShrinkDatabase},

    {.id = 0x260100E1,   .level = 0, .caption = "说明"},
    {.id = 0x260100E2,   .level = 1, .caption = "关于",       .command = &OpenAbout},
};

}  // namespace

std::span<const MenuItemDef> MainMenu() { return kMenu; }

// clang-format on
}  // namespace nvx::app
