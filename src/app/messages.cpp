#include "app/messages.h"

#include "base/codepage.h"
#include "runtime/unit_numbers.h"
#include "runtime/value_commands.h"

namespace nvx::app {

void Tell(const char* text) { InfoBox(L(text), kMsgIconInformation, L("友情提示!")); }

void Warn(const char* text) { InfoBox(L(text), kMsgIconError, L("友情提示!")); }

}  // namespace nvx::app
