// Every number with a meaning between the forms, the handlers and the window runtime: property
// indices per unit type, event numbers, message-box flags and the button codes a message box
// returns. Each is named here once; the runtime, the forms and the handlers all use these names.
#pragma once

namespace nvx {

// Property indices. Those below 8 belong to every control; the others depend on the unit's type,
// so the same number means different things for different types.
namespace prop {
inline constexpr int kLeft = 0;
inline constexpr int kTop = 1;
inline constexpr int kWidth = 2;
inline constexpr int kHeight = 3;
inline constexpr int kTag = 4;
inline constexpr int kVisible = 5;
inline constexpr int kDisabled = 6;
inline constexpr int kCursor = 7;
// The first of the properties that depend on the unit's type.
inline constexpr int kFirstOfType = 8;
// A window's title.
inline constexpr int kTitle = 8;

namespace menu {
inline constexpr int kCaption = 0;
inline constexpr int kTicked = 1;
inline constexpr int kDisabled = 2;
inline constexpr int kVisible = 3;
}  // namespace menu

namespace button {
inline constexpr int kKind = 9;
inline constexpr int kCaption = 10;
// Values of kKind.
inline constexpr int kNormal = 0;
inline constexpr int kDefault = 1;
}  // namespace button

namespace superbtn {
inline constexpr int kCaption = 8;
}  // namespace superbtn

namespace edit {
inline constexpr int kText = 8;
}  // namespace edit

namespace label {
inline constexpr int kCaption = 8;
}  // namespace label

namespace group {
inline constexpr int kCaption = 8;
}  // namespace group

namespace picker {
inline constexpr int kColor = 8;
inline constexpr int kFlag = 9;
}  // namespace picker

namespace dlg {
inline constexpr int kKind = 8;  // 0 open file, 1 save file, 2 font, 3 help
inline constexpr int kTitle = 9;
inline constexpr int kFileName = 10;
inline constexpr int kFilter = 11;
inline constexpr int kFilterIndex = 12;
inline constexpr int kInitialDir = 13;
inline constexpr int kDefaultExt = 14;
inline constexpr int kCreatePrompt = 15;
inline constexpr int kFileMustExist = 16;
inline constexpr int kOverwritePrompt = 17;
inline constexpr int kPathMustExist = 18;
inline constexpr int kNoChangeDir = 19;
inline constexpr int kFontColor = 20;
inline constexpr int kBold = 21;
inline constexpr int kItalic = 22;
inline constexpr int kStrikeOut = 23;
inline constexpr int kUnderline = 24;
inline constexpr int kFaceName = 25;
inline constexpr int kFontSize = 26;
// The numbered properties a common dialog keeps, from kKind to kFontSize.
inline constexpr int kFirst = kKind;
inline constexpr int kLast = kFontSize;
// Values of kKind.
inline constexpr int kOpenFile = 0;
inline constexpr int kSaveFile = 1;
inline constexpr int kFont = 2;
inline constexpr int kHelp = 3;
}  // namespace dlg

namespace list {
inline constexpr int kTextColor = 9;
inline constexpr int kTextBackColor = 10;
inline constexpr int kBackColor = 11;
inline constexpr int kFont = 12;
inline constexpr int kCurrentRow = 35;
}  // namespace list

namespace rich {
inline constexpr int kTextFormat = 8;
inline constexpr int kText = 9;
inline constexpr int kBackColor = 11;
inline constexpr int kReadOnly = 14;
inline constexpr int kSelStart = 17;
inline constexpr int kSelLength = 18;
inline constexpr int kSelText = 19;
inline constexpr int kModified = 20;
}  // namespace rich
}  // namespace prop

// Event numbers. Negative ones are common to every window and control.
namespace event {
inline constexpr int kLeftDown = -1;
inline constexpr int kLeftUp = -2;
inline constexpr int kDoubleClick = -3;
inline constexpr int kRightDown = -4;
inline constexpr int kRightUp = -5;
inline constexpr int kMouseMove = -6;
inline constexpr int kFocusIn = -7;
inline constexpr int kFocusOut = -8;
inline constexpr int kKeyDown = -9;
inline constexpr int kKeyUp = -10;
inline constexpr int kCharacter = -11;
inline constexpr int kWheel = -12;
// Window events.
inline constexpr int kCreated = 0;
inline constexpr int kCloseRequested = 1;
inline constexpr int kDestroying = 2;
inline constexpr int kMoved = 3;
inline constexpr int kResized = 4;
inline constexpr int kActivated = 5;
inline constexpr int kDeactivated = 6;
inline constexpr int kFirstActivation = 8;
inline constexpr int kShown = 10;
inline constexpr int kHidden = 11;
// Menu items, buttons, edit boxes (content changed), list views (current row changed).
inline constexpr int kSelected = 0;
inline constexpr int kClicked = 0;
inline constexpr int kChanged = 0;
// A label's own event 0: it can be bound, but a label never raises it.
inline constexpr int kLabelOwn = 0;
// Rich edit.
inline constexpr int kSelectionChanged = 1;
// List view.
inline constexpr int kRowActivated = 1;
inline constexpr int kHeadingClicked = 2;
inline constexpr int kHotTracked = 3;
inline constexpr int kListClicked = 4;
inline constexpr int kListRightClicked = 5;
}  // namespace event

// Key events give a virtual key code (letters and digits as their upper-case ASCII codes) and the
// key state; mouse events give the key state too.
namespace key {
inline constexpr int kBackspace = 8;
inline constexpr int kTab = 9;
inline constexpr int kEnter = 13;
inline constexpr int kEscape = 27;
inline constexpr int kDelete = 46;
}  // namespace key

namespace keystate {
inline constexpr int kCtrl = 1;
inline constexpr int kShift = 2;
inline constexpr int kAlt = 4;
}  // namespace keystate

// Message box flags, as the editor passes them: the low bits choose the buttons, 16 the error
// (stop) icon, 32 the question icon, 48 the warning icon, 64 the information icon.
inline constexpr int kMsgButtonsMask = 0x0F;
inline constexpr int kMsgOk = 0;
inline constexpr int kMsgOkCancel = 1;
inline constexpr int kMsgAbortRetryIgnore = 2;
inline constexpr int kMsgYesNoCancel = 3;
inline constexpr int kMsgYesNo = 4;
inline constexpr int kMsgRetryCancel = 5;
inline constexpr int kMsgIconMask = 0xF0;
inline constexpr int kMsgIconError = 16;
inline constexpr int kMsgIconQuestion = 32;
inline constexpr int kMsgIconWarning = 48;
inline constexpr int kMsgIconInformation = 64;

// Button codes a message box returns.
inline constexpr int kButtonOk = 0;
inline constexpr int kButtonCancel = 1;
inline constexpr int kButtonAbort = 2;
inline constexpr int kButtonRetry = 3;
inline constexpr int kButtonIgnore = 4;
inline constexpr int kButtonYes = 5;
inline constexpr int kButtonNo = 6;

// The command number a menu action carries: this plus the item's place among the window's menu
// records. Pop-up answers and menu handlers name an item by it.
inline constexpr int kMenuCommandBase = 20000;

}  // namespace nvx
