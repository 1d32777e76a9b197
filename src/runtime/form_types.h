// The shapes of form definitions: windows, their controls and menu items, declared
// as constant data. The form engine of the runtime turns a WindowDef into a live window.
//
// Texts here are the program's own, written as UTF-8 in the sources; the engine converts them.
// Colours are RGB values (red + green * 256 + blue * 65536); kDefaultColor is the system default.
#pragma once

#include <cstdint>
#include <span>
#include <variant>

#include "runtime/unit_numbers.h"

namespace nvx {
// Tables aligned by hand, so that each row reads as one unit.
// clang-format off

using WindowId = std::uint32_t;
using UnitId = std::uint32_t;

// A handler reference: an index into the program's handler table, which the editor's logic fills
// at start-up (reference 0 is a handler like any other). kNoHandler binds nothing.
using HandlerRef = std::int32_t;
inline constexpr HandlerRef kNoHandler = -1;

inline constexpr std::int32_t kDefaultColor = static_cast<std::int32_t>(0xFF000000);
inline constexpr std::int32_t kWhite = 0x00FFFFFF;
inline constexpr std::int32_t kBlack = 0;

enum class UnitType {
  Window,
  MenuItem,
  EditBox,
  GroupBox,
  Label,
  Button,
  ColorPicker,
  CommonDlg,
  StatusBar,
  ListView,
  SuperBtn,
  RichEdit,
};

struct Rect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
};

// Unit flags of the form definition.
inline constexpr std::uint32_t kVisible = 1;
inline constexpr std::uint32_t kDisabled = 2;
inline constexpr std::uint32_t kTabStop = 4;

struct EventBinding {
  int event = 0;
  HandlerRef handler = kNoHandler;
};

// A font of the form: face, height in pixels (negative: character height), weight, character set.
struct FontDef {
  const char* face = "";
  int height = 0;
  int weight = 400;
  int charset = 1;
};

// Type properties. Field comments give the property index (runtime/unit_numbers.h) handlers use.
struct ButtonProps {
  const char* caption = "";  // 10
  int kind = 0;              // 9: 0 normal, 1 default button
  int hAlign = 1;            // 11: 0 left, 1 centre, 2 right
  int vAlign = 1;            // 12: 0 top, 1 centre, 2 bottom
};

struct EditBoxProps {
  const char* text = "";         // 8
  int border = 1;                // 9
  std::int32_t textColor = kBlack;   // 10
  std::int32_t backColor = kWhite;   // 11
  bool hideSelection = true;     // 13
  int maxLength = 0;             // 14: 0 no limit
  bool multiLine = false;        // 15
  int scrollBars = 0;            // 16: 0 none, 1 horizontal, 2 vertical, 3 both
  int align = 0;                 // 17
  int inputMode = 0;             // 18: 0 normal, 1 read-only, 2 password
  int letterCase = 0;            // 20
};

struct LabelProps {
  const char* caption = "";      // 8
  int effect3d = 0;              // 9
  std::int32_t textColor = kBlack;   // 16
  std::int32_t backColor = kDefaultColor;  // 17
  int hAlign = 0;                // 24
  bool wordWrap = false;         // 25
  int vAlign = 0;                // 26: for one-line text
};

struct GroupBoxProps {
  const char* caption = "";      // 8
  std::int32_t textColor = kBlack;
};

struct ColorPickerProps {
  std::int32_t color = kWhite;   // 8
  bool flag = false;             // 9
};

struct CommonDlgProps {
  int kind = 0;                  // 8: 0 open file, 1 save file, 2 font, 3 help
  const char* title = "";        // 9
  const char* fileName = "";     // 10
  const char* filter = "";       // 11
  int filterIndex = 0;           // 12
  const char* initialDir = "";   // 13
  const char* defaultExt = "";   // 14
  bool createPrompt = false;     // 15
  bool fileMustExist = true;     // 16
  bool overwritePrompt = true;   // 17
  bool pathMustExist = true;     // 18
  bool noChangeDir = false;      // 19
  std::int32_t fontColor = 0;    // 20
  bool bold = false;             // 21
  bool italic = false;           // 22
  bool strikeOut = false;        // 23
  bool underline = false;        // 24
  const char* faceName = "";     // 25
  int fontSize = 0;              // 26
};

