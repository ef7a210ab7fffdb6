// The box that stands while a job's worker runs: it starts the worker of
// CurrentJob, keeps the device awake, and ends when the worker has ended.
// The user cannot end it: closing the backup's box only asks the worker to
// offer a cancel.
#pragma once

#include "panelry.h"

class MProgressDlg : public CAutoDlg {
 public:
  // `templateId` is IDD_BACKUP_PROGRESS (closable) or IDD_RESTORE_PROGRESS.
  MProgressDlg(UINT templateId, CWnd* parent);

  BOOL OnInitDialog() override;
  BOOL PreTranslateMessage(MSG* pMsg) override;

 protected:
  void OnTimer(UINT_PTR id);
  void OnClose();
  void OnDestroy();
  BOOL OnHelpInfo(HELPINFO*);
  DECLARE_MESSAGE_MAP()

 private:
  void StartWorker();
};
