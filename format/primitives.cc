#include "primitives.h"

#include "archive_format.h"
#include "little_endian.h"

namespace archive {
namespace {

// One byte group of a counted string: the high (shift 8) or low (shift 0)
// byte of each unit.
bool PutByteGroup(MArchiveStream* stream, const char16_t* units, uint32_t count, int shift) {
  uint8_t piece[kStringPieceBytes];
  for (uint32_t at = 0; at < count;) {
    int32_t n = 0;
    while (n < kStringPieceBytes && at < count) piece[n++] = uint8_t(units[at++] >> shift);
    if (!PutBytes(stream, piece, n)) return false;
  }
  return true;
}

bool GetByteGroup(MArchiveStream* stream, char16_t* units, uint32_t count, int shift) {
  uint8_t piece[kStringPieceBytes];
  for (uint32_t at = 0; at < count;) {
    int32_t n = count - at < uint32_t(kStringPieceBytes) ? int32_t(count - at) : kStringPieceBytes;
    if (!GetBytes(stream, piece, n)) return false;
    for (int32_t i = 0; i < n; ++i) units[at++] |= char16_t(char16_t(piece[i]) << shift);
  }
  return true;
}

}  // namespace

bool PutBytes(MArchiveStream* stream, const void* data, int32_t count) {
  int32_t done = 0;
  return stream->Write(data, count, &done) && done == count;
}

bool GetBytes(MArchiveStream* stream, void* buffer, int32_t count) {
  int32_t done = 0;
  return stream->Read(buffer, count, &done) && done == count;
}

bool PutU16(MArchiveStream* stream, uint32_t value) {
  uint8_t bytes[2];
  PutLe16(bytes, uint16_t(value));
  return PutBytes(stream, bytes, 2);
}

bool PutU32(MArchiveStream* stream, uint32_t value) {
  uint8_t bytes[4];
  PutLe32(bytes, value);
  return PutBytes(stream, bytes, 4);
}

bool GetU16(MArchiveStream* stream, uint16_t* value) {
  uint8_t bytes[2];
  if (!GetBytes(stream, bytes, 2)) return false;
  *value = GetLe16(bytes);
  return true;
}

bool GetU32(MArchiveStream* stream, uint32_t* value) {
  uint8_t bytes[4];
  if (!GetBytes(stream, bytes, 4)) return false;
  *value = GetLe32(bytes);
  return true;
}

bool PutString(MArchiveStream* stream, const char16_t* units, uint32_t length) {
  uint32_t count = length & 0xFFFF;
  return PutU16(stream, count) && PutByteGroup(stream, units, count, 8) && PutByteGroup(stream, units, count, 0);
}

bool GetStringLength(MArchiveStream* stream, uint16_t* length) { return GetU16(stream, length); }

bool GetStringUnits(MArchiveStream* stream, char16_t* units, uint16_t length) {
  for (uint16_t i = 0; i < length; ++i) units[i] = 0;
  return GetByteGroup(stream, units, length, 8) && GetByteGroup(stream, units, length, 0);
}

}  // namespace archive
