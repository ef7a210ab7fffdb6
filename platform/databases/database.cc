// The object-store database API over database_store. A database handle keeps
// its cursor as the record it stands on plus an index, over a read order
// that is rebuilt whenever any program changed database contents.
#include <algorithm>
#include <cstring>
#include <mutex>

#include "ce/database.h"
#include "database_lock.h"
#include "database_record.h"
#include "database_store.h"
#include "device_folder.h"
#include "faults.h"
#include "handles.h"
#include "last_error.h"
#include "shared_counters.h"
#include "wstr.h"

namespace cedev {
namespace {

class DatabaseEnum : public KObject {
 public:
  explicit DatabaseEnum(std::vector<CEOID> oids) : oids_(std::move(oids)) {}
  CEOID Next() {
    std::lock_guard lock(mutex_);
    return next_ < oids_.size() ? oids_[next_++] : 0;
  }

 private:
  std::mutex mutex_;
  std::vector<CEOID> oids_;
  size_t next_ = 0;
};

class DatabaseHandle : public KObject {
 public:
  DatabaseHandle(const DatabaseInfo& info, SORTORDERSPEC sort, bool autoincrement)
      : oid_(info.oid), name_(info.name), sort_(sort), autoincrement_(autoincrement) {}

  CEOID oid() const { return oid_; }
  const std::u16string& name() const { return name_; }
  bool autoincrement() const { return autoincrement_; }
  DatabaseLock& lock() { return lock_; }
  std::mutex& mutex() { return mutex_; }

  // The read order, current as of the databases' change counter. Call with mutex() held.
  const std::vector<CEOID>& Order(DatabaseStore& store) {
    uint64_t generation = ReadSharedCounter(SharedCounter::kDatabases);
    const void* device = Device::Current();
    if (loaded_ && generation == generation_ && device == device_) return order_;
    order_ = sort_.propid ? SortedOids(store) : store.RecordOids(oid_);
    loaded_ = true;
    generation_ = generation;
    device_ = device;
    // Stay on the record the cursor stood on; if it is gone, the index now
    // names the one after it.
    if (current_) {
      auto it = std::find(order_.begin(), order_.end(), current_);
      if (it != order_.end()) index_ = static_cast<size_t>(it - order_.begin());
    }
    return order_;
  }

  size_t index() const { return index_; }
  void MoveTo(size_t index) {
    index_ = index;
    current_ = index < order_.size() ? order_[index] : 0;
  }

 private:
  std::vector<CEOID> SortedOids(DatabaseStore& store) {
    auto records = store.Records(oid_);
    std::stable_sort(records.begin(), records.end(), [&](const auto& a, const auto& b) {
      return CompareByProperty(a.second, b.second, sort_.propid, sort_.dwFlags) < 0;
    });
    std::vector<CEOID> oids;
    for (const auto& r : records) oids.push_back(r.first);
    return oids;
  }

