// The control panel. Started with the name of an applet ("clock" for the
// date and time settings); records which one was opened and ends when the
// user closes it, which here is at once.
#include <string>
#include <windows.h>

#include "journal.h"
#include "wstr.h"

namespace {

const char* const kApplets[] = {"clock", "owner", "power", "backlight", "volume", "keyboard", "stylus", "system"};

bool KnownApplet(const std::string& name) {
  for (const char* applet : kApplets) {
    if (name == applet) return true;
  }
  return false;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPWSTR cmdline, int) {
  std::string applet = cedev::ToUtf8(cedev::WView(cmdline));
  while (!applet.empty() && applet.back() == ' ') applet.pop_back();
  if (applet.empty()) {
    cedev::JournalAppend("ctlpnl", "control panel opened");
    return 0;
  }
  if (!KnownApplet(applet)) {
    cedev::JournalAppend("ctlpnl", "unknown applet " + applet);
    return 1;
  }
  cedev::JournalAppend("ctlpnl", applet + " settings opened and closed");
  return 0;
}
