// compare (archive against archive, archive against a device) and passwd.
#include <windows.h>

#include <gmock/gmock.h>

#include "file_service.h"
#include "fs_nodes.h"
#include "scratch_device.h"
#include "test_archives.h"

namespace tlvarc::testing {
namespace {

using ::testing::HasSubstr;

class CompareTest : public ToolTest {};

TEST_F(CompareTest, SameArchiveHasNoDifferences) {
  std::string a = Path("a.dat"), b = Path("b.dat");
  WriteAll(a, ArchiveBuilder().SampleData().Finish());
  WriteAll(b, ArchiveBuilder(u"other password").SampleData().Finish());
  EXPECT_EQ(Run({"compare", a, b}), 0) << Err();
  EXPECT_EQ(Out(), "");
}

TEST_F(CompareTest, ShowsWhatARestoreWouldAddChangeAndDelete) {
  using namespace archive;
  ArchiveBuilder current;
  NodeWriter& w = current.W();
  ASSERT_TRUE(w.Container(kNodeRoot, u"").ok());
  ASSERT_TRUE(w.Container(kNodeDirectory, u"\\").ok());
  ASSERT_TRUE(w.Container(kNodeDirectory, u"MY DOCUMENTS").ok());  // case does not matter
  current.FileField(u"a.txt", 0x20, "HELLO");                     // other content, same size
  current.FileField(u"stale.txt", 0x20, "old");
  ASSERT_TRUE(w.End().ok());
  current.FileField(u"top.dat", 0x21, std::string(1000, 'z'));  // other attributes
  ASSERT_TRUE(w.End().ok());
  ASSERT_TRUE(w.Key(kNodeRegRoot, u"HKEY_LOCAL_MACHINE", u"").ok());
  ASSERT_TRUE(w.Key(kNodeRegKey, u"init", u"").ok());
  ASSERT_TRUE(w.Value(u"Launch80", 1, Utf16Data(u"other.exe")).ok());
  ASSERT_TRUE(w.End().ok());
  ASSERT_TRUE(w.End().ok());
  ASSERT_TRUE(w.Container(kNodeDbFolder, u"DATABASE").ok());
  ASSERT_TRUE(w.Database(u"Contacts Database", DatabaseFields{0x1234, 2, {{0x00010003u, 0u}, {0x0002001Fu, 2u}}}).ok());
  ASSERT_TRUE(w.DatabaseEnd().ok());
  ASSERT_TRUE(w.Database(u"Extra", DatabaseFields{}).ok());
  ASSERT_TRUE(w.DatabaseEnd().ok());
  ASSERT_TRUE(w.End().ok());
  ASSERT_TRUE(w.End().ok());
  std::string wanted = Path("wanted.dat"), have = Path("have.dat");
  WriteAll(wanted, ArchiveBuilder().SampleData().Finish());
  WriteAll(have, current.Finish());

  ASSERT_EQ(Run({"compare", wanted, have}), 1) << Err();
  EXPECT_EQ(Out(),
            "~ \\My Documents\\a.txt (content)\n"
            "- \\MY DOCUMENTS\\stale.txt\n"
            "~ \\top.dat (attributes or times)\n"
            "~ HKEY_LOCAL_MACHINE\\init\\Launch80 (type or data)\n"
            "~ DATABASE\\Contacts Database (records)\n"
            "- DATABASE\\Extra (only here; a restore leaves it)\n"
            "+ \\My Documents\\empty.bin\n"
            "+ HKEY_CLASSES_ROOT\n"
            "+ HKEY_CURRENT_USER\n"
            "+ HKEY_LOCAL_MACHINE\\init\\Depend80\n"
            "+ HKEY_LOCAL_MACHINE\\init\\@\n"
            "+ HKEY_LOCAL_MACHINE\\init\\Empty\n"
            "+ HKEY_USERS\n"
            "+ DATABASE\\Empty\n");
  ASSERT_EQ(Run({"compare", wanted, have, "--json"}), 1);
  auto j = nlohmann::json::parse(Out());
  EXPECT_EQ(j[0]["change"], "change");
  EXPECT_EQ(j[1]["change"], "delete");
  EXPECT_EQ(j[6]["change"], "add");
  EXPECT_EQ(j[6]["path"], "\\My Documents\\empty.bin");
}

TEST_F(CompareTest, DamagedSideIsReportedNotCompared) {
  std::string good = Path("good.dat"), bad = Path("bad.dat");
  auto bytes = ArchiveBuilder().SampleData().Finish();
  WriteAll(good, bytes);
  bytes.resize(bytes.size() - 3);
  WriteAll(bad, bytes);
  EXPECT_EQ(Run({"compare", good, bad}), 1);
  EXPECT_THAT(Err(), HasSubstr("decoded offset"));
  EXPECT_EQ(Run({"compare", good}), 2);
}

class DeviceCompareTest : public ToolTest {
 protected:
  void PutFile(LPCWSTR path, const std::string& content) {
    HANDLE h = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    uint32_t done = 0;
    ASSERT_TRUE(WriteFile(h, content.data(), uint32_t(content.size()), &done, nullptr));
    CloseHandle(h);
  }
  FileFields FieldsOf(LPCWSTR path) {
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW(path, &found);
    EXPECT_NE(find, INVALID_HANDLE_VALUE);
    FindClose(find);
    return FileFieldsOf(found);
  }
  void PutValue(LPCWSTR key, LPCWSTR name, uint32_t number) {
    HKEY h = nullptr;
    uint32_t disposition = 0;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, key, 0, nullptr, 0, 0, nullptr, &h, &disposition), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExW(h, name, 0, REG_DWORD, reinterpret_cast<const uint8_t*>(&number), 4), ERROR_SUCCESS);
    RegCloseKey(h);
  }
  cedev::ScratchDevice device_;
};

