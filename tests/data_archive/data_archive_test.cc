// The data archive end to end on scratch devices: the jobs as `cedev job`
// runs them (restore wrapped in its fix-ups), a round trip over a reset,
// failures of whole jobs, and hostile archives.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>

#include "archive_device.h"
#include "faults.h"
#include "fixups.h"
#include "job_command.h"
#include "job_status.h"
#include "jobs.h"
#include "other_program.h"
#include "registry_test_util.h"
#include "wstr.h"

using namespace archive_test;

Bytes DecodeAll(const Bytes& coded) {
  Bytes file(1284, 0);
  file.insert(file.end(), coded.begin(), coded.end());
  return NodeStream(file);
}

namespace {

int Job(std::vector<std::string> args) {
  testing::internal::CaptureStdout();
  int rc = RunJobCommand(args);
  testing::internal::GetCapturedStdout();
  return rc;
}

using DbDump = std::map<std::u16string, std::vector<Bytes>>;

// Every database with its records' raw buffers, offsets in place of addresses.
DbDump DumpDatabases() {
  DbDump dump;
  HANDLE databases = CeFindFirstDatabase(0);
  if (databases == INVALID_HANDLE_VALUE) return dump;
  for (CEOID oid; (oid = CeFindNextDatabase(databases)) != 0;) {
    CEOIDINFO info;
    if (!CeOidGetInfo(oid, &info)) continue;
    std::u16string name = info.infDatabase.szDbaseName;
    auto& records = dump[name];
    CEOID open = oid;
    HANDLE db = CeOpenDatabase(&open, nullptr, 0, CEDB_AUTOINCREMENT, nullptr);
    for (;;) {
      WORD count = 0;
      LPBYTE buffer = nullptr;
      DWORD size = 0;
      if (!CeReadRecordProps(db, CEDB_ALLOWREALLOC, &count, nullptr, &buffer, &size)) break;
      MDatabaseNode::PointersToOffsets(buffer, count);
      records.emplace_back(buffer, buffer + size);
      LocalFree(buffer);
    }
    CloseHandle(db);
  }
  CloseHandle(databases);
  return dump;
}

// Names the entries in which two dumps differ.
std::string TreeDiff(const std::map<std::u16string, EntryInfo>& a, const std::map<std::u16string, EntryInfo>& b) {
  std::string out;
  for (const auto& [path, info] : a)
    if (!b.count(path) || !(b.at(path) == info)) out += " " + cedev::ToUtf8(path);
  for (const auto& [path, info] : b)
    if (!a.count(path)) out += " +" + cedev::ToUtf8(path);
  return out;
}

std::map<std::u16string, EntryInfo> DumpStore() {
  std::map<std::u16string, EntryInfo> tree;
  DumpTree(u"\\", &tree);
  return tree;
}

class DataArchiveTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FactoryContent();
    UserContent();
  }
  void TearDown() override { cedev::ClearFaults(); }
  cedev::ScratchDevice dev_{cedev::FastDevice()};
};

TEST_F(DataArchiveTest, EveryDataArchiveStartsWithTheRootThenTheRootFolder) {
  ASSERT_EQ(Job({"backup"}), 0);
  Bytes file = ArchiveFile();
  ASSERT_GT(file.size(), 1284u);
  EXPECT_EQ(Bytes(file.begin(), file.begin() + 4), (Bytes{0x02, 0x00, 0x01, 0x00}));
  Bytes stream = NodeStream(file);
  Bytes start = {0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x01, 0x00, 0x00, 0x5C};
  ASSERT_GE(stream.size(), start.size());
  EXPECT_EQ(Bytes(stream.begin(), stream.begin() + start.size()), start);
  EXPECT_EQ(Bytes(stream.end() - 4, stream.end()), (Bytes{0xFF, 0xFF, 0xFF, 0xFF}));
  EXPECT_FALSE(Exists(u"\\FlashDisk\\Backup\\Backup.$$$"));
}

