// The directory and file nodes on a scratch device, driven below the job:
// a backup writes the decoded record of "\" into memory, a restore reads it
// back below an archive root.
#include "fs_nodes.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "data_nodes.h"
#include "data_test_util.h"
#include "device_control.h"
#include "records.h"
#include "scratch_device.h"

// ---- Call hook: the test binary wraps FindFirstFileW so a test can change
// the size a lookup reports (a file that grows or shrinks after it).
namespace {

constexpr uint64_t kCreated = 0x01D0000012345678ull;
constexpr uint64_t kAccessed = 0x01D0000123456789ull;
constexpr uint64_t kWritten = 0x01D000023456789Aull;

Bytes Le32(DWORD v) { return {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)}; }

void Append(Bytes* to, const Bytes& more) { to->insert(to->end(), more.begin(), more.end()); }

// A counted string of a name below U+0100.
Bytes Name(const std::string& ascii) {
  Bytes b = {uint8_t(ascii.size()), uint8_t(ascii.size() >> 8)};
  b.insert(b.end(), ascii.size(), 0);
  b.insert(b.end(), ascii.begin(), ascii.end());
  return b;
}

Bytes FileRecord(const std::string& name, DWORD attributes, const std::string& content) {
  Bytes r = Le32(0x101);
  Append(&r, Name(name));
  Append(&r, Le32(attributes));
  for (uint64_t t : {kCreated, kAccessed, kWritten}) {
    Append(&r, Le32(DWORD(t)));
    Append(&r, Le32(DWORD(t >> 32)));
  }
  Append(&r, Le32(DWORD(content.size())));
  r.insert(r.end(), content.begin(), content.end());
  return r;
}

Bytes FolderRecord(const std::string& name, const std::vector<Bytes>& children) {
  Bytes r = Le32(0x100);
  Append(&r, name == "\\" ? Bytes{1, 0, 0, 0x5C} : Name(name));
  for (const Bytes& c : children) Append(&r, c);
  Append(&r, Le32(0xFFFFFFFF));
  return r;
}

class FsNodesTest : public ::testing::Test {
 protected:
  void SetUp() override { InitDataNodes(); }
  void TearDown() override { cedev::ClearFaults(); }

  void MakeFile(const std::u16string& path, const std::string& text, DWORD attributes = FILE_ATTRIBUTE_ARCHIVE) {
    ASSERT_TRUE(WriteDeviceText(path, text)) << cedev::ToUtf8(path);
    ASSERT_TRUE(SetTimes(path, kCreated, kAccessed, kWritten));
    ASSERT_TRUE(SetFileAttributesW(path.c_str(), attributes));
  }
  void MakeFolder(const std::u16string& path) { ASSERT_TRUE(CreateDirectoryW(path.c_str(), nullptr)); }
  void MarkInRom(const std::u16string& path) {
    cedev::FileMetaRecord record;
    ASSERT_TRUE(cedev::GetFileMetaRecord(dev_.device(), path, &record));
    record.attributes |= FILE_ATTRIBUTE_INROM;
    ASSERT_TRUE(cedev::SetFileMetaRecord(dev_.device(), path, record));
  }
  // The device's files; the staging folder that every file restore makes
  // sure of is the post-restore step's to remove.
  std::map<std::u16string, EntryInfo> Tree() {
    std::map<std::u16string, EntryInfo> tree;
    DumpTree(u"\\", &tree);
    tree.erase(u"\\FlashDisk\\Startup_Restore");
    return tree;
  }

  cedev::ScratchDevice dev_;
};

// ---- Record layout

TEST_F(FsNodesTest, RootHoldingOneFileIsTheDocumentedByteSequence) {
  MakeFile(u"\\a", "abc", 0x20);
  BOOL ok = FALSE;
  Bytes record = BackupFileTree(&ok);
  ASSERT_TRUE(ok);
  EXPECT_EQ(JobStatus, STATUS_OK);
  Bytes expected = {0x00, 0x01, 0x00, 0x00, 0x01, 0x00, 0x00, 0x5C, 0x01, 0x01, 0x00, 0x00,
                    0x01, 0x00, 0x00, 0x61, 0x20, 0x00, 0x00, 0x00};
  for (uint64_t t : {kCreated, kAccessed, kWritten}) {
    Append(&expected, Le32(DWORD(t)));
    Append(&expected, Le32(DWORD(t >> 32)));
  }
  Append(&expected, {0x03, 0x00, 0x00, 0x00, 0x61, 0x62, 0x63, 0xFF, 0xFF, 0xFF, 0xFF});
  EXPECT_EQ(record, expected);
  EXPECT_EQ(record, FolderRecord("\\", {FileRecord("a", 0x20, "abc")}));
}

