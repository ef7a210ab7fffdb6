// Folder enumeration: order, wildcards, exact paths, the device root with
// its volumes and mounted folders, and the end of a listing.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "ce/file.h"
#include "ce/handle.h"
#include "api_expect.h"
#include "find.h"
#include "scratch_device.h"
#include "wstr.h"

namespace cedev {
namespace {


DeviceSettings WithMountedFolders() {
  DeviceSettings s = ScratchDevice::DefaultSettings();
  s.mounted_folders = {"Release", "\xe3\x83\x8d\xe3\x83\x83\xe3\x83\x88\xe3\x83\xaf\xe3\x83\xbc\xe3\x82\xaf"};
  return s;
}

class FindTest : public ::testing::Test {
 protected:
  FindTest() : dev_(WithMountedFolders()) {}

  void Touch(const char16_t* path) {
    HANDLE h = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE) << GetLastError();
    CloseHandle(h);
  }
  // Names a pattern lists, in order; "<error N>" when FindFirstFileW fails.
  std::vector<std::u16string> List(const char16_t* pattern, std::vector<DWORD>* attributes = nullptr) {
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW(pattern, &fd);
    if (h == INVALID_HANDLE_VALUE) return {u"<error " + FromUtf8(std::to_string(GetLastError())) + u">"};
    std::vector<std::u16string> names;
    do {
      names.push_back(fd.cFileName);
      if (attributes) attributes->push_back(fd.dwFileAttributes);
    } while (FindNextFileW(h, &fd));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_FILES));
    EXPECT_TRUE(FindClose(h));
    return names;
  }

  ScratchDevice dev_;
};

using Names = std::vector<std::u16string>;

TEST(Wildcards, MatchAsTheDeviceDoes) {
  EXPECT_TRUE(MatchesPattern(u"*", u"anything.at.all"));
  EXPECT_TRUE(MatchesPattern(u"*.*", u"nodot"));
  EXPECT_TRUE(MatchesPattern(u"*.*", u"a.b"));
  EXPECT_TRUE(MatchesPattern(u"*.TXT", u"readme.txt"));
  EXPECT_FALSE(MatchesPattern(u"*.txt", u"readme.txt.bak"));
  EXPECT_TRUE(MatchesPattern(u"a?c", u"abc"));
  EXPECT_FALSE(MatchesPattern(u"a?c", u"ac"));
  EXPECT_TRUE(MatchesPattern(u"data.*", u"data"));
  EXPECT_TRUE(MatchesPattern(u"*a*b*", u"xxaxxbxx"));
  EXPECT_FALSE(MatchesPattern(u"*a*b*", u"xxbxxaxx"));
  EXPECT_TRUE(MatchesPattern(u"\uFF21*", u"\uFF41bc"));  // full-width letters fold too
}

TEST_F(FindTest, ListsByNameIgnoringCaseWithoutDotEntries) {
  ASSERT_TRUE(CreateDirectoryW(u"\\f", nullptr));
  for (const char16_t* n : {u"\\f\\b", u"\\f\\A", u"\\f\\c.txt", u"\\f\\a1", u"\\f\\B2.TXT", u"\\f\\_x"}) Touch(n);
  ASSERT_TRUE(CreateDirectoryW(u"\\f\\Sub", nullptr));
  // Names compare in upper case, so '_' sorts after the letters.
  EXPECT_EQ(List(u"\\f\\*"), (Names{u"A", u"a1", u"b", u"B2.TXT", u"c.txt", u"Sub", u"_x"}));
  EXPECT_EQ(List(u"\\f\\*.*"), List(u"\\f\\*"));
  EXPECT_EQ(List(u"f/*.txt"), (Names{u"B2.TXT", u"c.txt"}));
  EXPECT_EQ(List(u"\\F\\?"), (Names{u"A", u"b"}));
  EXPECT_EQ(List(u"\\f\\a*"), (Names{u"A", u"a1"}));
}

