// A database record's property buffer: what a sound one looks like, every
// way a string or blob can leave it, address shifting and the clearing of
// unused bytes.
#include "property_buffer.h"

#include <gtest/gtest.h>

#include <vector>

#include "archive_format.h"
#include "little_endian.h"

namespace archive {
namespace {

using Buffer = std::vector<uint8_t>;

// Entries for `types`, then `data` bytes; string and blob fields set later.
Buffer Entries(std::initializer_list<uint16_t> types, size_t data) {
  Buffer b(types.size() * 16 + data, 0);
  size_t i = 0;
  for (uint16_t type : types) {
    PutLe32(b.data() + 16 * i, uint32_t(i + 1) << 16 | type);
    ++i;
  }
  return b;
}
void SetString(Buffer* b, int i, uint32_t offset) { PutLe32(b->data() + 16 * i + 8, offset); }
void SetBlob(Buffer* b, int i, uint32_t length, uint32_t offset) {
  PutLe32(b->data() + 16 * i + 8, length);
  PutLe32(b->data() + 16 * i + 12, offset);
}
Result Check(const Buffer& b, uint16_t count) { return CheckPropertyBuffer(b.data(), uint32_t(b.size()), count); }

TEST(PropertyBuffer, SoundRecordOfEveryType) {
  Buffer b = Entries({kPropI2, kPropI4, kPropR8, kPropBool, kPropUI2, kPropUI4, kPropFileTime, kPropString, kPropBlob}, 8);
  SetString(&b, 7, 144);  // "a" and its terminator
  b[144] = 'a';
  SetBlob(&b, 8, 4, 148);
  EXPECT_TRUE(Check(b, 9).ok());
  PropertyEntry e = EntryAt(b.data(), 8);
  EXPECT_EQ(e.Type(), kPropBlob);
  EXPECT_EQ(e.propid, 9u << 16 | kPropBlob);
  EXPECT_EQ(e.BlobLength(), 4u);
  EXPECT_EQ(e.BlobOffset(), 148u);
  EXPECT_EQ(EntryAt(b.data(), 7).StringOffset(), 144u);
}

TEST(PropertyBuffer, StringsStartPastTheEntriesAndEndInside) {
  Buffer b = Entries({kPropString}, 8);  // 16 + 8 bytes, all zero: "" at 16, 18, 20, 22
  struct Case {
    uint32_t offset;
    bool sound;
  } cases[] = {{16, true}, {22, true}, {0, false}, {8, false}, {15, false}, {23, false}, {24, false}, {0xFFFFFFF0u, false}};
  for (const Case& c : cases) {
    SetString(&b, 0, c.offset);
    Result r = Check(b, 1);
    EXPECT_EQ(r.ok(), c.sound) << c.offset;
    if (!c.sound) {
      EXPECT_EQ(r.problem, Problem::kStringOutside) << c.offset;
    }
  }
  Buffer unterminated = Entries({kPropString}, 8);
  for (size_t i = 16; i < unterminated.size(); ++i) unterminated[i] = 'x';
  SetString(&unterminated, 0, 16);
  Result r = Check(unterminated, 1);
  EXPECT_EQ(r.problem, Problem::kStringOutside);
  EXPECT_EQ(r.index, 1u);
  EXPECT_EQ(Describe(r), "property 1: its string runs past the end of the record or into its entries");
}

TEST(PropertyBuffer, BlobsLieInsideTheDataButAnEmptyOneMayPointAnywhere) {
  Buffer b = Entries({kPropI4, kPropBlob}, 8);  // data at 32..39
  struct Case {
    uint32_t length, offset;
    bool sound;
  } cases[] = {{8, 32, true},  {1, 39, true},  {0, 40, true}, {0, 0, true}, {0, 0xFFFFFFFFu, true},
               {9, 32, false}, {1, 40, false}, {1, 31, false}, {4, 0, false}, {0xFFFFFFFFu, 33, false}};
  for (const Case& c : cases) {
    SetBlob(&b, 1, c.length, c.offset);
    Result r = Check(b, 2);
    EXPECT_EQ(r.ok(), c.sound) << c.length << " at " << c.offset;
    if (!c.sound) {
      EXPECT_EQ(r.problem, Problem::kBlobOutside);
      EXPECT_EQ(r.index, 2u);
    }
  }
}

TEST(PropertyBuffer, UnknownValueTypesAreRefused) {
  for (uint16_t type : {uint16_t(0), uint16_t(1), uint16_t(4), uint16_t(30), uint16_t(66), uint16_t(99)}) {
    Buffer b = Entries({kPropI4, type}, 0);
    Result r = Check(b, 2);
    EXPECT_EQ(r.problem, Problem::kUnknownPropertyType) << type;
    EXPECT_EQ(r.value, type);
    EXPECT_EQ(r.index, 2u);
  }
  EXPECT_EQ(Describe(Check(Entries({99}, 0), 1)), "property 1 has the unknown value type 99");
}

TEST(PropertyBuffer, NoStringOrBlobLargerThanAPropertyHolds) {
  Buffer blob = Entries({kPropBlob}, 65473);
  SetBlob(&blob, 0, 65472, 16);
  EXPECT_TRUE(Check(blob, 1).ok());
  SetBlob(&blob, 0, 65473, 16);
  Result r = Check(blob, 1);
  EXPECT_EQ(r.problem, Problem::kPropertyTooLarge);
  EXPECT_EQ(Describe(r), "property 1: its 65473 bytes are more than a property holds");
  Buffer text = Entries({kPropString}, 65474);
  for (size_t i = 16; i + 2 < text.size(); ++i) text[i] = 'a';
  SetString(&text, 0, 16);  // 32736 units with the terminator at the end: 65474 bytes
  EXPECT_EQ(Check(text, 1).problem, Problem::kPropertyTooLarge);
  text[16 + 65470] = 0;
  text[16 + 65471] = 0;  // now 65472 bytes with the terminator
  EXPECT_TRUE(Check(text, 1).ok());
}

TEST(PropertyBuffer, SizesAgainstTheirCounts) {
  EXPECT_TRUE(CheckRecordSize(1, 16).ok());
  EXPECT_EQ(CheckRecordSize(1, 15).problem, Problem::kRecordTooSmall);
  EXPECT_EQ(CheckRecordSize(4, 16).problem, Problem::kRecordTooSmall);
  EXPECT_EQ(CheckRecordSize(1, 0xFFFFFFF0u).problem, Problem::kRecordTooLarge);
  EXPECT_EQ(Describe(CheckRecordSize(1, 0xFFFFFFF0u)), "a record of 4294967280 bytes is larger than any record");
}

TEST(PropertyBuffer, OnlyStringAndBlobAddressesShift) {
  Buffer b = Entries({kPropString, kPropBlob, kPropI4, kPropFileTime}, 8);
  SetString(&b, 0, 64);
  SetBlob(&b, 1, 4, 66);
  PutLe32(b.data() + 2 * 16 + 8, 0x11223344);
  PutLe64(b.data() + 3 * 16 + 8, 0x01020304AABBCCDDull);
  Buffer before = b;
  ShiftAddresses(b.data(), 4, 0x10000000);
  EXPECT_EQ(GetLe32(b.data() + 8), 0x10000040u);
  EXPECT_EQ(GetLe32(b.data() + 16 + 8), 4u) << "the blob's length stays";
  EXPECT_EQ(GetLe32(b.data() + 16 + 12), 0x10000042u);
  EXPECT_EQ(GetLe32(b.data() + 2 * 16 + 8), 0x11223344u);
  EXPECT_EQ(GetLe64(b.data() + 3 * 16 + 8), 0x01020304AABBCCDDull);
  ShiftAddresses(b.data(), 4, uint32_t(-0x10000000));
  EXPECT_EQ(b, before);
}

TEST(PropertyBuffer, UnusedBytesAreCleared) {
  Buffer b = Entries({kPropString, kPropBlob}, 16);  // data at 32..47
  SetString(&b, 0, 36);
  SetBlob(&b, 1, 3, 42);
  for (size_t i = 32; i < 48; ++i) b[i] = 0xEE;
  b[36] = 'h', b[37] = 0, b[38] = 0, b[39] = 0;  // "h" and its terminator
  b[6] = 0x77;  // a flags byte of an entry stays
  ClearUnusedBytes(b.data(), 2, uint32_t(b.size()));
  Buffer expected = Entries({kPropString, kPropBlob}, 16);
  SetString(&expected, 0, 36);
  SetBlob(&expected, 1, 3, 42);
  expected[6] = 0x77;
  expected[36] = 'h';
  expected[42] = expected[43] = expected[44] = 0xEE;
  EXPECT_EQ(b, expected);
}

}  // namespace
}  // namespace archive