TEST_F(FsNodesTest, EmptyFolderIsHeaderThenEndMarker) {
  MakeFolder(u"\\Empty");
  Bytes record = BackupFileTree();
  EXPECT_EQ(record, FolderRecord("\\", {FolderRecord("Empty", {})}));
}

TEST_F(FsNodesTest, ZeroLengthFileHasNoContentBytes) {
  MakeFile(u"\\zero", "", 0x20);
  Bytes record = BackupFileTree();
  EXPECT_EQ(record, FolderRecord("\\", {FileRecord("zero", 0x20, "")}));
}

TEST_F(FsNodesTest, ChildrenFollowEnumerationOrderFoldersAndFilesInterleaved) {
  MakeFile(u"\\b.txt", "b");
  MakeFolder(u"\\A");
  MakeFolder(u"\\c");
  MakeFile(u"\\c\\x", "x");
  Bytes record = BackupFileTree();
  EXPECT_EQ(record, FolderRecord("\\", {FolderRecord("A", {}), FileRecord("b.txt", 0x20, "b"),
                                        FolderRecord("c", {FileRecord("x", 0x20, "x")})}));
}

// ---- Round trips

TEST_F(FsNodesTest, RestoreRecreatesFilesFoldersTimesAndAttributes) {
  MakeFolder(u"\\My Documents");
  MakeFolder(u"\\My Documents\\Deep");
  MakeFile(u"\\My Documents\\Deep\\notes.txt", std::string(30000, 'n') + "end", FILE_ATTRIBUTE_HIDDEN);
  MakeFile(u"\\ro.txt", "read only", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE);
  MakeFile(u"\\empty", "");
  MakeFolder(u"\\Nothing");
  auto before = Tree();
  Bytes record = BackupFileTree();

  ASSERT_TRUE(SetFileAttributesW(u"\\ro.txt", FILE_ATTRIBUTE_NORMAL));
  ASSERT_TRUE(DeleteFileW(u"\\ro.txt"));
  ASSERT_TRUE(WriteDeviceText(u"\\My Documents\\Deep\\notes.txt", "changed"));
  ASSERT_TRUE(DeleteFileW(u"\\empty"));
  ASSERT_TRUE(RemoveDirectoryW(u"\\Nothing"));

  ASSERT_TRUE(RestoreFileTree(record));
  EXPECT_EQ(JobStatus, STATUS_OK);
  EXPECT_EQ(Tree(), before);
}

TEST_F(FsNodesTest, ReadOnlyFileIsReplacedAndGetsItsAttributesBack) {
  MakeFile(u"\\ro.txt", "archived", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE);
  Bytes record = BackupFileTree();
  ASSERT_TRUE(SetFileAttributesW(u"\\ro.txt", FILE_ATTRIBUTE_NORMAL));
  MakeFile(u"\\ro.txt", "device copy", FILE_ATTRIBUTE_READONLY);

  ASSERT_TRUE(RestoreFileTree(record));
  EXPECT_EQ(Text(ReadDeviceFile(u"\\ro.txt")), "archived");
  EXPECT_EQ(GetFileAttributesW(u"\\ro.txt"), DWORD(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE));
}

TEST_F(FsNodesTest, ZeroLengthFileRestoresEmptyWithTimesAndAttributes) {
  ASSERT_TRUE(RestoreFileTree(FolderRecord("\\", {FileRecord("zero", FILE_ATTRIBUTE_HIDDEN, "")})));
  auto tree = Tree();
  ASSERT_TRUE(tree.count(u"\\zero"));
  EXPECT_TRUE(tree[u"\\zero"].data.empty());
  EXPECT_EQ(tree[u"\\zero"].attributes, DWORD(FILE_ATTRIBUTE_HIDDEN));
  EXPECT_EQ(tree[u"\\zero"].creation, kCreated);
  EXPECT_EQ(tree[u"\\zero"].write, kWritten);
}

// ---- Mirror pass

