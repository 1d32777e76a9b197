#include "runtime/interaction.h"

#include "runtime/qt_text.h"

namespace nvx {
namespace {

// Two slots: what a caller installed, and the real interaction made on first need. The built-in
// one is never handed out by setInteraction, so "nullptr" always means "back to the real one" and
// restoring a previous value is one call whatever it was.
std::unique_ptr<Interaction>& Installed() {
  static std::unique_ptr<Interaction> slot;
  return slot;
}

}  // namespace

Interaction& CurrentInteraction() {
  if (Interaction* current = Installed().get()) return *current;
  static const std::unique_ptr<Interaction> builtIn = MakeQtInteraction();
  return *builtIn;
}

std::unique_ptr<Interaction> SetInteraction(std::unique_ptr<Interaction> next) {
  std::unique_ptr<Interaction> previous = std::move(Installed());
  Installed() = std::move(next);
  return previous;
}

std::unique_ptr<Progress> BeginProgress(const Text& caption, std::int64_t total, bool cancellable) {
  return CurrentInteraction().BeginProgress(ToQString(caption), total, cancellable);
}

}  // namespace nvx
