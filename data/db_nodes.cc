#include "db_nodes.h"

#include <cstring>
#include <new>

#include "job_status.h"
#include "records.h"
#include "wide_text.h"

using archive::kNodeDatabase;
using archive::kNodeDbFolder;

namespace {

constexpr DWORD kPropertyBytes = sizeof(CEPROPVAL);  // 16, the device's layout
// The largest buffer a record read can hand out: every property's entry
// plus the record's data. A block claiming more is damaged.
constexpr DWORD kMaxRecordBuffer = 0xFFFF * kPropertyBytes + CEDB_MAXRECORDSIZE;

BOOL Fail(DWORD status) {
  SetJobError(status);
  return FALSE;
}

BOOL IsOpened(HANDLE handle) { return handle != nullptr && handle != INVALID_HANDLE_VALUE; }

CEPROPVAL* Entry(BYTE* buffer, WORD index) { return reinterpret_cast<CEPROPVAL*>(buffer + index * kPropertyBytes); }

// A string must start past the entries and end with its terminator inside
// the buffer.
BOOL IsStringInside(const BYTE* buffer, DWORD offset, DWORD first, DWORD size) {
  if (offset < first || offset >= size) return FALSE;
  for (DWORD at = offset; at + 1 < size; at += 2)
    if (buffer[at] == 0 && buffer[at + 1] == 0) return TRUE;
  return FALSE;
}

BOOL IsBlobInside(DWORD offset, DWORD length, DWORD first, DWORD size) {
  if (length == 0) return TRUE;
  return offset >= first && offset <= size && length <= size - offset;
}

// Zeroes the bytes of a record buffer that no entry, string or blob uses
// (alignment gaps the platform leaves unset), so an archive never carries
// leftover memory and the same records always give the same bytes.
void ClearUnusedBytes(BYTE* buffer, WORD propertyCount, DWORD size) {
  BYTE* used = new (std::nothrow) BYTE[size ? size : 1]();
  if (!used) return;
  auto mark = [&](DWORD from, DWORD count) {
    for (DWORD i = from; i < size && i - from < count; ++i) used[i] = 1;
  };
  mark(0, DWORD(propertyCount) * kPropertyBytes);
  for (WORD i = 0; i < propertyCount; ++i) {
    const CEPROPVAL* property = Entry(buffer, i);
    DWORD offset = property->val.lpwstr;
    switch (TypeFromPropID(property->propid)) {
      case CEVT_LPWSTR:
        for (DWORD at = offset; at + 1 < size; at += 2) {
          mark(at, 2);
          if (buffer[at] == 0 && buffer[at + 1] == 0) break;
        }
        break;
      case CEVT_BLOB: mark(property->val.blob.lpb, property->val.blob.dwCount); break;
      default: break;
    }
  }
  for (DWORD i = 0; i < size; ++i)
    if (!used[i]) buffer[i] = 0;
  delete[] used;
}

}  // namespace

// ---- MDatabaseFolderNode

MDatabaseFolderNode::MDatabaseFolderNode(MNamedNode* parent) : MContainerNode(kNodeDbFolder) {
  InitFromValues(parent, TEXT("DATABASE"));
}

MDatabaseFolderNode::MDatabaseFolderNode(MNamedNode* parent, MArchiveStream* stream) : MContainerNode(kNodeDbFolder) {
  InitFromArchive(parent, stream);
}

BOOL MDatabaseFolderNode::AcceptsParent(MBackupNode*) { return FALSE; }

BOOL MDatabaseFolderNode::CollectChildren() {
  ClearChildren();
  HANDLE databases = CeFindFirstDatabase(0);
  if (!IsOpened(databases)) return TRUE;
  BOOL ok = TRUE;
  for (CEOID oid = CeFindNextDatabase(databases); ok && oid != 0; oid = CeFindNextDatabase(databases)) {
    CEOIDINFO info;
    if (!CeOidGetInfo(oid, &info) || info.wObjType != OBJTYPE_DATABASE) continue;
    MDatabaseNode* child = new (std::nothrow) MDatabaseNode(this, info.infDatabase);
    if (!child || !child->IsValid() || !AddChild(child)) {
      delete child;
      ok = Fail(STATUS_NO_MEMORY);
    }
  }
  CloseHandle(databases);
  return ok;
}

