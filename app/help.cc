#include "help.h"

void OpenHelp() {
  PROCESS_INFORMATION process = {};
  if (CreateProcessW(u"peghelp.exe", u"file:Tolvane.htm#Main_Contents", nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                     nullptr, &process)) {
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
}
