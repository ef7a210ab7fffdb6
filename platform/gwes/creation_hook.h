// The window creation's side of CeArmCreationHook (ce/window.h).
#pragma once

#include "ce/creation_hook.h"

namespace cedev::gwes {

// Runs and clears the hook this thread armed, if any.
void RunCreationHook(HWND window);

}  // namespace cedev::gwes