// ---- MDatabaseNode

MDatabaseNode::MDatabaseNode(MNamedNode* parent, const CEDBASEINFO& info)
    : MNamedNode(kNodeDatabase), infoValid(FALSE), sortOrderCount(0), sortOrders(), databaseType(0) {
  WCHAR dbName[CEDB_MAXDBASENAMELEN + 1] = {};
  std::memcpy(dbName, info.szDbaseName, sizeof info.szDbaseName);
  InitFromValues(parent, dbName);
  databaseType = info.dwDbaseType;
  sortOrderCount = info.wNumSortOrder <= CEDB_MAXSORTORDER ? info.wNumSortOrder : CEDB_MAXSORTORDER;
  for (WORD i = 0; i < sortOrderCount; ++i) sortOrders[i] = info.rgSortSpecs[i];
  infoValid = TRUE;
}

// A count above the platform's four sort orders cannot come from a device
// and would overrun sortOrders: such a record is invalid.
MDatabaseNode::MDatabaseNode(MNamedNode* parent, MArchiveStream* stream)
    : MNamedNode(kNodeDatabase), infoValid(FALSE), sortOrderCount(0), sortOrders(), databaseType(0) {
  InitFromArchive(parent, stream);
  if (!name) return;
  WORD count = 0;
  if (!ReadU32(stream, &databaseType) || !ReadU16(stream, &count)) return;
  if (count > CEDB_MAXSORTORDER) return;
  if (count && !ReadBytes(stream, sortOrders, LONG(count * sizeof(SORTORDERSPEC)))) return;
  sortOrderCount = count;
  infoValid = TRUE;
}

BOOL MDatabaseNode::IsValid() { return name != nullptr && infoValid; }

BOOL MDatabaseNode::AcceptsParent(MBackupNode* parentNode) {
  return parentNode && parentNode->GetType() == kNodeDbFolder;
}

void MDatabaseNode::PointersToOffsets(BYTE* buffer, WORD propertyCount) {
  const DWORD base = DeviceAddress(buffer);
  for (WORD i = 0; i < propertyCount; ++i) {
    CEPROPVAL* property = Entry(buffer, i);
    switch (TypeFromPropID(property->propid)) {
      case CEVT_LPWSTR: property->val.lpwstr -= base; break;
      case CEVT_BLOB: property->val.blob.lpb -= base; break;
      default: break;
    }
  }
}

BOOL MDatabaseNode::OffsetsToPointers(BYTE* buffer, WORD propertyCount, DWORD size) {
  const DWORD base = DeviceAddress(buffer);
  const DWORD first = DWORD(propertyCount) * kPropertyBytes;
  if (first > size) return FALSE;
  for (WORD i = 0; i < propertyCount; ++i) {
    CEPROPVAL* property = Entry(buffer, i);
    switch (TypeFromPropID(property->propid)) {
      case CEVT_LPWSTR:
        if (!IsStringInside(buffer, property->val.lpwstr, first, size)) return FALSE;
        property->val.lpwstr += base;
        break;
      case CEVT_BLOB:
        if (!IsBlobInside(property->val.blob.lpb, property->val.blob.dwCount, first, size)) return FALSE;
        property->val.blob.lpb += base;
        break;
      default: break;
    }
  }
  return TRUE;
}

BOOL MDatabaseNode::Save(MArchiveStream* stream) {
  if (!MNamedNode::Save(stream) || !WriteU32(stream, databaseType) || !WriteU16(stream, sortOrderCount)) return FALSE;
  LONG bytes = LONG(sortOrderCount * sizeof(SORTORDERSPEC)), done = 0;
  if (bytes && (!stream->Write(sortOrders, bytes, &done) || done != bytes)) return FALSE;
  return SaveRecords(stream);
}