TEST_F(DataArchiveTest, RoundTripOverAFullResetDiffersOnlyByWhatTheSuccessStepsAdd) {
  auto files0 = DumpStore();
  RegDump registry0 = DumpRegistry();
  DbDump databases0 = DumpDatabases();
  ASSERT_EQ(Job({"backup", "--password", "secret"}), 0);
  Bytes archive1 = ArchiveFile();

  FullReset();
  ASSERT_NE(DumpStore(), files0);
  ASSERT_EQ(Job({"restore", "--password", "wrong"}), 1);
  EXPECT_FALSE(Exists(u"\\My Documents"));
  ASSERT_EQ(Job({"restore", "--password", "secret"}), 0);

  // What the success steps add, and the table's file that stays out.
  auto expectedFiles = files0;
  expectedFiles.erase(u"\\pim.vol");
  auto files1 = DumpStore();
  files1.erase(u"\\FlashDisk\\Backup");
  files1.erase(u"\\FlashDisk\\Backup\\Backup.dat");
  for (LPCWSTR marker : kRestartMarkerFiles) {
    ASSERT_TRUE(files1.count(marker)) << cedev::ToUtf8(marker);
    EXPECT_TRUE(files1[marker].data.empty());
    EXPECT_TRUE(files1[marker].attributes & FILE_ATTRIBUTE_HIDDEN);
    files1.erase(marker);
  }
  EXPECT_EQ(TreeDiff(files1, expectedFiles), "");
  RegDump registry1 = DumpRegistry();
  RegDump expectedRegistry = registry0;
  expectedRegistry.keys[u"HKLM\\Drivers"] = u"";
  expectedRegistry.keys[u"HKLM\\Drivers\\BuiltIn"] = u"";
  expectedRegistry.keys[u"HKLM\\Drivers\\BuiltIn\\Imager"] = u"";
  expectedRegistry.values[u"HKLM\\Drivers\\BuiltIn\\Imager|Prefix"] = {REG_SZ, Utf16z(u"SCN")};
  expectedRegistry.values[u"HKLM\\Drivers\\BuiltIn\\Imager|Dll"] = {REG_SZ, Utf16z(u"HHPScanDriver.dll")};
  expectedRegistry.values[u"HKLM\\Drivers\\BuiltIn\\Imager|Order"] = {REG_DWORD, {50, 0, 0, 0}};
  expectedRegistry.values[u"HKLM\\Drivers\\BuiltIn\\Imager|Index"] = {REG_DWORD, {1, 0, 0, 0}};
  expectedRegistry.values[u"HKLM\\init|Launch80"] = {REG_SZ, Utf16z(u"ModelSetup.exe")};
  expectedRegistry.values[u"HKLM\\init|Depend80"] = {REG_BINARY, {0x32, 0x00}};
  EXPECT_EQ(registry1.keys, expectedRegistry.keys);
  EXPECT_EQ(registry1.values, expectedRegistry.values);
  EXPECT_EQ(DumpDatabases(), databases0);
  EXPECT_FALSE(Exists(u"\\FlashDisk\\Startup_Restore"));

  // Backed up again, reset and restored once more: the same node stream.
  ASSERT_EQ(Job({"backup", "--password", "secret"}), 0);
  Bytes stream2 = NodeStream(ArchiveFile());
  FullReset();
  ASSERT_EQ(Job({"restore", "--password", "secret"}), 0);
  ASSERT_EQ(Job({"backup", "--password", "secret"}), 0);
  Bytes stream3 = NodeStream(ArchiveFile());
  EXPECT_EQ(stream3.size(), stream2.size());
  EXPECT_TRUE(WithoutMarkerTimes(stream3) == WithoutMarkerTimes(stream2));
  EXPECT_NE(NodeStream(archive1), stream2);  // the markers and the imager entries are new
}

TEST_F(DataArchiveTest, FullVolumeFailsTheBackupAndKeepsTheOldArchive) {
  ASSERT_EQ(Job({"backup"}), 0);
  Bytes old = ArchiveFile();
  File(u"\\My Documents\\more.bin", Pattern(200000, 9));
  ASSERT_TRUE(cedev::AddFault("volume.full", u"\\FlashDisk\\Backup\\Backup.$$$", ERROR_DISK_FULL));
  testing::internal::CaptureStdout();
  EXPECT_EQ(RunJobCommand({"backup"}), 1);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "STATUS_WRITE_FAILED (0x1003)\n");
  EXPECT_EQ(ArchiveFile(), old);
  EXPECT_FALSE(Exists(u"\\FlashDisk\\Backup\\Backup.$$$"));
}

