// Starting device programs: read the device executable, find the host
// binary it names, start it with the device in its environment, and reap it
// when it ends so its exit code reaches the process table.
#include "device_programs.h"

#include <cstdlib>
#include <filesystem>
#include <thread>
#include <vector>

#include "ce/file.h"
#include "ce/handle.h"
#include "ce/process.h"
#include "device_folder.h"
#include "host_files.h"
#include "host_process.h"
#include "last_error.h"
#include "process_object.h"
#include "program.h"
#include "wstr.h"

namespace cedev {
namespace fs = std::filesystem;
namespace {

constexpr std::string_view kExecutableMagic = "#!cedev-program ";
constexpr size_t kExecutableReadLimit = 4096;
constexpr auto kEndAllPatience = std::chrono::seconds(5);

// Reads the start of a device executable through the device's own file
// API, so the same path rules, sharing and faults apply as for any program.
bool ReadExecutable(std::u16string_view devpath, std::string* name) {
  std::u16string path(devpath);
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  std::string content(kExecutableReadLimit, '\0');
  DWORD got = 0;
  BOOL ok = ReadFile(file, content.data(), static_cast<DWORD>(content.size()), &got, nullptr);
  DWORD error = GetLastError();
  CloseHandle(file);
  if (!ok) return Fail(error, false);
  content.resize(got);
  *name = ProgramNameOf(content);
  if (name->empty()) return Fail(ERROR_BAD_EXE_FORMAT, false);
  return true;
}

// $CEDEV_BIN_DIR, else beside the running executable, else $TLV_BIN_DIR.
bool FindHostBinary(const std::string& name, fs::path* out) {
  std::vector<fs::path> dirs;
  if (const char* bin = std::getenv("CEDEV_BIN_DIR"); bin && *bin) dirs.emplace_back(bin);
  if (fs::path self = host::OwnProgramFolder(); !self.empty()) dirs.push_back(self);
  if (const char* bin = std::getenv("TLV_BIN_DIR"); bin && *bin) dirs.emplace_back(bin);
  for (const auto& dir : dirs) {
    fs::path candidate = dir / name;
    if (host::IsExecutable(candidate.string())) {
      *out = candidate;
      return true;
    }
  }
  return false;
}

std::vector<std::string> ChildEnvironment(Device* dev, std::u16string_view devpath, std::u16string_view cmdline) {
  std::vector<std::string> env;
  for (std::string& entry : host::Environment()) {
    if (entry.starts_with("CEDEV_DEVICE=") || entry.starts_with("CEDEV_MODULE=") || entry.starts_with("CEDEV_CMDLINE=")) continue;
    env.push_back(std::move(entry));
  }
  env.push_back("CEDEV_DEVICE=" + dev->Dir().string());
  env.push_back("CEDEV_MODULE=" + ToUtf8(devpath));
  env.push_back("CEDEV_CMDLINE=" + ToUtf8(cmdline));
  return env;
}

bool Spawn(const fs::path& binary, const std::vector<std::string>& env, int* pid, bool detached) {
  if (int rc = host::Spawn(binary.string(), env, pid, detached)) return Fail(Win32FromErrno(rc), false);
  return true;
}

// Waits for a child in the background and records its exit code unless the
// program recorded one itself (it does at a normal end).
void StartReaper(Device* dev, ProcessKey key, std::shared_ptr<ChildWatch> watch) {
  std::thread([dev, key, watch] {
    std::optional<int> exit_code = host::WaitForChild(key.pid);
    DWORD code = exit_code ? static_cast<DWORD>(*exit_code) : kKilledExitCode;
    RecordExit(dev, key, code);
    ForgetChild(key.pid);
    watch->MarkExited();
  }).detach();
}

}  // namespace

std::string ProgramNameOf(std::string_view content) {
  if (!content.starts_with(kExecutableMagic)) return {};
  std::string_view rest = content.substr(kExecutableMagic.size());
  std::string_view name = rest.substr(0, rest.find_first_of("\r\n"));
  while (!name.empty() && (name.back() == ' ' || name.back() == '\t')) name.remove_suffix(1);
  if (name.empty() || name.find_first_of(std::string_view("/\\ \t\0", 5)) != std::string_view::npos || name == "." || name == "..") return {};
  if (rest.size() == name.size() && content.size() >= kExecutableReadLimit) return {};  // no end of line in sight
  return std::string(name);
}

HANDLE StartDeviceProgram(std::u16string_view devpath, std::u16string_view cmdline, DWORD* pid_out, bool detached) {
  Device* dev = Device::Current();
  if (!dev) return nullptr;
  std::string name;
  if (!ReadExecutable(devpath, &name)) return nullptr;
  fs::path binary;
  if (!FindHostBinary(name, &binary)) return Fail(ERROR_FILE_NOT_FOUND, static_cast<HANDLE>(nullptr));
  int pid = 0;
  if (!Spawn(binary, ChildEnvironment(dev, devpath, cmdline), &pid, detached)) return nullptr;
  ProcessRow row;
  // Read before the reaper runs, so it is there even if the program has already ended.
  row.key = {pid, StartTime(pid).value_or(0)};
  row.module = std::u16string(devpath);
  row.cmdline = std::u16string(cmdline);
  RecordStart(dev, row);  // the program records it too; whoever is first journals it
  auto watch = std::make_shared<ChildWatch>();
  RememberChild(pid, watch);
  StartReaper(dev, row.key, watch);
  host::Fd process_watch;
  host::WatchProcess(pid, &process_watch);
  if (pid_out) *pid_out = static_cast<DWORD>(pid);
  return AllocHandle(std::make_shared<ProcessObject>(dev, row.key, std::move(process_watch), watch));
}

int EndAllDevicePrograms() {
  Device* dev = Device::Current();
  if (!dev) return 0;
  int ended = 0;
  ProcessKey self = SelfKey();
  for (const auto& row : RunningPrograms(dev)) {
    if (row.key.pid == self.pid) continue;
    host::Fd process_watch;
    if (host::WatchProcess(row.key.pid, &process_watch) != 0 || !IsAlive(row.key)) continue;
    RecordExit(dev, row.key, kKilledExitCode);
    host::KillWatched(process_watch);
    auto deadline = std::chrono::steady_clock::now() + kEndAllPatience;
    while (IsAlive(row.key) && std::chrono::steady_clock::now() < deadline) host::WaitWatched(process_watch, 100);
    ++ended;
  }
  return ended;
}

}  // namespace cedev

