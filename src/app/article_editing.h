// The commands of the "编辑" menu that change the open collection: titles, saving, deleting and
// compacting.
#pragma once

namespace nvx::app {

// Starts a new article: empties the content box and opens the title input.
void AddTitle();
// Opens the title input to rename the selected article.
void ModifyTitle();
// The title input's OK: takes a non-empty title and shows the save-title button.
void AcceptTitle();

// Inserts the new article (editMode 1) or rewrites the loaded one (editMode 2), then reloads the
// catalogue. A save that cannot be written is said, and the text stays in the box.
void SaveArticle();
// Deletes the article last loaded, when a catalogue row is selected.
void DeleteArticle();
// Compacts the collection's file.
void ShrinkDatabase();

}  // namespace nvx::app
