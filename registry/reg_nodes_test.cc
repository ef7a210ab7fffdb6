// The registry nodes on a scratch device, driven below the job: a backup
// writes the node tree into memory, a restore reads it back.
#include "reg_nodes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <random>

#include "device_control.h"
#include "path_list.h"
#include "registry_test_util.h"
#include "rle_stream.h"
#include "scratch_device.h"

Bytes DecodeAll(const Bytes& coded) {
  MMemoryStream in(coded.data(), DWORD(coded.size()));
  MRleStream rle(&in);
  Bytes out;
  uint8_t b;
  LONG done;
  while (rle.Read(&b, 1, &done)) out.push_back(b);
  return out;
}

bool ContainsLowBytes(const Bytes& bytes, const std::string& text) {
  return std::search(bytes.begin(), bytes.end(), text.begin(), text.end()) != bytes.end();
}

namespace {

const char16_t kTest[] = u"Software\\Velta\\Test";

// Watches the registry calls of one kind through a fault that fails
// nothing: it counts them down and journals each one it sees.
constexpr int kWatchedCalls = 100000;

void WatchCalls(const char* op) { ASSERT_TRUE(cedev::AddFault(op, u"*", 0, kWatchedCalls)); }

int CallsSeen(const std::string& op) {
  for (const auto& fault : cedev::ListFaults())
    if (fault.op == op) return kWatchedCalls - fault.remaining;
  return kWatchedCalls;
}

// The targets the watched calls of `op` named, in the order they came.
std::vector<std::string> TargetsSeen(const std::string& op) {
  std::vector<std::string> targets;
  for (const auto& entry : cedev::JournalRead()) {
    if (entry.kind != "fault" || entry.text.rfind(op + " ", 0) != 0) continue;
    std::string rest = entry.text.substr(op.size() + 1);
    targets.push_back(rest.substr(0, rest.rfind(" error ")));
  }
  return targets;
}

class RegNodesTest : public ::testing::Test {
 protected:
  void SetUp() override { InitRegistryNodes(); }
  void TearDown() override { cedev::ClearFaults(); }

  // A registry with every value type, empty and default values, deep keys
  // and class names.
  void Populate() {
    ASSERT_TRUE(SetValue(HKEY_LOCAL_MACHINE, kTest, u"Text", REG_SZ, Sz(u"hello \u30C6\u30B9\u30C8")));
    ASSERT_TRUE(SetValue(HKEY_LOCAL_MACHINE, kTest, u"Expand", REG_EXPAND_SZ, Sz(u"%windir%\\x")));
    ASSERT_TRUE(SetValue(HKEY_LOCAL_MACHINE, kTest, u"Binary", REG_BINARY, {0, 1, 2, 0xFF, 0, 0, 0}));
    ASSERT_TRUE(SetValue(HKEY_LOCAL_MACHINE, kTest, u"Dword", REG_DWORD, Dword(0xDEADBEEF)));
    ASSERT_TRUE(SetValue(HKEY_LOCAL_MACHINE, kTest, u"BigEndian", REG_DWORD_BIG_ENDIAN, {1, 2, 3, 4}));
    ASSERT_TRUE(SetValue(HKEY_LOCAL_MACHINE, kTest, u"Multi", REG_MULTI_SZ, Sz(std::u16string(u"a\0bc\0", 5))));
    ASSERT_TRUE(SetValue(HKEY_LOCAL_MACHINE, kTest, u"None", REG_NONE, {7}));
    ASSERT_TRUE(SetValue(HKEY_LOCAL_MACHINE, kTest, u"Empty", REG_BINARY, {}));
    ASSERT_TRUE(SetValue(HKEY_LOCAL_MACHINE, kTest, u"", REG_SZ, Sz(u"default")));
    Bytes big(4000);
    for (size_t i = 0; i < big.size(); ++i) big[i] = uint8_t(i % 7 == 0 ? 0 : i);
    ASSERT_TRUE(SetValue(HKEY_LOCAL_MACHINE, kTest, u"Big", REG_BINARY, big));
    RegCloseKey(CreateKey(HKEY_LOCAL_MACHINE, u"Software\\Velta\\Test\\Classy", u"MyClass"));
    ASSERT_TRUE(SetValue(HKEY_LOCAL_MACHINE, u"Software\\Velta\\Test\\a\\b\\c\\d\\e\\f\\g\\h", u"Deep", REG_DWORD, Dword(8)));
    RegCloseKey(CreateKey(HKEY_LOCAL_MACHINE, u"Software\\Velta\\Empty"));
    ASSERT_TRUE(SetValue(HKEY_CURRENT_USER, u"ControlPanel\\Desktop", u"Wallpaper", REG_SZ, Sz(u"\\Windows\\w.bmp")));
    ASSERT_TRUE(SetValue(HKEY_CLASSES_ROOT, u".txt", u"", REG_SZ, Sz(u"txtfile")));
    ASSERT_TRUE(SetValue(HKEY_USERS, u"Default", u"Name", REG_SZ, Sz(u"u")));
  }