  const CEOID oid_;
  const std::u16string name_;
  const SORTORDERSPEC sort_;
  const bool autoincrement_;
  DatabaseLock lock_;
  std::mutex mutex_;
  bool loaded_ = false;
  uint64_t generation_ = 0;
  const void* device_ = nullptr;
  std::vector<CEOID> order_;
  size_t index_ = 0;
  CEOID current_ = 0;
};

template <class T>
T FailWith(DWORD error, T value) {
  SetLastError(error);
  return value;
}

// The device of this call, or null with ERROR_NOT_READY set.
Device* CurrentDevice() { return Device::Current(); }

bool InjectedFailure(std::string_view op, std::u16string_view target) {
  DWORD error = InjectedFault(op, target);
  if (!error) return false;
  SetLastError(error);
  return true;
}

bool ValidName(std::u16string_view name) { return !name.empty() && name.size() < CEDB_MAXDBASENAMELEN; }

void FillDatabaseInfo(const DatabaseInfo& info, CEDBASEINFO* out) {
  std::memset(out, 0, sizeof *out);
  out->dwFlags = CEDB_VALIDNAME | CEDB_VALIDTYPE | CEDB_VALIDSORTSPEC | CEDB_VALIDMODTIME;
  std::memcpy(out->szDbaseName, info.name.data(), info.name.size() * sizeof(WCHAR));
  out->dwDbaseType = info.type;
  out->wNumRecords = static_cast<WORD>(std::min<DWORD>(info.records, 0xFFFF));
  out->wNumSortOrder = static_cast<WORD>(info.sorts.size());
  out->dwSize = info.size;
  out->ftLastModified.dwLowDateTime = static_cast<DWORD>(info.modified);
  out->ftLastModified.dwHighDateTime = static_cast<DWORD>(info.modified >> 32);
  for (size_t i = 0; i < info.sorts.size() && i < CEDB_MAXSORTORDER; ++i) out->rgSortSpecs[i] = info.sorts[i];
}

// Hands a record to the caller in device layout: into the caller's buffer,
// or (CEDB_ALLOWREALLOC) into a local-heap block allocated or grown here.
bool DeliverRecord(const Record& record, const CEPROPID* wanted, WORD wanted_count, DWORD flags, LPWORD count,
                   LPBYTE* buffer, LPDWORD size) {
  size_t needed = DeviceLayoutSize(record, wanted, wanted_count);
  if (needed > CEDB_MAXRECORDSIZE * 2) return FailWith(ERROR_NOT_ENOUGH_MEMORY, false);
  bool fits = *buffer && *size >= needed;
  if (!fits && (flags & CEDB_ALLOWREALLOC)) {
    UINT bytes = static_cast<UINT>(std::max<size_t>(needed, 1));
    HLOCAL grown = *buffer ? LocalReAlloc(*buffer, bytes, LMEM_MOVEABLE) : LocalAlloc(LMEM_FIXED, bytes);
    if (!grown) return FailWith(ERROR_NOT_ENOUGH_MEMORY, false);
    *buffer = static_cast<LPBYTE>(grown);
    fits = true;
  }
  if (!fits) {
    *size = static_cast<DWORD>(needed);
    return FailWith(ERROR_INSUFFICIENT_BUFFER, false);
  }
  // The layout leaves alignment gaps; clear them so a record read twice gives
  // the same bytes (archives made from it are then reproducible).
  std::memset(*buffer, 0, needed);
  WriteDeviceLayout(record, wanted, wanted_count, *buffer);
  *count = static_cast<WORD>(DeviceLayoutCount(record, wanted, wanted_count));
  *size = static_cast<DWORD>(needed);
  return true;
}

}  // namespace
}  // namespace cedev

using namespace cedev;

HANDLE CeFindFirstDatabase(DWORD dwDbaseType) {
  Device* device = CurrentDevice();
  if (!device) return INVALID_HANDLE_VALUE;
  DatabaseStore store(device->Db());
  return AllocHandle(std::make_shared<DatabaseEnum>(store.List(dwDbaseType)));
}

CEOID CeFindNextDatabase(HANDLE hEnum) {
  auto found = LookupHandleAs<DatabaseEnum>(hEnum);
  if (!found) return FailWith(ERROR_INVALID_HANDLE, CEOID{0});
  CEOID oid = found->Next();
  if (!oid) SetLastError(ERROR_NO_MORE_ITEMS);
  return oid;
}

BOOL CeOidGetInfo(CEOID oid, CEOIDINFO* poidInfo) {
  if (!poidInfo) return FailWith(ERROR_INVALID_PARAMETER, FALSE);
  Device* device = CurrentDevice();
  if (!device) return FALSE;
  DatabaseStore store(device->Db());
  DatabaseInfo info;
  if (oid && store.Info(oid, &info)) {
    std::memset(poidInfo, 0, sizeof *poidInfo);
    poidInfo->wObjType = OBJTYPE_DATABASE;
    FillDatabaseInfo(info, &poidInfo->infDatabase);
    return TRUE;
  }
  CEOID parent = oid ? store.DatabaseOfRecord(oid) : 0;
  if (parent) {
    std::memset(poidInfo, 0, sizeof *poidInfo);
    poidInfo->wObjType = OBJTYPE_RECORD;
    poidInfo->infRecord.oidParent = parent;
    return TRUE;
  }
  return FailWith(ERROR_INVALID_PARAMETER, FALSE);
}

CEOID CeCreateDatabase(LPWSTR lpszName, DWORD dwDbaseType, WORD wNumSortOrder, SORTORDERSPEC* rgSortSpecs) {
  std::u16string_view name = WView(lpszName);
  if (!ValidName(name) || wNumSortOrder > CEDB_MAXSORTORDER || (wNumSortOrder && !rgSortSpecs)) {
    return FailWith(ERROR_INVALID_PARAMETER, CEOID{0});
  }
  std::vector<SORTORDERSPEC> sorts(rgSortSpecs, rgSortSpecs + wNumSortOrder);
  for (const auto& s : sorts) {
    if (!IsKnownPropType(TypeFromPropID(s.propid))) return FailWith(ERROR_INVALID_PARAMETER, CEOID{0});
  }
  Device* device = CurrentDevice();
  if (!device) return 0;
  if (InjectedFailure("db.create", name)) return 0;
  DatabaseStore store(device->Db());
  DWORD error = 0;
  CEOID oid = store.Create(name, dwDbaseType, sorts, DeviceNowFiletime(), &error);
  if (!oid) return FailWith(error, CEOID{0});
  NoteDatabasesChanged();
  return oid;
}

