// The service-pack finishing tool: run once from where a service pack left
// it, it clears the uninstall folder, moves itself there, removes the
// service-pack folder and deletes the installation package.
#pragma once

#include "ce/types.h"

// Every step in order; failures are ignored, as nobody is there to read
// them. Always returns 0, the tool's exit code.
int FinishServicePack();

// The install keys below HKEY_LOCAL_MACHINE that may name the package,
// ended by an empty entry; the first one that opens is used.
extern const LPCWSTR kInstallKeys[];
