// The control panel. Started with the name of an applet: "clock" (date and
// time) and "owner" show their settings dialogs and end when the dialog is
// closed; the other applets record that they were opened and end at once.
#include <string>
#include <windows.h>

#include "applets.h"
#include "journal.h"
#include "res/ctlpnl_res.h"
#include "wstr.h"

namespace {

const char* const kPlainApplets[] = {"power", "backlight", "volume", "keyboard", "stylus", "system"};

bool PlainApplet(const std::string& name) {
  for (const char* applet : kPlainApplets) {
    if (name == applet) return true;
  }
  return false;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPWSTR cmdline, int) {
  std::string applet = cedev::ToUtf8(cedev::WView(cmdline));
  while (!applet.empty() && applet.back() == ' ') applet.pop_back();
  if (applet.empty()) {
    cedev::JournalAppend("ctlpnl", "control panel opened");
    return 0;
  }
  ctlpnl::RegisterDialogs(instance);
  if (applet == "clock") return ctlpnl::RunClockApplet(instance);
  if (applet == "owner") return ctlpnl::RunOwnerApplet(instance);
  if (!PlainApplet(applet)) {
    cedev::JournalAppend("ctlpnl", "unknown applet " + applet);
    return 1;
  }
  cedev::JournalAppend("ctlpnl", applet + " settings opened and closed");
  return 0;
}
