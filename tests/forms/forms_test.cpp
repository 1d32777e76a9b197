#include "forms/forms.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "forms/handler_refs.h"
#include "forms/main_window.h"
#include "forms/secondary_windows.h"

namespace nvx::forms {
namespace {

const ControlDef* FindControl(const WindowDef& window, UnitId id) {
  for (const ControlDef& control : window.controls) {
    if (control.id == id) return &control;
  }
  return nullptr;
}

std::vector<std::string> SplitCrLf(std::string_view text) {
  std::vector<std::string> lines;
  for (std::size_t start = 0;;) {
    const std::size_t end = text.find("\r\n", start);
    lines.emplace_back(text.substr(start, end - start));
    if (end == std::string_view::npos) return lines;
    start = end + 2;
  }
}

// The engine reads the props alternative that belongs to the unit's type; any other is a fault.
bool PropsFitType(const ControlDef& c) {
  switch (c.type) {
    case UnitType::EditBox: return std::holds_alternative<EditBoxProps>(c.props);
    case UnitType::GroupBox: return std::holds_alternative<GroupBoxProps>(c.props);
    case UnitType::Label: return std::holds_alternative<LabelProps>(c.props);
    case UnitType::Button: return std::holds_alternative<ButtonProps>(c.props);
    case UnitType::ColorPicker: return std::holds_alternative<ColorPickerProps>(c.props);
    case UnitType::CommonDlg: return std::holds_alternative<CommonDlgProps>(c.props);
    case UnitType::StatusBar: return std::holds_alternative<StatusBarProps>(c.props);
    case UnitType::ListView: return std::holds_alternative<ListViewProps>(c.props);
    case UnitType::SuperBtn: return std::holds_alternative<SuperBtnProps>(c.props);
    case UnitType::RichEdit: return std::holds_alternative<RichEditProps>(c.props);
    case UnitType::Window:
    case UnitType::MenuItem: return false;
  }
  return false;
}

TEST(Forms, UnitIdentifiersAreUniqueAndCarryTheirKind) {
  std::set<WindowId> windows;
  std::set<UnitId> units;
  for (const WindowDef& w : AllWindows()) {
    EXPECT_TRUE(windows.insert(w.id).second) << std::hex << w.id;
    EXPECT_EQ(w.id >> 24, 0x52u) << std::hex << w.id;
    EXPECT_TRUE(units.insert(w.unit).second) << std::hex << w.unit;
    EXPECT_EQ(w.unit >> 24, 0x06u) << std::hex << w.unit;
    for (const ControlDef& c : w.controls) {
      EXPECT_TRUE(units.insert(c.id).second) << c.name;
      EXPECT_EQ(c.id >> 24, 0x16u) << c.name;
      EXPECT_TRUE(PropsFitType(c)) << c.name;
    }
    for (const MenuItemDef& m : w.menu) {
      EXPECT_TRUE(units.insert(m.id).second) << m.caption;
      EXPECT_EQ(m.id >> 24, 0x26u) << m.caption;
    }
  }
}

TEST(Forms, ContainersAreGroupBoxesOfTheSameWindowAndHoldTheirControls) {
  int contained = 0;
  for (const WindowDef& w : AllWindows()) {
    for (const ControlDef& c : w.controls) {
      if (c.container == 0) continue;
      ++contained;
      const ControlDef* box = FindControl(w, c.container);
      ASSERT_NE(box, nullptr) << c.name;
      EXPECT_EQ(box->type, UnitType::GroupBox) << c.name;
      // The rect is relative to the box, so it must fit in the box's own size.
      EXPECT_GE(c.rect.left, 0) << c.name;
      EXPECT_GE(c.rect.top, 0) << c.name;
      EXPECT_LE(c.rect.left + c.rect.width, box->rect.width) << c.name;
      EXPECT_LE(c.rect.top + c.rect.height, box->rect.height) << c.name;
    }
  }
  EXPECT_EQ(contained, 2) << "About holds its notes and its help in group boxes";
}

TEST(Forms, EveryHandlerIsBoundOnceOrMoreAndNothingElseIs) {
  std::map<HandlerRef, int> uses;
  auto bind = [&](const std::span<const EventBinding> events, const char* who) {
    std::set<int> seen;
    for (const EventBinding& b : events) {
      EXPECT_TRUE(seen.insert(b.event).second) << who << " binds event " << b.event << " twice";
      ++uses[b.handler];
    }
  };
  for (const WindowDef& w : AllWindows()) {
    bind(w.events, w.props.title);
    for (const ControlDef& c : w.controls) bind(c.events, c.name);
    for (const MenuItemDef& m : w.menu) {
      if (m.handler != kNoHandler) ++uses[m.handler];
    }
  }
  for (const auto& [handler, count] : uses) {
    EXPECT_GE(handler, 0);
    EXPECT_LT(handler, kHandlerCount);
  }
  for (HandlerRef h = 0; h < kHandlerCount; ++h) {
    EXPECT_TRUE(uses.contains(h)) << "handler " << h << " is never bound";
  }
  EXPECT_EQ(uses[kSaveArticle], 1) << "the save-title button (the menu's item runs the same function)";
}

TEST(Forms, HelpTextKeepsItsLayout) {
  const std::string_view help = about::kHelpText;
  const auto lines = SplitCrLf(help);
  ASSERT_EQ(lines.size(), 9u);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos) << "stray line break in line " << i + 1;
    if (i == 3 || i == 5) {
      EXPECT_TRUE(line.empty()) << "line " << i + 1;
    } else {
      EXPECT_TRUE(line.starts_with("    ") && line[4] != ' ') << "line " << i + 1 << ": " << line;
    }
  }

