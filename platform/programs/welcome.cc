// The welcome program the device runs after a full reset: a "WELCOME" window
// that greets the user until it is closed. The auto-restore tool closes it by
// sending WM_DESTROY and waits for this program to end, so the program ends
// with the first WM_DESTROY its window gets.
#include <windows.h>

#include "journal.h"
#include "text_window.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int) {
  cedev::JournalAppend("welcome", "welcome program ran");
  bool japanese = GetUserDefaultUILanguage() == 0x0411;
  LPCWSTR text = japanese ? u"ようこそ。デバイスの初期設定を行ってください。"
                          : u"Welcome. Set up your device: owner, date and time.";
  if (!cedev::programs::RunTextWindow(instance, u"WELCOME", u"Welcome", text)) {
    cedev::JournalAppend("welcome", "the welcome window cannot be shown: error " + std::to_string(GetLastError()));
    return 1;
  }
  cedev::JournalAppend("welcome", "welcome window closed");
  return 0;
}
