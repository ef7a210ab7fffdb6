// Integers, bytes and counted strings: their bytes, the pieces they are
// written in, and short reads at every cut.
#include "primitives.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "test_streams.h"

namespace archive {
namespace {

Bytes Written(const std::u16string& text) {
  LimitedSink sink;
  EXPECT_TRUE(PutString(&sink, text.data(), uint32_t(text.size())));
  return sink.bytes;
}

bool ReadBack(MArchiveStream* in, std::u16string* out) {
  uint16_t length = 0;
  if (!GetStringLength(in, &length)) return false;
  out->assign(length, u'?');
  return GetStringUnits(in, out->data(), length);
}

TEST(Primitives, IntegersAreLittleEndian) {
  LimitedSink sink;
  ASSERT_TRUE(PutU16(&sink, 0x12345678));
  ASSERT_TRUE(PutU32(&sink, 0xA1B2C3D4));
  EXPECT_EQ(sink.bytes, (Bytes{0x78, 0x56, 0xD4, 0xC3, 0xB2, 0xA1}));
  std::unique_ptr<MMemoryStream> src(NewSource(sink.bytes));
  uint16_t w = 0;
  uint32_t d = 0;
  ASSERT_TRUE(GetU16(src.get(), &w));
  ASSERT_TRUE(GetU32(src.get(), &d));
  EXPECT_EQ(w, 0x5678);
  EXPECT_EQ(d, 0xA1B2C3D4u);
}

TEST(Primitives, CountedStringVectors) {
  EXPECT_EQ(Written(u"DATABASE"), (Bytes{0x08, 0x00, 0, 0, 0, 0, 0, 0, 0, 0, 0x44, 0x41, 0x54, 0x41, 0x42, 0x41, 0x53, 0x45}));
  EXPECT_EQ(Written(u"\\"), (Bytes{0x01, 0x00, 0x00, 0x5C}));
  EXPECT_EQ(Written(u""), (Bytes{0x00, 0x00}));
  EXPECT_EQ(Written(u"\u30EA\u00E9"), (Bytes{0x02, 0x00, 0x30, 0x00, 0xEA, 0xE9}));
}

TEST(Primitives, StringsAreWrittenInPiecesOfSixteen) {
  LimitedSink sink;
  std::u16string name(40, u'x');
  ASSERT_TRUE(PutString(&sink, name.data(), uint32_t(name.size())));
  // count, then 16+16+8 high bytes, then 16+16+8 low bytes
  EXPECT_EQ(sink.writes, 1 + 3 + 3);
  EXPECT_EQ(sink.bytes.size(), 2u + 80u);
}

TEST(Primitives, StringLengthIsTakenModulo65536) {
  std::u16string name(65536 + 3, u'y');
  LimitedSink sink;
  ASSERT_TRUE(PutString(&sink, name.data(), uint32_t(name.size())));
  EXPECT_EQ(sink.bytes, (Bytes{0x03, 0x00, 0, 0, 0, 'y', 'y', 'y'}));
}

TEST(Primitives, StringsRoundTripAndEmptyIsValid) {
  for (const std::u16string& text : {std::u16string(u""), std::u16string(u"HKEY_LOCAL_MACHINE"),
                                    std::u16string(u"\u30CD\u30C3\u30C8\uFF21"), std::u16string(u"a\0b", 3)}) {
    Bytes bytes = Written(text);
    std::unique_ptr<MMemoryStream> src(NewSource(bytes));
    std::u16string back;
    ASSERT_TRUE(ReadBack(src.get(), &back));
    EXPECT_EQ(back, text);
    EXPECT_EQ(src->ReadPosition(), bytes.size());
  }
}

TEST(Primitives, ShortReadsFailAtEveryCut) {
  Bytes bytes = Written(u"Software");
  for (size_t cut = 0; cut < bytes.size(); ++cut) {
    std::unique_ptr<MMemoryStream> src(NewSource(Bytes(bytes.begin(), bytes.begin() + long(cut))));
    std::u16string back;
    EXPECT_FALSE(ReadBack(src.get(), &back)) << cut;
  }
  std::unique_ptr<MMemoryStream> src(NewSource({0x01, 0x02, 0x03}));
  uint32_t d = 0xDEADBEEF;
  EXPECT_FALSE(GetU32(src.get(), &d));
  EXPECT_EQ(d, 0xDEADBEEFu) << "a short read leaves the value alone";
}

TEST(Primitives, ShortWritesFail) {
  LimitedSink full(3);
  EXPECT_FALSE(PutU32(&full, 1));
  LimitedSink sink(5);
  std::u16string text = u"ABCDEFGH";
  EXPECT_FALSE(PutString(&sink, text.data(), uint32_t(text.size())));
  LimitedSink bytes(2);
  EXPECT_FALSE(PutBytes(&bytes, "abc", 3));
}

}  // namespace
}  // namespace archive
