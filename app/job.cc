#include "job.h"

#include <windows.h>
#include "jobs.h"
#include "password.h"

MJob::MJob() : ExitCode(0), Thread(nullptr), Worker(nullptr), MessageId(0), TitleId(0), Extra(0) {}

MJob::~MJob() {
  if (Thread) CloseHandle(Thread);
}

MBackupJob::MBackupJob() { MPwdEncryption(TEXT(""), PasswordBlock); }

MRestoreJob::MRestoreJob() { Password[0] = 0; }

DWORD RegistryBackupWorker(LPVOID job) { return RunRegistryBackup(static_cast<MBackupJob*>(job)->PasswordBlock); }
DWORD DataBackupWorker(LPVOID job) { return RunDataBackup(static_cast<MBackupJob*>(job)->PasswordBlock); }
DWORD RegistryRestoreWorker(LPVOID job) { return RunRegistryRestore(static_cast<MRestoreJob*>(job)->Password); }
DWORD DataRestoreWorker(LPVOID job) { return RunDataRestore(static_cast<MRestoreJob*>(job)->Password); }
