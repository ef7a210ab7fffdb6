// The date text of the main window's last-backup line and of the backup's
// success message: "13/2/05 03:07 PM" for 5 February 2013, 15:07.
#pragma once

#include <windows.h>

// Formats a local time (as FILETIME) into `text` of `units` UTF-16 units.
// FALSE, text empty, when the time cannot be split into calendar fields.
BOOL FormatBackupDate(const FILETIME& localTime, LPWSTR text, size_t units);
