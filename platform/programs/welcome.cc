// The welcome program the device runs after a full reset. In this first form
// it records that it ran; the window system gives it its "WELCOME" window.
#include <windows.h>

#include "journal.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
  cedev::JournalAppend("welcome", "welcome program ran");
  return 0;
}
