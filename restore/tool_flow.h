// The tool from start to end: start-up, then restore mode when it runs as
// the installed copy on the storage, backup mode otherwise. Returns the
// exit code: 1 after a completed backup (or a restore whose reset
// returned), 0 in every other case.
#pragma once

#include "ce/types.h"

#include "tool_state.h"

int RunRestoreTool(LPCWSTR commandLine);

// The two modes and their failure ends, for RunRestoreTool.
int RunRestoreMode(ToolState& tool);
int RunBackupMode(ToolState& tool, BOOL askFirst);
void ReleaseToolMutex(ToolState& tool);
int RestoreFailureEnd(ToolState& tool);
int BackupFailureEnd(ToolState& tool);
