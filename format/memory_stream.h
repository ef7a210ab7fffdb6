// A stream over bytes held in memory: archives read from or built in a
// buffer (tools, and the decoders' tests). Reads deliver what is there and
// report short transfers; writes append.
#pragma once

#include "archive_stream.h"

class MMemoryStream : public MArchiveStream {
 public:
  MMemoryStream();
  // Reads from a copy of `size` bytes.
  MMemoryStream(const void* data, uint32_t size);
  ~MMemoryStream() override;
  MMemoryStream(const MMemoryStream&) = delete;
  MMemoryStream& operator=(const MMemoryStream&) = delete;

  int32_t Read(void* buffer, int32_t count, int32_t* done) override;
  int32_t Write(const void* data, int32_t count, int32_t* done) override;
  int32_t Flush() override { return 1; }

  const uint8_t* Data() const { return bytes; }
  uint32_t Size() const { return size; }
  uint32_t ReadPosition() const { return readAt; }

 private:
  bool Reserve(uint32_t needed);

  uint8_t* bytes;
  uint32_t size;
  uint32_t capacity;
  uint32_t readAt;
};
