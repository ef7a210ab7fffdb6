#include "job_command.h"

#include <windows.h>

#include <cstdio>
#include <optional>

#include "app_state.h"
#include "job.h"
#include "job_runner.h"
#include "job_status.h"
#include "password.h"
#include "program_setup.h"
#include "status_names.h"
#include "wstr.h"

namespace cedev::tool {
namespace {

struct JobKind {
  const char* word;
  LONG autoRunCode;
  bool backup;
  bool registryOnly;
  JobWorker worker;
};

const JobKind kKinds[] = {
    {"backup", AUTORUN_BACKUP, true, false, DataBackupWorker},
    {"restore", AUTORUN_RESTORE, false, false, DataRestoreWorker},
    {"registry-backup", AUTORUN_REGISTRY_BACKUP, true, true, RegistryBackupWorker},
    {"registry-restore", AUTORUN_REGISTRY_RESTORE, false, true, RegistryRestoreWorker},
};

struct JobRequest {
  const JobKind* kind = nullptr;
  std::u16string location = u"FlashDisk";
  std::u16string password;
};

int Usage(const char* problem) {
  std::fprintf(stderr, "cedev job: %s\n", problem);
  std::fprintf(stderr,
               "usage: cedev job backup|restore|registry-backup|registry-restore [--location NAME] "
               "[--password TEXT]\n");
  return 2;
}

// The command line of the program carries at most 259 units per token.
bool FitsToken(const std::u16string& text) { return text.size() < MAX_PATH; }

std::optional<JobRequest> Parse(const std::vector<std::string>& args, const char** problem) {
  JobRequest request;
  if (args.empty()) return *problem = "which job?", std::nullopt;
  for (const JobKind& kind : kKinds)
    if (args[0] == kind.word) request.kind = &kind;
  if (!request.kind) return *problem = "unknown job", std::nullopt;
  for (size_t i = 1; i < args.size(); i += 2) {
    if (i + 1 >= args.size()) return *problem = "option without a value", std::nullopt;
    std::u16string value = FromUtf8(args[i + 1]);
    if (!FitsToken(value)) return *problem = "value longer than 259 characters", std::nullopt;
    if (args[i] == "--location") {
      request.location = value;
    } else if (args[i] == "--password") {
      request.password = value;
    } else {
      return *problem = "unknown option", std::nullopt;
    }
  }
  if (request.location.empty()) return *problem = "empty location", std::nullopt;
  return request;
}

void CopyText(WCHAR* buffer, const std::u16string& text) {
  size_t n = text.copy(buffer, MAX_PATH - 1);
  buffer[n] = 0;
}

}  // namespace

int RunJobCommand(const std::vector<std::string>& args) {
  const char* problem = nullptr;
  std::optional<JobRequest> request = Parse(args, &problem);
  if (!request) return Usage(problem);

  SetUpProgram(nullptr);
  AutoRunCode = request->kind->autoRunCode;
  CopyText(AutoRunLocation, request->location);
  CopyText(AutoRunPassword, request->password);

  // The program's own runner, without the progress dialog around the wait.
  DWORD exitCode = 0;
  if (request->kind->backup) {
    MBackupJob job;
    MPwdEncryption(AutoRunPassword, job.PasswordBlock);
    exitCode = RunOnWorker(job, request->kind->worker, JOB_OPERATION_BACKUP);
  } else {
    MRestoreJob job;
    CopyText(job.Password, request->password);
    job.Extra = request->kind->autoRunCode == AUTORUN_RESTORE ? AUTORUN_RESTORE : 0;
    exitCode = RunRestoreJob(job, request->kind->worker, request->kind->registryOnly);
  }
  DWORD status = JobStatus;
  std::printf("%s (0x%04X)\n", JobStatusName(status), static_cast<unsigned>(status));
  return exitCode ? 0 : 1;
}

}  // namespace cedev::tool