TEST_F(FsNodesTest, MirrorPassDeletesWhatTheArchiveLacksButReadOnlyFiles) {
  MakeFolder(u"\\Keep");
  MakeFile(u"\\Keep\\k.txt", "k");
  Bytes record = BackupFileTree();
  MakeFile(u"\\Keep\\extra.txt", "x");
  MakeFile(u"\\Keep\\ro.txt", "x", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE);
  MakeFolder(u"\\Extra");
  MakeFolder(u"\\Extra\\Sub");
  MakeFile(u"\\Extra\\Sub\\ro.txt", "x", FILE_ATTRIBUTE_READONLY);
  MakeFile(u"\\loose.txt", "x");
  MakeFile(u"\\loose-ro.txt", "x", FILE_ATTRIBUTE_READONLY);

  ASSERT_TRUE(RestoreFileTree(record));
  EXPECT_EQ(JobStatus, STATUS_OK);
  EXPECT_FALSE(Exists(u"\\Keep\\extra.txt"));
  EXPECT_FALSE(Exists(u"\\loose.txt"));
  // An extra file goes with a plain delete, which a read-only file refuses;
  // a whole extra folder goes with everything in it.
  EXPECT_EQ(GetFileAttributesW(u"\\Keep\\ro.txt"), DWORD(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE));
  EXPECT_TRUE(Exists(u"\\loose-ro.txt"));
  EXPECT_FALSE(Exists(u"\\Extra"));
  EXPECT_EQ(Text(ReadDeviceFile(u"\\Keep\\k.txt")), "k");
}

// ---- Mounted storage in an archive

TEST_F(FsNodesTest, MountedStorageInTheArchiveIsReadPastAndLeftAlone) {
  MakeFolder(u"\\Storage Card\\DCIM");
  MakeFile(u"\\Storage Card\\DCIM\\IMG0001.bmp", "photo");
  MakeFolder(u"\\FlashDisk\\Documents");
  MakeFile(u"\\FlashDisk\\Documents\\manual.txt", "manual");
  MakeFolder(u"\\Release");
  MakeFile(u"\\Release\\release.txt", "4.20");
  ASSERT_TRUE(dev_.device().UpdateSettings([](cedev::DeviceSettings& s) { s.mounted_folders = {"Release"}; }));
  // Made where these names were plain folders of the object store.
  Bytes record = FolderRecord(
      "\\", {FolderRecord("storage card", {FileRecord("planted.txt", 0x20, std::string(20000, 'p'))}),
             FolderRecord("FlashDisk", {FolderRecord("CE", {FolderRecord("ARM", {FileRecord("Restore.exe", 0x20, "run me")})}),
                                        FileRecord("flash.txt", 0x20, "f")}),
             FolderRecord("Release", {}),
             FolderRecord("After", {FileRecord("after.txt", 0x20, "still in step")})});

  ASSERT_TRUE(RestoreFileTree(record));
  EXPECT_EQ(JobStatus, STATUS_OK);
  EXPECT_EQ(Text(ReadDeviceFile(u"\\Storage Card\\DCIM\\IMG0001.bmp")), "photo");
  EXPECT_FALSE(Exists(u"\\Storage Card\\planted.txt"));
  EXPECT_EQ(Text(ReadDeviceFile(u"\\FlashDisk\\Documents\\manual.txt")), "manual");
  EXPECT_FALSE(Exists(u"\\FlashDisk\\CE"));
  EXPECT_FALSE(Exists(u"\\FlashDisk\\flash.txt"));
  EXPECT_EQ(Text(ReadDeviceFile(u"\\Release\\release.txt")), "4.20");
  EXPECT_EQ(Text(ReadDeviceFile(u"\\After\\after.txt")), "still in step");
}

TEST_F(FsNodesTest, AFolderNamedLikeStorageBelowTheRootIsRestored) {
  Bytes record = FolderRecord("\\", {FolderRecord("Data", {FolderRecord("Storage Card", {FileRecord("x.txt", 0x20, "x")})})});
  ASSERT_TRUE(RestoreFileTree(record));
  EXPECT_EQ(Text(ReadDeviceFile(u"\\Data\\Storage Card\\x.txt")), "x");
}

