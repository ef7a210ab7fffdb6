// Why a job failed, in one line for a person: an injected fault the
// journal shows, the archive a restore could not use (missing, of another
// platform, damaged, another password), a file the job could not read, or
// the device call the job stopped on. The job's status code stays as it is;
// this only explains it.
#pragma once

#include <cstdint>
#include <string>
#include <windows.h>

namespace cedev::tool {

struct JobOutcome {
  DWORD status = 0;      // the job status (STATUS_*)
  DWORD last_error = 0;  // the device's last error when the job recorded its failure
  bool backup = false;
  bool registry_only = false;
  std::u16string location;   // the storage folder at the root, "FlashDisk"
  int64_t journal_mark = 0;  // the last journal entry before the job
};

// The last journal entry now, to mark where a job begins.
int64_t JournalMark();

// One line; "" when the job succeeded.
std::string JobCause(const JobOutcome& outcome);

}  // namespace cedev::tool
