// Registry throughput: value writes, and walking a key's values by index the
// way a backup does (name, then a size query and a read of each value).
#include <benchmark/benchmark.h>

#include <string>

#include "ce/registry.h"
#include "scratch_device.h"

namespace {

HKEY MakeKey(const WCHAR* path) {
  HKEY key = nullptr;
  RegCreateKeyExW(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, 0, nullptr, &key, nullptr);
  return key;
}

std::u16string ValueName(int64_t i) {
  std::string ascii = "Value" + std::to_string(i);
  return std::u16string(ascii.begin(), ascii.end());
}

void BM_RegSetValue(benchmark::State& state) {
  cedev::ScratchDevice scratch;
  HKEY key = MakeKey(u"Bench\\Set");
  int64_t i = 0;
  for (auto _ : state) {
    DWORD data = static_cast<DWORD>(i);
    std::u16string name = ValueName(i++ % 1000);
    if (RegSetValueExW(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<BYTE*>(&data), 4) != ERROR_SUCCESS) {
      state.SkipWithError("RegSetValueExW failed");
      break;
    }
  }
  state.SetItemsProcessed(state.iterations());
  RegCloseKey(key);
}
BENCHMARK(BM_RegSetValue)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_RegEnumValues(benchmark::State& state) {
  cedev::ScratchDevice scratch;
  const int count = static_cast<int>(state.range(0));
  HKEY key = MakeKey(u"Bench\\Enum");
  for (int i = 0; i < count; ++i) {
    std::u16string name = ValueName(i);
    RegSetValueExW(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(u"some text"), 20);
  }
  int64_t values = 0;
  for (auto _ : state) {
    for (DWORD i = 0;; ++i) {
      WCHAR name[260];
      DWORD length = 260, size = 0, type = 0;
      BYTE data[64];
      if (RegEnumValueW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
      RegQueryValueExW(key, name, nullptr, &type, nullptr, &size);
      RegQueryValueExW(key, name, nullptr, &type, data, &size);
      ++values;
    }
  }
  state.SetItemsProcessed(values);
  RegCloseKey(key);
}
BENCHMARK(BM_RegEnumValues)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();

// Enumeration alone (names only), as the pruning pass of a restore does it.
void BM_RegEnumValueNames(benchmark::State& state) {
  cedev::ScratchDevice scratch;
  const int count = static_cast<int>(state.range(0));
  HKEY key = MakeKey(u"Bench\\Names");
  for (int i = 0; i < count; ++i) {
    std::u16string name = ValueName(i);
    DWORD data = i;
    RegSetValueExW(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<BYTE*>(&data), 4);
  }
  int64_t values = 0;
  for (auto _ : state) {
    for (DWORD i = 0;; ++i) {
      WCHAR name[260];
      DWORD length = 260;
      if (RegEnumValueW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
      ++values;
    }
  }
  state.SetItemsProcessed(values);
  RegCloseKey(key);
}
BENCHMARK(BM_RegEnumValueNames)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
