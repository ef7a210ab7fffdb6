// The registry API over the rows of registry_store. Handles are kernel
// handles to RegKeyObject; the four predefined roots are process-wide objects
// that are never closed. Every function answers with a LONG error code and
// leaves the last error alone, as the device's registry does.
#include <algorithm>
#include <cstring>

#include "ce/registry.h"
#include "device_folder.h"
#include "faults.h"
#include "handles.h"
#include "registry_key.h"
#include "registry_store.h"
#include "space.h"
#include "store_usage.h"
#include "wstr.h"

namespace cedev {
namespace {

constexpr uintptr_t kFirstRoot = 0x80000000u;

bool IsRoot(HKEY key) {
  auto value = reinterpret_cast<uintptr_t>(key);
  return value >= kFirstRoot && value < kFirstRoot + 4;
}

std::shared_ptr<RegKeyObject> RootObject(HKEY key) {
  static const auto* roots = new std::shared_ptr<RegKeyObject>[4]{
      std::make_shared<RegKeyObject>(kRegRootIds[0], kRegRootNames[0]),
      std::make_shared<RegKeyObject>(kRegRootIds[1], kRegRootNames[1]),
      std::make_shared<RegKeyObject>(kRegRootIds[2], kRegRootNames[2]),
      std::make_shared<RegKeyObject>(kRegRootIds[3], kRegRootNames[3])};
  return roots[reinterpret_cast<uintptr_t>(key) - kFirstRoot];
}

// One call's view of the registry: the device's store and the key the
// caller's handle names.
struct Call {
  Device* device = nullptr;
  std::shared_ptr<RegKeyObject> key;
  RegistryStore Store() { return RegistryStore(device->Db(), device); }
};

LONG Begin(HKEY handle, Call* call) {
  call->key = IsRoot(handle) ? RootObject(handle) : LookupHandleAs<RegKeyObject>(handle);
  if (!call->key) return ERROR_INVALID_HANDLE;
  DWORD saved = GetLastError();
  call->device = Device::Current();
  SetLastError(saved);
  return call->device ? ERROR_SUCCESS : ERROR_NOT_READY;
}

// Splits "A\B\C" into its components. One trailing backslash is tolerated;
// an empty component anywhere else is a malformed path.
LONG SplitKeyPath(std::u16string_view path, std::vector<std::u16string_view>* parts) {
  parts->clear();
  if (!path.empty() && path.back() == u'\\') path.remove_suffix(1);
  if (path.empty()) return ERROR_SUCCESS;
  size_t start = 0;
  while (true) {
    size_t end = path.find(u'\\', start);
    std::u16string_view part = path.substr(start, end == std::u16string_view::npos ? path.npos : end - start);
    if (part.empty()) return ERROR_BAD_PATHNAME;
    if (part.size() > CE_REG_MAX_NAME_LEN) return ERROR_INVALID_PARAMETER;
    parts->push_back(part);
    if (end == std::u16string_view::npos) return ERROR_SUCCESS;
    start = end + 1;
  }
}

std::u16string JoinPath(std::u16string base, const std::vector<std::u16string_view>& parts) {
  for (auto part : parts) {
    base += u'\\';
    base += part;
  }
  return base;
}

// Follows `parts` down from `start`. A miss on a key that itself is gone is
// ERROR_KEY_DELETED rather than ERROR_FILE_NOT_FOUND.
LONG Walk(RegistryStore& store, int64_t start, const std::vector<std::u16string_view>& parts, int64_t* found) {
  int64_t id = start;
  for (auto part : parts) {
    int64_t child = store.FindSubkey(id, part);
    if (!child) return id == start && !store.KeyExists(start) ? ERROR_KEY_DELETED : ERROR_FILE_NOT_FOUND;
    id = child;
  }
  if (parts.empty() && !store.KeyExists(start)) return ERROR_KEY_DELETED;
  *found = id;
  return ERROR_SUCCESS;
}

LONG MissingValue(RegistryStore& store, int64_t key) {
  return store.KeyExists(key) ? ERROR_FILE_NOT_FOUND : ERROR_KEY_DELETED;
}

// The keys RegCreateKeyExW has to make: `parts` from `first_missing` on,
// below the key `id`, taking `size` bytes of the object store.
struct KeyPlan {
  int64_t id = 0;
  size_t first_missing = 0;
  int64_t size = 0;
};

// Follows `parts` down from `start` as far as they exist.
LONG PlanKeys(RegistryStore& store, int64_t start, const std::vector<std::u16string_view>& parts,
              std::u16string_view class_name, KeyPlan* plan) {
  if (!store.KeyExists(start)) return ERROR_KEY_DELETED;
  plan->id = start;
  for (; plan->first_missing < parts.size(); ++plan->first_missing) {
    int64_t child = store.FindSubkey(plan->id, parts[plan->first_missing]);
    if (!child) break;
    plan->id = child;
  }
  if (plan->first_missing == parts.size()) return ERROR_SUCCESS;
  plan->size = RegistryStore::KeySize(0, class_name.size());
  for (size_t i = plan->first_missing; i < parts.size(); ++i) plan->size += RegistryStore::KeySize(parts[i].size(), 0);
  return ERROR_SUCCESS;
}

// Makes the planned keys; only the last one gets the class. Leaves the new
// key's id in plan->id.
bool AddKeys(RegistryStore& store, const std::vector<std::u16string_view>& parts, std::u16string_view class_name,
             KeyPlan* plan) {
  for (size_t i = plan->first_missing; i < parts.size(); ++i) {
    plan->id = store.AddSubkey(plan->id, parts[i], i + 1 == parts.size() ? class_name : std::u16string_view());
    if (!plan->id) return false;
  }
  return true;
}

LONG Injected(std::string_view op, const std::u16string& target) {
  return static_cast<LONG>(InjectedFault(op, target));
}

// Copies a name with its terminator. Lengths are in characters without the
// terminator, both on success and, as the size the caller must make room
// for (plus one), with ERROR_MORE_DATA.
LONG CopyName(std::u16string_view name, LPWSTR buffer, LPDWORD length) {
  if (name.size() + 1 > *length) {
    *length = static_cast<DWORD>(name.size());
    return ERROR_MORE_DATA;
  }
  std::memcpy(buffer, name.data(), name.size() * sizeof(WCHAR));
  buffer[name.size()] = 0;
  *length = static_cast<DWORD>(name.size());
  return ERROR_SUCCESS;
}

// Hands a value's type and data to the caller: a null data pointer with a
// size pointer asks for the size; a short buffer gets ERROR_MORE_DATA with
// the size needed, and is left as it was.
LONG CopyData(const RegValueRow& value, LPDWORD type, LPBYTE data, LPDWORD size) {
  if (type) *type = value.type;
  if (!size) return ERROR_SUCCESS;
  DWORD needed = static_cast<DWORD>(value.data.size());
  if (data && *size < needed) {
    *size = needed;
    return ERROR_MORE_DATA;
  }
  if (data && needed) std::memcpy(data, value.data.data(), needed);
  *size = needed;
  return ERROR_SUCCESS;
}

HKEY NewKeyHandle(int64_t id, std::u16string path) {
  return static_cast<HKEY>(AllocHandle(std::make_shared<RegKeyObject>(id, std::move(path))));
}

}  // namespace
}  // namespace cedev

