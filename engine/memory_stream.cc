#include "memory_stream.h"

#include <cstring>
#include <new>

MMemoryStream::MMemoryStream() : bytes(nullptr), size(0), capacity(0), readAt(0) {}

MMemoryStream::MMemoryStream(const void* data, DWORD length) : MMemoryStream() {
  if (Reserve(length)) {
    if (length) std::memcpy(bytes, data, length);
    size = length;
  }
}

MMemoryStream::~MMemoryStream() { delete[] bytes; }

BOOL MMemoryStream::Reserve(DWORD needed) {
  if (needed <= capacity) return TRUE;
  DWORD grown = capacity ? capacity : 256;
  while (grown < needed) {
    if (grown > 0x7FFFFFFFu) return FALSE;
    grown *= 2;
  }
  BYTE* larger = new (std::nothrow) BYTE[grown];
  if (!larger) return FALSE;
  if (size) std::memcpy(larger, bytes, size);
  delete[] bytes;
  bytes = larger;
  capacity = grown;
  return TRUE;
}

BOOL MMemoryStream::Read(void* buffer, LONG count, LONG* done) {
  if (done) *done = 0;
  if (count <= 0) return TRUE;
  DWORD left = size - readAt;
  DWORD take = DWORD(count) < left ? DWORD(count) : left;
  if (take) std::memcpy(buffer, bytes + readAt, take);
  readAt += take;
  if (done) *done = LONG(take);
  return take > 0;
}

BOOL MMemoryStream::Write(const void* data, LONG count, LONG* done) {
  if (done) *done = 0;
  if (count <= 0) return TRUE;
  if (!Reserve(size + DWORD(count))) return FALSE;
  std::memcpy(bytes + size, data, size_t(count));
  size += DWORD(count);
  if (done) *done = count;
  return TRUE;
}
