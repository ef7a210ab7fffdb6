// The archive header: both layouts, the platform name field, and what a
// reader refuses before the node stream.
#include "header.h"

#include <gtest/gtest.h>

#include <memory>

#include "test_streams.h"

namespace archive {
namespace {

Bytes Encoded(const std::u16string& platform, uint8_t blockFill) {
  uint8_t name[kPlatformNameBytes], block[kPasswordBlockBytes], out[kNodeStreamOffset];
  SetPlatformName(platform, name);
  for (uint8_t& b : block) b = blockFill;
  EncodeHeader(name, block, out);
  return Bytes(out, out + kNodeStreamOffset);
}

TEST(Header, CurrentLayoutByOffset) {
  Bytes h = Encoded(u"Tovak", 0xAB);
  ASSERT_EQ(h.size(), 1284u);
  EXPECT_EQ(Bytes(h.begin(), h.begin() + 4), (Bytes{0x02, 0x00, 0x01, 0x00}));
  EXPECT_EQ(Bytes(h.begin() + 4, h.begin() + 16), (Bytes{'T', 0, 'o', 0, 'v', 0, 'a', 0, 'k', 0, 0, 0}));
  EXPECT_EQ(Bytes(h.begin() + 14, h.begin() + 256), Bytes(242, 0)) << "zero-terminated and zero-padded";
  EXPECT_EQ(Bytes(h.begin() + 256, h.end()), Bytes(1028, 0xAB));
}

TEST(Header, PlatformNameIsCutTo125UnitsAndKeepsItsTerminator) {
  std::u16string name(300, u'\u30C8');
  Bytes h = Encoded(name, 0);
  Header read;
  ASSERT_TRUE(DecodeHeader(h.data(), h.size(), &read).ok());
  EXPECT_EQ(read.PlatformName(), name.substr(0, 125));
  EXPECT_EQ(h[4 + 250], 0);
  EXPECT_EQ(h[4 + 251], 0);
}

TEST(Header, WriteThenReadBothLayouts) {
  uint8_t name[kPlatformNameBytes], block[kPasswordBlockBytes];
  SetPlatformName(u"Velta HT-660", name);
  for (size_t i = 0; i < sizeof block; ++i) block[i] = uint8_t(i * 7);
  LimitedSink sink;
  ASSERT_TRUE(WriteHeader(&sink, name, block).ok());
  EXPECT_EQ(sink.writes, 2) << "version, then the header block";
  std::unique_ptr<MMemoryStream> in(NewSource(sink.bytes));
  Header h;
  ASSERT_TRUE(ReadHeader(in.get(), &h).ok());
  EXPECT_EQ(h.version, kVersion);
  EXPECT_TRUE(h.hasPasswordBlock);
  EXPECT_EQ(h.NodeStreamOffset(), 1284u);
  EXPECT_EQ(h.PlatformName(), u"Velta HT-660");
  EXPECT_EQ(Bytes(h.passwordBlock, h.passwordBlock + kPasswordBlockBytes), Bytes(block, block + sizeof block));

  // The old layout: version 0x00010001 and the name, nothing more is read.
  Bytes old(sink.bytes.begin(), sink.bytes.begin() + 256);
  old[0] = 0x01;
  old.push_back(0x55);
  std::unique_ptr<MMemoryStream> oldIn(NewSource(old));
  Header o;
  ASSERT_TRUE(ReadHeader(oldIn.get(), &o).ok());
  EXPECT_EQ(o.version, kVersionOld);
  EXPECT_FALSE(o.hasPasswordBlock);
  EXPECT_EQ(o.NodeStreamOffset(), 256u);
  EXPECT_EQ(o.PlatformName(), u"Velta HT-660");
  EXPECT_EQ(oldIn->ReadPosition(), 256u);
}

TEST(Header, UnknownVersionIsRefusedBeforeTheBlock) {
  Bytes h = Encoded(u"x", 0);
  h[0] = 0x03;
  std::unique_ptr<MMemoryStream> in(NewSource(h));
  Header read;
  Result r = ReadHeader(in.get(), &read);
  EXPECT_EQ(r.problem, Problem::kUnknownVersion);
  EXPECT_EQ(r.value, 0x00010003u);
  EXPECT_EQ(in->ReadPosition(), 4u);
  EXPECT_EQ(Describe(r), "unknown format version 0x00010003 at offset 0");
  EXPECT_EQ(DecodeHeader(h.data(), h.size(), &read).problem, Problem::kUnknownVersion);
}

TEST(Header, ShortHeadersEndInTheVersionOrTheBlock) {
  Bytes h = Encoded(u"x", 0);
  for (size_t cut : {size_t(0), size_t(3), size_t(4), size_t(1283)}) {
    Header read;
    Field expected = cut < 4 ? Field::kVersion : Field::kHeaderBlock;
    std::unique_ptr<MMemoryStream> in(NewSource(Bytes(h.begin(), h.begin() + long(cut))));
    Result streamed = ReadHeader(in.get(), &read);
    EXPECT_EQ(streamed.problem, Problem::kEnded) << cut;
    EXPECT_EQ(streamed.field, expected) << cut;
    Result decoded = DecodeHeader(h.data(), cut, &read);
    EXPECT_EQ(decoded.field, expected) << cut;
  }
}

}  // namespace
}  // namespace archive