using namespace cedev;

LONG RegOpenKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD, REGSAM, PHKEY phkResult) {
  if (!phkResult) return ERROR_INVALID_PARAMETER;
  *phkResult = nullptr;
  Call call;
  if (LONG rc = Begin(hKey, &call)) return rc;
  std::vector<std::u16string_view> parts;
  if (LONG rc = SplitKeyPath(WView(lpSubKey), &parts)) return rc;
  std::u16string path = JoinPath(call.key->path(), parts);
  if (LONG rc = Injected("reg.open", path)) return rc;
  RegistryStore store = call.Store();
  int64_t id = 0;
  if (LONG rc = Walk(store, call.key->id(), parts, &id)) return rc;
  *phkResult = parts.empty() && IsRoot(hKey) ? hKey : NewKeyHandle(id, std::move(path));
  return ERROR_SUCCESS;
}

LONG RegCreateKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD, LPWSTR lpClass, DWORD, REGSAM, LPSECURITY_ATTRIBUTES,
                     PHKEY phkResult, LPDWORD lpdwDisposition) {
  if (!phkResult || !lpSubKey) return ERROR_INVALID_PARAMETER;
  *phkResult = nullptr;
  Call call;
  if (LONG rc = Begin(hKey, &call)) return rc;
  std::vector<std::u16string_view> parts;
  if (LONG rc = SplitKeyPath(WView(lpSubKey), &parts)) return rc;
  std::u16string_view class_name = WView(lpClass);
  if (class_name.size() > CE_REG_MAX_NAME_LEN) return ERROR_INVALID_PARAMETER;
  std::u16string path = JoinPath(call.key->path(), parts);
  if (LONG rc = Injected("reg.create", path)) return rc;

  RegistryStore store = call.Store();
  int64_t id = 0;
  // Opening a key that exists needs no write lock; only a missing one takes
  // it, and looks again under it.
  LONG rc = Walk(store, call.key->id(), parts, &id);
  bool created = rc == ERROR_FILE_NOT_FOUND;
  if (created) {
    SqlTxn txn(call.device->Db());
    KeyPlan plan;
    if (LONG rc = PlanKeys(store, call.key->id(), parts, class_name, &plan)) return rc;
    created = plan.first_missing < parts.size();  // another program may have made them meanwhile
    if (created && !ObjectStoreHasRoom(*call.device, static_cast<uint64_t>(plan.size))) return ERROR_DISK_FULL;
    RegistryChange change;
    if ((created && !AddKeys(store, parts, class_name, &plan)) || !txn.Commit()) return ERROR_REGISTRY_IO_FAILED;
    if (created) change.Committed(plan.size);
    id = plan.id;
  } else if (rc != ERROR_SUCCESS) {
    return rc;
  }
  if (lpdwDisposition) *lpdwDisposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
  *phkResult = parts.empty() && IsRoot(hKey) ? hKey : NewKeyHandle(id, std::move(path));
  return ERROR_SUCCESS;
}

