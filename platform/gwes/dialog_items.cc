// Dialog items of any program's dialogs, and dialog units.
#include <algorithm>
#include <string>

#include "last_error.h"
#include "metrics.h"
#include "session.h"
#include "window_ops.h"
#include "wstr.h"

using namespace cedev::gwes;
using cedev::Fail;

HWND GetDlgItem(HWND hDlg, int nIDDlgItem) {
  Session* session = Session::Current();
  if (!session || !DescribeWindow(hDlg)) return nullptr;
  uint32_t item = session->table().ChildWithId(HandleValue(hDlg), static_cast<uint32_t>(nIDDlgItem) & 0xFFFF);
  if (!item) item = session->table().ChildWithId(HandleValue(hDlg), static_cast<uint32_t>(nIDDlgItem));
  return item ? ToHwnd(item) : Fail(ERROR_CONTROL_ID_NOT_FOUND, HWND{});
}

int GetDlgCtrlID(HWND hWnd) {
  auto r = DescribeWindow(hWnd);
  if (!r) return 0;
  return r->parent ? static_cast<int>(r->id) : 0;
}

UINT GetDlgItemTextW(HWND hDlg, int nIDDlgItem, LPWSTR lpString, int nMaxCount) {
  if (lpString && nMaxCount > 0) lpString[0] = 0;
  HWND item = GetDlgItem(hDlg, nIDDlgItem);
  if (!item) return 0;
  if (!lpString || nMaxCount <= 0) return Fail(ERROR_INVALID_PARAMETER, UINT{0});
  return static_cast<UINT>(SendMessageW(item, WM_GETTEXT, static_cast<WPARAM>(nMaxCount), reinterpret_cast<LPARAM>(lpString)));
}

BOOL SetDlgItemTextW(HWND hDlg, int nIDDlgItem, LPCWSTR lpString) {
  HWND item = GetDlgItem(hDlg, nIDDlgItem);
  return item ? SetWindowTextW(item, lpString) : FALSE;
}

UINT GetDlgItemInt(HWND hDlg, int nIDDlgItem, BOOL* lpTranslated, BOOL bSigned) {
  if (lpTranslated) *lpTranslated = FALSE;
  WCHAR text[32];
  if (!GetDlgItemTextW(hDlg, nIDDlgItem, text, 32)) return 0;
  std::u16string_view s = cedev::WView(text);
  while (!s.empty() && s.front() == u' ') s.remove_prefix(1);
  bool negative = bSigned && !s.empty() && s.front() == u'-';
  if (negative) s.remove_prefix(1);
  if (s.empty()) return 0;
  uint64_t value = 0;
  for (char16_t c : s) {
    if (c < u'0' || c > u'9') return 0;
    value = value * 10 + (c - u'0');
    if (value > (bSigned ? 0x80000000ull : 0xFFFFFFFFull)) return 0;
  }
  if (bSigned && !negative && value > 0x7FFFFFFF) return 0;
  if (lpTranslated) *lpTranslated = TRUE;
  return negative ? static_cast<UINT>(-static_cast<int64_t>(value)) : static_cast<UINT>(value);
}

BOOL SetDlgItemInt(HWND hDlg, int nIDDlgItem, UINT uValue, BOOL bSigned) {
  std::string digits = bSigned ? std::to_string(static_cast<int>(uValue)) : std::to_string(uValue);
  std::u16string text(digits.begin(), digits.end());
  return SetDlgItemTextW(hDlg, nIDDlgItem, text.c_str());
}

LRESULT SendDlgItemMessageW(HWND hDlg, int nIDDlgItem, UINT Msg, WPARAM wParam, LPARAM lParam) {
  HWND item = GetDlgItem(hDlg, nIDDlgItem);
  return item ? SendMessageW(item, Msg, wParam, lParam) : 0;
}

BOOL CheckDlgButton(HWND hDlg, int nIDButton, UINT uCheck) {
  HWND item = GetDlgItem(hDlg, nIDButton);
  if (!item) return FALSE;
  SendMessageW(item, BM_SETCHECK, uCheck, 0);
  return TRUE;
}

UINT IsDlgButtonChecked(HWND hDlg, int nIDButton) {
  HWND item = GetDlgItem(hDlg, nIDButton);
  return item ? static_cast<UINT>(SendMessageW(item, BM_GETCHECK, 0, 0)) : 0;
}

BOOL CheckRadioButton(HWND hDlg, int nIDFirstButton, int nIDLastButton, int nIDCheckButton) {
  for (int id = nIDFirstButton; id <= nIDLastButton; ++id) {
    if (HWND item = GetDlgItem(hDlg, id)) SendMessageW(item, BM_SETCHECK, id == nIDCheckButton ? BST_CHECKED : BST_UNCHECKED, 0);
  }
  return TRUE;
}

BOOL MapDialogRect(HWND hDlg, LPRECT lpRect) {
  if (!lpRect) return Fail(ERROR_INVALID_PARAMETER, FALSE);
  if (!DescribeWindow(hDlg)) return FALSE;
  lpRect->left = DialogUnitsToPixelsX(lpRect->left);
  lpRect->right = DialogUnitsToPixelsX(lpRect->right);
  lpRect->top = DialogUnitsToPixelsY(lpRect->top);
  lpRect->bottom = DialogUnitsToPixelsY(lpRect->bottom);
  return TRUE;
}

LONG GetDialogBaseUnits() { return MAKELONG(kDialogBaseX, kDialogBaseY); }
