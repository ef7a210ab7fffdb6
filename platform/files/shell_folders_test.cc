// The shell's special folders.
#include <gtest/gtest.h>

#include "ce/device.h"
#include "ce/file.h"
#include "api_expect.h"
#include "scratch_device.h"

namespace {

class SpecialFolders : public ::testing::Test {
 protected:
  cedev::ScratchDevice device_;
};

TEST_F(SpecialFolders, FixedPathsAndTheStartupFolderFromTheSettings) {
  ASSERT_TRUE(device_.device().UpdateSettings([](cedev::DeviceSettings& s) { s.startup_folder = "\\Windows\\StartUp"; }));
  WCHAR path[MAX_PATH];
  ASSERT_TRUE(SHGetSpecialFolderPath(nullptr, path, CSIDL_STARTUP, FALSE));
  EXPECT_EQ(std::u16string(path), u"\\Windows\\StartUp");
  ASSERT_TRUE(SHGetSpecialFolderPath(nullptr, path, CSIDL_PERSONAL, FALSE));
  EXPECT_EQ(std::u16string(path), u"\\My Documents");
  for (auto& c : path) c = u'#';
  EXPECT_FAILS_WITH(SHGetSpecialFolderPath(nullptr, path, 0x7777, FALSE), FALSE, ERROR_INVALID_PARAMETER);
  EXPECT_EQ(path[0], u'#');
  EXPECT_FAILS_WITH(SHGetSpecialFolderPath(nullptr, nullptr, CSIDL_STARTUP, FALSE), FALSE, ERROR_INVALID_PARAMETER);
}

TEST_F(SpecialFolders, AreCreatedOnRequest) {
  WCHAR path[MAX_PATH];
  EXPECT_EQ(GetFileAttributesW(u"\\Windows\\Start Menu\\Programs"), INVALID_FILE_ATTRIBUTES);
  ASSERT_TRUE(SHGetSpecialFolderPath(nullptr, path, CSIDL_PROGRAMS, FALSE));
  EXPECT_EQ(GetFileAttributesW(path), INVALID_FILE_ATTRIBUTES);  // not without fCreate
  ASSERT_TRUE(SHGetSpecialFolderPath(nullptr, path, CSIDL_PROGRAMS, TRUE));
  EXPECT_EQ(std::u16string(path), u"\\Windows\\Start Menu\\Programs");
  DWORD attributes = GetFileAttributesW(path);
  ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
  EXPECT_TRUE(attributes & FILE_ATTRIBUTE_DIRECTORY);
  ASSERT_TRUE(SHGetSpecialFolderPath(nullptr, path, CSIDL_PROGRAMS, TRUE));  // already there
}

}  // namespace
