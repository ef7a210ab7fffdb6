// An open device file: the host descriptor plus what was decided when it was
// opened (access, share markers, allowed growth, armed faults), so reading
// and writing never touch state.db. Closing the last handle records the
// file's new size and last-write time in its metadata row. A write-only
// handle gathers small writes and a read-only handle that refuses writers
// reads ahead (file_cache.h), so small calls rarely reach the host.
#pragma once

#include <cstdint>
#include <atomic>
#include <mutex>
#include <optional>
#include <string>

#include "ce/file.h"
#include "device_folder.h"
#include "device_path.h"
#include "file_cache.h"
#include "handles.h"
#include "host_files.h"
#include "pending_writes.h"

namespace cedev {

struct FileOpenState {
  Device* device = nullptr;
  HostPath where;
  host::Fd fd;
  DWORD access = 0;
  uint64_t size_at_open = 0;
  // Bytes the file may grow by (capacity, quota); looked up when a write
  // first makes the file longer, as most handles never do.
  std::optional<uint64_t> allowance = UINT64_MAX;
  bool read_fault_armed = false;
  bool write_fault_armed = false;
  bool full_fault_armed = false;
  bool others_may_write = true;  // the share mode lets other handles write
  HostEntryId id;                // the open file
};

class FileObject : public KObject, private PendingWriter {
 public:
  explicit FileObject(FileOpenState state);
  ~FileObject() override;
  FileObject(const FileObject&) = delete;
  FileObject& operator=(const FileObject&) = delete;

  BOOL Read(void* buffer, DWORD count, DWORD* done);
  BOOL Write(const void* buffer, DWORD count, DWORD* done);
  DWORD Seek(LONG low, LONG* high, DWORD method);
  DWORD Size(DWORD* high);
  BOOL SetEnd();
  BOOL Flush();
  BOOL GetTimes(FILETIME* creation, FILETIME* last_access, FILETIME* last_write);
  BOOL SetTimes(const FILETIME* creation, const FILETIME* last_access, const FILETIME* last_write);

 private:
  bool CanRead() const;
  bool CanWrite() const;
  void DrainPending() override;
  bool Concerns(const HostEntryId& entry) const override;
  // Drains the other handles' held bytes of this file.
  void DrainOthers() { DrainPendingWritersFor(s_.id, this); }
  // Hands held bytes to the host; a failure waits in deferred_error_ for
  // the next call that reports write failures.
  void DrainLocked();
  DWORD TakeWriteError();
  BOOL WriteLocked(const void* buffer, DWORD count, DWORD* done, bool* held);
  BOOL WriteThrough(const void* buffer, DWORD count, DWORD* done);
  BOOL ReadAheadLocked(void* buffer, DWORD count, DWORD* done);
  BOOL ReadThrough(void* buffer, DWORD count, DWORD* done);
  DWORD CheckWriteFaults();
  // Largest end of file the space allows.
  uint64_t MaxEnd();
  void RecordChanges();

  std::mutex mutex_;
  FileOpenState s_;
  uint64_t pos_ = 0;
  bool wrote_ = false;
  std::optional<int64_t> pinned_last_write_;
  const bool write_behind_;
  HostEntryId folder_id_;  // the folder holding the file, for write-behind handles
  const bool read_ahead_;
  WriteBehind held_;
  ReadAhead window_;
  DWORD deferred_error_ = 0;
  std::atomic<bool> registered_{false};
};

}  // namespace cedev
