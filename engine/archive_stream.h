// The byte stream interface every record reader and writer works on.
// A transfer reports the bytes really moved in `done`; callers treat a
// success that moved fewer bytes than asked as a failure of their own.
#pragma once

#include "ce/types.h"

class MArchiveStream {
 public:
  virtual BOOL Read(void* buffer, LONG count, LONG* done) = 0;
  virtual BOOL Write(const void* data, LONG count, LONG* done) = 0;
  virtual BOOL Flush() = 0;
  virtual ~MArchiveStream() = default;
};
