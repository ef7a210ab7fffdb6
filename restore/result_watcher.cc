#include "result_watcher.h"

#include <windows.h>

std::atomic<LONG> KeepWatching{1};

namespace {

const WCHAR kDialogClass[] = TEXT("Dialog");
// The icon item of a message box; its text is U+FFFF and the icon flag.
constexpr int kIconItem = 0xFFFD;
constexpr int kIconTextUnits = 10;
constexpr DWORD kPollInterval = 100;
constexpr WCHAR kInformationIconText[] = {0xFFFF, 0x0040, 0};

HWND AwaitResultBox(LPCWSTR caption) {
  for (;;) {
    Sleep(kPollInterval);
    HWND box = FindWindowW(kDialogClass, caption);
    if (box) return box;
    if (KeepWatching.load() == 0) return nullptr;
  }
}

// The box may be found before its items exist; read until the icon text is
// there or the watcher is told to give up.
UINT ReadIconText(HWND box, WCHAR* text) {
  UINT length = 0;
  do {
    Sleep(kPollInterval);
    length = GetDlgItemTextW(box, kIconItem, text, kIconTextUnits);
  } while (length == 0 && KeepWatching.load() == 1);
  return length;
}

}  // namespace

BOOL IsInformationIconText(const WCHAR* text) { return wcscmp(text, kInformationIconText) == 0; }

DWORD WINAPI WatchForResultBox(LPVOID caption) {
  HWND box = AwaitResultBox(static_cast<LPCWSTR>(caption));
  if (!box) return 0;
  WCHAR text[kIconTextUnits] = {0};
  if (ReadIconText(box, text) == 0) return 0;
  SendMessageW(box, WM_COMMAND, IDOK, 0);
  return IsInformationIconText(text) ? 1 : 0;
}
