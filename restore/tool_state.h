// What one run of the tool knows about itself and its device, found at
// start-up and read by every step after it.
#pragma once

#include "ce/types.h"

#include "setup_programs.h"
#include "tool_paths.h"
#include "tool_texts.h"

struct ToolState {
  const ToolTexts* texts = nullptr;  // the column of the device's UI language
  HANDLE mutex = nullptr;            // "Restore", held until the tool ends
  WCHAR storage[MAX_PATH] = {};      // the storage folder's name, e.g. "FlashDisk"
  WCHAR logPath[kToolPathUnits] = {};
  WCHAR mainProgramPath[kToolPathUnits] = {};
  WCHAR ownPath[MAX_PATH] = {};
  WCHAR installedPath[kToolPathUnits] = {};  // "\<storage>\CE\ARM\Restore.exe"
  BOOL flagPresent = FALSE;  // the restored registry brought "RestoreFlag" back
  SetupPrograms setup;
};
