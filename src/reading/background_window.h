// The Background colour window: sets the content box's background for the rest of the run.
#pragma once

namespace nvx::reading {

void OpenBackgroundWindow();
void BackgroundOk();
void BackgroundCancel();

}  // namespace nvx::reading
