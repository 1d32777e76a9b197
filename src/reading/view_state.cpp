#include "reading/view_state.h"

#include <memory>

#include "base/codepage.h"
#include "store/article_schema.h"

namespace nvx::reading {
namespace {
std::unique_ptr<ViewState> current;
}

ViewState::ViewState() {
  currentFormat.faceName = L(schema::kDefaultFaceUtf8);
  currentFormat.size = 9;
  currentFormat.offset = 0;
  currentFormat.effects = 0;
  currentFormat.color = kDefaultColor;
}

ViewState& View() { return *current; }

void CreateViewState() { current = std::make_unique<ViewState>(); }

void ReleaseViewState() { current.reset(); }

}  // namespace nvx::reading