TEST_F(FsNodesTest, EmptyFolderRestoreEmptiesTheDeviceFolderButKeepsRomAndMountedStorage) {
  MakeFolder(u"\\Windows");
  MakeFile(u"\\Windows\\rom.dll", "rom");
  MarkInRom(u"\\Windows\\rom.dll");
  MakeFile(u"\\Windows\\ram.txt", "ram");
  MakeFile(u"\\Storage Card\\card.txt", "card");

  ASSERT_TRUE(RestoreFileTree(FolderRecord("\\", {FolderRecord("Windows", {})})));
  EXPECT_TRUE(Exists(u"\\Windows\\rom.dll"));
  EXPECT_FALSE(Exists(u"\\Windows\\ram.txt"));
  EXPECT_EQ(Text(ReadDeviceFile(u"\\Storage Card\\card.txt")), "card");
  EXPECT_TRUE(Exists(u"\\FlashDisk"));
}

TEST_F(FsNodesTest, FileKeptOutByTheTableIsStillDeletedByTheMirrorPass) {
  MakeFile(u"\\pim.vol", "volume");
  MakeFile(u"\\user.txt", "u");
  Bytes record = BackupFileTree();
  EXPECT_FALSE(ArchivedTree(record).count(u"\\pim.vol"));
  ASSERT_TRUE(RestoreFileTree(record));
  EXPECT_FALSE(Exists(u"\\pim.vol"));
  EXPECT_TRUE(Exists(u"\\user.txt"));
}

TEST_F(FsNodesTest, NamesAreMatchedWithoutRegardToCase) {
  MakeFile(u"\\Report.TXT", "device");
  ASSERT_TRUE(RestoreFileTree(FolderRecord("\\", {FileRecord("report.txt", 0x20, "archive")})));
  EXPECT_EQ(Text(ReadDeviceFile(u"\\report.txt")), "archive");
}

// ---- Restore failures

TEST_F(FsNodesTest, TargetThatCannotBeCreatedIsSkippedAndTheArchiveStaysInStep) {
  ASSERT_TRUE(cedev::AddFault("file.create", u"\\busy.dat", ERROR_SHARING_VIOLATION));
  Bytes record = FolderRecord("\\", {FileRecord("busy.dat", 0x20, std::string(25000, 'b')),
                                     FileRecord("next.txt", 0x20, "after")});
  ASSERT_TRUE(RestoreFileTree(record));
  EXPECT_EQ(JobStatus, STATUS_OK);
  EXPECT_FALSE(Exists(u"\\busy.dat"));
  EXPECT_EQ(Text(ReadDeviceFile(u"\\next.txt")), "after");
}

TEST_F(FsNodesTest, WriteFailureDeletesThePartialFile) {
  ASSERT_TRUE(cedev::AddFault("file.write", u"\\big.dat", ERROR_WRITE_FAULT));
  Bytes record = FolderRecord("\\", {FileRecord("big.dat", FILE_ATTRIBUTE_READONLY, std::string(30000, 'w'))});
  EXPECT_FALSE(RestoreFileTree(record));
  EXPECT_EQ(JobStatus, STATUS_DEVICE_WRITE_FAILED);
  EXPECT_FALSE(Exists(u"\\big.dat"));
}

TEST_F(FsNodesTest, FolderThatCannotBeCreatedFailsWithoutReadingItsChildren) {
  ASSERT_TRUE(cedev::AddFault("file.create", u"\\Blocked", ERROR_ACCESS_DENIED));
  Bytes record = FolderRecord("\\", {FolderRecord("Blocked", {FileRecord("x", 0x20, "x")})});
  EXPECT_FALSE(RestoreFileTree(record));
  EXPECT_EQ(JobStatus, STATUS_DEVICE_WRITE_FAILED);
  EXPECT_FALSE(Exists(u"\\Blocked"));
}

TEST_F(FsNodesTest, ShortArchiveFailsWithArchiveReadAndLeavesNoPartialFile) {
  Bytes record = FolderRecord("\\", {FileRecord("cut.txt", 0x20, std::string(20000, 'c'))});
  record.resize(record.size() - 5000);
  EXPECT_FALSE(RestoreFileTree(record));
  EXPECT_EQ(JobStatus, STATUS_ARCHIVE_READ_FAILED);
  EXPECT_FALSE(Exists(u"\\cut.txt"));
}

// ---- Hostile names