// ---- Replacing the archive

const char16_t kDat[] = u"\\FlashDisk\\Backup\\Backup.dat";
const char16_t kTemp[] = u"\\FlashDisk\\Backup\\Backup.$$$";

std::string JobOutput(std::vector<std::string> args) {
  testing::internal::CaptureStdout();
  RunJobCommand(args);
  return testing::internal::GetCapturedStdout();
}

// Whether `file` is a whole archive: header, and a node stream that ends
// with the root's end marker.
bool IsCompleteArchive(const Bytes& file) {
  Bytes stream = NodeStream(file);
  return file.size() > 1284 && stream.size() > 14 && Bytes(stream.end() - 8, stream.end()) == Bytes(8, 0xFF);
}

// A backup that dies at any step of putting the new archive in place leaves
// a whole Backup.dat, the old one or the new one: never none.
TEST_F(DataArchiveTest, BackupKilledAtTheReplacementLeavesACompleteArchive) {
  ASSERT_EQ(Job({"backup"}), 0);
  Bytes old = ArchiveFile();
  File(u"\\My Documents\\newer.txt", Bytes(5000, 'n'));
  // Where the old archive is deleted, and where the new one leaves its temporary name.
  for (const char16_t* step : {kDat, kTemp}) {
    SCOPED_TRACE(cedev::ToUtf8(step));
    ASSERT_TRUE(cedev::AddFault("file.delete", step, cedev::kFaultEndsProgram, 1));
    EXPECT_EQ(cedev::RunAsOtherProgram([] { return RunJobCommand({"backup"}); }), -1) << "not killed";
    cedev::ClearFaults();
    Bytes now = ArchiveFile();
    ASSERT_TRUE(IsCompleteArchive(now)) << "no whole Backup.dat left";
    EXPECT_EQ(now, old);
    EXPECT_TRUE(IsCompleteArchive(ReadDeviceFile(kTemp).value_or(Bytes{})));
  }
  ASSERT_EQ(Job({"backup"}), 0);
  EXPECT_NE(ArchiveFile(), old);
  EXPECT_FALSE(Exists(kTemp));
}

TEST_F(DataArchiveTest, FailedReplacementKeepsBothArchivesAndSaysSo) {
  ASSERT_EQ(Job({"backup"}), 0);
  Bytes old = ArchiveFile();
  File(u"\\My Documents\\newer.txt", Bytes(5000, 'n'));
  ASSERT_TRUE(cedev::AddFault("file.replace", kDat, ERROR_WRITE_FAULT, 1));
  EXPECT_EQ(JobOutput({"backup"}), "STATUS_WRITE_FAILED (0x1003)\n");
  EXPECT_EQ(ArchiveFile(), old);
  Bytes fresh = ReadDeviceFile(kTemp).value_or(Bytes{});
  ASSERT_TRUE(IsCompleteArchive(fresh));
  EXPECT_NE(fresh, old);
}

TEST_F(DataArchiveTest, DeviceWithoutTheOneStepReplacementDeletesThenMoves) {
  ASSERT_EQ(Job({"backup"}), 0);
  Bytes old = ArchiveFile();
  File(u"\\My Documents\\newer.txt", Bytes(5000, 'n'));
  for (DWORD refusal : {DWORD(ERROR_NOT_SUPPORTED), DWORD(ERROR_CALL_NOT_IMPLEMENTED)}) {
    ASSERT_TRUE(cedev::AddFault("file.replace", kDat, refusal, 1));
    EXPECT_EQ(JobOutput({"backup"}), "STATUS_OK (0x3000)\n") << refusal;
    EXPECT_TRUE(IsCompleteArchive(ArchiveFile()));
    EXPECT_NE(ArchiveFile(), old);
    EXPECT_FALSE(Exists(kTemp));
  }
}

