#include "memory_stream.h"

#include <cstring>
#include <new>

MMemoryStream::MMemoryStream() : bytes(nullptr), size(0), capacity(0), readAt(0) {}

MMemoryStream::MMemoryStream(const void* data, uint32_t length) : MMemoryStream() {
  if (Reserve(length)) {
    if (length) std::memcpy(bytes, data, length);
    size = length;
  }
}

MMemoryStream::~MMemoryStream() { delete[] bytes; }

bool MMemoryStream::Reserve(uint32_t needed) {
  if (needed <= capacity) return true;
  uint32_t grown = capacity ? capacity : 256;
  while (grown < needed) {
    if (grown > 0x7FFFFFFFu) return false;
    grown *= 2;
  }
  uint8_t* larger = new (std::nothrow) uint8_t[grown];
  if (!larger) return false;
  if (size) std::memcpy(larger, bytes, size);
  delete[] bytes;
  bytes = larger;
  capacity = grown;
  return true;
}

int32_t MMemoryStream::Read(void* buffer, int32_t count, int32_t* done) {
  if (done) *done = 0;
  if (count <= 0) return 1;
  uint32_t left = size - readAt;
  uint32_t take = uint32_t(count) < left ? uint32_t(count) : left;
  if (take) std::memcpy(buffer, bytes + readAt, take);
  readAt += take;
  if (done) *done = int32_t(take);
  return take > 0;
}

int32_t MMemoryStream::Write(const void* data, int32_t count, int32_t* done) {
  if (done) *done = 0;
  if (count <= 0) return 1;
  if (!Reserve(size + uint32_t(count))) return 0;
  std::memcpy(bytes + size, data, size_t(count));
  size += uint32_t(count);
  if (done) *done = count;
  return 1;
}
