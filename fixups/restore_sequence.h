// The order of a restore, kept in one place for every caller (the main
// program's job runner with its progress dialog, and `cedev job restore`):
// for a data restore the pre-restore step, the worker, the post-restore
// step (left out when the worker failed before it entered the archive's
// tree: see RestoreEnteredTree); then, when the worker succeeded, the
// success steps. What shows the progress and runs the worker is the
// caller's; it clears the job status before the worker starts.
#pragma once

#include "ce/types.h"

// Runs the restore worker and answers its exit code (not 0 = success).
typedef DWORD (*RestoreWorkerRunner)(void* context);

// Answers the worker's exit code.
DWORD RunRestoreSequence(BOOL registryOnly, RestoreWorkerRunner runWorker, void* context);
