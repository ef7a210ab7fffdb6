// The help viewer. Records the help file (and anchor) it was asked to show and
// shows it in a window titled with the topic until the window is closed.
#include <string>
#include <windows.h>

#include "journal.h"
#include "text_window.h"
#include "wstr.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPWSTR cmdline, int) {
  std::u16string topic(cedev::WView(cmdline));
  while (!topic.empty() && topic.back() == u' ') topic.pop_back();
  std::string topic_utf8 = cedev::ToUtf8(topic);
  cedev::JournalAppend("peghelp", topic.empty() ? "help contents shown" : "help shown: " + topic_utf8);
  std::u16string title = topic.empty() ? u"Help" : topic;
  std::u16string text = topic.empty() ? u"Help contents" : u"Help: " + topic;
  if (!cedev::programs::RunTextWindow(instance, u"HelpViewer", title.c_str(), text.c_str())) return 1;
  cedev::JournalAppend("peghelp", "help closed");
  return 0;
}
