// Device services: power status, KernelIoControl, keys, shell folders,
// notifications, modules, and the journal entries of sounds, key events,
// debug output and touch calibration.
#include <gtest/gtest.h>

#include <cstring>

#include "ce/device.h"
#include "ce/file.h"
#include "ce/process.h"
#include "ce/user.h"
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

  SetLastError(0);
  EXPECT_FALSE(GetSystemPowerStatusEx(nullptr, TRUE));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
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
  SetLastError(0);
  EXPECT_FALSE(KernelIoControl(IOCTL_HAL_GET_DEVICE_INFO, &what, sizeof what, out, 10, &got));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(got, 12u);  // the size needed
  EXPECT_EQ(out[0], u'#');
  got = 0xDEAD;
  SetLastError(0);
  EXPECT_FALSE(KernelIoControl(IOCTL_HAL_GET_DEVICE_INFO, &what, sizeof what, nullptr, 0, &got));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(got, 12u);
  EXPECT_TRUE(KernelIoControl(IOCTL_HAL_GET_DEVICE_INFO, &what, sizeof what, out, 12, nullptr));
  SetLastError(0);
  EXPECT_FALSE(KernelIoControl(IOCTL_HAL_GET_DEVICE_INFO, &what, 2, out, sizeof out, &got));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  DWORD unknown = 9999;
  SetLastError(0);
  EXPECT_FALSE(KernelIoControl(IOCTL_HAL_GET_DEVICE_INFO, &unknown, sizeof unknown, out, sizeof out, &got));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  SetLastError(0);
  EXPECT_FALSE(KernelIoControl(0x12345678, &what, sizeof what, out, sizeof out, &got));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_SUPPORTED));
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

TEST_F(DeviceServices, SpecialFolders) {
  Set([](cedev::DeviceSettings& s) { s.startup_folder = "\\Windows\\StartUp"; });
  WCHAR path[MAX_PATH];
  ASSERT_TRUE(SHGetSpecialFolderPath(nullptr, path, CSIDL_STARTUP, FALSE));
  EXPECT_EQ(std::u16string(path), u"\\Windows\\StartUp");
  ASSERT_TRUE(SHGetSpecialFolderPath(nullptr, path, CSIDL_PERSONAL, FALSE));
  EXPECT_EQ(std::u16string(path), u"\\My Documents");
  for (auto& c : path) c = u'#';
  SetLastError(0);
  EXPECT_FALSE(SHGetSpecialFolderPath(nullptr, path, 0x7777, FALSE));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(path[0], u'#');
  SetLastError(0);
  EXPECT_FALSE(SHGetSpecialFolderPath(nullptr, nullptr, CSIDL_STARTUP, FALSE));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST_F(DeviceServices, SpecialFoldersAreCreatedOnRequest) {
  WCHAR path[MAX_PATH];
  EXPECT_EQ(GetFileAttributesW(u"\\Windows\\Start Menu\\Programs"), INVALID_FILE_ATTRIBUTES);
  ASSERT_TRUE(SHGetSpecialFolderPath(nullptr, path, CSIDL_PROGRAMS, FALSE));
  EXPECT_EQ(GetFileAttributesW(path), INVALID_FILE_ATTRIBUTES);  // not without fCreate
  ASSERT_TRUE(SHGetSpecialFolderPath(nullptr, path, CSIDL_PROGRAMS, TRUE));
  EXPECT_EQ(std::u16string(path), u"\\Windows\\Start Menu\\Programs");
  DWORD attributes = GetFileAttributesW(path);
  ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
  EXPECT_TRUE(attributes & FILE_ATTRIBUTE_DIRECTORY);
  ASSERT_TRUE(SHGetSpecialFolderPath(nullptr, path, CSIDL_PROGRAMS, TRUE));  // already there
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

  SetLastError(0);
  EXPECT_FALSE(CeRunAppAtEvent(u"x.exe", NOTIFICATION_EVENT_LAST + 1));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  SetLastError(0);
  EXPECT_FALSE(CeRunAppAtEvent(nullptr, NOTIFICATION_EVENT_WAKEUP));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  at.wMonth = 13;
  SetLastError(0);
  EXPECT_FALSE(CeRunAppAtTime(u"x.exe", &at));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
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

TEST_F(DeviceServices, CoreLibraryExportsAreFoundByName) {
  HMODULE core = LoadLibraryW(u"CoreDll.dll");
  ASSERT_NE(core, nullptr);
  EXPECT_EQ(LoadLibraryW(u"\\Windows\\COREDLL.DLL"), core);
  EXPECT_EQ(GetModuleHandleW(u"coredll"), core);
  Set([](cedev::DeviceSettings& s) { s.ui_language = 0x0411; });
  auto language = reinterpret_cast<LANGID (*)()>(GetProcAddressW(core, u"GetUserDefaultUILanguage"));
  ASSERT_NE(language, nullptr);
  EXPECT_EQ(language(), 0x0411);
  WCHAR name[MAX_PATH];
  EXPECT_EQ(GetModuleFileNameW(core, name, MAX_PATH), 20u);
  EXPECT_EQ(std::u16string(name), u"\\Windows\\CoreDll.dll");

  SetLastError(0);
  EXPECT_EQ(GetProcAddressW(core, u"getuserdefaultuilanguage"), nullptr);  // export names keep their case
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND));
  SetLastError(0);
  EXPECT_EQ(GetProcAddressW(core, MAKEINTRESOURCEW(5)), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND));
  EXPECT_TRUE(FreeLibrary(core));
  EXPECT_TRUE(FreeLibrary(core));
  SetLastError(0);
  EXPECT_FALSE(FreeLibrary(core));  // no loads left
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST_F(DeviceServices, UnknownModulesAndHandles) {
  SetLastError(0);
  EXPECT_EQ(LoadLibraryW(u"nosuch.dll"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
  SetLastError(0);
  EXPECT_EQ(LoadLibraryW(nullptr), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  SetLastError(0);
  EXPECT_EQ(GetProcAddressW(reinterpret_cast<HMODULE>(uintptr_t{0x1234}), u"x"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  SetLastError(0);
  EXPECT_EQ(GetModuleHandleW(u"nosuch.dll"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
}

TEST_F(DeviceServices, TheProgramsOwnModule) {
  HMODULE self = GetModuleHandleW(nullptr);
  ASSERT_NE(self, nullptr);
  WCHAR name[8];
  for (auto& c : name) c = u'#';
  // Truncated to the buffer, terminated, and the size returned with an error.
  SetLastError(0);
  EXPECT_EQ(GetModuleFileNameW(nullptr, name, 8), 8u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(name[7], u'\0');
  EXPECT_NE(GetCommandLineW(), nullptr);
}

}  // namespace
