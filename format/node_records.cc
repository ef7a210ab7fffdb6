#include "node_records.h"

#include "primitives.h"
#include "property_buffer.h"
#include "rle_stream.h"

// Returns the result of `expr` from the calling codec when it found a problem.
#define TLV_RETURN_IF_FAILED(expr)      \
  do {                                  \
    ::archive::Result result_ = (expr); \
    if (!result_.ok()) return result_;  \
  } while (0)

namespace archive {
namespace {

Result Wrote(bool ok) { return ok ? Ok() : Found(Problem::kWriteFailed, 0); }

Result ReadU32(MArchiveStream* stream, Field field, int32_t kind, uint32_t* value) {
  return GetU32(stream, value) ? Ok() : Ended(field, kind);
}

Result ReadU16(MArchiveStream* stream, Field field, int32_t kind, uint16_t* value) {
  return GetU16(stream, value) ? Ok() : Ended(field, kind);
}

}  // namespace

Result WriteNodeHeader(MArchiveStream* stream, int32_t type, std::u16string_view name) {
  return Wrote(PutU32(stream, uint32_t(type)) && PutString(stream, name.data(), uint32_t(name.size())));
}

Result WriteEndMarker(MArchiveStream* stream) { return Wrote(PutU32(stream, uint32_t(kNodeEnd))); }

Result ReadTypeCode(MArchiveStream* stream, Field field, int32_t container, uint32_t* type) {
  return ReadU32(stream, field, container, type);
}

Result ReadTextLength(MArchiveStream* stream, Field field, int32_t kind, uint16_t* length) {
  return GetStringLength(stream, length) ? Ok() : Ended(field, kind);
}

Result ReadTextUnits(MArchiveStream* stream, Field field, int32_t kind, char16_t* units, uint16_t length) {
  return GetStringUnits(stream, units, length) ? Ok() : Ended(field, kind);
}

Result WriteText(MArchiveStream* stream, std::u16string_view text) {
  return Wrote(PutString(stream, text.data(), uint32_t(text.size())));
}

Result WriteFileFields(MArchiveStream* stream, const FileFields& f) {
  const uint32_t fields[8] = {f.attributes, f.creation.low, f.creation.high, f.access.low,
                              f.access.high, f.write.low,   f.write.high,   f.size};
  for (uint32_t value : fields)
    if (!PutU32(stream, value)) return Wrote(false);
  return Ok();
}

Result ReadFileFields(MArchiveStream* stream, FileFields* f) {
  uint32_t fields[8];
  for (uint32_t& value : fields) TLV_RETURN_IF_FAILED(ReadU32(stream, Field::kFileFields, kNodeFile, &value));
  f->attributes = fields[0];
  f->creation = {fields[1], fields[2]};
  f->access = {fields[3], fields[4]};
  f->write = {fields[5], fields[6]};
  f->size = fields[7];
  return Ok();
}

Result WriteValueHeader(MArchiveStream* stream, const ValueHeader& header) {
  return Wrote(PutU32(stream, header.type) && PutU32(stream, header.length));
}

Result ReadValueHeader(MArchiveStream* stream, ValueHeader* header) {
  TLV_RETURN_IF_FAILED(ReadU32(stream, Field::kValueType, kNodeRegValue, &header->type));
  TLV_RETURN_IF_FAILED(ReadU32(stream, Field::kValueLength, kNodeRegValue, &header->length));
  if (header->length > kMaxValueBytes) return Found(Problem::kValueTooLarge, kNodeRegValue, header->length);
  return Ok();
}

Result WriteDatabaseFields(MArchiveStream* stream, const DatabaseFields& f) {
  if (!PutU32(stream, f.type) || !PutU16(stream, f.sortCount)) return Wrote(false);
  for (uint16_t i = 0; i < f.sortCount && i < kMaxSortOrders; ++i)
    if (!PutU32(stream, f.sorts[i].propid) || !PutU32(stream, f.sorts[i].flags)) return Wrote(false);
  return Ok();
}

Result ReadDatabaseFields(MArchiveStream* stream, DatabaseFields* f) {
  TLV_RETURN_IF_FAILED(ReadU32(stream, Field::kDatabaseType, kNodeDatabase, &f->type));
  uint16_t count = 0;
  TLV_RETURN_IF_FAILED(ReadU16(stream, Field::kSortOrderCount, kNodeDatabase, &count));
  if (count > kMaxSortOrders) return Found(Problem::kTooManySortOrders, kNodeDatabase, count);
  for (uint16_t i = 0; i < count; ++i) {
    TLV_RETURN_IF_FAILED(ReadU32(stream, Field::kSortOrders, kNodeDatabase, &f->sorts[i].propid));
    TLV_RETURN_IF_FAILED(ReadU32(stream, Field::kSortOrders, kNodeDatabase, &f->sorts[i].flags));
    // A database sorts by properties of the types a record may hold.
    uint16_t type = uint16_t(f->sorts[i].propid);
    if (!IsKnownPropertyType(type)) return Found(Problem::kUnknownSortType, kNodeDatabase, type, uint32_t(i) + 1);
  }
  f->sortCount = count;
  return Ok();
}

Result WriteRecordHeader(MArchiveStream* stream, uint16_t count, uint32_t size) {
  return Wrote(PutU16(stream, count) && PutU32(stream, size));
}

Result WriteRecordsEnd(MArchiveStream* stream) { return Wrote(PutU16(stream, 0)); }

Result ReadRecordCount(MArchiveStream* stream, uint16_t* count) {
  return ReadU16(stream, Field::kRecordList, kNodeDatabase, count);
}

Result ReadRecordSize(MArchiveStream* stream, uint16_t count, uint32_t* size) {
  TLV_RETURN_IF_FAILED(ReadU32(stream, Field::kRecordSize, kNodeDatabase, size));
  return CheckRecordSize(count, *size);
}

Result CheckNodeStreamEnd(MRleStream* decoder, MArchiveStream* coded) {
  if (decoder->HasUnreadBytes()) return Found(Problem::kTrailingData, kNodeRoot);
  uint8_t control = 0;
  int32_t done = 0;
  if (!coded->Read(&control, 1, &done) || done != 1) return Ok();
  // A stray byte: a whole packet, or the start of one that never ends.
  int32_t wanted = control < 0x80 ? 1 : 0x100 - int32_t(control);
  uint8_t packet[kRleMaxLiterals];
  return GetBytes(coded, packet, wanted) ? Found(Problem::kTrailingData, kNodeRoot)
                                         : Found(Problem::kTrailingPacket, kNodeRoot);
}

}  // namespace archive