  cedev::ScratchDevice dev_;
};

TEST_F(RegNodesTest, RoundTripRestoresEverything) {
  Populate();
  RegDump before = DumpRegistry();
  Bytes archive = BackupRegistryTree();
  ASSERT_FALSE(archive.empty());

  // Change, delete and add things.
  ASSERT_TRUE(SetValue(HKEY_LOCAL_MACHINE, kTest, u"Text", REG_SZ, Sz(u"changed")));
  ASSERT_TRUE(SetValue(HKEY_LOCAL_MACHINE, kTest, u"Dword", REG_BINARY, Dword(0xDEADBEEF)));
  ASSERT_EQ(RegDeleteKeyW(HKEY_LOCAL_MACHINE, u"Software\\Velta\\Test\\a"), ERROR_SUCCESS);
  HKEY test = CreateKey(HKEY_LOCAL_MACHINE, kTest);
  ASSERT_EQ(RegDeleteValueW(test, u"Empty"), ERROR_SUCCESS);
  ASSERT_EQ(RegDeleteValueW(test, u""), ERROR_SUCCESS);
  RegCloseKey(test);
  ASSERT_TRUE(SetValue(HKEY_LOCAL_MACHINE, kTest, u"Extra", REG_DWORD, Dword(1)));
  ASSERT_TRUE(SetValue(HKEY_LOCAL_MACHINE, u"Software\\New\\Deeper", u"X", REG_DWORD, Dword(2)));
  ASSERT_TRUE(SetValue(HKEY_CURRENT_USER, u"Extra", u"Y", REG_DWORD, Dword(3)));
  ASSERT_NE(DumpRegistry(), before);

  EXPECT_EQ(RestoreRegistryTree(archive), STATUS_OK);
  RegDump after = DumpRegistry();
  EXPECT_EQ(after.keys, before.keys);
  EXPECT_EQ(after.values, before.values);
  EXPECT_EQ(after.keys[u"HKLM\\Software\\Velta\\Test\\Classy"], u"MyClass");
}

TEST_F(RegNodesTest, EmptyKeyIsHeaderClassAndEndMarker) {
  RegCloseKey(CreateKey(HKEY_USERS, u"Lonely"));
  Bytes stream = DecodeAll(BackupRegistryTree());
  Bytes record{0x01, 0x02, 0, 0, 6, 0, 0, 0, 0, 0, 0, 0, 'L', 'o', 'n', 'e', 'l', 'y', 0, 0, 0xFF, 0xFF, 0xFF, 0xFF};
  EXPECT_NE(std::search(stream.begin(), stream.end(), record.begin(), record.end()), stream.end());
}

TEST_F(RegNodesTest, IdenticalValuesAreNotRewritten) {
  Populate();
  Bytes archive = BackupRegistryTree();
  WatchCalls("reg.set");
  ASSERT_EQ(RestoreRegistryTree(archive), STATUS_OK);
  EXPECT_EQ(CallsSeen("reg.set"), 0);
  cedev::ClearFaults();
  ASSERT_TRUE(SetValue(HKEY_LOCAL_MACHINE, kTest, u"Text", REG_SZ, Sz(u"hellO \u30C6\u30B9\u30C8")));
  WatchCalls("reg.set");
  ASSERT_EQ(RestoreRegistryTree(archive), STATUS_OK);
  EXPECT_EQ(CallsSeen("reg.set"), 1) << "only the value whose bytes differ";
}

TEST_F(RegNodesTest, PruningDeletesSubkeysBeforeValues) {
  ASSERT_TRUE(SetValue(HKEY_CURRENT_USER, u"P", u"Keep", REG_DWORD, Dword(1)));
  RegCloseKey(CreateKey(HKEY_CURRENT_USER, u"P\\KeepKey"));
  Bytes archive = BackupRegistryTree();
  ASSERT_TRUE(SetValue(HKEY_CURRENT_USER, u"P", u"Gone1", REG_DWORD, Dword(1)));
  ASSERT_TRUE(SetValue(HKEY_CURRENT_USER, u"P\\GoneKey\\Below", u"v", REG_DWORD, Dword(1)));
  ASSERT_TRUE(SetValue(HKEY_CURRENT_USER, u"P", u"Gone2", REG_DWORD, Dword(1)));
  RegCloseKey(CreateKey(HKEY_CURRENT_USER, u"P\\GoneKey2"));
  WatchCalls("reg.delete");
  ASSERT_EQ(RestoreRegistryTree(archive), STATUS_OK);
  // The keys GoneKey and GoneKey2, then the values Gone1 and Gone2.
  std::vector<std::string> expected{"HKEY_CURRENT_USER\\P\\GoneKey", "HKEY_CURRENT_USER\\P\\GoneKey2",
                                    "HKEY_CURRENT_USER\\P\\Gone1", "HKEY_CURRENT_USER\\P\\Gone2"};
  EXPECT_EQ(TargetsSeen("reg.delete"), expected);
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, u"P\\KeepKey"));
  RegValue v;
  EXPECT_TRUE(GetValue(HKEY_CURRENT_USER, u"P", u"Keep", &v));
  EXPECT_FALSE(GetValue(HKEY_CURRENT_USER, u"P", u"Gone1", &v));
}

