// The round trip on the built-in sample device: backup, full reset,
// restore, backup again; then once more. Built when the device's sample
// image and resets are part of the tree.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <thread>

#if __has_include("sample_image.h") && __has_include("reset.h") && __has_include("factory.h")
#define TLV_HAVE_SAMPLE_DEVICE 1
#include "device_programs.h"
#include "factory.h"
#include "reset.h"
#include "sample_image.h"
#endif

#include "archive_device.h"
#include "fixups.h"
#include "job_command.h"

namespace {

#ifdef TLV_HAVE_SAMPLE_DEVICE

int Job(std::vector<std::string> args) {
  testing::internal::CaptureStdout();
  int rc = RunJobCommand(args);
  std::string out = testing::internal::GetCapturedStdout();
  if (rc != 0) ADD_FAILURE() << "cedev job " << args[0] << ": " << out;
  return rc;
}

class SampleDevice {
 public:
  SampleDevice() : dir_(std::filesystem::temp_directory_path() / ("tlv-sample-" + std::to_string(::getpid()))) {
    std::filesystem::remove_all(dir_);
    cedev::DeviceSettings settings = cedev::FastDevice(cedev::SampleSettings());
    std::string error;
    ok_ = cedev::Device::Create(dir_, settings, &error) && cedev::Device::Use(dir_) &&
          cedev::WriteDeviceImage(cedev::SampleImage(), &error) && cedev::SaveFactoryImage(&error);
    error_ = error;
  }
  ~SampleDevice() {
    // The start-up windows the full resets opened end with the device.
    cedev::EndAllDevicePrograms();
    cedev::Device::Use({});
    // The ended programs' watchers may still note their ends in the folder
    // for a moment: try again rather than throw from a destructor.
    std::error_code ec;
    for (int i = 0; i < 50 && (std::filesystem::remove_all(dir_, ec), ec); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }
  bool ok() const { return ok_; }
  const std::string& error() const { return error_; }

 private:
  std::filesystem::path dir_;
  bool ok_ = false;
  std::string error_;
};

Bytes BackupStream() {
  if (Job({"backup", "--location", "FlashDisk", "--password", "pw"}) != 0) return {};
  return archive_test::NodeStream(archive_test::ArchiveFile());
}

bool ResetAndRestore() {
  std::string error;
  if (!cedev::FullReset(&error)) {
    ADD_FAILURE() << "full reset: " << error;
    return false;
  }
  return Job({"restore", "--location", "FlashDisk", "--password", "pw"}) == 0;
}

TEST(SampleRoundTrip, StreamsDifferOnlyByTheFixUpsAndRepeatExactly) {
  SampleDevice device;
  ASSERT_TRUE(device.ok()) << device.error();
  Bytes first = BackupStream();
  ASSERT_FALSE(first.empty());
  ASSERT_TRUE(ResetAndRestore());
  Bytes second = BackupStream();
  ASSERT_FALSE(second.empty());
  for (LPCWSTR marker : kRestartMarkerFiles) EXPECT_TRUE(Exists(marker));
  EXPECT_GT(second.size(), first.size());  // the markers and the imager entries
  ASSERT_TRUE(ResetAndRestore());
  Bytes third = BackupStream();
  Bytes a = archive_test::WithoutMarkerTimes(second), b = archive_test::WithoutMarkerTimes(third);
  auto diff = std::mismatch(a.begin(), a.end(), b.begin(), b.end());
  size_t at = size_t(diff.first - a.begin());
  std::string around;
  for (size_t i = at > 48 ? at - 48 : 0; i < std::min(a.size(), at + 16); ++i)
    around += a[i] >= 0x20 && a[i] < 0x7F ? char(a[i]) : '.';
  EXPECT_TRUE(a == b) << "first difference at " << at << " of " << a.size() << "/" << b.size() << ": " << around;
}

// ---- What a restore may touch on the sample device

std::string JobOutput(std::vector<std::string> args) {
  testing::internal::CaptureStdout();
  RunJobCommand(args);
  return testing::internal::GetCapturedStdout();
}

Bytes Le32(DWORD v) { return {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)}; }

Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

Bytes FileRecord(const std::u16string& name, const std::string& content) {
  Bytes r = Le32(0x101) + archive_test::CountedName(name) + Le32(FILE_ATTRIBUTE_ARCHIVE);
  for (int i = 0; i < 6; ++i) r = r + Le32(0x01D00000);
  return r + Le32(DWORD(content.size())) + Bytes(content.begin(), content.end());
}

Bytes FolderRecord(const std::u16string& name, const std::vector<Bytes>& children) {
  Bytes r = Le32(0x100) + archive_test::CountedName(name);
  for (const Bytes& child : children) r = r + child;
  return r + Le32(0xFFFFFFFF);
}

// Rewrites Backup.dat with `records` first among the children of "\".
bool AddToArchiveRoot(const Bytes& records) {
  Bytes file = archive_test::ArchiveFile();
  Bytes stream = archive_test::NodeStream(file);
  const size_t kAfterRootFolderHeader = 6 + 8;  // root record header, then the header of "\"
  if (stream.size() < kAfterRootFolderHeader) return false;
  stream.insert(stream.begin() + kAfterRootFolderHeader, records.begin(), records.end());
  MMemoryStream coded;
  MRleStream rle(&coded);
  LONG done = 0;
  if (!rle.Write(stream.data(), LONG(stream.size()), &done) || !rle.Flush()) return false;
  Bytes rewritten(file.begin(), file.begin() + 1284);
  rewritten.insert(rewritten.end(), coded.Data(), coded.Data() + coded.Size());
  return WriteDeviceFile(u"\\FlashDisk\\Backup\\Backup.dat", rewritten);
}

// An archive made where "Storage Card", "FlashDisk" and "Release" were plain
// folders of the object store: here they are mounted storage, and the
// restore leaves them as they are.
TEST(SampleDeviceRestore, StorageNamedInTheArchiveIsReadPastAndTheRestoreGoesOn) {
  SampleDevice device;
  ASSERT_TRUE(device.ok()) << device.error();
  ASSERT_EQ(Job({"backup", "--location", "FlashDisk"}), 0);
  ASSERT_TRUE(AddToArchiveRoot(
      FolderRecord(u"Storage Card", {FileRecord(u"planted.txt", std::string(30000, 'p'))}) +
      FolderRecord(u"FlashDisk", {FolderRecord(u"CE", {FolderRecord(u"ARM", {FileRecord(u"Restore.exe", "#!cedev-program restore\n")})}),
                                  FileRecord(u"flash.txt", "f")}) +
      FolderRecord(u"Release", {FileRecord(u"release.txt", "tampered")})));
  Bytes notes = ReadDeviceFile(u"\\My Documents\\Personal\\notes.txt").value_or(Bytes{});
  ASSERT_TRUE(DeleteFileW(u"\\My Documents\\Personal\\notes.txt"));

  EXPECT_EQ(JobOutput({"restore", "--location", "FlashDisk"}), "STATUS_OK (0x3000)\n");
  EXPECT_TRUE(Exists(u"\\Storage Card\\DCIM\\IMG0001.bmp"));
  EXPECT_FALSE(Exists(u"\\Storage Card\\planted.txt"));
  EXPECT_TRUE(Exists(u"\\FlashDisk\\Documents\\manual.txt"));
  EXPECT_TRUE(Exists(u"\\FlashDisk\\Backup\\Backup.dat"));
  EXPECT_FALSE(Exists(u"\\FlashDisk\\CE\\ARM\\Restore.exe"));
  EXPECT_FALSE(Exists(u"\\FlashDisk\\flash.txt"));
  EXPECT_EQ(Text(ReadDeviceFile(u"\\Release\\release.txt")), "HT-660 OS 4.20.0117\r\n");
  EXPECT_EQ(ReadDeviceFile(u"\\My Documents\\Personal\\notes.txt"), notes) << "the archive stayed in step";
}

// Nothing of the device changes when the restore stops at the archive's
// header; the Startup folder keeps its shortcut.
TEST(SampleDeviceRestore, RestoreThatFailsBeforeTheTreeKeepsTheStartupFolder) {
  SampleDevice device;
  ASSERT_TRUE(device.ok()) << device.error();
  const std::u16string wedge = u"\\Windows\\StartUp\\ScanWedge.lnk";
  Bytes shortcut = ReadDeviceFile(wedge).value_or(Bytes{});
  ASSERT_FALSE(shortcut.empty());
  EXPECT_EQ(JobOutput({"restore", "--location", "Storage Card"}), "STATUS_ARCHIVE_READ_FAILED (0x2002)\n");
  EXPECT_EQ(ReadDeviceFile(wedge), shortcut);
  ASSERT_EQ(Job({"backup", "--password", "pw"}), 0);
  EXPECT_EQ(JobOutput({"restore", "--password", "wrong"}), "STATUS_BAD_PASSWORD (0x2004)\n");
  EXPECT_EQ(ReadDeviceFile(wedge), shortcut);
  EXPECT_FALSE(Exists(kRestartMarkerFiles[0]));
  // The right password restores, and the shortcut comes back through the staging folder.
  EXPECT_EQ(JobOutput({"restore", "--password", "pw"}), "STATUS_OK (0x3000)\n");
  EXPECT_EQ(ReadDeviceFile(wedge), shortcut);
}

std::string HostBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// The system holds its own files open, so the mirror pass cannot delete
// them, as on a device.
TEST(SampleDeviceRestore, RestoringItsOwnBackupDeletesNoSystemFile) {
  SampleDevice device;
  ASSERT_TRUE(device.ok()) << device.error();
  cedev::Device& dev = *cedev::Device::Current();
  std::vector<std::string> held = dev.Settings().held_files;
  ASSERT_EQ(held.size(), 11u);
  std::map<std::string, std::string> before;
  for (const std::string& path : held) {
    std::string relative = path.substr(1);
    std::replace(relative.begin(), relative.end(), '\\', '/');
    before[path] = HostBytes(dev.StoreDir() / relative);
    ASSERT_FALSE(before[path].empty()) << path;
  }
  ASSERT_EQ(Job({"backup"}), 0);
  ASSERT_EQ(Job({"restore"}), 0);
  for (const auto& [path, bytes] : before) {
    std::string relative = path.substr(1);
    std::replace(relative.begin(), relative.end(), '\\', '/');
    EXPECT_EQ(HostBytes(dev.StoreDir() / relative), bytes) << path;
    EXPECT_NE(GetFileAttributesW(cedev::FromUtf8(path).c_str()), INVALID_FILE_ATTRIBUTES) << path;
  }
}

#else

TEST(SampleRoundTrip, StreamsDifferOnlyByTheFixUpsAndRepeatExactly) {
  GTEST_SKIP() << "the sample device image is not part of this tree yet";
}

#endif

}  // namespace
