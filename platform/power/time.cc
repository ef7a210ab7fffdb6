// FILETIME and SYSTEMTIME: the calendar arithmetic and the device clock
// seen through them.
#include "ce/timeapi.h"

#include <cstdio>
#include <string>

#include "clock.h"
#include "last_error.h"

namespace {

using cedev::Fail;

constexpr int64_t kTicksPerSecond = 10000000;
constexpr int64_t kTicksPerDay = kTicksPerSecond * 86400;
// 1601-01-01 counted from 1970-01-01, the epoch of the day arithmetic below.
constexpr int64_t kDaysFrom1970To1601 = -134774;

bool IsLeap(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
  static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeap(year) ? 29 : days[month - 1];
}

// Days since 1970-01-01 of a proleptic Gregorian date.
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const auto yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void CivilFromDays(int64_t z, int* year, unsigned* month, unsigned* day) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const auto doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  *day = doy - (153 * mp + 2) / 5 + 1;
  *month = mp < 10 ? mp + 3 : mp - 9;
  *year = static_cast<int>(static_cast<int64_t>(yoe) + era * 400 + (*month <= 2));
}

bool ValidSystemTime(const SYSTEMTIME& st) {
  return st.wYear >= 1601 && st.wYear <= 30827 && st.wMonth >= 1 && st.wMonth <= 12 && st.wDay >= 1 &&
         st.wDay <= DaysInMonth(st.wYear, st.wMonth) && st.wHour < 24 && st.wMinute < 60 && st.wSecond < 60 &&
         st.wMilliseconds < 1000;
}

int64_t TicksOf(const SYSTEMTIME& st) {
  int64_t days = DaysFromCivil(st.wYear, st.wMonth, st.wDay) - kDaysFrom1970To1601;
  int64_t seconds = st.wHour * 3600 + st.wMinute * 60 + st.wSecond;
  return days * kTicksPerDay + seconds * kTicksPerSecond + st.wMilliseconds * cedev::kFileTimeTicksPerMs;
}

SYSTEMTIME SystemTimeOf(int64_t ticks) {
  int64_t days = ticks / kTicksPerDay;
  int64_t rest = ticks % kTicksPerDay;
  int year;
  unsigned month, day;
  CivilFromDays(days + kDaysFrom1970To1601, &year, &month, &day);
  SYSTEMTIME st;
  st.wYear = static_cast<WORD>(year);
  st.wMonth = static_cast<WORD>(month);
  st.wDay = static_cast<WORD>(day);
  st.wDayOfWeek = static_cast<WORD>((days + 1) % 7);  // 1601-01-01 was a Monday
  st.wHour = static_cast<WORD>(rest / (3600 * kTicksPerSecond));
  st.wMinute = static_cast<WORD>(rest / (60 * kTicksPerSecond) % 60);
  st.wSecond = static_cast<WORD>(rest / kTicksPerSecond % 60);
  st.wMilliseconds = static_cast<WORD>(rest / cedev::kFileTimeTicksPerMs % 1000);
  return st;
}

int64_t BiasTicks() { return static_cast<int64_t>(cedev::DeviceTimeZoneBias()) * 60 * kTicksPerSecond; }

// FILETIME values with the top bit set are negative on the device and refused.
bool ValidFileTime(int64_t value) { return value >= 0; }

void CopyName(WCHAR* out, const std::u16string& name) {
  size_t n = name.size() < 31 ? name.size() : 31;
  name.copy(out, n);
  out[n] = 0;
}

}  // namespace

void GetSystemTime(LPSYSTEMTIME lpSystemTime) {
  if (lpSystemTime) *lpSystemTime = SystemTimeOf(cedev::DeviceUtcNow());
}

void GetLocalTime(LPSYSTEMTIME lpSystemTime) {
  if (lpSystemTime) *lpSystemTime = SystemTimeOf(cedev::DeviceUtcNow() - BiasTicks());
}

BOOL SetSystemTime(const SYSTEMTIME* lpSystemTime) {
  if (!lpSystemTime || !ValidSystemTime(*lpSystemTime)) return Fail(ERROR_INVALID_PARAMETER, FALSE);
  if (!cedev::SetDeviceUtc(TicksOf(*lpSystemTime))) return Fail(ERROR_NOT_READY, FALSE);
  return TRUE;
}

BOOL SetLocalTime(const SYSTEMTIME* lpSystemTime) {
  if (!lpSystemTime || !ValidSystemTime(*lpSystemTime)) return Fail(ERROR_INVALID_PARAMETER, FALSE);
  if (!cedev::SetDeviceUtc(TicksOf(*lpSystemTime) + BiasTicks())) return Fail(ERROR_NOT_READY, FALSE);
  return TRUE;
}

BOOL FileTimeToLocalFileTime(const FILETIME* lpFileTime, LPFILETIME lpLocalFileTime) {
  if (!lpFileTime || !lpLocalFileTime) return Fail(ERROR_INVALID_PARAMETER, FALSE);
  *lpLocalFileTime = cedev::ToFileTime(cedev::FileTimeValue(*lpFileTime) - BiasTicks());
  return TRUE;
}

BOOL LocalFileTimeToFileTime(const FILETIME* lpLocalFileTime, LPFILETIME lpFileTime) {
  if (!lpFileTime || !lpLocalFileTime) return Fail(ERROR_INVALID_PARAMETER, FALSE);
  *lpFileTime = cedev::ToFileTime(cedev::FileTimeValue(*lpLocalFileTime) + BiasTicks());
  return TRUE;
}

BOOL FileTimeToSystemTime(const FILETIME* lpFileTime, LPSYSTEMTIME lpSystemTime) {
  if (!lpFileTime || !lpSystemTime) return Fail(ERROR_INVALID_PARAMETER, FALSE);
  int64_t value = cedev::FileTimeValue(*lpFileTime);
  if (!ValidFileTime(value)) return Fail(ERROR_INVALID_PARAMETER, FALSE);
  *lpSystemTime = SystemTimeOf(value);
  return TRUE;
}

BOOL SystemTimeToFileTime(const SYSTEMTIME* lpSystemTime, LPFILETIME lpFileTime) {
  if (!lpSystemTime || !lpFileTime || !ValidSystemTime(*lpSystemTime)) return Fail(ERROR_INVALID_PARAMETER, FALSE);
  *lpFileTime = cedev::ToFileTime(TicksOf(*lpSystemTime));
  return TRUE;
}

LONG CompareFileTime(const FILETIME* lpFileTime1, const FILETIME* lpFileTime2) {
  if (!lpFileTime1 || !lpFileTime2) return 0;
  auto a = static_cast<uint64_t>(cedev::FileTimeValue(*lpFileTime1));
  auto b = static_cast<uint64_t>(cedev::FileTimeValue(*lpFileTime2));
  return a < b ? -1 : a > b ? 1 : 0;
}

DWORD GetTimeZoneInformation(LPTIME_ZONE_INFORMATION info) {
  if (!info) return Fail(ERROR_INVALID_PARAMETER, TIME_ZONE_ID_INVALID);
  *info = TIME_ZONE_INFORMATION{};
  info->Bias = cedev::DeviceTimeZoneBias();
  int east = -info->Bias;
  char name[32];
  std::snprintf(name, sizeof name, "UTC%c%02d:%02d", east < 0 ? '-' : '+', (east < 0 ? -east : east) / 60,
                (east < 0 ? -east : east) % 60);
  std::u16string wide(name, name + std::char_traits<char>::length(name));
  CopyName(info->StandardName, wide);
  CopyName(info->DaylightName, wide);
  return TIME_ZONE_ID_UNKNOWN;
}
