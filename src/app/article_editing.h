// The commands of the "编辑" menu that change the open collection: titles, saving, deleting and
// compacting.
#pragma once

#include "runtime/window_runtime.h"

namespace nvx::app {

// Starts a new article: empties the content box and opens the title input.
void AddTitle();
// Opens the title input to rename the selected article.
void ModifyTitle();

// Inserts the new article (adding) or rewrites the loaded one, then reloads the catalogue. A save
// that cannot be written is said, and the text stays in the box.
void SaveArticle();
// Deletes the article of the selected catalogue row.
void DeleteArticle();
// Compacts the collection's file.
void ShrinkDatabase();

// Key down in the content box: Ctrl+S saves the loaded article; every other key goes to the
// reading view's keys.
HandlerResult ContentKeyDown(const EventArgs& args);

}  // namespace nvx::app
