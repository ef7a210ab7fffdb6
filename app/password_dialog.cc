#include "password_dialog.h"

#include "app_box.h"
#include "app_state.h"
#include "help.h"
#include "res/resource.h"

namespace {

const RECT kPortraitRect = {0, 0, 240, 320};

// The landscape twin of each password template; a template without one is
// its own twin.
UINT LandscapeTwin(UINT templateId) {
  switch (templateId) {
    case IDD_BACKUP_PASSWORD: return IDD_BACKUP_PASSWORD_LANDSCAPE;
    case IDD_RESTORE_PASSWORD: return IDD_RESTORE_PASSWORD_LANDSCAPE;
    default: return templateId;
  }
}

}  // namespace

BEGIN_MESSAGE_MAP(MPasswordDlg, CAutoDlg)
  ON_WM_DESTROY()
  ON_WM_HELPINFO()
END_MESSAGE_MAP()

MPasswordDlg::MPasswordDlg(UINT templateId, CWnd* parent, LPWSTR password)
    : CAutoDlg(templateId, parent, kPortraitRect, ModuleInstance), m_password(password) {
  RegistDialogResource(LandscapeTwin(templateId), kLandscapeLayout);
}

BOOL MPasswordDlg::HasItem(int id) const { return ::GetDlgItem(m_hWnd, id) != nullptr; }

BOOL MPasswordDlg::OnInitDialog() {
  CAutoDlg::OnInitDialog();
  PlaySoundW(u"SystemQuestion", nullptr, SND_ALIAS);
  SetWindowText(AppTitle);
  for (int id : {IDC_PASSWORD, IDC_PASSWORD_CONFIRM}) {
    if (!HasItem(id)) continue;
    // The buffer holds kPasswordUnits - 1 characters: a longer typed text
    // would be cut without the user knowing which password was kept.
    SendDlgItemMessageW(m_hWnd, id, EM_LIMITTEXT, kPasswordUnits - 1, 0);
    if (m_password) SetDlgItemTextW(m_hWnd, id, m_password);
  }
  return TRUE;
}

BOOL MPasswordDlg::OnCommand(WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
  switch (LOWORD(wParam)) {
    case IDYES:
      OnYes();
      *pResult = 0;
      return TRUE;
    case IDNO:
      EndDialog(IDNO);
      *pResult = 0;
      return TRUE;
    default:
      return CAutoDlg::OnCommand(wParam, lParam, pResult);
  }
}

void MPasswordDlg::OnYes() {
  if (!m_password || !HasItem(IDC_PASSWORD)) {
    EndDialog(IDYES);
    return;
  }
  GetDlgItemTextW(m_hWnd, IDC_PASSWORD, m_password, kPasswordUnits);
  if (!HasItem(IDC_PASSWORD_CONFIRM)) {
    EndDialog(IDYES);
    return;
  }
  WCHAR confirmation[kPasswordUnits];
  GetDlgItemTextW(m_hWnd, IDC_PASSWORD_CONFIRM, confirmation, kPasswordUnits);
  // Exact comparison: a password differing only in case would not open
  // the archive it protects.
  if (wcscmp(confirmation, m_password) == 0) {
    EndDialog(IDYES);
    return;
  }
  ShowAppString(m_hWnd, IDS_PASSWORD_MISMATCH, MB_TOPMOST | MB_ICONHAND);
  SetDlgItemTextW(m_hWnd, IDC_PASSWORD, u"");
  SetDlgItemTextW(m_hWnd, IDC_PASSWORD_CONFIRM, u"");
  m_password[0] = 0;
  ::SetFocus(::GetDlgItem(m_hWnd, IDC_PASSWORD));
}

void MPasswordDlg::OnDestroy() { CAutoDlg::OnDestroy(); }

BOOL MPasswordDlg::OnHelpInfo(HELPINFO*) {
  OpenHelp();
  return TRUE;
}
