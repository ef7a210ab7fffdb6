#include "property_buffer.h"

#include <new>

#include "archive_format.h"
#include "little_endian.h"

namespace archive {
namespace {

// Where the string that starts at `offset` ends, terminator included, or 0
// when no terminator follows inside the buffer.
uint32_t StringEnd(const uint8_t* buffer, uint32_t offset, uint32_t size) {
  for (uint64_t at = offset; at + 1 < size; at += 2)
    if (buffer[at] == 0 && buffer[at + 1] == 0) return uint32_t(at + 2);
  return 0;
}

bool IsStringInside(const uint8_t* buffer, uint32_t offset, uint32_t first, uint32_t size) {
  return offset >= first && offset < size && StringEnd(buffer, offset, size) != 0;
}

bool IsBlobInside(uint32_t offset, uint32_t length, uint32_t first, uint32_t size) {
  if (length == 0) return true;
  return offset >= first && offset <= size && length <= size - offset;
}

}  // namespace

bool IsKnownPropertyType(uint16_t type) {
  switch (type) {
    case kPropI2: case kPropI4: case kPropR8: case kPropBool: case kPropUI2: case kPropUI4:
    case kPropString: case kPropFileTime: case kPropBlob:
      return true;
    default:
      return false;
  }
}

uint32_t PropertyEntry::StringOffset() const { return GetLe32(value); }
uint32_t PropertyEntry::BlobLength() const { return GetLe32(value); }
uint32_t PropertyEntry::BlobOffset() const { return GetLe32(value + 4); }

PropertyEntry EntryAt(const uint8_t* buffer, uint16_t index) {
  const uint8_t* e = buffer + size_t(index) * kPropertyEntryBytes;
  return PropertyEntry{GetLe32(e), GetLe16(e + 4), GetLe16(e + 6), e + 8};
}

Result CheckRecordSize(uint16_t count, uint32_t size) {
  if (size > kMaxRecordBytes) return Found(Problem::kRecordTooLarge, kNodeDatabase, size);
  if (uint64_t(size) < uint64_t(count) * kPropertyEntryBytes)
    return Found(Problem::kRecordTooSmall, kNodeDatabase, size, count);
  return Ok();
}

Result CheckPropertyBuffer(const uint8_t* buffer, uint32_t size, uint16_t count) {
  const uint32_t first = uint32_t(count) * kPropertyEntryBytes;
  for (uint16_t i = 0; i < count; ++i) {
    PropertyEntry e = EntryAt(buffer, i);
    uint32_t which = uint32_t(i) + 1;
    if (!IsKnownPropertyType(e.Type())) return Found(Problem::kUnknownPropertyType, kNodeDatabase, e.Type(), which);
    if (e.Type() == kPropString) {
      if (!IsStringInside(buffer, e.StringOffset(), first, size))
        return Found(Problem::kStringOutside, kNodeDatabase, e.StringOffset(), which);
      uint32_t bytes = StringEnd(buffer, e.StringOffset(), size) - e.StringOffset();
      if (bytes > kMaxPropertyDataBytes) return Found(Problem::kPropertyTooLarge, kNodeDatabase, bytes, which);
    }
    if (e.Type() == kPropBlob) {
      if (!IsBlobInside(e.BlobOffset(), e.BlobLength(), first, size))
        return Found(Problem::kBlobOutside, kNodeDatabase, e.BlobOffset(), which);
      if (e.BlobLength() > kMaxPropertyDataBytes)
        return Found(Problem::kPropertyTooLarge, kNodeDatabase, e.BlobLength(), which);
    }
  }
  return Ok();
}

void ShiftAddresses(uint8_t* buffer, uint16_t count, uint32_t delta) {
  for (uint16_t i = 0; i < count; ++i) {
    uint8_t* e = buffer + size_t(i) * kPropertyEntryBytes;
    uint16_t type = GetLe16(e);
    if (type == kPropString) PutLe32(e + 8, GetLe32(e + 8) + delta);
    if (type == kPropBlob) PutLe32(e + 12, GetLe32(e + 12) + delta);
  }
}

void ClearUnusedBytes(uint8_t* buffer, uint16_t count, uint32_t size) {
  uint8_t* used = new (std::nothrow) uint8_t[size ? size : 1]();
  if (!used) return;
  auto mark = [&](uint64_t from, uint64_t length) {
    for (uint64_t i = from; i < size && i - from < length; ++i) used[i] = 1;
  };
  mark(0, uint64_t(count) * kPropertyEntryBytes);
  for (uint16_t i = 0; i < count; ++i) {
    PropertyEntry e = EntryAt(buffer, i);
    if (e.Type() == kPropString) {
      for (uint64_t at = e.StringOffset(); at + 1 < size; at += 2) {
        mark(at, 2);
        if (buffer[at] == 0 && buffer[at + 1] == 0) break;
      }
    } else if (e.Type() == kPropBlob) {
      mark(e.BlobOffset(), e.BlobLength());
    }
  }
  for (uint32_t i = 0; i < size; ++i)
    if (!used[i]) buffer[i] = 0;
  delete[] used;
}

}  // namespace archive
