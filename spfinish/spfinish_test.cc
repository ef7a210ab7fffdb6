// The finishing tool run as the device program it is, from where a service
// pack leaves it, on scratch devices.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "device_files.h"
#include "scratch_device.h"
#include "spfinish.h"

namespace {

const std::u16string kServicePack = u"\\Temp\\ServicePack";
const std::u16string kOldFolder = u"\\Temp\\ServicePackOld";
const std::u16string kUninstaller = u"\\Temp\\ServicePackOld\\PatchUnInstall.exe";
const std::u16string kTool = u"\\Temp\\ServicePack\\spfinish.exe";
const std::u16string kPackage = u"\\My Documents\\TolvaneKit SP1.cab";

class SpfinishScenario : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char16_t* folder : {u"\\Temp", u"\\Temp\\ServicePack", u"\\My Documents"}) {
      ASSERT_TRUE(CreateDirectoryW(folder, nullptr));
    }
    PutTool("first");
    ASSERT_TRUE(WriteDeviceText(kPackage, "package"));
    SetPackageValue(kPackage);
  }

  // The tool's device executable; `tag` tells one copy from another.
  void PutTool(const std::string& tag) {
    ASSERT_TRUE(WriteDeviceText(kTool, "#!cedev-program spfinish\n" + tag + "\n"));
  }

  static void SetPackageValue(const std::u16string& path) {
    SetPackageBytes(reinterpret_cast<const BYTE*>(path.c_str()), DWORD((path.size() + 1) * sizeof(char16_t)));
  }

  static void SetPackageBytes(const BYTE* data, DWORD bytes) {
    HKEY key = nullptr;
    DWORD disposition = 0;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, kInstallKeys[0], 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                              &disposition),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExW(key, u"CabFile", 0, REG_SZ, data, bytes), ERROR_SUCCESS);
    RegCloseKey(key);
  }

  // Starts the copy at `kTool` and returns its exit code.
  static DWORD RunTool() {
    PROCESS_INFORMATION pi{};
    EXPECT_TRUE(CreateProcessW(kTool.c_str(), u"", nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr, &pi))
        << GetLastError();
    if (!pi.hProcess) return 0xDEAD;
    EXPECT_EQ(WaitForSingleObject(pi.hProcess, 20000), WAIT_OBJECT_0);
    DWORD code = 0xDEAD;
    EXPECT_TRUE(GetExitCodeProcess(pi.hProcess, &code));
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return code;
  }

  cedev::ScratchDevice device_;
};

TEST_F(SpfinishScenario, MovesItselfAwayRemovesTheServicePackFolderAndDeletesThePackage) {
  ASSERT_TRUE(CreateDirectoryW(kOldFolder.c_str(), nullptr));
  ASSERT_TRUE(WriteDeviceText(kOldFolder + u"\\old.dll", "left by an earlier pack"));
  ASSERT_TRUE(CreateDirectoryW((kOldFolder + u"\\sub").c_str(), nullptr));
  ASSERT_TRUE(WriteDeviceText(kOldFolder + u"\\sub\\kept.txt", "in a sub-folder"));

  EXPECT_EQ(RunTool(), 0u);
  EXPECT_EQ(ReadDeviceText(kUninstaller), "#!cedev-program spfinish\nfirst\n");
  EXPECT_FALSE(Exists(kOldFolder + u"\\old.dll"));
  EXPECT_TRUE(Exists(kOldFolder + u"\\sub\\kept.txt")) << "only files of the old folder are deleted";
  EXPECT_FALSE(Exists(kTool));
  EXPECT_FALSE(Exists(kServicePack));
  EXPECT_TRUE(Exists(u"\\Temp")) << "it still holds the old folder";
  EXPECT_FALSE(Exists(kPackage));
}

TEST_F(SpfinishScenario, MakesTheOldFolderWithItsParentsWhenMissing) {
  // A service pack that brought its own \Temp\ServicePack only.
  EXPECT_EQ(RunTool(), 0u);
  EXPECT_EQ(GetFileAttributesW(kOldFolder.c_str()) & FILE_ATTRIBUTE_DIRECTORY, DWORD(FILE_ATTRIBUTE_DIRECTORY));
  EXPECT_TRUE(Exists(kUninstaller));
}

