// The window system's speed targets: messages through one thread's queue,
// a WM_GETTEXT round trip to another program, FindWindowW among the windows
// of twenty programs, and how soon a polling watcher sees a new message box.
#include <benchmark/benchmark.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "scratch_device.h"

namespace {

using Clock = std::chrono::steady_clock;

LRESULT CALLBACK Count(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  static int64_t handled = 0;
  if (msg == WM_USER) return ++handled;
  return DefWindowProcW(hwnd, msg, wparam, lparam);
}

HWND CountingWindow() {
  WNDCLASSW wc{};
  wc.lpfnWndProc = Count;
  wc.lpszClassName = u"BenchCount";
  RegisterClassW(&wc);
  return CreateWindowExW(0, u"BenchCount", u"bench", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
}

// Post, get and dispatch, one message at a time or in batches.
void BM_PostGetDispatch(benchmark::State& state) {
  cedev::ScratchDevice scratch;
  HWND window = CountingWindow();
  const int64_t batch = state.range(0);
  MSG msg;
  for (auto _ : state) {
    for (int64_t i = 0; i < batch; ++i) PostMessageW(window, WM_USER, 0, 0);
    for (int64_t i = 0; i < batch; ++i) {
      GetMessageW(&msg, nullptr, 0, 0);
      DispatchMessageW(&msg);
    }
  }
  state.SetItemsProcessed(state.iterations() * batch);
  DestroyWindow(window);
}
BENCHMARK(BM_PostGetDispatch)->Arg(1)->Arg(1000)->UseRealTime();

// Programs of the device for the benchmarks that need others.
class Probes {
 public:
  explicit Probes(cedev::ScratchDevice& device) {
    std::filesystem::create_directories(device.dir() / "store" / "Windows");
    std::ofstream(device.dir() / "store" / "Windows" / "probe.exe") << "#!cedev-program window_probe\n";
  }
  ~Probes() {
    for (HANDLE p : started_) {
      TerminateProcess(p, 0);
      WaitForSingleObject(p, 10000);
      CloseHandle(p);
    }
  }
  bool Start(const std::u16string& command_line) {
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(u"\\Windows\\probe.exe", command_line.c_str(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        nullptr, &pi)) {
      return false;
    }
    CloseHandle(pi.hThread);
    started_.push_back(pi.hProcess);
    return true;
  }

 private:
  std::vector<HANDLE> started_;
};

HWND Await(LPCWSTR class_name, LPCWSTR title) {
  for (auto until = Clock::now() + std::chrono::seconds(30); Clock::now() < until;) {
    if (HWND w = FindWindowW(class_name, title)) return w;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return nullptr;
}

double Percentile(std::vector<double> values, double p) {
  std::sort(values.begin(), values.end());
  return values[static_cast<size_t>(p * static_cast<double>(values.size() - 1))];
}

// WM_GETTEXT of a short title from another program: 10,000 calls.
void BM_CrossProgramGetText(benchmark::State& state) {
  cedev::ScratchDevice scratch;
  Probes probes(scratch);
  if (!probes.Start(u"echo")) return state.SkipWithError("cannot start the probe");
  HWND echo = Await(u"Probe", u"Echo");
  if (!echo) return state.SkipWithError("the probe shows no window");
  std::vector<double> us;
  for (auto _ : state) {
    us.clear();
    for (int i = 0; i < 10000; ++i) {
      WCHAR text[16];
      auto start = Clock::now();
      LRESULT got = SendMessageW(echo, WM_GETTEXT, 16, reinterpret_cast<LPARAM>(text));
      us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
      if (got != 4) return state.SkipWithError("WM_GETTEXT failed");
    }
  }
  state.counters["median_us"] = Percentile(us, 0.5);
  state.counters["p99_us"] = Percentile(us, 0.99);
}
BENCHMARK(BM_CrossProgramGetText)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// FindWindowW by class and title with 20 programs of 10 windows each.
void BM_FindWindowAmongTwentyPrograms(benchmark::State& state) {
  cedev::ScratchDevice scratch;
  Probes probes(scratch);
  for (int i = 0; i < 20; ++i) {
    if (!probes.Start(u"windows 10")) return state.SkipWithError("cannot start the probes");
  }
  // All 200 windows are there once every program has its tenth.
  for (auto until = Clock::now() + std::chrono::seconds(60);;) {
    int tenths = 0;
    EnumWindows([](HWND w, LPARAM count) {
      WCHAR title[16];
      if (GetWindowTextW(w, title, 16) && std::u16string(title) == u"Probe 10") ++*reinterpret_cast<int*>(count);
      return TRUE;
    }, reinterpret_cast<LPARAM>(&tenths));
    if (tenths == 20) break;
    if (Clock::now() > until) return state.SkipWithError("the probes show too few windows");
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  for (auto _ : state) {
    benchmark::DoNotOptimize(FindWindowW(u"Probe", u"Probe 5"));
    benchmark::DoNotOptimize(FindWindowW(u"Dialog", u"Tolvane Utility"));  // a miss looks at all of them
  }
  state.SetItemsProcessed(state.iterations() * 2);
}
BENCHMARK(BM_FindWindowAmongTwentyPrograms)->Unit(benchmark::kMicrosecond)->UseRealTime();

// A watcher polls every 100 ms, as the auto-restore tool's does; a message
// box opens at random moments. How many of 100 boxes it sees within 150 ms.
void BM_WatcherSeesNewBox(benchmark::State& state) {
  cedev::ScratchDevice scratch;
  std::atomic<int64_t> opened_ns{0};
  std::atomic<bool> stop{false};
  std::vector<double> ms;
  std::thread watcher([&] {
    while (!stop) {
      Sleep(100);
      if (HWND box = FindWindowW(u"Dialog", u"Tolvane Utility")) {
        auto seen = Clock::now().time_since_epoch().count();
        ms.push_back(static_cast<double>(seen - opened_ns.load()) / 1e6);
        SendMessageW(box, WM_COMMAND, IDOK, 0);
        while (IsWindow(box)) Sleep(1);
      }
    }
  });
  std::mt19937 random(12);
  for (auto _ : state) {
    for (int run = 0; run < 100; ++run) {
      std::this_thread::sleep_for(std::chrono::milliseconds(random() % 100));
      opened_ns = Clock::now().time_since_epoch().count();
      MessageBoxW(nullptr, u"done", u"Tolvane Utility", MB_OK | MB_ICONINFORMATION | MB_TOPMOST);
    }
  }
  stop = true;
  watcher.join();
  state.counters["runs"] = static_cast<double>(ms.size());
  state.counters["within_150ms"] = static_cast<double>(std::count_if(ms.begin(), ms.end(), [](double m) { return m <= 150; }));
  state.counters["worst_ms"] = ms.empty() ? 0 : *std::max_element(ms.begin(), ms.end());
}
BENCHMARK(BM_WatcherSeesNewBox)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
