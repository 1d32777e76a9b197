#include "forms/main_window.h"

#include "forms/handler_refs.h"

namespace nvx::forms::main_window {
// Tables aligned by hand, so that each row reads as one unit.
// clang-format off
namespace {

// RGB(0, 96, 192): the catalogue's blue titles.
constexpr std::int32_t kCatalogueBlue = 0 + 96 * 256 + 192 * 65536;

constexpr EventBinding kWindowEvents[] = {
    {event::kCloseRequested, kStoreReadingState},
    {event::kResized, kLayout},
};

constexpr EventBinding kContentBoxEvents[] = {
    {event::kKeyDown, kContentKeyDown},
    {event::kMouseMove, kLinesRead},
    {event::kRightDown, kContentMenu},
};

constexpr EventBinding kSaveTitleButtonEvents[] = {
    {event::kClicked, kSaveArticle},
};

constexpr EventBinding kCatalogueEvents[] = {
    {event::kListClicked, kLoadArticle},
    {event::kDoubleClick, kLoadArticleDoubleClick},
    // After the list has selected the row pressed: the pop-up's commands act on that row.
    {event::kListRightClicked, kCatalogueMenu},
};

constexpr StatusPart kStatusParts[] = {
    {.width = 30, .text = "共："},
    {.width = 80, .text = ""},
    {.width = 40, .text = "内容："},
    {.width = 100, .text = ""},
    {.width = 50, .text = "已读行："},
    {.width = 50, .text = ""},
    {.width = 60, .text = "文章标题："},
    {.width = -1, .text = ""},
};

constexpr ListColumn kCatalogueColumns[] = {
    {.align = 0, .width = 0, .heading = ""},
    {.align = 1, .width = 180, .heading = "目录"},
};

constexpr ControlDef kControls[] = {
    {
        .id = kSaveDialog,
        .name = "另存对话框",
        .type = UnitType::CommonDlg,
        .rect = {400, 48, 26, 26},
        .props =
            CommonDlgProps{
                .kind = 1,
                .filter = "sqlite数据库文件(*.nvx)|*.nvx",
                // Kept as the form stores it, wildcard and all: whatever appends it to a typed
                // file name has to drop the "*." first.
                .defaultExt = "*.nvx",
            },  // all three dialogs keep the default file-dialog flags of CommonDlgProps
    },
    {
        .id = kOpenDialog,
        .name = "通用对话框2",
        .type = UnitType::CommonDlg,
        .rect = {400, 8, 24, 24},
        .props =
            CommonDlgProps{
                .kind = 0,
            },
    },
    {
        .id = kFontDialog,
        .name = "通用对话框1",
        .type = UnitType::CommonDlg,
        .rect = {160, 24, 26, 26},
        .props =
            CommonDlgProps{
                .kind = 2,
            },
    },
    {
        .id = kStatusBar,
        .name = "状态条1",
        .type = UnitType::StatusBar,
        .rect = {0, 226, 374, 20},
        .flags = kVisible,
        .props = StatusBarProps{.docking = 0, .sizeGrip = false, .parts = kStatusParts},
    },
    {
        .id = kContentBox,
        .name = "编辑框1",
        .type = UnitType::RichEdit,
        .rect = {200, 0, 168, 216},
        .flags = kVisible | kTabStop,
        .events = kContentBoxEvents,
        .props =
            RichEditProps{
                .textFormat = 0,
                .border = 1,
                .backColor = kDefaultColor,
                .multiLine = true,
                .wrap = true,
                .readOnly = false,
                .hideSelection = true,
                .maxLength = 0,
                .faceName = "宋体",
                .fontSize = 9,
            },
    },
    {
        // Shown only while a title is being added or changed.
        .id = kSaveTitleButton,
        .name = "保存按钮",
        .type = UnitType::Button,
        .rect = {32, 88, 80, 24},
        .flags = kTabStop,
        .events = kSaveTitleButtonEvents,
        .props = ButtonProps{.caption = "保存文章标题", .kind = 0, .hAlign = 1, .vAlign = 1},
    },
    {
        .id = kCatalogue,
        .name = "超级列表框1",
        .type = UnitType::ListView,
        .rect = {0, 0, 180, 216},
        .flags = kVisible | kTabStop,
        .events = kCatalogueEvents,
        .props =
            ListViewProps{
                .textColor = kCatalogueBlue,
                .textBackColor = kWhite,
                .backColor = kWhite,
                .font = {.face = "宋体", .height = -16, .weight = 700, .charset = 134},
                .columns = kCatalogueColumns,
                .singleSelection = true,
                .keepSelectionVisible = true,
                .fullRowSelect = true,
                .headerClickable = true,
            },
    },
};

constexpr WindowDef kDefinition = {
    .id = kWindow,
    .unit = kSelf,
    .rect = {50, 50, 800, 600},
    .props =
        {
            .title = "NVX编辑器",
            .frame = Frame::Resizable,
            .minimizeBox = true,
            .maximizeBox = true,
            .centred = true,
            .inTaskbar = true,
            .alwaysOnTop = false,
            .dragByClientArea = true,
            .escCloses = false,
            .enterMovesFocus = false,
            .backColor = kDefaultColor,
        },
    .events = kWindowEvents,
    .controls = kControls,
};

}  // namespace

const WindowDef& Definition() { return kDefinition; }

// clang-format on
}  // namespace nvx::forms::main_window
