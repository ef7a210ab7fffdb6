// Fault injection. A test (or `cedev fault`) names an operation and a target
// (a device path, a registry key path, a database name; "*" for any, or a
// prefix ending in "*"), the error to report and how many times. The kernel
// asks at the points where a real device can fail; nothing in the programs
// knows. Faults live in state.db, so they reach every device program.
//
// Operation names used by the kernel:
//   file.open   file.create   file.read   file.write   file.delete
//   file.replace (DeleteAndRenameFile, named by its destination; the call
//                 also asks file.delete for both of its files)
//   file.vanish (the entry is enumerated but gone when opened)
//   file.resize (another program cut or grew the file to `error` bytes just
//               before this open, after the caller looked it up)
//   volume.full (writes on the volume or store fail with ERROR_DISK_FULL)
//   reg.open    reg.create    reg.set     reg.query    reg.delete
//   reg.query.data (RegQueryValueExW copies the data out, then fails)
//   db.open     db.create     db.write    db.read      db.delete
//   power.status (GetSystemPowerStatusEx gets no reading; target "battery")
//   thread.create (CreateThread makes no thread; target "thread")
//
// Faults are matched oldest first. A fault whose error is 0 fails nothing:
// the call goes ahead and the fault still counts down, so a test can count
// the calls that reach a target, or let the first call pass and fail the
// next with a second fault behind it. Every fault that fires is journalled
// (kind "fault": operation, target and error), in the order they fire.
//
// Registry targets are full key paths from the root, as "HKEY_LOCAL_MACHINE\init";
// for a value the value name follows, as "HKEY_LOCAL_MACHINE\init\Launch10"
// (the default value: the key path and a trailing backslash). reg.open,
// reg.create and reg.delete of a key name the key; reg.set, reg.query and
// reg.delete of a value name the value; an enumeration of a key's subkeys or
// values checks reg.query with the key's own path.
// Database targets are database names; db.read and db.write (record reads,
// writes and deletes) and db.delete name the database the handle or oid
// belongs to.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "ce/types.h"

namespace cedev {

// Not an error to report: a fault armed with it ends the program on the
// spot when the operation is reached, before it acts, as a kill -9 or a
// power cut at that moment would (tests of what an interrupted job leaves).
constexpr DWORD kFaultEndsProgram = 0xFFFFFFFFu;

// The error to report for `op` on `target`, or 0. Counts down limited faults.
DWORD InjectedFault(std::string_view op, std::u16string_view target);
// The same for a fault whose value is not an error (file.resize): whether
// one fired, and its value.
bool TakeFault(std::string_view op, std::u16string_view target, DWORD* value);
// Whether a fault for `op` on `target` is pending, without using it up. Hot
// paths ask once (at open) and call InjectedFault per operation only then.
bool FaultArmed(std::string_view op, std::u16string_view target);
bool AddFault(std::string_view op, std::u16string_view target, DWORD error, int count = -1);
void ClearFaults();

struct FaultEntry {
  std::string op;
  std::u16string target;
  DWORD error = 0;
  int remaining = -1;  // -1: until cleared
};
// The faults still armed, oldest first (`cedev fault list`).
std::vector<FaultEntry> ListFaults();

}  // namespace cedev
