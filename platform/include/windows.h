// The device API as programs include it.
#pragma once

#include "ce/types.h"
#include "ce/errors.h"
#include "ce/handle.h"
#include "ce/strings.h"
#include "ce/file.h"
#include "ce/registry.h"
#include "ce/database.h"
#include "ce/process.h"
#include "ce/timeapi.h"
#include "ce/device.h"
#include "ce/user.h"
#include "ce/commctrl.h"
