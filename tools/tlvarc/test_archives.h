// Archives built by hand for the tool's tests: every record type, both
// format versions, registry-only archives, and ways to damage them.
#pragma once

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "archive_format.h"
#include "commands.h"
#include "device_source.h"
#include "memory_stream.h"
#include "node_writer.h"
#include "rle_stream.h"
#include "terminal.h"
#include "text.h"

namespace tlvarc::testing {

inline std::vector<uint8_t> Bytes(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

inline std::vector<uint8_t> Utf16Data(const std::u16string& s) {
  std::vector<uint8_t> out;
  for (char16_t c : s) {
    out.push_back(uint8_t(c));
    out.push_back(uint8_t(c >> 8));
  }
  out.push_back(0);
  out.push_back(0);
  return out;
}

inline FileFields Fields(uint32_t attributes, uint32_t size, uint64_t time = 0x01D9000000000000ull) {
  FileFields f;
  f.attributes = attributes;
  f.creation = {uint32_t(time), uint32_t(time >> 32)};
  f.access = {uint32_t(time + 10000000), uint32_t((time + 10000000) >> 32)};
  f.write = {uint32_t(time + 20000000), uint32_t((time + 20000000) >> 32)};
  f.size = size;
  return f;
}

// A record buffer in archive form: the entries, then strings and blobs, with
// their positions stored as offsets.
class RecordBuilder {
 public:
  RecordBuilder& Int(uint16_t id, uint16_t type, uint64_t value) {
    Entry e{uint32_t(id) << 16 | type, value, {}};
    entries_.push_back(e);
    return *this;
  }
  RecordBuilder& String(uint16_t id, const std::u16string& text) {
    entries_.push_back({uint32_t(id) << 16 | archive::kPropString, 0, Utf16Data(text)});
    return *this;
  }
  RecordBuilder& Blob(uint16_t id, const std::vector<uint8_t>& data) {
    entries_.push_back({uint32_t(id) << 16 | archive::kPropBlob, data.size(), data});
    return *this;
  }
  uint16_t Count() const { return uint16_t(entries_.size()); }
  std::vector<uint8_t> Build() const {
    std::vector<uint8_t> out(entries_.size() * 16, 0);
    for (size_t i = 0; i < entries_.size(); ++i) {
      const Entry& e = entries_[i];
      uint8_t* p = out.data() + i * 16;
      Put32(p, e.propid);
      uint16_t type = uint16_t(e.propid);
      if (type == archive::kPropString || type == archive::kPropBlob) {
        uint32_t at = uint32_t(out.size());
        if (type == archive::kPropString) {
          Put32(out.data() + i * 16 + 8, at);
        } else {
          Put32(out.data() + i * 16 + 8, uint32_t(e.extra.size()));
          Put32(out.data() + i * 16 + 12, at);
        }
        out.insert(out.end(), e.extra.begin(), e.extra.end());
      } else {
        for (int k = 0; k < 8; ++k) p[8 + k] = uint8_t(e.value >> (8 * k));
      }
    }
    return out;
  }

 private:
  struct Entry {
    uint32_t propid;
    uint64_t value;
    std::vector<uint8_t> extra;
  };
  static void Put32(uint8_t* p, uint32_t v) {
    for (int k = 0; k < 4; ++k) p[k] = uint8_t(v >> (8 * k));
  }
  std::vector<Entry> entries_;
};

// A scratch folder, removed afterwards, and helpers to run commands.
class ToolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    IgnoreTerminalForTests();
    SetDeviceWalker(WalkDevice);
    ::unsetenv(kPasswordEnv);
    ::unsetenv(kNewPasswordEnv);
    dir_ = std::filesystem::temp_directory_path() /
           ("tlvarc-test-" + std::to_string(::getpid()) + "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  std::string Path(const std::string& name) const { return (dir_ / name).string(); }

  int Run(const Args& args) {
    out_.str("");
    err_.str("");
    return RunTlvarc(args, CommandIo{out_, err_});
  }
  std::string Out() const { return out_.str(); }
  std::string Err() const { return err_.str(); }

  static std::vector<uint8_t> ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }
  static void WriteAll(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  }

  std::filesystem::path dir_;
  std::ostringstream out_, err_;
};

// Builds an archive in memory: header, then records written by the test.
class ArchiveBuilder {
 public:
  explicit ArchiveBuilder(const std::u16string& password = u"", const std::u16string& platform = u"Tovak") {
    EXPECT_TRUE(WriteArchiveHeader(&file_, platform, password).ok());
  }
  NodeWriter& W() { return writer_; }
  // The root with the file system, the four registry roots and the databases
  // of a small device.
  ArchiveBuilder& SampleData() {
    using namespace archive;
    EXPECT_TRUE(writer_.Container(kNodeRoot, u"").ok());
    EXPECT_TRUE(writer_.Container(kNodeDirectory, u"\\").ok());
    EXPECT_TRUE(writer_.Container(kNodeDirectory, u"My Documents").ok());
    FileField(u"a.txt", 0x20, "hello");
    FileField(u"empty.bin", 0x21, "");
    EXPECT_TRUE(writer_.End().ok());
    FileField(u"top.dat", 0x20, std::string(1000, 'z'));
    EXPECT_TRUE(writer_.End().ok());
    SampleRegistry();
    EXPECT_TRUE(writer_.Container(kNodeDbFolder, u"DATABASE").ok());
    DatabaseFields db;
    db.type = 0x1234;
    db.sortCount = 2;
    db.sorts[0] = {0x00010003u, 0u};
    db.sorts[1] = {0x0002001Fu, 2u};
    EXPECT_TRUE(writer_.Database(u"Contacts Database", db).ok());
    RecordBuilder r1;
    r1.Int(1, archive::kPropI4, 42).String(2, u"Ann").Blob(3, Bytes("\x01\x02\x03"));
    EXPECT_TRUE(writer_.Record(r1.Count(), r1.Build()).ok());
    RecordBuilder r2;
    r2.Int(4, archive::kPropFileTime, 0x01D9000012345678ull).Int(5, archive::kPropUI2, 7);
    EXPECT_TRUE(writer_.Record(r2.Count(), r2.Build()).ok());
    EXPECT_TRUE(writer_.DatabaseEnd().ok());
    EXPECT_TRUE(writer_.Database(u"Empty", DatabaseFields{}).ok());
    EXPECT_TRUE(writer_.DatabaseEnd().ok());
    EXPECT_TRUE(writer_.End().ok());
    EXPECT_TRUE(writer_.End().ok());
    return *this;
  }
  ArchiveBuilder& SampleRegistryOnly() {
    EXPECT_TRUE(writer_.Container(archive::kNodeRoot, u"").ok());
    SampleRegistry();
    EXPECT_TRUE(writer_.End().ok());
    return *this;
  }
  void SampleRegistry() {
    using namespace archive;
    const char16_t* roots[] = {u"HKEY_CLASSES_ROOT", u"HKEY_CURRENT_USER", u"HKEY_LOCAL_MACHINE", u"HKEY_USERS"};
    for (const char16_t* root : roots) {
      EXPECT_TRUE(writer_.Key(kNodeRegRoot, root, u"").ok());
      if (std::u16string(root) == u"HKEY_LOCAL_MACHINE") {
        EXPECT_TRUE(writer_.Key(kNodeRegKey, u"init", u"").ok());
        EXPECT_TRUE(writer_.Value(u"Launch80", 1, Utf16Data(u"tolvane.exe")).ok());
        EXPECT_TRUE(writer_.Value(u"Depend80", 3, {0x00, 0x14}).ok());
        EXPECT_TRUE(writer_.Value(u"", 4, {1, 0, 0, 0}).ok());
        EXPECT_TRUE(writer_.Key(kNodeRegKey, u"Empty", u"cls").ok());
        EXPECT_TRUE(writer_.End().ok());
        EXPECT_TRUE(writer_.End().ok());
      }
      EXPECT_TRUE(writer_.End().ok());
    }
  }
  void FileField(const std::u16string& name, uint32_t attributes, const std::string& content) {
    EXPECT_TRUE(writer_.FileHeader(name, Fields(attributes, uint32_t(content.size()))).ok());
    EXPECT_TRUE(writer_.Content(content.data(), content.size()).ok());
  }
  std::vector<uint8_t> Finish() {
    EXPECT_TRUE(writer_.Finish().ok());
    return std::vector<uint8_t>(file_.Data(), file_.Data() + file_.Size());
  }