TEST_F(DeviceCompareTest, ListsWhatARestoreWouldChangeOnTheDevice) {
  PutFile(u"\\same.txt", "same");
  PutFile(u"\\changed.txt", "device text");
  PutFile(u"\\extra.txt", "only on the device");
  PutValue(u"Tolvane", u"Kept", 1);
  PutValue(u"Tolvane", u"CalibrationData", 9);  // never archived, never deleted
  PutValue(u"Tolvane", u"Gone", 2);

  using namespace archive;
  ArchiveBuilder b;
  NodeWriter& w = b.W();
  ASSERT_TRUE(w.Container(kNodeRoot, u"").ok());
  ASSERT_TRUE(w.Container(kNodeDirectory, u"\\").ok());
  ASSERT_TRUE(w.FileHeader(u"same.txt", FieldsOf(u"\\same.txt")).ok());
  ASSERT_TRUE(w.Content("same", 4).ok());
  FileFields changed = FieldsOf(u"\\changed.txt");
  ASSERT_TRUE(w.FileHeader(u"changed.txt", changed).ok());
  ASSERT_TRUE(w.Content("archive tex", 11).ok());
  b.FileField(u"new.txt", 0x20, "new");
  ASSERT_TRUE(w.End().ok());
  ASSERT_TRUE(w.Key(kNodeRegRoot, u"HKEY_LOCAL_MACHINE", u"").ok());
  ASSERT_TRUE(w.Key(kNodeRegKey, u"Tolvane", u"").ok());
  ASSERT_TRUE(w.Value(u"Kept", 4, {1, 0, 0, 0}).ok());
  ASSERT_TRUE(w.End().ok());
  ASSERT_TRUE(w.End().ok());
  ASSERT_TRUE(w.End().ok());
  std::string path = Path("Backup.dat");
  WriteAll(path, b.Finish());

  ASSERT_EQ(Run({"compare", path, "--device", device_.dir().string()}), 1) << Err();
  std::string out = Out();
  EXPECT_THAT(out, HasSubstr("~ \\changed.txt (content)\n"));
  EXPECT_THAT(out, HasSubstr("- \\extra.txt\n"));
  EXPECT_THAT(out, HasSubstr("- HKEY_LOCAL_MACHINE\\Tolvane\\Gone\n"));
  EXPECT_THAT(out, HasSubstr("+ \\new.txt\n"));
  EXPECT_THAT(out, ::testing::Not(HasSubstr("same.txt")));
  EXPECT_THAT(out, ::testing::Not(HasSubstr("Kept")));
  EXPECT_THAT(out, ::testing::Not(HasSubstr("CalibrationData")));
  EXPECT_THAT(out, ::testing::Not(HasSubstr("FlashDisk")));  // mounted storage is never deleted
  EXPECT_EQ(Run({"compare", path, "--device", Path("nowhere")}), 2);
  EXPECT_THAT(Err(), HasSubstr("not a device folder"));
}

