// The main program reports the end of a command-line run only by its result
// box. The watcher thread waits for that box, reads its icon, presses OK and
// ends with exit code 1 for the information icon, 0 for anything else or
// when told to give up.
#pragma once

#include <atomic>

#include "ce/types.h"

// The keep-watching flag, shared by the main thread and the watcher of the
// current run: 1 while a result is wanted. The main thread sets it to 0 to
// make the watcher give up.
extern std::atomic<LONG> KeepWatching;

// The watcher thread's procedure; `caption` (a LPCWSTR that outlives the
// thread) is the result box's caption.
DWORD WINAPI WatchForResultBox(LPVOID caption);

// Whether the text of a box's icon item names the information icon: the two
// units U+FFFF U+0040 and nothing more.
BOOL IsInformationIconText(const WCHAR* text);
