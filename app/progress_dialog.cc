#include "progress_dialog.h"

#include "app_box.h"
#include "app_state.h"
#include "help.h"
#include "job_runner.h"
#include "job_status.h"
#include "res/resource.h"

namespace {

const RECT kPortraitRect = {0, 0, 240, 320};
constexpr UINT_PTR kTickTimer = 256;
constexpr UINT kTickPeriod = 1000;
// How long one tick waits for the worker before it gives the loop back.
constexpr DWORD kWorkerWait = 100;

}  // namespace

BEGIN_MESSAGE_MAP(MProgressDlg, CAutoDlg)
  ON_WM_TIMER()
  ON_WM_CLOSE()
  ON_WM_DESTROY()
  ON_WM_HELPINFO()
END_MESSAGE_MAP()

MProgressDlg::MProgressDlg(UINT templateId, CWnd* parent)
    : CAutoDlg(templateId, parent, kPortraitRect, ModuleInstance) {}

BOOL MProgressDlg::OnInitDialog() {
  ProgressDialogOpen = 1;
  CAutoDlg::OnInitDialog();
  WCHAR text[TEXT_LIMIT];
  LoadAppString(CurrentJob->TitleId, text);
  SetWindowText(text);
  LoadAppString(CurrentJob->MessageId, text);
  SetDlgItemTextW(m_hWnd, IDC_PROGRESS_TEXT, text);
  StartWorker();
  ::SetForegroundWindow(m_hWnd);
  BeginWaitCursor();
  SetTimer(kTickTimer, kTickPeriod);
  return TRUE;
}

// A thread that could not be made now is tried again at the next tick: the
// box stays until a worker has run and ended.
void MProgressDlg::StartWorker() {
  ClearJobStatus();
  StartJobThread(*CurrentJob);
}

void MProgressDlg::OnTimer(UINT_PTR) {
  // A key event now and then keeps the device from suspending mid-job.
  keybd_event(0, 0, KEYEVENTF_KEYUP, 0);
  MJob& job = *CurrentJob;
  if (!job.Thread) {
    StartWorker();
    return;
  }
  if (WaitForSingleObject(job.Thread, kWorkerWait) != WAIT_TIMEOUT) EndDialog(0);
}

void MProgressDlg::OnClose() {
  // Only a request: the worker asks the user at its next check point.
  CancelRequested = TRUE;
}

void MProgressDlg::OnDestroy() {
  KillTimer(kTickTimer);
  MJob& job = *CurrentJob;
  KeepJobExitCode(job);
  if (job.Thread) CloseHandle(job.Thread);
  job.Thread = nullptr;
  EndWaitCursor();
  CAutoDlg::OnDestroy();
  ProgressDialogOpen = 0;
}

BOOL MProgressDlg::OnHelpInfo(HELPINFO*) {
  OpenHelp();
  return TRUE;
}

BOOL MProgressDlg::PreTranslateMessage(MSG* pMsg) {
  // Enter and Escape would end the box as OK or Cancel while the worker
  // still runs; they go to the box as plain keys instead.
  if (pMsg->message == WM_KEYDOWN && (pMsg->wParam == VK_RETURN || pMsg->wParam == VK_ESCAPE)) return FALSE;
  return CAutoDlg::PreTranslateMessage(pMsg);
}