// A location in the object store: the walk meets the archive's own folder.
TEST_F(DataArchiveTest, BackupToAnObjectStoreFolderLeavesItsOwnArchiveOut) {
  Folder(u"\\Temp");
  File(u"\\Temp\\keep.txt", Bytes{'k'});
  for (int round = 0; round < 2; ++round) {
    EXPECT_EQ(JobOutput({"backup", "--location", "Temp"}), "STATUS_OK (0x3000)\n") << round;
  }
  Bytes file = ReadDeviceFile(u"\\Temp\\Backup\\Backup.dat").value_or(Bytes{});
  ASSERT_TRUE(IsCompleteArchive(file));
  Bytes stream = NodeStream(file);
  for (const char* own : {"Backup.dat", "Backup.$$$"}) {
    Bytes name = CountedName(cedev::FromUtf8(own));
    EXPECT_EQ(std::search(stream.begin(), stream.end(), name.begin(), name.end()), stream.end()) << own;
  }
  Bytes kept = CountedName(u"keep.txt");
  EXPECT_NE(std::search(stream.begin(), stream.end(), kept.begin(), kept.end()), stream.end());
  // Files of that name elsewhere are ordinary files.
  File(u"\\My Documents\\Backup.dat", Bytes{'u'});
  ASSERT_EQ(Job({"backup", "--location", "Temp"}), 0);
  stream = NodeStream(ReadDeviceFile(u"\\Temp\\Backup\\Backup.dat").value_or(Bytes{}));
  Bytes dat = CountedName(u"Backup.dat");
  EXPECT_NE(std::search(stream.begin(), stream.end(), dat.begin(), dat.end()), stream.end());
}

// A restore from such a location mirrors its folders, but not the archives
// there: a new archive left as "Backup.$$$" by a failed replacement survives.
TEST_F(DataArchiveTest, RestoreFromAnObjectStoreFolderKeepsTheArchivesBesideIt) {
  Folder(u"\\Temp");
  File(u"\\Temp\\keep.txt", Bytes{'k'});
  ASSERT_EQ(Job({"backup", "--location", "Temp"}), 0);
  Bytes leftover = ReadDeviceFile(u"\\Temp\\Backup\\Backup.dat").value_or(Bytes{});
  File(u"\\Temp\\Backup\\Backup.$$$", leftover);
  File(u"\\Temp\\Backup\\other.txt", Bytes{'o'});
  EXPECT_EQ(JobOutput({"restore", "--location", "Temp"}), "STATUS_OK (0x3000)\n");
  EXPECT_EQ(ReadDeviceFile(u"\\Temp\\Backup\\Backup.$$$").value_or(Bytes{}), leftover);
  EXPECT_TRUE(Exists(u"\\Temp\\Backup\\Backup.dat"));
  EXPECT_TRUE(Exists(u"\\Temp\\keep.txt"));
  // Anything else there is mirrored like any folder.
  EXPECT_FALSE(Exists(u"\\Temp\\Backup\\other.txt"));
}

TEST_F(DataArchiveTest, FileThatCannotBeReadKeepsItsOwnStatusThroughTheJob) {
  ASSERT_EQ(Job({"backup"}), 0);
  Bytes old = ArchiveFile();
  HANDLE holder = CreateFileW(u"\\My Documents\\letter.txt", GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  BoxRecorder boxes;
  testing::internal::CaptureStdout();
  EXPECT_EQ(RunJobCommand({"backup"}), 1);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "STATUS_SOURCE_READ_FAILED (0x1004)\n");
  CloseHandle(holder);
  EXPECT_EQ(ArchiveFile(), old);
  ASSERT_FALSE(boxes.boxes.empty());
  EXPECT_EQ(boxes.boxes[0].caption, u"File.OpenForRead");
  EXPECT_EQ(boxes.boxes[0].text, u"\\My Documents\\letter.txt");
}

TEST_F(DataArchiveTest, RegistryRestoreTouchesNoFile) {
  ASSERT_EQ(Job({"registry-backup"}), 0);
  File(u"\\My Documents\\new.txt", Bytes{'n'});
  ASSERT_TRUE(CreateDirectoryW(u"\\FlashDisk\\Startup_Restore", nullptr));
  ASSERT_EQ(Job({"registry-restore"}), 0);
  EXPECT_TRUE(Exists(u"\\My Documents\\new.txt"));
  EXPECT_TRUE(Exists(u"\\FlashDisk\\Startup_Restore"));
  EXPECT_TRUE(Exists(kRestartMarkerFiles[0]));
}

// ---- Hostile archives

