#include <gtest/gtest.h>

#include <set>
#include <string>

#include "api_expect.h"
#include "app_state.h"
#include "backup_location.h"
#include "date_text.h"
#include "job.h"
#include "password.h"
#include "program_setup.h"
#include "res/resource.h"
#include "res/strings.h"

namespace {

HINSTANCE Module() { return reinterpret_cast<HINSTANCE>(0x7A00); }

TEST(StringTable, EveryEntryLoadsWholeAndIdsAreUnique) {
  RegisterTolvaneStrings(Module());
  std::set<UINT> ids;
  for (size_t i = 0; i < kTolvaneStringCount; ++i) {
    EXPECT_TRUE(ids.insert(kTolvaneStrings[i].id).second) << kTolvaneStrings[i].id;
    WCHAR buffer[TEXT_LIMIT];
    buffer[0] = u'?';
    int n = LoadStringW(Module(), kTolvaneStrings[i].id, buffer, TEXT_LIMIT);
    EXPECT_EQ(std::u16string(buffer, n), std::u16string(kTolvaneStrings[i].text)) << kTolvaneStrings[i].id;
  }
}

TEST(StringTable, TextsTheEngineAndRunnerUse) {
  RegisterTolvaneStrings(Module());
  WCHAR buffer[TEXT_LIMIT];
  ASSERT_GT(LoadStringW(Module(), IDS_CANCEL_BACKUP, buffer, TEXT_LIMIT), 0);
  EXPECT_EQ(std::u16string(buffer), u"ﾊﾞｯｸｱｯﾌﾟを中断します。よろしいですか？");
  ASSERT_GT(LoadStringW(Module(), IDS_BAD_PASSWORD, buffer, TEXT_LIMIT), 0);
  EXPECT_EQ(std::u16string(buffer),
            u"パスワードが異なります。\n正しいパスワードを入力してリストアを実行し直してください。");
  EXPECT_FAILS_WITH(LoadStringW(Module(), 9999, buffer, TEXT_LIMIT), 0, ERROR_RESOURCE_NAME_NOT_FOUND);
}

TEST(ProgramSetup, LoadsAppTitle) {
  SetUpProgram(Module());
  EXPECT_EQ(std::u16string(AppTitle), u"Tolvane Utility");
  EXPECT_EQ(ModuleInstance, Module());
}

BOOL WindowChoice(LPWSTR location) {
  const char16_t text[] = u"Storage Card";
  for (size_t i = 0; i < sizeof text / 2; ++i) location[i] = text[i];
  return TRUE;
}

TEST(BackupLocation, AutomaticModeUsesTheCommandLine) {
  AutoRunCode = AUTORUN_RESTORE;
  std::u16string typed = u"flashdisk";
  typed.copy(AutoRunLocation, typed.size());
  AutoRunLocation[typed.size()] = 0;
  SetWindowLocationSource(WindowChoice);
  WCHAR location[MAX_PATH] = u"sentinel";
  EXPECT_TRUE(GetBackupLocation(location));
  EXPECT_EQ(std::u16string(location), u"flashdisk") << "used as typed";
  AutoRunLocation[0] = 0;
  EXPECT_FALSE(GetBackupLocation(location)) << "an empty location is none";
  AutoRunCode = AUTORUN_NONE;
  SetWindowLocationSource(nullptr);
}

TEST(BackupLocation, InteractiveModeAsksTheWindow) {
  AutoRunCode = AUTORUN_NONE;
  WCHAR location[MAX_PATH] = u"sentinel";
  SetWindowLocationSource(nullptr);
  EXPECT_FALSE(GetBackupLocation(location));
  EXPECT_EQ(std::u16string(location), u"sentinel") << "left untouched";
  SetWindowLocationSource(WindowChoice);
  EXPECT_TRUE(GetBackupLocation(location));
  EXPECT_EQ(std::u16string(location), u"Storage Card");
  SetWindowLocationSource(nullptr);
}

TEST(JobRecords, StartEmpty) {
  MBackupJob backup;
  EXPECT_EQ(backup.Thread, nullptr);
  EXPECT_TRUE(MPwdAuthentication(backup.PasswordBlock, u""));
  EXPECT_FALSE(MPwdAuthentication(backup.PasswordBlock, u"x"));
  MRestoreJob restore;
  EXPECT_EQ(restore.Thread, nullptr);
  EXPECT_EQ(restore.Password[0], 0);
  EXPECT_EQ(sizeof restore.Password / sizeof restore.Password[0], size_t(MAX_PATH)) << "259 units and a terminator";
}

FILETIME LocalTime(WORD year, WORD month, WORD day, WORD hour, WORD minute) {
  SYSTEMTIME t = {};
  t.wYear = year;
  t.wMonth = month;
  t.wDay = day;
  t.wHour = hour;
  t.wMinute = minute;
  FILETIME f;
  EXPECT_TRUE(SystemTimeToFileTime(&t, &f));
  return f;
}

TEST(DateText, TwelveHourClockWithShortYearAndMonth) {
  struct Case {
    FILETIME time;
    const char16_t* text;
  } cases[] = {
      {LocalTime(2013, 2, 5, 15, 7), u"13/2/05 03:07 PM"},
      {LocalTime(2013, 2, 5, 0, 30), u"13/2/05 12:30 AM"},   // midnight reads 12
      {LocalTime(2013, 2, 5, 12, 0), u"13/2/05 12:00 PM"},   // noon too
      {LocalTime(2005, 12, 31, 11, 59), u"5/12/31 11:59 AM"},  // a year ending in 05
  };
  for (const Case& c : cases) {
    WCHAR text[64] = u"sentinel";
    EXPECT_TRUE(FormatBackupDate(c.time, text, 64));
    EXPECT_EQ(std::u16string(text), std::u16string(c.text));
  }
  WCHAR tiny[4] = u"abc";
  EXPECT_FALSE(FormatBackupDate(LocalTime(2013, 2, 5, 15, 7), tiny, 4)) << "does not fit";
}

}  // namespace
