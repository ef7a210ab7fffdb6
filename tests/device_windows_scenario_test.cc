// The device's windows through cedev, as a person at a terminal sees and
// operates them: the start-up windows a full reset opens, and `cedev ui`
// listing, filling in and pressing them.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>

#include "cedev_scenario.h"

namespace tlvtest {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

const char kClockTitle[] = "日付/時刻のプロパティ";  // the sample device speaks Japanese
const char kOwnerTitle[] = "所有者情報のプロパティ";

class DeviceWindows : public CedevScenario {
 protected:
  // A full reset with a program on FlashDisk's autostart place that leaves
  // a trace in the journal when it starts: the help viewer will do.
  void FullResetWithAutostart() {
    auto stub = scratch_.path() / "Restore.exe";
    std::ofstream(stub) << "#!cedev-program peghelp\n";
    ASSERT_EQ(Cedev({"put", "-p", stub.string(), "\\FlashDisk\\CE\\ARM\\Restore.exe"}).exit_code, 0);
    ToolResult reset = Cedev({"reset", "--full"});
    ASSERT_EQ(reset.exit_code, 0) << reset.err;
    ASSERT_TRUE(AwaitEvent("help contents shown"));
  }

  // Where `text` first appears in the journal; npos when it does not.
  size_t JournalPosition(const std::string& text) { return Cedev({"events"}).out.find(text); }

