#include "records.h"

#include <new>

#include "archive_format.h"
#include "job_status.h"
#include "wide_text.h"

using archive::kStringPieceBytes;

namespace {

BOOL PutAll(MArchiveStream* stream, const void* data, LONG count) {
  LONG done = 0;
  return stream->Write(data, count, &done) && done == count;
}

BOOL GetAll(MArchiveStream* stream, void* buffer, LONG count) {
  LONG done = 0;
  return stream->Read(buffer, count, &done) && done == count;
}

// One byte group of a counted string: the high (shift 8) or low (shift 0)
// byte of each unit, written in pieces of at most 16 bytes.
BOOL PutByteGroup(MArchiveStream* stream, LPCWSTR text, DWORD count, int shift) {
  BYTE piece[kStringPieceBytes];
  for (DWORD at = 0; at < count;) {
    LONG n = 0;
    while (n < kStringPieceBytes && at < count) piece[n++] = BYTE(text[at++] >> shift);
    if (!PutAll(stream, piece, n)) return FALSE;
  }
  return TRUE;
}

BOOL GetByteGroup(MArchiveStream* stream, LPWSTR text, DWORD count, int shift) {
  BYTE piece[kStringPieceBytes];
  for (DWORD at = 0; at < count;) {
    LONG n = count - at < DWORD(kStringPieceBytes) ? LONG(count - at) : kStringPieceBytes;
    if (!GetAll(stream, piece, n)) return FALSE;
    for (LONG i = 0; i < n; ++i) text[at++] |= WCHAR(WCHAR(piece[i]) << shift);
  }
  return TRUE;
}

BOOL WriteFailed() {
  SetJobError(STATUS_WRITE_FAILED);
  return FALSE;
}

BOOL ReadFailed() {
  SetJobError(STATUS_ARCHIVE_READ_FAILED);
  return FALSE;
}

}  // namespace

BOOL WriteU16(MArchiveStream* stream, DWORD value) {
  BYTE bytes[2] = {BYTE(value), BYTE(value >> 8)};
  return PutAll(stream, bytes, 2) ? TRUE : WriteFailed();
}

BOOL WriteU32(MArchiveStream* stream, DWORD value) {
  BYTE bytes[4] = {BYTE(value), BYTE(value >> 8), BYTE(value >> 16), BYTE(value >> 24)};
  return PutAll(stream, bytes, 4) ? TRUE : WriteFailed();
}

BOOL WriteString(MArchiveStream* stream, LPCWSTR text) {
  // The system never stores a string longer than 65535 units; the count is
  // the length taken modulo 65536 and only that many units follow.
  DWORD count = WideLength(text) & 0xFFFF;
  if (!WriteU16(stream, count)) return FALSE;
  if (!PutByteGroup(stream, text, count, 8) || !PutByteGroup(stream, text, count, 0)) return WriteFailed();
  return TRUE;
}

BOOL WriteBytes(MArchiveStream* stream, const void* data, LONG count) {
  return PutAll(stream, data, count) ? TRUE : WriteFailed();
}

BOOL ReadU16(MArchiveStream* stream, WORD* value) {
  BYTE bytes[2];
  if (!GetAll(stream, bytes, 2)) return ReadFailed();
  *value = WORD(bytes[0] | (bytes[1] << 8));
  return TRUE;
}

BOOL ReadU32(MArchiveStream* stream, DWORD* value) {
  BYTE bytes[4];
  if (!GetAll(stream, bytes, 4)) return ReadFailed();
  *value = DWORD(bytes[0]) | DWORD(bytes[1]) << 8 | DWORD(bytes[2]) << 16 | DWORD(bytes[3]) << 24;
  return TRUE;
}

LPWSTR ReadString(MArchiveStream* stream) {
  WORD count = 0;
  if (!ReadU16(stream, &count)) return nullptr;
  LPWSTR text = new (std::nothrow) WCHAR[DWORD(count) + 1]();
  if (!text) {
    SetJobError(STATUS_NO_MEMORY);
    return nullptr;
  }
  if (!GetByteGroup(stream, text, count, 8) || !GetByteGroup(stream, text, count, 0)) {
    FreeString(text);
    ReadFailed();
    return nullptr;
  }
  return text;
}

BOOL ReadBytes(MArchiveStream* stream, void* buffer, LONG count) {
  return GetAll(stream, buffer, count) ? TRUE : ReadFailed();
}