BOOL CeDeleteDatabase(CEOID oidDbase) {
  Device* device = CurrentDevice();
  if (!device) return FALSE;
  DatabaseStore store(device->Db());
  DatabaseInfo info;
  if (!oidDbase || !store.Info(oidDbase, &info)) return FailWith(ERROR_INVALID_PARAMETER, FALSE);
  if (InjectedFailure("db.delete", info.name)) return FALSE;
  DatabaseLock lock;
  if (!lock.HoldForDelete(*device, oidDbase)) return FailWith(ERROR_SHARING_VIOLATION, FALSE);
  if (!store.Delete(oidDbase)) return FailWith(ERROR_WRITE_FAULT, FALSE);
  lock.RemoveFile();
  NoteDatabasesChanged();
  return TRUE;
}

HANDLE CeOpenDatabase(PCEOID poid, LPWSTR lpszName, CEPROPID propid, DWORD dwFlags, HWND) {
  if (!poid || (!*poid && !lpszName) || (dwFlags & ~DWORD{CEDB_AUTOINCREMENT})) {
    return FailWith(ERROR_INVALID_PARAMETER, INVALID_HANDLE_VALUE);
  }
  Device* device = CurrentDevice();
  if (!device) return INVALID_HANDLE_VALUE;
  DatabaseStore store(device->Db());
  // A zero oid asks for the database by name and receives its oid.
  CEOID oid = *poid ? *poid : store.FindByName(WView(lpszName));
  DatabaseInfo info;
  if (!oid || !store.Info(oid, &info)) return FailWith(ERROR_FILE_NOT_FOUND, INVALID_HANDLE_VALUE);
  if (InjectedFailure("db.open", info.name)) return INVALID_HANDLE_VALUE;
  SORTORDERSPEC sort{0, 0};
  if (propid) {
    auto it = std::find_if(info.sorts.begin(), info.sorts.end(), [&](const SORTORDERSPEC& s) { return s.propid == propid; });
    if (it == info.sorts.end()) return FailWith(ERROR_INVALID_PARAMETER, INVALID_HANDLE_VALUE);
    sort = *it;
  }
  auto handle = std::make_shared<DatabaseHandle>(info, sort, (dwFlags & CEDB_AUTOINCREMENT) != 0);
  // Deleted between the lookup and the lock: it no longer exists.
  if (!handle->lock().HoldOpen(*device, oid) || !store.Info(oid, &info)) {
    return FailWith(ERROR_FILE_NOT_FOUND, INVALID_HANDLE_VALUE);
  }
  *poid = oid;
  return AllocHandle(std::move(handle));
}

CEOID CeSeekDatabase(HANDLE hDatabase, DWORD dwSeekType, DWORD dwValue, LPDWORD lpdwIndex) {
  auto db = LookupHandleAs<DatabaseHandle>(hDatabase);
  if (!db) return FailWith(ERROR_INVALID_HANDLE, CEOID{0});
  Device* device = CurrentDevice();
  if (!device) return 0;
  DatabaseStore store(device->Db());
  std::lock_guard lock(db->mutex());
  const auto& order = db->Order(store);
  int64_t target;
  switch (dwSeekType) {
    case CEDB_SEEK_CEOID: {
      auto it = std::find(order.begin(), order.end(), dwValue);
      if (it == order.end()) return FailWith(ERROR_INVALID_PARAMETER, CEOID{0});
      target = it - order.begin();
      break;
    }
    case CEDB_SEEK_BEGINNING:
      target = dwValue;
      break;
    case CEDB_SEEK_CURRENT:
      target = static_cast<int64_t>(db->index()) + static_cast<LONG>(dwValue);
      break;
    case CEDB_SEEK_END:
      target = static_cast<int64_t>(order.size()) - 1 + static_cast<LONG>(dwValue);
      break;
    default:
      // Value seeks pass a CEPROPVAL pointer in a 32-bit value, which cannot
      // carry a host pointer.
      return FailWith(ERROR_NOT_SUPPORTED, CEOID{0});
  }
  if (target < 0 || target >= static_cast<int64_t>(order.size())) return FailWith(ERROR_NO_MORE_ITEMS, CEOID{0});
  db->MoveTo(static_cast<size_t>(target));
  if (lpdwIndex) *lpdwIndex = static_cast<DWORD>(target);
  return order[static_cast<size_t>(target)];
}

