// What the reading view keeps between handlers: how the article looks, where Find last stopped
// and what the title/find window is open for. It lives from the start-up sequence to the end
// routine, beside the editor's program state.
#pragma once

#include <cstdint>
#include <functional>

#include "base/value.h"
#include "runtime/window_runtime.h"
#include "store/article_records.h"

namespace nvx::reading {

// What the one small window is open for: the title input (Add title, Modify title) or Find.
enum class TitleFindMode : std::int32_t { None = 0, Title = 1, Find = 2 };

struct ViewState {
  CharFormat currentFormat;  // the content box's character format, an article's reading format
  TitleFindMode inputWindowMode = TitleFindMode::None;
  std::int32_t lastFoundPosition = 0;  // character position of the last Find result
  // What the title input shows when it opens, and what its OK does with the typed text (empty
  // when nothing was typed).
  Text titleOffered;
  std::function<void(const Text& typed)> titleAccepted;

  ViewState();
};

// The content box's character format as an article stores it (zt, ztdx, ys, xg), and back; the
// baseline offset is not stored and stays as it is.
inline StoredFormat ToStoredFormat(const CharFormat& f) { return {f.faceName, f.size, f.color, f.effects}; }
inline void TakeStoredFormat(CharFormat& f, const StoredFormat& stored) {
  f.faceName = stored.face;
  f.size = stored.size;
  f.color = stored.color;
  f.effects = stored.effects;
}

// The view state; only valid between CreateViewState and ReleaseViewState.
ViewState& View();
void CreateViewState();
void ReleaseViewState();

}  // namespace nvx::reading
