// What a window does for the person using it, on small forms of the tests' own: stacking of
// overlapping controls, the window events, Enter and default buttons, dragging by labels and group
// boxes, the hot-tracked list row and a modal window that runs until it is closed.
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeView>

#include "base/codepage.h"
#include "support/gui_test.h"

namespace nvx {
namespace {

using test::GuiTest;

constexpr WindowId kWindow = 0x520F0001;
constexpr UnitId kSelf = 0x060F0001;
constexpr WindowId kModal = 0x520F0002;
constexpr UnitId kModalSelf = 0x060F0002;
constexpr UnitId kLabel = 0x160F0001;
constexpr UnitId kGroup = 0x160F0002;
constexpr UnitId kInGroup = 0x160F0003;
constexpr UnitId kDefault = 0x160F0004;
constexpr UnitId kPlain = 0x160F0005;
constexpr UnitId kEdit = 0x160F0006;
constexpr UnitId kOver = 0x160F0007;
constexpr UnitId kList = 0x160F0008;
constexpr UnitId kClose = 0x160F0009;

// Handler references of the test forms.
enum : HandlerRef {
  kOnActivated = 1,
  kOnDeactivated,
  kOnFirstActivation,
  kOnShown,
  kOnHidden,
  kOnDefault,
  kOnPlain,
  kOnOver,
  kOnHotTrack,
  kOnClose,
  kOnModalCreated,
};

constexpr EventBinding kWindowEvents[] = {
    {event::kActivated, kOnActivated},
    {event::kDeactivated, kOnDeactivated},
    {event::kFirstActivation, kOnFirstActivation},
    {event::kShown, kOnShown},
    {event::kHidden, kOnHidden},
};
constexpr EventBinding kDefaultEvents[] = {{event::kClicked, kOnDefault}};
constexpr EventBinding kPlainEvents[] = {{event::kClicked, kOnPlain}};
constexpr EventBinding kOverEvents[] = {{event::kClicked, kOnOver}};
constexpr EventBinding kListEvents[] = {{event::kHotTracked, kOnHotTrack}};
constexpr EventBinding kCloseEvents[] = {{event::kClicked, kOnClose}};
constexpr EventBinding kModalEvents[] = {{event::kCreated, kOnModalCreated}};

constexpr ListColumn kColumns[] = {{.align = 0, .width = 150, .heading = "行"}};

constexpr ControlDef kControls[] = {
    {.id = kLabel,
     .name = "标签1",
     .type = UnitType::Label,
     .rect = {10, 10, 80, 20},
     .flags = kVisible,
     .props = LabelProps{.caption = "拖我"}},
    {.id = kInGroup,
     .name = "按钮4",
     .type = UnitType::Button,
     .rect = {10, 20, 60, 24},
     .container = kGroup,
     .flags = kVisible,
     .props = ButtonProps{.caption = "里面"}},
    {.id = kGroup,
     .name = "分组框1",
     .type = UnitType::GroupBox,
     .rect = {10, 40, 120, 80},
     .flags = kVisible,
     .props = GroupBoxProps{.caption = "分组"}},
    {.id = kEdit,
     .name = "编辑框1",
     .type = UnitType::EditBox,
     .rect = {150, 70, 100, 24},
     .flags = kVisible | kTabStop,
     .props = EditBoxProps{}},
    {.id = kPlain,
     .name = "按钮2",
     .type = UnitType::Button,
     .rect = {150, 40, 80, 24},
     .flags = kVisible | kTabStop,
     .events = kPlainEvents,
     .props = ButtonProps{.caption = "普通", .kind = 0}},
    {.id = kDefault,
     .name = "按钮1",
     .type = UnitType::Button,
     .rect = {150, 10, 80, 24},
     .flags = kVisible | kTabStop,
     .events = kDefaultEvents,
     .props = ButtonProps{.caption = "默认", .kind = 1}},
    // Declared before the list it lies over: it shows on top of it.
    {.id = kOver,
     .name = "按钮3",
     .type = UnitType::Button,
     .rect = {20, 140, 60, 24},
     .flags = kVisible,
     .events = kOverEvents,
     .props = ButtonProps{.caption = "上面"}},
    {.id = kList,
     .name = "超级列表框1",
     .type = UnitType::ListView,
     .rect = {10, 130, 200, 100},
     .flags = kVisible | kTabStop,
     .events = kListEvents,
     .props = ListViewProps{.columns = kColumns}},
};

constexpr WindowProps kProps = {.title = "测试窗口", .centred = false, .dragByClientArea = true};

constexpr ControlDef kModalControls[] = {
    {.id = kClose,
     .name = "按钮1",
     .type = UnitType::Button,
     .rect = {10, 10, 80, 24},
     .flags = kVisible,
     .events = kCloseEvents,
     .props = ButtonProps{.caption = "关闭"}},
};

constexpr WindowDef kWindows[] = {
    {.id = kWindow,
     .unit = kSelf,
     .rect = {100, 100, 300, 260},
     .props = kProps,
     .events = kWindowEvents,
     .controls = kControls},
    {.id = kModal,
     .unit = kModalSelf,
     .rect = {150, 150, 120, 80},
     .props = {.title = "模态"},
     .events = kModalEvents,
     .controls = kModalControls},
};

class WindowBehaviourTest : public GuiTest {
 protected:
  WindowBehaviourTest() : GuiTest(kWindows) {}

