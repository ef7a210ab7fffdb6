#include "file_object.h"

#include <cerrno>

#include "faults.h"
#include "file_meta.h"
#include "last_error.h"
#include "space.h"

namespace cedev {
namespace {

constexpr int64_t kMaxFileEnd = INT64_MAX / 2;

}  // namespace

FileObject::FileObject(FileOpenState state)
    : s_(std::move(state)),
      write_behind_(CanWrite() && !CanRead()),
      read_ahead_(CanRead() && !CanWrite() && !s_.others_may_write) {
  if (!write_behind_) return;
  host::EntryStatus st;
  std::string folder = s_.where.host.substr(0, s_.where.host.rfind('/'));
  if (host::StatusOf(folder, &st) == 0) folder_id_ = st.id;
}

FileObject::~FileObject() {
  if (registered_) RemovePendingWriter(this);
  DrainLocked();
  if (wrote_) RecordChanges();
}

bool FileObject::CanRead() const { return s_.access & (GENERIC_READ | GENERIC_ALL); }
bool FileObject::CanWrite() const { return s_.access & (GENERIC_WRITE | GENERIC_ALL); }

uint64_t FileObject::MaxEnd() {
  if (!s_.allowance) s_.allowance = SpaceAllowance(*s_.device, s_.where);
  if (*s_.allowance == kUnlimited) return UINT64_MAX;
  return s_.size_at_open + *s_.allowance;
}

bool FileObject::Concerns(const HostEntryId& entry) const { return entry == s_.id || entry == folder_id_; }

void FileObject::DrainPending() {
  std::lock_guard lock(mutex_);
  DrainLocked();
}

void FileObject::DrainLocked() {
  if (held_.Empty()) return;
  int error = held_.Drain(s_.fd);
  if (error && !deferred_error_) deferred_error_ = Win32FromErrno(error);
}

DWORD FileObject::TakeWriteError() {
  DrainLocked();
  DWORD error = deferred_error_;
  deferred_error_ = 0;
  return error;
}

DWORD FileObject::CheckWriteFaults() {
  if (s_.write_fault_armed) {
    if (DWORD err = InjectedFault("file.write", s_.where.device)) return err;
  }
  if (s_.full_fault_armed && InjectedFault("volume.full", s_.where.device)) return ERROR_DISK_FULL;
  return 0;
}

BOOL FileObject::Read(void* buffer, DWORD count, DWORD* done) {
  DrainOthers();
  std::lock_guard lock(mutex_);
  if (!CanRead()) return Fail(ERROR_ACCESS_DENIED, FALSE);
  if (s_.read_fault_armed) {
    if (DWORD err = InjectedFault("file.read", s_.where.device)) return Fail(err, FALSE);
  }
  if (read_ahead_ && count < kFileCacheBytes) return ReadAheadLocked(buffer, count, done);
  return ReadThrough(buffer, count, done);
}

BOOL FileObject::ReadAheadLocked(void* buffer, DWORD count, DWORD* done) {
  auto* out = static_cast<char*>(buffer);
  DWORD got = static_cast<DWORD>(window_.Copy(pos_, out, count));
  while (got < count) {
    if (int error = window_.Load(s_.fd, pos_ + got)) {
      pos_ += got;
      *done = got;
      return Fail(Win32FromErrno(error), FALSE);
    }
    if (window_.Empty()) break;
    got += static_cast<DWORD>(window_.Copy(pos_ + got, out + got, count - got));
  }
  pos_ += got;
  *done = got;
  return TRUE;
}

BOOL FileObject::ReadThrough(void* buffer, DWORD count, DWORD* done) {
  auto* out = static_cast<char*>(buffer);
  DWORD got = 0;
  while (got < count) {
    size_t n = 0;
    if (int error = host::ReadAt(s_.fd, out + got, count - got, pos_ + got, &n)) {
      pos_ += got;
      *done = got;
      return Fail(Win32FromErrno(error), FALSE);
    }
    if (n == 0) break;
    got += static_cast<DWORD>(n);
  }
  pos_ += got;
  *done = got;
  return TRUE;
}

BOOL FileObject::Write(const void* buffer, DWORD count, DWORD* done) {
  DrainOthers();
  bool held = false;
  BOOL ok;
  {
    std::lock_guard lock(mutex_);
    ok = WriteLocked(buffer, count, done, &held);
  }
  // Registered outside the lock: draining takes the registry's lock first
  // and then each writer's.
  if (held && !registered_.exchange(true)) AddPendingWriter(this);
  return ok;
}

BOOL FileObject::WriteLocked(const void* buffer, DWORD count, DWORD* done, bool* held) {
  if (!CanWrite()) return Fail(ERROR_ACCESS_DENIED, FALSE);
  if (DWORD err = CheckWriteFaults()) return Fail(err, FALSE);
  if (pos_ + count > s_.size_at_open && pos_ + count > MaxEnd()) {
    // The write would pass the quota or capacity only if it extends the file.
    DrainLocked();
    host::EntryStatus st;
    if (host::StatusOf(s_.fd, &st) != 0 || pos_ + count > st.size) return Fail(ERROR_DISK_FULL, FALSE);
  }
  if (write_behind_ && count < kFileCacheBytes) {
    if (!held_.Append(pos_, buffer, count)) {
      if (DWORD err = TakeWriteError()) return Fail(err, FALSE);
      held_.Append(pos_, buffer, count);  // an empty stretch takes any piece this small
    }
    pos_ += count;
    *done = count;
    wrote_ = wrote_ || count > 0;
    *held = count > 0;
    return TRUE;
  }
  if (DWORD err = TakeWriteError()) return Fail(err, FALSE);
  return WriteThrough(buffer, count, done);
}

BOOL FileObject::WriteThrough(const void* buffer, DWORD count, DWORD* done) {
  const auto* in = static_cast<const char*>(buffer);
  DWORD put = 0;
  while (put < count) {
    size_t n = 0;
    int error = host::WriteAt(s_.fd, in + put, count - put, pos_ + put, &n);
    if (error || n == 0) {
      pos_ += put;
      *done = put;
      wrote_ = wrote_ || put > 0;
      return Fail(error ? Win32FromErrno(error) : ERROR_DISK_FULL, FALSE);
    }
    put += static_cast<DWORD>(n);
  }
  pos_ += put;
  *done = put;
  wrote_ = wrote_ || put > 0;
  return TRUE;
}

DWORD FileObject::Seek(LONG low, LONG* high, DWORD method) {
  DrainOthers();
  std::lock_guard lock(mutex_);
  DrainLocked();
  int64_t distance = high ? static_cast<int64_t>((static_cast<uint64_t>(static_cast<uint32_t>(*high)) << 32) |
                                                 static_cast<uint32_t>(low))
                          : static_cast<int64_t>(low);
  int64_t base = 0;
  switch (method) {
    case FILE_BEGIN: base = 0; break;
    case FILE_CURRENT: base = static_cast<int64_t>(pos_); break;
    case FILE_END: {
      host::EntryStatus st;
      if (int error = host::StatusOf(s_.fd, &st)) return Fail(Win32FromErrno(error), INVALID_SET_FILE_POINTER);
      base = static_cast<int64_t>(st.size);
      break;
    }
    default: return Fail(ERROR_INVALID_PARAMETER, INVALID_SET_FILE_POINTER);
  }
  if ((distance > 0 && base > kMaxFileEnd - distance)) return Fail(ERROR_INVALID_PARAMETER, INVALID_SET_FILE_POINTER);
  int64_t target = base + distance;
  if (target < 0) return Fail(ERROR_NEGATIVE_SEEK, INVALID_SET_FILE_POINTER);
  // Without a high part the position must fit in 32 bits.
  if (!high && target > 0xFFFFFFFFLL) return Fail(ERROR_INVALID_PARAMETER, INVALID_SET_FILE_POINTER);
  pos_ = static_cast<uint64_t>(target);
  if (high) *high = static_cast<LONG>(static_cast<uint64_t>(target) >> 32);
  auto result = static_cast<DWORD>(target);
  // A real position of 0xFFFFFFFF is told from failure by the last error.
  if (result == INVALID_SET_FILE_POINTER) SetLastError(NO_ERROR);
  return result;
}

DWORD FileObject::Size(DWORD* high) {
  DrainOthers();
  std::lock_guard lock(mutex_);
  DrainLocked();
  host::EntryStatus st;
  if (int error = host::StatusOf(s_.fd, &st)) return Fail(Win32FromErrno(error), INVALID_FILE_SIZE);
  uint64_t size = st.size;
  if (high) *high = static_cast<DWORD>(size >> 32);
  auto low = static_cast<DWORD>(size);
  if (low == INVALID_FILE_SIZE) SetLastError(NO_ERROR);
  return low;
}

BOOL FileObject::SetEnd() {
  DrainOthers();
  std::lock_guard lock(mutex_);
  if (!CanWrite()) return Fail(ERROR_ACCESS_DENIED, FALSE);
  if (DWORD err = TakeWriteError()) return Fail(err, FALSE);
  if (DWORD err = CheckWriteFaults()) return Fail(err, FALSE);
  host::EntryStatus st;
  if (int error = host::StatusOf(s_.fd, &st)) return Fail(Win32FromErrno(error), FALSE);
  if (pos_ > st.size && pos_ > MaxEnd()) return Fail(ERROR_DISK_FULL, FALSE);
  if (int error = host::Truncate(s_.fd, pos_)) return Fail(Win32FromErrno(error), FALSE);
  wrote_ = true;
  return TRUE;
}

// The device's medium is the host file system: flushing hands every held
// byte to the host, where all programs see it and a crash of the device
// program no longer loses it. Forcing the host's own cache to disk would
// make each restored file wait for the disk and adds nothing the device
// could observe.
BOOL FileObject::Flush() {
  DrainOthers();
  std::lock_guard lock(mutex_);
  if (!CanWrite()) return Fail(ERROR_ACCESS_DENIED, FALSE);
  if (DWORD err = TakeWriteError()) return Fail(err, FALSE);
  return TRUE;
}

BOOL FileObject::GetTimes(FILETIME* creation, FILETIME* last_access, FILETIME* last_write) {
  DrainOthers();
  std::lock_guard lock(mutex_);
  DrainLocked();
  host::EntryStatus st;
  if (int error = host::StatusOf(s_.fd, &st)) return Fail(Win32FromErrno(error), FALSE);
  std::optional<FileMeta> row = LoadMeta(s_.device->Db(), s_.where.key);
  EntryInfo info = EffectiveInfo(st, row ? &*row : nullptr);
  if (creation) *creation = ToFileTime(info.creation);
  if (last_access) *last_access = ToFileTime(info.last_access);
  if (last_write) *last_write = ToFileTime(info.last_write);
  return TRUE;
}

BOOL FileObject::SetTimes(const FILETIME* creation, const FILETIME* last_access, const FILETIME* last_write) {
  DrainOthers();
  std::lock_guard lock(mutex_);
  if (!CanWrite()) return Fail(ERROR_ACCESS_DENIED, FALSE);
  DrainLocked();  // held bytes written later would move the last-write time
  host::EntryStatus st;
  if (int error = host::StatusOf(s_.fd, &st)) return Fail(Win32FromErrno(error), FALSE);
  if (last_write) {
    if (int error = host::SetLastWrite(s_.fd, FileTimeValue(*last_write))) return Fail(Win32FromErrno(error), FALSE);
    pinned_last_write_ = FileTimeValue(*last_write);
    host::StatusOf(s_.fd, &st);
  }
  SqlDb& db = s_.device->Db();
  SqlTxn txn(db);  // the row read is the row replaced
  std::optional<FileMeta> row = LoadMeta(db, s_.where.key);
  EntryInfo info = EffectiveInfo(st, row ? &*row : nullptr);
  FileMeta updated = RowFor(st, info.attributes, creation ? FileTimeValue(*creation) : info.creation,
                            last_access ? FileTimeValue(*last_access) : info.last_access);
  if (!SaveMeta(db, s_.where.key, updated) || !txn.Commit()) return Fail(ERROR_GEN_FAILURE, FALSE);
  return TRUE;
}

void FileObject::RecordChanges() {
  host::EntryStatus st;
  if (host::StatusOf(s_.fd, &st) != 0) return;
  // A last-write time set through this handle stays, as the device keeps it
  // over later writes on the same handle.
  if (pinned_last_write_) {
    host::SetLastWrite(s_.fd, *pinned_last_write_);
    host::StatusOf(s_.fd, &st);
  } else {
    StampDeviceTime(s_.fd, &st);
  }
  SqlDb& db = s_.device->Db();
  SqlTxn txn(db);  // the row and the space figure change together
  std::optional<FileMeta> row = LoadMeta(db, s_.where.key);
  int64_t now = st.last_write;
  DWORD attributes = (row ? row->attributes : 0) | FILE_ATTRIBUTE_ARCHIVE;
  attributes &= ~FILE_ATTRIBUTE_NORMAL;
  int64_t creation = row ? row->creation : now;
  int64_t last_access = pinned_last_write_ && row ? row->last_access : now;
  SaveMeta(db, s_.where.key, RowFor(st, attributes, creation, last_access));
  AdjustSpaceUsed(*s_.device, s_.where, static_cast<int64_t>(st.size) - static_cast<int64_t>(s_.size_at_open));
  txn.Commit();
}

}  // namespace cedev
