// `cedev job backup|restore|registry-backup|registry-restore
//  [--location NAME] [--password TEXT]`: runs one job procedure of the main
// program on the device the way its job runner does (status reset, record
// filled, procedure on a worker thread), prints the job status by name and
// code, and answers 0 on success, 1 on failure, 2 on a usage error.
#pragma once

#include <string>
#include <vector>

namespace cedev::tool {

// `args` are the words after "job".
int RunJobCommand(const std::vector<std::string>& args);

}  // namespace cedev::tool

using cedev::tool::RunJobCommand;