LONG RegCloseKey(HKEY hKey) {
  if (IsRoot(hKey)) return ERROR_SUCCESS;
  if (!LookupHandleAs<RegKeyObject>(hKey) || !ReleaseHandle(hKey)) return ERROR_INVALID_HANDLE;
  return ERROR_SUCCESS;
}

LONG RegFlushKey(HKEY hKey) {
  Call call;
  if (LONG rc = Begin(hKey, &call)) return rc;
  RegistryStore store = call.Store();
  if (!store.KeyExists(call.key->id())) return ERROR_KEY_DELETED;
  // Commits reach the write-ahead log without a sync; a checkpoint syncs the
  // log and copies it into the database file, so the change survives a
  // power loss from here on.
  if (!call.device->Db().Exec("PRAGMA wal_checkpoint(PASSIVE)")) return ERROR_REGISTRY_IO_FAILED;
  return ERROR_SUCCESS;
}

LONG RegEnumKeyExW(HKEY hKey, DWORD dwIndex, LPWSTR lpName, LPDWORD lpcName, LPDWORD, LPWSTR lpClass,
                   LPDWORD lpcClass, PFILETIME) {
  if (!lpName || !lpcName || (lpClass && !lpcClass)) return ERROR_INVALID_PARAMETER;
  Call call;
  if (LONG rc = Begin(hKey, &call)) return rc;
  if (LONG rc = Injected("reg.query", call.key->path())) return rc;
  RegistryStore store = call.Store();
  LONG result = ERROR_NO_MORE_ITEMS;
  bool alive = call.key->WithSubkeys(store, [&](const std::vector<RegKeyRow>& keys) {
    if (dwIndex >= keys.size()) return;
    const RegKeyRow& key = keys[dwIndex];
    bool class_fits = !lpClass || key.class_name.size() + 1 <= *lpcClass;
    if (key.name.size() + 1 > *lpcName || !class_fits) {
      *lpcName = static_cast<DWORD>(key.name.size());
      if (lpcClass) *lpcClass = static_cast<DWORD>(key.class_name.size());
      result = ERROR_MORE_DATA;
      return;
    }
    result = CopyName(key.name, lpName, lpcName);
    if (lpClass) {
      CopyName(key.class_name, lpClass, lpcClass);
    } else if (lpcClass) {
      *lpcClass = static_cast<DWORD>(key.class_name.size());
    }
  });
  return alive ? result : ERROR_KEY_DELETED;
}