TEST_F(RegNodesTest, PruningMatchesNamesWithoutRegardToCase) {
  ASSERT_TRUE(SetValue(HKEY_CURRENT_USER, u"Case", u"Value", REG_DWORD, Dword(1)));
  Bytes archive = BackupRegistryTree();
  WatchCalls("reg.delete");
  ASSERT_EQ(RestoreRegistryTree(archive), STATUS_OK);
  EXPECT_EQ(CallsSeen("reg.delete"), 0);
}

TEST_F(RegNodesTest, CalibrationDataIsNeitherArchivedNorDeleted) {
  const char16_t kTouch[] = u"HARDWARE\\DEVICEMAP\\TOUCH";
  ASSERT_TRUE(SetValue(HKEY_LOCAL_MACHINE, kTouch, u"CalibrationData", REG_SZ, Sz(u"100,200 300,400")));
  ASSERT_TRUE(SetValue(HKEY_LOCAL_MACHINE, kTouch, u"Other", REG_DWORD, Dword(5)));
  ASSERT_TRUE(SetValue(HKEY_CURRENT_USER, u"Elsewhere", u"calibrationdata", REG_DWORD, Dword(6)));
  Bytes archive = BackupRegistryTree();
  Bytes stream = DecodeAll(archive);
  EXPECT_FALSE(ContainsLowBytes(stream, "CalibrationData"));
  EXPECT_FALSE(ContainsLowBytes(stream, "calibrationdata"));
  EXPECT_TRUE(ContainsLowBytes(stream, "Other"));

  ASSERT_TRUE(SetValue(HKEY_LOCAL_MACHINE, kTouch, u"CalibrationData", REG_SZ, Sz(u"new calibration")));
  ASSERT_EQ(RestoreRegistryTree(archive), STATUS_OK);
  RegValue v;
  ASSERT_TRUE(GetValue(HKEY_LOCAL_MACHINE, kTouch, u"CalibrationData", &v));
  EXPECT_EQ(v.data, Sz(u"new calibration"));
  EXPECT_TRUE(GetValue(HKEY_CURRENT_USER, u"Elsewhere", u"calibrationdata", &v));
}

