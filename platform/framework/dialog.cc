// Dialog objects: modal dialogs run by the framework's own loop, so that the
// objects' PreTranslateMessage sees the dialog's messages, and modeless ones.
#include "framework.h"

namespace {

BOOL PreTranslate(MSG* msg) {
  if (CWinApp* app = AfxGetApp()) return app->PreTranslateMessage(msg);
  for (HWND h = msg->hwnd; h; h = ::GetParent(h)) {
    if (CWnd* wnd = CWnd::FromHandlePermanent(h); wnd && wnd->PreTranslateMessage(msg)) return TRUE;
    if (!(::GetWindowLongW(h, GWL_STYLE) & WS_CHILD)) break;
  }
  return FALSE;
}

}  // namespace

BEGIN_MESSAGE_MAP(CDialog, CWnd)
  ON_COMMAND(IDOK, OnOK)
  ON_COMMAND(IDCANCEL, OnCancel)
END_MESSAGE_MAP()

CDialog::CDialog() = default;

CDialog::CDialog(UINT nIDTemplate, CWnd* pParentWnd) : m_nIDTemplate(nIDTemplate), m_pParentWnd(pParentWnd) {}

CDialog::~CDialog() = default;

INT_PTR CALLBACK AfxDlgProc(HWND hWnd, UINT message, WPARAM, LPARAM) {
  if (message != WM_INITDIALOG) return FALSE;
  CDialog* dialog = dynamic_cast<CDialog*>(CWnd::FromHandlePermanent(hWnd));
  return dialog ? dialog->OnInitDialog() : TRUE;
}

BOOL CDialog::OnInitDialog() { return TRUE; }

void CDialog::OnOK() { EndDialog(IDOK); }

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

void CDialog::EndDialog(int nResult) {
  m_nModalResult = nResult;
  if (m_bContinueModal) {
    m_bContinueModal = false;
    // Wakes the modal loop when the press came from another thread.
    PostMessage(WM_NULL);
  }
  if (m_hWnd) ::EndDialog(m_hWnd, nResult);
}

BOOL CDialog::PreTranslateMessage(MSG* pMsg) { return PreTranslateInput(pMsg); }

LPCDLGTEMPLATEW CDialog::TemplateToRun() const {
  if (m_lpDialogTemplate) return m_lpDialogTemplate;
  return ::CeFindDialogTemplate(ResourceHandle(), MAKEINTRESOURCEW(m_nIDTemplate));
}

BOOL CDialog::CreateFromTemplate(LPCDLGTEMPLATEW tmpl, CWnd* pParentWnd) {
  if (!tmpl || m_hWnd) return FALSE;
  if (pParentWnd) m_pParentWnd = pParentWnd;
  HWND parent = m_pParentWnd ? m_pParentWnd->m_hWnd : nullptr;
  CeArmCreationHook(&AfxAttachCreatedWindow, this);
  HWND hWnd = ::CreateDialogIndirectParamW(ResourceHandle(), tmpl, parent, &AfxDlgProc,
                                           reinterpret_cast<LPARAM>(this));
  CeDisarmCreationHook();
  return hWnd != nullptr && m_hWnd == hWnd;
}

BOOL CDialog::Create(UINT nIDTemplate, CWnd* pParentWnd) {
  m_nIDTemplate = nIDTemplate;
  return CreateFromTemplate(TemplateToRun(), pParentWnd);
}

BOOL CDialog::CreateIndirect(LPCDLGTEMPLATEW lpDialogTemplate, CWnd* pParentWnd) {
  return CreateFromTemplate(lpDialogTemplate, pParentWnd);
}

BOOL CDialog::InitModalIndirect(LPCDLGTEMPLATEW lpDialogTemplate, CWnd* pParentWnd) {
  m_lpDialogTemplate = lpDialogTemplate;
  if (pParentWnd) m_pParentWnd = pParentWnd;
  return lpDialogTemplate != nullptr;
}

HWND CDialog::ParentForModal() const {
  if (m_pParentWnd) return m_pParentWnd->m_hWnd;
  CWnd* main = AfxGetMainWnd();
  return main && main != this ? main->m_hWnd : nullptr;
}

INT_PTR CDialog::DoModal() {
  LPCDLGTEMPLATEW tmpl = TemplateToRun();
  if (!tmpl) return -1;
  HWND parent = ParentForModal();
  bool reenable = parent && ::IsWindowEnabled(parent);
  if (reenable) ::EnableWindow(parent, FALSE);
  m_nModalResult = -1;
  m_bContinueModal = true;
  CWnd* given_parent = m_pParentWnd;
  if (!CreateFromTemplate(tmpl, CWnd::FromHandle(parent))) {
    m_bContinueModal = false;
    m_pParentWnd = given_parent;
    if (reenable) ::EnableWindow(parent, TRUE);
    return -1;
  }
  m_pParentWnd = given_parent;
  if (m_bContinueModal) {
    ::ShowWindow(m_hWnd, SW_SHOW);
    RunModalLoop();
  }
  if (reenable) ::EnableWindow(parent, TRUE);
  if (parent) ::SetActiveWindow(parent);
  if (m_hWnd) ::DestroyWindow(m_hWnd);
  return m_nModalResult;
}

void CDialog::RunModalLoop() {
  MSG msg;
  while (m_bContinueModal && m_hWnd) {
    BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
    if (got == -1) break;
    if (got == 0) {
      // The program is ending: the dialog ends, the loop outside gets the quit.
      ::PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    if (!PreTranslate(&msg)) {
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
  }
  m_bContinueModal = false;
}
