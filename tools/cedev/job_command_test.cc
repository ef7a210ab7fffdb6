#include "job_command.h"

#include <gtest/gtest.h>

#include <windows.h>
#include "scratch_device.h"

namespace {

LONG SetDword(const char16_t* path, const char16_t* name, DWORD v) {
  HKEY key = nullptr;
  DWORD disposition = 0;
  LONG rc = RegCreateKeyExW(HKEY_CURRENT_USER, path, 0, nullptr, 0, 0, nullptr, &key, &disposition);
  if (rc != ERROR_SUCCESS) return rc;
  rc = RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v), 4);
  RegCloseKey(key);
  return rc;
}

DWORD GetDword(const char16_t* path, const char16_t* name) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return 0xFFFFFFFF;
  DWORD v = 0xFFFFFFFF, size = 4, type = 0;
  RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&v), &size);
  RegCloseKey(key);
  return v;
}

TEST(JobCommand, UsageErrorsAnswerTwo) {
  EXPECT_EQ(RunJobCommand({}), 2);
  EXPECT_EQ(RunJobCommand({"copy"}), 2);
  EXPECT_EQ(RunJobCommand({"backup", "--location"}), 2);
  EXPECT_EQ(RunJobCommand({"backup", "--colour", "red"}), 2);
  EXPECT_EQ(RunJobCommand({"backup", "--password", std::string(260, 'x')}), 2);
  EXPECT_EQ(RunJobCommand({"backup", "--location", ""}), 2);
}

TEST(JobCommand, RegistryBackupAndRestoreWithPassword) {
  cedev::ScratchDevice dev(cedev::FastDevice());
  ASSERT_EQ(SetDword(u"Demo", u"Value", 1), ERROR_SUCCESS);
  testing::internal::CaptureStdout();
  EXPECT_EQ(RunJobCommand({"registry-backup", "--location", "FlashDisk", "--password", "pw"}), 0);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "STATUS_OK (0x3000)\n");
  ASSERT_EQ(SetDword(u"Demo", u"Value", 2), ERROR_SUCCESS);

  testing::internal::CaptureStdout();
  EXPECT_EQ(RunJobCommand({"registry-restore", "--password", "wrong"}), 1);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "STATUS_BAD_PASSWORD (0x2004)\n");
  EXPECT_EQ(GetDword(u"Demo", u"Value"), 2u);

  testing::internal::CaptureStdout();
  EXPECT_EQ(RunJobCommand({"registry-restore", "--password", "pw"}), 0);
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(GetDword(u"Demo", u"Value"), 1u);
}

TEST(JobCommand, MissingArchiveAnswersOne) {
  cedev::ScratchDevice dev(cedev::FastDevice());
  testing::internal::CaptureStdout();
  EXPECT_EQ(RunJobCommand({"registry-restore", "--location", "Storage Card"}), 1);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "STATUS_ARCHIVE_READ_FAILED (0x2002)\n");
}

}  // namespace
