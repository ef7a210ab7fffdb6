// Installing the running copy as the storage's "Restore.exe": the previous
// copy waits as "~Setup.bak", and whatever goes wrong, the storage ends with
// a working "Restore.exe" (the new one or the previous one) or, when there
// was none before, with none.
#include "self_install.h"

#include <gtest/gtest.h>

#include <windows.h>

#include "device_files.h"
#include "device_control.h"
#include "scratch_device.h"

namespace {

const std::u16string kInstalled = u"\\FlashDisk\\CE\\ARM\\Restore.exe";
const std::u16string kSpare = u"\\FlashDisk\\CE\\ARM\\~Setup.bak";
const std::string kNewCopy = "#!cedev-program restore\nnew copy\n";
const std::string kPreviousCopy = "#!cedev-program restore\nprevious copy\n";

class SelfInstall : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char16_t* folder : {u"\\My Documents", u"\\FlashDisk\\CE", u"\\FlashDisk\\CE\\ARM"}) {
      ASSERT_TRUE(CreateDirectoryW(folder, nullptr));
    }
    ASSERT_TRUE(WriteDeviceText(u"\\My Documents\\Restore.exe", kNewCopy));
    ASSERT_TRUE(SetFileAttributesW(u"\\My Documents\\Restore.exe", FILE_ATTRIBUTE_READONLY));
    wcscpy(tool_.storage, u"FlashDisk");
    wcscpy(tool_.ownPath, u"\\My Documents\\Restore.exe");
    wcscpy(tool_.installedPath, kInstalled.c_str());
  }
  void TearDown() override { cedev::ClearFaults(); }

  void PutPrevious() {
    SetFileAttributesW(kInstalled.c_str(), FILE_ATTRIBUTE_NORMAL);
    ASSERT_TRUE(WriteDeviceText(kInstalled, kPreviousCopy));
    ASSERT_TRUE(SetFileAttributesW(kInstalled.c_str(), FILE_ATTRIBUTE_READONLY));
  }

  cedev::ScratchDevice device_;
  ToolState tool_;
};

TEST_F(SelfInstall, TheNewCopyReplacesThePreviousOneWhichWaitsUntilConfirmed) {
  PutPrevious();
  ASSERT_TRUE(WriteDeviceText(kSpare, "a spare of an earlier run"));
  ASSERT_TRUE(SetFileAttributesW(kSpare.c_str(), FILE_ATTRIBUTE_READONLY));
  Installation installation;
  ASSERT_TRUE(InstallSelf(tool_, &installation));
  EXPECT_EQ(ReadDeviceText(kInstalled), kNewCopy);
  EXPECT_EQ(ReadDeviceText(kSpare), kPreviousCopy);
  ClearReadOnly(kInstalled.c_str());
  EXPECT_EQ(GetFileAttributesW(kInstalled.c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
  ConfirmInstallation(installation);
  EXPECT_FALSE(Exists(kSpare));
  EXPECT_EQ(ReadDeviceText(kInstalled), kNewCopy);
}

TEST_F(SelfInstall, UndoingAnInstallationThatStoodPutsThePreviousCopyBack) {
  // As after a flag that could not be written.
  PutPrevious();
  Installation installation;
  ASSERT_TRUE(InstallSelf(tool_, &installation));
  ClearReadOnly(kInstalled.c_str());
  UndoInstallation(installation);
  EXPECT_EQ(ReadDeviceText(kInstalled), kPreviousCopy);
  EXPECT_FALSE(Exists(kSpare));
}

TEST_F(SelfInstall, AFailedCopyLeavesThePreviousRestoreExe) {
  struct Case {
    const char* op;
    std::u16string target;
    DWORD error;
  };
  const Case cases[] = {
      {"file.create", kInstalled, ERROR_ACCESS_DENIED},
      {"volume.full", u"\\FlashDisk\\*", ERROR_DISK_FULL},
      {"file.write", kInstalled, ERROR_WRITE_FAULT},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.op);
    PutPrevious();
    ASSERT_TRUE(cedev::AddFault(c.op, c.target, c.error));
    Installation installation;
    EXPECT_FALSE(InstallSelf(tool_, &installation));
    UndoInstallation(installation);
    cedev::ClearFaults();
    EXPECT_EQ(ReadDeviceText(kInstalled), kPreviousCopy);
    EXPECT_FALSE(Exists(kSpare));
  }
}

TEST_F(SelfInstall, APreviousCopyThatCannotBeMovedAsideIsNotDeletedByTheUndo) {
  PutPrevious();
  ASSERT_TRUE(cedev::AddFault("file.delete", kInstalled, ERROR_SHARING_VIOLATION, 1));
  Installation installation;
  EXPECT_FALSE(InstallSelf(tool_, &installation)) << "the copy does not overwrite";
  UndoInstallation(installation);
  EXPECT_EQ(ReadDeviceText(kInstalled), kPreviousCopy);
}

TEST_F(SelfInstall, AFirstInstallationThatFailsLeavesNothingBehind) {
  ASSERT_TRUE(cedev::AddFault("volume.full", u"\\FlashDisk\\*", ERROR_DISK_FULL));
  Installation installation;
  EXPECT_FALSE(InstallSelf(tool_, &installation));
  UndoInstallation(installation);
  cedev::ClearFaults();
  EXPECT_FALSE(Exists(kInstalled));
  EXPECT_FALSE(Exists(kSpare));
  // The next run installs.
  EXPECT_TRUE(InstallSelf(tool_, &installation));
  EXPECT_EQ(ReadDeviceText(kInstalled), kNewCopy);
}

}  // namespace