class HostileDataArchiveTest : public DataArchiveTest {
 protected:
  void SetUp() override {
    DataArchiveTest::SetUp();
    ASSERT_EQ(Job({"backup"}), 0);
    coded_ = ArchiveFile();
    coded_.erase(coded_.begin(), coded_.begin() + 1284);
    // A folder beside the device that nothing may touch.
    outside_ = dev_.dir().parent_path() / (dev_.dir().filename().string() + "-outside");
    std::filesystem::create_directories(outside_);
    std::ofstream(outside_ / "victim.txt") << "victim";
  }
  void TearDown() override {
    std::filesystem::remove_all(outside_);
    DataArchiveTest::TearDown();
  }
  // Restores a damaged node stream; a failure must say why, a success must not.
  void RestoreDamaged(const Bytes& coded, const std::string& what) {
    ResetJobStatus(JOB_OPERATION_RESTORE);
    MMemoryStream in(coded.data(), DWORD(coded.size()));
    BOOL ok = RestoreNodeTree(&in);
    if (ok)
      EXPECT_EQ(JobStatus, STATUS_OK) << what;
    else
      EXPECT_NE(JobStatus, STATUS_OK) << what;
  }
  void ExpectOutsideUntouched() {
    size_t entries = 0;
    for (auto& e : std::filesystem::recursive_directory_iterator(outside_)) {
      (void)e;
      ++entries;
    }
    EXPECT_EQ(entries, 1u);
    std::ifstream in(outside_ / "victim.txt");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text, "victim");
  }
  Bytes coded_;
  std::filesystem::path outside_;
};

TEST_F(HostileDataArchiveTest, CutAtEvery97thByteFailsCleanly) {
  for (size_t cut = 0; cut < coded_.size(); cut += 97) {
    Bytes part(coded_.begin(), coded_.begin() + cut);
    ResetJobStatus(JOB_OPERATION_RESTORE);
    MMemoryStream in(part.data(), DWORD(part.size()));
    EXPECT_FALSE(RestoreNodeTree(&in)) << cut;
    EXPECT_EQ(JobStatus, STATUS_ARCHIVE_READ_FAILED) << cut;
  }
  ExpectOutsideUntouched();
}

TEST_F(HostileDataArchiveTest, RandomByteFlipsNeverEscapeTheDevice) {
  for (uint32_t seed = 1; seed <= 40; ++seed) {
    std::mt19937 random(seed);
    Bytes damaged = coded_;
    int flips = 1 + int(random() % 8);
    for (int i = 0; i < flips; ++i) damaged[random() % damaged.size()] ^= uint8_t(1 + random() % 255);
    RestoreDamaged(damaged, "seed " + std::to_string(seed));
  }
  ExpectOutsideUntouched();
}

TEST_F(HostileDataArchiveTest, NamesReachingOutsideAreRefused) {
  Bytes stream = {1, 0, 0, 0, 0, 0, 0x00, 0x01, 0x00, 0x00, 0x01, 0x00, 0x00, 0x5C};
  std::string escape = "..\\..\\" + dev_.dir().filename().string() + "-outside\\victim.txt";
  Bytes file = {0x01, 0x01, 0x00, 0x00, uint8_t(escape.size()), 0};
  file.insert(file.end(), escape.size(), 0);
  file.insert(file.end(), escape.begin(), escape.end());
  for (int i = 0; i < 7; ++i) file.insert(file.end(), {0, 0, 0, 0});
  file.insert(file.end(), {4, 0, 0, 0, 'e', 'v', 'i', 'l'});
  stream.insert(stream.end(), file.begin(), file.end());
  stream.insert(stream.end(), {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF});
  MMemoryStream plain(stream.data(), DWORD(stream.size()));
  MMemoryStream coded;
  MRleStream rle(&coded);
  LONG done = 0;
  ASSERT_TRUE(rle.Write(stream.data(), LONG(stream.size()), &done));
  ASSERT_TRUE(rle.Flush());
  ResetJobStatus(JOB_OPERATION_RESTORE);
  MMemoryStream in(coded.Data(), coded.Size());
  EXPECT_FALSE(RestoreNodeTree(&in));
  EXPECT_EQ(JobStatus, STATUS_ARCHIVE_READ_FAILED);
  ExpectOutsideUntouched();
  EXPECT_TRUE(Exists(u"\\My Documents\\letter.txt"));  // refused before the mirror pass
}

}  // namespace
