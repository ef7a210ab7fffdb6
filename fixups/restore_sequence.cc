#include "restore_sequence.h"

#include "fixups.h"
#include "job_status.h"

DWORD RunRestoreSequence(BOOL registryOnly, RestoreWorkerRunner runWorker, void* context) {
  if (!registryOnly) PreRestoreStep();
  DWORD exitCode = runWorker(context);
  // A restore that failed before it reached the archive's tree (no archive,
  // a bad header, another platform, a wrong password) changed nothing, so
  // the Startup folder keeps its files: emptying it would lose them.
  BOOL changedNothing = exitCode == 0 && !RestoreEnteredTree();
  if (!registryOnly && !changedNothing) PostRestoreStep();
  if (exitCode != 0) RestoreSuccessSteps();
  return exitCode;
}