TEST_F(SpfinishScenario, ASecondRunReplacesTheFirstRunsUninstaller) {
  ASSERT_EQ(RunTool(), 0u);
  ASSERT_TRUE(CreateDirectoryW(kServicePack.c_str(), nullptr));
  PutTool("second");
  EXPECT_EQ(RunTool(), 0u);
  EXPECT_EQ(ReadDeviceText(kUninstaller), "#!cedev-program spfinish\nsecond\n");
  EXPECT_FALSE(Exists(kServicePack));
}

TEST_F(SpfinishScenario, AServicePackFolderThatStillHoldsFilesStaysAndSoDoesTemp) {
  ASSERT_TRUE(WriteDeviceText(kServicePack + u"\\readme.txt", "still here"));
  EXPECT_EQ(RunTool(), 0u);
  EXPECT_TRUE(Exists(kServicePack + u"\\readme.txt"));
  EXPECT_TRUE(Exists(u"\\Temp"));
  EXPECT_TRUE(Exists(kUninstaller));
}

TEST_F(SpfinishScenario, AReadOnlyOrMissingPackageIsLeftAlone) {
  ASSERT_TRUE(SetFileAttributesW(kPackage.c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_EQ(RunTool(), 0u);
  EXPECT_EQ(ReadDeviceText(kPackage), "package");

  // The key naming a package that is not there deletes nothing else.
  ASSERT_TRUE(CreateDirectoryW(kServicePack.c_str(), nullptr));
  PutTool("again");
  SetPackageValue(u"\\My Documents\\gone.cab");
  EXPECT_EQ(RunTool(), 0u);
  EXPECT_EQ(ReadDeviceText(kPackage), "package");
}

TEST_F(SpfinishScenario, APackagePathMustFitTheValueBuffer) {
  // 63 characters and the terminator fill the 128 bytes; one more does not fit.
  std::u16string fits = u"\\My Documents\\" + std::u16string(63 - 14 - 4, u'p') + u".cab";
  std::u16string too_long = u"\\My Documents\\" + std::u16string(64 - 14 - 4, u'q') + u".cab";
  ASSERT_EQ(fits.size(), 63u);
  ASSERT_EQ(too_long.size(), 64u);
  ASSERT_TRUE(WriteDeviceText(fits, "fits"));
  ASSERT_TRUE(WriteDeviceText(too_long, "too long"));

  SetPackageValue(too_long);
  EXPECT_EQ(RunTool(), 0u);
  EXPECT_TRUE(Exists(too_long)) << "a value that does not fit deletes nothing";
  EXPECT_TRUE(Exists(kPackage));

  ASSERT_TRUE(CreateDirectoryW(kServicePack.c_str(), nullptr));
  PutTool("again");
  SetPackageValue(fits);
  EXPECT_EQ(RunTool(), 0u);
  EXPECT_FALSE(Exists(fits));
  EXPECT_TRUE(Exists(too_long));
}

TEST_F(SpfinishScenario, AValueStoredWithoutItsTerminatorEndsAtTheBuffer) {
  // 64 characters and no terminator: exactly the 128 bytes. The path ends
  // there; nothing past the buffer becomes part of it.
  std::u16string name = u"\\My Documents\\" + std::u16string(64 - 14 - 4, u'u') + u".cab";
  ASSERT_EQ(name.size(), 64u);
  ASSERT_TRUE(WriteDeviceText(name, "unterminated"));
  SetPackageBytes(reinterpret_cast<const BYTE*>(name.data()), 128);
  EXPECT_EQ(RunTool(), 0u);
  EXPECT_FALSE(Exists(name));
  EXPECT_TRUE(Exists(kPackage));
}

TEST_F(SpfinishScenario, WithoutTheInstallKeyOnlyThePackageIsLeft) {
  ASSERT_EQ(RegDeleteKeyW(HKEY_LOCAL_MACHINE, kInstallKeys[0]), ERROR_SUCCESS);
  EXPECT_EQ(RunTool(), 0u);
  EXPECT_TRUE(Exists(kPackage));
  EXPECT_TRUE(Exists(kUninstaller));
  EXPECT_FALSE(Exists(kServicePack));
}

}  // namespace
