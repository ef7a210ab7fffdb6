// Closing any kernel handle: file, find, process, thread, mutex, database.
#pragma once

#include "ce/types.h"
#include "ce/errors.h"

BOOL CloseHandle(HANDLE hObject);
