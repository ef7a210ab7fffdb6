// Streams over one device file: MFileStream passes every transfer straight
// to the file; MBufferedFileStream gathers them into 1024-byte pieces and is
// what the jobs use for the archive files. A buffered stream is used in one
// direction only.
#pragma once

#include "archive_stream.h"
#include "ce/types.h"

class MFileStream : public MArchiveStream {
 public:
  static constexpr int kPathUnits = 1024;

  MFileStream();
  ~MFileStream() override;
  MFileStream(const MFileStream&) = delete;
  MFileStream& operator=(const MFileStream&) = delete;

  BOOL Read(void* buffer, LONG count, LONG* done) override;
  BOOL Write(const void* data, LONG count, LONG* done) override;
  BOOL Flush() override;

  BOOL OpenForWrite(LPCWSTR path);
  BOOL OpenForRead(LPCWSTR path);
  // Flushes (through the virtual Flush) and closes; the handle stays open
  // when the flush fails.
  BOOL Close();
  // After a restored file was written: reopen it for writing and set its times.
  BOOL SetTimes(const FILETIME* creation, const FILETIME* lastAccess, const FILETIME* lastWrite);

  BOOL IsOpen() const { return handle != nullptr; }
  LPCWSTR Path() const { return path; }

 protected:
  HANDLE handle;  // null when no file is open
  BOOL writeMode;
  WCHAR path[kPathUnits];

 private:
  BOOL Open(LPCWSTR newPath, DWORD access, DWORD disposition, BOOL forWrite);
};

class MBufferedFileStream : public MFileStream {
 public:
  static constexpr LONG kBufferBytes = 1024;

  MBufferedFileStream();

  BOOL Read(void* buffer, LONG count, LONG* done) override;
  BOOL Write(const void* data, LONG count, LONG* done) override;
  BOOL Flush() override;

 private:
  BOOL Refill();
  BOOL WriteOut();

  DWORD available;  // valid bytes in buffer while reading
  LONG position;    // reading: next unread byte; writing: bytes waiting
  BYTE buffer[kBufferBytes];
  BOOL dirty;
};