TEST_F(FsNodesTest, NamesThatAreNotOneEntryAreRefusedBeforeTheDeviceIsTouched) {
  MakeFolder(u"\\Safe");
  MakeFile(u"\\Safe\\keep.txt", "keep");
  MakeFile(u"\\victim.txt", "victim");
  const std::vector<std::string> hostile = {"..", ".", "", "a\\b", "..\\victim.txt", "/victim.txt", "x/y",
                                            "c:", "*.*", "a?", std::string("nul\x01", 4)};
  for (const std::string& name : hostile) {
    for (bool folder : {false, true}) {
      Bytes child = folder ? FolderRecord(name, {}) : FileRecord(name, 0x20, "evil");
      Bytes record = FolderRecord("\\", {FolderRecord("Safe", {child})});
      EXPECT_FALSE(RestoreFileTree(record)) << name;
      EXPECT_EQ(JobStatus, STATUS_ARCHIVE_READ_FAILED) << name;
      EXPECT_EQ(Text(ReadDeviceFile(u"\\Safe\\keep.txt")), "keep") << name;
      EXPECT_EQ(Text(ReadDeviceFile(u"\\victim.txt")), "victim") << name;
    }
  }
}

TEST_F(FsNodesTest, PathLongerThan259UnitsIsRefused) {
  std::string longName(200, 'n');
  MakeFolder(u"\\" + std::u16string(longName.begin(), longName.end()));
  Bytes record = FolderRecord("\\", {FolderRecord(longName, {FileRecord(std::string(70, 'f'), 0x20, "x")})});
  EXPECT_FALSE(RestoreFileTree(record));
  EXPECT_EQ(JobStatus, STATUS_ARCHIVE_READ_FAILED);
}

TEST_F(FsNodesTest, RootFolderRecordOnlyDirectlyBelowTheArchiveRoot) {
  MakeFile(u"\\victim.txt", "victim");
  // A second "\" nested in a folder would mirror the whole root.
  Bytes record = FolderRecord("\\", {FolderRecord("Sub", {FolderRecord("\\", {})})});
  EXPECT_FALSE(RestoreFileTree(record));
  EXPECT_EQ(JobStatus, STATUS_ARCHIVE_READ_FAILED);
  EXPECT_TRUE(Exists(u"\\victim.txt"));
  // And the top folder must be "\" itself.
  EXPECT_FALSE(RestoreFileTree(FolderRecord("Windows", {})));
  EXPECT_EQ(JobStatus, STATUS_ARCHIVE_READ_FAILED);
  EXPECT_TRUE(Exists(u"\\victim.txt"));
}

// ---- Backup failures

TEST_F(FsNodesTest, VanishedFileShowsItsPathInADefaultCaptionBox) {
  BoxRecorder boxes;
  ResetJobStatus(JOB_OPERATION_BACKUP);
  MDirectoryNode root(nullptr, u"\\");
  MFileNode gone(&root, u"gone.txt");
  MMemoryStream out;
  EXPECT_FALSE(gone.Save(&out));
  EXPECT_EQ(JobStatus, STATUS_SOURCE_READ_FAILED);
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].caption, u"Error");  // no caption given: the platform's default
  EXPECT_EQ(boxes.boxes[0].text, u"\\gone.txt");
  EXPECT_EQ(boxes.boxes[0].type, 0u);
}

TEST_F(FsNodesTest, FileHeldWithoutReadSharingShowsTheOpenForReadBox) {
  MakeFile(u"\\locked.txt", "locked");
  HANDLE holder = CreateFileW(u"\\locked.txt", GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  BoxRecorder boxes;
  BOOL ok = TRUE;
  BackupFileTree(&ok);
  CloseHandle(holder);
  EXPECT_FALSE(ok);
  EXPECT_EQ(JobStatus, STATUS_SOURCE_READ_FAILED);
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].caption, u"File.OpenForRead");
  EXPECT_EQ(boxes.boxes[0].text, u"\\locked.txt");
  EXPECT_EQ(boxes.boxes[0].type, DWORD(MB_TOPMOST));
}

TEST_F(FsNodesTest, FileThatShrankAfterTheLookupFailsTheBackup) {
  MakeFile(u"\\log.txt", std::string(3100, 'l'));
  // Looked up at 3100 bytes, cut to 3000 by the time it is opened.
  ASSERT_TRUE(cedev::AddFault("file.resize", u"\\log.txt", 3000, 1));
  BOOL ok = TRUE;
  BackupFileTree(&ok);
  EXPECT_FALSE(ok);
  EXPECT_EQ(JobStatus, STATUS_SOURCE_READ_FAILED);
}

