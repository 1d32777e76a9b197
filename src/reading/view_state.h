// What the reading view keeps between handlers: how the article looks, where Find last stopped
// and what the title/find window is open for. It lives from the start-up sequence to the end
// routine, beside the editor's program state.
#pragma once

#include <cstdint>
#include <functional>

#include "runtime/window_runtime.h"
#include "store/value.h"

namespace nvx::reading {

// What the one small window is open for: the title input (Add title, Modify title) or Find.
enum class TitleFindMode : std::int32_t { None = 0, Title = 1, Find = 2 };

struct ViewState {
  CharFormat currentFormat;  // the content box's character format, an article's reading format
  TitleFindMode inputWindowMode = TitleFindMode::None;
  std::int32_t lastFoundPosition = 0;  // character position of the last Find result
  // What the title input's OK does with the typed text (empty when nothing was typed).
  std::function<void(const Text& typed)> titleAccepted;

  ViewState();
};

// The view state; only valid between CreateViewState and ReleaseViewState.
ViewState& View();
void CreateViewState();
void ReleaseViewState();

}  // namespace nvx::reading
