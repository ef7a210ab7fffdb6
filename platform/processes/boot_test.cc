// Which programs a boot starts, and in what order.
#include "boot.h"

#include <gtest/gtest.h>

#include <windows.h>

#include "scratch_device.h"

namespace cedev {
namespace {

void PutProgram(const char16_t* path, const char* program) {
  HANDLE h = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  std::string content = std::string("#!cedev-program ") + program + "\n";
  DWORD written = 0;
  ASSERT_TRUE(WriteFile(h, content.data(), static_cast<DWORD>(content.size()), &written, nullptr));
  CloseHandle(h);
}

void MakeFolders(std::initializer_list<const char16_t*> folders) {
  for (const char16_t* f : folders) ASSERT_TRUE(CreateDirectoryW(f, nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
}

std::vector<std::u16string> Paths(const std::vector<BootProgram>& programs) {
  std::vector<std::u16string> paths;
  for (const auto& p : programs) paths.push_back(p.path);
  return paths;
}

class BootProgramsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    MakeFolders({u"\\Windows", u"\\FlashDisk\\CE", u"\\FlashDisk\\CE\\ARM", u"\\Storage Card\\CE",
                 u"\\Storage Card\\CE\\ARM"});
    PutProgram(u"\\Windows\\welcome.exe", "welcome");
  }
  ScratchDevice dev_;
};

TEST_F(BootProgramsTest, DefaultAutostartIsEachVolumesRestoreExe) {
  DeviceSettings s = dev_.device().Settings();
  ASSERT_TRUE(s.autostart.empty());
  EXPECT_EQ(AutostartList(s), (std::vector<std::u16string>{u"\\FlashDisk\\CE\\ARM\\Restore.exe",
                                                           u"\\Storage Card\\CE\\ARM\\Restore.exe"}));
}

TEST_F(BootProgramsTest, OnlyProgramsThatArePresentAreStarted) {
  DeviceSettings s = dev_.device().Settings();
  EXPECT_TRUE(BootPrograms(s, false).empty());
  PutProgram(u"\\Storage Card\\CE\\ARM\\Restore.exe", "restore");
  EXPECT_EQ(Paths(BootPrograms(s, false)), (std::vector<std::u16string>{u"\\Storage Card\\CE\\ARM\\Restore.exe"}));
  // A folder of that name is no program.
  MakeFolders({u"\\FlashDisk\\CE\\ARM\\Restore.exe"});
  EXPECT_EQ(BootPrograms(s, false).size(), 1u);
}

TEST_F(BootProgramsTest, TheStartUpWindowsComeFirstAndOnlyAfterAFullReset) {
  PutProgram(u"\\FlashDisk\\CE\\ARM\\Restore.exe", "restore");
  DeviceSettings s = dev_.device().Settings();
  EXPECT_EQ(Paths(BootPrograms(s, true)),
            (std::vector<std::u16string>{u"\\Windows\\welcome.exe", u"\\FlashDisk\\CE\\ARM\\Restore.exe"}));
  EXPECT_EQ(Paths(BootPrograms(s, false)), (std::vector<std::u16string>{u"\\FlashDisk\\CE\\ARM\\Restore.exe"}));
  // With the control panel the owner and clock dialogs follow the welcome
  // window, and the boot waits for each of them but not for the autostart.
  PutProgram(u"\\Windows\\ctlpnl.exe", "ctlpnl");
  std::vector<BootProgram> full = BootPrograms(s, true);
  EXPECT_EQ(full, (std::vector<BootProgram>{{u"\\Windows\\welcome.exe", u"", true},
                                            {u"\\Windows\\ctlpnl.exe", u"owner", true},
                                            {u"\\Windows\\ctlpnl.exe", u"clock", true},
                                            {u"\\FlashDisk\\CE\\ARM\\Restore.exe", u"", false}}));
  EXPECT_EQ(Paths(BootPrograms(s, false)), (std::vector<std::u16string>{u"\\FlashDisk\\CE\\ARM\\Restore.exe"}));
  // No welcome program configured: the dialogs still come.
  s.welcome_program.clear();
  EXPECT_EQ(Paths(BootPrograms(s, true)),
            (std::vector<std::u16string>{u"\\Windows\\ctlpnl.exe", u"\\Windows\\ctlpnl.exe",
                                         u"\\FlashDisk\\CE\\ARM\\Restore.exe"}));
}

TEST_F(BootProgramsTest, AnExplicitListReplacesTheDefaultAndKeepsItsOrder) {
  PutProgram(u"\\FlashDisk\\CE\\ARM\\Restore.exe", "restore");
  PutProgram(u"\\Windows\\b.exe", "peghelp");
  PutProgram(u"\\Windows\\a.exe", "ctlpnl");
  DeviceSettings s = dev_.device().Settings();
  s.autostart = {"\\Windows\\b.exe", "\\Windows\\missing.exe", "\\Windows\\a.exe"};
  EXPECT_EQ(Paths(BootPrograms(s, false)), (std::vector<std::u16string>{u"\\Windows\\b.exe", u"\\Windows\\a.exe"}));
}

}  // namespace
}  // namespace cedev
