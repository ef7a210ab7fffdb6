#include "job_command.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "app_state.h"
#include "command_line.h"
#include "job.h"
#include "job_cause.h"
#include "job_runner.h"
#include "job_status.h"
#include "password.h"
#include "program_setup.h"
#include "secret_input.h"
#include "status_names.h"
#include "wstr.h"

namespace cedev::tool {

struct JobKind {
  const char* word;
  LONG autoRunCode;
  bool backup;
  bool registryOnly;
  JobWorker worker;
};

namespace {

const JobKind kKinds[] = {
    {"backup", AUTORUN_BACKUP, true, false, DataBackupWorker},
    {"restore", AUTORUN_RESTORE, false, false, DataRestoreWorker},
    {"registry-backup", AUTORUN_REGISTRY_BACKUP, true, true, RegistryBackupWorker},
    {"registry-restore", AUTORUN_REGISTRY_RESTORE, false, true, RegistryRestoreWorker},
};

constexpr const char* kPasswordEnv = "CEDEV_PASSWORD";

// The command line of the program carries at most 259 units per token.
bool FitsToken(const std::u16string& text) { return text.size() < MAX_PATH; }

void CopyText(WCHAR* buffer, const std::u16string& text) {
  size_t n = text.copy(buffer, MAX_PATH - 1);
  buffer[n] = 0;
}

// --password TEXT as given, --password - asked at the terminal, else
// CEDEV_PASSWORD, else none. False, with why, when it cannot be had.
bool ChoosePassword(const CLI::Option* given, const std::string& text, std::string* password, std::string* why) {
  if (given->count() && text == "-") return tlvcli::AskSecret("Password", kPasswordEnv, password, why);
  if (given->count()) {
    *password = text;
  } else if (const char* env = std::getenv(kPasswordEnv)) {
    *password = env;
  }
  return true;
}

}  // namespace

const std::string& JobHelp() {
  static const std::string help =
      "usage: cedev job backup|restore|registry-backup|registry-restore\n"
      "                 [--location NAME] [--password TEXT|-] [--answer A,B,...]\n"
      "\n"
      "Runs one job procedure of the main program on the device the way its job\n"
      "runner does: job status reset, job record filled, the procedure on a\n"
      "worker thread. A restore is wrapped in the steps around it (staging\n"
      "folder, Startup folder, and after success the marker files, imager\n"
      "entries and registry flush). Prints the job status by name and code and,\n"
      "when the job failed, one line on stderr saying why.\n"
      "NAME is the storage folder at the root (default FlashDisk). --answer\n"
      "gives the answers to the questions the job asks (the cancel question),\n"
      "in order.\n"
      "The password: --password - asks for it at the terminal (echo off; without\n"
      "a terminal it comes from CEDEV_PASSWORD); without --password it comes\n"
      "from CEDEV_PASSWORD when that is set, else there is none. --password TEXT\n"
      "works for scripts, but other users of this computer can see TEXT (ps).\n"
      "Exit status: 0 success, 1 the job failed, 2 usage error.\n";
  return help;
}

std::optional<int> ParseJobCommand(const std::vector<std::string>& args, JobRequest* request, std::ostream& out,
                                   std::ostream& err) {
  tlvcli::CommandLine parser("cedev job", JobHelp(), out, err);
  CLI::App& app = parser.app();
  std::vector<std::string> words;
  for (const JobKind& kind : kKinds) words.push_back(kind.word);
  std::string job, location = "FlashDisk", password_text;
  app.add_option("JOB", job)->required()->check(tlvcli::OneOf(words));
  app.add_option("--location", location);
  CLI::Option* password_option = app.add_option("--password", password_text);
  app.add_option("--answer", request->answers);
  if (auto code = parser.Parse(args)) return code;
  for (const JobKind& kind : kKinds)
    if (job == kind.word) request->kind = &kind;
  request->location = FromUtf8(location);
  if (request->location.empty()) return parser.UsageError("--location: empty location");
  std::string password, why;
  if (!ChoosePassword(password_option, password_text, &password, &why)) return parser.UsageError(why);
  request->password = FromUtf8(password);
  if (!FitsToken(request->location) || !FitsToken(request->password)) {
    return parser.UsageError("a location or password longer than 259 characters");
  }
  return std::nullopt;
}

int RunJobRequest(const JobRequest& request) {
  // The message boxes of this process take their answers from here.
  if (!request.answers.empty()) ::setenv("CEDEV_ANSWERS", request.answers.c_str(), 1);
  SetUpProgram(nullptr);
  AutoRunCode = request.kind->autoRunCode;
  CopyText(AutoRunLocation, request.location);
  CopyText(AutoRunPassword, request.password);
  int64_t mark = JournalMark();

  // The program's own runner, without the progress dialog around the wait.
  DWORD exitCode = 0;
  DWORD lastError = ERROR_SUCCESS;
  if (request.kind->backup) {
    MBackupJob job;
    MPwdEncryption(AutoRunPassword, job.PasswordBlock);
    exitCode = RunOnWorker(job, request.kind->worker, JOB_OPERATION_BACKUP);
    lastError = JobFailureLastError();
  } else {
    MRestoreJob job;
    CopyText(job.Password, request.password);
    job.Extra = request.kind->autoRunCode == AUTORUN_RESTORE ? AUTORUN_RESTORE : 0;
    exitCode = RunRestoreOnWorker(job, request.kind->worker, request.kind->registryOnly);
    lastError = JobFailureLastError();
  }
  DWORD status = JobStatus;
  std::printf("%s (0x%04X)\n", JobStatusName(status), static_cast<unsigned>(status));
  std::fflush(stdout);
  if (status != STATUS_OK) {
    JobOutcome outcome{status, lastError, request.kind->backup, request.kind->registryOnly, request.location, mark};
    std::fprintf(stderr, "cedev job: %s\n", JobCause(outcome).c_str());
  }
  return exitCode ? 0 : 1;
}

int RunJobCommand(const std::vector<std::string>& args) {
  JobRequest request;
  if (auto code = ParseJobCommand(args, &request, std::cout, std::cerr)) return *code;
  return RunJobRequest(request);
}

}  // namespace cedev::tool
