// Share modes between every handle of every device program. Each open
// handle marks what it does and what it refuses to others with shared
// open-file-description locks on four marker bytes far past any data of the
// host file: has-read, has-write, denies-read, denies-write. The locks go
// with the descriptor, so a program that dies releases its share at once.
// Testing and taking the markers happens under a short device-wide lock in
// run/, so two programs cannot both pass the test and then conflict.
#pragma once

#include <string>

#include "ce/types.h"
#include "host_fd.h"

namespace cedev {

// Checks `access`/`share` against every other open handle of the file on
// `fd` and, when they agree, marks this handle's own use on fd. Returns 0,
// ERROR_SHARING_VIOLATION, or an error from the host.
DWORD AcquireShare(const std::string& run_dir, const host::Fd& fd, DWORD access, DWORD share);

// 0 when no handle has the file on `fd` open for reading or writing, else
// ERROR_SHARING_VIOLATION (deleting or moving an open file).
DWORD CheckNotInUse(const std::string& run_dir, const host::Fd& fd);

}  // namespace cedev
