#include "records.h"

#include <new>

#include "job_status.h"
#include "primitives.h"
#include "wide_text.h"

namespace {

BOOL WriteFailed() {
  SetJobError(STATUS_WRITE_FAILED);
  return FALSE;
}

BOOL ReadFailed() {
  SetJobError(STATUS_ARCHIVE_READ_FAILED);
  return FALSE;
}

}  // namespace

BOOL WriteU16(MArchiveStream* stream, DWORD value) { return archive::PutU16(stream, value) ? TRUE : WriteFailed(); }

BOOL WriteU32(MArchiveStream* stream, DWORD value) { return archive::PutU32(stream, value) ? TRUE : WriteFailed(); }

BOOL WriteString(MArchiveStream* stream, LPCWSTR text) {
  return archive::PutString(stream, text, WideLength(text)) ? TRUE : WriteFailed();
}

BOOL WriteBytes(MArchiveStream* stream, const void* data, LONG count) {
  return archive::PutBytes(stream, data, count) ? TRUE : WriteFailed();
}

BOOL ReadU16(MArchiveStream* stream, WORD* value) { return archive::GetU16(stream, value) ? TRUE : ReadFailed(); }

BOOL ReadU32(MArchiveStream* stream, DWORD* value) { return archive::GetU32(stream, value) ? TRUE : ReadFailed(); }

LPWSTR ReadString(MArchiveStream* stream, DWORD* length) {
  WORD count = 0;
  if (!archive::GetStringLength(stream, &count)) return ReadFailed(), nullptr;
  LPWSTR text = new (std::nothrow) WCHAR[DWORD(count) + 1]();
  if (!text) {
    SetJobError(STATUS_NO_MEMORY);
    return nullptr;
  }
  if (!archive::GetStringUnits(stream, text, count)) {
    FreeString(text);
    return ReadFailed(), nullptr;
  }
  if (length) *length = count;
  return text;
}

LPWSTR ReadString(MArchiveStream* stream) { return ReadString(stream, nullptr); }

BOOL ReadBytes(MArchiveStream* stream, void* buffer, LONG count) {
  return archive::GetBytes(stream, buffer, count) ? TRUE : ReadFailed();
}

BOOL FormatResult(const archive::Result& result) {
  if (result.ok()) return TRUE;
  return result.problem == archive::Problem::kWriteFailed ? WriteFailed() : ReadFailed();
}
