// The question before a backup or restore: what the job will do, and the
// password (twice for a backup, so a typing error cannot lock the archive).
#pragma once

#include "panelry.h"

// A typed password: at most 255 characters and the terminator.
constexpr int kPasswordUnits = 256;

class MPasswordDlg : public CAutoDlg {
 public:
  // `password` is the caller's buffer of kPasswordUnits units (or null): it
  // fills the fields when the dialog opens and takes the typed password
  // when the user answers Yes. The dialog ends with IDYES, IDNO or, on
  // Escape, IDCANCEL.
  MPasswordDlg(UINT templateId, CWnd* parent, LPWSTR password);

  BOOL OnInitDialog() override;

 protected:
  BOOL OnCommand(WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;
  void OnDestroy();
  BOOL OnHelpInfo(HELPINFO*);
  DECLARE_MESSAGE_MAP()

 private:
  void OnYes();
  BOOL HasItem(int id) const;
  LPWSTR m_password;
};
