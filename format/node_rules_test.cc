// Where records may stand, what their names may be, and the registry roots,
// each checked against cases written out here rather than derived from the
// rules' own tables.
#include "node_rules.h"

#include <gtest/gtest.h>

#include <string>

#include "archive_format.h"
#include "device_text.h"

namespace archive {
namespace {

TEST(NodeRules, OnlyTheRootMayComeFirst) {
  EXPECT_TRUE(CheckFirstRecord(1).ok());
  Result r = CheckFirstRecord(0x100);
  EXPECT_EQ(r.problem, Problem::kNotRoot);
  EXPECT_EQ(Describe(r), "the first record is not the root (type code 0x100)");
}

TEST(NodeRules, PlacementFollowsTheNestingTheDeviceWrites) {
  struct Case {
    int32_t parent;
    uint32_t child;
    bool allowed;
  } cases[] = {
      {kNodeRoot, 0x100, true},    {kNodeRoot, 0x200, true},    {kNodeRoot, 0x300, true},
      {kNodeRoot, 0x101, false},   {kNodeRoot, 0x201, false},   {kNodeRoot, 0x301, false},
      {kNodeRoot, 1, false},       {kNodeDirectory, 0x100, true}, {kNodeDirectory, 0x101, true},
      {kNodeDirectory, 0x201, false}, {kNodeDirectory, 0x300, false}, {kNodeRegRoot, 0x201, true},
      {kNodeRegRoot, 0x202, true}, {kNodeRegRoot, 0x200, false}, {kNodeRegKey, 0x201, true},
      {kNodeRegKey, 0x202, true},  {kNodeRegKey, 0x101, false}, {kNodeDbFolder, 0x301, true},
      {kNodeDbFolder, 0x300, false}, {kNodeDbFolder, 0x202, false},
  };
  for (const Case& c : cases) {
    Result r = CheckPlacement(c.parent, c.child, 1);
    EXPECT_EQ(r.ok(), c.allowed) << std::hex << c.parent << " holding " << c.child;
    if (!c.allowed) {
      EXPECT_EQ(r.problem, Problem::kMisplaced);
    }
  }
  EXPECT_EQ(Describe(CheckPlacement(kNodeRoot, 0x101, 1)), "a file record cannot stand in a root");
}

TEST(NodeRules, UnknownTypesAndDepthsBeyondTheLimit) {
  for (uint32_t type : {0u, 2u, 0x102u, 0x203u, 0x302u, 0xFFFFFFFEu}) {
    Result r = CheckPlacement(kNodeDirectory, type, 1);
    EXPECT_EQ(r.problem, Problem::kUnknownType) << type;
  }
  EXPECT_EQ(Describe(CheckPlacement(kNodeDirectory, 0x102, 1)), "unknown type code 0x102");
  EXPECT_TRUE(CheckPlacement(kNodeRegKey, 0x201, 512).ok());
  EXPECT_EQ(CheckPlacement(kNodeRegKey, 0x201, 513).problem, Problem::kTooDeep);
  EXPECT_EQ(CheckPlacement(kNodeRegKey, 0x202, 513).problem, Problem::kTooDeep);
  EXPECT_EQ(Describe(CheckPlacement(kNodeRegKey, 0x201, 513)), "nesting deeper than 512 levels");
}

TEST(NodeRules, TheFolderBelowTheRootIsTheDeviceRoot) {
  EXPECT_TRUE(CheckName(kNodeRoot, kNodeDirectory, u"\\").ok());
  for (const std::u16string& name : {std::u16string(u"\u015C"), std::u16string(u""), std::u16string(u"Windows"),
                                    std::u16string(u"\\\\"), std::u16string(u"/")}) {
    EXPECT_EQ(CheckName(kNodeRoot, kNodeDirectory, name).problem, Problem::kTopFolderName) << text::ToUtf8(name);
  }
  EXPECT_EQ(CheckName(kNodeDirectory, kNodeDirectory, u"\\").problem, Problem::kSeparatorInName);
}

TEST(NodeRules, FilesAndFoldersArePlainEntriesOfTheirFolder) {
  for (int32_t type : {kNodeFile, kNodeDirectory}) {
    for (const std::u16string& ok : {std::u16string(u"a"), std::u16string(u"report.txt"), std::u16string(u"My Documents"),
                                    std::u16string(u"\u30c6\u30b9\u30c8"), std::u16string(u"...a"), std::u16string(u"a.."),
                                    std::u16string(259, u'n')})
      EXPECT_TRUE(CheckName(kNodeDirectory, type, ok).ok()) << text::ToUtf8(ok);
    struct Bad {
      std::u16string name;
      Problem problem;
    } bad[] = {{u"", Problem::kEmptyName},
               {u".", Problem::kNotAFileName},
               {u"..", Problem::kNotAFileName},
               {u"a\\..\\b", Problem::kSeparatorInName},
               {u"c/d", Problem::kSeparatorInName},
               {u"C:\\Windows", Problem::kSeparatorInName},
               {std::u16string(260, u'n'), Problem::kNameTooLong},
               {u"*", Problem::kForbiddenInName},
               {u"a?", Problem::kForbiddenInName},
               {u"c:", Problem::kForbiddenInName},
               {u"<", Problem::kForbiddenInName},
               {u"a>b", Problem::kForbiddenInName},
               {u"|", Problem::kForbiddenInName},
               {u"\"q\"", Problem::kForbiddenInName},
               {u"\t", Problem::kForbiddenInName},
               {u"\x1F", Problem::kForbiddenInName},
               {std::u16string(u"a\0b", 3), Problem::kForbiddenInName}};
    for (const Bad& b : bad) EXPECT_EQ(CheckName(kNodeDirectory, type, b.name).problem, b.problem) << text::ToUtf8(b.name);
  }
  EXPECT_EQ(Describe(CheckName(kNodeDirectory, kNodeFile, u"a?")), "the name holds a character the device refuses in names");
}

TEST(NodeRules, RegistryRootsAreTheFourPredefinedKeys) {
  const char16_t* inOrder[] = {u"HKEY_CLASSES_ROOT", u"HKEY_CURRENT_USER", u"HKEY_LOCAL_MACHINE", u"HKEY_USERS"};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(std::u16string(kRegistryRootNames[i]), inOrder[i]);
    EXPECT_EQ(RegistryRootIndex(inOrder[i]), i);
    EXPECT_TRUE(CheckName(kNodeRoot, kNodeRegRoot, inOrder[i]).ok());
  }
  EXPECT_EQ(RegistryRootIndex(u"hkey_local_machine"), 2) << "without regard to case";
  for (const char16_t* other : {u"HKEY_CURRENT_CONFIG", u"HKLM", u"", u"HKEY_USERS\\x"}) {
    EXPECT_EQ(RegistryRootIndex(other), -1);
    EXPECT_EQ(CheckName(kNodeRoot, kNodeRegRoot, other).problem, Problem::kNotRegistryRoot);
  }
}

TEST(NodeRules, RegistryNamesKeepTheRegistrysLimits) {
  EXPECT_TRUE(CheckName(kNodeRegKey, kNodeRegKey, u"Software").ok());
  EXPECT_TRUE(CheckName(kNodeRegKey, kNodeRegValue, u"").ok()) << "the default value";
  EXPECT_TRUE(CheckName(kNodeRegKey, kNodeRegKey, u"a/b").ok());
  EXPECT_TRUE(CheckName(kNodeRegKey, kNodeRegValue, u"a\\b").ok()) << "a value name may hold a backslash";
  EXPECT_TRUE(CheckName(kNodeRegKey, kNodeRegKey, std::u16string(255, u'k')).ok());
  EXPECT_EQ(CheckName(kNodeRegKey, kNodeRegKey, u"").problem, Problem::kEmptyName);
  EXPECT_EQ(CheckName(kNodeRegKey, kNodeRegKey, u"a\\b").problem, Problem::kSeparatorInName);
  EXPECT_EQ(CheckName(kNodeRegKey, kNodeRegKey, std::u16string(256, u'k')).problem, Problem::kNameTooLong);
  EXPECT_EQ(CheckName(kNodeRegKey, kNodeRegValue, std::u16string(256, u'v')).problem, Problem::kNameTooLong);
  EXPECT_EQ(CheckName(kNodeRegKey, kNodeRegKey, std::u16string(u"a\0", 2)).problem, Problem::kZeroInName);
  EXPECT_EQ(CheckName(kNodeRegKey, kNodeRegValue, std::u16string(u"\0", 1)).problem, Problem::kZeroInName);
  EXPECT_TRUE(CheckClassName(u"").ok());
  EXPECT_EQ(CheckClassName(std::u16string(256, u'c')).problem, Problem::kNameTooLong);
  EXPECT_EQ(CheckClassName(std::u16string(u"c\0", 2)).problem, Problem::kZeroInName);
  EXPECT_EQ(Describe(CheckName(kNodeRegKey, kNodeRegKey, u"a\\b")), "the key name holds a backslash");
}

TEST(NodeRules, DatabaseNamesFitTheDevicesDescription) {
  EXPECT_TRUE(CheckName(kNodeDbFolder, kNodeDatabase, std::u16string(31, u'd')).ok());
  EXPECT_EQ(CheckName(kNodeDbFolder, kNodeDatabase, std::u16string(32, u'd')).problem, Problem::kNameTooLong);
  EXPECT_EQ(CheckName(kNodeDbFolder, kNodeDatabase, u"").problem, Problem::kEmptyName);
  EXPECT_EQ(Describe(CheckName(kNodeDbFolder, kNodeDatabase, std::u16string(32, u'd'))),
            "database name longer than 31 characters");
  // The root's and the database folder's names are not looked at.
  EXPECT_TRUE(CheckName(0, kNodeRoot, u"anything").ok());
  EXPECT_TRUE(CheckName(kNodeRoot, kNodeDbFolder, u"").ok());
}

TEST(NodeRules, DevicePathsKeepTheirLength) {
  EXPECT_TRUE(CheckPathLength(kNodeFile, 259).ok());
  Result r = CheckPathLength(kNodeFile, 260);
  EXPECT_EQ(r.problem, Problem::kPathTooLong);
  EXPECT_EQ(Describe(r), "path longer than 259 characters");
}

}  // namespace
}  // namespace archive
