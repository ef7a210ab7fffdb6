// What a test may do to a device besides calling its API: arm faults, read
// and write the records of what the host file system cannot hold, and turn
// wide text into messages. Tests outside platform/ reach the kernel only
// through this header and the other headers of platform/testing/.
#pragma once

#include "eeprom_module.h"  // RegisterEepromModule
#include "faults.h"        // AddFault, ClearFaults, ListFaults
#include "file_service.h"  // GetFileMetaRecord, SetFileMetaRecord, ResolveToHost
#include "journal.h"       // JournalRead
#include "wstr.h"          // ToUtf8, FromUtf8, Fold
