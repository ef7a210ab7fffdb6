// Closing the windows a full reset leaves on the screen: they would sit in
// front of the clock settings and the main program's boxes.
#include <windows.h>

#include "device_steps.h"

namespace {

const WCHAR kWelcomeClass[] = TEXT("WELCOME");
const WCHAR kDialogClass[] = TEXT("Dialog");
// What the welcome program's process is opened for: to wait until it ends.
constexpr DWORD kWaitAccess = 0x200;

// The welcome program ends when its window is destroyed; waiting for the
// process makes sure nothing of it is left when the next step starts.
void CloseWelcomeWindow() {
  DWORD processId = 0;
  HWND welcome = FindWindowW(kWelcomeClass, nullptr);
  if (welcome) GetWindowThreadProcessId(welcome, &processId);
  if (processId == 0) {
    if (welcome) SendMessageW(welcome, WM_DESTROY, 0, 0);
    return;
  }
  HANDLE process = OpenProcess(kWaitAccess, FALSE, processId);
  if (!process) return;
  HWND window = FindWindowW(kWelcomeClass, nullptr);
  if (window) SendMessageW(window, WM_DESTROY, 0, 0);
  WaitForSingleObject(process, INFINITE);
  CloseHandle(process);
}

void CloseDialog(LPCWSTR title) {
  HWND dialog = FindWindowW(kDialogClass, title);
  if (dialog) SendMessageW(dialog, WM_CLOSE, 0, 0);
}

}  // namespace

void CloseStartupWindows(const ToolTexts& texts) {
  CloseWelcomeWindow();
  CloseDialog(texts.ownerDialog);
  CloseDialog(texts.dateTimeDialog);
}
