#include "app_box.h"

#include "app_state.h"
#include "res/resource.h"

void LoadAppString(UINT stringId, LPWSTR text) {
  if (LoadStringW(ModuleInstance, stringId, text, TEXT_LIMIT) == 0) text[0] = 0;
}

int ShowAppText(HWND owner, LPCWSTR text, UINT flags) { return MessageBoxW(owner, text, AppTitle, flags); }

int ShowAppString(HWND owner, UINT stringId, UINT flags) {
  WCHAR text[TEXT_LIMIT];
  LoadAppString(stringId, text);
  return ShowAppText(owner, text, flags);
}
