// extract and create: what lands in the folder, and packing it again gives
// the same node stream.
#include <gmock/gmock.h>

#include <filesystem>

#include "ce/file.h"
#include "test_archives.h"
#include "text.h"

namespace tlvarc::testing {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

std::string ReadText(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

class ExtractTest : public ToolTest {
 protected:
  // Extracts `bytes`, packs the folder again and expects the same node stream.
  void ExpectRoundTrip(const std::vector<uint8_t>& bytes) {
    std::string original = Path("original.dat"), repacked = Path("repacked.dat"), out = Path("out");
    WriteAll(original, bytes);
    ASSERT_EQ(Run({"extract", original, out}), 0) << Err();
    ASSERT_EQ(Run({"create", repacked, "--from", out}), 0) << Err();
    EXPECT_EQ(DecodedNodes(ReadAll(repacked)), DecodedNodes(bytes));
    fs::remove_all(out);
  }
};

TEST_F(ExtractTest, FilesLandWithContentTimesAndManifest) {
  std::string path = Path("Backup.dat"), out = Path("out");
  WriteAll(path, ArchiveBuilder().SampleData().Finish());
  ASSERT_EQ(Run({"extract", path, out}), 0) << Err();
  EXPECT_EQ(ReadText(fs::path(out) / "files/My Documents/a.txt"), "hello");
  EXPECT_EQ(ReadText(fs::path(out) / "files/top.dat"), std::string(1000, 'z'));
  EXPECT_EQ(fs::file_size(fs::path(out) / "files/My Documents/empty.bin"), 0u);
  // The host modification time is the archived last-write time.
  struct stat st;
  ASSERT_EQ(::stat((fs::path(out) / "files/top.dat").c_str(), &st), 0);
  uint64_t ticks = 0x01D9000000000000ull + 20000000;
  EXPECT_EQ(int64_t(st.st_mtim.tv_sec), int64_t(ticks / 10000000) - 11644473600);
  std::string manifest = ReadText(fs::path(out) / "files.manifest");
  EXPECT_THAT(manifest, HasSubstr(R"("attributes":33)"));
  EXPECT_THAT(manifest, HasSubstr(R"("file":"empty.bin")"));
  EXPECT_THAT(manifest, HasSubstr(R"("folder":"\\")"));
}

TEST_F(ExtractTest, RegistryIsRegeditTextWithExactData) {
  std::string path = Path("Backup.dat"), out = Path("out");
  WriteAll(path, ArchiveBuilder().SampleData().Finish());
  ASSERT_EQ(Run({"extract", path, out}), 0) << Err();
  EXPECT_EQ(ReadText(fs::path(out) / "registry.reg"),
            "Windows Registry Editor Version 5.00\n"
            "\n[HKEY_CLASSES_ROOT]\n"
            "\n[HKEY_CURRENT_USER]\n"
            "\n[HKEY_LOCAL_MACHINE]\n"
            "\n[HKEY_LOCAL_MACHINE\\init]\n"
            "\"Launch80\"=\"tolvane.exe\"\n"
            "\"Depend80\"=hex:00,14\n"
            "@=dword:00000001\n"
            "\n[HKEY_LOCAL_MACHINE\\init\\Empty]\n"
            "; class: \"cls\"\n"
            "\n[HKEY_USERS]\n");
}

TEST_F(ExtractTest, DatabasesAreJsonWithTypedProperties) {
  std::string path = Path("Backup.dat"), out = Path("out");
  WriteAll(path, ArchiveBuilder().SampleData().Finish());
  ASSERT_EQ(Run({"extract", path, out}), 0) << Err();
  auto doc = nlohmann::json::parse(ReadText(fs::path(out) / "databases.json"));
  EXPECT_EQ(doc["name"], "DATABASE");
  ASSERT_EQ(doc["databases"].size(), 2u);
  const auto& contacts = doc["databases"][0];
  EXPECT_EQ(contacts["name"], "Contacts Database");
  EXPECT_EQ(contacts["type"], 0x1234);
  EXPECT_EQ(contacts["sortOrders"][1]["flags"], 2);
  const auto& props = contacts["records"][0]["properties"];
  EXPECT_EQ(props[0]["type"], "i4");
  EXPECT_EQ(props[0]["value"], 42);
  EXPECT_EQ(props[1]["type"], "string");
  EXPECT_EQ(props[1]["value"], "Ann");
  EXPECT_EQ(props[2]["type"], "blob");
  EXPECT_EQ(props[2]["value"], "010203");
  EXPECT_FALSE(contacts["records"][0].contains("raw"));
  EXPECT_EQ(contacts["records"][1]["properties"][0]["value"], 0x01D9000012345678ull);
  EXPECT_TRUE(doc["databases"][1]["records"].empty());
}

TEST_F(ExtractTest, ExtractThenCreateGivesTheSameNodeStream) {
  ExpectRoundTrip(ArchiveBuilder().SampleData().Finish());
  ExpectRoundTrip(ArchiveBuilder().SampleRegistryOnly().Finish());
  ExpectRoundTrip(ToOldLayout(ArchiveBuilder().SampleData().Finish()));
}

TEST_F(ExtractTest, EveryRegistryValueFormRoundTrips) {
  ArchiveBuilder b;
  using namespace archive;
  NodeWriter& w = b.W();
  ASSERT_TRUE(w.Container(kNodeRoot, u"").ok());
  ASSERT_TRUE(w.Key(kNodeRegRoot, u"HKEY_LOCAL_MACHINE", u"root class").ok());
  ASSERT_TRUE(w.Key(kNodeRegKey, u"K", u"").ok());
  ASSERT_TRUE(w.Value(u"sz", 1, Utf16Data(u"plain \"quoted\" C:\\path \u00e9\u3042")).ok());
  ASSERT_TRUE(w.Value(u"sz no terminator", 1, {0x41, 0x00}).ok());
  ASSERT_TRUE(w.Value(u"sz inner zero", 1, {0x41, 0, 0, 0, 0x42, 0, 0, 0}).ok());
  ASSERT_TRUE(w.Value(u"sz odd", 1, {0x41, 0, 0}).ok());
  ASSERT_TRUE(w.Value(u"sz lone surrogate", 1, {0x00, 0xD8, 0, 0}).ok());
  ASSERT_TRUE(w.Value(u"sz newline", 1, Utf16Data(u"a\r\nb")).ok());
  ASSERT_TRUE(w.Value(u"expand", 2, Utf16Data(u"%windir%")).ok());
  ASSERT_TRUE(w.Value(u"multi", 7, {0x61, 0, 0, 0, 0x62, 0, 0, 0, 0, 0}).ok());
  ASSERT_TRUE(w.Value(u"dword", 4, {0x78, 0x56, 0x34, 0x12}).ok());
  ASSERT_TRUE(w.Value(u"short dword", 4, {1, 2, 3}).ok());
  ASSERT_TRUE(w.Value(u"binary", 3, {}).ok());
  ASSERT_TRUE(w.Value(u"none", 0, {9}).ok());
  ASSERT_TRUE(w.Value(u"big endian", 5, {0, 0, 0, 1}).ok());
  ASSERT_TRUE(w.Value(u"odd type", 0xDEADBEEF, {1, 2}).ok());
  ASSERT_TRUE(w.Value(u"name \"with\" \\ and\nnewline", 4, {0, 0, 0, 0}).ok());
  ASSERT_TRUE(w.Value(u"", 1, Utf16Data(u"")).ok());
  ASSERT_TRUE(w.Key(kNodeRegKey, u"Sub]key [x]", u"").ok());
  ASSERT_TRUE(w.End().ok());
  // A value after a subkey: the header of K comes again.
  ASSERT_TRUE(w.Value(u"late", 4, {5, 0, 0, 0}).ok());
  ASSERT_TRUE(w.End().ok());
  ASSERT_TRUE(w.Value(u"on the root", 3, {0xFF}).ok());
  ASSERT_TRUE(w.End().ok());
  ASSERT_TRUE(w.End().ok());
  ExpectRoundTrip(b.Finish());
}

TEST_F(ExtractTest, RecordsTheTypedFormCannotCarryKeepTheirRawBytes) {
  ArchiveBuilder b;
  using namespace archive;
  NodeWriter& w = b.W();
  ASSERT_TRUE(w.Container(kNodeRoot, u"").ok());
  ASSERT_TRUE(w.Container(kNodeDbFolder, u"DATABASE").ok());
  ASSERT_TRUE(w.Database(u"Odd", DatabaseFields{7, 4, {{0x10002, 1}, {0x20003, 2}, {0x30005, 3}, {0x40012, 4}}}).ok());
  RecordBuilder r;
  r.Int(1, archive::kPropI2, 0xFFFFFFFFFFFF8001ull);  // bytes past the I2 are not zero
  ASSERT_TRUE(w.Record(r.Count(), r.Build()).ok());
  RecordBuilder all;
  all.Int(1, archive::kPropI2, 0xFFFF).Int(2, archive::kPropUI2, 0xFFFF).Int(3, archive::kPropI4, 0x80000000).Int(4, archive::kPropUI4, 0xFFFFFFFF)
      .Int(5, archive::kPropBool, 1).Int(6, archive::kPropR8, 0x400921FB54442D18ull).Int(7, archive::kPropFileTime, 0x0123456789ABCDEFull)
      .String(8, u"").Blob(9, {});
  ASSERT_TRUE(w.Record(all.Count(), all.Build()).ok());
  auto padded = all.Build();
  padded.push_back(0xAA);  // a byte no property covers
  ASSERT_TRUE(w.Record(all.Count(), padded).ok());
  ASSERT_TRUE(w.DatabaseEnd().ok());
  ASSERT_TRUE(w.End().ok());
  ASSERT_TRUE(w.End().ok());
  ExpectRoundTrip(b.Finish());
}

TEST_F(ExtractTest, NamesTheHostCannotTakeAreMadeSafeAndKeptExact) {
  ArchiveBuilder b;
  using namespace archive;
  NodeWriter& w = b.W();
  ASSERT_TRUE(w.Container(kNodeRoot, u"").ok());
  ASSERT_TRUE(w.Container(kNodeDirectory, u"\\").ok());
  b.FileField(u"a\x7F" u"b", 0x20, "one");  // DEL: a name on the device, not on the host
  b.FileField(u"a_b", 0x20, "two");
  b.FileField(u"lone \xD800 surrogate", 0x20, "three");
  b.FileField(std::u16string(250, u'\u3042'), 0x20, "long");
  ASSERT_TRUE(w.Container(kNodeDirectory, u"a\x7F\x7F" u"b").ok());
  b.FileField(u"x", 0x20, "four");
  ASSERT_TRUE(w.End().ok());
  ASSERT_TRUE(w.End().ok());
  ASSERT_TRUE(w.End().ok());
  auto bytes = b.Finish();
  std::string path = Path("names.dat"), out = Path("out");
  WriteAll(path, bytes);
  ASSERT_EQ(Run({"extract", path, out}), 0) << Err();
  EXPECT_EQ(ReadText(fs::path(out) / "files/a_b"), "one");
  EXPECT_EQ(ReadText(fs::path(out) / "files/a_b~2"), "two");
  EXPECT_EQ(ReadText(fs::path(out) / "files/a__b/x"), "four");
  fs::remove_all(out);
  ExpectRoundTrip(bytes);
}

TEST_F(ExtractTest, PatternsExtractOnlyWhatTheySelectWithItsFolders) {
  std::string path = Path("Backup.dat"), out = Path("out");
  WriteAll(path, ArchiveBuilder().SampleData().Finish());
  ASSERT_EQ(Run({"extract", path, out, "*a.txt", "HKEY_LOCAL_MACHINE\\init\\Launch80"}), 0) << Err();
  EXPECT_TRUE(fs::exists(fs::path(out) / "files/My Documents/a.txt"));
  EXPECT_FALSE(fs::exists(fs::path(out) / "files/top.dat"));
  EXPECT_FALSE(fs::exists(fs::path(out) / "databases.json"));
  EXPECT_EQ(ReadText(fs::path(out) / "registry.reg"),
            "Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE]\n\n[HKEY_LOCAL_MACHINE\\init]\n"
            "\"Launch80\"=\"tolvane.exe\"\n");
  // What was extracted packs again into a sound archive with just that.
  std::string repacked = Path("part.dat");
  ASSERT_EQ(Run({"create", repacked, "--from", out}), 0) << Err();
  ASSERT_EQ(Run({"list", repacked}), 0) << Err();
  EXPECT_EQ(Out(), "\\\n\\My Documents\n\\My Documents\\a.txt\nHKEY_LOCAL_MACHINE\nHKEY_LOCAL_MACHINE\\init\n"
                   "HKEY_LOCAL_MACHINE\\init\\Launch80\n");
}

TEST_F(ExtractTest, WrongOrMissingPasswordWritesNothing) {
  std::string path = Path("Backup.dat"), out = Path("out");
  WriteAll(path, ArchiveBuilder(u"pw").SampleData().Finish());
  EXPECT_EQ(Run({"extract", path, out}), 2) << "no password was tried: a usage error";
  EXPECT_THAT(Err(), HasSubstr("give --password"));
  ::setenv(kPasswordEnv, "PW", 1);
  EXPECT_EQ(Run({"extract", path, out, "--password"}), 3);
  EXPECT_FALSE(fs::exists(out));
  ::setenv(kPasswordEnv, "pw", 1);
  EXPECT_EQ(Run({"extract", path, out, "--password"}), 0) << Err();
  EXPECT_TRUE(fs::exists(fs::path(out) / "files/top.dat"));
}

TEST_F(ExtractTest, RefusesAFolderThatIsNotEmpty) {
  std::string path = Path("Backup.dat"), out = Path("out");
  WriteAll(path, ArchiveBuilder().SampleData().Finish());
  fs::create_directories(out);
  WriteAll(out + "/keep", {1});
  EXPECT_EQ(Run({"extract", path, out}), 2);
  EXPECT_THAT(Err(), HasSubstr("is not empty"));
  EXPECT_EQ(ReadAll(out + "/keep"), std::vector<uint8_t>{1});
}

// A read-only device file with a last-write time that is not a whole second.
std::vector<uint8_t> ReadOnlyArchive(uint64_t time) {
  ArchiveBuilder b;
  EXPECT_TRUE(b.W().Container(archive::kNodeRoot, u"").ok());
  EXPECT_TRUE(b.W().Container(archive::kNodeDirectory, u"\\").ok());
  EXPECT_TRUE(b.W().FileHeader(u"locked.txt", Fields(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE, 3, time)).ok());
  EXPECT_TRUE(b.W().Content("abc", 3).ok());
  EXPECT_TRUE(b.W().FileHeader(u"open.txt", Fields(FILE_ATTRIBUTE_ARCHIVE, 2, time)).ok());
  EXPECT_TRUE(b.W().Content("de", 2).ok());
  EXPECT_TRUE(b.W().End().ok());
  EXPECT_TRUE(b.W().End().ok());
  return b.Finish();
}

TEST_F(ExtractTest, HostFilesTakeTheExactLastWriteTimeAndTheReadOnlyAttribute) {
  const uint64_t time = 0x01D9123456789ABCull;  // 100 ns ticks, not a whole second
  std::string path = Path("Backup.dat"), out = Path("out");
  WriteAll(path, ReadOnlyArchive(time));
  ASSERT_EQ(Run({"extract", path, out}), 0) << Err();
  const uint64_t write = time + 20000000;
  for (const char* name : {"locked.txt", "open.txt"}) {
    SCOPED_TRACE(name);
    struct stat st;
    ASSERT_EQ(::stat((fs::path(out) / "files" / name).c_str(), &st), 0);
    EXPECT_EQ(int64_t(st.st_mtim.tv_sec), int64_t(write / 10000000) - 11644473600);
    EXPECT_EQ(st.st_mtim.tv_nsec, long(write % 10000000) * 100);
    EXPECT_EQ(st.st_mode & 0222, std::string(name) == "locked.txt" ? 0u : 0200u);
    EXPECT_EQ(st.st_mode & 0400, 0400u);  // still readable for create
  }
  // Packed again, the read-only file keeps its attribute and content.
  std::string repacked = Path("repacked.dat");
  ASSERT_EQ(Run({"create", repacked, "--from", out}), 0) << Err();
  EXPECT_EQ(DecodedNodes(ReadAll(repacked)), DecodedNodes(ReadAll(path)));
}

TEST_F(ExtractTest, ASecondExtractIntoTheSameFolderIsRefusedAndTheFolderCanBeRemoved) {
  std::string path = Path("Backup.dat"), out = Path("out");
  WriteAll(path, ReadOnlyArchive(0x01D9000000000000ull));
  ASSERT_EQ(Run({"extract", path, out}), 0) << Err();
  EXPECT_EQ(Run({"extract", path, out}), 2);
  EXPECT_THAT(Err(), HasSubstr(out + " is not empty; extract into a new or empty folder"));
  EXPECT_EQ(ReadText(fs::path(out) / "files/locked.txt"), "abc");
  // The read-only file is no obstacle to clearing the folder and extracting again.
  std::error_code ec;
  fs::remove_all(out, ec);
  ASSERT_FALSE(ec) << ec.message();
  EXPECT_EQ(Run({"extract", path, out}), 0) << Err();
  EXPECT_EQ(ReadText(fs::path(out) / "files/locked.txt"), "abc");
}

TEST_F(ExtractTest, HostileArchivesNeverWriteOutsideTheFolder) {
  const std::u16string names[] = {u"..", u"..\\..\\escape", u"/tmp/escape", u"C:\\escape", u"a/../../escape"};
  for (const auto& name : names) {
    ArchiveBuilder b;
    NodeWriter& w = b.W();
    ASSERT_TRUE(w.Container(archive::kNodeRoot, u"").ok());
    ASSERT_TRUE(w.Container(archive::kNodeDirectory, u"\\").ok());
    ASSERT_TRUE(w.Container(archive::kNodeDirectory, u"sub").ok());
    b.FileField(name, 0x20, "evil");
    ASSERT_TRUE(w.End().ok());
    ASSERT_TRUE(w.End().ok());
    ASSERT_TRUE(w.End().ok());
    std::string path = Path("evil.dat"), out = Path("inner/out");
    WriteAll(path, b.Finish());
    fs::create_directories(Path("inner"));
    EXPECT_EQ(Run({"extract", path, out}), 1) << Utf8(name);
    EXPECT_THAT(Err(), HasSubstr("\\sub\\")) << Utf8(name);
    // Only the extraction folder exists beside the archive; nothing escaped.
    std::vector<std::string> found;
    for (const auto& e : fs::recursive_directory_iterator(dir_)) found.push_back(e.path().filename().string());
    EXPECT_THAT(found, ::testing::Not(::testing::Contains(HasSubstr("escape"))));
    EXPECT_THAT(found, ::testing::Not(::testing::Contains("evil")));
    fs::remove_all(Path("inner"));
  }
}

TEST_F(ExtractTest, CreateReportsBadInputWithItsPlace) {
  std::string path = Path("Backup.dat"), out = Path("out");
  WriteAll(path, ArchiveBuilder().SampleData().Finish());
  ASSERT_EQ(Run({"extract", path, out}), 0) << Err();
  std::ofstream(out + "/registry.reg", std::ios::app) << "\"x\"=frob:1\n";
  EXPECT_EQ(Run({"create", Path("new.dat"), "--from", out}), 2);
  EXPECT_THAT(Err(), HasSubstr("registry.reg:"));
  EXPECT_THAT(Err(), HasSubstr("unknown value data"));
  EXPECT_FALSE(fs::exists(Path("new.dat")));
  EXPECT_FALSE(fs::exists(Path("new.dat.tlvarc-tmp")));

  fs::remove(out + "/files/top.dat");
  EXPECT_EQ(Run({"create", Path("new.dat"), "--from", out}), 2);
  EXPECT_THAT(Err(), HasSubstr("files.manifest:"));
}

TEST_F(ExtractTest, CreateTakesEditedContentAndAPassword) {
  std::string path = Path("Backup.dat"), out = Path("out"), repacked = Path("new.dat");
  WriteAll(path, ArchiveBuilder().SampleData().Finish());
  ASSERT_EQ(Run({"extract", path, out}), 0) << Err();
  std::ofstream(out + "/files/top.dat", std::ios::trunc) << "edited";
  ::setenv(kPasswordEnv, "new secret", 1);
  ASSERT_EQ(Run({"create", repacked, "--from", out, "--password", "--platform", "Other"}), 0) << Err();
  ASSERT_EQ(Run({"info", repacked, "--json"}), 0) << Err();
  auto j = nlohmann::json::parse(Out());
  EXPECT_EQ(j["platform"], "Other");
  EXPECT_EQ(j["password"], true);
  EXPECT_EQ(j["fileBytes"], 5 + 6);
  EXPECT_EQ(Run({"verify", repacked, "--password"}), 0) << Err();
}

}  // namespace
}  // namespace tlvarc::testing
