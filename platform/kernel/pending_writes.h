// Handles of this process that may hold written bytes the host file does not
// have yet (write-behind). Every file operation of the process, by path or by
// handle, first drains them, so a device program always sees its own writes
// and those of its other threads. Other processes see the bytes once the
// handle is drained, flushed or closed, or its process exits: the same
// moment a file system cache would hand them to the medium.
#pragma once

namespace cedev {

class PendingWriter {
 public:
  // Hands the held bytes to the host; a failure is kept for the handle's
  // own next call.
  virtual void DrainPending() = 0;

 protected:
  ~PendingWriter() = default;
};

// Adding twice is harmless. A writer is removed only when it goes away.
void AddPendingWriter(PendingWriter* writer);
void RemovePendingWriter(PendingWriter* writer);
// Drains every registered writer but `except`. Costs one atomic load while
// no write-behind handle is open. Must not be called while holding a
// writer's own lock.
void DrainPendingWriters(const PendingWriter* except = nullptr);

}  // namespace cedev
