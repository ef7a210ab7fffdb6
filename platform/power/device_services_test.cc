// Device services: power status, KernelIoControl, keys, notifications, and
// the journal entries of sounds, key events, debug output and touch
// calibration.
#include <gtest/gtest.h>

#include <cstring>

#include "ce/device.h"
#include "ce/file.h"
#include "ce/process.h"
#include "ce/user.h"
#include "api_expect.h"
#include "faults.h"
#include "journal.h"
#include "scratch_device.h"

namespace {

class DeviceServices : public ::testing::Test {
 protected:
  template <class F>
  void Set(F&& change) {
    ASSERT_TRUE(device_.device().UpdateSettings(change));
  }

  std::vector<std::string> Journal(const std::string& kind) {
    std::vector<std::string> out;
    for (auto& e : cedev::JournalRead()) {
      if (e.kind == kind) out.push_back(e.text);
    }
    return out;
  }

  int CountNotifications(const char* kind) {
    auto stmt = device_.device().Db().Prepare("SELECT count(*) FROM notifications WHERE kind = ?");
    stmt.Bind(1, std::string_view(kind));
    return stmt.Step() ? static_cast<int>(stmt.Int(0)) : -1;
  }

  cedev::ScratchDevice device_;
};

TEST_F(DeviceServices, PowerStatusFollowsTheSettings) {
  Set([](cedev::DeviceSettings& s) {
    s.ac_line = false;
    s.battery_percent = 80;
    s.backup_battery_percent = 15;
  });
  SYSTEM_POWER_STATUS_EX st;
  std::memset(&st, 0xCC, sizeof st);
  ASSERT_TRUE(GetSystemPowerStatusEx(&st, TRUE));
  EXPECT_EQ(st.ACLineStatus, AC_LINE_OFFLINE);
  EXPECT_EQ(st.BatteryLifePercent, 80);
  EXPECT_EQ(st.BatteryFlag, BATTERY_FLAG_HIGH);
  EXPECT_EQ(st.BackupBatteryLifePercent, 15);
  EXPECT_EQ(st.BackupBatteryFlag, BATTERY_FLAG_LOW);
  EXPECT_EQ(st.BatteryLifeTime, BATTERY_LIFE_UNKNOWN);
  EXPECT_EQ(st.Reserved1, 0);

  Set([](cedev::DeviceSettings& s) {
    s.ac_line = true;
    s.battery_percent = 4;
  });
  ASSERT_TRUE(GetSystemPowerStatusEx(&st, FALSE));
  EXPECT_EQ(st.ACLineStatus, AC_LINE_ONLINE);
  EXPECT_EQ(st.BatteryFlag, BATTERY_FLAG_LOW | BATTERY_FLAG_CRITICAL | BATTERY_FLAG_CHARGING);

  Set([](cedev::DeviceSettings& s) { s.battery_percent = 255; });
  ASSERT_TRUE(GetSystemPowerStatusEx(&st, FALSE));
  EXPECT_EQ(st.BatteryLifePercent, BATTERY_PERCENTAGE_UNKNOWN);
  EXPECT_EQ(st.BatteryFlag, BATTERY_FLAG_UNKNOWN);

  EXPECT_FAILS_WITH(GetSystemPowerStatusEx(nullptr, TRUE), FALSE, ERROR_INVALID_PARAMETER);
}

TEST_F(DeviceServices, RawPowerReadingsReplaceTheMadeOnesAndAFaultLeavesNoReading) {
  Set([](cedev::DeviceSettings& s) {
    s.ac_line = false;
    s.battery_percent = 3;
    s.ac_line_status = AC_LINE_UNKNOWN;
    s.battery_flag = BATTERY_FLAG_CRITICAL;
  });
  SYSTEM_POWER_STATUS_EX st;
  ASSERT_TRUE(GetSystemPowerStatusEx(&st, TRUE));
  EXPECT_EQ(st.ACLineStatus, AC_LINE_UNKNOWN);
  EXPECT_EQ(st.BatteryFlag, BATTERY_FLAG_CRITICAL);  // made from 3 %, it would carry the low flag too
  EXPECT_EQ(st.BatteryLifePercent, 3);

  Set([](cedev::DeviceSettings& s) {
    s.ac_line_status = -1;
    s.battery_flag = -1;
  });
  ASSERT_TRUE(GetSystemPowerStatusEx(&st, TRUE));
  EXPECT_EQ(st.ACLineStatus, AC_LINE_OFFLINE);
  EXPECT_EQ(st.BatteryFlag, BATTERY_FLAG_LOW | BATTERY_FLAG_CRITICAL);

  ASSERT_TRUE(cedev::AddFault("power.status", u"battery", ERROR_NOT_READY, 1));
  std::memset(&st, 0xCC, sizeof st);
  EXPECT_FAILS_WITH(GetSystemPowerStatusEx(&st, TRUE), FALSE, ERROR_NOT_READY);
  EXPECT_EQ(st.ACLineStatus, 0xCC);  // nothing written
  EXPECT_TRUE(GetSystemPowerStatusEx(&st, TRUE));  // the fault was used up
}

TEST_F(DeviceServices, PlatformTypeComesBackAsUtf16WithItsSize) {
  Set([](cedev::DeviceSettings& s) { s.platform_type = "Tovak"; });
  DWORD what = SPI_GETPLATFORMTYPE;
  WCHAR out[32];
  for (auto& c : out) c = u'#';
  DWORD got = 0xDEAD;
  ASSERT_TRUE(KernelIoControl(IOCTL_HAL_GET_DEVICE_INFO, &what, sizeof what, out, sizeof out, &got));
  EXPECT_EQ(got, 12u);  // five units and the terminator
  EXPECT_EQ(std::u16string(out), u"Tovak");
  EXPECT_EQ(out[6], u'#');
}

TEST_F(DeviceServices, KernelIoControlBufferSizes) {
  DWORD what = SPI_GETPLATFORMTYPE;
  WCHAR out[32];
  for (auto& c : out) c = u'#';
  DWORD got = 0xDEAD;
  EXPECT_FAILS_WITH(KernelIoControl(IOCTL_HAL_GET_DEVICE_INFO, &what, sizeof what, out, 10, &got), FALSE, ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(got, 12u);  // the size needed
  EXPECT_EQ(out[0], u'#');
  got = 0xDEAD;
  EXPECT_FAILS_WITH(KernelIoControl(IOCTL_HAL_GET_DEVICE_INFO, &what, sizeof what, nullptr, 0, &got), FALSE, ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(got, 12u);
  EXPECT_TRUE(KernelIoControl(IOCTL_HAL_GET_DEVICE_INFO, &what, sizeof what, out, 12, nullptr));
  EXPECT_FAILS_WITH(KernelIoControl(IOCTL_HAL_GET_DEVICE_INFO, &what, 2, out, sizeof out, &got), FALSE, ERROR_INVALID_PARAMETER);
  DWORD unknown = 9999;
  EXPECT_FAILS_WITH(KernelIoControl(IOCTL_HAL_GET_DEVICE_INFO, &unknown, sizeof unknown, out, sizeof out, &got), FALSE, ERROR_INVALID_PARAMETER);
  EXPECT_FAILS_WITH(KernelIoControl(0x12345678, &what, sizeof what, out, sizeof out, &got), FALSE, ERROR_NOT_SUPPORTED);
}

TEST_F(DeviceServices, KeysHeldDownReportTheHighBit) {
  Set([](cedev::DeviceSettings& s) { s.keys_held = {0x35}; });
  EXPECT_EQ(GetAsyncKeyState(0x35) & 0x8000, 0x8000);
  EXPECT_EQ(GetAsyncKeyState(0x36), 0);
  Set([](cedev::DeviceSettings& s) { s.keys_held.clear(); });
  EXPECT_EQ(GetAsyncKeyState(0x35), 0);
}

TEST_F(DeviceServices, LanguageComesFromTheSettings) {
  Set([](cedev::DeviceSettings& s) { s.ui_language = 0x0409; });
  EXPECT_EQ(GetUserDefaultUILanguage(), 0x0409);
}

TEST_F(DeviceServices, NotificationsAreKeptAndRemovedByApplication) {
  SYSTEMTIME at{};
  at.wYear = 2030;
  at.wMonth = 1;
  at.wDay = 2;
  EXPECT_TRUE(CeRunAppAtTime(u"\\Windows\\tolvane.exe", &at));
  EXPECT_TRUE(CeRunAppAtEvent(u"\\Windows\\tolvane.exe", NOTIFICATION_EVENT_RESTORE_END));
  EXPECT_TRUE(CeRunAppAtEvent(u"\\Windows\\tolvane.exe", NOTIFICATION_EVENT_WAKEUP));
  EXPECT_TRUE(CeRunAppAtEvent(u"\\Windows\\other.exe", NOTIFICATION_EVENT_WAKEUP));
  EXPECT_EQ(CountNotifications("time"), 1);
  EXPECT_EQ(CountNotifications("event"), 3);
  EXPECT_TRUE(CeRunAppAtEvent(u"\\WINDOWS\\TOLVANE.EXE", NOTIFICATION_EVENT_NONE));
  EXPECT_EQ(CountNotifications("event"), 1);
  EXPECT_TRUE(CeRunAppAtTime(u"\\Windows\\tolvane.exe", nullptr));
  EXPECT_EQ(CountNotifications("time"), 0);

  EXPECT_FAILS_WITH(CeRunAppAtEvent(u"x.exe", NOTIFICATION_EVENT_LAST + 1), FALSE, ERROR_INVALID_PARAMETER);
  EXPECT_FAILS_WITH(CeRunAppAtEvent(nullptr, NOTIFICATION_EVENT_WAKEUP), FALSE, ERROR_INVALID_PARAMETER);
  at.wMonth = 13;
  EXPECT_FAILS_WITH(CeRunAppAtTime(u"x.exe", &at), FALSE, ERROR_INVALID_PARAMETER);
}

TEST_F(DeviceServices, EffectsWithoutOtherTraceGoToTheJournal) {
  EXPECT_TRUE(PlaySoundW(u"SystemQuestion", nullptr, SND_ALIAS | SND_ASYNC));
  EXPECT_TRUE(PlaySoundW(nullptr, nullptr, 0));
  keybd_event(0, 0, KEYEVENTF_KEYUP, 0);
  keybd_event(0x0D, 0x1C, 0, 0);
  NKDbgPrintfW(u"Restore: step %d of %s (%04X)\r\n", 3, u"calibration", 0xBEEFu);
  EXPECT_TRUE(TouchCalibrate());
  EXPECT_EQ(Journal("sound"), (std::vector<std::string>{"play SystemQuestion flags 0x10001", "stop flags 0x0"}));
  EXPECT_EQ(Journal("key"), (std::vector<std::string>{"up vk 0x0 scan 0x0", "down vk 0xD scan 0x1C"}));
  EXPECT_EQ(Journal("debug"), (std::vector<std::string>{"Restore: step 3 of calibration (BEEF)\r\n"}));
  EXPECT_EQ(Journal("calibration").size(), 1u);
}

}  // namespace
