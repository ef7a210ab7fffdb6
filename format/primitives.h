// The values every record is made of: little-endian integers, raw bytes and
// counted strings (a 16-bit count, then the high bytes of the units, then
// their low bytes). Each answers false when the stream moved fewer bytes
// than the value has; what that means for the job is the caller's business.
#pragma once

#include <cstdint>

#include "archive_stream.h"

namespace archive {

bool PutBytes(MArchiveStream* stream, const void* data, int32_t count);
bool GetBytes(MArchiveStream* stream, void* buffer, int32_t count);

// The low 16 bits of `value`.
bool PutU16(MArchiveStream* stream, uint32_t value);
bool PutU32(MArchiveStream* stream, uint32_t value);
bool GetU16(MArchiveStream* stream, uint16_t* value);
bool GetU32(MArchiveStream* stream, uint32_t* value);

// Count, high bytes, low bytes; each byte group in writes of at most 16
// bytes. The count is `length` taken modulo 65536 and only that many units
// follow: the system never stores a longer string.
bool PutString(MArchiveStream* stream, const char16_t* units, uint32_t length);
// A counted string in two steps, so the caller allocates between them.
bool GetStringLength(MArchiveStream* stream, uint16_t* length);
// Reads the `length` units announced, in pieces of at most 16 bytes.
bool GetStringUnits(MArchiveStream* stream, char16_t* units, uint16_t length);

}  // namespace archive
