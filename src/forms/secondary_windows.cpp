#include "forms/secondary_windows.h"

#include "forms/handler_refs.h"

namespace nvx::forms {
namespace {

// Dialog-like windows: fixed size, no min/max boxes, Esc dismisses them.
constexpr WindowProps DialogProps(const char* title) {
  return {
      .title = title,
      .frame = Frame::Fixed,
      .minimizeBox = false,
      .maximizeBox = false,
      .centred = true,
      .inTaskbar = true,
      .alwaysOnTop = false,
      .dragByClientArea = false,
      .escCloses = true,
      .enterMovesFocus = false,
      .backColor = kDefaultColor,
  };
}

}  // namespace

namespace title_find {
namespace {

constexpr EventBinding kWindowEvents[] = {{event::kCreated, kTitleFindCreated}};
constexpr EventBinding kFindUpEvents[] = {{event::kClicked, kFindUp}};
constexpr EventBinding kInputEvents[] = {{event::kKeyDown, kTitleFindEditKey}};
constexpr EventBinding kAcceptEvents[] = {{event::kClicked, kTitleFindAccept}};

constexpr ControlDef kControls[] = {
    {
        .id = kFindUpButton,
        .name = "按钮2",
        .type = UnitType::Button,
        .rect = {128, 56, 80, 32},
        .flags = kVisible | kTabStop,
        .events = kFindUpEvents,
        .props = ButtonProps{.caption = "向上查找", .kind = 0, .hAlign = 1, .vAlign = 1},
    },
    {
        .id = kPromptLabel,
        .name = "标签1",
        .type = UnitType::Label,
        .rect = {8, 16, 56, 24},
        .flags = kVisible,
        .props =
            LabelProps{
                .caption = "查找内容：",
                .effect3d = 0,
                .textColor = kBlack,
                .backColor = kDefaultColor,
                .hAlign = 0,
                .wordWrap = false,
                .vAlign = 1,
            },
    },
    {
        .id = kInputBox,
        .name = "编辑框1",
        .type = UnitType::EditBox,
        .rect = {72, 16, 208, 24},
        .flags = kVisible | kTabStop,
        .events = kInputEvents,
        .props =
            EditBoxProps{
                .text = "",
                .border = 1,
                .textColor = kBlack,
                .backColor = kWhite,
                .hideSelection = true,
                .maxLength = 0,
                .multiLine = false,
            },
    },
    {
        .id = kAcceptButton,
        .name = "按钮1",
        .type = UnitType::Button,
        .rect = {216, 56, 80, 32},
        .flags = kVisible | kTabStop,
        .events = kAcceptEvents,
        .props = ButtonProps{.caption = "向下查找", .kind = 0, .hAlign = 1, .vAlign = 1},
    },
};

constexpr WindowProps WindowStyle() {
  // Stays over the main window while the user keeps searching in it.
  WindowProps props = DialogProps("查找");
  props.inTaskbar = false;
  props.alwaysOnTop = true;
  props.dragByClientArea = true;
  return props;
}

constexpr WindowDef kDefinition = {
    .id = kWindow,
    .unit = kSelf,
    .rect = {50, 50, 319, 135},
    .props = WindowStyle(),
    .events = kWindowEvents,
    .controls = kControls,
};

}  // namespace

const WindowDef& Definition() { return kDefinition; }

}  // namespace title_find

namespace about {
namespace {

constexpr EventBinding kOkEvents[] = {{event::kClicked, kAboutOk}};
constexpr EventBinding kProductLabelEvents[] = {{event::kLabelOwn, kAboutProductLabel}};

constexpr LabelProps WrappedLabel(const char* caption) {
  return {.caption = caption, .textColor = kBlack, .backColor = kDefaultColor, .hAlign = 0, .wordWrap = true};
}

// Group boxes come after the controls they hold: creation order puts them beneath their content.
constexpr ControlDef kControls[] = {
    {
        .id = kNotesBox,
        .name = "编辑框1",
        .type = UnitType::EditBox,
        .rect = {8, 16, 472, 56},
        .container = kNotesGroup,
        .flags = kVisible,
        .props =
            EditBoxProps{
                .text = "编辑器更新:\r\n"
                        "2014-10-19 v1.0,添加若干功能，修改界面，修正错误等\r\n"
                        "2014-10-15 v0.1,基于早期的NVX阅读器代码改写而成",
                .border = 1,
                .textColor = kBlack,
                .backColor = kWhite,
                .hideSelection = true,
                .multiLine = true,
                .scrollBars = 2,
                .inputMode = 1,
            },
    },
    {
        .id = kNotesGroup,
        .name = "分组框2",
        .type = UnitType::GroupBox,
        .rect = {16, 248, 488, 80},
        .flags = kVisible,
        .props = GroupBoxProps{.caption = "更新说明"},
    },
    {
        .id = kHelpLabel,
        .name = "标签4",
        .type = UnitType::Label,
        .rect = {15, 16, 465, 200},
        .container = kHelpGroup,
        .flags = kVisible,
        .props = WrappedLabel(kHelpText),
    },
    {
        .id = kHelpGroup,
        .name = "分组框1",
        .type = UnitType::GroupBox,
        .rect = {16, 24, 488, 224},
        .flags = kVisible,
        .props = GroupBoxProps{.caption = "功能介绍："},
    },
    {
        .id = kOkButton,
        .name = "超级按钮1",
        .type = UnitType::SuperBtn,
        .rect = {440, 335, 64, 24},
        .flags = kVisible | kTabStop,
        .events = kOkEvents,
        .props = SuperBtnProps{.caption = "确定"},
    },
    {
        .id = kCreditsLabel,
        .name = "标签3",
        .type = UnitType::Label,
        .rect = {16, 332, 408, 27},
        .flags = kVisible,
        .props = WrappedLabel("NVX编辑器：文章集的编辑与阅读工具。\r\n"
                              "使用 SQLite 3、zlib 与 Qt 6 构建。"),
    },
    {
        .id = kProductLabel,
        .name = "标签1",
        .type = UnitType::Label,
        .rect = {19, 8, 480, 16},
        .flags = kVisible,
        .events = kProductLabelEvents,
        .props = WrappedLabel("nvx编辑器（基于早期的NVX阅读器代码改写） 版本：1.0"),
    },
};

constexpr WindowDef kDefinition = {
    .id = kWindow,
    .unit = kSelf,
    .rect = {50, 50, 525, 406},
    .props = DialogProps("关于"),
    .controls = kControls,
};

}  // namespace

const WindowDef& Definition() { return kDefinition; }

}  // namespace about

namespace background_colour {
namespace {

constexpr EventBinding kCancelEvents[] = {{event::kClicked, kBackgroundCancel}};
constexpr EventBinding kOkEvents[] = {{event::kClicked, kBackgroundOk}};

constexpr ControlDef kControls[] = {
    {
        .id = kCancelButton,
        .name = "取消按钮",
        .type = UnitType::Button,
        .rect = {72, 136, 80, 32},
        .flags = kVisible | kTabStop,
        .events = kCancelEvents,
        .props = ButtonProps{.caption = "取消", .kind = 0, .hAlign = 1, .vAlign = 1},
    },
    {
        .id = kOkButton,
        .name = "确定按钮",
        .type = UnitType::Button,
        .rect = {184, 136, 80, 32},
        .flags = kVisible | kTabStop,
        .events = kOkEvents,
        .props = ButtonProps{.caption = "确定", .kind = 0, .hAlign = 1, .vAlign = 1},
    },
    {
        .id = kColourPicker,
        .name = "颜色选择器1",
        .type = UnitType::ColorPicker,
        .rect = {120, 56, 128, 32},
        .flags = kVisible,
        .props = ColorPickerProps{.color = kWhite, .flag = false},
    },
};

constexpr WindowDef kDefinition = {
    .id = kWindow,
    .unit = kSelf,
    .rect = {50, 50, 380, 250},
    .props = DialogProps("设置背景颜色"),
    .controls = kControls,
};

}  // namespace

const WindowDef& Definition() { return kDefinition; }

}  // namespace background_colour

}  // namespace nvx::forms
