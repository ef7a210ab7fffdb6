// The control panel's dialog templates: one per applet with fields and per
// UI language, all of the same shape (two labelled edits, OK and Cancel).
#pragma once

#include <windows.h>

namespace ctlpnl {

constexpr WORD kFirstField = 1001;
constexpr WORD kSecondField = 1002;

constexpr UINT kClockDialog = 100;
constexpr UINT kClockDialogJapanese = 101;
constexpr UINT kOwnerDialog = 110;
constexpr UINT kOwnerDialogJapanese = 111;

void RegisterDialogs(HINSTANCE module);

}  // namespace ctlpnl