TEST_F(RegNodesTest, PlatformBelowLocalMachineIsNeverArchivedNorPruned) {
  ASSERT_TRUE(SetValue(HKEY_LOCAL_MACHINE, u"Platform", u"Name", REG_SZ, Sz(u"Tovak")));
  ASSERT_TRUE(SetValue(HKEY_LOCAL_MACHINE, u"Software\\Platform", u"Kept", REG_DWORD, Dword(9)));
  Bytes archive = BackupRegistryTree();
  Bytes stream = DecodeAll(archive);
  EXPECT_FALSE(ContainsLowBytes(stream, "Tovak"));
  EXPECT_TRUE(ContainsLowBytes(stream, "Kept")) << "a Platform key elsewhere is archived";

  ASSERT_TRUE(SetValue(HKEY_LOCAL_MACHINE, u"Platform", u"Name", REG_SZ, Sz(u"Other")));
  ASSERT_EQ(RegDeleteKeyW(HKEY_LOCAL_MACHINE, u"Software\\Platform"), ERROR_SUCCESS);
  ASSERT_EQ(RestoreRegistryTree(archive), STATUS_OK);
  RegValue v;
  ASSERT_TRUE(GetValue(HKEY_LOCAL_MACHINE, u"Platform", u"Name", &v)) << "the device keeps its identity";
  EXPECT_EQ(v.data, Sz(u"Other"));
  EXPECT_TRUE(GetValue(HKEY_LOCAL_MACHINE, u"Software\\Platform", u"Kept", &v));
}

// Builds the coded stream of root -> HKEY_LOCAL_MACHINE -> one key record.
Bytes ArchiveWithKeyUnderLocalMachine(const std::string& keyName) {
  auto str = [](const std::string& s) {
    Bytes b{uint8_t(s.size()), 0};
    b.insert(b.end(), s.size(), 0);
    b.insert(b.end(), s.begin(), s.end());
    return b;
  };
  Bytes d{1, 0, 0, 0, 0, 0};
  Bytes root{0x00, 0x02, 0, 0};
  d.insert(d.end(), root.begin(), root.end());
  Bytes n = str("HKEY_LOCAL_MACHINE");
  d.insert(d.end(), n.begin(), n.end());
  d.insert(d.end(), {0, 0});  // class
  d.insert(d.end(), {0x01, 0x02, 0, 0});
  n = str(keyName);
  d.insert(d.end(), n.begin(), n.end());
  d.insert(d.end(), {0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF});
  MMemoryStream out;
  MRleStream rle(&out);
  LONG done;
  rle.Write(d.data(), LONG(d.size()), &done);
  rle.Flush();
  return Bytes(out.Data(), out.Data() + out.Size());
}

TEST_F(RegNodesTest, ArchiveCarryingThePlatformKeyRestoresIt) {
  ASSERT_TRUE(SetValue(HKEY_LOCAL_MACHINE, u"Platform", u"Name", REG_SZ, Sz(u"Tovak")));
  EXPECT_EQ(RestoreRegistryTree(ArchiveWithKeyUnderLocalMachine("PLATFORM")), STATUS_OK);
  // Like any key read from an archive: the key mirrors it, here holding nothing.
  EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, u"Platform"));
  RegValue v;
  EXPECT_FALSE(GetValue(HKEY_LOCAL_MACHINE, u"Platform", u"Name", &v));
  EXPECT_EQ(RestoreRegistryTree(ArchiveWithKeyUnderLocalMachine("Plat")), STATUS_OK);
}

TEST_F(RegNodesTest, RootNamesOutsideTheTableAreRefused) {
  Bytes good = ArchiveWithKeyUnderLocalMachine("x");
  Bytes d = DecodeAll(good);
  d[6 + 4 + 2 + 18 + 5] = 'X';  // HKEY_LOCAL_MACHINE -> HKEY_XOCAL_MACHINE
  MMemoryStream out;
  MRleStream rle(&out);
  LONG done;
  rle.Write(d.data(), LONG(d.size()), &done);
  rle.Flush();
  EXPECT_EQ(RestoreRegistryTree(Bytes(out.Data(), out.Data() + out.Size())), STATUS_ARCHIVE_READ_FAILED);
}

