// The version box: the program's icon, its title, version, year and maker
// from its string table, and an OK button.
#include <string>

#include "panelry.h"

namespace {

std::u16string LoadText(HINSTANCE module, UINT id) {
  char16_t buffer[256] = {};
  int n = ::LoadStringW(module, id, buffer, 256);
  return std::u16string(buffer, n > 0 ? static_cast<size_t>(n) : 0);
}

}  // namespace

INT_PTR AboutDialog(UINT nTitle, UINT nCaption, UINT nIcon, UINT nYear, UINT nMaker, UINT nVersion, CWnd* pParent) {
  HINSTANCE module = AfxGetResourceHandle();
  std::u16string caption = LoadText(module, nCaption);
  std::u16string title = LoadText(module, nTitle);
  std::u16string version = u"Version " + LoadText(module, nVersion);
  std::u16string copyright = u"Copyright (C) " + LoadText(module, nYear) + u" " + LoadText(module, nMaker);
  // Positions in dialog units; the texts live until the box has closed.
  const CE_DIALOG_ITEM items[] = {
      {u"STATIC", MAKEINTRESOURCEW(nIcon), 100, WS_VISIBLE | SS_ICON, 0, 8, 8, 16, 16},
      {u"STATIC", title.c_str(), 101, WS_VISIBLE, 0, 32, 8, 112, 10},
      {u"STATIC", version.c_str(), 102, WS_VISIBLE, 0, 32, 20, 112, 10},
      {u"STATIC", copyright.c_str(), 103, WS_VISIBLE, 0, 32, 32, 112, 10},
      {u"BUTTON", u"OK", IDOK, WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 0, 58, 48, 36, 14},
  };
  const CE_DIALOG_TEMPLATE box = {0,       WS_POPUP | WS_CAPTION | DS_MODALFRAME | DS_CENTER | DS_SETFONT,
                                  0,       0,
                                  0,       152,
                                  68,      caption.c_str(),
                                  u"MS",   9,
                                  items,   sizeof(items) / sizeof(items[0])};
  CDialog dialog(0, pParent);
  dialog.InitModalIndirect(&box, pParent);
  return dialog.DoModal();
}