// An extra file of a restored folder goes with a plain delete, which a
// read-only file and a file the system holds open refuse; a folder the
// archive lacks goes with everything in it, read-only files included.
TEST_F(DeviceCompareTest, ReadOnlyAndHeldFilesOfARestoredFolderAreKept) {
  ASSERT_TRUE(CreateDirectoryW(u"\\Gone", nullptr));
  PutFile(u"\\ro.txt", "read only");
  PutFile(u"\\Gone\\ro.txt", "read only too");
  PutFile(u"\\held.vol", "system");
  PutFile(u"\\carried.vol", "system");
  ASSERT_TRUE(SetFileAttributesW(u"\\ro.txt", FILE_ATTRIBUTE_READONLY));
  ASSERT_TRUE(SetFileAttributesW(u"\\Gone\\ro.txt", FILE_ATTRIBUTE_READONLY));
  ASSERT_TRUE(device_.device().UpdateSettings(
      [](cedev::DeviceSettings& s) { s.held_files = {"\\held.vol", "\\carried.vol"}; }));
  using namespace archive;
  ArchiveBuilder b;
  NodeWriter& w = b.W();
  ASSERT_TRUE(w.Container(kNodeRoot, u"").ok());
  ASSERT_TRUE(w.Container(kNodeDirectory, u"\\").ok());
  b.FileField(u"carried.vol", 0x20, "system");  // an archive of another device may carry one
  ASSERT_TRUE(w.End().ok());
  ASSERT_TRUE(w.End().ok());
  std::string path = Path("Backup.dat");
  WriteAll(path, b.Finish());

  ASSERT_EQ(Run({"compare", path, "--device", device_.dir().string()}), 1) << Err();
  EXPECT_EQ(Out(),
            "~ \\carried.vol (in use on the device; a restore cannot replace it)\n"
            "- \\Gone\n"
            "- \\Gone\\ro.txt\n");
}

// Files in ROM stay whatever a restore does: one the archive carries (as a
// "Tovak" backup carries ModelSetup.exe) is compared like any file, one it
// lacks is never listed as deleted.
TEST_F(DeviceCompareTest, FilesInRomAreComparedButNeverDeleted) {
  PutFile(u"\\rom.exe", "program");
  PutFile(u"\\romonly.dll", "library");
  for (LPCWSTR rom : {u"\\rom.exe", u"\\romonly.dll"}) {
    cedev::FileMetaRecord row;
    row.attributes = FILE_ATTRIBUTE_INROM | FILE_ATTRIBUTE_READONLY;
    ASSERT_TRUE(cedev::SetFileMetaRecord(device_.device(), rom, row));
  }
  using namespace archive;
  ArchiveBuilder b;
  NodeWriter& w = b.W();
  ASSERT_TRUE(w.Container(kNodeRoot, u"").ok());
  ASSERT_TRUE(w.Container(kNodeDirectory, u"\\").ok());
  ASSERT_TRUE(w.FileHeader(u"rom.exe", FieldsOf(u"\\rom.exe")).ok());
  ASSERT_TRUE(w.Content("program", 7).ok());
  ASSERT_TRUE(w.End().ok());
  ASSERT_TRUE(w.End().ok());
  std::string path = Path("Backup.dat");
  WriteAll(path, b.Finish());

  ASSERT_EQ(Run({"compare", path, "--device", device_.dir().string()}), 0) << Out() << Err();
  EXPECT_THAT(Out(), ::testing::Not(HasSubstr("rom")));
}

