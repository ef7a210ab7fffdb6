// Record primitives: little-endian integers and counted strings on an
// archive stream, as the format's primitives write and read them. Each
// records its failure in the job status (write failures as
// STATUS_WRITE_FAILED, read failures as STATUS_ARCHIVE_READ_FAILED) before
// answering FALSE, so the precise cause wins over the generic codes callers
// record afterwards.
#pragma once

#include "archive_stream.h"
#include "ce/types.h"
#include "result.h"

BOOL WriteU16(MArchiveStream* stream, DWORD value);
BOOL WriteU32(MArchiveStream* stream, DWORD value);
// Count (16 bits), then the high bytes, then the low bytes of the units.
BOOL WriteString(MArchiveStream* stream, LPCWSTR text);
// Writes `count` bytes; a short transfer is a failure.
BOOL WriteBytes(MArchiveStream* stream, const void* data, LONG count);

BOOL ReadU16(MArchiveStream* stream, WORD* value);
BOOL ReadU32(MArchiveStream* stream, DWORD* value);
// A new string owned by the caller (FreeString), or null: STATUS_NO_MEMORY
// when it cannot be allocated, else STATUS_ARCHIVE_READ_FAILED.
LPWSTR ReadString(MArchiveStream* stream);
// The same, also giving the count the archive stored: a unit 0 inside the
// string makes it longer than the text before its terminator.
LPWSTR ReadString(MArchiveStream* stream, DWORD* length);
// Reads exactly `count` bytes; anything less is a failure.
BOOL ReadBytes(MArchiveStream* stream, void* buffer, LONG count);

// What a format codec or rule found, as the job sees it: TRUE when nothing;
// else the job status for it is recorded (a short write STATUS_WRITE_FAILED,
// anything wrong with what was read STATUS_ARCHIVE_READ_FAILED) and FALSE.
BOOL FormatResult(const archive::Result& result);
