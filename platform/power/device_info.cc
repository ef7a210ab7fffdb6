// Device services that report the device's settings: power, platform type,
// language.
#include <algorithm>
#include <cstring>

#include "ce/device.h"
#include "device_folder.h"
#include "faults.h"
#include "last_error.h"
#include "wstr.h"

namespace {

using cedev::Fail;

cedev::DeviceSettings Settings() {
  cedev::Device* dev = cedev::Device::Current();
  return dev ? dev->Settings() : cedev::DeviceSettings{};
}

BYTE BatteryFlagFor(int percent, bool charging) {
  if (percent < 0 || percent > 100) return BATTERY_FLAG_UNKNOWN;
  BYTE flag = percent > 50 ? BATTERY_FLAG_HIGH : percent > 20 ? 0 : percent > 5 ? BATTERY_FLAG_LOW : BATTERY_FLAG_CRITICAL;
  if (percent <= 5) flag |= BATTERY_FLAG_LOW;
  if (charging) flag |= BATTERY_FLAG_CHARGING;
  return flag;
}

BYTE PercentFor(int percent) { return percent < 0 || percent > 100 ? BATTERY_PERCENTAGE_UNKNOWN : static_cast<BYTE>(percent); }

std::u16string DeviceInfoString(DWORD what, const cedev::DeviceSettings& s) {
  if (what == SPI_GETPLATFORMTYPE) return cedev::FromUtf8(s.platform_type);
  if (what == SPI_GETOEMINFO) return cedev::FromUtf8(s.platform_type) + u" emulated device";
  return {};
}

// A raw reading from the settings when one is set, else the made one.
BYTE Reading(int raw, BYTE made) { return raw >= 0 && raw <= 0xFF ? static_cast<BYTE>(raw) : made; }

}  // namespace

BOOL GetSystemPowerStatusEx(PSYSTEM_POWER_STATUS_EX pstatus, BOOL) {
  if (!pstatus) return Fail(ERROR_INVALID_PARAMETER, FALSE);
  // A power driver that does not answer (fault "power.status").
  if (DWORD error = cedev::InjectedFault("power.status", u"battery")) return Fail(error, FALSE);
  cedev::DeviceSettings s = Settings();
  SYSTEM_POWER_STATUS_EX st{};
  st.ACLineStatus = Reading(s.ac_line_status, s.ac_line ? AC_LINE_ONLINE : AC_LINE_OFFLINE);
  st.BatteryFlag = Reading(s.battery_flag, BatteryFlagFor(s.battery_percent, s.ac_line && s.battery_percent < 100));
  st.BatteryLifePercent = PercentFor(s.battery_percent);
  st.BatteryLifeTime = BATTERY_LIFE_UNKNOWN;
  st.BatteryFullLifeTime = BATTERY_LIFE_UNKNOWN;
  st.BackupBatteryFlag = BatteryFlagFor(s.backup_battery_percent, false);
  st.BackupBatteryLifePercent = PercentFor(s.backup_battery_percent);
  st.BackupBatteryLifeTime = BATTERY_LIFE_UNKNOWN;
  st.BackupBatteryFullLifeTime = BATTERY_LIFE_UNKNOWN;
  *pstatus = st;
  return TRUE;
}

BOOL KernelIoControl(DWORD dwIoControlCode, LPVOID lpInBuf, DWORD nInBufSize, LPVOID lpOutBuf, DWORD nOutBufSize,
                     LPDWORD lpBytesReturned) {
  if (dwIoControlCode != IOCTL_HAL_GET_DEVICE_INFO) return Fail(ERROR_NOT_SUPPORTED, FALSE);
  if (!lpInBuf || nInBufSize < sizeof(DWORD)) return Fail(ERROR_INVALID_PARAMETER, FALSE);
  DWORD what;
  std::memcpy(&what, lpInBuf, sizeof what);
  std::u16string text = DeviceInfoString(what, Settings());
  if (text.empty()) return Fail(ERROR_INVALID_PARAMETER, FALSE);
  auto needed = static_cast<DWORD>((text.size() + 1) * sizeof(WCHAR));
  if (lpBytesReturned) *lpBytesReturned = needed;
  if (!lpOutBuf || nOutBufSize < needed) return Fail(ERROR_INSUFFICIENT_BUFFER, FALSE);
  std::memcpy(lpOutBuf, text.c_str(), needed);
  return TRUE;
}

LANGID GetUserDefaultUILanguage() { return Settings().ui_language; }
