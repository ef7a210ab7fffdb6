#include "backup_location.h"

#include "app_state.h"
#include "wide_text.h"

namespace {
WindowLocationSource g_windowSource = nullptr;
}

void SetWindowLocationSource(WindowLocationSource source) { g_windowSource = source; }

BOOL GetBackupLocation(LPWSTR location) {
  if (AutoRunCode != AUTORUN_NONE) {
    if (AutoRunLocation[0] == 0) return FALSE;  // an empty location is none
    return WideCopy(location, MAX_PATH, AutoRunLocation);
  }
  return g_windowSource ? g_windowSource(location) : FALSE;
}
