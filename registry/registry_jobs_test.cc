// The registry backup and restore jobs on a scratch device: the archive
// file, its header, the password, the platform check and what failures
// leave behind.
#include <gtest/gtest.h>

#include <algorithm>

#include "device_control.h"
#include "password.h"
#include "reg_nodes.h"
#include "registry_test_util.h"
#include "rle_stream.h"
#include "scratch_device.h"

namespace {

using namespace archive;

const char16_t kDat[] = u"\\FlashDisk\\Backup\\Registory.dat";
const char16_t kTmp[] = u"\\FlashDisk\\Backup\\Registory.$$$";
const char16_t kDataDat[] = u"\\FlashDisk\\Backup\\Backup.dat";

BOOL FlashDisk(LPWSTR location) {
  const char16_t name[] = u"FlashDisk";
  for (size_t i = 0; i < sizeof name / 2; ++i) location[i] = name[i];
  return TRUE;
}

BOOL NoLocation(LPWSTR) { return FALSE; }

Bytes ReadFileBytes(const char16_t* path) {
  HANDLE h = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return {};
  Bytes out;
  uint8_t buf[4096];
  DWORD got = 0;
  while (ReadFile(h, buf, sizeof buf, &got, nullptr) && got) out.insert(out.end(), buf, buf + got);
  CloseHandle(h);
  return out;
}

bool WriteFileBytes(const char16_t* path, const Bytes& bytes) {
  HANDLE h = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  DWORD put = 0;
  bool ok = WriteFile(h, bytes.data(), DWORD(bytes.size()), &put, nullptr) && put == bytes.size();
  return CloseHandle(h) && ok;
}

bool Exists(const char16_t* path) { return GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES; }

cedev::DeviceSettings WithFlashQuota(uint64_t flashQuota) {
  cedev::DeviceSettings s = cedev::FastDevice();
  s.volumes[0].quota = flashQuota;
  return s;
}

class RegistryJobTest : public ::testing::Test {
 protected:
  explicit RegistryJobTest(uint64_t flashQuota = 64ull << 20) : dev_(WithFlashQuota(flashQuota)) {}
  void SetUp() override {
    InitRegistryNodes();
    SetBackupLocationSource(FlashDisk);
    ASSERT_TRUE(SetValue(HKEY_LOCAL_MACHINE, u"Platform", u"Name", REG_SZ, Sz(u"Tovak")));
    ASSERT_TRUE(SetValue(HKEY_CURRENT_USER, u"Settings", u"Volume", REG_DWORD, Dword(3)));
    ASSERT_TRUE(SetValue(HKEY_LOCAL_MACHINE, u"Software\\Apps", u"Name", REG_SZ, Sz(u"app")));
  }
  void TearDown() override { SetBackupLocationSource(nullptr); }

  DWORD Backup(const std::u16string& password = u"") {
    BYTE block[kPasswordBlockBytes];
    MPwdEncryption(password.c_str(), block);
    ResetJobStatus(JOB_OPERATION_BACKUP);
    return RunRegistryBackup(block);
  }
  DWORD Restore(const std::u16string& password = u"", bool registryOnly = true) {
    ResetJobStatus(JOB_OPERATION_RESTORE);
    return registryOnly ? RunRegistryRestore(password.c_str()) : RunDataRestore(password.c_str());
  }

