// A one-shot hook on the next window the calling thread creates: it runs
// once the window exists, before the window hears WM_NCCREATE, and is then
// cleared. The window framework binds its window objects this way, so that
// an object sees every message of its window. Arming again replaces a hook
// that has not run; disarming drops it (after a failed creation).
#pragma once

#include "ce/window.h"

typedef void (*CeCreationHook)(HWND hWnd, void* context);
void CeArmCreationHook(CeCreationHook hook, void* context);
void CeDisarmCreationHook();
