// Dialogs inside the window system: making a dialog window from a template
// (the message box makes its own template), running it modally, and the
// dialog manager's focus moves.
#pragma once

#include <functional>
#include <memory>

#include "ce/user.h"
#include "dialog_state.h"
#include "window.h"

namespace cedev::gwes {

// Creates the dialog, its controls, sends WM_INITDIALOG and shows it (a
// modal dialog always). Null when the template is bad or an item's class
// is unknown; nothing is left behind then. `box` makes it a message box.
HWND CreateDialogWindow(HINSTANCE instance, const CE_DIALOG_TEMPLATE& tmpl, HWND owner, DLGPROC proc, LPARAM param,
                        bool modal, std::unique_ptr<MessageBoxState> box);
// Runs a modal dialog until EndDialog, with its owner disabled meanwhile
// (`started` runs once it is); destroys it and returns the result.
INT_PTR RunModalDialog(HWND dialog, HWND owner, const std::function<void()>& started = nullptr);

// Gives the focus to a dialog's control as the dialog manager does (an edit
// gets its whole text selected).
void FocusDialogControl(HWND dialog, HWND control);

}  // namespace cedev::gwes
