#include "restore_sequence.h"

#include "fixups.h"

DWORD RunRestoreSequence(BOOL registryOnly, RestoreWorkerRunner runWorker, void* context) {
  if (!registryOnly) PreRestoreStep();
  DWORD exitCode = runWorker(context);
  if (!registryOnly) PostRestoreStep();
  if (exitCode != 0) RestoreSuccessSteps();
  return exitCode;
}
