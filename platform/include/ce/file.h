// Files and folders: CreateFileW ... GetDiskFreeSpaceExW, WIN32_FIND_DATAW (device layout with dwOID), attributes.
#pragma once

#include "ce/types.h"
#include "ce/errors.h"
