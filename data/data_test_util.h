// Helpers for the data nodes' tests: the file tree as a map, and backups and
// restores of the file tree in memory (below the job, without run-length
// coding). Device files and message boxes come from the device's test helpers.
#pragma once

#include <windows.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "box_recorder.h"
#include "device_files.h"
#include "fs_nodes.h"
#include "job_status.h"
#include "memory_stream.h"

using Bytes = std::vector<uint8_t>;

inline std::string Text(const std::optional<Bytes>& bytes) {
  return bytes ? std::string(bytes->begin(), bytes->end()) : std::string("<missing>");
}

inline bool SetTimes(const std::u16string& path, uint64_t creation, uint64_t access, uint64_t write) {
  HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  FILETIME c{DWORD(creation), DWORD(creation >> 32)}, a{DWORD(access), DWORD(access >> 32)},
      w{DWORD(write), DWORD(write >> 32)};
  bool ok = SetFileTime(h, &c, &a, &w);
  CloseHandle(h);
  return ok;
}

struct EntryInfo {
  DWORD attributes = 0;
  uint64_t creation = 0, access = 0, write = 0;
  Bytes data;  // files only
  bool operator==(const EntryInfo&) const = default;
};

inline uint64_t Ticks(const FILETIME& t) { return uint64_t(t.dwHighDateTime) << 32 | t.dwLowDateTime; }

// Everything below `folder`, keyed by path; folders carry only attributes.
inline void DumpTree(const std::u16string& folder, std::map<std::u16string, EntryInfo>* out) {
  WIN32_FIND_DATAW entry;
  std::u16string base = folder == u"\\" ? u"" : folder;
  HANDLE find = FindFirstFileW((base + u"\\*.*").c_str(), &entry);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    std::u16string path = base + u"\\" + entry.cFileName;
    EntryInfo info;
    info.attributes = entry.dwFileAttributes;
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      (*out)[path] = info;
      DumpTree(path, out);
      continue;
    }
    info.creation = Ticks(entry.ftCreationTime);
    info.access = Ticks(entry.ftLastAccessTime);
    info.write = Ticks(entry.ftLastWriteTime);
    info.data = ReadDeviceFile(path).value_or(Bytes{});
    (*out)[path] = info;
  } while (FindNextFileW(find, &entry));
  FindClose(find);
}

// The decoded record of the root folder "\" and everything below it.
inline Bytes BackupFileTree(BOOL* ok = nullptr) {
  ResetJobStatus(JOB_OPERATION_BACKUP);
  MDirectoryNode root(nullptr, u"\\");
  MMemoryStream out;
  BOOL saved = root.Save(&out);
  if (ok) *ok = saved;
  return Bytes(out.Data(), out.Data() + out.Size());
}

// Restores a decoded directory record below an archive root record, as
// the data restore reads it.
inline BOOL RestoreFileTree(const Bytes& directoryRecord) {
  ResetJobStatus(JOB_OPERATION_RESTORE);
  Bytes stream = {1, 0, 0, 0, 0, 0};
  stream.insert(stream.end(), directoryRecord.begin(), directoryRecord.end());
  stream.insert(stream.end(), {0xFF, 0xFF, 0xFF, 0xFF});
  MMemoryStream in(stream.data(), DWORD(stream.size()));
  MBackupNode* root = ReadNode(nullptr, &in);
  BOOL ok = root && root->Restore(&in);
  delete root;
  return ok;
}

// The paths a decoded directory record holds (folders end in "\"), with
// the content of each file; empty when the record is malformed.
struct ArchivedFile {
  DWORD fields[8] = {};
  Bytes data;
};

class TreeParser {
 public:
  explicit TreeParser(const Bytes& bytes) : b_(bytes) {}
  bool Parse(std::map<std::u16string, ArchivedFile>* out) {
    DWORD type = 0;
    std::u16string name;
    if (!U32(&type) || type != 0x100 || !String(&name)) return false;
    return Folder(name == u"\\" ? u"" : name, out) && at_ == b_.size();
  }

 private:
  bool Folder(const std::u16string& path, std::map<std::u16string, ArchivedFile>* out) {
    for (;;) {
      DWORD type = 0;
      if (!U32(&type)) return false;
      if (type == 0xFFFFFFFF) return true;
      std::u16string name;
      if (!String(&name)) return false;
      std::u16string child = path + u"\\" + name;
      if (type == 0x100) {
        (*out)[child + u"\\"] = {};
        if (!Folder(child, out)) return false;
      } else if (type == 0x101) {
        ArchivedFile file;
        for (DWORD& f : file.fields)
          if (!U32(&f)) return false;
        if (b_.size() - at_ < file.fields[7]) return false;
        file.data.assign(b_.begin() + at_, b_.begin() + at_ + file.fields[7]);
        at_ += file.fields[7];
        (*out)[child] = file;
      } else {
        return false;
      }
    }
  }
  bool U32(DWORD* v) {
    if (b_.size() - at_ < 4) return false;
    *v = DWORD(b_[at_]) | DWORD(b_[at_ + 1]) << 8 | DWORD(b_[at_ + 2]) << 16 | DWORD(b_[at_ + 3]) << 24;
    at_ += 4;
    return true;
  }
  bool String(std::u16string* s) {
    if (b_.size() - at_ < 2) return false;
    size_t n = b_[at_] | b_[at_ + 1] << 8;
    at_ += 2;
    if (b_.size() - at_ < 2 * n) return false;
    s->clear();
    for (size_t i = 0; i < n; ++i) s->push_back(char16_t(b_[at_ + i] << 8 | b_[at_ + n + i]));
    at_ += 2 * n;
    return true;
  }
  const Bytes& b_;
  size_t at_ = 0;
};

inline std::map<std::u16string, ArchivedFile> ArchivedTree(const Bytes& record) {
  std::map<std::u16string, ArchivedFile> tree;
  TreeParser(record).Parse(&tree);
  return tree;
}
