// `cedev set`: each setting's accepted forms, and that a refused value
// leaves device.json as it was.
#include <gtest/gtest.h>

#include <sstream>

#include <windows.h>

#include "command.h"
#include "scratch_device.h"
#include "window_testing.h"

namespace cedev::tool {
namespace {

class SetCommand : public ::testing::Test {
 protected:
  int Set(const std::string& key, const std::string& value) {
    out_.str("");
    err_.str("");
    return RunCedev({"-d", dev_.dir().string(), "set", key, value}, out_, err_);
  }
  DeviceSettings Settings() { return Device::Current()->Settings(); }

  ScratchDevice dev_;
  std::ostringstream out_, err_;
};

TEST_F(SetCommand, ClockOffsetTakesUnits) {
  const std::pair<const char*, int64_t> cases[] = {
      {"3600", 3600000}, {"90s", 90000}, {"-15m", -900000}, {"2h", 7200000}, {"1d", 86400000}, {"250ms", 250}};
  for (auto [text, ms] : cases) {
    ASSERT_EQ(Set("clock-offset", text), kExitOk) << text << ": " << err_.str();
    EXPECT_EQ(Settings().clock_offset_ms, ms) << text;
  }
  EXPECT_EQ(Set("clock-offset", "soon"), kExitUsage);
  EXPECT_NE(err_.str().find("clock-offset"), std::string::npos);
  EXPECT_EQ(Settings().clock_offset_ms, 250);
}

TEST_F(SetCommand, SizesAndQuotas) {
  ASSERT_EQ(Set("store-capacity", "16M"), kExitOk) << err_.str();
  EXPECT_EQ(Settings().store_capacity, 16ull << 20);
  ASSERT_EQ(Set("quota", "FlashDisk=512K"), kExitOk) << err_.str();
  EXPECT_EQ(Settings().volumes[0].quota, 512ull << 10);
  EXPECT_EQ(Set("quota", "Floppy=1M"), kExitUsage);
  EXPECT_NE(err_.str().find("Floppy"), std::string::npos);
  EXPECT_EQ(Set("store-capacity", "0"), kExitUsage);
  EXPECT_EQ(Settings().store_capacity, 16ull << 20);
}

TEST_F(SetCommand, PowerLanguageAndScale) {
  ASSERT_EQ(Set("battery", "255"), kExitOk);
  EXPECT_EQ(Settings().battery_percent, 255);
  ASSERT_EQ(Set("battery-flag", "0x04"), kExitOk);
  ASSERT_EQ(Set("ac-status", "255"), kExitOk);
  EXPECT_EQ(Settings().battery_flag, 4);
  EXPECT_EQ(Settings().ac_line_status, 255);
  EXPECT_EQ(Set("battery-flag", "256"), kExitUsage);
  EXPECT_EQ(Set("ac-status", "-1"), kExitUsage);
  ASSERT_EQ(Set("battery-flag", "made"), kExitOk);
  EXPECT_EQ(Settings().battery_flag, -1);
  EXPECT_EQ(Settings().ac_line_status, 255);
  EXPECT_EQ(Set("battery", "101"), kExitUsage);
  EXPECT_EQ(Set("battery", "-1"), kExitUsage);
  EXPECT_EQ(Settings().battery_percent, 255);
  ASSERT_EQ(Set("ac", "on"), kExitOk);
  EXPECT_TRUE(Settings().ac_line);
  EXPECT_EQ(Set("ac", "maybe"), kExitUsage);
  ASSERT_EQ(Set("language", "en"), kExitOk);
  EXPECT_EQ(Settings().ui_language, 0x0409);
  ASSERT_EQ(Set("language", "0x0407"), kExitOk);
  EXPECT_EQ(Settings().ui_language, 0x0407);
  ASSERT_EQ(Set("time-scale", "50"), kExitOk);
  EXPECT_EQ(Settings().time_scale, 50.0);
  EXPECT_EQ(Set("time-scale", "0"), kExitUsage);
  EXPECT_EQ(Settings().time_scale, 50.0);
}

TEST_F(SetCommand, KeysByCharacterOrCode) {
  ASSERT_EQ(Set("keys", "5,a,0x0D,27"), kExitOk) << err_.str();
  EXPECT_EQ(Settings().keys_held, (std::vector<int>{0x35, 'A', 0x0D, 27}));
  ASSERT_EQ(Set("keys", "none"), kExitOk);
  EXPECT_TRUE(Settings().keys_held.empty());
  EXPECT_EQ(Set("keys", "256"), kExitUsage);
}

TEST_F(SetCommand, AutostartWelcomeAndEeprom) {
  ASSERT_EQ(Set("autostart", "\\Windows\\a.exe,\\FlashDisk\\b.exe"), kExitOk);
  EXPECT_EQ(Settings().autostart, (std::vector<std::string>{"\\Windows\\a.exe", "\\FlashDisk\\b.exe"}));
  ASSERT_EQ(Set("autostart", "default"), kExitOk);
  EXPECT_TRUE(Settings().autostart.empty());
  ASSERT_EQ(Set("welcome", "none"), kExitOk);
  EXPECT_TRUE(Settings().welcome_program.empty());
  ASSERT_EQ(Set("eeprom", "0x23=40ff"), kExitOk) << err_.str();
  ASSERT_GE(Settings().eeprom.size(), 0x25u);
  EXPECT_EQ(Settings().eeprom[0x23], 0x40);
  EXPECT_EQ(Settings().eeprom[0x24], 0xFF);
  EXPECT_EQ(Set("eeprom", "0x23=4"), kExitUsage);
  ASSERT_EQ(Set("eeprom", "none"), kExitOk);
  EXPECT_FALSE(Settings().has_eeprom);
}

TEST_F(SetCommand, TheAutomaticUserTakesItsDelayInTheSameWords) {
  ASSERT_EQ(Set("user", "auto"), kExitOk) << err_.str();
  EXPECT_TRUE(Settings().auto_user);
  EXPECT_EQ(Settings().auto_user_delay_ms, 500);
  std::ostringstream out, err;
  ASSERT_EQ(RunCedev({"-d", dev_.dir().string(), "set", "user", "auto", "250"}, out, err), kExitOk) << err.str();
  EXPECT_EQ(Settings().auto_user_delay_ms, 250);
  EXPECT_EQ(Set("user", "auto soon"), kExitUsage);
  EXPECT_EQ(Set("user", "sometimes"), kExitUsage);
  EXPECT_EQ(Settings().auto_user_delay_ms, 250);
  ASSERT_EQ(Set("user", "none"), kExitOk);
  EXPECT_FALSE(Settings().auto_user);
}

TEST_F(SetCommand, TurningTheScreenTellsTheWindowsOfRunningPrograms) {
  MessageLog log;
  HWND window = CreateLoggedWindow(WS_VISIBLE);
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 240);
  ASSERT_EQ(Set("orientation", "landscape"), kExitOk) << err_.str();
  EXPECT_TRUE(Settings().landscape);
  EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 320);
  EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 240);
  log.Take();
  PumpPending();
  std::vector<WPARAM> changes;
  for (const auto& m : log.Take()) {
    if (m.message == WM_SETTINGCHANGE) changes.push_back(m.wparam);
  }
  EXPECT_EQ(changes, (std::vector<WPARAM>{SETTINGCHANGE_RESET}));
  EXPECT_EQ(Set("orientation", "sideways"), kExitUsage);
  DestroyWindow(window);
}

TEST_F(SetCommand, UnknownKeysAndMissingValuesAreUsageErrors) {
  EXPECT_EQ(Set("colour", "blue"), kExitUsage);
  EXPECT_NE(err_.str().find("colour"), std::string::npos);
  std::ostringstream out, err;
  EXPECT_EQ(RunCedev({"-d", dev_.dir().string(), "set", "battery"}, out, err), kExitUsage);
}

}  // namespace
}  // namespace cedev::tool
