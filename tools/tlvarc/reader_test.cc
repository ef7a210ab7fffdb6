// info, list and verify over hand-built archives, sound and damaged.
#include <gmock/gmock.h>

#include <random>

#include "test_archives.h"

namespace tlvarc::testing {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

class ReaderTest : public ToolTest {
 protected:
  std::string Sample() {
    std::string path = Path("Backup.dat");
    WriteAll(path, ArchiveBuilder().SampleData().Finish());
    return path;
  }
};

TEST_F(ReaderTest, InfoCountsEveryKindOfRecord) {
  std::string path = Sample();
  ASSERT_EQ(Run({"info", path, "--json"}), 0) << Err();
  auto j = nlohmann::json::parse(Out());
  EXPECT_EQ(j["version"], "0x00010002");
  EXPECT_EQ(j["platform"], "Tovak");
  EXPECT_EQ(j["password"], false);
  EXPECT_EQ(j["registryOnly"], false);
  EXPECT_EQ(j["folders"], 2);  // "\" and My Documents
  EXPECT_EQ(j["files"], 3);
  EXPECT_EQ(j["fileBytes"], 1005);
  EXPECT_EQ(j["registryKeys"], 6);  // four roots, init, Empty
  EXPECT_EQ(j["registryValues"], 3);
  EXPECT_EQ(j["databases"], 2);
  EXPECT_EQ(j["records"], 2);
  EXPECT_EQ(j["codedSize"], ReadAll(path).size());
  EXPECT_EQ(j["decodedSize"], DecodedNodes(ReadAll(path)).size());
}

TEST_F(ReaderTest, InfoTellsRegistryOnlyAndPasswordAndOldLayout) {
  std::string reg = Path("Registory.dat");
  WriteAll(reg, ArchiveBuilder(u"secret").SampleRegistryOnly().Finish());
  ASSERT_EQ(Run({"info", reg}), 0) << Err();
  EXPECT_THAT(Out(), HasSubstr("registry-only archive"));
  EXPECT_THAT(Out(), HasSubstr("password:         set"));

  std::string old = Path("Old.dat");
  WriteAll(old, ToOldLayout(ArchiveBuilder().SampleData().Finish()));
  ASSERT_EQ(Run({"info", old}), 0) << Err();
  EXPECT_THAT(Out(), HasSubstr("0x00010001"));
  EXPECT_THAT(Out(), HasSubstr("none (older format)"));
  EXPECT_THAT(Out(), HasSubstr("files:            3"));
}

TEST_F(ReaderTest, ListShowsDevicePathsInArchiveOrder) {
  ASSERT_EQ(Run({"list", Sample()}), 0) << Err();
  EXPECT_EQ(Out(),
            "\\\n"
            "\\My Documents\n"
            "\\My Documents\\a.txt\n"
            "\\My Documents\\empty.bin\n"
            "\\top.dat\n"
            "HKEY_CLASSES_ROOT\n"
            "HKEY_CURRENT_USER\n"
            "HKEY_LOCAL_MACHINE\n"
            "HKEY_LOCAL_MACHINE\\init\n"
            "HKEY_LOCAL_MACHINE\\init\\Launch80\n"
            "HKEY_LOCAL_MACHINE\\init\\Depend80\n"
            "HKEY_LOCAL_MACHINE\\init\\@\n"
            "HKEY_LOCAL_MACHINE\\init\\Empty\n"
            "HKEY_USERS\n"
            "DATABASE\n"
            "DATABASE\\Contacts Database\n"
            "DATABASE\\Contacts Database #1\n"
            "DATABASE\\Contacts Database #2\n"
            "DATABASE\\Empty\n");
}

TEST_F(ReaderTest, ListPatternsSelectPathsAndEverythingBelow) {
  std::string path = Sample();
  ASSERT_EQ(Run({"list", path, "\\my documents"}), 0) << Err();
  EXPECT_EQ(Out(), "\\My Documents\n\\My Documents\\a.txt\n\\My Documents\\empty.bin\n");
  ASSERT_EQ(Run({"list", path, "*.dat", "HKEY_LOCAL_MACHINE\\init\\Launch??"}), 0) << Err();
  EXPECT_EQ(Out(), "\\top.dat\nHKEY_LOCAL_MACHINE\\init\\Launch80\n");
  ASSERT_EQ(Run({"list", path, "nothing*"}), 0) << Err();
  EXPECT_EQ(Out(), "");
}

TEST_F(ReaderTest, ListLongAndJsonCarryAttributesSizesAndTimes) {
  std::string path = Sample();
  ASSERT_EQ(Run({"list", path, "--long", "*a.txt"}), 0) << Err();
  EXPECT_THAT(Out(), HasSubstr("file"));
  EXPECT_THAT(Out(), HasSubstr("----A---"));
  EXPECT_THAT(Out(), HasSubstr("           5  "));
  ASSERT_EQ(Run({"list", path, "--json", "*empty.bin"}), 0) << Err();
  auto j = nlohmann::json::parse(Out());
  ASSERT_EQ(j.size(), 1u);
  EXPECT_EQ(j[0]["path"], "\\My Documents\\empty.bin");
  EXPECT_EQ(j[0]["attributes"], 0x21);
  EXPECT_EQ(j[0]["size"], 0);
  EXPECT_EQ(j[0]["kind"], "file");
  EXPECT_NE(j[0]["modified"], j[0]["created"]);
}

TEST_F(ReaderTest, VerifyAcceptsEveryVersionAndKind) {
  EXPECT_EQ(Run({"verify", Sample()}), 0) << Err();
  EXPECT_THAT(Out(), HasSubstr("sound"));
  std::string old = Path("Old.dat");
  WriteAll(old, ToOldLayout(ArchiveBuilder().SampleData().Finish()));
  EXPECT_EQ(Run({"verify", old}), 0) << Err();
  std::string reg = Path("Registory.dat");
  WriteAll(reg, ArchiveBuilder().SampleRegistryOnly().Finish());
  EXPECT_EQ(Run({"verify", reg}), 0) << Err();
}

TEST_F(ReaderTest, VerifyChecksThePasswordOnlyWhenAsked) {
  std::string path = Path("Backup.dat");
  WriteAll(path, ArchiveBuilder(u"abc").SampleData().Finish());
  EXPECT_EQ(Run({"verify", path}), 0) << Err();
  EXPECT_EQ(Run({"verify", path, "--password"}), 2);  // no terminal, no variable
  EXPECT_THAT(Err(), HasSubstr("TLVARC_PASSWORD"));
  ::setenv(kPasswordEnv, "ABC", 1);
  EXPECT_EQ(Run({"verify", path, "--password"}), 3);
  EXPECT_THAT(Err(), HasSubstr("wrong password"));
  ::setenv(kPasswordEnv, "abc", 1);
  EXPECT_EQ(Run({"verify", path, "--password"}), 0) << Err();
}

TEST_F(ReaderTest, UsageErrorsExitTwoWithHelp) {
  EXPECT_EQ(Run({}), 2);
  EXPECT_EQ(Run({"frobnicate"}), 2);
  EXPECT_THAT(Err(), HasSubstr("unknown command"));
  EXPECT_EQ(Run({"verify"}), 2);
  EXPECT_THAT(Err(), HasSubstr("usage: tlvarc verify"));
  EXPECT_EQ(Run({"list", Sample(), "--bogus"}), 2);
  EXPECT_THAT(Err(), HasSubstr("not expected: --bogus"));  // CLI11's words for an unknown option
  EXPECT_EQ(Run({"info", Path("missing.dat")}), 2);
  EXPECT_THAT(Err(), HasSubstr("missing.dat"));
  for (const char* command : {"info", "list", "verify", "extract", "create", "compare", "passwd"}) {
    EXPECT_EQ(Run({command, "--help"}), 0) << command;
    EXPECT_THAT(Out(), HasSubstr(std::string("usage: tlvarc ") + command));
  }
}

// Damage: each case names what is wrong, where, and exits 1.
class DamageTest : public ReaderTest {
 protected:
  int VerifyNodes(const std::vector<uint8_t>& nodes) {
    std::string path = Path("damaged.dat");
    WriteAll(path, EncodeNodes(nodes));
    return Run({"verify", path});
  }
  static void Add32(std::vector<uint8_t>* v, uint32_t x) {
    for (int i = 0; i < 4; ++i) v->push_back(uint8_t(x >> (8 * i)));
  }
  static void AddName(std::vector<uint8_t>* v, const std::u16string& s) {
    v->push_back(uint8_t(s.size()));
    v->push_back(uint8_t(s.size() >> 8));
    for (char16_t c : s) v->push_back(uint8_t(c >> 8));
    for (char16_t c : s) v->push_back(uint8_t(c));
  }
  static std::vector<uint8_t> RootAndTop() {
    std::vector<uint8_t> v;
    Add32(&v, 1);
    AddName(&v, u"");
    Add32(&v, 0x100);
    AddName(&v, u"\\");
    return v;
  }
};

TEST_F(DamageTest, UnknownTypeCodeNamesItsContainerAndOffset) {
  auto v = RootAndTop();
  Add32(&v, 0x102);
  EXPECT_EQ(VerifyNodes(v), 1);
  EXPECT_THAT(Err(), HasSubstr("\\ (decoded offset 14): unknown type code 0x102"));
}

TEST_F(DamageTest, ContainerLeftOpenOrDataAfterRoot) {
  auto v = RootAndTop();
  EXPECT_EQ(VerifyNodes(v), 1);
  EXPECT_THAT(Err(), HasSubstr("the archive ends before the folder is closed"));
  Add32(&v, 0xFFFFFFFF);
  Add32(&v, 0xFFFFFFFF);
  v.push_back(0);
  EXPECT_EQ(VerifyNodes(v), 1);
  EXPECT_THAT(Err(), HasSubstr("decoded offset 22): data follows the end of the root"));
}

// A sound archive with one stray, incomplete packet after the end of the
// root: a control byte whose data never comes.
TEST_F(DamageTest, AStrayIncompletePacketAfterTheRootIsDamage) {
  std::vector<uint8_t> sound = ArchiveBuilder().SampleData().Finish();
  std::string path = Path("stray.dat");
  WriteAll(path, sound);
  ASSERT_EQ(Run({"verify", path}), 0) << Err();
  for (std::vector<uint8_t> tail : {std::vector<uint8_t>{0x05}, std::vector<uint8_t>{0x85}, std::vector<uint8_t>{0xFE, 0x41}}) {
    std::vector<uint8_t> damaged = sound;
    damaged.insert(damaged.end(), tail.begin(), tail.end());
    WriteAll(path, damaged);
    EXPECT_EQ(Run({"verify", path}), 1) << int(tail[0]);
    EXPECT_THAT(Err(), HasSubstr("an incomplete packet follows the end of the root")) << int(tail[0]);
  }
}

TEST_F(DamageTest, RecordsOutOfPlaceAreRefused) {
  std::vector<uint8_t> v;
  Add32(&v, 1);
  AddName(&v, u"");
  Add32(&v, 0x101);  // a file directly under the root
  AddName(&v, u"a");
  EXPECT_EQ(VerifyNodes(v), 1);
  EXPECT_THAT(Err(), HasSubstr("a file record cannot stand in a root"));
  v.clear();
  Add32(&v, 0x100);
  EXPECT_EQ(VerifyNodes(v), 1);
  EXPECT_THAT(Err(), HasSubstr("the first record is not the root"));
}

TEST_F(DamageTest, HostileNamesAreRefused) {
  const std::u16string names[] = {u"..", u".", u"", u"a\\..\\b", u"c/d", u"C:\\Windows", std::u16string(300, u'x')};
  for (const auto& name : names) {
    auto v = RootAndTop();
    Add32(&v, 0x101);
    AddName(&v, name);
    for (int i = 0; i < 8; ++i) Add32(&v, 0);
    Add32(&v, 0xFFFFFFFF);
    Add32(&v, 0xFFFFFFFF);
    EXPECT_EQ(VerifyNodes(v), 1) << Utf8(name);
  }
  auto v = RootAndTop();
  v[12] = 1;  // the top folder "\\" becomes U+015C
  EXPECT_EQ(VerifyNodes(v), 1);
  EXPECT_THAT(Err(), HasSubstr("the top folder must be named"));
}

TEST_F(DamageTest, DeepNestingIsRefusedWithoutRecursion) {
  std::vector<uint8_t> v;
  Add32(&v, 1);
  AddName(&v, u"");
  Add32(&v, 0x200);
  AddName(&v, u"HKEY_USERS");
  AddName(&v, u"");
  for (int i = 0; i < 100000; ++i) {
    Add32(&v, 0x201);
    AddName(&v, u"k");
    AddName(&v, u"");
  }
  EXPECT_EQ(VerifyNodes(v), 1);
  EXPECT_THAT(Err(), HasSubstr("nesting deeper than 512 levels"));
}

TEST_F(DamageTest, HugeLengthsFailWithoutAllocating) {
  std::vector<uint8_t> v;
  Add32(&v, 1);
  AddName(&v, u"");
  Add32(&v, 0x200);
  AddName(&v, u"HKEY_USERS");
  AddName(&v, u"");
  Add32(&v, 0x202);
  AddName(&v, u"v");
  Add32(&v, 3);
  Add32(&v, 0xFFFFFFF0);
  EXPECT_EQ(VerifyNodes(v), 1);
  EXPECT_THAT(Err(), HasSubstr("HKEY_USERS\\v"));
  EXPECT_THAT(Err(), HasSubstr("larger than any registry value"));

  auto file = RootAndTop();
  Add32(&file, 0x101);
  AddName(&file, u"big");
  for (int i = 0; i < 7; ++i) Add32(&file, 0);
  Add32(&file, 0xFFFFFFFF);  // 4 GiB of content that is not there
  EXPECT_EQ(VerifyNodes(file), 1);
  EXPECT_THAT(Err(), HasSubstr("\\big"));
  EXPECT_THAT(Err(), HasSubstr("ends inside the file's content"));
}

class DatabaseDamageTest : public DamageTest {
 protected:
  std::vector<uint8_t> DatabaseWith(uint16_t sorts, uint16_t count, const std::vector<uint8_t>& buffer) {
    std::vector<uint8_t> v;
    Add32(&v, 1);
    AddName(&v, u"");
    Add32(&v, 0x300);
    AddName(&v, u"DATABASE");
    Add32(&v, 0x301);
    AddName(&v, u"Tasks");
    Add32(&v, 7);
    v.push_back(uint8_t(sorts));
    v.push_back(0);
    for (uint16_t i = 0; i < sorts; ++i) {
      Add32(&v, 0x10013);
      Add32(&v, 0);
    }
    v.push_back(uint8_t(count));
    v.push_back(0);
    Add32(&v, uint32_t(buffer.size()));
    v.insert(v.end(), buffer.begin(), buffer.end());
    v.push_back(0);
    v.push_back(0);
    Add32(&v, 0xFFFFFFFF);
    Add32(&v, 0xFFFFFFFF);
    return v;
  }
};

TEST_F(DatabaseDamageTest, SoundRecordPassesAndFiveSortOrdersFail) {
  RecordBuilder r;
  r.String(1, u"x").Blob(2, Bytes("ab"));
  EXPECT_EQ(VerifyNodes(DatabaseWith(4, r.Count(), r.Build())), 0) << Err();
  EXPECT_EQ(VerifyNodes(DatabaseWith(5, r.Count(), r.Build())), 1);
  EXPECT_THAT(Err(), HasSubstr("DATABASE\\Tasks"));
  EXPECT_THAT(Err(), HasSubstr("5 sort orders"));
}

TEST_F(DatabaseDamageTest, OffsetsOutsideTheRecordAreDamage) {
  RecordBuilder s;
  s.String(1, u"abc");
  auto buffer = s.Build();
  buffer[8] = 200;  // string offset past the end
  EXPECT_EQ(VerifyNodes(DatabaseWith(0, 1, buffer)), 1);
  EXPECT_THAT(Err(), HasSubstr("DATABASE\\Tasks #1"));
  EXPECT_THAT(Err(), HasSubstr("string runs past the end"));

  auto unterminated = s.Build();
  unterminated.resize(unterminated.size() - 2);
  EXPECT_EQ(VerifyNodes(DatabaseWith(0, 1, unterminated)), 1);
  EXPECT_THAT(Err(), HasSubstr("string runs past the end"));

  RecordBuilder b;
  b.Blob(1, Bytes("abcd"));
  auto blob = b.Build();
  blob[8] = 5;  // blob length one more than there is
  EXPECT_EQ(VerifyNodes(DatabaseWith(0, 1, blob)), 1);
  EXPECT_THAT(Err(), HasSubstr("blob runs past the end"));

  EXPECT_EQ(VerifyNodes(DatabaseWith(0, 2, b.Build())), 1);
  EXPECT_THAT(Err(), HasSubstr("cannot hold 2 properties"));

  auto unknown = b.Build();
  unknown[0] = 99;
  EXPECT_EQ(VerifyNodes(DatabaseWith(0, 1, unknown)), 1);
  EXPECT_THAT(Err(), HasSubstr("unknown value type 99"));
}

TEST_F(ReaderTest, TruncationAtEveryOffsetIsDamageNeverACrash) {
  auto bytes = ArchiveBuilder().SampleData().Finish();
  std::string path = Path("cut.dat");
  for (size_t size = 0; size < bytes.size(); ++size) {
    WriteAll(path, std::vector<uint8_t>(bytes.begin(), bytes.begin() + long(size)));
    ASSERT_EQ(Run({"verify", path}), 1) << "cut at " << size << ": " << Err();
    ASSERT_THAT(Err(), HasSubstr("tlvarc: ")) << size;
  }
}

TEST_F(ReaderTest, RandomByteFlipsNeverCrashOrHang) {
  auto bytes = ArchiveBuilder().SampleData().Finish();
  std::string path = Path("flipped.dat");
  std::mt19937 random(12345);
  int damaged = 0;
  for (int round = 0; round < 2000; ++round) {
    auto copy = bytes;
    size_t at = archive::kNodeStreamOffset + random() % (copy.size() - archive::kNodeStreamOffset);
    copy[at] ^= uint8_t(1 + random() % 255);
    WriteAll(path, copy);
    int code = Run({"verify", path});
    ASSERT_TRUE(code == 0 || code == 1) << Err();
    damaged += code == 1;
    ASSERT_EQ(Run({"list", path}), code);
  }
  EXPECT_GT(damaged, 1000);
}

TEST_F(ReaderTest, FuzzSeedsAreSoundAndFoundCrashesEndCleanly) {
  namespace fs = std::filesystem;
  int seeds = 0;
  for (const auto& e : fs::directory_iterator(fs::path(TLVARC_FUZZ_DIR) / "seeds")) {
    EXPECT_EQ(Run({"verify", e.path().string()}), 0) << e.path() << ": " << Err();
    ++seeds;
  }
  EXPECT_GE(seeds, 3);
  for (const auto& e : fs::directory_iterator(fs::path(TLVARC_FUZZ_DIR) / "regressions")) {
    if (e.path().filename() == "README") continue;
    int code = Run({"verify", e.path().string()});
    EXPECT_TRUE(code == 0 || code == 1) << e.path() << ": " << Err();
  }
}

}  // namespace
}  // namespace tlvarc::testing
