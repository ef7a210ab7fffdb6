// The sample device's content: what other parts of the system and its tests
// count on finding there.
#include "sample_image.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "wstr.h"

namespace cedev {
namespace {

const ImageFile* FindFile(const DeviceImage& image, std::u16string_view path) {
  for (const auto& f : image.files) {
    if (EqualNoCase(f.path, path)) return &f;
  }
  return nullptr;
}

const ImageKey* FindKey(const DeviceImage& image, RegRoot root, std::u16string_view path) {
  for (const auto& k : image.keys) {
    if (k.root == root && EqualNoCase(k.path, path)) return &k;
  }
  return nullptr;
}

const ImageValue* FindValue(const ImageKey& key, std::u16string_view name) {
  for (const auto& v : key.values) {
    if (EqualNoCase(v.name, name)) return &v;
  }
  return nullptr;
}

std::u16string ParentOf(std::u16string_view path) {
  size_t cut = path.rfind(u'\\');
  return std::u16string(path.substr(0, cut));
}

std::string Text(const std::vector<uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); }

TEST(SampleImage, IsTheSameEveryTime) {
  DeviceImage a = SampleImage(), b = SampleImage();
  ASSERT_EQ(a.files.size(), b.files.size());
  for (size_t i = 0; i < a.files.size(); ++i) {
    EXPECT_EQ(a.files[i].path, b.files[i].path);
    EXPECT_EQ(a.files[i].data, b.files[i].data);
    EXPECT_EQ(a.files[i].write_time, b.files[i].write_time);
  }
  ASSERT_EQ(a.keys.size(), b.keys.size());
  for (size_t i = 0; i < a.keys.size(); ++i) {
    ASSERT_EQ(a.keys[i].values.size(), b.keys[i].values.size());
    for (size_t j = 0; j < a.keys[i].values.size(); ++j) EXPECT_EQ(a.keys[i].values[j].data, b.keys[i].values[j].data);
  }
  ASSERT_EQ(a.databases.size(), b.databases.size());
  for (size_t i = 0; i < a.databases.size(); ++i) {
    ASSERT_EQ(a.databases[i].records.size(), b.databases[i].records.size());
    for (size_t r = 0; r < a.databases[i].records.size(); ++r) {
      ASSERT_EQ(a.databases[i].records[r].size(), b.databases[i].records[r].size());
      for (size_t p = 0; p < a.databases[i].records[r].size(); ++p) {
        EXPECT_EQ(a.databases[i].records[r][p].bytes, b.databases[i].records[r][p].bytes);
        EXPECT_EQ(a.databases[i].records[r][p].text, b.databases[i].records[r][p].text);
        EXPECT_EQ(a.databases[i].records[r][p].number, b.databases[i].records[r][p].number);
      }
    }
  }
}

TEST(SampleImage, FoldersComeBeforeWhatTheyHold) {
  DeviceImage image = SampleImage();
  DeviceSettings settings = SampleSettings();
  std::set<std::u16string> known = {u""};
  for (const auto& v : settings.volumes) known.insert(Fold(u"\\" + FromUtf8(v.name)));
  for (const auto& folder : image.folders) {
    EXPECT_TRUE(known.count(Fold(ParentOf(folder.path)))) << ToUtf8(folder.path);
    EXPECT_TRUE(known.insert(Fold(folder.path)).second) << "twice: " << ToUtf8(folder.path);
  }
  std::set<std::u16string> files;
  for (const auto& file : image.files) {
    EXPECT_TRUE(known.count(Fold(ParentOf(file.path)))) << ToUtf8(file.path);
    EXPECT_TRUE(files.insert(Fold(file.path)).second) << "twice: " << ToUtf8(file.path);
    EXPECT_LT(file.path.size(), 260u);
  }
}

TEST(SampleImage, WindowsHoldsRomProgramsAndModelSetup) {
  DeviceImage image = SampleImage();
  for (auto [path, program] : {std::pair{u"\\Windows\\tolvane.exe", "tolvane"}, {u"\\Windows\\welcome.exe", "welcome"},
                               {u"\\Windows\\ctlpnl.exe", "ctlpnl"}, {u"\\Windows\\peghelp.exe", "peghelp"},
                               {u"\\Windows\\Restore.exe", "restore"}, {u"\\Windows\\spfinish.exe", "spfinish"}}) {
    const ImageFile* f = FindFile(image, path);
    ASSERT_NE(f, nullptr) << ToUtf8(path);
    EXPECT_EQ(Text(f->data), std::string("#!cedev-program ") + program + "\n");
    EXPECT_TRUE(f->attributes & kAttrInRom);
  }
  for (const char16_t* path : {u"\\Windows\\ModelSetup.exe", u"\\Windows\\ModelSetup.ini"}) {
    const ImageFile* f = FindFile(image, path);
    ASSERT_NE(f, nullptr);
    EXPECT_TRUE(f->attributes & kAttrInRom);
    EXPECT_FALSE(f->data.empty());
  }
  int ram_in_windows = 0;
  for (const auto& f : image.files) {
    if (ParentOf(f.path) == u"\\Windows" && !(f.attributes & kAttrInRom)) ++ram_in_windows;
  }
  EXPECT_GE(ram_in_windows, 3);
}

TEST(SampleImage, HoldsSystemFilesABackupLeavesOut) {
  DeviceImage image = SampleImage();
  for (const char16_t* path : {u"\\pim.vol", u"\\cemail.vol", u"\\Windows\\Imjp31.dll",
                               u"\\Documents and Settings\\system.hv", u"\\Documents and Settings\\default\\user.hv"}) {
    const ImageFile* f = FindFile(image, path);
    ASSERT_NE(f, nullptr) << ToUtf8(path);
    // Left out by name, not because they lie in ROM.
    EXPECT_FALSE(f->attributes & kAttrInRom) << ToUtf8(path);
  }
}

TEST(SampleImage, StartupFolderHasDesktopIniAndAShortcut) {
  DeviceImage image = SampleImage();
  ASSERT_NE(FindFile(image, u"\\Windows\\StartUp\\desktop.ini"), nullptr);
  const ImageFile* lnk = FindFile(image, u"\\Windows\\StartUp\\ScanWedge.lnk");
  ASSERT_NE(lnk, nullptr);
  std::string text = Text(lnk->data);
  // A CE shortcut: the length of the target text, '#', then the quoted target.
  size_t hash = text.find('#');
  ASSERT_NE(hash, std::string::npos);
  EXPECT_EQ(std::stoul(text.substr(0, hash)), text.size() - hash - 1);
  const ImageFile* target = FindFile(image, FromUtf8(text.substr(hash + 2, text.size() - hash - 3)));
  EXPECT_NE(target, nullptr) << text;
}

TEST(SampleImage, MyDocumentsHoldsTextPicturesAndEmptyFiles) {
  DeviceImage image = SampleImage();
  size_t bytes = 0, empty = 0, bitmaps = 0, hidden = 0, read_only = 0;
  for (const auto& f : image.files) {
    if (f.path.rfind(u"\\My Documents\\", 0) != 0) continue;
    bytes += f.data.size();
    empty += f.data.empty();
    bitmaps += f.data.size() > 2 && f.data[0] == 'B' && f.data[1] == 'M';
    hidden += (f.attributes & kAttrHidden) != 0;
    read_only += (f.attributes & kAttrReadOnly) != 0;
  }
  EXPECT_GE(bytes, 200u * 1024);
  EXPECT_LE(bytes, 900u * 1024);
  EXPECT_GE(empty, 2u);
  EXPECT_GE(bitmaps, 3u);
  EXPECT_GE(hidden, 1u);
  EXPECT_GE(read_only, 1u);
}

TEST(SampleImage, MountedFoldersAndVolumesMatchTheSettings) {
  DeviceImage image = SampleImage();
  DeviceSettings s = SampleSettings();
  EXPECT_EQ(s.platform_type, "Tovak");
  ASSERT_EQ(s.volumes.size(), 2u);
  EXPECT_EQ(s.volumes[0].name, "FlashDisk");
  EXPECT_GT(s.volumes[0].quota, 0u);
  EXPECT_EQ(s.volumes[1].name, "Storage Card");
  for (const auto& name : s.mounted_folders) {
    bool found = std::any_of(image.folders.begin(), image.folders.end(),
                             [&](const ImageFolder& f) { return f.path == u"\\" + FromUtf8(name); });
    EXPECT_TRUE(found) << name;
  }
  EXPECT_EQ(s.mounted_folders, (std::vector<std::string>{"Release", "ネットワーク"}));
  EXPECT_TRUE(FindFile(image, FromUtf8(s.welcome_program)));
}

TEST(SampleImage, RegistryHasPlatformCalibrationAndProductKeys) {
  DeviceImage image = SampleImage();
  const ImageKey* platform = FindKey(image, RegRoot::kLocalMachine, u"Platform");
  ASSERT_NE(platform, nullptr);
  const ImageValue* name = FindValue(*platform, u"Name");
  ASSERT_NE(name, nullptr);
  EXPECT_EQ(name->type, RegType::kSz);
  EXPECT_EQ(name->data, SzBytes(kSamplePlatformName));
  const ImageKey* touch = FindKey(image, RegRoot::kLocalMachine, u"HARDWARE\\DEVICEMAP\\TOUCH");
  ASSERT_NE(touch, nullptr);
  EXPECT_NE(FindValue(*touch, u"CalibrationData"), nullptr);
  const ImageKey* restore = FindKey(image, RegRoot::kLocalMachine, u"Drivers\\Velta\\UTIL\\RESTORE");
  ASSERT_NE(restore, nullptr);
  // A device fresh from the factory has never been backed up for auto-restore.
  EXPECT_EQ(FindValue(*restore, u"RestoreFlag"), nullptr);
  EXPECT_NE(FindKey(image, RegRoot::kLocalMachine, u"Drivers\\Velta\\UTIL\\FLSETUP"), nullptr);
  EXPECT_NE(FindKey(image, RegRoot::kLocalMachine, u"init"), nullptr);
  const ImageKey* kit = FindKey(image, RegRoot::kLocalMachine, u"SOFTWARE\\Apps\\Velta TolvaneKit 1.09");
  ASSERT_NE(kit, nullptr);
  const ImageValue* cab = FindValue(*kit, u"CabFile");
  ASSERT_NE(cab, nullptr);
  EXPECT_LE(cab->data.size(), 128u);  // fits the service-pack tool's buffer
  std::u16string cab_path;
  for (size_t i = 0; i + 3 < cab->data.size(); i += 2) cab_path += static_cast<char16_t>(cab->data[i] | cab->data[i + 1] << 8);
  EXPECT_NE(FindFile(image, cab_path), nullptr);
}

TEST(SampleImage, RegistryHasHundredsOfKeysAndEveryCommonType) {
  DeviceImage image = SampleImage();
  size_t values = 0, defaults = 0, empty_data = 0, with_class = 0;
  std::set<RegType> types;
  std::set<RegRoot> roots;
  std::set<std::pair<RegRoot, std::u16string>> seen;
  for (const auto& key : image.keys) {
    roots.insert(key.root);
    size_t cut = key.path.rfind(u'\\');
    if (cut != std::u16string::npos) {
      EXPECT_TRUE(seen.count({key.root, Fold(key.path.substr(0, cut))})) << "parent after child: " << ToUtf8(key.path);
    }
    EXPECT_TRUE(seen.insert({key.root, Fold(key.path)}).second) << "twice: " << ToUtf8(key.path);
    with_class += !key.class_name.empty();
    for (const auto& v : key.values) {
      ++values;
      types.insert(v.type);
      defaults += v.name.empty();
      empty_data += v.data.empty();
    }
  }
  EXPECT_GE(image.keys.size(), 200u);
  EXPECT_GE(values, 300u);
  EXPECT_EQ(types, (std::set<RegType>{RegType::kNone, RegType::kSz, RegType::kExpandSz, RegType::kBinary,
                                      RegType::kDword, RegType::kMultiSz}));
  EXPECT_EQ(roots.size(), 4u);
  EXPECT_GE(defaults, 10u);
  EXPECT_GE(empty_data, 1u);
  EXPECT_GE(with_class, 2u);
}

TEST(SampleImage, DatabasesHaveSortOrdersAndEveryPropertyKind) {
  DeviceImage image = SampleImage();
  ASSERT_GE(image.databases.size(), 2u);
  std::set<PropType> kinds;
  for (const auto& db : image.databases) {
    EXPECT_FALSE(db.name.empty());
    EXPECT_LT(db.name.size(), 32u);  // CEDB_MAXDBASENAMELEN
    EXPECT_GE(db.sort_orders.size(), 1u);
    EXPECT_LE(db.sort_orders.size(), 4u);
    EXPECT_GE(db.records.size(), 10u);
    for (const auto& rec : db.records) {
      std::set<WORD> ids;
      for (const auto& p : rec) {
        kinds.insert(p.type);
        EXPECT_TRUE(ids.insert(p.id).second) << "property twice in one record";
      }
    }
  }
  for (PropType t : {PropType::kString, PropType::kBlob, PropType::kFiletime, PropType::kI4, PropType::kUi4}) {
    EXPECT_TRUE(kinds.count(t)) << static_cast<int>(t);
  }
}

TEST(DeviceImageBytes, SzMultiSzAndDwordAreLittleEndianUtf16) {
  EXPECT_EQ(SzBytes(u"A\u3042"), (std::vector<uint8_t>{0x41, 0, 0x42, 0x30, 0, 0}));
  EXPECT_EQ(SzBytes(u""), (std::vector<uint8_t>{0, 0}));
  EXPECT_EQ(MultiSzBytes({u"a", u"b"}), (std::vector<uint8_t>{'a', 0, 0, 0, 'b', 0, 0, 0, 0, 0}));
  EXPECT_EQ(MultiSzBytes({}), (std::vector<uint8_t>{0, 0}));
  EXPECT_EQ(DwordBytes(0x11223344), (std::vector<uint8_t>{0x44, 0x33, 0x22, 0x11}));
}

}  // namespace
}  // namespace cedev
