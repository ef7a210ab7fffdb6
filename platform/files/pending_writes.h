// Handles of this process that may hold written bytes the host file does not
// have yet (write-behind). Before a file operation of the process looks at a
// file or a folder, by path or by handle, the writers that concern it are
// drained, so a device program always sees its own writes and those of its
// other threads. Other processes see the bytes once the handle is drained,
// flushed or closed, or its process exits: the same moment a file system
// cache would hand them to the medium.
#pragma once

#include "host_files.h"

namespace cedev {

using HostEntryId = host::EntryId;

class PendingWriter {
 public:
  // Hands the held bytes to the host; a failure is kept for the handle's
  // own next call.
  virtual void DrainPending() = 0;
  // Whether the held bytes show in `entry`: the file itself, or the folder
  // whose listing gives its size.
  virtual bool Concerns(const HostEntryId& entry) const = 0;

 protected:
  ~PendingWriter() = default;
};

// Adding twice is harmless. A writer is removed only when it goes away.
void AddPendingWriter(PendingWriter* writer);
void RemovePendingWriter(PendingWriter* writer);
// Drain the writers that concern `entry` (but `except`), or all of them.
// Each costs one atomic load while no write-behind handle is open. Must not
// be called while holding a writer's own lock.
// Returns whether any writer concerned `entry` (its host status may have
// changed).
bool DrainPendingWritersFor(const HostEntryId& entry, const PendingWriter* except = nullptr);
void DrainPendingWriters();

}  // namespace cedev
