#include "test_forms.h"

namespace nvx::test_forms {
namespace {

namespace mw = main_window;

constexpr EventBinding kMainEvents[] = {
    {event::kCloseRequested, kCloseRequested},
    {event::kResized, kLayout},
};
constexpr EventBinding kContentEvents[] = {
    {event::kKeyDown, kContentKeyDown},
    {event::kRightDown, kContentRightDown},
};
constexpr EventBinding kSaveTitleEvents[] = {{event::kClicked, kSaveTitleClicked}};
constexpr EventBinding kListEvents[] = {
    {event::kListClicked, kListClicked},
    {event::kDoubleClick, kListDoubleClick},
};

// The parts add up to 350 pixels before the seventh.
constexpr StatusPart kParts[] = {
    {.width = 30, .text = "共："},   {.width = 80, .text = ""},     {.width = 40, .text = "内容："},
    {.width = 100, .text = ""},      {.width = 50, .text = "行："}, {.width = 50, .text = ""},
    {.width = 60, .text = "标题："}, {.width = -1, .text = ""},
};

// A zero-wide key column and a centred heading.
constexpr ListColumn kColumns[] = {
    {.align = 0, .width = 0, .heading = ""},
    {.align = 1, .width = 180, .heading = "目录"},
};

constexpr ControlDef kMainControls[] = {
    {.id = mw::kSaveDialog,
     .name = "另存对话框",
     .type = UnitType::CommonDlg,
     .rect = {400, 48, 26, 26},
     .props = CommonDlgProps{.kind = 1, .filter = "sqlite数据库文件(*.nvx)|*.nvx", .defaultExt = "*.nvx"}},
    {.id = mw::kFontDialog,
     .name = "通用对话框1",
     .type = UnitType::CommonDlg,
     .rect = {160, 24, 26, 26},
     .props = CommonDlgProps{.kind = 2}},
    {.id = mw::kStatusBar,
     .name = "状态条1",
     .type = UnitType::StatusBar,
     .rect = {0, 226, 374, 20},
     .flags = kVisible,
     .props = StatusBarProps{.parts = kParts}},
    {.id = mw::kContentBox,
     .name = "编辑框1",
     .type = UnitType::RichEdit,
     .rect = {200, 0, 168, 216},
     .flags = kVisible | kTabStop,
     .events = kContentEvents,
     .props = RichEditProps{}},
    // Hidden, and over the list.
    {.id = mw::kSaveTitleButton,
     .name = "保存按钮",
     .type = UnitType::Button,
     .rect = {32, 88, 80, 24},
     .flags = kTabStop,
     .events = kSaveTitleEvents,
     .props = ButtonProps{.caption = "保存标题"}},
    {.id = mw::kList,
     .name = "超级列表框1",
     .type = UnitType::ListView,
     .rect = {0, 0, 180, 216},
     .flags = kVisible | kTabStop,
     .events = kListEvents,
     .props = ListViewProps{.font = {.face = "宋体", .height = -16, .weight = 700, .charset = 134},
                            .columns = kColumns}},
};

// Entries, items, submenus and separators; 方案2 is the eleventh record.
constexpr MenuItemDef kMainMenu[] = {
    {.id = mw::kMenuFile, .level = 0, .caption = "文件"},
    {.id = 0x26FF0002, .level = 1, .caption = "新建", .handler = kNew},
    {.id = 0x26FF0003, .level = 1, .caption = "打开", .handler = kOpen},
    {.id = 0x26FF0004, .level = 1, .caption = "-"},
    {.id = 0x26FF0005, .level = 1, .caption = "退出", .handler = kExit},
    {.id = mw::kMenuReading, .level = 0, .caption = "阅读"},
    {.id = 0x26FF0011, .level = 1, .caption = "上一篇", .handler = kPrevious},
    {.id = 0x26FF0012, .level = 1, .caption = "内容操作"},
    {.id = 0x26FF0013, .level = 2, .caption = "复制", .handler = kCopy},
    {.id = 0x26FF0014, .level = 2, .caption = "查找", .handler = kFind},
    {.id = 0x26FF0015, .level = 1, .caption = "-"},
    {.id = 0x26FF0016, .level = 1, .caption = "配色方案"},
    {.id = 0x26FF0017, .level = 2, .caption = "方案1", .handler = kScheme1},
    {.id = 0x26FF0018, .level = 2, .caption = "方案2", .handler = kScheme2},
    {.id = 0x26FF0019, .level = 1, .caption = "界面设置"},
    {.id = 0x26FF001A, .level = 2, .caption = "打开目录", .handler = kShowList},
    {.id = mw::kMenuEdit, .level = 0, .caption = "编辑"},
    {.id = 0x26FF0021, .level = 1, .caption = "添加标题", .handler = kAddTitle},
    {.id = 0x26FF0022, .level = 1, .caption = "-"},
    {.id = 0x26FF0023, .level = 1, .caption = "删除文章", .handler = kDeleteArticle},
    {.id = 0x26FF0030, .level = 0, .caption = "说明"},
    {.id = 0x26FF0031, .level = 1, .caption = "关于", .handler = kAbout},
};

constexpr EventBinding kHelpOkEvents[] = {{event::kClicked, kHelpOk}};
constexpr EventBinding kHelpEvents[] = {
    {event::kRightDown, kHelpRightDown},
    {event::kKeyDown, kHelpKeyDown},
    {event::kWheel, kHelpWheel},
};

constexpr ControlDef kHelpControls[] = {
    {.id = help::kTextLabel,
     .name = "标签1",
     .type = UnitType::Label,
     .rect = {16, 16, 300, 100},
     .flags = kVisible,
     .props = LabelProps{.caption = help::kText, .wordWrap = true}},
    {.id = help::kOkButton,
     .name = "超级按钮1",
     .type = UnitType::SuperBtn,
     .rect = {240, 130, 64, 24},
     .flags = kVisible | kTabStop,
     .events = kHelpOkEvents,
     .props = SuperBtnProps{.caption = "确定"}},
};

constexpr ControlDef kInputControls[] = {
    {.id = input::kPromptLabel,
     .name = "标签1",
     .type = UnitType::Label,
     .rect = {8, 16, 56, 24},
     .flags = kVisible,
     .props = LabelProps{.caption = "标题："}},
    {.id = input::kInputBox,
     .name = "编辑框1",
     .type = UnitType::EditBox,
     .rect = {72, 16, 208, 24},
     .flags = kVisible | kTabStop,
     .props = EditBoxProps{}},
    {.id = input::kAcceptButton,
     .name = "按钮1",
     .type = UnitType::Button,
     .rect = {216, 56, 80, 32},
     .flags = kVisible | kTabStop,
     .props = ButtonProps{.caption = "确定", .kind = 1}},
};

constexpr WindowDef kWindows[] = {
    {.id = mw::kWindow,
     .unit = mw::kSelf,
     .rect = {50, 50, 800, 600},
     .props = {.title = "测试主窗口", .dragByClientArea = true},
     .events = kMainEvents,
     .controls = kMainControls,
     .menu = kMainMenu},
    {.id = help::kWindow,
     .unit = help::kSelf,
     .rect = {50, 50, 340, 200},
     .props = {.title = "帮助",
               .frame = Frame::Fixed,
               .minimizeBox = false,
               .maximizeBox = false,
               .escCloses = true},
     .events = kHelpEvents,
     .controls = kHelpControls},
    {.id = input::kWindow,
     .unit = input::kSelf,
     .rect = {50, 50, 319, 135},
     .props = {.title = "输入",
               .frame = Frame::Fixed,
               .minimizeBox = false,
               .maximizeBox = false,
               .escCloses = true},
     .controls = kInputControls},
};

}  // namespace

std::span<const WindowDef> AllWindows() { return kWindows; }

}  // namespace nvx::test_forms