TEST_F(RegNodesTest, RefusedValueIsLeftAsTempAndFailsWithDeviceWriteFailed) {
  ASSERT_TRUE(SetValue(HKEY_CURRENT_USER, u"R", u"Refused", REG_SZ, Sz(u"archived")));
  ASSERT_TRUE(SetValue(HKEY_CURRENT_USER, u"R", u"Later", REG_SZ, Sz(u"later")));
  Bytes archive = BackupRegistryTree();
  ASSERT_TRUE(SetValue(HKEY_CURRENT_USER, u"R", u"Refused", REG_SZ, Sz(u"device")));
  ASSERT_TRUE(SetValue(HKEY_CURRENT_USER, u"R", u"Later", REG_SZ, Sz(u"device")));
  ASSERT_TRUE(cedev::AddFault("reg.set", u"HKEY_CURRENT_USER\\R\\Refused", ERROR_ACCESS_DENIED));
  EXPECT_EQ(RestoreRegistryTree(archive), STATUS_DEVICE_WRITE_FAILED);
  RegValue v;
  ASSERT_TRUE(GetValue(HKEY_CURRENT_USER, u"R", u"Refused.temp", &v));
  EXPECT_EQ(v.type, DWORD(REG_SZ));
  EXPECT_EQ(v.data, Sz(u"archived"));
  ASSERT_TRUE(GetValue(HKEY_CURRENT_USER, u"R", u"Later", &v));
  EXPECT_EQ(v.data, Sz(u"device")) << "the restore stopped at the refused value";
}

TEST_F(RegNodesTest, UnreadableValueFailsBackupWithSourceReadFailed) {
  ASSERT_TRUE(SetValue(HKEY_CURRENT_USER, u"S", u"Bad", REG_DWORD, Dword(1)));
  ASSERT_TRUE(cedev::AddFault("reg.query", u"HKEY_CURRENT_USER\\S\\Bad", ERROR_ACCESS_DENIED));
  DWORD status = 0;
  EXPECT_TRUE(BackupRegistryTree(&status).empty());
  EXPECT_EQ(status, STATUS_SOURCE_READ_FAILED);
}

TEST_F(RegNodesTest, UnreadableEnumerationFailsBackupWithSourceReadFailed) {
  ASSERT_TRUE(SetValue(HKEY_CURRENT_USER, u"E", u"v", REG_DWORD, Dword(1)));
  ASSERT_TRUE(cedev::AddFault("reg.query", u"HKEY_CURRENT_USER\\E", ERROR_ACCESS_DENIED));
  DWORD status = 0;
  EXPECT_TRUE(BackupRegistryTree(&status).empty());
  EXPECT_EQ(status, STATUS_SOURCE_READ_FAILED);
}

// The second query of a value fails: only the known cases are archived.
struct SecondQueryCase {
  const char16_t* name;
  DWORD type;
  Bytes data;
  bool archived;
};

TEST_F(RegNodesTest, AcceptedSecondQueryFailures) {
  const std::vector<SecondQueryCase> cases = {
      {u"Display", REG_SZ, Sz(u"disp"), true},     {u"dlt", REG_SZ, Sz(u"d"), true},
      {u"STD", REG_SZ, Sz(u"s"), true},            {u"Default", REG_SZ, Sz(u"\\Windows"), true},
      {u"Default", REG_SZ, Sz(u"Windows"), false}, {u"Display", REG_DWORD, Dword(1), false},
      {u"Other", REG_SZ, Sz(u"o"), false},
  };
  for (const auto& c : cases) {
    RegDeleteKeyW(HKEY_CURRENT_USER, u"Q");  // from the previous case
    ASSERT_TRUE(SetValue(HKEY_CURRENT_USER, u"Q", c.name, c.type, c.data));
    std::u16string failing = c.name;
    // The second query, the one that copies the data, copies it and fails.
    ASSERT_TRUE(cedev::AddFault("reg.query.data", u"HKEY_CURRENT_USER\\Q\\" + failing, ERROR_ACCESS_DENIED, 1));
    DWORD status = 0;
    Bytes archive = BackupRegistryTree(&status);
    cedev::ClearFaults();
    if (!c.archived) {
      EXPECT_TRUE(archive.empty()) << std::string(failing.begin(), failing.end());
      EXPECT_EQ(status, STATUS_SOURCE_READ_FAILED);
      continue;
    }
    ASSERT_FALSE(archive.empty()) << std::string(failing.begin(), failing.end());
    ASSERT_TRUE(SetValue(HKEY_CURRENT_USER, u"Q", c.name, REG_DWORD, Dword(0)));
    ASSERT_EQ(RestoreRegistryTree(archive), STATUS_OK);
    RegValue v;
    ASSERT_TRUE(GetValue(HKEY_CURRENT_USER, u"Q", c.name, &v));
    EXPECT_EQ(v.type, c.type);
    EXPECT_EQ(v.data.size(), c.data.size()) << "length and bytes of the record agree";
  }
}

