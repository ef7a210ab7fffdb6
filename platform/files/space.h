// Space on the object store and the storage volumes. The store has a
// capacity shared by files, registry and databases; a volume may have a
// quota. Both are checked against a usage figure kept in state.db and moved
// by the kernel's own changes, so no write ever walks a folder: the figure
// is re-counted from the host once per process, which picks up files copied
// in from outside.
#pragma once

#include <cstdint>
#include <string>

#include "device_folder.h"
#include "device_path.h"

namespace cedev {

constexpr uint64_t kUnlimited = UINT64_MAX;

// Bytes of the object store used by everything but files: the registry and
// the databases, as the device would store them.
uint64_t ObjectStoreNonFileBytes();

struct SpaceFigures {
  bool limited = false;   // capacity or quota applies
  uint64_t total = 0;     // capacity or quota in bytes
  uint64_t used = 0;      // bytes of files (and, for the store, non-file bytes)
  uint64_t Free() const { return used >= total ? 0 : total - used; }
};

// The figures of the space `where` belongs to; limited is false for a volume
// without a quota.
SpaceFigures FiguresOf(Device& device, const HostPath& where);

// How many more bytes the space of `where` can take: kUnlimited when no
// capacity or quota applies.
uint64_t SpaceAllowance(Device& device, const HostPath& where);

// Whether the object store can take `bytes` more (of registry or databases).
bool ObjectStoreHasRoom(Device& device, uint64_t bytes);

// Moves the usage figure of a limited space by delta bytes.
void AdjustSpaceUsed(Device& device, const HostPath& where, int64_t delta);

// Whether `where` counts against a capacity or quota at all.
bool IsSpaceLimited(Device& device, const HostPath& where);

}  // namespace cedev
