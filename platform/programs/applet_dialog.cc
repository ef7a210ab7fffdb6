#include "applet_dialog.h"

#include "res/ctlpnl_res.h"

namespace ctlpnl {
namespace {

constexpr int kFieldChars = 128;

std::u16string FieldText(HWND dialog, int id) {
  WCHAR text[kFieldChars] = {};
  GetDlgItemTextW(dialog, id, text, kFieldChars);
  return text;
}

INT_PTR CALLBACK AppletDialogProc(HWND dialog, UINT msg, WPARAM wparam, LPARAM lparam) {
  auto* applet = reinterpret_cast<AppletDialog*>(GetWindowLongPtrW(dialog, DWLP_USER));
  switch (msg) {
    case WM_INITDIALOG:
      applet = reinterpret_cast<AppletDialog*>(lparam);
      SetWindowLongPtrW(dialog, DWLP_USER, lparam);
      SendDlgItemMessageW(dialog, kFirstField, EM_LIMITTEXT, kFieldChars - 1, 0);
      SendDlgItemMessageW(dialog, kSecondField, EM_LIMITTEXT, kFieldChars - 1, 0);
      SetDlgItemTextW(dialog, kFirstField, applet->shown[0].c_str());
      SetDlgItemTextW(dialog, kSecondField, applet->shown[1].c_str());
      SetForegroundWindow(dialog);
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wparam) == IDOK && applet) {
        Fields typed = {FieldText(dialog, kFirstField), FieldText(dialog, kSecondField)};
        if (applet->apply(dialog, typed)) EndDialog(dialog, IDOK);
        return TRUE;
      }
      if (LOWORD(wparam) == IDCANCEL) {
        EndDialog(dialog, IDCANCEL);
        return TRUE;
      }
      return FALSE;
    default:
      return FALSE;
  }
}

}  // namespace

bool JapaneseUi() { return GetUserDefaultUILanguage() == 0x0411; }

INT_PTR RunAppletDialog(HINSTANCE module, AppletDialog& dialog) {
  return DialogBoxParamW(module, MAKEINTRESOURCEW(dialog.template_id), nullptr, AppletDialogProc,
                         reinterpret_cast<LPARAM>(&dialog));
}

}  // namespace ctlpnl