TEST_F(FindTest, ReportsAttributesSizesAndIds) {
  ASSERT_TRUE(CreateDirectoryW(u"\\d", nullptr));
  HANDLE h = CreateFileW(u"\\d\\five", GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_HIDDEN, nullptr);
  DWORD n;
  ASSERT_TRUE(WriteFile(h, "12345", 5, &n, nullptr));
  CloseHandle(h);
  ASSERT_TRUE(CreateDirectoryW(u"\\d\\sub", nullptr));
  WIN32_FIND_DATAW fd;
  memset(&fd, 0xCC, sizeof fd);
  HANDLE f = FindFirstFileW(u"\\d\\*", &fd);
  ASSERT_NE(f, INVALID_HANDLE_VALUE);
  EXPECT_EQ(std::u16string(fd.cFileName), u"five");
  EXPECT_EQ(fd.dwFileAttributes, FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE);
  EXPECT_EQ(fd.nFileSizeLow, 5u);
  EXPECT_EQ(fd.nFileSizeHigh, 0u);
  EXPECT_NE(fd.dwOID, 0xCCCCCCCCu);
  DWORD first_oid = fd.dwOID;
  ASSERT_TRUE(FindNextFileW(f, &fd));
  EXPECT_EQ(std::u16string(fd.cFileName), u"sub");
  EXPECT_EQ(fd.dwFileAttributes, FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_EQ(fd.nFileSizeLow, 0u);
  EXPECT_NE(fd.dwOID, first_oid);
  // At the end the record is left as it was.
  WIN32_FIND_DATAW after;
  memset(&after, 0xAB, sizeof after);
  EXPECT_FAILS_WITH(FindNextFileW(f, &after), FALSE, ERROR_NO_MORE_FILES);
  EXPECT_EQ(after.dwFileAttributes, 0xABABABABu);
  EXPECT_FAILS_WITH(FindNextFileW(f, nullptr), FALSE, ERROR_INVALID_PARAMETER);
  EXPECT_TRUE(FindClose(f));
  EXPECT_FAILS_WITH(FindNextFileW(f, &after), FALSE, ERROR_INVALID_HANDLE);
  EXPECT_FAILS_WITH(FindClose(f), FALSE, ERROR_INVALID_HANDLE);
}

TEST_F(FindTest, AnExactPathFindsThatOneEntryInItsHostCase) {
  ASSERT_TRUE(CreateDirectoryW(u"\\Docs", nullptr));
  Touch(u"\\Docs\\Report.TXT");
  Touch(u"\\Docs\\Other.txt");
  EXPECT_EQ(List(u"\\docs\\report.txt"), (Names{u"Report.TXT"}));
  EXPECT_EQ(List(u"\\DOCS"), (Names{u"Docs"}));
  std::vector<DWORD> attributes;
  EXPECT_EQ(List(u"\\flashdisk", &attributes), (Names{u"FlashDisk"}));
  EXPECT_EQ(attributes, (std::vector<DWORD>{FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_TEMPORARY}));
}

TEST_F(FindTest, NothingFoundAndMissingFoldersAreToldApart) {
  ASSERT_TRUE(CreateDirectoryW(u"\\empty", nullptr));
  EXPECT_EQ(List(u"\\empty\\*"), (Names{u"<error 2>"}));
  EXPECT_EQ(List(u"\\empty\\*.txt"), (Names{u"<error 2>"}));
  EXPECT_EQ(List(u"\\empty\\named"), (Names{u"<error 2>"}));
  EXPECT_EQ(List(u"\\missing\\*"), (Names{u"<error 3>"}));
  EXPECT_EQ(List(u"\\a*\\*"), (Names{u"<error 123>"}));  // wildcards only in the last part
  EXPECT_EQ(List(u"\\..\\*"), (Names{u"<error 123>"}));
}

TEST_F(FindTest, TheRootShowsVolumesAndMountedFoldersAsTemporaryFolders) {
  ASSERT_TRUE(CreateDirectoryW(u"\\Windows", nullptr));
  ASSERT_TRUE(CreateDirectoryW(u"\\Release", nullptr));
  ASSERT_TRUE(CreateDirectoryW(u"\\\u30cd\u30c3\u30c8\u30ef\u30fc\u30af", nullptr));
  Touch(u"\\pim.vol");
  // A store folder that happens to share a volume's name is hidden by the volume.
  std::filesystem::create_directory(dev_.dir() / "store" / "flashdisk");
  std::vector<DWORD> attributes;
  Names names = List(u"\\*", &attributes);
  EXPECT_EQ(names, (Names{u"FlashDisk", u"pim.vol", u"Release", u"Storage Card", u"Windows",
                          u"\u30cd\u30c3\u30c8\u30ef\u30fc\u30af"}));
  const DWORD mount = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_TEMPORARY;
  EXPECT_EQ(attributes, (std::vector<DWORD>{mount, FILE_ATTRIBUTE_ARCHIVE, mount, mount, FILE_ATTRIBUTE_DIRECTORY, mount}));
  EXPECT_EQ(GetFileAttributesW(u"\\Release"), mount);
  EXPECT_EQ(GetFileAttributesW(u"\\Storage Card"), mount);
  EXPECT_EQ(GetFileAttributesW(u"\\"), FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_EQ(List(u"\\Storage*"), (Names{u"Storage Card"}));
}

TEST_F(FindTest, HostNamesNoDevicePathCouldReachAreLeftOut) {
  ASSERT_TRUE(CreateDirectoryW(u"\\h", nullptr));
  Touch(u"\\h\\fine.txt");
  for (const char* name : {"colon:name", "back\\slash", "star*", "ask?", "pipe|", "tab\tname"}) {
    std::ofstream(dev_.dir() / "store/h" / name) << "x";
  }
  EXPECT_EQ(List(u"\\h\\*"), (Names{u"fine.txt"}));
}

TEST_F(FindTest, OrderDoesNotDependOnCreationOrder) {
  ASSERT_TRUE(CreateDirectoryW(u"\\one", nullptr));
  ASSERT_TRUE(CreateDirectoryW(u"\\two", nullptr));
  const char16_t* names[] = {u"delta", u"Alpha", u"charlie", u"Bravo", u"echo"};
  for (const char16_t* n : names) Touch((u"\\one\\" + std::u16string(n)).c_str());
  for (int i = 4; i >= 0; --i) Touch((u"\\two\\" + std::u16string(names[i])).c_str());
  EXPECT_EQ(List(u"\\one\\*"), List(u"\\two\\*"));
  EXPECT_EQ(List(u"\\one\\*"), (Names{u"Alpha", u"Bravo", u"charlie", u"delta", u"echo"}));
}

// Names compare unit by unit after folding, so letters outside ASCII and
// surrogate pairs keep their code-unit place; names that differ only in case
// on the host keep the host's byte order, and each keeps its own row.
TEST_F(FindTest, OrderIsByFoldedUnitsThenHostBytesAndRowsStayWithTheirName) {
  ASSERT_TRUE(CreateDirectoryW(u"\\o", nullptr));
  HANDLE h = CreateFileW(u"\\o\\B", GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_HIDDEN, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  CloseHandle(h);
  const char* host_only[] = {"b", "ab", "a", "Z", "\xc3\xa9", "\xf0\x9f\x98\x80", "\xef\xbd\x82", "A"};
  for (const char* name : host_only) std::ofstream(dev_.dir() / "store/o" / name) << "x";
  std::vector<DWORD> attributes;
  EXPECT_EQ(List(u"\\o\\*", &attributes),
            (Names{u"A", u"a", u"ab", u"B", u"b", u"Z", u"\u00e9", u"\U0001F600", u"\uFF42"}));
  const DWORD host = FILE_ATTRIBUTE_ARCHIVE;
  EXPECT_EQ(attributes, (std::vector<DWORD>{host, host, host, FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE, host,
                                            host, host, host, host}));
  EXPECT_EQ(List(u"\\o\\?"), (Names{u"A", u"a", u"B", u"b", u"Z", u"\u00e9", u"\uFF42"}));
}

// Large folders are looked up by several threads while the folder's rows
// are read; each entry must still get its own row.
TEST_F(FindTest, ALargeFolderGetsEachEntrysOwnAttributesInOrder) {
  constexpr int kFiles = 9000;  // more than one thread's share
  ASSERT_TRUE(CreateDirectoryW(u"\\big", nullptr));
  auto name_of = [](int i) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%c%05d", i % 2 ? 'f' : 'F', i);
    return std::string(buf);
  };
  for (int i = 0; i < kFiles; ++i) {
    if (i % 997 == 0) {
      HANDLE h = CreateFileW((u"\\big\\" + FromUtf8(name_of(i))).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                             FILE_ATTRIBUTE_HIDDEN, nullptr);
      ASSERT_NE(h, INVALID_HANDLE_VALUE);
      CloseHandle(h);
    } else {
      std::ofstream(dev_.dir() / "store" / "big" / name_of(i)) << "x";  // copied in from the host: no row
    }
  }
  std::vector<DWORD> attributes;
  Names names = List(u"\\big\\*", &attributes);
  ASSERT_EQ(names.size(), static_cast<size_t>(kFiles));
  for (int i = 0; i < kFiles; ++i) {
    ASSERT_EQ(names[i], FromUtf8(name_of(i))) << i;
    DWORD expected = i % 997 == 0 ? FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE : FILE_ATTRIBUTE_ARCHIVE;
    ASSERT_EQ(attributes[i], expected) << i;
  }
}

}  // namespace
}  // namespace cedev
