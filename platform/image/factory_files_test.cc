// The file half of the factory image: what a full reset brings back, and
// what it must leave alone.
#include "factory_files.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <windows.h>

#include "api_expect.h"
#include "factory.h"
#include "file_service.h"
#include "scratch_device.h"

namespace cedev {
namespace {

bool WriteDeviceFile(const char16_t* path, std::string_view content, DWORD attributes = FILE_ATTRIBUTE_NORMAL) {
  HANDLE h = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, attributes, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  BOOL ok = WriteFile(h, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
  CloseHandle(h);
  return ok && written == content.size();
}

std::string ReadDeviceFile(const char16_t* path) {
  HANDLE h = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return "<cannot open>";
  std::string out(4096, '\0');
  DWORD got = 0;
  ReadFile(h, out.data(), static_cast<DWORD>(out.size()), &got, nullptr);
  CloseHandle(h);
  out.resize(got);
  return out;
}

bool SetTimes(const char16_t* path, uint64_t created, uint64_t written) {
  HANDLE h = CreateFileW(path, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  FILETIME c{static_cast<DWORD>(created), static_cast<DWORD>(created >> 32)};
  FILETIME w{static_cast<DWORD>(written), static_cast<DWORD>(written >> 32)};
  BOOL ok = SetFileTime(h, &c, &w, &w);
  CloseHandle(h);
  return ok;
}

uint64_t Ticks(const FILETIME& ft) { return (static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime; }

// Creation 2025-01-02, last write 2025-03-04 plus an odd number of 100 ns.
constexpr uint64_t kCreated = 133802208000000000ull;
constexpr uint64_t kWritten = 133853184001234567ull;

class FactoryFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(CreateDirectoryW(u"\\Windows", nullptr));
    ASSERT_TRUE(CreateDirectoryW(u"\\My Documents", nullptr));
    ASSERT_TRUE(WriteDeviceFile(u"\\Windows\\rom.dll", "rom content"));
    FileMetaRecord rom;
    ASSERT_TRUE(GetFileMetaRecord(dev_.device(), u"\\Windows\\rom.dll", &rom));
    rom.attributes = FILE_ATTRIBUTE_INROM | FILE_ATTRIBUTE_READONLY;
    ASSERT_TRUE(SetFileMetaRecord(dev_.device(), u"\\Windows\\rom.dll", rom));
    ASSERT_TRUE(WriteDeviceFile(u"\\My Documents\\a.txt", "factory text", FILE_ATTRIBUTE_HIDDEN));
    ASSERT_TRUE(SetTimes(u"\\My Documents\\a.txt", kCreated, kWritten));
    ASSERT_TRUE(WriteDeviceFile(u"\\FlashDisk\\card.txt", "volume before"));
    std::string error;
    ASSERT_TRUE(SaveFactoryFiles(dev_.device(), &error)) << error;
  }

  ScratchDevice dev_;
};

TEST_F(FactoryFilesTest, RestoreBringsBackDeletedAndChangedFilesWithAttributesAndTimes) {
  ASSERT_TRUE(SetFileAttributesW(u"\\My Documents\\a.txt", FILE_ATTRIBUTE_NORMAL));
  ASSERT_TRUE(WriteDeviceFile(u"\\My Documents\\a.txt", "user changed it"));
  ASSERT_TRUE(DeleteFileW(u"\\My Documents\\a.txt"));
  std::string error;
  ASSERT_TRUE(RestoreFactoryFiles(dev_.device(), &error)) << error;

  EXPECT_EQ(ReadDeviceFile(u"\\My Documents\\a.txt"), "factory text");
  EXPECT_EQ(GetFileAttributesW(u"\\My Documents\\a.txt") & FILE_ATTRIBUTE_HIDDEN, FILE_ATTRIBUTE_HIDDEN);
  HANDLE h = CreateFileW(u"\\My Documents\\a.txt", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  FILETIME c{0xDEAD, 0xBEEF}, a{0xDEAD, 0xBEEF}, w{0xDEAD, 0xBEEF};
  ASSERT_TRUE(GetFileTime(h, &c, &a, &w));
  CloseHandle(h);
  EXPECT_EQ(Ticks(c), kCreated);
  EXPECT_EQ(Ticks(w), kWritten);
}

TEST_F(FactoryFilesTest, RestoreRemovesWhatTheUserAdded) {
  ASSERT_TRUE(CreateDirectoryW(u"\\New Folder", nullptr));
  ASSERT_TRUE(WriteDeviceFile(u"\\New Folder\\x.txt", "new"));
  ASSERT_TRUE(WriteDeviceFile(u"\\Windows\\extra.txt", "new"));
  std::string error;
  ASSERT_TRUE(RestoreFactoryFiles(dev_.device(), &error)) << error;
  SetLastError(0xDEADBEEF);
  EXPECT_EQ(GetFileAttributesW(u"\\New Folder"), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(GetFileAttributesW(u"\\Windows\\extra.txt"), INVALID_FILE_ATTRIBUTES);
  // No row of the removed files survives to confuse a later file of that name.
  FileMetaRecord record;
  EXPECT_FALSE(GetFileMetaRecord(dev_.device(), u"\\Windows\\extra.txt", &record));
}

TEST_F(FactoryFilesTest, RomStaysRomAndVolumesAreUntouched) {
  ASSERT_TRUE(WriteDeviceFile(u"\\FlashDisk\\card.txt", "volume after"));
  std::string error;
  ASSERT_TRUE(RestoreFactoryFiles(dev_.device(), &error)) << error;
  DWORD rom = GetFileAttributesW(u"\\Windows\\rom.dll");
  ASSERT_NE(rom, INVALID_FILE_ATTRIBUTES);
  EXPECT_TRUE(rom & FILE_ATTRIBUTE_INROM);
  EXPECT_FAILS_WITH(CreateFileW(u"\\Windows\\rom.dll", GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr), INVALID_HANDLE_VALUE, ERROR_ACCESS_DENIED);
  EXPECT_EQ(ReadDeviceFile(u"\\Windows\\rom.dll"), "rom content");
  EXPECT_EQ(ReadDeviceFile(u"\\FlashDisk\\card.txt"), "volume after");
}

TEST_F(FactoryFilesTest, RestoreWithoutAFactoryImageFailsAndKeepsTheStore) {
  std::error_code ec;
  std::filesystem::remove_all(dev_.device().FactoryDir() / "store", ec);
  std::string error;
  EXPECT_FALSE(RestoreFactoryFiles(dev_.device(), &error));
  EXPECT_NE(error.find("no factory image"), std::string::npos) << error;
  EXPECT_EQ(ReadDeviceFile(u"\\My Documents\\a.txt"), "factory text");
}

TEST(CopyTreeKeepingTimes, KeepsNanosecondMtimesOfFilesAndFolders) {
  ScratchDevice dev;
  auto from = dev.dir() / "t-from", to = dev.dir() / "t-to";
  std::filesystem::create_directories(from / "sub");
  std::ofstream(from / "sub" / "f.bin") << "data";
  using namespace std::chrono;
  auto mtime = file_clock::from_sys(sys_time<nanoseconds>(seconds(1700000001) + nanoseconds(987654321)));
  std::filesystem::last_write_time(from / "sub" / "f.bin", mtime);
  std::filesystem::last_write_time(from / "sub", mtime);
  std::string error;
  ASSERT_TRUE(CopyTreeKeepingTimes(from, to, &error)) << error;
  for (const char* rel : {"sub/f.bin", "sub"}) {
    nanoseconds since = file_clock::to_sys(std::filesystem::last_write_time(to / rel)).time_since_epoch();
    EXPECT_EQ(duration_cast<seconds>(since).count(), 1700000001) << rel;
    EXPECT_EQ((since % seconds(1)).count(), 987654321) << rel;
  }
  std::ifstream in(to / "sub" / "f.bin");
  std::string content;
  in >> content;
  EXPECT_EQ(content, "data");
}

// The files the system holds open (see held_files.h) change below the file
// API; a full reset puts their factory versions back all the same.
TEST(HeldFilesAndTheFactoryImage, AFullResetPutsTheFactoryVersionsBack) {
  DeviceSettings settings = ScratchDevice::DefaultSettings();
  settings.held_files = {"\\pim.vol"};
  ScratchDevice dev(settings);
  ASSERT_TRUE(WriteDeviceFile(u"\\pim.vol", "system data"));
  std::string error;
  ASSERT_TRUE(SaveFactoryImage(&error)) << error;
  // The system itself changes its files (on the host, below the file API).
  std::ofstream(dev.dir() / "store/pim.vol", std::ios::trunc) << "grown by the system";
  ASSERT_TRUE(RestoreFactoryImage(&error)) << error;
  std::ifstream in(dev.dir() / "store/pim.vol", std::ios::binary);
  EXPECT_EQ(std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>()), "system data");
  EXPECT_FAILS_WITH(DeleteFileW(u"\\pim.vol"), FALSE, ERROR_SHARING_VIOLATION);
}

}  // namespace
}  // namespace cedev
