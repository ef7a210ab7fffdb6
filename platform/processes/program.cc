#include "program.h"

#include <cstdio>
#include <mutex>

#include "ce/process.h"
#include "device_folder.h"
#include "host_process.h"
#include "last_error.h"

namespace cedev {
namespace {

struct Identity {
  std::mutex mutex;
  std::u16string module = u"\\Windows\\program.exe";
  std::u16string cmdline;
  std::u16string cmdline_buffer;  // what GetCommandLineW hands out
};

Identity& TheIdentity() {
  static auto* identity = new Identity;
  return *identity;
}

}  // namespace

// The classic image base: far from the handle table's values.
HINSTANCE ProgramInstance() { return reinterpret_cast<HINSTANCE>(uintptr_t{0x00400000}); }

void SetProgramIdentity(std::u16string module, std::u16string cmdline) {
  Identity& id = TheIdentity();
  std::lock_guard lock(id.mutex);
  id.module = std::move(module);
  id.cmdline = std::move(cmdline);
  id.cmdline_buffer = id.cmdline;
}

std::u16string ProgramModule() {
  Identity& id = TheIdentity();
  std::lock_guard lock(id.mutex);
  return id.module;
}

ProcessKey SelfKey() {
  static const ProcessKey key{host::ProcessId(), LiveStartTime(host::ProcessId()).value_or(0)};
  return key;
}

bool RegisterSelf() {
  Device* dev = Device::Current();
  if (!dev) return false;
  Identity& id = TheIdentity();
  ProcessRow row;
  row.key = SelfKey();
  {
    std::lock_guard lock(id.mutex);
    row.module = id.module;
    row.cmdline = id.cmdline;
  }
  return RecordStart(dev, row);
}

void RecordSelfExit(DWORD exit_code) {
  Device* dev = Device::Current();
  if (dev) RecordExit(dev, SelfKey(), exit_code);
}

}  // namespace cedev

LPWSTR GetCommandLineW() {
  cedev::Identity& id = cedev::TheIdentity();
  std::lock_guard lock(id.mutex);
  return id.cmdline_buffer.data();
}
