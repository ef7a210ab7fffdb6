#include "job_status.h"

#include <windows.h>

volatile DWORD JobStatus = STATUS_OK;
volatile BOOL CancelRequested = FALSE;
volatile BOOL CancelConfirmed = FALSE;
volatile DWORD JobOperation = 0;

namespace {

volatile BOOL g_restoreEnteredTree = FALSE;
volatile DWORD g_failureLastError = ERROR_SUCCESS;
HINSTANCE g_resources = nullptr;
LPCWSTR g_caption = TEXT("");

// Yes/No, question icon, No as default, foreground and topmost.
constexpr UINT kCancelQuestionStyle = MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2 | MB_SETFOREGROUND | MB_TOPMOST;
constexpr int kTextLimit = 2048;

}  // namespace

void SetJobMessageSource(HINSTANCE resources, LPCWSTR caption) {
  g_resources = resources;
  g_caption = caption ? caption : TEXT("");
}

void ResetJobStatus(DWORD operation) {
  ClearJobStatus();
  JobOperation = operation;
}

void ClearJobStatus() {
  JobStatus = STATUS_OK;
  CancelRequested = FALSE;
  CancelConfirmed = FALSE;
  g_restoreEnteredTree = FALSE;
}

void SetJobError(DWORD code) {
  if (JobStatus != STATUS_OK) return;
  g_failureLastError = GetLastError();
  JobStatus = code;
}

DWORD JobFailureLastError() { return JobStatus == STATUS_OK ? ERROR_SUCCESS : g_failureLastError; }

void NoteRestoreEnteredTree() { g_restoreEnteredTree = TRUE; }

BOOL RestoreEnteredTree() { return g_restoreEnteredTree; }

void PollCancel() {
  if (!CancelRequested || CancelConfirmed) return;
  UINT id = JobOperation == JOB_OPERATION_RESTORE ? IDS_CANCEL_RESTORE_QUESTION : IDS_CANCEL_BACKUP_QUESTION;
  static WCHAR question[kTextLimit];
  if (LoadStringW(g_resources, id, question, kTextLimit) == 0) question[0] = 0;
  SetCursor(nullptr);
  int answer = MessageBoxW(nullptr, question, g_caption, kCancelQuestionStyle);
  Sleep(1000);
  SetCursor(LoadCursorW(nullptr, IDC_WAIT));
  if (answer == IDYES) {
    CancelConfirmed = TRUE;
  } else {
    CancelRequested = FALSE;
    CancelConfirmed = FALSE;
  }
}

BOOL CancelCheckpoint() {
  PollCancel();
  if (!CancelConfirmed) return FALSE;
  SetJobError(STATUS_CANCELLED);
  return TRUE;
}
