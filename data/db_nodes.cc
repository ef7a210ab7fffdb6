#include "db_nodes.h"

#include <cstring>
#include <new>

#include "job_status.h"
#include "node_records.h"
#include "property_buffer.h"
#include "records.h"
#include "wide_text.h"

using archive::kNodeDatabase;
using archive::kNodeDbFolder;

namespace {

static_assert(sizeof(CEPROPVAL) == archive::kPropertyEntryBytes, "records travel in the device's layout");
static_assert(sizeof(SORTORDERSPEC) == archive::kSortOrderBytes && CEDB_MAXSORTORDER == archive::kMaxSortOrders);

BOOL Fail(DWORD status) {
  SetJobError(status);
  return FALSE;
}

BOOL IsOpened(HANDLE handle) { return handle != nullptr && handle != INVALID_HANDLE_VALUE; }

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

// The description follows the name; a count above the platform's four sort
// orders cannot come from a device, and the format refuses it.
MDatabaseNode::MDatabaseNode(MNamedNode* parent, MArchiveStream* stream)
    : MNamedNode(kNodeDatabase), infoValid(FALSE), sortOrderCount(0), sortOrders(), databaseType(0) {
  InitFromArchive(parent, stream);
  if (!name) return;
  archive::DatabaseFields fields;
  if (!FormatResult(archive::ReadDatabaseFields(stream, &fields))) return;
  databaseType = fields.type;
  sortOrderCount = fields.sortCount;
  for (WORD i = 0; i < sortOrderCount; ++i) sortOrders[i] = {fields.sorts[i].propid, fields.sorts[i].flags};
  infoValid = TRUE;
}

BOOL MDatabaseNode::IsValid() { return name != nullptr && infoValid; }

BOOL MDatabaseNode::AcceptsParent(MBackupNode* parentNode) {
  return parentNode && parentNode->GetType() == kNodeDbFolder;
}

void MDatabaseNode::PointersToOffsets(BYTE* buffer, WORD propertyCount) {
  archive::ShiftAddresses(buffer, propertyCount, 0u - DeviceAddress(buffer));
}

BOOL MDatabaseNode::OffsetsToPointers(BYTE* buffer, WORD propertyCount, DWORD size) {
  if (!archive::CheckRecordSize(propertyCount, size).ok()) return FALSE;
  if (!archive::CheckPropertyBuffer(buffer, size, propertyCount).ok()) return FALSE;
  archive::ShiftAddresses(buffer, propertyCount, DeviceAddress(buffer));
  return TRUE;
}

BOOL MDatabaseNode::Save(MArchiveStream* stream) {
  archive::DatabaseFields fields;
  fields.type = databaseType;
  fields.sortCount = sortOrderCount;
  for (WORD i = 0; i < sortOrderCount; ++i) fields.sorts[i] = {sortOrders[i].propid, sortOrders[i].dwFlags};
  if (!MNamedNode::Save(stream) || !FormatResult(archive::WriteDatabaseFields(stream, fields))) return FALSE;
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
      ok = GetLastError() == ERROR_NO_MORE_ITEMS ? FormatResult(archive::WriteRecordsEnd(stream))
                                                 : Fail(STATUS_SOURCE_READ_FAILED);
      if (buffer) LocalFree(buffer);
      break;
    }
    if (count && size) {
      PointersToOffsets(buffer, count);
      archive::ClearUnusedBytes(buffer, count, size);
      ok = FormatResult(archive::WriteRecordHeader(stream, count, size)) && WriteBytes(stream, buffer, LONG(size));
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
    if (!FormatResult(archive::ReadRecordCount(stream, &count))) return FALSE;
    if (count == 0) return TRUE;
    if (!FormatResult(archive::ReadRecordSize(stream, count, &size))) return FALSE;
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