using cedev::Fail;

BOOL CreateProcessW(LPCWSTR pszImageName, LPCWSTR pszCmdLine, LPSECURITY_ATTRIBUTES psaProcess,
                    LPSECURITY_ATTRIBUTES psaThread, BOOL fInheritHandles, DWORD fdwCreate, LPVOID pvEnvironment,
                    LPWSTR pszCurDir, LPSTARTUPINFOW psiStartInfo, LPPROCESS_INFORMATION pProcInfo) {
  if (!pszImageName || !*pszImageName || psaProcess || psaThread || fInheritHandles || pvEnvironment || pszCurDir ||
      psiStartInfo || (fdwCreate & CREATE_SUSPENDED)) {
    return Fail(ERROR_INVALID_PARAMETER, FALSE);
  }
  std::u16string image(cedev::WView(pszImageName));
  // A bare name is a program of the Windows folder, as on the device.
  if (image.find_first_of(u"\\/") == std::u16string::npos) image = u"\\Windows\\" + image;
  if (image.size() >= MAX_PATH) return Fail(ERROR_FILENAME_EXCED_RANGE, FALSE);
  DWORD pid = 0;
  HANDLE process = cedev::StartDeviceProgram(image, cedev::WView(pszCmdLine), &pid);
  if (!process) return FALSE;
  if (pProcInfo) {
    pProcInfo->hProcess = process;
    // The primary thread shares the process's handle object: waiting for it
    // waits for the program, and the main thread's host id is the pid.
    pProcInfo->hThread = cedev::AllocHandle(cedev::LookupHandle(process));
    pProcInfo->dwProcessId = pid;
    pProcInfo->dwThreadId = pid;
  } else {
    CloseHandle(process);
  }
  return TRUE;
}