// The device's own system files never go into a backup, yet a restore's
// mirror pass deletes them like any file the archive lacks: compare says so,
// and says why they are missing.
TEST_F(DeviceCompareTest, FilesEveryBackupLeavesOutAreShownAsDeletedWithTheReason) {
  ASSERT_TRUE(CreateDirectoryW(u"\\Windows", nullptr));
  PutFile(u"\\pim.vol", "database volume");
  PutFile(u"\\Windows\\SystemLog.xml", "<log/>");
  PutFile(u"\\user.txt", "a user's file");
  using namespace archive;
  ArchiveBuilder b;
  NodeWriter& w = b.W();
  ASSERT_TRUE(w.Container(kNodeRoot, u"").ok());
  ASSERT_TRUE(w.Container(kNodeDirectory, u"\\").ok());
  ASSERT_TRUE(w.Container(kNodeDirectory, u"Windows").ok());
  ASSERT_TRUE(w.End().ok());
  ASSERT_TRUE(w.End().ok());
  ASSERT_TRUE(w.End().ok());
  std::string path = Path("Backup.dat");
  WriteAll(path, b.Finish());

  ASSERT_EQ(Run({"compare", path, "--device", device_.dir().string()}), 1) << Err();
  EXPECT_EQ(Out(),
            "- \\pim.vol (a backup leaves it out)\n"
            "- \\user.txt\n"
            "- \\Windows\\SystemLog.xml (a backup leaves it out)\n");
  ASSERT_EQ(Run({"compare", path, "--device", device_.dir().string(), "--json"}), 1) << Err();
  auto diffs = nlohmann::json::parse(Out());
  ASSERT_EQ(diffs.size(), 3u);
  EXPECT_EQ(diffs[0].at("change"), "delete");
  EXPECT_EQ(diffs[0].at("what"), "a backup leaves it out");
  EXPECT_EQ(diffs[1].at("what"), "");
}

class PasswdTest : public ToolTest {};

TEST_F(PasswdTest, RewritesOnlyThePasswordBlock) {
  std::string path = Path("Backup.dat");
  auto before = ArchiveBuilder(u"old").SampleData().Finish();
  WriteAll(path, before);
  ::setenv(kPasswordEnv, "wrong", 1);
  ::setenv(kNewPasswordEnv, "new", 1);
  EXPECT_EQ(Run({"passwd", path}), 3);
  EXPECT_EQ(ReadAll(path), before);

  ::setenv(kPasswordEnv, "old", 1);
  ASSERT_EQ(Run({"passwd", path}), 0) << Err();
  auto after = ReadAll(path);
  ASSERT_EQ(after.size(), before.size());
  EXPECT_TRUE(std::equal(before.begin(), before.begin() + archive::kPasswordBlockOffset, after.begin()));
  EXPECT_TRUE(std::equal(before.begin() + archive::kNodeStreamOffset, before.end(), after.begin() + archive::kNodeStreamOffset));
  EXPECT_EQ(after[archive::kNodeStreamOffset - 1], 0);  // the unused last word stays zero
  EXPECT_EQ(after[archive::kNodeStreamOffset - 2], 0);
  EXPECT_EQ(Run({"verify", path, "--password"}), 3);  // "old" no longer opens it
  ::setenv(kPasswordEnv, "new", 1);
  EXPECT_EQ(Run({"verify", path, "--password"}), 0) << Err();
  EXPECT_FALSE(std::filesystem::exists(path + ".tlvarc-tmp"));
}

TEST_F(PasswdTest, EmptyNewPasswordRemovesItAndOldLayoutIsRefused) {
  std::string path = Path("Backup.dat");
  WriteAll(path, ArchiveBuilder(u"pw").SampleData().Finish());
  ::setenv(kPasswordEnv, "pw", 1);
  ::setenv(kNewPasswordEnv, "", 1);
  ASSERT_EQ(Run({"passwd", path}), 0) << Err();
  ASSERT_EQ(Run({"info", path}), 0);
  EXPECT_THAT(Out(), HasSubstr("password:         not set"));
  // No password set: the old one is not asked for.
  ::unsetenv(kPasswordEnv);
  ::setenv(kNewPasswordEnv, "again", 1);
  ASSERT_EQ(Run({"passwd", path}), 0) << Err();

  std::string old = Path("Old.dat");
  auto bytes = ToOldLayout(ArchiveBuilder().SampleData().Finish());
  WriteAll(old, bytes);
  EXPECT_EQ(Run({"passwd", old}), 2);
  EXPECT_THAT(Err(), HasSubstr("no password block"));
  EXPECT_EQ(ReadAll(old), bytes);
}

}  // namespace
}  // namespace tlvarc::testing