LONG RegEnumValueW(HKEY hKey, DWORD dwIndex, LPWSTR lpValueName, LPDWORD lpcchValueName, LPDWORD, LPDWORD lpType,
                   LPBYTE lpData, LPDWORD lpcbData) {
  if (!lpValueName || !lpcchValueName || (lpData && !lpcbData)) return ERROR_INVALID_PARAMETER;
  Call call;
  if (LONG rc = Begin(hKey, &call)) return rc;
  if (LONG rc = Injected("reg.query", call.key->path())) return rc;
  RegistryStore store = call.Store();
  LONG result = ERROR_NO_MORE_ITEMS;
  bool alive = call.key->WithValues(store, [&](const std::vector<RegValueRow>& values) {
    if (dwIndex >= values.size()) return;
    const RegValueRow& value = values[dwIndex];
    result = CopyName(value.name, lpValueName, lpcchValueName);
    if (result != ERROR_SUCCESS) return;
    result = CopyData(value, lpType, lpData, lpcbData);
  });
  return alive ? result : ERROR_KEY_DELETED;
}

LONG RegQueryValueExW(HKEY hKey, LPCWSTR lpValueName, LPDWORD, LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData) {
  if (lpData && !lpcbData) return ERROR_INVALID_PARAMETER;
  Call call;
  if (LONG rc = Begin(hKey, &call)) return rc;
  std::u16string_view name = WView(lpValueName);
  if (LONG rc = Injected("reg.query", call.key->PathOf(name))) return rc;
  RegistryStore store = call.Store();
  RegValueRow value;
  switch (call.key->FindValue(store, name, &value)) {
    case RegKeyObject::Cached::kFound:
      break;
    case RegKeyObject::Cached::kMissing:
      return ERROR_FILE_NOT_FOUND;
    case RegKeyObject::Cached::kUnknown:
      switch (store.GetValue(call.key->id(), name, &value)) {
        case RegistryStore::Lookup::kFound:
          break;
        case RegistryStore::Lookup::kNoValue:
          return ERROR_FILE_NOT_FOUND;
        case RegistryStore::Lookup::kNoKey:
          return ERROR_KEY_DELETED;
      }
      break;
  }
  LONG result = CopyData(value, lpType, lpData, lpcbData);
  if (result == ERROR_SUCCESS && lpData) {
    if (LONG rc = Injected("reg.query.data", call.key->PathOf(name))) return rc;
  }
  return result;
}

LONG RegSetValueExW(HKEY hKey, LPCWSTR lpValueName, DWORD, DWORD dwType, const BYTE* lpData, DWORD cbData) {
  if (!lpData && cbData) return ERROR_INVALID_PARAMETER;
  std::u16string_view name = WView(lpValueName);
  if (name.size() > CE_REG_MAX_NAME_LEN || cbData > CE_REG_MAX_DATA_SIZE) return ERROR_INVALID_PARAMETER;
  Call call;
  if (LONG rc = Begin(hKey, &call)) return rc;
  if (LONG rc = Injected("reg.set", call.key->PathOf(name))) return rc;
  RegistryStore store = call.Store();
  // One transaction, so the size replaced is the size the write sees, and
  // the database's locks are taken once for the whole call.
  SqlTxn txn(call.device->Db());
  int64_t old_size = store.StoredValueSize(call.key->id(), name);
  int64_t growth = RegistryStore::ValueSize(name.size(), cbData) - std::max<int64_t>(old_size, 0);
  if (growth > 0 && !ObjectStoreHasRoom(*call.device, static_cast<uint64_t>(growth))) return ERROR_DISK_FULL;
  RegistryChange change;
  // The key's existence is checked inside the write.
  if (!store.SetValue(call.key->id(), name, dwType, lpData, cbData)) {
    return store.KeyExists(call.key->id()) ? ERROR_REGISTRY_IO_FAILED : ERROR_KEY_DELETED;
  }
  if (!txn.Commit()) return ERROR_REGISTRY_IO_FAILED;
  change.Committed(growth);
  return ERROR_SUCCESS;
}

