// The command line of an unattended run and the root folders that can be a
// backup location, on a scratch device with the folders a terminal has.
#include "autorun_line.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app_state.h"
#include "root_locations.h"
#include "scratch_device.h"
#include "terminal_root_testing.h"

namespace {

class RootFolders : public ::testing::Test {
 protected:
  void SetUp() override {
    MakeTerminalRootFolders();
    // A file named like a location is no folder.
    HANDLE file = CreateFileW(u"\\flashdisk2", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);
  }
  cedev::ScratchDevice device_{TerminalRootSettings()};
};

struct Parsed {
  LONG code;
  std::u16string location;
  std::u16string password;
};

Parsed Parse(std::u16string line) {
  WCHAR location[MAX_PATH];
  WCHAR password[MAX_PATH];
  location[0] = u'?';
  password[0] = u'?';
  line.push_back(0);
  LONG code = ParseCommandLine(line.data(), location, password);
  return {code, location, password};
}

TEST_F(RootFolders, TheCommandLineSelectsTheCommandLocationAndPassword) {
  struct Case {
    std::u16string line;
    LONG code;
    std::u16string location;
    std::u16string password;
  } cases[] = {
      {u"/R/FlashDisk", AUTORUN_RESTORE, u"FlashDisk", u""},
      {u"/B/FlashDisk", AUTORUN_BACKUP, u"FlashDisk", u""},
      // Command and location match without regard to case; the location
      // stays as typed.
      {u"/b/flashdisk", AUTORUN_BACKUP, u"flashdisk", u""},
      {u"/s/Storage Card", AUTORUN_REGISTRY_BACKUP, u"Storage Card", u""},
      {u"/W/storage card/pw", AUTORUN_REGISTRY_RESTORE, u"storage card", u"pw"},
      // Runs of slashes are one delimiter; leading and trailing ones make no token.
      {u"R/FlashDisk", AUTORUN_RESTORE, u"FlashDisk", u""},
      {u"//R//FlashDisk//", AUTORUN_RESTORE, u"FlashDisk", u""},
      // Trailing blanks go before the match, leading ones stay.
      {u"/R  /FlashDisk   /pass word  ", AUTORUN_RESTORE, u"FlashDisk", u"pass word"},
      {u"/R/  FlashDisk", AUTORUN_NONE, u"  FlashDisk", u""},
      {u"/R/FlashDisk\t", AUTORUN_NONE, u"FlashDisk\t", u""},
      // The third token is the password; a fourth is ignored.
      {u"/B/FlashDisk/secret/more/and more", AUTORUN_BACKUP, u"FlashDisk", u"secret"},
  };
  for (const Case& c : cases) {
    Parsed p = Parse(c.line);
    std::string line(c.line.begin(), c.line.end());
    EXPECT_EQ(p.code, c.code) << line;
    EXPECT_EQ(p.location, c.location) << line;
    EXPECT_EQ(p.password, c.password) << line;
  }
}

TEST_F(RootFolders, AnythingButAnEligibleLocationStartsInteractively) {
  for (std::u16string line : {u"", u"/", u"/R/", u"/R", u"/x/FlashDisk", u"/rb/FlashDisk", u"/R/Nowhere",
                              u"/R/My Documents", u"/R/flashdisk2", u"/R/Release", u"/R/ネットワーク",
                              u"/R/FlashDisk\\Backup", u"/R/..", u"/R/\\FlashDisk", u"/R/Flash*"}) {
    EXPECT_EQ(Parse(line).code, AUTORUN_NONE) << std::string(line.begin(), line.end());
  }
  // A plain "Temp" folder is accepted from the command line, in any case.
  EXPECT_EQ(Parse(u"/R/Temp").code, AUTORUN_RESTORE);
  EXPECT_EQ(Parse(u"/b/TEMP").code, AUTORUN_BACKUP);
  EXPECT_EQ(Parse(u"/w/card slot").code, AUTORUN_REGISTRY_RESTORE);
}

TEST_F(RootFolders, ATokenTooLongForItsBufferStartsInteractivelyWithNothingKept) {
  std::u16string longest(MAX_PATH - 1, u'p');
  Parsed fits = Parse(u"/B/FlashDisk/" + longest);
  EXPECT_EQ(fits.code, AUTORUN_BACKUP);
  EXPECT_EQ(fits.password, longest);

  for (std::u16string line : {u"/B/FlashDisk/" + longest + u"p", u"/B/" + longest + u"FlashDisk",
                              u"/" + longest + u"b/FlashDisk"}) {
    Parsed p = Parse(line);
    EXPECT_EQ(p.code, AUTORUN_NONE);
    EXPECT_EQ(p.location, u"");
    EXPECT_EQ(p.password, u"") << "a cut password must not reach a job";
  }
}

TEST(TrimTrailingBlanks, RemovesOnlyTrailingSpaces) {
  struct Case {
    std::u16string in, out;
  } cases[] = {{u"", u""}, {u"   ", u""}, {u"a  ", u"a"}, {u"  a", u"  a"}, {u"a \t", u"a \t"}, {u"a\t  ", u"a\t"},
               {u"a b ", u"a b"}, {u"\u3000", u"\u3000"}};
  for (Case c : cases) {
    c.in.push_back(0);
    TrimTrailingBlanks(c.in.data());
    EXPECT_EQ(std::u16string(c.in.data()), c.out);
  }
}

std::vector<std::u16string> Names(const MPathList* list) {
  std::vector<std::u16string> names;
  for (MPathListItem* item = list ? list->Head() : nullptr; item; item = item->next) names.push_back(item->text);
  return names;
}

TEST_F(RootFolders, TheBoxOffersCardsAndFlashDiskButNotTempNorTheMountedSystemFolders) {
  MPathList* list = CollectBackupLocations();
  std::vector<std::u16string> names = Names(list);
  delete list;
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::u16string>{u"Card Slot", u"FlashDisk", u"Storage Card"}));
}

