// The control panel's applet dialog: two fields prefilled with the current
// settings, OK and Cancel. OK hands what was typed to the applet, which
// either takes it (the dialog closes) or refuses it (it stays open); Cancel
// and WM_CLOSE close it without a change.
#pragma once

#include <windows.h>

#include <array>
#include <functional>
#include <string>

namespace ctlpnl {

using Fields = std::array<std::u16string, 2>;

struct AppletDialog {
  UINT template_id = 0;
  Fields shown;  // what the fields hold when the dialog opens
  // Called on OK with the dialog and what the fields hold; false keeps the
  // dialog open (the applet has told the user what is wrong).
  std::function<bool(HWND dialog, const Fields& typed)> apply;
};

// Runs the dialog modally: IDOK when the applet took what was typed,
// IDCANCEL when it was closed without a change, -1 when it cannot be shown.
INT_PTR RunAppletDialog(HINSTANCE module, AppletDialog& dialog);

// The dialog templates of the user's UI language.
bool JapaneseUi();

}  // namespace ctlpnl