struct StatusPart {
  int width = 0;                 // -1: to the right end of the bar
  bool noBorder = true;
  const char* text = "";
};

struct StatusBarProps {
  int docking = 0;               // 9: 0 bottom, 1 top, 2 none
  bool sizeGrip = false;         // 10
  std::span<const StatusPart> parts;  // 13
};

struct ListColumn {
  int align = 0;                 // 0 left, 1 centre, 2 right
  int width = 0;
  const char* heading = "";
};

struct ListViewProps {
  std::int32_t textColor = kBlack;       // 9
  std::int32_t textBackColor = kWhite;   // 10
  std::int32_t backColor = kWhite;       // 11
  FontDef font;                          // 12
  std::span<const ListColumn> columns;   // 17
  bool singleSelection = true;           // 34
  bool keepSelectionVisible = true;      // 36
  bool fullRowSelect = true;
  bool headerClickable = true;
};

struct RichEditProps {
  int textFormat = 0;            // 8: 0 plain text, 1 rich text format
  int border = 1;                // 10
  std::int32_t backColor = kDefaultColor;  // 11
  bool multiLine = true;         // 12
  bool wrap = true;              // 13
  bool readOnly = false;         // 14
  bool hideSelection = true;     // 15
  int maxLength = 0;             // 16: 0 or less, no limit
  const char* faceName = "宋体"; // default character format at creation
  int fontSize = 9;
};

struct SuperBtnProps {
  const char* caption = "";
};

using TypeProps = std::variant<std::monostate, ButtonProps, EditBoxProps, LabelProps, GroupBoxProps,
                               ColorPickerProps, CommonDlgProps, StatusBarProps, ListViewProps, RichEditProps,
                               SuperBtnProps>;

struct ControlDef {
  UnitId id = 0;
  const char* name = "";           // the form's name, e.g. "编辑框1"; the widget's objectName
  UnitType type = UnitType::Button;
  Rect rect;                       // relative to the container's client area
  UnitId container = 0;            // the group box holding the control; 0 = the window
  std::uint32_t flags = 0;
  std::span<const EventBinding> events;
  TypeProps props;
};

// Menu item flags.
inline constexpr int kMenuHidden = 1;
inline constexpr int kMenuDisabled = 2;
inline constexpr int kMenuTicked = 4;

struct MenuItemDef {
  UnitId id = 0;
  int level = 0;                   // 0 menu-bar entry, 1 item of an entry, 2 item of a submenu
  int flags = 0;
  const char* caption = "";        // "-" is a separator
  HandlerRef handler = kNoHandler;
  void (*command)() = nullptr;     // when set, what choosing the item runs, in place of `handler`
};

enum class Frame { Resizable, Fixed };

struct WindowProps {
  const char* title = "";          // 8
  Frame frame = Frame::Resizable;
  bool minimizeBox = true;
  bool maximizeBox = true;
  bool centred = true;
  bool inTaskbar = true;
  bool alwaysOnTop = false;
  bool dragByClientArea = false;
  bool escCloses = false;
  bool enterMovesFocus = false;
  std::int32_t backColor = kDefaultColor;
};

struct WindowDef {
  WindowId id = 0;                 // the window's identifier (0x52......)
  UnitId unit = 0;                 // the window's own unit (0x06......)
  Rect rect;                       // outer rectangle on the screen
  WindowProps props;
  std::span<const EventBinding> events;
  std::span<const ControlDef> controls;  // in creation order
  std::span<const MenuItemDef> menu;     // in menu order
};

// clang-format on
}  // namespace nvx
