#include "app/program_state.h"

#include <memory>

#include "store/article_schema.h"
#include "store/codepage.h"

namespace nvx::app {
namespace {
std::unique_ptr<ProgramState> current;
}

ProgramState::ProgramState() {
  currentFormat.faceName = L(schema::kDefaultFaceUtf8);
  currentFormat.size = 9;
  currentFormat.offset = 0;
  currentFormat.effects = 0;
  currentFormat.color = kDefaultColor;
}

ProgramState& state() { return *current; }

void CreateProgramState() { current = std::make_unique<ProgramState>(); }

// The table goes before the database it borrows the connection of; nothing is written.
void ReleaseProgramState() {
  if (!current) return;
  current->articleTable.Close();
  current->articleDb.Close();
  current.reset();
}

}  // namespace nvx::app
