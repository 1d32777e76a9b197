// Handlers of the main window's own events.
#pragma once

namespace nvx::app {

// Size changed: places the catalogue, the content box and the save-title button.
void Layout();

// Close requested: stores the reading state of the article shown, then closes the database.
void StoreReadingState();

// Right button in the catalogue and in the content box: their pop-up menus.
void ShowCatalogueMenu();
void ShowContentMenu();

}  // namespace nvx::app
