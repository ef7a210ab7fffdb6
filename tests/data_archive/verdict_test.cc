// One verdict for every archive: `tlvarc verify` and the device's restore
// (as `cedev job restore` runs it, fix-ups included) call the same archives
// sound and the same damaged. The archives are the stored fuzz seeds and
// regressions, the device's own data and registry backups, those cut and
// flipped, and hostile archives written record by record.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "archive_device.h"
#include "header.h"
#include "job_command.h"
#include "job_status.h"
#include "password_block.h"
#include "status_names.h"
#include "tool_runner.h"

using namespace archive_test;

namespace {

namespace fs = std::filesystem;

enum class Verdict { kSound, kDamaged, kNeither };

const char* Name(Verdict v) { return v == Verdict::kSound ? "sound" : v == Verdict::kDamaged ? "damaged" : "neither"; }

// A decoded node stream written out field by field.
class Nodes {
 public:
  Nodes& U16(uint16_t v) { return Raw({uint8_t(v), uint8_t(v >> 8)}); }
  Nodes& U32(uint32_t v) { return Raw({uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)}); }
  Nodes& Name(const std::u16string& name) { return Raw(CountedName(name)); }
  Nodes& Record(uint32_t type, const std::u16string& name) { return U32(type).Name(name); }
  Nodes& End() { return U32(0xFFFFFFFF); }
  Nodes& Raw(const Bytes& b) {
    bytes.insert(bytes.end(), b.begin(), b.end());
    return *this;
  }
  Nodes& File(const std::u16string& name, const Bytes& content) {
    Record(0x101, name).U32(0x20);
    for (int i = 0; i < 6; ++i) U32(0x01D50000);
    return U32(uint32_t(content.size())).Raw(content);
  }
  Nodes& Value(const std::u16string& name, uint32_t type, const Bytes& data) {
    return Record(0x202, name).U32(type).U32(uint32_t(data.size())).Raw(data);
  }
  Nodes& Key(uint32_t type, const std::u16string& name) { return Record(type, name).Name(u""); }
  Bytes bytes;
};

// The same words every time: the verdicts do not depend on the noise.
class FixedWords : public archive::RandomWords {
 public:
  uint16_t Next() override { return next_ += 0x3F1; }

 private:
  uint16_t next_ = 7;
};

// An archive file of `nodes` (no platform name, no password), then `tail`
// as coded bytes after the node stream.
Bytes ArchiveOf(const Bytes& nodes, const Bytes& tail = {}) {
  uint8_t name[archive::kPlatformNameBytes], block[archive::kPasswordBlockBytes], header[archive::kNodeStreamOffset];
  archive::SetPlatformName(u"", name);
  FixedWords words;
  archive::MakePasswordBlock(u"", block, words);
  archive::EncodeHeader(name, block, header);
  MMemoryStream file(header, sizeof header);
  MRleStream coder(&file);
  LONG done = 0;
  EXPECT_TRUE(coder.Write(nodes.data(), LONG(nodes.size()), &done));
  EXPECT_TRUE(coder.Flush());
  Bytes out(file.Data(), file.Data() + file.Size());
  out.insert(out.end(), tail.begin(), tail.end());
  return out;
}

// The root with a folder, a file, a registry key with a value and a database
// with one record: sound, until a test spoils one part of it.
struct SoundParts {
  Nodes files = Nodes().Record(0x100, u"\\").File(u"a.txt", {'a', 'b', 'c'}).End();
  Nodes registry = Nodes().Key(0x200, u"HKEY_LOCAL_MACHINE").Key(0x201, u"Software").Value(u"v", 4, {1, 0, 0, 0}).End().End();
  Nodes databases = Nodes().Record(0x300, u"DATABASE").Record(0x301, u"Tasks").U32(7).U16(0).Raw(Record()).U16(0).End();

  // One record: an I4 and a string "x" behind the two entries.
  static Bytes Record() {
    Nodes r;
    r.U16(2).U32(36).U32(0x00010003).U32(0).U32(5).U32(0).U32(0x0002001F).U32(0).U32(32).U32(0);
    return r.Raw({'x', 0, 0, 0}).bytes;
  }
  Bytes Whole() const {
    Nodes all;
    all.Record(1, u"").Raw(files.bytes).Raw(registry.bytes).Raw(databases.bytes).End();
    return all.bytes;
  }
};

class VerdictTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FactoryContent();
    UserContent();
  }

  // The tlvarc program itself, as a user runs it.
  Verdict ToolVerdict(const Bytes& archive) {
    std::string path = (host_.path() / "archive.dat").string();
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(archive.data()), std::streamsize(archive.size()));
    tlvtest::ToolResult run = tlvtest::RunTool("tlvarc", {"verify", path});
    tool_says_ = run.err;
    return run.exit_code == 0 ? Verdict::kSound : run.exit_code == 1 ? Verdict::kDamaged : Verdict::kNeither;
  }

  Verdict DeviceVerdict(const Bytes& archive) {
    // Any archive's platform is accepted on a device that has none.
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, u"Platform");
    CreateDirectoryW(u"\\FlashDisk\\Backup", nullptr);
    EXPECT_TRUE(WriteDeviceFile(u"\\FlashDisk\\Backup\\Backup.dat", archive));
    testing::internal::CaptureStdout();
    int code = cedev::tool::RunJobCommand({"restore", "--location", "FlashDisk", "--password", PasswordOf(archive)});
    testing::internal::GetCapturedStdout();
    device_says_ = JobStatusName(JobStatus);
    if (code == 0) return Verdict::kSound;
    return JobStatus == STATUS_ARCHIVE_READ_FAILED ? Verdict::kDamaged : Verdict::kNeither;
  }

  // The password a block was made from is in the block; the verdict is
  // about the archive, not about knowing it.
  static std::string PasswordOf(const Bytes& archive) {
    archive::Header header;
    if (!archive::DecodeHeader(archive.data(), archive.size(), &header).ok() || !header.hasPasswordBlock) return "";
    char16_t padded[archive::kPasswordUnits];
    archive::RecoverPassword(header.passwordBlock, padded);
    return cedev::ToUtf8(std::u16string(padded, std::char_traits<char16_t>::length(padded)));
  }

  // Both verdicts agree, and are `expected` when one is given.
  void ExpectOneVerdict(const Bytes& archive, const std::string& what, std::optional<Verdict> expected = std::nullopt) {
    Verdict tool = ToolVerdict(archive), device = DeviceVerdict(archive);
    EXPECT_NE(device, Verdict::kNeither) << what << ": the device failed for its own reasons, " << device_says_;
    EXPECT_EQ(Name(tool), Name(device)) << what << "\n  tlvarc: " << tool_says_ << "  device: " << device_says_;
    if (expected) {
      EXPECT_EQ(Name(tool), Name(*expected)) << what << "\n  tlvarc: " << tool_says_;
    }
  }

  cedev::ScratchDevice dev_{cedev::FastDevice()};
  tlvtest::ScratchFolder host_;
  std::string tool_says_, device_says_;
};

