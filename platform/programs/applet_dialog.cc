#include "applet_dialog.h"

#include "journal.h"
#include "res/ctlpnl_res.h"

namespace ctlpnl {
namespace {

constexpr int kFieldChars = 128;

void Journal(const AppletDialog& applet, const std::string& what) {
  cedev::JournalAppend("ctlpnl", std::string(applet.name) + " settings " + what);
}

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
        if (typed == applet->shown) {
          Journal(*applet, "closed with OK, unchanged");
          EndDialog(dialog, IDOK);
        } else if (applet->apply(dialog, typed)) {
          EndDialog(dialog, IDOK);
        }
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

int RunAppletDialog(HINSTANCE module, AppletDialog& dialog) {
  Journal(dialog, "opened");
  INT_PTR result = DialogBoxParamW(module, MAKEINTRESOURCEW(dialog.template_id), nullptr, AppletDialogProc,
                                   reinterpret_cast<LPARAM>(&dialog));
  if (result == -1) {
    Journal(dialog, "cannot be shown: error " + std::to_string(GetLastError()));
    return 1;
  }
  if (result == IDCANCEL) Journal(dialog, "closed without change");
  return 0;
}

}  // namespace ctlpnl
