// Time: calendar conversions with known values, the device clock offset and
// time zone.
#include <gtest/gtest.h>

#include <tuple>

#include "ce/file.h"
#include "ce/handle.h"
#include "ce/timeapi.h"
#include "api_expect.h"
#include "clock.h"
#include "scratch_device.h"

namespace {

using cedev::kSentinel;

SYSTEMTIME Sentinel() {
  SYSTEMTIME st;
  st.wYear = st.wMonth = st.wDayOfWeek = st.wDay = 0xBEEF;
  st.wHour = st.wMinute = st.wSecond = st.wMilliseconds = 0xBEEF;
  return st;
}

SYSTEMTIME Date(WORD y, WORD mo, WORD d, WORD h = 0, WORD mi = 0, WORD s = 0, WORD ms = 0) {
  SYSTEMTIME st{};
  st.wYear = y;
  st.wMonth = mo;
  st.wDay = d;
  st.wHour = h;
  st.wMinute = mi;
  st.wSecond = s;
  st.wMilliseconds = ms;
  return st;
}

uint64_t Value(const FILETIME& ft) { return (uint64_t{ft.dwHighDateTime} << 32) | ft.dwLowDateTime; }
FILETIME Ft(uint64_t v) { return FILETIME{static_cast<DWORD>(v), static_cast<DWORD>(v >> 32)}; }

TEST(TimeConversion, KnownFileTimesBecomeTheirCalendarDates) {
  FILETIME zero = Ft(0);
  SYSTEMTIME st = Sentinel();
  ASSERT_TRUE(FileTimeToSystemTime(&zero, &st));
  EXPECT_EQ(st.wYear, 1601);
  EXPECT_EQ(st.wMonth, 1);
  EXPECT_EQ(st.wDay, 1);
  EXPECT_EQ(st.wDayOfWeek, 1);  // Monday
  EXPECT_EQ(st.wHour + st.wMinute + st.wSecond + st.wMilliseconds, 0);

  FILETIME epoch = Ft(116444736000000000ull);
  st = Sentinel();
  ASSERT_TRUE(FileTimeToSystemTime(&epoch, &st));
  EXPECT_EQ(st.wYear, 1970);
  EXPECT_EQ(st.wMonth, 1);
  EXPECT_EQ(st.wDay, 1);
  EXPECT_EQ(st.wDayOfWeek, 4);  // Thursday

  FILETIME leap = Ft(133536836967890000ull);
  st = Sentinel();
  ASSERT_TRUE(FileTimeToSystemTime(&leap, &st));
  EXPECT_EQ(st.wYear, 2024);
  EXPECT_EQ(st.wMonth, 2);
  EXPECT_EQ(st.wDay, 29);
  EXPECT_EQ(st.wDayOfWeek, 4);
  EXPECT_EQ(st.wHour, 12);
  EXPECT_EQ(st.wMinute, 34);
  EXPECT_EQ(st.wSecond, 56);
  EXPECT_EQ(st.wMilliseconds, 789);
}

TEST(TimeConversion, CalendarDatesBecomeTheirFileTimes) {
  FILETIME ft = Ft(0xDEADBEEFDEADBEEFull);
  SYSTEMTIME st = Date(2024, 2, 29, 12, 34, 56, 789);
  st.wDayOfWeek = 6;  // wrong on purpose: the day of the week is ignored
  ASSERT_TRUE(SystemTimeToFileTime(&st, &ft));
  EXPECT_EQ(Value(ft), 133536836967890000ull);

  st = Date(1601, 1, 1);
  ASSERT_TRUE(SystemTimeToFileTime(&st, &ft));
  EXPECT_EQ(Value(ft), 0u);
}

TEST(TimeConversion, RoundTripsAcrossLeapYearBoundaries) {
  const SYSTEMTIME dates[] = {Date(1900, 2, 28, 23, 59, 59, 999), Date(1900, 3, 1), Date(2000, 2, 29, 6),
                              Date(2000, 12, 31, 23, 59, 59, 999), Date(2100, 3, 1), Date(30827, 12, 31, 23, 59, 59, 999)};
  for (const SYSTEMTIME& in : dates) {
    FILETIME ft;
    ASSERT_TRUE(SystemTimeToFileTime(&in, &ft)) << in.wYear;
    SYSTEMTIME out = Sentinel();
    ASSERT_TRUE(FileTimeToSystemTime(&ft, &out)) << in.wYear;
    EXPECT_EQ(out.wYear, in.wYear);
    EXPECT_EQ(out.wMonth, in.wMonth);
    EXPECT_EQ(out.wDay, in.wDay);
    EXPECT_EQ(out.wHour, in.wHour);
    EXPECT_EQ(out.wMilliseconds, in.wMilliseconds);
  }
}

TEST(TimeConversion, InvalidDatesAreRefusedAndLeaveTheOutputAlone) {
  const SYSTEMTIME bad[] = {Date(1900, 2, 29), Date(2100, 2, 29), Date(2023, 2, 29), Date(2024, 4, 31),
                            Date(2024, 13, 1),  Date(2024, 0, 1),   Date(2024, 1, 0),  Date(1600, 12, 31),
                            Date(2024, 1, 1, 24), Date(2024, 1, 1, 0, 60), Date(2024, 1, 1, 0, 0, 60),
                            Date(2024, 1, 1, 0, 0, 0, 1000)};
  for (const SYSTEMTIME& st : bad) {
    FILETIME ft = Ft(0x1234567812345678ull);
    SetLastError(kSentinel);
    EXPECT_FALSE(SystemTimeToFileTime(&st, &ft)) << st.wYear << "-" << st.wMonth << "-" << st.wDay;
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(Value(ft), 0x1234567812345678ull);
  }
  SYSTEMTIME ok = Date(2024, 2, 29);
  FILETIME fine;
  EXPECT_TRUE(SystemTimeToFileTime(&ok, &fine));
}

TEST(TimeConversion, NegativeFileTimesAndNullPointersAreRefused) {
  FILETIME negative = Ft(0x8000000000000000ull);
  SYSTEMTIME st = Sentinel();
  EXPECT_FAILS_WITH(FileTimeToSystemTime(&negative, &st), FALSE, ERROR_INVALID_PARAMETER);
  EXPECT_EQ(st.wYear, 0xBEEF);
  EXPECT_FAILS_WITH(FileTimeToSystemTime(nullptr, &st), FALSE, ERROR_INVALID_PARAMETER);
  EXPECT_FAILS_WITH(SystemTimeToFileTime(&st, nullptr), FALSE, ERROR_INVALID_PARAMETER);
  EXPECT_FAILS_WITH(FileTimeToLocalFileTime(nullptr, &negative), FALSE, ERROR_INVALID_PARAMETER);
}

TEST(TimeConversion, CompareFileTimeOrdersUnsignedValues) {
  FILETIME a = Ft(100), b = Ft(200), high = Ft(0x0000000100000000ull), low = Ft(0x00000000FFFFFFFFull);
  EXPECT_EQ(CompareFileTime(&a, &b), -1);
  EXPECT_EQ(CompareFileTime(&b, &a), 1);
  EXPECT_EQ(CompareFileTime(&a, &a), 0);
  EXPECT_EQ(CompareFileTime(&high, &low), 1);  // the high word decides first
}

class DeviceClock : public ::testing::Test {
 protected:
  cedev::ScratchDevice device_;
};

TEST_F(DeviceClock, LocalFileTimeUsesTheDeviceTimeZone) {
  device_.device().UpdateSettings([](cedev::DeviceSettings& s) { s.timezone_bias_minutes = -540; });
  FILETIME utc = Ft(133536836967890000ull), local = Ft(0), back = Ft(0);
  ASSERT_TRUE(FileTimeToLocalFileTime(&utc, &local));
  EXPECT_EQ(Value(local), 133536836967890000ull + 540ull * 60 * 10000000);
  ASSERT_TRUE(LocalFileTimeToFileTime(&local, &back));
  EXPECT_EQ(Value(back), Value(utc));

  TIME_ZONE_INFORMATION tz;
  tz.Bias = 12345;
  EXPECT_EQ(GetTimeZoneInformation(&tz), TIME_ZONE_ID_UNKNOWN);
  EXPECT_EQ(tz.Bias, -540);
  EXPECT_EQ(std::u16string(tz.StandardName), u"UTC+09:00");
}

TEST_F(DeviceClock, LocalTimeIsSystemTimeShiftedByTheBias) {
  device_.device().UpdateSettings([](cedev::DeviceSettings& s) { s.timezone_bias_minutes = 60; });
  SYSTEMTIME utc = Sentinel(), local = Sentinel();
  GetSystemTime(&utc);
  GetLocalTime(&local);
  FILETIME fu, fl;
  ASSERT_TRUE(SystemTimeToFileTime(&utc, &fu));
  ASSERT_TRUE(SystemTimeToFileTime(&local, &fl));
  // The two reads are a moment apart: round to the nearest minute.
  int64_t diff = static_cast<int64_t>(Value(fu)) - static_cast<int64_t>(Value(fl));
  EXPECT_EQ((diff + 300000000) / 600000000, 60);
}

TEST_F(DeviceClock, SettingTheTimeMovesTheOffsetNotTheHostClock) {
  SYSTEMTIME target = Date(2009, 6, 15, 10, 30);
  ASSERT_TRUE(SetSystemTime(&target));
  EXPECT_NE(device_.device().Settings().clock_offset_ms, 0);
  SYSTEMTIME now = Sentinel();
  GetSystemTime(&now);
  EXPECT_EQ(now.wYear, 2009);
  EXPECT_EQ(now.wMonth, 6);
  EXPECT_EQ(now.wDay, 15);
  EXPECT_EQ(now.wHour, 10);
  EXPECT_EQ(now.wDayOfWeek, 1);  // a Monday

  device_.device().UpdateSettings([](cedev::DeviceSettings& s) { s.timezone_bias_minutes = -540; });
  SYSTEMTIME local = Date(2009, 6, 15, 9, 0);
  ASSERT_TRUE(SetLocalTime(&local));
  GetSystemTime(&now);
  EXPECT_EQ(now.wDay, 15);
  EXPECT_EQ(now.wHour, 0);  // 09:00 in UTC+9

  SYSTEMTIME bad = Date(2009, 2, 30);
  EXPECT_FAILS_WITH(SetSystemTime(&bad), FALSE, ERROR_INVALID_PARAMETER);
}

// A device set to another date stamps that date on what it makes and
// writes, not the host's.
TEST_F(DeviceClock, FilesAndFoldersMadeOnTheDeviceCarryItsTime) {
  SYSTEMTIME target = Date(2009, 6, 15, 10, 30);
  ASSERT_TRUE(SetSystemTime(&target));
  ASSERT_TRUE(CreateDirectoryW(u"\\dated", nullptr));
  HANDLE h = CreateFileW(u"\\dated\\a.txt", GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  DWORD put = 0;
  ASSERT_TRUE(WriteFile(h, "abc", 3, &put, nullptr));
  ASSERT_TRUE(CloseHandle(h));

  auto day_of = [](const FILETIME& ft) {
    SYSTEMTIME st = Sentinel();
    EXPECT_TRUE(FileTimeToSystemTime(&ft, &st));
    return std::make_tuple(st.wYear, st.wMonth, st.wDay);
  };
  WIN32_FIND_DATAW found{};
  HANDLE find = FindFirstFileW(u"\\dated\\a.txt", &found);
  ASSERT_NE(find, INVALID_HANDLE_VALUE);
  FindClose(find);
  EXPECT_EQ(day_of(found.ftCreationTime), std::make_tuple(WORD(2009), WORD(6), WORD(15)));
  EXPECT_EQ(day_of(found.ftLastWriteTime), std::make_tuple(WORD(2009), WORD(6), WORD(15)));
  find = FindFirstFileW(u"\\dated", &found);
  ASSERT_NE(find, INVALID_HANDLE_VALUE);
  FindClose(find);
  EXPECT_EQ(day_of(found.ftCreationTime), std::make_tuple(WORD(2009), WORD(6), WORD(15)));
}

}  // namespace
