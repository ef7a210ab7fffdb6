// Names of the job status codes, for tools and logs.
#pragma once

#include "ce/types.h"

// "STATUS_WRITE_FAILED" and so on; "STATUS_UNKNOWN" for anything else.
const char* JobStatusName(DWORD status);