  // The help names the button the user has to look for; it must match the form (the menu item it
  // names is checked beside the menu).
  const WindowDef& main = main_window::Definition();
  const ControlDef* button = FindControl(main, main_window::kSaveTitleButton);
  ASSERT_NE(button, nullptr);
  const std::string buttonCaption = std::get<ButtonProps>(button->props).caption;
  EXPECT_NE(lines[6].find('"' + buttonCaption + '"'), std::string::npos);

  const ControlDef* label = FindControl(about::Definition(), about::kHelpLabel);
  ASSERT_NE(label, nullptr);
  EXPECT_EQ(std::string_view(std::get<LabelProps>(label->props).caption), help);
}

TEST(Forms, NamedConstantsNameUnitsOfTheRightType) {
  struct Row {
    const char* name;
    WindowId window;
    UnitId unit;
    UnitType type;
  };
  const Row rows[] = {
      {"content box", main_window::kWindow, main_window::kContentBox, UnitType::RichEdit},
      {"catalogue", main_window::kWindow, main_window::kCatalogue, UnitType::ListView},
      {"status bar", main_window::kWindow, main_window::kStatusBar, UnitType::StatusBar},
      {"save-title button", main_window::kWindow, main_window::kSaveTitleButton, UnitType::Button},
      {"save dialog", main_window::kWindow, main_window::kSaveDialog, UnitType::CommonDlg},
      {"open dialog", main_window::kWindow, main_window::kOpenDialog, UnitType::CommonDlg},
      {"font dialog", main_window::kWindow, main_window::kFontDialog, UnitType::CommonDlg},
      {"title/find input", title_find::kWindow, title_find::kInputBox, UnitType::EditBox},
      {"title/find prompt", title_find::kWindow, title_find::kPromptLabel, UnitType::Label},
      {"find up", title_find::kWindow, title_find::kFindUpButton, UnitType::Button},
      {"accept", title_find::kWindow, title_find::kAcceptButton, UnitType::Button},
      {"colour picker", background_colour::kWindow, background_colour::kColourPicker, UnitType::ColorPicker},
  };
  for (const Row& row : rows) {
    const WindowDef* window = FindWindowDef(row.window);
    ASSERT_NE(window, nullptr) << row.name;
    const ControlDef* control = FindControl(*window, row.unit);
    ASSERT_NE(control, nullptr) << row.name;
    EXPECT_EQ(control->type, row.type) << row.name;
  }

  // The status-bar part constants point at the blanks the program fills, each after its caption.
  const ControlDef* statusBar = FindControl(main_window::Definition(), main_window::kStatusBar);
  ASSERT_NE(statusBar, nullptr);
  const auto& bar = std::get<StatusBarProps>(statusBar->props);
  for (int part : {main_window::kPartArticleCount, main_window::kPartContentSize, main_window::kPartLinesRead,
                   main_window::kPartTitle}) {
    ASSERT_LT(static_cast<std::size_t>(part), bar.parts.size());
    EXPECT_STREQ(bar.parts[part].text, "") << "part " << part;
    EXPECT_STRNE(bar.parts[part - 1].text, "") << "part " << part;
  }
}

TEST(Forms, FindWindowDefFindsEveryWindowAndNothingElse) {
  const auto all = AllWindows();
  ASSERT_EQ(all.size(), 4u);
  EXPECT_EQ(all.front().id, main_window::kWindow) << "the program opens with the first window";
  for (const WindowDef& w : all) EXPECT_EQ(FindWindowDef(w.id), &w);
  for (WindowId stranger : {WindowId{0}, WindowId{0x52010002}, main_window::kSelf, title_find::kSelf}) {
    EXPECT_EQ(FindWindowDef(stranger), nullptr) << std::hex << stranger;
  }
}

}  // namespace
}  // namespace nvx::forms
