#include "reset.h"

#include "boot.h"
#include "ce/errors.h"
#include "device_programs.h"
#include "factory.h"
#include "journal.h"

namespace cedev {
namespace {

bool Boot(bool after_full_reset, std::string* error) {
  if (BootDevice(after_full_reset)) return true;
  if (error) *error = "boot: a program of the autostart list did not start (error " + std::to_string(GetLastError()) + ")";
  return false;
}

}  // namespace

bool SoftReset(std::string* error) {
  JournalAppend("reset", "soft reset");
  EndAllDevicePrograms();
  return Boot(false, error);
}

bool FullReset(std::string* error) {
  JournalAppend("reset", "full reset");
  // Nothing may hold a store file, key or database while the image goes back.
  EndAllDevicePrograms();
  if (!RestoreFactoryImage(error)) return false;
  return Boot(true, error);
}

}  // namespace cedev
