#include "runtime/interaction.h"

namespace nvx {
namespace {

// Two slots: what a caller installed, and the real interaction made on first need. The built-in
// one is never handed out by setInteraction, so "nullptr" always means "back to the real one" and
// restoring a previous value is one call whatever it was.
std::unique_ptr<Interaction>& installed() {
  static std::unique_ptr<Interaction> slot;
  return slot;
}

}  // namespace

Interaction& interaction() {
  if (Interaction* current = installed().get()) return *current;
  static const std::unique_ptr<Interaction> builtIn = makeQtInteraction();
  return *builtIn;
}

std::unique_ptr<Interaction> setInteraction(std::unique_ptr<Interaction> next) {
  std::unique_ptr<Interaction> previous = std::move(installed());
  installed() = std::move(next);
  return previous;
}

}  // namespace nvx