CEOID CeReadRecordProps(HANDLE hDbase, DWORD dwFlags, LPWORD lpcPropID, CEPROPID* rgPropID, LPBYTE* lplpBuffer,
                        LPDWORD lpcbBuffer) {
  auto db = LookupHandleAs<DatabaseHandle>(hDbase);
  if (!db) return FailWith(ERROR_INVALID_HANDLE, CEOID{0});
  if (!lpcPropID || !lplpBuffer || !lpcbBuffer || (rgPropID && !*lpcPropID)) {
    return FailWith(ERROR_INVALID_PARAMETER, CEOID{0});
  }
  Device* device = CurrentDevice();
  if (!device) return 0;
  if (InjectedFailure("db.read", db->name())) return 0;
  DatabaseStore store(device->Db());
  std::lock_guard lock(db->mutex());
  while (true) {
    const auto& order = db->Order(store);
    size_t index = db->index();
    if (index >= order.size()) return FailWith(ERROR_NO_MORE_ITEMS, CEOID{0});
    CEOID oid = order[index];
    Record record;
    if (!store.ReadRecord(oid, &record)) {
      // Deleted after the order was built; the next read sees a new order.
      db->MoveTo(index);
      continue;
    }
    if (!DeliverRecord(record, rgPropID, rgPropID ? *lpcPropID : 0, dwFlags, lpcPropID, lplpBuffer, lpcbBuffer)) {
      return 0;
    }
    db->MoveTo(db->autoincrement() ? index + 1 : index);
    return oid;
  }
}

CEOID CeWriteRecordProps(HANDLE hDbase, CEOID oidRecord, WORD cPropID, CEPROPVAL* rgPropVal) {
  auto db = LookupHandleAs<DatabaseHandle>(hDbase);
  if (!db) return FailWith(ERROR_INVALID_HANDLE, CEOID{0});
  if (!cPropID || !rgPropVal) return FailWith(ERROR_INVALID_PARAMETER, CEOID{0});
  Record changes;
  std::vector<bool> deletes;
  DWORD error = 0;
  if (!ReadDeviceProperties(rgPropVal, cPropID, &changes, &deletes, &error)) return FailWith(error, CEOID{0});
  Device* device = CurrentDevice();
  if (!device) return 0;
  if (InjectedFailure("db.write", db->name())) return 0;
  DatabaseStore store(device->Db());
  SqlTxn txn(device->Db());
  Record record;
  if (oidRecord) {
    if (store.DatabaseOfRecord(oidRecord) != db->oid() || !store.ReadRecord(oidRecord, &record)) {
      return FailWith(ERROR_INVALID_PARAMETER, CEOID{0});
    }
  }
  MergeProperties(&record, changes, deletes);
  if (RecordStoreSize(record) > CEDB_MAXRECORDSIZE) return FailWith(ERROR_DISK_FULL, CEOID{0});
  CEOID oid = oidRecord;
  bool ok = oidRecord ? store.UpdateRecord(oidRecord, record) : (oid = store.InsertRecord(db->oid(), record)) != 0;
  if (!ok || !store.Touch(db->oid(), DeviceNowFiletime()) || !txn.Commit()) return FailWith(ERROR_DISK_FULL, CEOID{0});
  NoteDatabasesChanged();
  return oid;
}

BOOL CeDeleteRecord(HANDLE hDatabase, CEOID oidRecord) {
  auto db = LookupHandleAs<DatabaseHandle>(hDatabase);
  if (!db) return FailWith(ERROR_INVALID_HANDLE, FALSE);
  Device* device = CurrentDevice();
  if (!device) return FALSE;
  if (InjectedFailure("db.write", db->name())) return FALSE;
  DatabaseStore store(device->Db());
  SqlTxn txn(device->Db());
  if (!oidRecord || store.DatabaseOfRecord(oidRecord) != db->oid()) return FailWith(ERROR_INVALID_PARAMETER, FALSE);
  if (!store.DeleteRecord(oidRecord) || !store.Touch(db->oid(), DeviceNowFiletime()) || !txn.Commit()) {
    return FailWith(ERROR_WRITE_FAULT, FALSE);
  }
  NoteDatabasesChanged();
  return TRUE;
}
