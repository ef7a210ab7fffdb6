// A device with a bit of everything a data archive carries, a stand-in for
// the factory reset, and the archive as the jobs leave it on FlashDisk.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "data_test_util.h"
#include "db_nodes.h"
#include "fixups.h"
#include "wstr.h"
#include "file_service.h"
#include "rle_stream.h"
#include "scratch_device.h"

namespace archive_test {

inline bool SetRegValue(HKEY root, const char16_t* path, const char16_t* name, DWORD type, const Bytes& data) {
  HKEY key = nullptr;
  DWORD disposition = 0;
  if (RegCreateKeyExW(root, path, 0, nullptr, 0, 0, nullptr, &key, &disposition) != ERROR_SUCCESS) return false;
  LONG rc = RegSetValueExW(key, name, 0, type, data.data(), DWORD(data.size()));
  RegCloseKey(key);
  return rc == ERROR_SUCCESS;
}

inline Bytes Utf16z(const std::u16string& s) {
  Bytes b;
  for (char16_t c : s + u'\0') b.insert(b.end(), {uint8_t(c), uint8_t(c >> 8)});
  return b;
}

inline void MarkInRom(const std::u16string& path) {
  cedev::FileMetaRecord record;
  if (!cedev::GetFileMetaRecord(*cedev::Device::Current(), path, &record)) return;
  record.attributes |= FILE_ATTRIBUTE_INROM;
  cedev::SetFileMetaRecord(*cedev::Device::Current(), path, record);
}

inline void Folder(const std::u16string& path) { CreateDirectoryW(path.c_str(), nullptr); }

inline void File(const std::u16string& path, const Bytes& data, DWORD attributes = FILE_ATTRIBUTE_ARCHIVE,
                 uint64_t stamp = 0x01D5000000000000ull) {
  WriteDeviceFile(path, data);
  SetTimes(path, stamp, stamp + 1000, stamp + 2000);
  SetFileAttributesW(path.c_str(), attributes);
}

inline Bytes Pattern(size_t size, uint32_t seed) {
  Bytes b(size);
  for (size_t i = 0; i < size; ++i) {
    seed = seed * 1103515245u + 12345u;
    b[i] = (i / 64) % 3 == 0 ? 0 : uint8_t(seed >> 16);
  }
  return b;
}

// What the factory left: ROM files, a few registry entries and databases.
inline void FactoryContent() {
  Folder(u"\\Windows");
  Folder(u"\\Windows\\StartUp");
  if (!Exists(u"\\Windows\\shell.dll")) {
    File(u"\\Windows\\shell.dll", Pattern(3000, 1));
    MarkInRom(u"\\Windows\\shell.dll");
    File(u"\\Windows\\ModelSetup.exe", Pattern(500, 2));
    MarkInRom(u"\\Windows\\ModelSetup.exe");
  }
  SetRegValue(HKEY_LOCAL_MACHINE, u"Platform", u"Name", REG_SZ, Utf16z(u"Velta HT-660"));
  SetRegValue(HKEY_LOCAL_MACHINE, u"init", u"Launch10", REG_SZ, Utf16z(u"shell.exe"));
  SetRegValue(HKEY_CURRENT_USER, u"ControlPanel\\Owner", u"Name", REG_SZ, Utf16z(u"factory"));
  CeCreateDatabase(const_cast<LPWSTR>(u"Factory.db"), 5, 0, nullptr);
}

// The user's data on top.
inline void UserContent() {
  Folder(u"\\My Documents");
  Folder(u"\\My Documents\\Deep");
  Folder(u"\\My Documents\\Deep\\Deeper");
  Folder(u"\\Empty Folder");
  File(u"\\My Documents\\letter.txt", Bytes(2000, 'L'));
  File(u"\\My Documents\\Deep\\mixed.bin", Pattern(70000, 3), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE);
  File(u"\\My Documents\\Deep\\Deeper\\ro.txt", Bytes{'r', 'o'}, FILE_ATTRIBUTE_READONLY);
  File(u"\\My Documents\\zero", {});
  File(u"\\\u30c6\u30b9\u30c8.txt", Bytes{'j'});
  File(u"\\Windows\\StartUp\\desktop.ini", Bytes{'[', ']'});
  File(u"\\Windows\\StartUp\\app.lnk", Bytes{'#', '1'}, FILE_ATTRIBUTE_ARCHIVE, 0x01D6000000000000ull);
  File(u"\\pim.vol", Bytes(100, 'v'));  // kept out by the table
  File(u"\\Storage Card\\photo.jpg", Bytes(300, 'p'));
  SetRegValue(HKEY_CURRENT_USER, u"ControlPanel\\Owner", u"Name", REG_SZ, Utf16z(u"Taro \u5c71\u7530"));
  SetRegValue(HKEY_LOCAL_MACHINE, u"Software\\Apps\\Notes", u"Font", REG_DWORD, {12, 0, 0, 0});
  SetRegValue(HKEY_CLASSES_ROOT, u".note", u"", REG_SZ, Utf16z(u"notefile"));
  CEPROPID sortId = PROPID_FROM_ID_TYPE(1, CEVT_LPWSTR);
  SORTORDERSPEC sort = {sortId, CEDB_SORT_CASEINSENSITIVE};
  CeCreateDatabase(const_cast<LPWSTR>(u"Contacts"), 0x10, 1, &sort);
  CEOID oid = 0;
  HANDLE db = CeOpenDatabase(&oid, const_cast<LPWSTR>(u"Contacts"), 0, 0, nullptr);
  for (int i = 0; i < 20; ++i) {
    std::u16string name = u"Contact " + std::u16string(1, char16_t(u'A' + i));
    DWORD size = 2 * sizeof(CEPROPVAL) + DWORD(2 * (name.size() + 1)) + 8;
    BYTE* buffer = static_cast<BYTE*>(LocalAlloc(LPTR, size));
    auto* v = reinterpret_cast<CEPROPVAL*>(buffer);
    BYTE* text = buffer + 2 * sizeof(CEPROPVAL);
    std::memcpy(text, name.c_str(), 2 * (name.size() + 1));
    v[0].propid = sortId;
    v[0].val.lpwstr = DeviceAddress(text);
    BYTE* blob = text + 2 * (name.size() + 1);
    for (int k = 0; k < 8; ++k) blob[k] = uint8_t(i * k);
    v[1].propid = PROPID_FROM_ID_TYPE(2, CEVT_BLOB);
    v[1].val.blob = {8, DeviceAddress(blob)};
    CeWriteRecordProps(db, 0, 2, v);
    LocalFree(buffer);
  }
  CloseHandle(db);
}

inline void DeleteSubkeys(HKEY root) {
  WCHAR name[MAX_PATH];
  for (;;) {
    DWORD length = MAX_PATH;
    if (RegEnumKeyExW(root, 0, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) return;
    if (RegDeleteKeyW(root, name) != ERROR_SUCCESS) return;
  }
}

// Stands in for the full reset: the object store loses everything but its
// ROM files, and the factory's registry and databases come back. Volumes
// are untouched.
inline void FullReset() {
  WIN32_FIND_DATAW entry;
  HANDLE find = FindFirstFileW(u"\\*.*", &entry);
  std::vector<std::pair<std::u16string, DWORD>> entries;
  if (find != INVALID_HANDLE_VALUE) {
    do entries.emplace_back(entry.cFileName, entry.dwFileAttributes);
    while (FindNextFileW(find, &entry));
    FindClose(find);
  }
  for (const auto& [name, attributes] : entries) {
    std::u16string path = u"\\" + name;
    if ((attributes & 0x110) == 0x110) continue;
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
      DeleteTree(path.c_str());
      RemoveDirectoryW(path.c_str());
    } else {
      DeleteFileW(path.c_str());
    }
  }
  for (HKEY root : {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_USERS}) DeleteSubkeys(root);
  HANDLE databases = CeFindFirstDatabase(0);
  std::vector<CEOID> oids;
  for (CEOID oid; databases != INVALID_HANDLE_VALUE && (oid = CeFindNextDatabase(databases)) != 0;) oids.push_back(oid);
  if (databases != INVALID_HANDLE_VALUE) CloseHandle(databases);
  for (CEOID oid : oids) CeDeleteDatabase(oid);
  FactoryContent();
}

inline Bytes ArchiveFile(const std::u16string& name = u"\\FlashDisk\\Backup\\Backup.dat") {
  return ReadDeviceFile(name).value_or(Bytes{});
}

// The decoded node stream of an archive file (after the 1284-byte header).
inline Bytes NodeStream(const Bytes& file) {
  if (file.size() < 1284) return {};
  MMemoryStream in(file.data() + 1284, DWORD(file.size() - 1284));
  MRleStream rle(&in);
  Bytes out;
  // A read past the end delivers nothing of what it had, so byte by byte.
  uint8_t byte = 0;
  LONG done = 0;
  while (rle.Read(&byte, 1, &done) && done == 1) out.push_back(byte);
  return out;
}

inline Bytes CountedName(const std::u16string& name) {
  Bytes b = {uint8_t(name.size()), uint8_t(name.size() >> 8)};
  for (char16_t c : name) b.push_back(uint8_t(c >> 8));
  for (char16_t c : name) b.push_back(uint8_t(c));
  return b;
}

// The marker files are made afresh after every restore, so their times
// are the one thing two cycles cannot share.
inline Bytes WithoutMarkerTimes(Bytes stream) {
  for (LPCWSTR marker : kRestartMarkerFiles) {
    Bytes needle = {0x01, 0x01, 0x00, 0x00};
    Bytes name = CountedName(std::u16string(marker + 1));
    needle.insert(needle.end(), name.begin(), name.end());
    auto at = std::search(stream.begin(), stream.end(), needle.begin(), needle.end());
    EXPECT_NE(at, stream.end()) << cedev::ToUtf8(marker);
    if (at == stream.end()) continue;
    size_t times = size_t(at - stream.begin()) + needle.size() + 4;
    std::fill(stream.begin() + times, stream.begin() + times + 24, 0);
  }
  return stream;
}

}  // namespace archive_test
