// The main program's speed targets: from its start to its main window in the
// window table (at most 150 ms), an unattended registry-only backup of the
// sample device from its start to its result box (at most 2.5 s, the job's
// own one-second waits included), and one refresh tick of the window with
// nothing changing (at most 200 us of CPU, writing no line and rebuilding no
// location box: counted).
#include <benchmark/benchmark.h>
#include <windows.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "ce/automation.h"
#include "program_setup.h"
#include "scratch_device.h"
#include "status_panel_testing.h"

namespace {

namespace automation = cedev::automation;
namespace fs = std::filesystem;

constexpr LPCWSTR kMainClass = u"WCE_tlvkit";

void InstallProgram(const fs::path& device) {
  fs::create_directories(device / "store" / "Windows");
  std::ofstream(device / "store" / "Windows" / "tolvane.exe") << "#!cedev-program tolvane\n";
}

HANDLE StartProgram(LPCWSTR commandLine) {
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(u"\\Windows\\tolvane.exe", commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr,
                      &pi)) {
    std::abort();
  }
  CloseHandle(pi.hThread);
  return pi.hProcess;
}

void AwaitEnd(HANDLE process) {
  if (WaitForSingleObject(process, 30000) != WAIT_OBJECT_0) std::abort();
  CloseHandle(process);
}

double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_StartToMainWindow(benchmark::State& state) {
  cedev::ScratchDevice scratch;
  InstallProgram(scratch.dir());
  for (auto _ : state) {
    auto start = std::chrono::steady_clock::now();
    HANDLE process = StartProgram(u"");
    HWND main = automation::WaitForWindow(kMainClass, nullptr, 30000);
    state.SetIterationTime(SecondsSince(start));
    if (!main || !automation::Close(main)) std::abort();
    AwaitEnd(process);
  }
}
BENCHMARK(BM_StartToMainWindow)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

// The sample device, made by the cedev beside this program.
fs::path SampleDevice() {
  auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
  fs::path dir = fs::temp_directory_path() / ("tolvane-bench-" + std::to_string(stamp));
  fs::remove_all(dir);
  fs::path cedev = fs::read_symlink("/proc/self/exe").parent_path() / "cedev";
  std::string command = "'" + cedev.string() + "' init '" + dir.string() + "' >/dev/null";
  if (std::system(command.c_str()) != 0) std::abort();
  return dir;
}

void BM_UnattendedRegistryBackupToResultBox(benchmark::State& state) {
  fs::path device = SampleDevice();
  if (!cedev::Device::Use(device)) std::abort();
  for (auto _ : state) {
    auto start = std::chrono::steady_clock::now();
    HANDLE process = StartProgram(u"/s/FlashDisk/bench");
    HWND box = automation::WaitForWindow(u"Dialog", u"Tolvane Utility", 60000);
    state.SetIterationTime(SecondsSince(start));
    if (!box) std::abort();
    while (!GetDlgItem(box, IDOK)) Sleep(1);
    if (!automation::PressItem(box, IDOK)) std::abort();
    AwaitEnd(process);
  }
  cedev::Device::Use({});
  fs::remove_all(device);
}
BENCHMARK(BM_UnattendedRegistryBackupToResultBox)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_RefreshTickWithNothingChanging(benchmark::State& state) {
  cedev::ScratchDevice scratch;
  SetUpProgram(reinterpret_cast<HINSTANCE>(0x7A00));
  CreateDirectoryW(u"\\FlashDisk\\Backup", nullptr);
  HANDLE archive = CreateFileW(u"\\FlashDisk\\Backup\\Backup.dat", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0,
                               nullptr);
  CloseHandle(archive);
  StatusPanel panel;
  RefreshStatus(panel.window(), TRUE);
  panel.Forget();
  for (auto _ : state) RefreshStatus(panel.window(), FALSE);
  int writes = 0;
  for (UINT line : {IDC_LAST_BACKUP_LINE, IDC_FREE_SPACE_LINE, IDC_USED_MEMORY_LINE}) {
    writes += panel.Take(line, WM_SETTEXT);
  }
  state.counters["settext"] = writes;
  state.counters["resetcontent"] = panel.Take(IDC_LOCATION_BOX, CB_RESETCONTENT);
}
BENCHMARK(BM_RefreshTickWithNothingChanging);

}  // namespace

BENCHMARK_MAIN();
