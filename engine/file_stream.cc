#include "file_stream.h"

#include <cstring>

#include <windows.h>
#include "wide_text.h"

MFileStream::MFileStream() : handle(nullptr), writeMode(TRUE) { path[0] = 0; }

MFileStream::~MFileStream() {
  // A buffered stream destroyed without Close loses its buffer: only the
  // file's own flush runs here, the object is no longer a buffered stream.
  if (handle && !Close()) CloseHandle(handle);
}

BOOL MFileStream::Open(LPCWSTR newPath, DWORD access, DWORD disposition, BOOL forWrite) {
  if (handle) return FALSE;
  if (!WideCopy(path, kPathUnits, newPath)) return FALSE;
  HANDLE h = CreateFileW(path, access, FILE_SHARE_READ, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == nullptr || h == INVALID_HANDLE_VALUE) return FALSE;
  handle = h;
  writeMode = forWrite;
  return TRUE;
}

BOOL MFileStream::OpenForWrite(LPCWSTR newPath) { return Open(newPath, GENERIC_WRITE, CREATE_ALWAYS, TRUE); }

BOOL MFileStream::OpenForRead(LPCWSTR newPath) { return Open(newPath, GENERIC_READ, OPEN_EXISTING, FALSE); }

BOOL MFileStream::Read(void* buffer, LONG count, LONG* done) {
  if (!handle) return FALSE;
  DWORD got = 0;
  BOOL ok = ReadFile(handle, buffer, count < 0 ? 0 : DWORD(count), &got, nullptr);
  if (done) *done = LONG(got);
  return ok;
}

BOOL MFileStream::Write(const void* data, LONG count, LONG* done) {
  if (!handle) return FALSE;
  DWORD put = 0;
  BOOL ok = WriteFile(handle, data, count < 0 ? 0 : DWORD(count), &put, nullptr);
  if (done) *done = LONG(put);
  Sleep(0);  // keep the user-interface thread responsive during long writes
  return ok;
}

BOOL MFileStream::Flush() {
  if (!writeMode) return TRUE;
  if (!handle) return FALSE;
  return FlushFileBuffers(handle);
}

BOOL MFileStream::Close() {
  if (!handle) return FALSE;
  if (!Flush()) return FALSE;
  if (!CloseHandle(handle)) return FALSE;
  handle = nullptr;
  return TRUE;
}

BOOL MFileStream::SetTimes(const FILETIME* creation, const FILETIME* lastAccess, const FILETIME* lastWrite) {
  if (!handle) return FALSE;
  FlushFileBuffers(handle);
  CloseHandle(handle);
  handle = nullptr;
  HANDLE h = CreateFileW(path, GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == nullptr || h == INVALID_HANDLE_VALUE) return FALSE;
  handle = h;
  return SetFileTime(handle, creation, lastAccess, lastWrite);
}

MBufferedFileStream::MBufferedFileStream() : available(0), position(0), dirty(FALSE) {
  std::memset(buffer, 0, sizeof buffer);
}

BOOL MBufferedFileStream::Refill() {
  LONG got = 0;
  BOOL ok = MFileStream::Read(buffer, kBufferBytes, &got);
  position = 0;
  available = ok && got > 0 ? DWORD(got) : 0;
  return ok && got > 0;
}

BOOL MBufferedFileStream::Read(void* out, LONG count, LONG* done) {
  LONG delivered = 0;
  if (done) *done = 0;
  if (count <= 0) return TRUE;
  BYTE* dst = static_cast<BYTE*>(out);
  while (delivered < count) {
    LONG ready = LONG(available) - position;
    if (ready <= 0) {
      if (!Refill()) break;
      continue;
    }
    LONG take = ready < count - delivered ? ready : count - delivered;
    std::memcpy(dst + delivered, buffer + position, size_t(take));
    position += take;
    delivered += take;
  }
  if (done) *done = delivered;
  return delivered > 0;
}

BOOL MBufferedFileStream::WriteOut() {
  LONG start = 0;
  while (position > 0) {
    LONG put = 0;
    if (!MFileStream::Write(buffer + start, position, &put) || put <= 0) return FALSE;
    if (put > position) put = position;
    position -= put;
    start += put;
  }
  return TRUE;
}

BOOL MBufferedFileStream::Write(const void* data, LONG count, LONG* done) {
  dirty = TRUE;
  if (done) *done = 0;
  if (count <= 0) return TRUE;
  const BYTE* src = static_cast<const BYTE*>(data);
  LONG taken = 0;
  while (taken < count) {
    LONG room = kBufferBytes - position;
    LONG take = room < count - taken ? room : count - taken;
    std::memcpy(buffer + position, src + taken, size_t(take));
    position += take;
    taken += take;
    if (done) *done = taken;
    if (position == kBufferBytes && !WriteOut()) return FALSE;
  }
  return TRUE;
}

BOOL MBufferedFileStream::Flush() {
  if (dirty && !WriteOut()) return FALSE;
  return MFileStream::Flush();
}
