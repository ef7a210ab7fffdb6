#include "app_state.h"

#include "res/resource.h"

HINSTANCE ModuleInstance = nullptr;
WCHAR AppTitle[2048] = {0};
LONG AutoRunCode = AUTORUN_NONE;
WCHAR AutoRunLocation[MAX_PATH] = {0};
WCHAR AutoRunPassword[MAX_PATH] = {0};

void LoadAppTitle() {
  if (LoadStringW(ModuleInstance, IDS_APP_TITLE, AppTitle, TEXT_LIMIT) == 0) AppTitle[0] = 0;
}
