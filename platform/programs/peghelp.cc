// The help viewer. Records the help file (and anchor) it was asked to show.
#include <string>
#include <windows.h>

#include "journal.h"
#include "wstr.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPWSTR cmdline, int) {
  std::string topic = cedev::ToUtf8(cedev::WView(cmdline));
  cedev::JournalAppend("peghelp", topic.empty() ? "help contents shown" : "help shown: " + topic);
  return 0;
}
