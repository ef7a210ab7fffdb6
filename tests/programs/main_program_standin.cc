// A device program for the auto-restore tool's tests: it stands in for the
// main program in a command-line run. It records its command line in the
// journal ("debug"), then does what the second line of its own device
// executable says:
//   info        show the result box with the information icon (a run that succeeded)
//   stop        show the result box with the stop icon (a run that failed)
//   info+flag   write "RestoreFlag" (as a restored registry brings it back), then as info
//   hang        never end
//   quiet       end without a box
// The result box is captioned as the main program's: "Tolvane Utility".
#include <windows.h>

#include <string>

namespace {

// The line after "#!cedev-program NAME" in the file the program was started from.
std::string Behaviour() {
  WCHAR self[MAX_PATH];
  if (!GetModuleFileNameW(nullptr, self, MAX_PATH)) return "";
  HANDLE file = CreateFileW(self, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "";
  char content[512] = {};
  DWORD got = 0;
  ReadFile(file, content, sizeof content - 1, &got, nullptr);
  CloseHandle(file);
  std::string text(content, got);
  size_t start = text.find('\n');
  if (start == std::string::npos) return "";
  std::string line = text.substr(start + 1);
  return line.substr(0, line.find_first_of("\r\n"));
}

void WriteRestoreFlag() {
  HKEY key = nullptr;
  DWORD disposition = 0;
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, TEXT("Drivers\\Velta\\UTIL\\RESTORE"), 0, nullptr, 0, KEY_ALL_ACCESS,
                      nullptr, &key, &disposition) != ERROR_SUCCESS) {
    return;
  }
  const BYTE one[4] = {1, 0, 0, 0};
  RegSetValueExW(key, TEXT("RestoreFlag"), 0, REG_DWORD, one, sizeof one);
  RegCloseKey(key);
}

int ResultBox(UINT icon, LPCWSTR text) {
  MessageBoxW(nullptr, text, TEXT("Tolvane Utility"), MB_OK | icon | MB_TOPMOST);
  return 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPWSTR commandLine, int) {
  NKDbgPrintfW(TEXT("main program stand-in: %s"), commandLine);
  const std::string behaviour = Behaviour();
  if (behaviour == "hang") {
    for (;;) Sleep(INFINITE);
  }
  if (behaviour == "info+flag") WriteRestoreFlag();
  if (behaviour == "info" || behaviour == "info+flag") return ResultBox(MB_ICONINFORMATION, TEXT("Done."));
  if (behaviour == "stop") return ResultBox(MB_ICONHAND, TEXT("Failed."));
  return 0;
}
