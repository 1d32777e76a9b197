// The main window's menu: one row per item, each command beside the function it runs.
#pragma once

#include <span>

#include "runtime/form_types.h"

namespace nvx::app {

// The two menus that also pop up: 阅读 over the content box, 编辑 over the catalogue.
inline constexpr UnitId kMenuReading = 0x26010128;
inline constexpr UnitId kMenuEdit = 0x26010010;

// In menu order, for SetWindowMenu.
std::span<const MenuItemDef> MainMenu();

}  // namespace nvx::app
