// Host processes and threads as the process service sees them: ids, start
// times, starting and reaping programs, watching another program end, and
// the few process-wide calls (environment, exit, yielding) the kernel makes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "host_fd.h"

namespace cedev::host {

int ProcessId();
uint32_t ThreadId();
// Whether thread `tid` of this process still runs.
bool ThreadExists(uint32_t tid);

struct ProcessState {
  bool live = false;      // running (not ended and waiting to be reaped)
  uint64_t started = 0;   // start time, in clock ticks since the host booted
};
// Nothing when there is no such process.
std::optional<ProcessState> StateOf(int pid);

// Starts `binary` (with no arguments but its name) in the environment `env`.
// A detached program has a session of its own and no terminal: its standard
// input and output are the null device, so it holds no pipe or terminal of
// the program that started it.
int Spawn(const std::string& binary, const std::vector<std::string>& env, int* pid, bool detached = false);
// Waits for a child this process started; its exit code, or nothing when it
// was killed.
std::optional<int> WaitForChild(int pid);

// A watch on any process: it can be killed through the watch, and waiting
// on the watch ends when the process does.
int WatchProcess(int pid, Fd* watch);
int KillWatched(const Fd& watch);
// Waits up to `timeout_ms` for the watched process to end.
void WaitWatched(const Fd& watch, int timeout_ms);

// Starts `run(argument)` on a new detached thread with at least
// `stack_bytes` of stack (0: the host's default).
int StartThread(void* (*run)(void*), void* argument, size_t stack_bytes);
[[noreturn]] void ExitThisThread();
[[noreturn]] void ExitNow(int code);
// Ends this process on the spot, as a kill -9 or a power cut would: no exit
// code, no cleanup.
[[noreturn]] void EndAsKilled();
void YieldProcessor();
[[noreturn]] void SleepForever();

// The environment of this process, as NAME=VALUE entries.
std::vector<std::string> Environment();
// Reads an environment variable and removes it, so programs this one starts
// do not inherit it.
std::optional<std::string> TakeEnvironmentVariable(const char* name);
// The folder of this process's own executable; empty when unknown.
std::filesystem::path OwnProgramFolder();
// Whether a person can be asked: standard input and output are terminals.
bool InteractiveTerminal();

}  // namespace cedev::host
