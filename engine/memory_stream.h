// A stream over bytes held in memory: archives read from or built in a
// buffer (tools, and the decoders' tests). Reads deliver what is there and
// report short transfers; writes append.
#pragma once

#include "archive_stream.h"

class MMemoryStream : public MArchiveStream {
 public:
  MMemoryStream();
  // Reads from a copy of `size` bytes.
  MMemoryStream(const void* data, DWORD size);
  ~MMemoryStream() override;
  MMemoryStream(const MMemoryStream&) = delete;
  MMemoryStream& operator=(const MMemoryStream&) = delete;

  BOOL Read(void* buffer, LONG count, LONG* done) override;
  BOOL Write(const void* data, LONG count, LONG* done) override;
  BOOL Flush() override { return TRUE; }

  const BYTE* Data() const { return bytes; }
  DWORD Size() const { return size; }
  DWORD ReadPosition() const { return readAt; }

 private:
  BOOL Reserve(DWORD needed);

  BYTE* bytes;
  DWORD size;
  DWORD capacity;
  DWORD readAt;
};