  int Count(const std::string& haystack, const std::string& needle) {
    int n = 0;
    for (size_t at = haystack.find(needle); at != std::string::npos; at = haystack.find(needle, at + 1)) ++n;
    return n;
  }
};

TEST_F(DeviceWindows, AFullResetOpensTheStartUpWindowsBeforeTheAutostartListAndAPlainBootDoesNot) {
  FullResetWithAutostart();
  size_t welcome = JournalPosition("welcome program ran");
  size_t owner = JournalPosition("owner settings opened");
  size_t clock = JournalPosition("clock settings opened");
  size_t autostart = JournalPosition("help contents shown");
  ASSERT_NE(welcome, std::string::npos);
  ASSERT_NE(owner, std::string::npos);
  ASSERT_NE(clock, std::string::npos);
  EXPECT_LT(welcome, owner);
  EXPECT_LT(owner, clock);
  EXPECT_LT(clock, autostart);

  // Every one of them is on the screen, one line per window.
  std::string list = Cedev({"ui", "list"}).out;
  EXPECT_THAT(list, HasSubstr("welcome.exe  WELCOME  0x"));
  EXPECT_THAT(list, HasSubstr(std::string("ctlpnl.exe  Dialog  0x")));
  EXPECT_THAT(list, HasSubstr(std::string("\"") + kClockTitle + "\""));
  EXPECT_THAT(list, HasSubstr(std::string("\"") + kOwnerTitle + "\""));
  EXPECT_THAT(list, HasSubstr("Restore.exe  HelpViewer  0x"));

  // A plain boot starts the autostart list only.
  ASSERT_EQ(Cedev({"ui", "close", "--all"}).exit_code, 0);
  EXPECT_THAT(Cedev({"ui", "list"}).out, Not(HasSubstr("Dialog")));
  ASSERT_EQ(Cedev({"boot"}).exit_code, 0);
  for (int i = 0; i < 100 && Count(Cedev({"events"}).out, "help contents shown") < 2; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  std::string events = Cedev({"events"}).out;
  EXPECT_EQ(Count(events, "help contents shown"), 2);
  EXPECT_EQ(Count(events, "welcome program ran"), 1);
  EXPECT_EQ(Count(events, "clock settings opened"), 1);
}

TEST_F(DeviceWindows, UiFillsInAndPressesTheStartUpDialogs) {
  FullResetWithAutostart();
  std::string list = Cedev({"ui", "list"}).out;
  EXPECT_THAT(list, HasSubstr("  ctlpnl.exe  EDIT  1001  \"\"  "));  // the owner's empty name
  EXPECT_THAT(list, HasSubstr("  ctlpnl.exe  BUTTON  1  \"OK\""));

  // The owner dialog: the name by its label, the company by its id.
  ToolResult name = Cedev({"ui", "type", kOwnerTitle, "名前:", "Aiko Tanaka"});
  ASSERT_EQ(name.exit_code, 0) << name.err;
  ASSERT_EQ(Cedev({"ui", "type", kOwnerTitle, "1002", "Velta"}).exit_code, 0);
  EXPECT_THAT(Cedev({"ui", "list"}).out, HasSubstr("  ctlpnl.exe  EDIT  1001  \"Aiko Tanaka\""));
  ToolResult press = Cedev({"ui", "press", kOwnerTitle, "OK"});
  ASSERT_EQ(press.exit_code, 0) << press.err;
  ASSERT_TRUE(AwaitEvent("owner set: name \"Aiko Tanaka\" company \"Velta\""));
  EXPECT_THAT(Cedev({"reg", "query", "HKCU\\ControlPanel\\Owner"}).out, HasSubstr("Aiko Tanaka"));

  // The clock: a typed time moves the device clock.
  ASSERT_EQ(Cedev({"ui", "type", kClockTitle, "1001", "2031/03/01"}).exit_code, 0);
  ASSERT_EQ(Cedev({"ui", "type", kClockTitle, "時刻:", "04:05:00"}).exit_code, 0);
  ASSERT_EQ(Cedev({"ui", "press", kClockTitle, "1"}).exit_code, 0);
  ASSERT_TRUE(AwaitEvent("clock set to 2031/03/01 04:05:00"));
  EXPECT_THAT(Cedev({"info"}).out, Not(HasSubstr("clock          offset 0 ms")));

  // The welcome window, by its class.
  ToolResult close = Cedev({"ui", "close", "WELCOME"});
  ASSERT_EQ(close.exit_code, 0) << close.err;
  EXPECT_TRUE(AwaitEvent("welcome window closed"));
  list = Cedev({"ui", "list"}).out;
  EXPECT_THAT(list, Not(HasSubstr("WELCOME")));
  EXPECT_THAT(list, Not(HasSubstr(kClockTitle)));
}

TEST_F(DeviceWindows, UiNamesWhatItCannotFindAndRefusesWhatIsNoKey) {
  FullResetWithAutostart();
  ToolResult window = Cedev({"ui", "press", "No Such Window", "OK"});
  EXPECT_EQ(window.exit_code, 1);
  EXPECT_THAT(window.err, HasSubstr("No Such Window"));
  ToolResult item = Cedev({"ui", "type", kClockTitle, "Nothing", "x"});
  EXPECT_EQ(item.exit_code, 1);
  EXPECT_THAT(item.err, HasSubstr("Nothing"));
  ToolResult key = Cedev({"ui", "key", "hyper+q"});
  EXPECT_EQ(key.exit_code, 2);
  EXPECT_THAT(key.err, HasSubstr("hyper+q"));
  EXPECT_EQ(Cedev({"ui", "close"}).exit_code, 2);
  EXPECT_EQ(Cedev({"ui", "close", "--all", "WELCOME"}).exit_code, 2);
  // The screen needs a person at a terminal.
  ToolResult screen = Cedev({"ui"});
  EXPECT_EQ(screen.exit_code, 1);
  EXPECT_THAT(screen.err, HasSubstr("terminal"));
}

TEST_F(DeviceWindows, WatchFollowsWindowsAsTheyComeAndGo) {
  FullResetWithAutostart();
  ToolResult watch = Cedev({"ui", "watch", "--seconds", "0.2"});
  EXPECT_EQ(watch.exit_code, 0) << watch.err;
  EXPECT_THAT(watch.out, HasSubstr("+ welcome.exe  WELCOME"));
  EXPECT_THAT(watch.out, Not(HasSubstr("- ")));
}

TEST_F(DeviceWindows, TheScreenShowsTheForegroundWindowAndPassesKeysOn) {
  FullResetWithAutostart();
  for (const char* window : {"HelpViewer", kOwnerTitle, "WELCOME"}) {
    ASSERT_EQ(Cedev({"ui", "close", window}).exit_code, 0) << window;
  }
  // Only the clock is left, its date field focused. Tab moves the focus on
  // and Enter presses the default button, as on the device; Ctrl+C ends the
  // screen.
  ToolResult screen =
      RunToolAtTerminal("cedev", {"-d", device_, "ui"}, {kClockTitle, "No window is open"}, {"\t", "\x03"});
  EXPECT_EQ(screen.exit_code, 0);
  EXPECT_THAT(screen.out, HasSubstr(">   ctlpnl.exe  EDIT  1001"));
  EXPECT_THAT(screen.out, HasSubstr("Ctrl+C quit"));
  EXPECT_TRUE(AwaitEvent("clock settings closed with OK, unchanged"));
}

}  // namespace
}  // namespace tlvtest
