// What the main window shows about the backup location: the locations the
// device has (the location box), the date of the backup there, its free
// space and the memory the object store uses, with the commands enabled
// that make sense. Refreshed once a second, so nothing is rewritten that
// has not changed: the box keeps its selection and the lines do not flicker.
#pragma once

#include <windows.h>

// Brings the window's controls up to date. `rebuildList` rebuilds the
// location box even when the set of locations has not changed.
void RefreshStatus(HWND window, BOOL rebuildList);

// The command bar whose menu items follow the buttons' states; null when
// the window has none.
void SetStatusCommandBar(HWND commandBar);

// Forgets what the window showed (the window has gone): the next refresh
// writes every line again.
void ForgetStatus();
