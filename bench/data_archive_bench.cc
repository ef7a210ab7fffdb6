// The data archive against GNU tar on the same object store, side by side
// in one run: a backup (without the job's one-second start delay) against
// `tar -cf`, a restore onto a freshly reset device against `tar -xf`, for
// mixed content and for many tiny files, plus one folder of many files.
// Each benchmark reports our time, tar's time, their ratio, files per
// second and the process's peak resident memory.
//
// Sizes: TLV_BENCH_MB (mixed content, default 400), TLV_BENCH_FILES (tiny
// files, default 200000), TLV_BENCH_DIR (where devices go, default /tmp).
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <windows.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "data_nodes.h"
#include "device_folder.h"
#include "file_service.h"
#include "job_status.h"
#include "jobs.h"
#include "password.h"
#include "reg_nodes.h"
#include "scratch_device.h"

namespace fs = std::filesystem;

namespace {

size_t EnvSize(const char* name, size_t fallback) {
  const char* v = std::getenv(name);
  return v && *v ? size_t(std::strtoull(v, nullptr, 10)) : fallback;
}

fs::path BenchRoot() {
  const char* v = std::getenv("TLV_BENCH_DIR");
  return fs::path(v && *v ? v : "/tmp") / ("tlv-data-bench-" + std::to_string(::getpid()));
}

double PeakRssMiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return double(usage.ru_maxrss) / 1024.0;
}

// Wall time and CPU time (user plus system) of one run. On a machine shared
// with other work the CPU times compare fairly when wall times do not.
struct Timing {
  double wall = 0;
  double cpu = 0;
};

double CpuSeconds(int who) {
  rusage usage{};
  getrusage(who, &usage);
  auto seconds = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Times `run`; `who` says whose CPU counts: this process or its children.
template <class F>
Timing Measure(int who, F&& run) {
  auto start = std::chrono::steady_clock::now();
  double cpu = CpuSeconds(who);
  run();
  return {std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), CpuSeconds(who) - cpu};
}

BOOL FlashDiskLocation(LPWSTR location) {
  const char16_t name[] = u"FlashDisk";
  for (size_t i = 0; i < sizeof name / 2; ++i) location[i] = name[i];
  return TRUE;
}

// Text, runs of zeros and random bytes, a third of the files each.
void WriteContent(const fs::path& path, size_t size, uint32_t seed) {
  std::mt19937 rng(seed);
  std::string data(size, '\0');
  switch (seed % 3) {
    case 0: {
      static const char* words[] = {"backup ", "restore ", "Windows ", "FlashDisk ", "\r\n", "value "};
      for (size_t i = 0; i < size;) {
        const char* w = words[rng() % 6];
        while (*w && i < size) data[i++] = *w++;
      }
      break;
    }
    case 1:
      for (size_t i = 0; i < size; ++i) data[i] = (i % 4096) < 3500 ? 0 : char(rng());
      break;
    default:
      for (size_t i = 0; i < size; ++i) data[i] = char(rng());
  }
  std::ofstream(path, std::ios::binary).write(data.data(), std::streamsize(size));
}

// A device whose object store is generated straight on the host, so the
// files carry no metadata rows (as files copied in from outside).
class BenchDevice {
 public:
  BenchDevice() : dir_(BenchRoot()) {
    fs::remove_all(dir_);
    cedev::DeviceSettings s;
    s.volumes = {{"FlashDisk", 0}};
    s.store_capacity = 1ull << 40;
    std::string error;
    if (!cedev::Device::Create(dir_, cedev::FastDevice(s), &error) || !cedev::Device::Use(dir_)) std::abort();
    InitRegistryNodes();
    InitDataNodes();
    SetBackupLocationSource(FlashDiskLocation);
  }
  ~BenchDevice() {
    cedev::Device::Use({});
    fs::remove_all(dir_);
  }
  fs::path Store() const { return dir_ / "store"; }
  fs::path Tar() const { return dir_ / "store.tar"; }
  fs::path Scratch() const { return dir_ / "untar"; }

  void MixedTree(size_t totalBytes, int folders, int files) {
    size_t average = totalBytes / size_t(files);
    std::mt19937 rng(7);
    for (int f = 0; f < folders; ++f) {
      fs::path folder = Store() / ("folder" + std::to_string(f));
      fs::create_directories(folder);
      for (int i = 0; i < files / folders; ++i) {
        size_t size = average / 2 + rng() % (average + 1);
        WriteContent(folder / ("file" + std::to_string(i) + ".dat"), size, uint32_t(f * 100000 + i));
      }
    }
  }
  void TinyTree(size_t files, size_t folders) {
    std::mt19937 rng(11);
    for (size_t f = 0; f < folders; ++f) {
      fs::path folder = Store() / ("d" + std::to_string(f));
      fs::create_directories(folder);
      for (size_t i = 0; i < files / folders; ++i) {
        std::ofstream out(folder / ("f" + std::to_string(i)), std::ios::binary);
        std::string data(rng() % 101, char('a' + i % 26));
        out.write(data.data(), std::streamsize(data.size()));
      }
    }
  }
  // The full reset for these trees: an empty object store.
  void EmptyStore() {
    for (auto& entry : fs::directory_iterator(Store())) fs::remove_all(entry.path());
    cedev::DeleteMetaRows(*cedev::Device::Current(), "store");
  }

