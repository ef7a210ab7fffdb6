// Archives the engine itself wrote on a device: the registry backup job on a
// scratch device, then tlvarc on the archive file it left on FlashDisk.
#include <windows.h>

#include <gmock/gmock.h>

#include "jobs.h"
#include "job_status.h"
#include "password.h"
#include "reg_nodes.h"
#include "scratch_device.h"
#include "test_archives.h"

namespace tlvarc::testing {
namespace {

using ::testing::HasSubstr;

int32_t FlashDisk(LPWSTR location) {
  const char16_t name[] = u"FlashDisk";
  for (size_t i = 0; i < sizeof name / 2; ++i) location[i] = name[i];
  return TRUE;
}

class EngineArchiveTest : public ToolTest {
 protected:
  void SetUp() override {
    ToolTest::SetUp();
    InitRegistryNodes();
    SetBackupLocationSource(FlashDisk);
    Set(HKEY_LOCAL_MACHINE, u"Platform", u"Name", REG_SZ, Utf16Data(u"Tovak"));
    Set(HKEY_LOCAL_MACHINE, u"init", u"Launch80", REG_SZ, Utf16Data(u"tolvane.exe"));
    Set(HKEY_LOCAL_MACHINE, u"init", u"Depend80", REG_BINARY, {0x00, 0x14});
    Set(HKEY_CURRENT_USER, u"Settings\\Deep\\Deeper", u"", REG_DWORD, {3, 0, 0, 0});
    Set(HKEY_CURRENT_USER, u"Settings", u"List", REG_MULTI_SZ, {0x61, 0, 0, 0, 0, 0});
    Set(HKEY_CURRENT_USER, u"Settings", u"CalibrationData", REG_BINARY, {1, 2, 3});
  }
  void TearDown() override {
    SetBackupLocationSource(nullptr);
    ToolTest::TearDown();
  }
  void Set(HKEY root, LPCWSTR key, LPCWSTR name, uint32_t type, const std::vector<uint8_t>& data) {
    HKEY h = nullptr;
    uint32_t disposition = 0;
    ASSERT_EQ(RegCreateKeyExW(root, key, 0, nullptr, 0, 0, nullptr, &h, &disposition), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExW(h, name, 0, type, data.data(), uint32_t(data.size())), ERROR_SUCCESS);
    RegCloseKey(h);
  }
  std::string Backup(const std::u16string& password) {
    uint8_t block[archive::kPasswordBlockBytes];
    MPwdEncryption(password.c_str(), block);
    ResetJobStatus(JOB_OPERATION_BACKUP);
    EXPECT_EQ(RunRegistryBackup(block), 1u);
    return (device_.dir() / "volumes" / "FlashDisk" / "Backup" / "Registory.dat").string();
  }

  cedev::ScratchDevice device_{cedev::FastDevice()};
};

TEST_F(EngineArchiveTest, RegistryArchiveListsVerifiesAndRepacksExactly) {
  std::string archive = Backup(u"pw");
  ::setenv(kPasswordEnv, "pw", 1);
  ASSERT_EQ(Run({"verify", archive, "--password"}), 0) << Err();
  ASSERT_EQ(Run({"info", archive}), 0) << Err();
  EXPECT_THAT(Out(), HasSubstr("registry-only archive"));
  EXPECT_THAT(Out(), HasSubstr("platform:         Tovak"));
  ASSERT_EQ(Run({"list", archive, "HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE\\init"}), 0) << Err();
  EXPECT_THAT(Out(), HasSubstr("HKEY_CURRENT_USER\\Settings\\Deep\\Deeper\\@\n"));
  EXPECT_THAT(Out(), HasSubstr("HKEY_CURRENT_USER\\Settings\\List\n"));
  EXPECT_THAT(Out(), HasSubstr("HKEY_LOCAL_MACHINE\\init\\Depend80\n"));
  EXPECT_THAT(Out(), ::testing::Not(HasSubstr("CalibrationData")));

  std::string out = Path("out"), repacked = Path("repacked.dat");
  ASSERT_EQ(Run({"extract", archive, out, "--password"}), 0) << Err();
  ASSERT_EQ(Run({"create", repacked, "--from", out}), 0) << Err();
  EXPECT_EQ(DecodedNodes(ReadAll(repacked)), DecodedNodes(ReadAll(archive)));
}

TEST_F(EngineArchiveTest, CompareAgainstTheDeviceItCameFromFindsNothing) {
  std::string archive = Backup(u"");
  EXPECT_EQ(Run({"compare", archive, "--device", device_.dir().string()}), 0) << Out() << Err();
  EXPECT_EQ(Out(), "");
  Set(HKEY_LOCAL_MACHINE, u"init", u"Launch80", REG_SZ, Utf16Data(u"other.exe"));
  Set(HKEY_LOCAL_MACHINE, u"init", u"Added", REG_DWORD, {1, 0, 0, 0});
  EXPECT_EQ(Run({"compare", archive, "--device", device_.dir().string()}), 1);
  EXPECT_EQ(Out(), "~ HKEY_LOCAL_MACHINE\\init\\Launch80 (type or data)\n- HKEY_LOCAL_MACHINE\\init\\Added\n");
}

}  // namespace
}  // namespace tlvarc::testing