BOOL MDatabaseNode::SaveRecords(MArchiveStream* stream) {
  CEOID oid = 0;
  HANDLE database = CeOpenDatabase(&oid, name, 0, CEDB_AUTOINCREMENT, nullptr);
  if (!IsOpened(database)) return Fail(STATUS_SOURCE_READ_FAILED);
  BOOL ok = TRUE;
  for (;;) {
    WORD count = 0;
    LPBYTE buffer = nullptr;
    DWORD size = 0;
    if (!CeReadRecordProps(database, CEDB_ALLOWREALLOC, &count, nullptr, &buffer, &size)) {
      ok = GetLastError() == ERROR_NO_MORE_ITEMS ? WriteU16(stream, 0) : Fail(STATUS_SOURCE_READ_FAILED);
      if (buffer) LocalFree(buffer);
      break;
    }
    if (count && size) {
      PointersToOffsets(buffer, count);
      ClearUnusedBytes(buffer, count, size);
      ok = WriteU16(stream, count) && WriteU32(stream, size) && WriteBytes(stream, buffer, LONG(size));
    }
    if (buffer) LocalFree(buffer);
    if (!ok) break;
  }
  CloseHandle(database);
  return ok;
}

// Empties a database that could not be deleted because another program
// holds it open. Reading without moving on and deleting what was read
// walks every record once however the platform reorders after a delete.
BOOL MDatabaseNode::RemoveAllRecords() {
  CEOID oid = 0;
  HANDLE database = CeOpenDatabase(&oid, name, 0, 0, nullptr);
  if (!IsOpened(database)) return FALSE;
  BOOL ok = TRUE;
  for (;;) {
    WORD count = 0;
    LPBYTE buffer = nullptr;
    DWORD size = 0;
    CEOID record = CeReadRecordProps(database, CEDB_ALLOWREALLOC, &count, nullptr, &buffer, &size);
    if (buffer) LocalFree(buffer);
    if (!record) break;
    if (!CeDeleteRecord(database, record)) {
      ok = FALSE;
      break;
    }
  }
  CloseHandle(database);
  return ok;
}

BOOL MDatabaseNode::Restore(MArchiveStream* stream) {
  CEOID oid = 0;
  HANDLE existing = CeOpenDatabase(&oid, name, 0, CEDB_AUTOINCREMENT, nullptr);
  BOOL existed = IsOpened(existing);
  BOOL deleted = FALSE;
  if (existed) {
    CloseHandle(existing);
    deleted = CeDeleteDatabase(oid);
  }
  if (!existed || deleted) {
    oid = CeCreateDatabase(name, databaseType, sortOrderCount, sortOrders);
    if (!oid) return Fail(STATUS_DEVICE_WRITE_FAILED);
  } else if (!RemoveAllRecords()) {
    return Fail(STATUS_DEVICE_WRITE_FAILED);
  }
  // A database that cannot take its records fails the restore: reporting
  // success would hide that they were lost.
  HANDLE database = CeOpenDatabase(&oid, nullptr, 0, 0, nullptr);
  if (!IsOpened(database)) return Fail(STATUS_DEVICE_WRITE_FAILED);
  BOOL ok = RestoreRecords(stream, database);
  CloseHandle(database);
  return ok;
}

BOOL MDatabaseNode::RestoreRecords(MArchiveStream* stream, HANDLE database) {
  for (;;) {
    WORD count = 0;
    DWORD size = 0;
    if (!ReadU16(stream, &count)) return FALSE;
    if (count == 0) return TRUE;
    if (!ReadU32(stream, &size)) return FALSE;
    if (size < DWORD(count) * kPropertyBytes || size > kMaxRecordBuffer) return Fail(STATUS_ARCHIVE_READ_FAILED);
    // From the local heap, as the platform's own record buffers: the
    // kernel then knows where the buffer ends.
    BYTE* buffer = static_cast<BYTE*>(LocalAlloc(LMEM_FIXED, size));
    if (!buffer) return Fail(STATUS_NO_MEMORY);
    BOOL ok = ReadBytes(stream, buffer, LONG(size));
    if (ok && !OffsetsToPointers(buffer, count, size)) ok = Fail(STATUS_ARCHIVE_READ_FAILED);
    if (ok && !CeWriteRecordProps(database, 0, count, reinterpret_cast<CEPROPVAL*>(buffer)))
      ok = Fail(STATUS_DEVICE_WRITE_FAILED);
    LocalFree(buffer);
    if (!ok) return FALSE;
  }
}
