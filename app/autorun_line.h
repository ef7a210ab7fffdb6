// The command line of an unattended run: "/b/FlashDisk/password" asks for
// a backup to FlashDisk with that password. Anything else starts the
// program for a person.
#pragma once

#include <windows.h>

// Splits `commandLine` (changed in place) at runs of '/', fills `location`
// and `password` (MAX_PATH units each) from the second and third tokens
// and answers the automatic-run code of the first (AUTORUN_*), or
// AUTORUN_NONE when the command is none of b, r, s, w or the location is
// not a location folder of the root. A token too long for its buffer also
// gives AUTORUN_NONE, with both buffers empty: a cut password or location
// would run the job on something the caller never asked for.
LONG ParseCommandLine(LPWSTR commandLine, LPWSTR location, LPWSTR password);

// Removes trailing blanks (U+0020 only) in place.
void TrimTrailingBlanks(LPWSTR text);
