// Registry archive jobs on a large registry: 100,000 values in 10,000 keys
// backed up to a device file and restored (once onto the unchanged
// registry, once after it was wiped), at two sizes to show the time grows
// linearly; and one key with 50,000 values restored onto a key holding
// other names, which exercises the pruning's membership tests.
#include <benchmark/benchmark.h>
#include <windows.h>

#include <string>

#include "archive_format.h"
#include "job_status.h"
#include "jobs.h"
#include "password.h"
#include "reg_nodes.h"
#include "scratch_device.h"

namespace {

BOOL StorageCard(LPWSTR location) {
  const char16_t name[] = u"Storage Card";
  for (size_t i = 0; i < sizeof name / 2; ++i) location[i] = name[i];
  return TRUE;
}

std::u16string Number(int i) {
  std::u16string s;
  do s.insert(s.begin(), char16_t(u'0' + i % 10)); while (i /= 10);
  return s;
}

void Populate(int keys, int valuesPerKey) {
  HKEY bench = nullptr;
  DWORD disposition = 0;
  RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"Software\\Bench", 0, nullptr, 0, 0, nullptr, &bench, &disposition);
  for (int k = 0; k < keys; ++k) {
    HKEY key = nullptr;
    std::u16string name = u"Key" + Number(k);
    RegCreateKeyExW(bench, name.c_str(), 0, nullptr, 0, 0, nullptr, &key, &disposition);
    for (int v = 0; v < valuesPerKey; ++v) {
      std::u16string value = u"Value" + Number(v);
      std::u16string data = u"data of " + name + u"\\" + value;
      RegSetValueExW(key, value.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                     DWORD((data.size() + 1) * 2));
    }
    RegCloseKey(key);
  }
  RegCloseKey(bench);
}

DWORD Backup() {
  BYTE block[archive::kPasswordBlockBytes];
  MPwdEncryption(u"", block);
  ResetJobStatus(JOB_OPERATION_BACKUP);
  return RunRegistryBackup(block);
}

DWORD Restore() {
  ResetJobStatus(JOB_OPERATION_RESTORE);
  return RunRegistryRestore(u"");
}

void Check(DWORD ok, benchmark::State& state) {
  if (!ok) state.SkipWithError("job failed");
}

// range(0): keys, 10 values each.
void BM_RegistryBackup(benchmark::State& state) {
  cedev::ScratchDevice device(cedev::FastDevice());
  InitRegistryNodes();
  SetBackupLocationSource(StorageCard);
  Populate(int(state.range(0)), 10);
  for (auto _ : state) Check(Backup(), state);
  state.counters["values"] = double(state.range(0) * 10);
}
BENCHMARK(BM_RegistryBackup)->Arg(1000)->Arg(10000)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_RegistryRestoreUnchanged(benchmark::State& state) {
  cedev::ScratchDevice device(cedev::FastDevice());
  InitRegistryNodes();
  SetBackupLocationSource(StorageCard);
  Populate(int(state.range(0)), 10);
  Check(Backup(), state);
  for (auto _ : state) Check(Restore(), state);
  state.counters["values"] = double(state.range(0) * 10);
}
BENCHMARK(BM_RegistryRestoreUnchanged)->Arg(1000)->Arg(10000)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_RegistryRestoreAfterWipe(benchmark::State& state) {
  cedev::ScratchDevice device(cedev::FastDevice());
  InitRegistryNodes();
  SetBackupLocationSource(StorageCard);
  Populate(int(state.range(0)), 10);
  Check(Backup(), state);
  for (auto _ : state) {
    state.PauseTiming();
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, u"Software\\Bench");
    state.ResumeTiming();
    Check(Restore(), state);
  }
  state.counters["values"] = double(state.range(0) * 10);
}
BENCHMARK(BM_RegistryRestoreAfterWipe)->Arg(1000)->Arg(10000)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// One key with 50,000 values; the device key holds 50,000 other names too,
// so the pruning asks the restored-names list 100,000 times.
void BM_RestoreKeyWithManyValues(benchmark::State& state) {
  cedev::ScratchDevice device(cedev::FastDevice());
  InitRegistryNodes();
  SetBackupLocationSource(StorageCard);
  Populate(1, int(state.range(0)));
  Check(Backup(), state);
  HKEY key = nullptr;
  DWORD disposition = 0;
  RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"Software\\Bench\\Key0", 0, nullptr, 0, 0, nullptr, &key, &disposition);
  for (int v = 0; v < state.range(0); ++v) {
    std::u16string name = u"Other" + Number(v);
    DWORD one = 1;
    RegSetValueExW(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), 4);
  }
  RegCloseKey(key);
  for (auto _ : state) Check(Restore(), state);
}
BENCHMARK(BM_RestoreKeyWithManyValues)->Arg(50000)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
