// How long work reports its progress to the user, for handlers and the window runtime alike.
#pragma once

#include <cstdint>
#include <memory>

#include "base/value.h"

namespace nvx {

// Long work (Open, Save As, Export, Shrink) reports how far it is through a Progress it asks the
// interaction for. The real one shows a progress dialog, modal to the main window, with "N / M",
// but only once the work has run for about half a second; until then nothing is shown and no user
// input is handled. Each step keeps the windows painted.
//
//   std::unique_ptr<Progress> progress = BeginProgress(L("另存为"), total, /*cancellable=*/true);
//   for (std::int64_t done = 0; done < total; ) {
//     ... one article ...
//     if (!progress->Step(++done)) { ... undo what was done ...; return false; }  // cancelled
//   }
//   progress.reset();  // the dialog closes (also when the Progress goes out of scope)
class Progress {
 public:
  virtual ~Progress() = default;

  // Reports that `done` of the total are finished and repaints the windows now and then. Returns
  // false once the user has cancelled; a Progress that is not cancellable always returns true.
  virtual bool Step(std::int64_t done) = 0;
  // Whether the user has cancelled (only a cancellable Progress can be).
  virtual bool Cancelled() const = 0;
  // The work has passed its last chance to stop and now does what cannot be undone (a commit, a
  // rename): from here the dialog offers no cancel.
  virtual void Finishing() {}
};

// Starts reporting the progress of long work over `total` items, through the installed
// interaction; `caption` (local code page) is the dialog's title.
std::unique_ptr<Progress> BeginProgress(const Text& caption, std::int64_t total, bool cancellable);

}  // namespace nvx