TEST_F(FsNodesTest, FileThatGrewAfterTheLookupIsSavedAtItsLookedUpSize) {
  MakeFile(u"\\log.txt", std::string(3000, 'l'));
  // Looked up at 3000 bytes, grown by four by the time it is opened.
  ASSERT_TRUE(cedev::AddFault("file.resize", u"\\log.txt", 3004, 1));
  BOOL ok = FALSE;
  Bytes record = BackupFileTree(&ok);
  EXPECT_TRUE(ok);
  auto tree = ArchivedTree(record);
  ASSERT_TRUE(tree.count(u"\\log.txt"));
  EXPECT_EQ(tree[u"\\log.txt"].fields[7], 3000u);
  EXPECT_EQ(tree[u"\\log.txt"].data, Bytes(3000, 'l'));
  EXPECT_EQ(ReadDeviceFile(u"\\log.txt").value_or(Bytes{}).size(), 3004u) << "it did grow under the backup";
}

TEST_F(FsNodesTest, FileOfFourGibibytesOrMoreFailsInsteadOfBeingCut) {
  MakeFile(u"\\huge.bin", "small on the host");
  // Only a host copy can make such a file (sparse on the host): the device
  // refuses one past the store's capacity.
  std::filesystem::resize_file(dev_.dir() / "store" / "huge.bin", (4ull << 30) + 17);
  BoxRecorder boxes;
  BOOL ok = TRUE;
  BackupFileTree(&ok);
  EXPECT_FALSE(ok);
  EXPECT_EQ(JobStatus, STATUS_SOURCE_READ_FAILED);
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].text, u"\\huge.bin");
}

TEST_F(FsNodesTest, PathLongerThan259UnitsFailsTheBackupAndNamesIt) {
  // Only a host copy can make such a path: the device refuses to create one.
  std::string outer(200, 'o'), inner(100, 'i');
  std::filesystem::create_directories(dev_.dir() / "store" / outer / inner);
  std::ofstream(dev_.dir() / "store" / outer / inner / "deep.txt") << "deep";
  BoxRecorder boxes;
  BOOL ok = TRUE;
  BackupFileTree(&ok);
  EXPECT_FALSE(ok);
  EXPECT_EQ(JobStatus, STATUS_SOURCE_READ_FAILED);
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].text, u"\\" + std::u16string(outer.begin(), outer.end()) + u"\\" +
                                     std::u16string(inner.begin(), inner.end()));
}

TEST_F(FsNodesTest, ReadFailureFailsWithSourceRead) {
  MakeFile(u"\\bad.txt", std::string(5000, 'b'));
  ASSERT_TRUE(cedev::AddFault("file.read", u"\\bad.txt", ERROR_READ_FAULT));
  BOOL ok = TRUE;
  BackupFileTree(&ok);
  EXPECT_FALSE(ok);
  EXPECT_EQ(JobStatus, STATUS_SOURCE_READ_FAILED);
}

TEST_F(FsNodesTest, ArchiveWriteFailureIsWriteFailed) {
  MakeFile(u"\\a.txt", std::string(5000, 'a'));
  struct FailingSink : MArchiveStream {
    size_t left = 200;
    BOOL Read(void*, LONG, LONG*) override { return FALSE; }
    BOOL Write(const void*, LONG count, LONG* done) override {
      LONG take = LONG(std::min<size_t>(left, size_t(count)));
      left -= size_t(take);
      *done = take;
      return take == count;
    }
    BOOL Flush() override { return TRUE; }
  } sink;
  ResetJobStatus(JOB_OPERATION_BACKUP);
  MDirectoryNode root(nullptr, u"\\");
  EXPECT_FALSE(root.Save(&sink));
  EXPECT_EQ(JobStatus, STATUS_WRITE_FAILED);
}

TEST_F(FsNodesTest, CancelDuringAFileRestoreDeletesThePartialFile) {
  // The stream from the name of "\" on: the nodes are built by hand so the
  // cancel is seen inside the file's copy loop.
  Bytes stream = {1, 0, 0, 0x5C};
  Bytes file = FileRecord("c.txt", 0x20, std::string(50000, 'c'));
  stream.insert(stream.end(), file.begin() + 4, file.end());
  MMemoryStream in(stream.data(), DWORD(stream.size()));
  ResetJobStatus(JOB_OPERATION_RESTORE);
  MRootNode root(FALSE);
  MDirectoryNode folder(&root, &in);
  MFileNode node(&folder, &in);
  ASSERT_TRUE(folder.IsValid());
  ASSERT_TRUE(node.IsValid());
  CancelRequested = TRUE;
  CancelConfirmed = TRUE;
  EXPECT_FALSE(node.Restore(&in));
  EXPECT_EQ(JobStatus, STATUS_CANCELLED);
  EXPECT_FALSE(Exists(u"\\c.txt"));
}

