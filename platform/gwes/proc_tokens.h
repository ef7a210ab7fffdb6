// Window and dialog procedures through the 32-bit window longs: a pointer
// does not fit a LONG on a 64-bit host, so GetWindowLongW hands out a token
// that SetWindowLongW and CallWindowProcW turn back into the procedure.
#pragma once

#include "ce/types.h"

namespace cedev::gwes {

LONG TokenForProc(const void* proc);
// The procedure a token stands for; any other value as the pointer it is.
const void* ProcForValue(LONG_PTR value);

}  // namespace cedev::gwes
