// Each node record's codec: its bytes, the limits it checks as it reads,
// the field a short read names, and the end of the node stream.
#include "node_records.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "primitives.h"
#include "rle_stream.h"
#include "test_streams.h"

namespace archive {
namespace {

Bytes Le32(uint32_t v) { return {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)}; }

// Every cut of `bytes` short of the whole makes `read` end in `field`.
void ExpectEndsInFields(const Bytes& bytes, const std::function<Result(MArchiveStream*)>& read,
                        const std::vector<Field>& fieldAtByte) {
  ASSERT_EQ(fieldAtByte.size(), bytes.size());
  for (size_t cut = 0; cut < bytes.size(); ++cut) {
    std::unique_ptr<MMemoryStream> in(NewSource(Bytes(bytes.begin(), bytes.begin() + long(cut))));
    Result r = read(in.get());
    EXPECT_EQ(r.problem, Problem::kEnded) << cut;
    EXPECT_EQ(r.field, fieldAtByte[cut]) << cut;
  }
  std::unique_ptr<MMemoryStream> whole(NewSource(bytes));
  EXPECT_TRUE(read(whole.get()).ok());
}

TEST(NodeRecords, FolderWithOneFileAsTheDeviceWritesIt) {
  LimitedSink s;
  FileFields f;
  f.attributes = 0x20;
  f.creation = {0x11111111, 0x01D50000};
  f.access = {0x22222222, 0x01D50001};
  f.write = {0x33333333, 0x01D50002};
  f.size = 3;
  ASSERT_TRUE(WriteNodeHeader(&s, kNodeDirectory, u"\\").ok());
  ASSERT_TRUE(WriteNodeHeader(&s, kNodeFile, u"a").ok());
  ASSERT_TRUE(WriteFileFields(&s, f).ok());
  ASSERT_TRUE(PutBytes(&s, "abc", 3));
  ASSERT_TRUE(WriteEndMarker(&s).ok());
  Bytes expected = {0x00, 0x01, 0x00, 0x00, 0x01, 0x00, 0x00, 0x5C, 0x01, 0x01, 0x00, 0x00, 0x01, 0x00, 0x00, 0x61,
                    0x20, 0x00, 0x00, 0x00, 0x11, 0x11, 0x11, 0x11, 0x00, 0x00, 0xD5, 0x01, 0x22, 0x22, 0x22, 0x22,
                    0x01, 0x00, 0xD5, 0x01, 0x33, 0x33, 0x33, 0x33, 0x02, 0x00, 0xD5, 0x01, 0x03, 0x00, 0x00, 0x00,
                    0x61, 0x62, 0x63, 0xFF, 0xFF, 0xFF, 0xFF};
  EXPECT_EQ(s.bytes, expected);

  std::unique_ptr<MMemoryStream> in(NewSource(Bytes(s.bytes.begin() + 16, s.bytes.end())));
  FileFields back;
  ASSERT_TRUE(ReadFileFields(in.get(), &back).ok());
  EXPECT_EQ(back.attributes, 0x20u);
  EXPECT_EQ(back.creation, f.creation);
  EXPECT_EQ(back.access, f.access);
  EXPECT_EQ(back.write, f.write);
  EXPECT_EQ(back.size, 3u);
}

TEST(NodeRecords, ShortFileFieldsEndInTheFields) {
  Bytes bytes(32, 0x5A);
  ExpectEndsInFields(bytes, [](MArchiveStream* in) { FileFields f; return ReadFileFields(in, &f); },
                     std::vector<Field>(32, Field::kFileFields));
  std::unique_ptr<MMemoryStream> in(NewSource({}));
  FileFields f;
  EXPECT_EQ(Describe(ReadFileFields(in.get(), &f)), "the archive ends inside the file's fields");
}

TEST(NodeRecords, ValueHeaderAndItsLengthLimit) {
  LimitedSink s;
  ASSERT_TRUE(WriteValueHeader(&s, {4, 4096}).ok());
  EXPECT_EQ(s.bytes, (Bytes{4, 0, 0, 0, 0x00, 0x10, 0, 0}));
  std::unique_ptr<MMemoryStream> in(NewSource(s.bytes));
  ValueHeader h;
  ASSERT_TRUE(ReadValueHeader(in.get(), &h).ok());
  EXPECT_EQ(h.type, 4u);
  EXPECT_EQ(h.length, 4096u);

  Bytes big = Le32(1);
  Bytes length = Le32(4097);
  big.insert(big.end(), length.begin(), length.end());
  std::unique_ptr<MMemoryStream> bigIn(NewSource(big));
  Result r = ReadValueHeader(bigIn.get(), &h);
  EXPECT_EQ(r.problem, Problem::kValueTooLarge);
  EXPECT_EQ(Describe(r), "a value of 4097 bytes is larger than any registry value");

  std::vector<Field> fields(4, Field::kValueType);
  fields.insert(fields.end(), 4, Field::kValueLength);
  ExpectEndsInFields(s.bytes, [](MArchiveStream* in) { ValueHeader v; return ReadValueHeader(in, &v); }, fields);
}

TEST(NodeRecords, DatabaseFieldsWithSortOrders) {
  DatabaseFields f;
  f.type = 0x1234;
  f.sortCount = 2;
  f.sorts[0] = {0x00010003, 0};
  f.sorts[1] = {0x0002001F, 2};
  LimitedSink s;
  ASSERT_TRUE(WriteDatabaseFields(&s, f).ok());
  EXPECT_EQ(s.bytes, (Bytes{0x34, 0x12, 0, 0, 2, 0, 0x03, 0, 0x01, 0, 0, 0, 0, 0, 0x1F, 0, 0x02, 0, 2, 0, 0, 0}));
  DatabaseFields back;
  std::unique_ptr<MMemoryStream> in(NewSource(s.bytes));
  ASSERT_TRUE(ReadDatabaseFields(in.get(), &back).ok());
  EXPECT_EQ(back.type, 0x1234u);
  ASSERT_EQ(back.sortCount, 2);
  EXPECT_EQ(back.sorts[1].propid, 0x0002001Fu);
  EXPECT_EQ(back.sorts[1].flags, 2u);

  std::vector<Field> fields(4, Field::kDatabaseType);
  fields.insert(fields.end(), 2, Field::kSortOrderCount);
  fields.insert(fields.end(), 16, Field::kSortOrders);
  ExpectEndsInFields(s.bytes, [](MArchiveStream* in) { DatabaseFields d; return ReadDatabaseFields(in, &d); }, fields);
}

TEST(NodeRecords, FiveSortOrdersAreRefusedBeforeTheyAreRead) {
  Bytes bytes = {7, 0, 0, 0, 5, 0};
  bytes.insert(bytes.end(), 40, 0);
  std::unique_ptr<MMemoryStream> in(NewSource(bytes));
  DatabaseFields f;
  Result r = ReadDatabaseFields(in.get(), &f);
  EXPECT_EQ(r.problem, Problem::kTooManySortOrders);
  EXPECT_EQ(in->ReadPosition(), 6u);
  EXPECT_EQ(Describe(r), "5 sort orders (a database has at most 4)");
}

TEST(NodeRecords, SortOrdersSortByKnownPropertyTypes) {
  for (uint32_t propid : {0x00010002u, 0x00010003u, 0x00010005u, 0x0001000Bu, 0x00010012u, 0x00010013u, 0x0001001Fu,
                          0x00010040u, 0x00010041u}) {
    std::unique_ptr<MMemoryStream> in(NewSource(Bytes{1, 0, 0, 0, 1, 0, uint8_t(propid), 0, 1, 0, 0, 0, 0, 0}));
    DatabaseFields f;
    EXPECT_TRUE(ReadDatabaseFields(in.get(), &f).ok()) << std::hex << propid;
  }
  std::unique_ptr<MMemoryStream> in(NewSource(Bytes{1, 0, 0, 0, 2, 0, 0x03, 0, 1, 0, 0, 0, 0, 0, 0x01, 0, 2, 0, 0, 0, 0, 0}));
  DatabaseFields f;
  Result r = ReadDatabaseFields(in.get(), &f);
  EXPECT_EQ(r.problem, Problem::kUnknownSortType);
  EXPECT_EQ(Describe(r), "sort order 2 sorts by the unknown value type 1");
}

TEST(NodeRecords, RecordBlocksAndTheirSizes) {
  LimitedSink s;
  ASSERT_TRUE(WriteRecordHeader(&s, 2, 40).ok());
  ASSERT_TRUE(WriteRecordsEnd(&s).ok());
  EXPECT_EQ(s.bytes, (Bytes{2, 0, 40, 0, 0, 0, 0, 0}));
  std::unique_ptr<MMemoryStream> in(NewSource(s.bytes));
  uint16_t count = 0;
  uint32_t size = 0;
  ASSERT_TRUE(ReadRecordCount(in.get(), &count).ok());
  ASSERT_TRUE(ReadRecordSize(in.get(), count, &size).ok());
  EXPECT_EQ(size, 40u);
  ASSERT_TRUE(ReadRecordCount(in.get(), &count).ok());
  EXPECT_EQ(count, 0) << "the end of the records";

  struct Case {
    uint16_t count;
    uint32_t size;
    Problem problem;
  } cases[] = {{2, 32, Problem::kNone},
               {2, 31, Problem::kRecordTooSmall},
               {1, 128 * 1024, Problem::kNone},
               {1, 128 * 1024 + 1, Problem::kRecordTooLarge},
               {0x2000, 0x2000 * 16, Problem::kNone},
               {0xFFFF, 0xFFFF * 16, Problem::kRecordTooLarge}};
  for (const Case& c : cases) {
    std::unique_ptr<MMemoryStream> sizeIn(NewSource(Le32(c.size)));
    uint32_t read = 0;
    EXPECT_EQ(ReadRecordSize(sizeIn.get(), c.count, &read).problem, c.problem) << c.count << " " << c.size;
  }
  std::unique_ptr<MMemoryStream> small(NewSource(Le32(31)));
  EXPECT_EQ(Describe(ReadRecordSize(small.get(), 2, &size)), "a buffer of 31 bytes cannot hold 2 properties");
}

TEST(NodeRecords, ShortWritesAreWriteFailures) {
  LimitedSink s(6);
  FileFields f;
  EXPECT_EQ(WriteFileFields(&s, f).problem, Problem::kWriteFailed);
  LimitedSink t(3);
  EXPECT_EQ(WriteNodeHeader(&t, kNodeFile, u"name").problem, Problem::kWriteFailed);
  LimitedSink u(5);
  DatabaseFields d;
  d.sortCount = 1;
  EXPECT_EQ(WriteDatabaseFields(&u, d).problem, Problem::kWriteFailed);
}

TEST(NodeRecords, TypeCodesNameWhatWasLeftOpen) {
  std::unique_ptr<MMemoryStream> in(NewSource({0xFF, 0xFF}));
  uint32_t type = 0;
  EXPECT_EQ(Describe(ReadTypeCode(in.get(), Field::kChildTypeCode, kNodeRegKey, &type)),
            "the archive ends before the registry key is closed");
  std::unique_ptr<MMemoryStream> empty(NewSource({}));
  EXPECT_EQ(Describe(ReadTypeCode(empty.get(), Field::kTypeCode, kNodeRoot, &type)),
            "the archive ends inside the root's type code");
}

// The root with no children, coded, then whatever follows it.
Result EndAfterRoot(const Bytes& decodedTail, const Bytes& codedTail) {
  Bytes nodes = {1, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF};
  nodes.insert(nodes.end(), decodedTail.begin(), decodedTail.end());
  LimitedSink coded;
  MRleStream encoder(&coded);
  int32_t done = 0;
  EXPECT_TRUE(encoder.Write(nodes.data(), int32_t(nodes.size()), &done));
  EXPECT_TRUE(encoder.Flush());
  coded.bytes.insert(coded.bytes.end(), codedTail.begin(), codedTail.end());
  std::unique_ptr<MMemoryStream> file(NewSource(coded.bytes));
  MRleStream decoder(file.get());
  uint8_t root[10];
  EXPECT_TRUE(GetBytes(&decoder, root, 10));
  return CheckNodeStreamEnd(&decoder, file.get());
}

TEST(NodeRecords, NothingMayFollowTheRoot) {
  EXPECT_TRUE(EndAfterRoot({}, {}).ok());
  EXPECT_EQ(EndAfterRoot({0xFF}, {}).problem, Problem::kTrailingData) << "a byte in the end marker's own packet";
  EXPECT_EQ(EndAfterRoot({0x41}, {}).problem, Problem::kTrailingData) << "a decoded byte in a packet of its own";
  EXPECT_EQ(EndAfterRoot({}, {0x00, 0x41}).problem, Problem::kTrailingData) << "a whole packet";
  EXPECT_EQ(EndAfterRoot({}, {0xFE, 0x41}).problem, Problem::kTrailingPacket) << "a literal packet cut short";
  Result stray = EndAfterRoot({}, {0x05});
  EXPECT_EQ(stray.problem, Problem::kTrailingPacket) << "a single control byte";
  EXPECT_EQ(Describe(stray), "an incomplete packet follows the end of the root");
}

}  // namespace
}  // namespace archive
