// The device's table of programs (state.db "processes"): one row per host
// process that ran a device program, keyed by host pid and the process's
// start time (so a reused pid is a different row). The exit code is filled
// in by the program as it ends, or by whoever saw it die.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "ce/types.h"

namespace cedev {

class Device;

// Exit code recorded for a program that was killed without choosing one.
constexpr DWORD kKilledExitCode = 0xFFFFFFFFu;

struct ProcessKey {
  int pid = 0;
  uint64_t started = 0;  // host start time of the process, in clock ticks since host boot
};

struct ProcessRow {
  ProcessKey key;
  std::u16string module;  // device path of the executable
  std::u16string cmdline;
  std::optional<DWORD> exit_code;
};

// The start time of a host process (also of one that has ended but not yet
// been reaped), or nothing.
std::optional<uint64_t> StartTime(int pid);
// The start time of a live (not zombie) host process, or nothing.
std::optional<uint64_t> LiveStartTime(int pid);
bool IsAlive(const ProcessKey& key);

// Adds the row unless it is there; journals the start once.
bool RecordStart(Device* dev, const ProcessRow& row);
// Records the exit code unless one is recorded; journals the end once.
// True when this call recorded it.
bool RecordExit(Device* dev, const ProcessKey& key, DWORD exit_code);
std::optional<ProcessRow> FindProcess(Device* dev, const ProcessKey& key);
// Device programs that are still running, newest first.
std::vector<ProcessRow> RunningPrograms(Device* dev);
std::optional<ProcessRow> FindRunning(Device* dev, int pid);

}  // namespace cedev
