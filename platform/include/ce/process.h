// Processes, threads, synchronisation, modules: CreateProcessW ... FreeLibrary, WaitForSingleObject, CreateMutexW, Sleep.
#pragma once

#include "ce/types.h"
#include "ce/errors.h"
