#include "notice.h"

#include <windows.h>

void ShowNotice(LPCWSTR caption, LPCWSTR text) { MessageBoxW(nullptr, text, caption, MB_TOPMOST | MB_OK); }