// ---- Startup redirection

TEST_F(FsNodesTest, StartupFilesAreStagedAndDesktopIniStaysInPlace) {
  MakeFolder(u"\\Windows");
  MakeFolder(u"\\Windows\\StartUp");
  MakeFile(u"\\Windows\\StartUp\\app.lnk", "old link");
  MakeFile(u"\\Windows\\StartUp\\stale.lnk", "stale");
  Bytes record = FolderRecord(
      "\\", {FolderRecord("Windows", {FolderRecord("StartUp", {FileRecord("desktop.ini", 0x20, "[ini]"),
                                                               FileRecord("app.lnk", 0x20, "new link"),
                                                               FileRecord("x.lnk", 0x20, "x")})})});
  ASSERT_TRUE(RestoreFileTree(record));
  EXPECT_EQ(Text(ReadDeviceFile(u"\\Windows\\StartUp\\desktop.ini")), "[ini]");
  EXPECT_EQ(Text(ReadDeviceFile(u"\\FlashDisk\\Startup_Restore\\app.lnk")), "new link");
  EXPECT_EQ(Text(ReadDeviceFile(u"\\FlashDisk\\Startup_Restore\\x.lnk")), "x");
  EXPECT_FALSE(Exists(u"\\FlashDisk\\Startup_Restore\\desktop.ini"));
  // Same-named files stay for the post-restore step; the rest goes.
  EXPECT_EQ(Text(ReadDeviceFile(u"\\Windows\\StartUp\\app.lnk")), "old link");
  EXPECT_FALSE(Exists(u"\\Windows\\StartUp\\x.lnk"));
  EXPECT_FALSE(Exists(u"\\Windows\\StartUp\\stale.lnk"));
}

TEST_F(FsNodesTest, StartupSubFolderFileIsSkippedWhenTheStagedFolderIsMissing) {
  Bytes record = FolderRecord(
      "\\", {FolderRecord("Windows", {FolderRecord("StartUp", {FolderRecord("Sub", {FileRecord("s.lnk", 0x20, "s")}),
                                                               FileRecord("after.lnk", 0x20, "a")})})});
  ASSERT_TRUE(RestoreFileTree(record));
  EXPECT_EQ(JobStatus, STATUS_OK);
  EXPECT_TRUE(Exists(u"\\Windows\\StartUp\\Sub"));
  EXPECT_FALSE(Exists(u"\\Windows\\StartUp\\Sub\\s.lnk"));
  EXPECT_FALSE(Exists(u"\\FlashDisk\\Startup_Restore\\Sub\\s.lnk"));
  EXPECT_EQ(Text(ReadDeviceFile(u"\\FlashDisk\\Startup_Restore\\after.lnk")), "a");
}

// ---- DeleteTree

TEST_F(FsNodesTest, DeleteTreeEmptiesNestedReadOnlyContentButKeepsTheFolder) {
  MakeFolder(u"\\T");
  MakeFolder(u"\\T\\a");
  MakeFolder(u"\\T\\a\\b");
  MakeFile(u"\\T\\a\\b\\ro", "x", FILE_ATTRIBUTE_READONLY);
  MakeFile(u"\\T\\f", "x", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
  DeleteTree(u"\\T");
  EXPECT_TRUE(Exists(u"\\T"));
  EXPECT_FALSE(Exists(u"\\T\\a"));
  EXPECT_FALSE(Exists(u"\\T\\f"));
  DeleteTree(u"\\Missing");  // nothing to do, no crash
}

TEST_F(FsNodesTest, DeleteExtraEntryAlwaysAnswersNonzero) {
  struct {
    LPCWSTR folder;
  } context = {u"\\"};
  MakeFile(u"\\x", "x");
  EXPECT_TRUE(DeleteExtraEntry(&context, u"x"));
  EXPECT_FALSE(Exists(u"\\x"));
  EXPECT_TRUE(DeleteExtraEntry(&context, u"does-not-exist"));
}

}  // namespace
