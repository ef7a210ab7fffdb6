// The main window's once-a-second refresh with nothing changing: what one
// tick costs (target: at most 200 us of CPU), and that it writes no line and
// rebuilds no location box (counted, reported as counters).
#include <benchmark/benchmark.h>
#include <windows.h>

#include "program_setup.h"
#include "scratch_device.h"
#include "status_panel_testing.h"

namespace {

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
