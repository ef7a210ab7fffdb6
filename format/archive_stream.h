// The byte stream interface every record reader and writer works on.
// A transfer reports the bytes really moved in `done`; callers treat a
// success that moved fewer bytes than asked as a failure of their own.
// Results are 32-bit booleans (nonzero is success) and counts are signed
// 32-bit, as on the device, so the device's streams implement it as they are.
#pragma once

#include <cstdint>

class MArchiveStream {
 public:
  virtual int32_t Read(void* buffer, int32_t count, int32_t* done) = 0;
  virtual int32_t Write(const void* data, int32_t count, int32_t* done) = 0;
  virtual int32_t Flush() = 0;
  virtual ~MArchiveStream() = default;
};
