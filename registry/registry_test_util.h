// Helpers for the registry nodes' tests: writing keys and values, dumping
// the whole registry, and running backups and restores of the node tree in
// memory (below the job).
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include <windows.h>
#include "job_status.h"
#include "jobs.h"
#include "memory_stream.h"

using Bytes = std::vector<uint8_t>;

struct RegValue {
  DWORD type = 0;
  Bytes data;
  bool operator==(const RegValue&) const = default;
};

// Everything below the four roots: "ROOT\key\sub" -> class ("K" prefix) and
// "ROOT\key\sub|value" -> value.
struct RegDump {
  std::map<std::u16string, std::u16string> keys;
  std::map<std::u16string, RegValue> values;
  bool operator==(const RegDump&) const = default;
};

inline HKEY CreateKey(HKEY root, const char16_t* path, const char16_t* keyClass = u"") {
  HKEY key = nullptr;
  DWORD disposition = 0;
  if (RegCreateKeyExW(root, path, 0, const_cast<LPWSTR>(keyClass), 0, 0, nullptr, &key, &disposition) != ERROR_SUCCESS)
    return nullptr;
  return key;
}

inline bool SetValue(HKEY root, const char16_t* path, const char16_t* name, DWORD type, const Bytes& data) {
  HKEY key = CreateKey(root, path);
  if (!key) return false;
  LONG rc = RegSetValueExW(key, name, 0, type, data.data(), DWORD(data.size()));
  RegCloseKey(key);
  return rc == ERROR_SUCCESS;
}

inline Bytes Sz(const std::u16string& s) {
  Bytes b;
  for (char16_t c : s + u'\0') {
    b.push_back(uint8_t(c));
    b.push_back(uint8_t(c >> 8));
  }
  return b;
}

inline Bytes Dword(DWORD v) { return {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)}; }

inline bool GetValue(HKEY root, const char16_t* path, const char16_t* name, RegValue* out) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, path, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return false;
  DWORD size = 0;
  LONG rc = RegQueryValueExW(key, name, nullptr, &out->type, nullptr, &size);
  if (rc == ERROR_SUCCESS) {
    out->data.assign(size, 0);
    rc = RegQueryValueExW(key, name, nullptr, &out->type, out->data.data(), &size);
  }
  RegCloseKey(key);
  return rc == ERROR_SUCCESS;
}

inline bool KeyExists(HKEY root, const char16_t* path) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, path, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

inline void DumpKey(HKEY key, const std::u16string& path, RegDump* dump) {
  WCHAR name[260], keyClass[260];
  for (DWORD i = 0;; ++i) {
    DWORD len = 260, type = 0, size = 0;
    if (RegEnumValueW(key, i, name, &len, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) break;
    RegValue v;
    GetValue(key, u"", name, &v);
    dump->values[path + u"|" + name] = v;
  }
  for (DWORD i = 0;; ++i) {
    DWORD len = 260, classLen = 260;
    if (RegEnumKeyExW(key, i, name, &len, nullptr, keyClass, &classLen, nullptr) != ERROR_SUCCESS) break;
    std::u16string sub = path + u"\\" + name;
    dump->keys[sub] = keyClass;
    HKEY child = nullptr;
    if (RegOpenKeyExW(key, name, 0, KEY_ALL_ACCESS, &child) == ERROR_SUCCESS) {
      DumpKey(child, sub, dump);
      RegCloseKey(child);
    }
  }
}

inline RegDump DumpRegistry() {
  RegDump dump;
  DumpKey(HKEY_CLASSES_ROOT, u"HKCR", &dump);
  DumpKey(HKEY_CURRENT_USER, u"HKCU", &dump);
  DumpKey(HKEY_LOCAL_MACHINE, u"HKLM", &dump);
  DumpKey(HKEY_USERS, u"HKU", &dump);
  return dump;
}

// The coded node stream of a registry backup, or empty on failure.
inline Bytes BackupRegistryTree(DWORD* status = nullptr) {
  ResetJobStatus(JOB_OPERATION_BACKUP);
  MMemoryStream out;
  BOOL ok = SaveNodeTree(&out, TRUE);
  if (status) *status = JobStatus;
  if (!ok) return {};
  return Bytes(out.Data(), out.Data() + out.Size());
}

// Restores a coded node stream; returns the job status.
inline DWORD RestoreRegistryTree(const Bytes& coded) {
  ResetJobStatus(JOB_OPERATION_RESTORE);
  MMemoryStream in(coded.data(), DWORD(coded.size()));
  BOOL ok = RestoreNodeTree(&in);
  if (ok && JobStatus != STATUS_OK) return 0xBAD;  // success must leave the status clean
  if (!ok && JobStatus == STATUS_OK) return 0xBAD0;  // failure must say why
  return JobStatus;
}

// Decoded bytes of a coded stream.
Bytes DecodeAll(const Bytes& coded);
// Whether `text` occurs in `bytes` as the low bytes of its units.
bool ContainsLowBytes(const Bytes& bytes, const std::string& text);
