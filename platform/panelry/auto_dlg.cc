// The dialog base class with a template per layout: the twin registered for
// a layout is the one run while the screen is in it, and a dialog open when
// the screen turns moves its items to the twin's places.
#include "control_rects.h"
#include "panelry.h"

using panelry::InLayout;
using panelry::MoveTo;

BEGIN_MESSAGE_MAP(CAutoDlg, CDialog)
  ON_WM_SETTINGCHANGE()
  ON_WM_DESTROY()
END_MESSAGE_MAP()

CAutoDlg::CAutoDlg(UINT nIDTemplate, CWnd* pParentWnd, const RECT& rect, HINSTANCE hInstance)
    : CDialog(nIDTemplate, pParentWnd), m_rcPortrait(rect) {
  m_hInstResource = hInstance;
}

CAutoDlg::~CAutoDlg() = default;

void CAutoDlg::RegistDialogResource(UINT nIDTemplate, UINT nLayout) {
  if (nLayout <= kLandscapeLayout) m_nIDTwin[nLayout] = nIDTemplate;
}

LPCDLGTEMPLATEW CAutoDlg::TemplateFor(UINT layout) const {
  if (layout <= kLandscapeLayout && m_nIDTwin[layout]) {
    if (LPCDLGTEMPLATEW twin = ::CeFindDialogTemplate(ResourceHandle(), MAKEINTRESOURCEW(m_nIDTwin[layout]))) {
      return twin;
    }
  }
  return TemplateToRun();
}

BOOL CAutoDlg::Create(UINT nIDTemplate, CWnd* pParentWnd) {
  m_nIDTemplate = nIDTemplate;
  m_nLayout = CurrentLayout();
  return CreateFromTemplate(TemplateFor(m_nLayout), pParentWnd);
}

BOOL CAutoDlg::CreateIndirect(LPCDLGTEMPLATEW lpDialogTemplate, CWnd* pParentWnd) {
  m_nLayout = CurrentLayout();
  return CDialog::CreateIndirect(lpDialogTemplate, pParentWnd);
}

BOOL CAutoDlg::InitModalIndirect(LPCDLGTEMPLATEW lpDialogTemplate, CWnd* pParentWnd) {
  return CDialog::InitModalIndirect(lpDialogTemplate, pParentWnd);
}

INT_PTR CAutoDlg::DoModal() {
  m_nLayout = CurrentLayout();
  LPCDLGTEMPLATEW chosen = TemplateFor(m_nLayout);
  if (!chosen) return -1;
  LPCDLGTEMPLATEW given = m_lpDialogTemplate;
  m_lpDialogTemplate = chosen;
  INT_PTR result = CDialog::DoModal();
  m_lpDialogTemplate = given;
  return result;
}

BOOL CAutoDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  MoveTo(m_hWnd, InLayout(m_rcPortrait, m_nLayout));
  return TRUE;
}

void CAutoDlg::OnDestroy() { Default(); }

void CAutoDlg::OnSettingChange(UINT, LPCWSTR) {
  UINT layout = CurrentLayout();
  if (layout != m_nLayout) ApplyLayout(layout);
}

void CAutoDlg::ApplyLayout(UINT layout) {
  m_nLayout = layout;
  MoveTo(m_hWnd, InLayout(m_rcPortrait, layout));
  LPCDLGTEMPLATEW tmpl = TemplateFor(layout);
  if (!tmpl) return;
  for (size_t i = 0; i < tmpl->itemCount; ++i) {
    const CE_DIALOG_ITEM& item = tmpl->items[i];
    HWND control = ::GetDlgItem(m_hWnd, item.id);
    if (!control || item.id == static_cast<WORD>(IDC_STATIC)) continue;
    RECT r{item.x, item.y, item.x + item.cx, item.y + item.cy};
    ::MapDialogRect(m_hWnd, &r);
    MoveTo(control, r);
  }
}