  static Timing Backup() {
    BYTE block[1028];
    MPwdEncryption(TEXT(""), block);
    ResetJobStatus(JOB_OPERATION_BACKUP);
    return Measure(RUSAGE_SELF, [&] {
      if (!RunDataBackup(block)) std::abort();
    });
  }
  static Timing Restore() {
    ResetJobStatus(JOB_OPERATION_RESTORE);
    return Measure(RUSAGE_SELF, [] {
      if (!RunDataRestore(TEXT(""))) std::abort();
    });
  }
  Timing TarCreate() {
    std::string cmd = "tar -cf '" + Tar().string() + "' -C '" + Store().string() + "' .";
    return Measure(RUSAGE_CHILDREN, [&] {
      if (std::system(cmd.c_str()) != 0) std::abort();
    });
  }
  // Our restore runs right after the store was emptied, and a host file
  // system can make files slower to create just after many were deleted
  // (ext4 passes over recently freed inodes: twice tar's own time here).
  // So tar starts from the same state: its tree is extracted and deleted
  // once, then extracted again against the clock.
  Timing TarExtract() {
    std::string cmd = "tar -xf '" + Tar().string() + "' -C '" + Scratch().string() + "'";
    auto extract = [&] {
      if (std::system(cmd.c_str()) != 0) std::abort();
    };
    auto empty = [&] {
      fs::remove_all(Scratch());
      fs::create_directories(Scratch());
    };
    empty();
    extract();
    empty();
    Timing t = Measure(RUSAGE_CHILDREN, extract);
    fs::remove_all(Scratch());
    return t;
  }

 private:
  fs::path dir_;
};

void Report(benchmark::State& state, Timing ours, Timing tar, size_t files) {
  state.counters["ours_s"] = ours.wall;
  state.counters["tar_s"] = tar.wall;
  state.counters["ratio"] = ours.wall / tar.wall;
  state.counters["ours_cpu_s"] = ours.cpu;
  state.counters["tar_cpu_s"] = tar.cpu;
  state.counters["cpu_ratio"] = ours.cpu / tar.cpu;
  state.counters["files_per_s"] = double(files) / ours.wall;
  state.counters["tar_files_per_s"] = double(files) / tar.wall;
  state.counters["peak_rss_MiB"] = PeakRssMiB();
}

constexpr int kMixedFolders = 100;
constexpr int kMixedFiles = 5000;

void BM_MixedBackupVsTarCreate(benchmark::State& state) {
  BenchDevice device;
  device.MixedTree(EnvSize("TLV_BENCH_MB", 400) << 20, kMixedFolders, kMixedFiles);
  Timing ours, tar;
  for (auto _ : state) {
    ours = BenchDevice::Backup();
    tar = device.TarCreate();
  }
  Report(state, ours, tar, kMixedFiles);
}

// Backs the device's tree up once (ours and tar), then times restoring it
// onto an emptied object store against extracting the tar.
void RestoreVsTarExtract(benchmark::State& state, BenchDevice& device, size_t files) {
  BenchDevice::Backup();
  device.TarCreate();
  Timing ours, tar;
  for (auto _ : state) {
    device.EmptyStore();
    ours = BenchDevice::Restore();
    tar = device.TarExtract();
  }
  Report(state, ours, tar, files);
}

void BM_MixedRestoreVsTarExtract(benchmark::State& state) {
  BenchDevice device;
  device.MixedTree(EnvSize("TLV_BENCH_MB", 400) << 20, kMixedFolders, kMixedFiles);
  RestoreVsTarExtract(state, device, kMixedFiles);
}

// Tiny files: state.range(0) files in range(0) / 200 folders, so the
// count grows at a fixed folder size and the time should grow linearly.
void BM_TinyBackupVsTarCreate(benchmark::State& state) {
  BenchDevice device;
  size_t files = size_t(state.range(0));
  device.TinyTree(files, files / 200);
  Timing ours, tar;
  for (auto _ : state) {
    ours = BenchDevice::Backup();
    tar = device.TarCreate();
  }
  Report(state, ours, tar, files);
}

void BM_TinyRestoreVsTarExtract(benchmark::State& state) {
  BenchDevice device;
  size_t files = size_t(state.range(0));
  device.TinyTree(files, files / 200);
  RestoreVsTarExtract(state, device, files);
}

// One folder of range(0) files: the mirror pass asks once per entry.
void BM_OneFolderRestore(benchmark::State& state) {
  BenchDevice device;
  size_t files = size_t(state.range(0));
  device.TinyTree(files, 1);
  RestoreVsTarExtract(state, device, files);
}

void TinySizes(benchmark::internal::Benchmark* b) {
  size_t full = EnvSize("TLV_BENCH_FILES", 200000);
  for (size_t n : {full / 4, full / 2, full}) b->Arg(int64_t(n));
}

void OneFolderSizes(benchmark::internal::Benchmark* b) {
  size_t full = EnvSize("TLV_BENCH_FILES", 200000) / 4;
  for (size_t n : {full / 4, full / 2, full}) b->Arg(int64_t(n));
}

BENCHMARK(BM_MixedBackupVsTarCreate)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
BENCHMARK(BM_MixedRestoreVsTarExtract)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
BENCHMARK(BM_TinyBackupVsTarCreate)->Apply(TinySizes)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
BENCHMARK(BM_TinyRestoreVsTarExtract)->Apply(TinySizes)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
BENCHMARK(BM_OneFolderRestore)->Apply(OneFolderSizes)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