  void SetUp() override {
    GuiTest::SetUp();
    for (HandlerRef ref : {kOnActivated, kOnDeactivated, kOnFirstActivation, kOnShown, kOnHidden, kOnDefault,
                           kOnPlain, kOnOver, kOnHotTrack, kOnModalCreated})
      Record(ref);
    BindHandler(kOnClose, [this](const EventArgs&) -> HandlerResult {
      events.push_back(kOnClose);
      Destroy(kModal);
      return std::nullopt;
    });
  }
  void Record(HandlerRef ref) {
    BindHandler(ref, [this, ref](const EventArgs& a) -> HandlerResult {
      events.push_back(ref);
      if (a.count > 0) args.push_back(a[0]);
      return std::nullopt;
    });
  }
  int Count(HandlerRef ref) const { return static_cast<int>(std::count(events.begin(), events.end(), ref)); }

  std::vector<HandlerRef> events;
  std::vector<int> args;
};

TEST_F(WindowBehaviourTest, TheFirstControlOfTheTableIsOnTop) {
  ASSERT_TRUE(LoadWindow(kWindow));
  auto* over = Control<QPushButton>(kWindow, "按钮3");
  auto* list = Control<QTreeView>(kWindow, "超级列表框1");
  ASSERT_TRUE(over && list);
  EXPECT_GT(test::ShareSeen(*over), 0.95) << "the button is seen over the list";
  QTest::mouseClick(over, Qt::LeftButton);
  EXPECT_EQ(Count(kOnOver), 1);
  // The grab tells a hidden control from a covered one: a list shown over the button hides it.
  over->stackUnder(list);
  EXPECT_LT(test::ShareSeen(*over), 0.5);
}

TEST_F(WindowBehaviourTest, ShownHiddenAndActivationEvents) {
  ASSERT_TRUE(LoadWindow(kWindow));
  EXPECT_EQ(events, std::vector<HandlerRef>{kOnShown}) << "shown once, after creation";
  events.clear();
  SetInt({kWindow, kSelf}, prop::kVisible, 0);
  SetInt({kWindow, kSelf}, prop::kVisible, 1);
  EXPECT_EQ(events, (std::vector<HandlerRef>{kOnHidden, kOnShown}));

  events.clear();
  QWidget* window = WindowWidget(kWindow);
  window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window));
  ASSERT_TRUE(LoadWindow(kModal, std::nullopt, false));
  ASSERT_TRUE(QTest::qWaitForWindowActive(WindowWidget(kModal)));
  window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window));
  EXPECT_EQ(events, (std::vector<HandlerRef>{kOnFirstActivation, kOnActivated, kOnModalCreated,
                                             kOnDeactivated, kOnActivated}))
      << "first activation comes once, before the first activated";

  events.clear();
  Destroy(kWindow);
  Settle();
  EXPECT_EQ(Count(kOnHidden), 0) << "going away is not being hidden";
}

