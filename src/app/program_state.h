// The editor's program-wide state, shared by every handler: the open collection and what is
// pending on it. It lives from the start-up sequence to the end routine, together with the
// reading view's state (reading/view_state.h), which it creates and releases.
#pragma once

#include <cstdint>
#include <optional>

#include "runtime/window_runtime.h"
#include "store/article_records.h"
#include "store/sqlite_db.h"

namespace nvx::app {

// What Save article writes.
enum class EditMode : std::int32_t {
  None = 0,    // nothing pending
  Adding = 1,  // a new article is being added: the save inserts it
  Loaded = 2,  // an existing article is loaded (or being retitled): the save rewrites it
};

struct ProgramState {
  std::optional<std::int64_t> currentArticleId;  // id of the article last loaded; none before one
  Text currentTitle;                             // its title, or the title last accepted in the title input
  EditMode editMode = EditMode::None;
  SqliteDB articleDb;  // the open article database

  // Where New writes "new.nvx": beside the program, or, where that cannot be written (an
  // installed program), in the user's data directory. Set at start-up; tests point them elsewhere.
  Text programDirectory;
  Text dataDirectory;
};

// The state; only valid between CreateProgramState and ReleaseProgramState.
ProgramState& State();
void CreateProgramState();
void ReleaseProgramState();

}  // namespace nvx::app
