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
  const char* name = "";  // as the journal names the applet: "clock", "owner"
  UINT template_id = 0;
  Fields shown;  // what the fields hold when the dialog opens
  // Called on OK with the dialog and changed fields; false keeps the dialog
  // open (the applet has told the user what is wrong). OK on fields left as
  // they were changes nothing and does not call it.
  std::function<bool(HWND dialog, const Fields& typed)> apply;
};

// Runs the dialog modally and journals how it ended; the program's exit
// code: 0 when it was shown and closed, 1 when it could not be shown.
int RunAppletDialog(HINSTANCE module, AppletDialog& dialog);

// The dialog templates of the user's UI language.
bool JapaneseUi();

}  // namespace ctlpnl