  cedev::ScratchDevice dev_;
};

TEST_F(RegistryJobTest, HeaderLayoutAtExactOffsets) {
  ASSERT_EQ(Backup(u"pw"), 1u);
  EXPECT_EQ(JobStatus, STATUS_OK);
  Bytes file = ReadFileBytes(kDat);
  ASSERT_GT(file.size(), kNodeStreamOffset);
  EXPECT_EQ(Bytes(file.begin(), file.begin() + 4), (Bytes{0x02, 0x00, 0x01, 0x00}));
  Bytes name = Sz(u"Tovak");
  EXPECT_EQ(Bytes(file.begin() + 4, file.begin() + 4 + name.size()), name);
  EXPECT_EQ(Bytes(file.begin() + 4 + name.size(), file.begin() + 256), Bytes(256 - 4 - name.size(), 0));
  EXPECT_TRUE(MPwdAuthentication(file.data() + kPasswordBlockOffset, u"pw"));
  EXPECT_FALSE(MPwdAuthentication(file.data() + kPasswordBlockOffset, u"PW"));
  EXPECT_EQ(file[1282], 0);
  EXPECT_EQ(file[1283], 0);
  Bytes stream = DecodeAll(Bytes(file.begin() + kNodeStreamOffset, file.end()));
  Bytes start{1, 0, 0, 0, 0, 0, 0x00, 0x02, 0x00, 0x00, 0x11, 0x00};
  ASSERT_GT(stream.size(), start.size());
  EXPECT_EQ(Bytes(stream.begin(), stream.begin() + start.size()), start);
  EXPECT_EQ(Bytes(stream.end() - 4, stream.end()), (Bytes{0xFF, 0xFF, 0xFF, 0xFF}));
  EXPECT_FALSE(Exists(kTmp)) << "only the .dat remains";
}

TEST_F(RegistryJobTest, BackupWithoutLocationFails) {
  SetBackupLocationSource(NoLocation);
  EXPECT_EQ(Backup(), 0u);
  EXPECT_EQ(JobStatus, STATUS_WRITE_FAILED);
  EXPECT_EQ(Restore(), 0u);
  EXPECT_EQ(JobStatus, STATUS_ARCHIVE_READ_FAILED);
}

TEST_F(RegistryJobTest, RoundTripWithPassword) {
  ASSERT_EQ(Backup(u"secret"), 1u);
  RegDump before = DumpRegistry();
  ASSERT_TRUE(SetValue(HKEY_CURRENT_USER, u"Settings", u"Volume", REG_DWORD, Dword(9)));
  ASSERT_EQ(RegDeleteKeyW(HKEY_LOCAL_MACHINE, u"Software\\Apps"), ERROR_SUCCESS);
  ASSERT_EQ(Restore(u"secret"), 1u);
  EXPECT_EQ(JobStatus, STATUS_OK);
  EXPECT_EQ(DumpRegistry(), before);
}

TEST_F(RegistryJobTest, WrongPasswordChangesNothing) {
  ASSERT_EQ(Backup(u"secret"), 1u);
  ASSERT_TRUE(SetValue(HKEY_CURRENT_USER, u"Settings", u"Volume", REG_DWORD, Dword(9)));
  RegDump changed = DumpRegistry();
  for (const char16_t* wrong : {u"", u"Secret", u"secre", u"secrets"}) {
    EXPECT_EQ(Restore(wrong), 0u);
    EXPECT_EQ(JobStatus, STATUS_BAD_PASSWORD);
    EXPECT_EQ(DumpRegistry(), changed);
  }
}

TEST_F(RegistryJobTest, EmptyPasswordArchiveRefusesAGivenPassword) {
  ASSERT_EQ(Backup(), 1u);
  EXPECT_EQ(Restore(u"x"), 0u);
  EXPECT_EQ(JobStatus, STATUS_BAD_PASSWORD);
  EXPECT_EQ(Restore(), 1u);
}

TEST_F(RegistryJobTest, PlatformCheckBothWays) {
  ASSERT_EQ(RegDeleteKeyW(HKEY_LOCAL_MACHINE, u"Platform"), ERROR_SUCCESS);
  ASSERT_EQ(Backup(), 1u);
  Bytes file = ReadFileBytes(kDat);
  EXPECT_EQ(Bytes(file.begin() + 4, file.begin() + 256), Bytes(252, 0));
  EXPECT_EQ(Restore(), 1u) << "no name here either";
  ASSERT_TRUE(SetValue(HKEY_LOCAL_MACHINE, u"Platform", u"Name", REG_SZ, Sz(u"Tovak")));
  RegDump before = DumpRegistry();
  EXPECT_EQ(Restore(), 0u) << "an archive without a name on a device with one";
  EXPECT_EQ(JobStatus, STATUS_ARCHIVE_READ_FAILED);
  EXPECT_EQ(DumpRegistry(), before);

  ASSERT_EQ(Backup(), 1u);
  ASSERT_TRUE(SetValue(HKEY_LOCAL_MACHINE, u"Platform", u"Name", REG_SZ, Sz(u"tovak")));
  EXPECT_EQ(Restore(), 0u) << "names compare with case";
  EXPECT_EQ(JobStatus, STATUS_ARCHIVE_READ_FAILED);
  ASSERT_TRUE(SetValue(HKEY_LOCAL_MACHINE, u"Platform", u"Name", REG_DWORD, Dword(1)));
  EXPECT_EQ(Restore(), 1u) << "a device name that is not text accepts any archive";
}

TEST_F(RegistryJobTest, APlatformNameLongerThanTheHeaderFieldAcceptsNoArchive) {
  ASSERT_EQ(Backup(), 1u);  // made on "Tovak"
  Bytes foreign = ReadFileBytes(kDat);
  ASSERT_TRUE(SetValue(HKEY_LOCAL_MACHINE, u"Platform", u"Name", REG_SZ, Sz(std::u16string(200, u'T'))));
  EXPECT_EQ(Restore(), 0u);
  EXPECT_EQ(JobStatus, STATUS_ARCHIVE_READ_FAILED);
  // Nor does a field holding as much of the name as fits, with or without a terminator.
  for (size_t units : {125u, 126u}) {
    Bytes file = foreign;
    std::fill(file.begin() + 4, file.begin() + 256, 0);
    for (size_t i = 0; i < units; ++i) file[4 + 2 * i] = 'T';
    ASSERT_TRUE(WriteFileBytes(kDat, file));
    EXPECT_EQ(Restore(), 0u) << units;
    EXPECT_EQ(JobStatus, STATUS_ARCHIVE_READ_FAILED) << units;
  }
  // The device's own backups cannot carry the name either.
  ASSERT_EQ(Backup(), 1u);
  Bytes own = ReadFileBytes(kDat);
  EXPECT_EQ(Bytes(own.begin() + 4, own.begin() + 256), Bytes(252, 0));
  EXPECT_EQ(Restore(), 0u);
  // 125 units and the terminator fill the field exactly, and match.
  ASSERT_TRUE(SetValue(HKEY_LOCAL_MACHINE, u"Platform", u"Name", REG_SZ, Sz(std::u16string(125, u'T'))));
  ASSERT_EQ(Backup(), 1u);
  EXPECT_EQ(Restore(), 1u);
}

// Counted string: the unit count, every unit's high byte, every low byte.
Bytes Counted(const std::u16string& text) {
  Bytes b = {uint8_t(text.size()), uint8_t(text.size() >> 8)};
  for (char16_t c : text) b.push_back(uint8_t(c >> 8));
  for (char16_t c : text) b.push_back(uint8_t(c));
  return b;
}

Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

Bytes ValueRecord(const std::u16string& name, DWORD type, const Bytes& data) {
  return Dword(kNodeRegValue) + Counted(name) + Dword(type) + Dword(DWORD(data.size())) + data;
}

Bytes KeyRecord(const std::u16string& name, const std::vector<Bytes>& children) {
  Bytes record = Dword(kNodeRegKey) + Counted(name) + Counted(u"");
  for (const Bytes& child : children) record = record + child;
  return record + Dword(0xFFFFFFFF);
}

// The archive file with `records` put first among the children of `root`.
Bytes WithRecordsUnderRoot(const Bytes& file, const std::u16string& root, const Bytes& records) {
  Bytes stream = DecodeAll(Bytes(file.begin() + kNodeStreamOffset, file.end()));
  Bytes header = Dword(kNodeRegRoot) + Counted(root) + Counted(u"");
  auto at = std::search(stream.begin(), stream.end(), header.begin(), header.end());
  if (at == stream.end()) return {};
  stream.insert(at + header.size(), records.begin(), records.end());
  MMemoryStream coded;
  MRleStream rle(&coded);
  LONG done = 0;
  if (!rle.Write(stream.data(), LONG(stream.size()), &done) || !rle.Flush()) return {};
  return Bytes(file.begin(), file.begin() + kNodeStreamOffset) + Bytes(coded.Data(), coded.Data() + coded.Size());
}

// Only the backup leaves the device's identity and its touch calibration
// out: a restore writes whatever keys and values its archive holds.
TEST_F(RegistryJobTest, ArchiveHoldingThePlatformKeyAndCalibrationRestoresWhole) {
  ASSERT_EQ(Backup(), 1u);
  Bytes added = KeyRecord(u"Platform", {ValueRecord(u"Name", REG_SZ, Sz(u"Tovak")),
                                        ValueRecord(u"Model", REG_SZ, Sz(u"HT-660"))}) +
                KeyRecord(u"Touch", {ValueRecord(u"CalibrationData", REG_SZ, Sz(u"1,2 3,4"))});
  Bytes edited = WithRecordsUnderRoot(ReadFileBytes(kDat), u"HKEY_LOCAL_MACHINE", added);
  ASSERT_FALSE(edited.empty());
  ASSERT_TRUE(WriteFileBytes(kDat, edited));
  ASSERT_TRUE(SetValue(HKEY_CURRENT_USER, u"Settings", u"Volume", REG_DWORD, Dword(9)));
  ASSERT_EQ(RegDeleteKeyW(HKEY_LOCAL_MACHINE, u"Software\\Apps"), ERROR_SUCCESS);
  ASSERT_TRUE(SetValue(HKEY_LOCAL_MACHINE, u"Platform", u"Stale", REG_DWORD, Dword(1)));

  ASSERT_EQ(Restore(), 1u);
  EXPECT_EQ(JobStatus, STATUS_OK);
  RegValue v;
  ASSERT_TRUE(GetValue(HKEY_CURRENT_USER, u"Settings", u"Volume", &v));
  EXPECT_EQ(v.data, Dword(3));
  ASSERT_TRUE(GetValue(HKEY_LOCAL_MACHINE, u"Software\\Apps", u"Name", &v)) << "restored after the Platform key";
  EXPECT_EQ(v.data, Sz(u"app"));
  ASSERT_TRUE(GetValue(HKEY_LOCAL_MACHINE, u"Platform", u"Model", &v));
  EXPECT_EQ(v.data, Sz(u"HT-660"));
  EXPECT_FALSE(GetValue(HKEY_LOCAL_MACHINE, u"Platform", u"Stale", &v)) << "the key mirrors the archive";
  ASSERT_TRUE(GetValue(HKEY_LOCAL_MACHINE, u"Touch", u"CalibrationData", &v));
  EXPECT_EQ(v.data, Sz(u"1,2 3,4"));
}

// An archive of the old layout: version, platform name, node stream.
Bytes OldLayout(const Bytes& current) {
  Bytes old{0x01, 0x00, 0x01, 0x00};
  old.insert(old.end(), current.begin() + 4, current.begin() + 256);
  old.insert(old.end(), current.begin() + kNodeStreamOffset, current.end());
  return old;
}

TEST_F(RegistryJobTest, OldVersionOnlyForTheDataRestore) {
  ASSERT_EQ(Backup(u"pw"), 1u);
  Bytes old = OldLayout(ReadFileBytes(kDat));
  ASSERT_TRUE(WriteFileBytes(kDat, old));
  ASSERT_TRUE(WriteFileBytes(kDataDat, old));
  ASSERT_TRUE(SetValue(HKEY_CURRENT_USER, u"Settings", u"Volume", REG_DWORD, Dword(9)));
  EXPECT_EQ(Restore(u"pw"), 0u);
  EXPECT_EQ(JobStatus, STATUS_ARCHIVE_READ_FAILED);
  EXPECT_EQ(Restore(u"any password", false), 1u) << "no password check in the old layout";
  RegValue v;
  ASSERT_TRUE(GetValue(HKEY_CURRENT_USER, u"Settings", u"Volume", &v));
  EXPECT_EQ(v.data, Dword(3));
}

TEST_F(RegistryJobTest, UnknownVersionsAreRefused) {
  ASSERT_EQ(Backup(), 1u);
  Bytes file = ReadFileBytes(kDat);
  for (uint8_t low : {0x00, 0x03}) {
    file[0] = low;
    ASSERT_TRUE(WriteFileBytes(kDat, file));
    EXPECT_EQ(Restore(), 0u);
    EXPECT_EQ(JobStatus, STATUS_ARCHIVE_READ_FAILED);
  }
  ASSERT_TRUE(WriteFileBytes(kDat, Bytes{0x02, 0x00}));
  EXPECT_EQ(Restore(), 0u);
  EXPECT_EQ(JobStatus, STATUS_ARCHIVE_READ_FAILED);
  ASSERT_TRUE(WriteFileBytes(kDat, Bytes(1000, 0)));
  EXPECT_EQ(Restore(), 0u);
  EXPECT_EQ(JobStatus, STATUS_ARCHIVE_READ_FAILED);
}

TEST_F(RegistryJobTest, MissingArchiveFailsToRead) {
  EXPECT_EQ(Restore(), 0u);
  EXPECT_EQ(JobStatus, STATUS_ARCHIVE_READ_FAILED);
}

TEST_F(RegistryJobTest, FailedBackupKeepsTheOldArchiveAndLeavesNoTemporary) {
  ASSERT_EQ(Backup(), 1u);
  Bytes old = ReadFileBytes(kDat);
  ASSERT_TRUE(SetValue(HKEY_CURRENT_USER, u"Settings", u"Broken", REG_DWORD, Dword(1)));
  ASSERT_TRUE(cedev::AddFault("reg.query", u"HKEY_CURRENT_USER\\Settings\\Broken", ERROR_ACCESS_DENIED));
  EXPECT_EQ(Backup(), 0u);
  EXPECT_EQ(JobStatus, STATUS_SOURCE_READ_FAILED) << "the leaf's precise code wins over the job's";
  EXPECT_EQ(ReadFileBytes(kDat), old);
  EXPECT_FALSE(Exists(kTmp));
}

int Answer(LPCWSTR, LPCWSTR, UINT, void* answer) { return *static_cast<int*>(answer); }

TEST_F(RegistryJobTest, CancelAnsweredNoContinuesAndYesCancels) {
  int no = IDNO;
  CeSetMessageBoxAnswerer(Answer, &no);
  BYTE block[kPasswordBlockBytes];
  MPwdEncryption(u"", block);
  ResetJobStatus(JOB_OPERATION_BACKUP);
  CancelRequested = TRUE;
  EXPECT_EQ(RunRegistryBackup(block), 1u);
  EXPECT_EQ(JobStatus, STATUS_OK);
  Bytes old = ReadFileBytes(kDat);

  int yes = IDYES;
  CeSetMessageBoxAnswerer(Answer, &yes);
  ResetJobStatus(JOB_OPERATION_BACKUP);
  CancelRequested = TRUE;
  EXPECT_EQ(RunRegistryBackup(block), 0u);
  EXPECT_EQ(JobStatus, STATUS_CANCELLED);
  EXPECT_EQ(ReadFileBytes(kDat), old);
  EXPECT_FALSE(Exists(kTmp));

  ResetJobStatus(JOB_OPERATION_RESTORE);
  CancelRequested = TRUE;
  EXPECT_EQ(RunRegistryRestore(u""), 0u);
  EXPECT_EQ(JobStatus, STATUS_CANCELLED);
  CeSetMessageBoxAnswerer(nullptr, nullptr);
}

TEST_F(RegistryJobTest, FullVolumeFailsWithWriteFailed) {
  ASSERT_EQ(Backup(), 1u);
  Bytes old = ReadFileBytes(kDat);
  ASSERT_TRUE(cedev::AddFault("volume.full", u"\\FlashDisk\\*", ERROR_DISK_FULL));
  EXPECT_EQ(Backup(), 0u);
  EXPECT_EQ(JobStatus, STATUS_WRITE_FAILED);
  cedev::ClearFaults();
  EXPECT_EQ(ReadFileBytes(kDat), old);
  EXPECT_FALSE(Exists(kTmp));
}

// A volume with room for the header but not for the registry behind it.
class SmallVolumeJobTest : public RegistryJobTest {
 protected:
  SmallVolumeJobTest() : RegistryJobTest(3000) {}
};

TEST_F(SmallVolumeJobTest, VolumeFillingUpPastTheHeaderFails) {
  Bytes big(4000, 0);
  for (size_t i = 0; i < big.size(); ++i) big[i] = uint8_t(i * 37);
  ASSERT_TRUE(SetValue(HKEY_CURRENT_USER, u"Big", u"A", REG_BINARY, big));
  EXPECT_EQ(Backup(), 0u);
  EXPECT_EQ(JobStatus, STATUS_WRITE_FAILED);
  EXPECT_FALSE(Exists(kTmp));
  EXPECT_FALSE(Exists(kDat));
}

TEST_F(RegistryJobTest, BackupFolderIsCreatedWhenMissing) {
  EXPECT_FALSE(Exists(u"\\FlashDisk\\Backup"));
  ASSERT_EQ(Backup(), 1u);
  EXPECT_NE(GetFileAttributesW(u"\\FlashDisk\\Backup") & FILE_ATTRIBUTE_DIRECTORY, 0u);
}

}  // namespace