TEST(RootLocations, NoneWithoutFlashDiskOrACard) {
  cedev::DeviceSettings bare = cedev::ScratchDevice::DefaultSettings();
  bare.volumes.clear();
  cedev::ScratchDevice device(bare);
  ASSERT_TRUE(CreateDirectoryW(u"\\Temp", nullptr));
  EXPECT_EQ(CollectBackupLocations(), nullptr);
  EXPECT_EQ(Parse(u"/B/FlashDisk").code, AUTORUN_NONE);
  EXPECT_EQ(Parse(u"/B/Temp").code, AUTORUN_BACKUP);
}

TEST(RootLocations, TheEntryRules) {
  auto entry = [](LPCWSTR name, DWORD attributes) {
    WIN32_FIND_DATAW e = {};
    e.dwFileAttributes = attributes;
    for (int i = 0; name[i]; ++i) e.cFileName[i] = name[i];
    return e;
  };
  const DWORD dir = FILE_ATTRIBUTE_DIRECTORY, mounted = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_TEMPORARY;
  EXPECT_TRUE(IsLocationFolder(entry(u"Any Card", mounted), FALSE));
  EXPECT_FALSE(IsLocationFolder(entry(u"Any Card", FILE_ATTRIBUTE_TEMPORARY), FALSE)) << "not a folder";
  EXPECT_TRUE(IsLocationFolder(entry(u"FLASHDISK", dir), FALSE));
  EXPECT_FALSE(IsLocationFolder(entry(u"Temp", dir), FALSE));
  EXPECT_TRUE(IsLocationFolder(entry(u"temp", dir), TRUE));
  EXPECT_FALSE(IsLocationFolder(entry(u"Release", mounted), TRUE));
  EXPECT_FALSE(IsLocationFolder(entry(u"ネットワーク", mounted), TRUE));
  // The two system folders are named exactly; other spellings are cards.
  EXPECT_TRUE(IsLocationFolder(entry(u"release", mounted), FALSE));
}

}  // namespace
