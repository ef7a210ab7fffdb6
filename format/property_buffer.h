// The property buffer of a database record as the archive carries it: one
// 16-byte entry per property (property id whose low 16 bits are the value
// type, length, flags, 8-byte value), then the strings and blobs the
// entries refer to. Where the device keeps addresses (a string's, a blob's
// bytes) the archive keeps offsets from the buffer's start.
#pragma once

#include <cstdint>

#include "result.h"

namespace archive {

// One entry, read from the buffer.
struct PropertyEntry {
  uint32_t propid = 0;
  uint16_t length = 0;
  uint16_t flags = 0;
  const uint8_t* value = nullptr;  // 8 bytes

  uint16_t Type() const { return uint16_t(propid); }
  uint32_t StringOffset() const;  // kPropString
  uint32_t BlobLength() const;    // kPropBlob
  uint32_t BlobOffset() const;    // kPropBlob
};
PropertyEntry EntryAt(const uint8_t* buffer, uint16_t index);

// The value types a record's property may have.
bool IsKnownPropertyType(uint16_t type);

// The property count and size of a record block, before its buffer is read.
Result CheckRecordSize(uint16_t count, uint32_t size);
// Every property of a known type, every string starting past the entries
// and ending with its terminator inside the buffer, every blob inside the
// data behind the entries (an empty blob may point anywhere), and no string
// or blob larger than a property holds.
Result CheckPropertyBuffer(const uint8_t* buffer, uint32_t size, uint16_t count);

// Adds `delta` (modulo 2^32) to every string and blob address of the
// buffer: the base address turns offsets into addresses, minus the base
// turns them back.
void ShiftAddresses(uint8_t* buffer, uint16_t count, uint32_t delta);
// Zeroes the bytes that no entry, string or blob uses (alignment gaps the
// device leaves unset), so the same records always give the same archive.
void ClearUnusedBytes(uint8_t* buffer, uint16_t count, uint32_t size);

}  // namespace archive