TEST_F(VerdictTest, StoredSeedsAndRegressions) {
  int seen = 0;
  for (const char* folder : {"seeds", "regressions"}) {
    for (const auto& e : fs::directory_iterator(fs::path(TLVARC_FUZZ_DIR) / folder)) {
      if (e.path().filename() == "README") continue;
      std::ifstream in(e.path(), std::ios::binary);
      Bytes archive((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      ExpectOneVerdict(archive, e.path().string(), folder == std::string("seeds") ? std::optional(Verdict::kSound) : std::nullopt);
      ++seen;
    }
  }
  EXPECT_GE(seen, 4);
}

TEST_F(VerdictTest, TheDevicesOwnBackupsCutAndFlipped) {
  ASSERT_EQ(cedev::tool::RunJobCommand({"registry-backup", "--location", "FlashDisk"}), 0);
  Bytes registry = ArchiveFile(u"\\FlashDisk\\Backup\\Registory.dat");
  ASSERT_EQ(cedev::tool::RunJobCommand({"backup", "--location", "FlashDisk", "--password", "pw"}), 0);
  Bytes data = ArchiveFile();
  ExpectOneVerdict(registry, "registry backup", Verdict::kSound);
  ExpectOneVerdict(data, "data backup", Verdict::kSound);
  for (size_t cut = archive::kNodeStreamOffset; cut < data.size(); cut += 997)
    ExpectOneVerdict(Bytes(data.begin(), data.begin() + long(cut)), "cut at " + std::to_string(cut), Verdict::kDamaged);
  for (uint32_t seed = 1; seed <= 40; ++seed) {
    std::mt19937 random(seed);
    Bytes flipped = data;
    for (int i = 1 + int(random() % 4); i > 0; --i) {
      size_t at = archive::kNodeStreamOffset + random() % (flipped.size() - archive::kNodeStreamOffset);
      flipped[at] ^= uint8_t(1 + random() % 255);
    }
    ExpectOneVerdict(flipped, "flips of seed " + std::to_string(seed));
  }
}

TEST_F(VerdictTest, SoundArchiveWrittenByHand) {
  ExpectOneVerdict(ArchiveOf(SoundParts().Whole()), "sound", Verdict::kSound);
}

TEST_F(VerdictTest, WhatFollowsTheRoot) {
  Bytes nodes = SoundParts().Whole();
  ExpectOneVerdict(ArchiveOf(nodes, {0x85}), "a stray incomplete packet", Verdict::kDamaged);
  ExpectOneVerdict(ArchiveOf(nodes, {0x00, 0x41}), "a whole packet", Verdict::kDamaged);
  Bytes more = nodes;
  more.push_back(0xFF);
  ExpectOneVerdict(ArchiveOf(more), "a byte in the end marker's packet", Verdict::kDamaged);
}

TEST_F(VerdictTest, RecordsOutOfPlaceOrUnknown) {
  SoundParts p;
  struct Case {
    const char* what;
    Bytes nodes;
  } cases[] = {
      {"unknown type code", Nodes().Record(1, u"").Record(0x100, u"\\").U32(0x102).bytes},
      {"container left open", Nodes().Record(1, u"").Record(0x100, u"\\").bytes},
      {"a file under the root", Nodes().Record(1, u"").File(u"a", {}).End().bytes},
      {"a value under the root", Nodes().Record(1, u"").Value(u"v", 4, {1, 0, 0, 0}).End().bytes},
      {"a database in a folder", Nodes().Record(1, u"").Record(0x100, u"\\").Record(0x301, u"T").U32(1).U16(0).U16(0).End().End().bytes},
      {"the first record not the root", Nodes().Record(0x100, u"\\").End().bytes},
      {"the top folder not \\", Nodes().Record(1, u"").Record(0x100, u"Windows").End().End().bytes},
      {"not a registry root", Nodes().Record(1, u"").Key(0x200, u"HKEY_CURRENT_CONFIG").End().End().bytes},
  };
  for (const Case& c : cases) ExpectOneVerdict(ArchiveOf(c.nodes), c.what, Verdict::kDamaged);
  Nodes deep;
  deep.Record(1, u"").Key(0x200, u"HKEY_USERS");
  for (int i = 0; i < 600; ++i) deep.Key(0x201, u"k");
  for (int i = 0; i < 602; ++i) deep.End();
  ExpectOneVerdict(ArchiveOf(deep.bytes), "nesting 600 keys deep", Verdict::kDamaged);
}

TEST_F(VerdictTest, NamesTheDeviceRefuses) {
  const std::u16string fileNames[] = {u"..", u".", u"", u"a\\..\\b", u"c/d", u"a?b", u"a:b", u"a|b", u"a<b",
                                      std::u16string(u"a\x01" u"b"), std::u16string(u"a\0b", 3), std::u16string(300, u'x')};
  for (const auto& name : fileNames) {
    Nodes n;
    n.Record(1, u"").Record(0x100, u"\\").File(name, {'x'}).End().End();
    ExpectOneVerdict(ArchiveOf(n.bytes), "file " + cedev::ToUtf8(name), Verdict::kDamaged);
  }
  const std::u16string keyNames[] = {u"", u"a\\b", std::u16string(256, u'k'), std::u16string(u"a\0b", 3)};
  for (const auto& name : keyNames) {
    Nodes n;
    n.Record(1, u"").Key(0x200, u"HKEY_USERS").Key(0x201, name).End().End().End();
    ExpectOneVerdict(ArchiveOf(n.bytes), "key " + cedev::ToUtf8(name), Verdict::kDamaged);
  }
  Nodes zeroValue;
  zeroValue.Record(1, u"").Key(0x200, u"HKEY_USERS").Value(std::u16string(u"v\0w", 3), 4, {1, 0, 0, 0}).End().End();
  ExpectOneVerdict(ArchiveOf(zeroValue.bytes), "value name with a unit 0", Verdict::kDamaged);
  for (const std::u16string& name : {std::u16string(), std::u16string(40, u'd')}) {
    Nodes n;
    n.Record(1, u"").Record(0x300, u"DATABASE").Record(0x301, name).U32(1).U16(0).U16(0).End().End();
    ExpectOneVerdict(ArchiveOf(n.bytes), "database " + cedev::ToUtf8(name), Verdict::kDamaged);
  }
}

TEST_F(VerdictTest, LengthsNoRecordCanHave) {
  Nodes bigValue;
  bigValue.Record(1, u"").Key(0x200, u"HKEY_USERS").Value(u"v", 3, Bytes(4097, 0x5A)).End().End();
  ExpectOneVerdict(ArchiveOf(bigValue.bytes), "a value of 4097 bytes", Verdict::kDamaged);
  Nodes fullValue;
  fullValue.Record(1, u"").Key(0x200, u"HKEY_USERS").Value(u"v", 3, Bytes(4096, 0x5A)).End().End();
  ExpectOneVerdict(ArchiveOf(fullValue.bytes), "a value of 4096 bytes", Verdict::kSound);
  Nodes hugeValue;
  hugeValue.Record(1, u"").Key(0x200, u"HKEY_USERS").Record(0x202, u"v").U32(3).U32(0xFFFFFFF0);
  ExpectOneVerdict(ArchiveOf(hugeValue.bytes), "a value claiming 4 GB", Verdict::kDamaged);
  Nodes hugeFile;
  hugeFile.Record(1, u"").Record(0x100, u"\\").Record(0x101, u"big");
  for (int i = 0; i < 7; ++i) hugeFile.U32(0);
  hugeFile.U32(0xFFFFFFFF);
  ExpectOneVerdict(ArchiveOf(hugeFile.bytes), "a file claiming 4 GB", Verdict::kDamaged);
  Nodes sorts;
  sorts.Record(1, u"").Record(0x300, u"DATABASE").Record(0x301, u"T").U32(1).U16(5);
  for (int i = 0; i < 5; ++i) sorts.U32(0x00010013).U32(0);
  sorts.U16(0).End().End();
  ExpectOneVerdict(ArchiveOf(sorts.bytes), "five sort orders", Verdict::kDamaged);
}

TEST_F(VerdictTest, RecordBuffersThatLeaveTheirData) {
  auto withRecord = [](const Bytes& record) {
    Nodes n;
    n.Record(1, u"").Record(0x300, u"DATABASE").Record(0x301, u"T").U32(1).U16(0).Raw(record).U16(0).End().End();
    return ArchiveOf(n.bytes);
  };
  Bytes good = SoundParts::Record();
  ExpectOneVerdict(withRecord(good), "a sound record", Verdict::kSound);
  struct Spoil {
    const char* what;
    size_t at;  // offset in the block: count (2), size (4), then the buffer
    uint8_t value;
  } spoils[] = {
      {"a string starting inside the entries", 6 + 16 + 8, 8},
      {"a string starting past the end", 6 + 16 + 8, 200},
      {"a string without its terminator", 6 + 32 + 1, 'y'},
      {"an unknown property type", 6 + 0, 99},
      {"a buffer too small for its entries", 2, 20},
  };
  for (const Spoil& s : spoils) {
    Bytes bad = good;
    bad[s.at] = s.value;
    if (s.at == 6 + 32 + 1) bad[6 + 32 + 2] = bad[6 + 32 + 3] = 'y';
    ExpectOneVerdict(withRecord(bad), s.what, Verdict::kDamaged);
  }
  Nodes blob;
  blob.U16(1).U32(20).U32(0x00010041).U32(0).U32(5).U32(16).Raw({1, 2, 3, 4});
  ExpectOneVerdict(withRecord(blob.bytes), "a blob past the end", Verdict::kDamaged);
  Nodes emptyBlob;
  emptyBlob.U16(1).U32(16).U32(0x00010041).U32(0).U32(0).U32(0xFFFF);
  ExpectOneVerdict(withRecord(emptyBlob.bytes), "an empty blob pointing anywhere", Verdict::kSound);
}

}  // namespace
