// The device's loadable modules. A module is a name, a test of whether this
// device has it, and its exported functions; LoadLibraryW hands out a module
// handle while the device has the module.
#pragma once

#include <string>
#include <vector>

#include "ce/process.h"

namespace cedev {

struct ModuleExport {
  std::u16string name;
  FARPROC proc;
};

// Makes a module loadable by name (e.g. u"eeprom.dll"). `present` is asked
// at each load; null means always present. Registering a name again replaces it.
void RegisterModule(const std::u16string& name, bool (*present)(), std::vector<ModuleExport> exports);
// The device path of a loaded module.
bool ModuleFileName(HMODULE module, std::u16string* path);

template <class F>
FARPROC AsFarProc(F* function) {
  return reinterpret_cast<FARPROC>(function);
}

}  // namespace cedev
