// Device services: power status, KernelIoControl, notifications, shell folders, sounds, keys, debug output, touch calibration.
#pragma once

#include "ce/types.h"
#include "ce/errors.h"