LONG RegDeleteKeyW(HKEY hKey, LPCWSTR lpSubKey) {
  if (!lpSubKey) return ERROR_INVALID_PARAMETER;
  Call call;
  if (LONG rc = Begin(hKey, &call)) return rc;
  std::vector<std::u16string_view> parts;
  if (LONG rc = SplitKeyPath(WView(lpSubKey), &parts)) return rc;
  if (parts.empty() && IsRoot(hKey)) return ERROR_ACCESS_DENIED;
  if (LONG rc = Injected("reg.delete", JoinPath(call.key->path(), parts))) return rc;
  RegistryStore store = call.Store();
  SqlTxn txn(call.device->Db());
  int64_t id = 0;
  if (LONG rc = Walk(store, call.key->id(), parts, &id)) return rc;
  // The device's registry removes a key together with everything below it.
  RegistryChange change;
  int64_t freed = store.SubtreeSize(id);
  if (!store.DeleteTree(id) || !txn.Commit()) return ERROR_REGISTRY_IO_FAILED;
  change.Committed(-freed);
  return ERROR_SUCCESS;
}

LONG RegDeleteValueW(HKEY hKey, LPCWSTR lpValueName) {
  Call call;
  if (LONG rc = Begin(hKey, &call)) return rc;
  std::u16string_view name = WView(lpValueName);
  if (LONG rc = Injected("reg.delete", call.key->PathOf(name))) return rc;
  RegistryStore store = call.Store();
  RegistryChange change;
  int64_t freed = 0;
  // One statement, so it commits on its own.
  if (!store.DeleteValue(call.key->id(), name, &freed)) return MissingValue(store, call.key->id());
  change.Committed(-freed);
  return ERROR_SUCCESS;
}

LONG RegQueryInfoKeyW(HKEY hKey, LPWSTR lpClass, LPDWORD lpcClass, LPDWORD, LPDWORD lpcSubKeys,
                      LPDWORD lpcMaxSubKeyLen, LPDWORD lpcMaxClassLen, LPDWORD lpcValues, LPDWORD lpcMaxValueNameLen,
                      LPDWORD lpcMaxValueLen, LPDWORD lpcbSecurityDescriptor, PFILETIME lpftLastWriteTime) {
  if (lpClass && !lpcClass) return ERROR_INVALID_PARAMETER;
  Call call;
  if (LONG rc = Begin(hKey, &call)) return rc;
  RegistryStore store = call.Store();
  std::u16string class_name;
  if (!store.KeyClass(call.key->id(), &class_name)) return ERROR_KEY_DELETED;
  DWORD subkeys = 0, max_subkey = 0, max_class = 0, values = 0, max_value_name = 0, max_value = 0;
  bool alive = call.key->WithSubkeys(store, [&](const std::vector<RegKeyRow>& keys) {
    subkeys = static_cast<DWORD>(keys.size());
    for (const auto& k : keys) {
      max_subkey = std::max<DWORD>(max_subkey, static_cast<DWORD>(k.name.size()));
      max_class = std::max<DWORD>(max_class, static_cast<DWORD>(k.class_name.size()));
    }
  });
  alive = alive && call.key->WithValues(store, [&](const std::vector<RegValueRow>& rows) {
    values = static_cast<DWORD>(rows.size());
    for (const auto& v : rows) {
      max_value_name = std::max<DWORD>(max_value_name, static_cast<DWORD>(v.name.size()));
      max_value = std::max<DWORD>(max_value, static_cast<DWORD>(v.data.size()));
    }
  });
  if (!alive) return ERROR_KEY_DELETED;
  if (lpClass) {
    if (LONG rc = CopyName(class_name, lpClass, lpcClass)) return rc;
  } else if (lpcClass) {
    *lpcClass = static_cast<DWORD>(class_name.size());
  }
  if (lpcSubKeys) *lpcSubKeys = subkeys;
  if (lpcMaxSubKeyLen) *lpcMaxSubKeyLen = max_subkey;
  if (lpcMaxClassLen) *lpcMaxClassLen = max_class;
  if (lpcValues) *lpcValues = values;
  if (lpcMaxValueNameLen) *lpcMaxValueNameLen = max_value_name;
  if (lpcMaxValueLen) *lpcMaxValueLen = max_value;
  if (lpcbSecurityDescriptor) *lpcbSecurityDescriptor = 0;
  if (lpftLastWriteTime) *lpftLastWriteTime = FILETIME{0, 0};  // the device keeps no key times
  return ERROR_SUCCESS;
}
