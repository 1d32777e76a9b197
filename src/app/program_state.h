// The editor's program-wide state, shared by every handler. It lives from the start-up sequence
// to the end routine.
#pragma once

#include <cstdint>
#include <optional>

#include "runtime/window_runtime.h"
#include "store/article_records.h"
#include "store/sqlite_db.h"
#include "store/sqlite_table.h"

namespace nvx::app {

struct ProgramState {
  CharFormat currentFormat;   // the content box's character format
  std::optional<std::int64_t> currentArticleId;  // id of the article last loaded; none before one
  Text currentTitle;          // its title, or the title last accepted in the title input
  std::int32_t editMode = 0;  // 0 nothing pending, 1 adding an article, 2 an article loaded
  std::int32_t inputWindowMode = 0;   // 1 title input, 2 Find
  std::int32_t lastFoundPosition = 0;
  SqliteDB articleDb;         // the open article database
  SqliteTable articleTable;   // opened on table nr around each operation, never left open

  // Where New writes "new.nvx": beside the program, or, where that cannot be written (an
  // installed program), in the user's data directory. Set at start-up; tests point them elsewhere.
  Text programDirectory;
  Text dataDirectory;

  ProgramState();
};

// The content box's character format as an article stores it (zt, ztdx, ys, xg).
inline StoredFormat ToStoredFormat(const CharFormat& f) { return {f.faceName, f.size, f.color, f.effects}; }

// The state; only valid between CreateProgramState and ReleaseProgramState.
ProgramState& state();
void CreateProgramState();
void ReleaseProgramState();

}  // namespace nvx::app