TEST_F(WindowBehaviourTest, EnterReachesTheDefaultButton) {
  ASSERT_TRUE(LoadWindow(kWindow));
  auto* edit = Control<QLineEdit>(kWindow, "编辑框1");
  auto* plain = Control<QPushButton>(kWindow, "按钮2");
  struct Row {
    const char* name;
    QWidget* focus;
    int key;
    HandlerRef clicked;
  };
  for (const Row& row : {Row{"Enter in an edit box", edit, Qt::Key_Return, kOnDefault},
                         Row{"keypad Enter in an edit box", edit, Qt::Key_Enter, kOnDefault},
                         Row{"Enter on the default button", Control<QPushButton>(kWindow, "按钮1"),
                             Qt::Key_Return, kOnDefault},
                         Row{"Enter on another button", plain, Qt::Key_Return, kOnDefault}}) {
    events.clear();
    row.focus->setFocus();
    QTest::keyClick(row.focus, static_cast<Qt::Key>(row.key));
    EXPECT_EQ(events, std::vector<HandlerRef>{row.clicked}) << row.name;
  }
  events.clear();
  QTest::keyClick(edit, Qt::Key_Return, Qt::ControlModifier);
  EXPECT_TRUE(events.empty()) << "Ctrl+Enter is not Enter";
}

TEST_F(WindowBehaviourTest, LabelsAndGroupBoxesDragTheWindow) {
  ASSERT_TRUE(LoadWindow(kWindow));
  QWidget* window = WindowWidget(kWindow);
  const auto starts = [window] { return window->property("dragStarts").toInt(); };
  struct Row {
    const char* name;
    QWidget* target;
    QPoint at;
    bool drags;
  };
  auto* group = Control<QGroupBox>(kWindow, "分组框1");
  for (const Row& row :
       {Row{"label", Control<QLabel>(kWindow, "标签1"), QPoint(5, 5), true},
        Row{"empty spot of a group box", group, QPoint(100, 70), true},
        Row{"button in a group box", Control<QPushButton>(kWindow, "按钮4"), QPoint(5, 5), false},
        Row{"edit box", Control<QLineEdit>(kWindow, "编辑框1"), QPoint(5, 5), false}}) {
    ASSERT_NE(row.target, nullptr) << row.name;
    const int before = starts();
    QTest::mousePress(row.target, Qt::LeftButton, Qt::NoModifier, row.at);
    QTest::mouseRelease(row.target, Qt::LeftButton, Qt::NoModifier, row.at);
    EXPECT_EQ(starts() - before, row.drags ? 1 : 0) << row.name;
  }
}

TEST_F(WindowBehaviourTest, ListReportsTheRowUnderTheMouse) {
  ASSERT_TRUE(LoadWindow(kWindow));
  UnitRef list{kWindow, kList};
  for (int i = 0; i < 3; ++i) ListView::SetItemText(list, ListView::InsertItem(list), 0, L("行"));
  auto* tree = Control<QTreeView>(kWindow, "超级列表框1");
  const QRect second = tree->visualRect(tree->model()->index(1, 0));
  QTest::mouseMove(tree->viewport(), second.center());
  QTest::mouseMove(tree->viewport(), tree->visualRect(tree->model()->index(2, 0)).center());
  EXPECT_EQ(args, (std::vector<int>{1, 2}));
}

TEST_F(WindowBehaviourTest, ModalLoadWindowRunsUntilTheWindowCloses) {
  ASSERT_TRUE(LoadWindow(kWindow));
  bool returned = false;
  WhileModal(
      kModal,
      [&] {
        EXPECT_TRUE(LoadWindow(kModal, std::nullopt, true));
        returned = true;
      },
      [&] {
        EXPECT_FALSE(returned) << "LoadWindow came back while the window was open";
        EXPECT_FALSE(WindowWidget(kWindow)->isEnabled());
        QTest::mouseClick(Control<QPushButton>(kModal, "按钮1"), Qt::LeftButton);
      });
  EXPECT_TRUE(returned);
  EXPECT_FALSE(IsCreated(kModal));
  EXPECT_TRUE(WindowWidget(kWindow)->isEnabled());
  EXPECT_EQ(Count(kOnClose), 1);
}

}  // namespace
}  // namespace nvx
