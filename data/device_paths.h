// Path text of device entries, in buffers of MAX_PATH units: the folder, a
// backslash unless it already ends in one, then the entry name.
#pragma once

#include "ce/types.h"

// FALSE (and an empty buffer) when the result does not fit MAX_PATH units.
BOOL JoinDevicePath(LPWSTR buffer, LPCWSTR folder, LPCWSTR name);