// ---- Hostile archives

class HostileArchiveTest : public RegNodesTest {
 protected:
  void SetUp() override {
    RegNodesTest::SetUp();
    ASSERT_TRUE(SetValue(HKEY_LOCAL_MACHINE, u"Software\\H", u"Text", REG_SZ, Sz(u"hostile")));
    ASSERT_TRUE(SetValue(HKEY_LOCAL_MACHINE, u"Software\\H\\Sub", u"D", REG_DWORD, Dword(42)));
    ASSERT_TRUE(SetValue(HKEY_CURRENT_USER, u"X", u"", REG_BINARY, {1, 1, 1, 1, 1, 2, 3}));
    archive_ = BackupRegistryTree();
    ASSERT_FALSE(archive_.empty());
  }
  static bool CleanFailure(DWORD status) {
    return status == STATUS_ARCHIVE_READ_FAILED || status == STATUS_NO_MEMORY;
  }
  Bytes archive_;
};

TEST_F(HostileArchiveTest, CutAtEveryOffsetFailsCleanly) {
  for (size_t cut = 0; cut < archive_.size(); ++cut) {
    DWORD status = RestoreRegistryTree(Bytes(archive_.begin(), archive_.begin() + cut));
    ASSERT_TRUE(CleanFailure(status)) << "cut at " << cut << " status " << std::hex << status;
  }
  EXPECT_EQ(RestoreRegistryTree(archive_), STATUS_OK);
}

TEST_F(HostileArchiveTest, RandomFlipsNeverCrash) {
  for (uint32_t seed = 1; seed <= 150; ++seed) {
    std::mt19937 rng(seed);
    Bytes damaged = archive_;
    for (int flips = 1 + rng() % 4; flips > 0; --flips) damaged[rng() % damaged.size()] ^= uint8_t(1 + rng() % 255);
    DWORD status = RestoreRegistryTree(damaged);
    EXPECT_TRUE(status == STATUS_OK || CleanFailure(status) || status == STATUS_DEVICE_WRITE_FAILED)
        << "seed " << seed << " status " << std::hex << status;
  }
}

size_t g_largestAllocation = 0;

TEST_F(HostileArchiveTest, GigabyteLengthsAreNotAllocatedBlindly) {
  Bytes d = DecodeAll(archive_);
  // The first value record: find "Text" of HKLM\Software\H and its length field.
  std::string marker = "Text";
  auto at = std::search(d.begin(), d.end(), marker.begin(), marker.end());
  ASSERT_NE(at, d.end());
  size_t lengthField = size_t(at - d.begin()) + marker.size() + 4;
  for (DWORD claim : {0xFFFFFFF0u, 0x40000000u, 0x7FFFFFFFu}) {
    Bytes hostile = d;
    hostile[lengthField] = uint8_t(claim);
    hostile[lengthField + 1] = uint8_t(claim >> 8);
    hostile[lengthField + 2] = uint8_t(claim >> 16);
    hostile[lengthField + 3] = uint8_t(claim >> 24);
    MMemoryStream out;
    MRleStream rle(&out);
    LONG done;
    rle.Write(hostile.data(), LONG(hostile.size()), &done);
    rle.Flush();
    g_largestAllocation = 0;
    DWORD status = RestoreRegistryTree(Bytes(out.Data(), out.Data() + out.Size()));
    EXPECT_EQ(status, STATUS_ARCHIVE_READ_FAILED);
    EXPECT_LT(g_largestAllocation, size_t(1) << 20) << "claim " << std::hex << claim;
  }
}

}  // namespace

// Counts the size of the largest array allocation the restore asks for.
void* operator new[](size_t size, const std::nothrow_t&) noexcept {
  if (size > g_largestAllocation) g_largestAllocation = size;
  return std::malloc(size ? size : 1);
}
void* operator new[](size_t size) {
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete[](void* p, size_t) noexcept { std::free(p); }
