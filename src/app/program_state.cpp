#include "app/program_state.h"

#include <memory>

#include "reading/view_state.h"

namespace nvx::app {
namespace {
std::unique_ptr<ProgramState> current;
}

ProgramState& State() { return *current; }

void CreateProgramState() {
  current = std::make_unique<ProgramState>();
  reading::CreateViewState();
}

// Nothing is written.
void ReleaseProgramState() {
  reading::ReleaseViewState();
  if (!current) return;
  current->articleDb.Close();
  current.reset();
}

}  // namespace nvx::app
