// Data archives the engine wrote from the built-in sample device (the image
// `cedev init` makes), through the data backup job with and without a
// password, then tlvarc on them: list against what the device holds,
// extract then create, and compare against the device folder itself.
#include <windows.h>

#include <gmock/gmock.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>

#include "device_folder.h"
#include "exclusion_rules.h"
#include "factory.h"
#include "job_command.h"
#include "sample_image.h"
#include "scratch_device.h"
#include "test_archives.h"
#include "text.h"

namespace tlvarc::testing {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

// ---- The device side: what a data backup should carry, from the device API.

std::string U8(const std::u16string& s) { return Utf8(s); }

std::u16string Join(const std::u16string& folder, const std::u16string& name) {
  return folder == u"\\" ? folder + name : folder + u'\\' + name;
}

// Every entry of a device folder matching `pattern`, as the device lists them.
std::vector<WIN32_FIND_DATAW> ListFolder(const std::u16string& pattern) {
  std::vector<WIN32_FIND_DATAW> entries;
  WIN32_FIND_DATAW found;
  HANDLE find = FindFirstFileW(pattern.c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return entries;
  do entries.push_back(found);
  while (FindNextFileW(find, &found));
  FindClose(find);
  return entries;
}

// Files and folders the backup walks: everything below "\" but what the
// exclusion rules leave out, and nothing inside a folder that is left out.
void ExpectedFiles(const std::u16string& folder, std::vector<std::string>* out) {
  out->push_back(U8(folder));
  std::u16string pattern = Join(folder, u"*.*");
  for (const WIN32_FIND_DATAW& e : ListFolder(pattern)) {
    std::u16string path = Join(folder, e.cFileName);
    if (!IsEntrySaved(pattern.c_str(), path.c_str(), e.cFileName, e.dwFileAttributes)) continue;
    if (e.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
      ExpectedFiles(path, out);
    else
      out->push_back(U8(path));
  }
}

// Keys and values below `key`; the touch calibration and the device's own
// platform key never travel in an archive.
void ExpectedKey(HKEY key, const std::u16string& path, bool is_machine_root, std::vector<std::string>* out) {
  out->push_back(U8(path));
  WCHAR name[260];
  for (uint32_t i = 0;; ++i) {
    uint32_t length = 260;
    if (RegEnumValueW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    if (std::u16string(name) == u"CalibrationData") continue;
    out->push_back(U8(path + u'\\' + (name[0] ? std::u16string(name) : u"@")));
  }
  for (uint32_t i = 0;; ++i) {
    uint32_t length = 260;
    if (RegEnumKeyExW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    if (is_machine_root && std::u16string(name) == u"Platform") continue;
    HKEY sub = nullptr;
    ASSERT_EQ(RegOpenKeyExW(key, name, 0, 0, &sub), ERROR_SUCCESS) << U8(path + u'\\' + name);
    ExpectedKey(sub, path + u'\\' + name, false, out);
    RegCloseKey(sub);
  }
}

void ExpectedRegistry(std::vector<std::string>* out) {
  ExpectedKey(HKEY_CLASSES_ROOT, u"HKEY_CLASSES_ROOT", false, out);
  ExpectedKey(HKEY_CURRENT_USER, u"HKEY_CURRENT_USER", false, out);
  ExpectedKey(HKEY_LOCAL_MACHINE, u"HKEY_LOCAL_MACHINE", true, out);
  ExpectedKey(HKEY_USERS, u"HKEY_USERS", false, out);
}

void ExpectedDatabases(std::vector<std::string>* out) {
  out->push_back("DATABASE");
  HANDLE find = CeFindFirstDatabase(0);
  ASSERT_NE(find, INVALID_HANDLE_VALUE);
  while (CEOID oid = CeFindNextDatabase(find)) {
    CEOIDINFO info;
    ASSERT_TRUE(CeOidGetInfo(oid, &info));
    std::u16string path = u"DATABASE\\" + std::u16string(info.infDatabase.szDbaseName);
    out->push_back(U8(path));
    for (uint32_t n = 1; n <= info.infDatabase.wNumRecords; ++n) out->push_back(U8(path) + " #" + std::to_string(n));
  }
  CloseHandle(find);
}

struct FileState {
  std::vector<uint8_t> data;
  uint32_t attributes = 0;
  FILETIME creation{}, access{}, write{};
};

bool ReadState(const std::u16string& path, FileState* state) {
  state->attributes = GetFileAttributesW(path.c_str());
  HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  GetFileTime(h, &state->creation, &state->access, &state->write);
  uint8_t piece[4096];
  uint32_t got = 0;
  while (ReadFile(h, piece, sizeof piece, &got, nullptr) && got > 0) state->data.insert(state->data.end(), piece, piece + got);
  CloseHandle(h);
  return true;
}

bool WriteState(const std::u16string& path, const FileState& state) {
  SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  uint32_t put = 0;
  bool ok = state.data.empty() || (WriteFile(h, state.data.data(), uint32_t(state.data.size()), &put, nullptr) && put == state.data.size());
  ok = SetFileTime(h, &state.creation, &state.access, &state.write) && ok;
  CloseHandle(h);
  return SetFileAttributesW(path.c_str(), state.attributes) && ok;
}

// ---- One sample device and its two backups for every case of the suite.

class SampleArchiveTest : public ToolTest {
 protected:
  static void SetUpTestSuite() {
    root_ = fs::temp_directory_path() / ("tlvarc-sample-" + std::to_string(::getpid()));
    fs::remove_all(root_);
    fs::create_directories(root_);
    cedev::DeviceSettings settings = cedev::FastDevice(cedev::SampleSettings());
    std::string error;
    device_ = root_ / "device";
    if (!cedev::Device::Create(device_, settings, &error) || !cedev::Device::Use(device_) ||
        !cedev::WriteDeviceImage(cedev::SampleImage(), &error) || !cedev::SaveFactoryImage(&error)) {
      setup_error_ = "sample device: " + error;
      return;
    }
    if (!Backup("pw", "with-password.dat") || !Backup("", "without-password.dat")) return;
  }
  static void TearDownTestSuite() {
    cedev::Device::Use({});
    fs::remove_all(root_);
  }
  void SetUp() override {
    ToolTest::SetUp();
    ASSERT_EQ(setup_error_, "");
    ASSERT_TRUE(cedev::Device::Use(device_));
  }

  static std::string Archive(bool password) {
    return (root_ / (password ? "with-password.dat" : "without-password.dat")).string();
  }
  static std::string DeviceDir() { return device_.string(); }

  std::vector<std::string> Listed(const std::string& archive) {
    EXPECT_EQ(Run({"list", archive, "--json"}), 0) << Err();
    std::vector<std::string> paths;
    for (const auto& entry : nlohmann::json::parse(Out())) paths.push_back(entry.at("path").get<std::string>());
    return paths;
  }

 private:
  static bool Backup(const std::string& password, const std::string& copy_as) {
    std::vector<std::string> args = {"backup", "--location", "FlashDisk"};
    if (!password.empty()) args.insert(args.end(), {"--password", password});
    ::testing::internal::CaptureStdout();
    int rc = RunJobCommand(args);
    std::string out = ::testing::internal::GetCapturedStdout();
    if (rc != 0) return setup_error_ = "cedev job backup: " + out, false;
    std::error_code ec;
    fs::copy_file(device_ / "volumes" / "FlashDisk" / "Backup" / "Backup.dat", root_ / copy_as, ec);
    if (ec) return setup_error_ = "copying the archive: " + ec.message(), false;
    return true;
  }

  static inline fs::path root_, device_;
  static inline std::string setup_error_;
};

TEST_F(SampleArchiveTest, ListHoldsEveryEntryTheBackupWalksAndNothingElse) {
  std::vector<std::string> expected;
  ExpectedFiles(u"\\", &expected);
  ExpectedRegistry(&expected);
  ExpectedDatabases(&expected);
  std::sort(expected.begin(), expected.end());
  // The exclusions really took something out, and the two ROM setup files
  // of this platform really went in.
  EXPECT_EQ(std::count(expected.begin(), expected.end(), "\\pim.vol"), 0);
  EXPECT_EQ(std::count(expected.begin(), expected.end(), "\\Windows\\ModelSetup.exe"), 1);
  EXPECT_EQ(std::count(expected.begin(), expected.end(), "\\FlashDisk"), 0);
  for (bool password : {false, true}) {
    SCOPED_TRACE(password ? "with a password" : "without a password");
    std::vector<std::string> listed = Listed(Archive(password));
    std::sort(listed.begin(), listed.end());
    std::vector<std::string> missing, extra;
    std::set_difference(expected.begin(), expected.end(), listed.begin(), listed.end(), std::back_inserter(missing));
    std::set_difference(listed.begin(), listed.end(), expected.begin(), expected.end(), std::back_inserter(extra));
    EXPECT_THAT(missing, ::testing::IsEmpty()) << "on the device, not in the archive";
    EXPECT_THAT(extra, ::testing::IsEmpty()) << "in the archive, not on the device";
    EXPECT_EQ(listed.size(), expected.size());
  }
}

TEST_F(SampleArchiveTest, ListedFileSizesAndAttributesAreTheDevicesOwn) {
  ASSERT_EQ(Run({"list", Archive(false), "--json", "\\My Documents"}), 0) << Err();
  auto listed = nlohmann::json::parse(Out());
  int checked = 0;
  for (const auto& entry : listed) {
    if (entry.at("kind") != "file") continue;
    std::u16string path;
    ASSERT_TRUE(FromUtf8(entry.at("path").get<std::string>(), &path));
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(path.c_str(), &data);
    ASSERT_NE(find, INVALID_HANDLE_VALUE) << U8(path);
    FindClose(find);
    EXPECT_EQ(entry.at("size").get<uint32_t>(), data.nFileSizeLow) << U8(path);
    EXPECT_EQ(entry.at("attributes").get<uint32_t>(), data.dwFileAttributes) << U8(path);
    ++checked;
  }
  EXPECT_GE(checked, 20);
}

TEST_F(SampleArchiveTest, VerifiesSoundAndTheWrongPasswordIsRefused) {
  EXPECT_EQ(Run({"verify", Archive(false)}), 0) << Err();
  ::setenv(kPasswordEnv, "pw", 1);
  EXPECT_EQ(Run({"verify", Archive(true), "--password"}), 0) << Err();
  ::setenv(kPasswordEnv, "PW", 1);
  EXPECT_EQ(Run({"verify", Archive(true), "--password"}), 3) << Err();
  // The header names the device's platform as its registry does.
  WCHAR name[64] = {};
  uint32_t size = sizeof name;
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Platform", 0, 0, &key), ERROR_SUCCESS);
  ASSERT_EQ(RegQueryValueExW(key, u"Name", nullptr, nullptr, reinterpret_cast<uint8_t*>(name), &size), ERROR_SUCCESS);
  RegCloseKey(key);
  ASSERT_EQ(Run({"info", Archive(true)}), 0) << Err();
  EXPECT_THAT(Out(), HasSubstr("platform:         " + U8(name) + "\n"));
  EXPECT_THAT(Out(), ::testing::Not(HasSubstr("registry-only")));
}

TEST_F(SampleArchiveTest, ExtractThenCreateGivesTheSameNodeStreamAndKeepsThePassword) {
  for (bool password : {false, true}) {
    SCOPED_TRACE(password ? "with a password" : "without a password");
    std::string tag = password ? "pw" : "none";
    std::string out = Path("out-" + tag), repacked = Path("repacked-" + tag + ".dat");
    if (password) {
      ::setenv(kPasswordEnv, "pw", 1);
      ASSERT_EQ(Run({"extract", Archive(password), out, "--password"}), 0) << Err();
    } else {
      ASSERT_EQ(Run({"extract", Archive(password), out}), 0) << Err();
    }
    for (const char* part : {"files.manifest", "registry.reg", "databases.json", "archive.json"})
      EXPECT_TRUE(fs::exists(fs::path(out) / part)) << part;
    if (password) {
      ASSERT_EQ(Run({"create", repacked, "--from", out, "--password"}), 0) << Err();
    } else {
      ASSERT_EQ(Run({"create", repacked, "--from", out}), 0) << Err();
    }
    std::vector<uint8_t> original = DecodedNodes(ReadAll(Archive(password)));
    ASSERT_GT(original.size(), 100000u);
    EXPECT_TRUE(DecodedNodes(ReadAll(repacked)) == original) << "the repacked node stream differs";
    // The password went into the new archive too: the right one opens it,
    // another one is refused.
    ::setenv(kPasswordEnv, "pw", 1);
    EXPECT_EQ(Run({"verify", repacked, "--password"}), password ? 0 : 3) << Err();
    ::setenv(kPasswordEnv, "", 1);
    EXPECT_EQ(Run({"verify", repacked, "--password"}), password ? 3 : 0) << Err();
    ::unsetenv(kPasswordEnv);
  }
}

TEST_F(SampleArchiveTest, ExtractedFilesCarryTheDevicesContentAndModificationTime) {
  std::string out = Path("out");
  ASSERT_EQ(Run({"extract", Archive(false), out, "\\My Documents"}), 0) << Err();
  for (const char16_t* path : {u"\\My Documents\\Personal\\notes.txt", u"\\My Documents\\Business\\Inventory.csv",
                               u"\\My Documents\\Personal\\\u30e1\u30e2.txt"}) {
    SCOPED_TRACE(U8(path));
    FileState device;
    ASSERT_TRUE(ReadState(path, &device));
    fs::path host = fs::path(out) / "files" / U8(std::u16string(path).substr(1));
    std::string text = host.string();
    std::replace(text.begin(), text.end(), '\\', '/');
    std::vector<uint8_t> data = ReadAll(text);
    EXPECT_TRUE(data == device.data);
    struct stat st;
    ASSERT_EQ(::stat(text.c_str(), &st), 0);
    uint64_t ticks = (uint64_t(st.st_mtim.tv_sec) + 11644473600ull) * 10000000ull + uint64_t(st.st_mtim.tv_nsec) / 100;
    EXPECT_EQ(ticks, uint64_t(device.write.dwHighDateTime) << 32 | device.write.dwLowDateTime);
  }
}

// Puts the device back as the backups saw it, however the test ends.
// compare's lines less those of files a backup leaves out.
std::string WithoutLeftOut(const std::string& text) {
  std::istringstream lines(text);
  std::string kept;
  for (std::string line; std::getline(lines, line);)
    if (line.find(" (a backup leaves it out)") == std::string::npos) kept += line + "\n";
  return kept;
}

class DeviceFileUndo {
 public:
  ~DeviceFileUndo() {
    for (const auto& [path, state] : saved_) {
      if (state) {
        EXPECT_TRUE(WriteState(path, *state)) << U8(path);
      } else {
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(path.c_str());
      }
    }
  }
  void Save(const std::u16string& path) {
    FileState state;
    if (ReadState(path, &state))
      saved_[path] = state;
    else
      saved_[path] = std::nullopt;
  }

 private:
  std::map<std::u16string, std::optional<FileState>> saved_;
};

// What the device holds but a backup leaves out and a restore's mirror pass
// deletes: files the exclusion table names (ROM files are never deleted).
void LeftOutFiles(const std::u16string& folder, std::string* out) {
  std::u16string pattern = Join(folder, u"*.*");
  for (const WIN32_FIND_DATAW& e : ListFolder(pattern)) {
    std::u16string path = Join(folder, e.cFileName);
    bool saved = IsEntrySaved(pattern.c_str(), path.c_str(), e.cFileName, e.dwFileAttributes);
    if (e.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      if (saved) LeftOutFiles(path, out);
    } else if (!saved && !(e.dwFileAttributes & FILE_ATTRIBUTE_INROM)) {
      *out += "- " + U8(path) + " (a backup leaves it out)\n";
    }
  }
}

// Sets the files the device's system holds open for as long as it lives.
class HeldFilesSetting {
 public:
  explicit HeldFilesSetting(std::vector<std::string> held) : saved_(cedev::Device::Current()->Settings().held_files) {
    Set(std::move(held));
  }
  ~HeldFilesSetting() { Set(saved_); }

 private:
  static void Set(std::vector<std::string> held) {
    EXPECT_TRUE(cedev::Device::Current()->UpdateSettings([&](cedev::DeviceSettings& s) { s.held_files = held; }));
  }
  std::vector<std::string> saved_;
};

TEST_F(SampleArchiveTest, CompareWithTheDeviceItCameFromListsNoDeletion) {
  std::string left_out;
  LeftOutFiles(u"\\", &left_out);
  EXPECT_THAT(left_out, HasSubstr("- \\pim.vol (a backup leaves it out)\n"));
  // The system holds every one of them open, so a restore's mirror pass
  // cannot delete them: the device is what the archive holds.
  for (bool password : {false, true}) {
    SCOPED_TRACE(password ? "with a password" : "without a password");
    EXPECT_EQ(Run({"compare", Archive(password), "--device", DeviceDir()}), 0) << Out() << Err();
    EXPECT_EQ(Out(), "");
  }
  std::istringstream held(left_out);
  for (std::string line; std::getline(held, line);) {
    std::u16string path;
    ASSERT_TRUE(FromUtf8(line.substr(2, line.find(" (") - 2), &path));
    SetLastError(0);
    EXPECT_FALSE(DeleteFileW(path.c_str())) << line;
    EXPECT_EQ(GetLastError(), DWORD(ERROR_SHARING_VIOLATION)) << line;
  }

  // Released, they are what a restore would delete, and compare says why they are missing.
  HeldFilesSetting released({});
  EXPECT_EQ(Run({"compare", Archive(false), "--device", DeviceDir()}), 1) << Err();
  EXPECT_EQ(Out(), left_out);
  // Without those files the device is exactly what the archive holds.
  DeviceFileUndo undo;
  std::istringstream lines(left_out);
  for (std::string line; std::getline(lines, line);) {
    std::u16string path;
    ASSERT_TRUE(FromUtf8(line.substr(2, line.find(" (") - 2), &path));
    undo.Save(path);
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    ASSERT_TRUE(DeleteFileW(path.c_str())) << U8(path);
  }
  EXPECT_EQ(Run({"compare", Archive(false), "--device", DeviceDir()}), 0) << Out() << Err();
  EXPECT_EQ(Out(), "");
}

TEST_F(SampleArchiveTest, CompareWithTheChangedDeviceShowsWhatARestoreWouldDo) {
  const std::u16string changed = u"\\My Documents\\Personal\\notes.txt", added = u"\\My Documents\\added.txt",
                       deleted = u"\\My Documents\\Business\\route3.txt";
  {
    DeviceFileUndo undo;
    undo.Save(changed);
    undo.Save(added);
    undo.Save(deleted);
    FileState change;
    ASSERT_TRUE(ReadState(changed, &change));
    change.data.push_back('!');
    ASSERT_TRUE(WriteState(changed, change));  // same times and attributes, one byte more
    FileState fresh = change;
    fresh.data = {'n', 'e', 'w'};
    ASSERT_TRUE(WriteState(added, fresh));
    ASSERT_TRUE(DeleteFileW(deleted.c_str()));

    for (bool password : {false, true}) {
      SCOPED_TRACE(password ? "with a password" : "without a password");
      EXPECT_EQ(Run({"compare", Archive(password), "--device", DeviceDir()}), 1) << Err();
      // Device order for what is there, then what only the archive has.
      EXPECT_EQ(WithoutLeftOut(Out()),
                "- \\My Documents\\added.txt\n"
                "~ \\My Documents\\Personal\\notes.txt (size, content)\n"
                "+ \\My Documents\\Business\\route3.txt\n");
      ASSERT_EQ(Run({"compare", Archive(password), "--device", DeviceDir(), "--json"}), 1) << Err();
      std::map<std::string, std::string> changes;
      for (const auto& d : nlohmann::json::parse(Out()))
        if (d.at("what") != "a backup leaves it out") changes[d.at("path")] = d.at("change");
      EXPECT_EQ(changes, (std::map<std::string, std::string>{{"\\My Documents\\added.txt", "delete"},
                                                             {"\\My Documents\\Personal\\notes.txt", "change"},
                                                             {"\\My Documents\\Business\\route3.txt", "add"}}));
    }
  }
  // Put back as it was, the device matches again: times and attributes count.
  EXPECT_EQ(Run({"compare", Archive(false), "--device", DeviceDir()}), 0) << Out();
  EXPECT_EQ(WithoutLeftOut(Out()), "");
}

TEST_F(SampleArchiveTest, CompareSeesATouchedTimeAndAnAttribute) {
  const std::u16string touched = u"\\My Documents\\Templates\\blank.txt", hidden = u"\\Temp\\TolvaneKit_SP1.CAB";
  DeviceFileUndo undo;
  undo.Save(touched);
  undo.Save(hidden);
  FileState state;
  ASSERT_TRUE(ReadState(touched, &state));
  state.write.dwLowDateTime += 10000000;  // one second later
  ASSERT_TRUE(WriteState(touched, state));
  uint32_t attributes = GetFileAttributesW(hidden.c_str());
  ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
  ASSERT_TRUE(SetFileAttributesW(hidden.c_str(), attributes ^ FILE_ATTRIBUTE_HIDDEN));
  EXPECT_EQ(Run({"compare", Archive(false), "--device", DeviceDir()}), 1);
  EXPECT_EQ(WithoutLeftOut(Out()),
            "~ \\My Documents\\Templates\\blank.txt (attributes or times)\n"
            "~ \\Temp\\TolvaneKit_SP1.CAB (attributes or times)\n");
}

}  // namespace
}  // namespace tlvarc::testing
