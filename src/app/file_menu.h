// The commands of the "文件" menu: New, Open, Save As, Export, Close and Exit.
#pragma once

#include "base/value.h"

namespace nvx::app {

// Closes the open database and empties the catalogue, the content box, the title and the status
// bar's value parts. The article last loaded belonged to that database, so the editor forgets it.
void CloseDatabase();

void NewDatabase();
void OpenDatabase();
void SaveAs();
void Export();
void Exit();

// Opens `path` as Open does once a readable file was chosen (used for a file named on the command
// line). False, after the same message as Open, when the file cannot be read.
bool OpenDatabaseAt(const Text& path);

}  // namespace nvx::app
