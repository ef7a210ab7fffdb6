// Halmix.dll: the soft reset.
#include "ce/halmix.h"


#include <cstdio>
#include <string>

#include "boot.h"
#include "device_programs.h"
#include "handles.h"
#include "host_process.h"
#include "journal.h"
#include "program.h"
#include "wstr.h"

void SysSoftReset() {
  cedev::JournalAppend("reset", "soft reset by " + cedev::ToUtf8(cedev::ProgramModule()));
  cedev::EndAllDevicePrograms();
  // The caller goes too, but its named mutexes and files must be free
  // before the autostart programs look for them.
  cedev::RecordSelfExit(cedev::kKilledExitCode);
  cedev::ReleaseAllHandles();
  cedev::BootDevice(false);
  std::fflush(nullptr);
  cedev::host::ExitNow(0);
}