 private:
  MMemoryStream file_;
  NodeWriter writer_{&file_};
};

// The same archive in the older layout: version 0x00010001, platform name
// only, the node stream from offset 256.
inline std::vector<uint8_t> ToOldLayout(const std::vector<uint8_t>& current) {
  std::vector<uint8_t> out(current.begin(), current.begin() + archive::kOldNodeStreamOffset);
  out[0] = 0x01;
  out.insert(out.end(), current.begin() + archive::kNodeStreamOffset, current.end());
  return out;
}

// The decoded node stream of an archive file's bytes.
inline std::vector<uint8_t> DecodedNodes(const std::vector<uint8_t>& archive_bytes) {
  uint32_t start = archive_bytes.at(0) == 0x01 ? archive::kOldNodeStreamOffset : archive::kNodeStreamOffset;
  MMemoryStream file(archive_bytes.data() + start, uint32_t(archive_bytes.size() - start));
  MRleStream coder(&file);
  std::vector<uint8_t> out;
  uint8_t b;
  int32_t done = 0;
  while (coder.Read(&b, 1, &done) && done == 1) out.push_back(b);
  return out;
}

// An archive file's bytes made from a decoded node stream (new layout, no password).
inline std::vector<uint8_t> EncodeNodes(const std::vector<uint8_t>& nodes) {
  MMemoryStream file;
  EXPECT_TRUE(WriteArchiveHeader(&file, u"Tovak", u"").ok());
  MRleStream coder(&file);
  int32_t done = 0;
  EXPECT_TRUE(coder.Write(nodes.data(), int32_t(nodes.size()), &done));
  EXPECT_TRUE(coder.Flush());
  return std::vector<uint8_t>(file.Data(), file.Data() + file.Size());
}

}  // namespace tlvarc::testing
