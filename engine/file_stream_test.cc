#include "file_stream.h"

#include <windows.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "device_control.h"
#include "scratch_device.h"

namespace {

using Bytes = std::vector<uint8_t>;

class FileStreamTest : public ::testing::Test {
 protected:
  Bytes Contents(const char16_t* path) {
    HANDLE h = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return {0xBA, 0xD0};
    Bytes out;
    uint8_t buf[333];
    DWORD got = 0;
    while (ReadFile(h, buf, sizeof buf, &got, nullptr) && got) out.insert(out.end(), buf, buf + got);
    CloseHandle(h);
    return out;
  }
  Bytes Pattern(size_t n) {
    Bytes b(n);
    for (size_t i = 0; i < n; ++i) b[i] = uint8_t(i * 31 + i / 256);
    return b;
  }
  void WriteBuffered(const char16_t* path, const Bytes& data, size_t piece) {
    MBufferedFileStream s;
    ASSERT_TRUE(s.OpenForWrite(path));
    for (size_t at = 0; at < data.size(); at += piece) {
      LONG n = LONG(std::min(piece, data.size() - at)), done = -1;
      ASSERT_TRUE(s.Write(data.data() + at, n, &done));
      ASSERT_EQ(done, n);
    }
    ASSERT_TRUE(s.Close());
  }
  cedev::ScratchDevice dev_;
};

TEST_F(FileStreamTest, BufferedWriteAndReadRoundTrip) {
  Bytes data = Pattern(5000);
  for (size_t piece : {1u, 7u, 1024u, 3000u}) {
    WriteBuffered(u"\\FlashDisk\\a.bin", data, piece);
    EXPECT_EQ(Contents(u"\\FlashDisk\\a.bin"), data) << piece;
    MBufferedFileStream s;
    ASSERT_TRUE(s.OpenForRead(u"\\FlashDisk\\a.bin"));
    Bytes back(data.size());
    for (size_t at = 0; at < back.size(); at += piece) {
      LONG n = LONG(std::min(piece, back.size() - at)), done = -1;
      ASSERT_TRUE(s.Read(back.data() + at, n, &done));
      ASSERT_EQ(done, n);
    }
    EXPECT_EQ(back, data);
  }
}

TEST_F(FileStreamTest, ReadingPastTheEndFailsOnlyWithoutBytes) {
  WriteBuffered(u"\\x.bin", Pattern(10), 10);
  MBufferedFileStream s;
  ASSERT_TRUE(s.OpenForRead(u"\\x.bin"));
  uint8_t buf[16];
  LONG done = -1;
  EXPECT_TRUE(s.Read(buf, 16, &done)) << "a short read that delivered bytes succeeds";
  EXPECT_EQ(done, 10);
  done = -1;
  EXPECT_FALSE(s.Read(buf, 4, &done));
  EXPECT_EQ(done, 0);
}

TEST_F(FileStreamTest, SecondOpenFailsAndKeepsTheFirstFile) {
  MFileStream s;
  ASSERT_TRUE(s.OpenForWrite(u"\\one.bin"));
  EXPECT_FALSE(s.OpenForWrite(u"\\two.bin"));
  EXPECT_FALSE(s.OpenForRead(u"\\one.bin"));
  EXPECT_EQ(std::u16string(s.Path()), u"\\one.bin");
  LONG done = 0;
  ASSERT_TRUE(s.Write("abc", 3, &done));
  ASSERT_TRUE(s.Close());
  EXPECT_EQ(Contents(u"\\one.bin"), (Bytes{'a', 'b', 'c'}));
  EXPECT_EQ(GetFileAttributesW(u"\\two.bin"), INVALID_FILE_ATTRIBUTES);
}

TEST_F(FileStreamTest, OperationsWithoutAFileFail) {
  MFileStream s;
  LONG done = -1;
  uint8_t b = 0;
  EXPECT_FALSE(s.Close());
  EXPECT_FALSE(s.Read(&b, 1, &done));
  EXPECT_FALSE(s.Write(&b, 1, &done));
  EXPECT_FALSE(s.Flush());
  EXPECT_FALSE(s.OpenForRead(u"\\missing.bin"));
  EXPECT_FALSE(s.IsOpen());
}

TEST_F(FileStreamTest, DestroyingWithoutCloseLosesTheBuffer) {
  {
    MBufferedFileStream s;
    ASSERT_TRUE(s.OpenForWrite(u"\\lost.bin"));
    Bytes data = Pattern(1500);
    LONG done = 0;
    ASSERT_TRUE(s.Write(data.data(), LONG(data.size()), &done));
  }
  EXPECT_EQ(Contents(u"\\lost.bin").size(), 1024u) << "only the full piece reached the file";
}

TEST_F(FileStreamTest, FullVolumeFailsTheWrite) {
  ASSERT_TRUE(cedev::AddFault("volume.full", u"\\FlashDisk\\*", ERROR_DISK_FULL));
  MBufferedFileStream s;
  ASSERT_TRUE(s.OpenForWrite(u"\\FlashDisk\\full.bin"));
  Bytes data = Pattern(4096);
  LONG done = -1;
  EXPECT_FALSE(s.Write(data.data(), LONG(data.size()), &done));
  EXPECT_EQ(done, 1024) << "counts what the buffer took, not what reached the file";
}

TEST_F(FileStreamTest, SetTimesReopensAndSetsAllThree) {
  MFileStream s;
  ASSERT_TRUE(s.OpenForWrite(u"\\t.bin"));
  LONG done = 0;
  ASSERT_TRUE(s.Write("xy", 2, &done));
  FILETIME c{0x11111100, 0x01C00000}, a{0x22222200, 0x01C00000}, w{0x33333300, 0x01C00000};
  ASSERT_TRUE(s.SetTimes(&c, &a, &w));
  ASSERT_TRUE(s.Close());
  HANDLE h = CreateFileW(u"\\t.bin", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  FILETIME c2{}, a2{}, w2{};
  ASSERT_TRUE(GetFileTime(h, &c2, &a2, &w2));
  CloseHandle(h);
  EXPECT_EQ(c2.dwLowDateTime, c.dwLowDateTime);
  EXPECT_EQ(a2.dwLowDateTime, a.dwLowDateTime);
  EXPECT_EQ(w2.dwLowDateTime, w.dwLowDateTime);
  EXPECT_EQ(Contents(u"\\t.bin"), (Bytes{'x', 'y'}));
}

}  // namespace
