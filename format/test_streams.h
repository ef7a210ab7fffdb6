// Streams for the tests of the format and of the engine: a byte sink that can be told to fail after
// a number of bytes, and helpers to turn streams into byte vectors.
#pragma once

#include <cstdint>
#include <vector>

#include "archive_stream.h"
#include "memory_stream.h"

using Bytes = std::vector<uint8_t>;

// Accepts `limit` bytes, then every write fails (a full volume).
class LimitedSink : public MArchiveStream {
 public:
  explicit LimitedSink(size_t limit = SIZE_MAX) : limit_(limit) {}
  int32_t Read(void*, int32_t, int32_t*) override { return 0; }
  int32_t Write(const void* data, int32_t count, int32_t* done) override {
    if (done) *done = 0;
    if (count <= 0) return 1;
    size_t room = limit_ - bytes.size();
    size_t take = static_cast<size_t>(count) < room ? static_cast<size_t>(count) : room;
    auto* p = static_cast<const uint8_t*>(data);
    bytes.insert(bytes.end(), p, p + take);
    if (done) *done = static_cast<int32_t>(take);
    ++writes;
    return take == static_cast<size_t>(count);
  }
  int32_t Flush() override {
    ++flushes;
    return 1;
  }
  Bytes bytes;
  int writes = 0;
  int flushes = 0;

 private:
  size_t limit_;
};

inline MMemoryStream* NewSource(const Bytes& bytes) { return new MMemoryStream(bytes.data(), uint32_t(bytes.size())); }
