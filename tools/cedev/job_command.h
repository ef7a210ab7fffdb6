// `cedev job backup|restore|registry-backup|registry-restore
//  [--location NAME] [--password TEXT|-] [--answer A,B,...]`: runs one job
// procedure of the main program on the device the way its job runner does
// (status reset, record filled, procedure on a worker thread), prints the
// job status by name and code and, when the job failed, one line saying
// why; answers 0 on success, 1 on failure, 2 on a usage error.
#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace cedev::tool {

struct JobKind;

struct JobRequest {
  const JobKind* kind = nullptr;
  std::u16string location = u"FlashDisk";
  std::u16string password;
  std::string answers;  // scripted answers to the job's questions, "" for none
};

// The help text of `cedev job`.
const std::string& JobHelp();

// Parses the words after "job"; the password comes from --password TEXT,
// from the terminal for --password -, else from CEDEV_PASSWORD. Answers the
// exit code when the job is not to run (help, usage error).
std::optional<int> ParseJobCommand(const std::vector<std::string>& args, JobRequest* request, std::ostream& out,
                                   std::ostream& err);
// Runs the job on the current device; the status goes to stdout, why it
// failed to stderr.
int RunJobRequest(const JobRequest& request);

// Both: the words after "job", on the current device.
int RunJobCommand(const std::vector<std::string>& args);

}  // namespace cedev::tool

using cedev::tool::RunJobCommand;
