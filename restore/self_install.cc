#include "self_install.h"

#include <windows.h>

namespace {

const WCHAR kSpareName[] = TEXT("~Setup.bak");

void DeleteEvenReadOnly(LPCWSTR path) {
  ClearReadOnly(path);
  DeleteFileW(path);
}

}  // namespace

void ClearReadOnly(LPCWSTR path) {
  DWORD attributes = GetFileAttributesW(path);
  if (attributes != INVALID_FILE_ATTRIBUTES) SetFileAttributesW(path, attributes & ~FILE_ATTRIBUTE_READONLY);
}

BOOL InstallSelf(const ToolState& tool, Installation* installation) {
  wcscpy(installation->installed, tool.installedPath);
  FormatArmPath(installation->spare, tool.storage, kSpareName);
  DeleteEvenReadOnly(installation->spare);
  installation->hadPrevious = GetFileAttributesW(installation->installed) != INVALID_FILE_ATTRIBUTES;
  installation->previousMoved = MoveFileW(installation->installed, installation->spare);
  return CopyFileW(tool.ownPath, installation->installed, TRUE);
}

void UndoInstallation(const Installation& installation) {
  if (installation.hadPrevious && !installation.previousMoved) return;
  DeleteEvenReadOnly(installation.installed);
  if (installation.previousMoved) MoveFileW(installation.spare, installation.installed);
}

void ConfirmInstallation(const Installation& installation) { DeleteEvenReadOnly(installation.spare); }
