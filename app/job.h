// Job records: what a command hands to the worker thread. The runner fills
// the runner's fields; the worker reads the password material.
#pragma once

#include <windows.h>

#include "archive_format.h"

typedef DWORD (*JobWorker)(LPVOID job);

class MJob {
 public:
  MJob();
  virtual ~MJob();
  MJob(const MJob&) = delete;
  MJob& operator=(const MJob&) = delete;

  DWORD ExitCode;   // the worker's exit code; not 0 means success
  HANDLE Thread;    // the worker thread, 0 when none; closed by the destructor
  JobWorker Worker;
  DWORD MessageId;  // progress text
  DWORD TitleId;    // progress caption
  DWORD Extra;      // the automatic-run code for a restore, else 0
};

class MBackupJob : public MJob {
 public:
  // Holds the block made from the empty password until the command
  // replaces it.
  MBackupJob();
  BYTE PasswordBlock[archive::kPasswordBlockBytes];
};

class MRestoreJob : public MJob {
 public:
  MRestoreJob();
  // Takes the longest password that reaches it: 259 units from the
  // command line, plus the terminator.
  WCHAR Password[MAX_PATH];
};

// The four worker procedures; each takes its job record.
DWORD RegistryBackupWorker(LPVOID job);
DWORD DataBackupWorker(LPVOID job);
DWORD RegistryRestoreWorker(LPVOID job);
DWORD DataRestoreWorker(LPVOID job);
