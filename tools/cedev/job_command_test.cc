#include "job_command.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>

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
  testing::internal::CaptureStderr();
  EXPECT_EQ(RunJobCommand({"registry-restore", "--location", "Storage Card"}), 1);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "STATUS_ARCHIVE_READ_FAILED (0x2002)\n");
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "cedev job: no archive at \\Storage Card\\Backup\\Registory.dat (ERROR_PATH_NOT_FOUND (3))\n");
}

TEST(JobCommand, SaysWhenAnotherProgramHoldsTheArchive) {
  cedev::ScratchDevice dev(cedev::FastDevice());
  testing::internal::CaptureStdout();
  ASSERT_EQ(RunJobCommand({"registry-backup"}), 0);
  testing::internal::GetCapturedStdout();
  HANDLE held = CreateFileW(u"\\FlashDisk\\Backup\\Registory.dat", GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  EXPECT_EQ(RunJobCommand({"registry-restore"}), 1);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "STATUS_ARCHIVE_READ_FAILED (0x2002)\n");
  EXPECT_THAT(testing::internal::GetCapturedStderr(),
              ::testing::HasSubstr("another program holds \\FlashDisk\\Backup\\Registory.dat open"));
  CloseHandle(held);
}

TEST(JobCommand, PasswordFromTheEnvironmentUnlessGiven) {
  cedev::ScratchDevice dev(cedev::FastDevice());
  ASSERT_EQ(SetDword(u"Demo", u"Value", 1), ERROR_SUCCESS);
  ::setenv("CEDEV_PASSWORD", "from-env", 1);
  testing::internal::CaptureStdout();
  EXPECT_EQ(RunJobCommand({"registry-backup"}), 0);
  EXPECT_EQ(RunJobCommand({"registry-restore", "--password", "from-env"}), 0);
  EXPECT_EQ(RunJobCommand({"registry-restore", "--password", ""}), 1) << "an empty --password is a password too";
  ::unsetenv("CEDEV_PASSWORD");
  EXPECT_EQ(RunJobCommand({"registry-restore"}), 1);
  testing::internal::GetCapturedStdout();
}

}  // namespace
