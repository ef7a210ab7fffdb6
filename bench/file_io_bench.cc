// File service throughput: sequential ReadFile/WriteFile of a 256 MiB file
// in 1 KiB and 10 KiB calls beside plain read/write with the same call
// sizes, and enumerating large folders with attributes and times.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

#include "ce/file.h"
#include "ce/handle.h"
#include "scratch_device.h"
#include "file_service.h"
#include "sql.h"

namespace {

constexpr int64_t kFileBytes = 256ll << 20;

// One device for the whole run; the volume has a quota so its check is on
// the measured path.
std::unique_ptr<cedev::ScratchDevice> g_device;

cedev::ScratchDevice& Device() {
  if (!g_device) {
    cedev::DeviceSettings s = cedev::ScratchDevice::DefaultSettings();
    s.volumes = {{"FlashDisk", 4ull << 30}, {"Storage Card", 0}};
    g_device = std::make_unique<cedev::ScratchDevice>(s);
  }
  return *g_device;
}

std::string HostPath(const char* name) { return (Device().dir() / "volumes/FlashDisk" / name).string(); }

void WriteFileCalls(benchmark::State& state) {
  Device();
  std::vector<char> chunk(static_cast<size_t>(state.range(0)), 'w');
  for (auto _ : state) {
    HANDLE h = CreateFileW(u"\\FlashDisk\\seq.bin", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    for (int64_t done = 0; done < kFileBytes; done += state.range(0)) {
      DWORD n;
      if (!WriteFile(h, chunk.data(), static_cast<DWORD>(chunk.size()), &n, nullptr)) state.SkipWithError("write");
    }
    CloseHandle(h);
  }
  state.SetBytesProcessed(state.iterations() * kFileBytes);
}

void PlainWriteCalls(benchmark::State& state) {
  std::vector<char> chunk(static_cast<size_t>(state.range(0)), 'w');
  std::string path = HostPath("plain.bin");
  for (auto _ : state) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    for (int64_t done = 0; done < kFileBytes; done += state.range(0)) {
      if (::write(fd, chunk.data(), chunk.size()) != static_cast<ssize_t>(chunk.size())) state.SkipWithError("write");
    }
    ::close(fd);
  }
  state.SetBytesProcessed(state.iterations() * kFileBytes);
}

void EnsureFile(const std::string& path) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
  if (::lseek(fd, 0, SEEK_END) < kFileBytes) {
    std::vector<char> chunk(1 << 20, 'r');
    ::ftruncate(fd, 0);
    for (int64_t done = 0; done < kFileBytes; done += static_cast<int64_t>(chunk.size())) {
      if (::write(fd, chunk.data(), chunk.size()) < 0) break;
    }
  }
  ::close(fd);
}

void ReadFileCalls(benchmark::State& state) {
  EnsureFile(HostPath("read.bin"));
  std::vector<char> chunk(static_cast<size_t>(state.range(0)));
  for (auto _ : state) {
    HANDLE h = CreateFileW(u"\\FlashDisk\\read.bin", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    DWORD n = 0;
    int64_t total = 0;
    while (ReadFile(h, chunk.data(), static_cast<DWORD>(chunk.size()), &n, nullptr) && n) total += n;
    CloseHandle(h);
    if (total != kFileBytes) state.SkipWithError("short read");
  }
  state.SetBytesProcessed(state.iterations() * kFileBytes);
}

void PlainReadCalls(benchmark::State& state) {
  std::string path = HostPath("read.bin");
  EnsureFile(path);
  std::vector<char> chunk(static_cast<size_t>(state.range(0)));
  for (auto _ : state) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    int64_t total = 0;
    ssize_t n;
    while ((n = ::read(fd, chunk.data(), chunk.size())) > 0) total += n;
    ::close(fd);
    if (total != kFileBytes) state.SkipWithError("short read");
  }
  state.SetBytesProcessed(state.iterations() * kFileBytes);
}

// A folder of `count` files with metadata rows, a third of them hidden.
// The files are made on the host and described in one transaction: the
// benchmark is about listing, not creating.
std::u16string FolderOf(int64_t count) {
  cedev::Device& device = Device().device();
  std::string digits = std::to_string(count);
  std::u16string folder = u"\\Storage Card\\f" + std::u16string(digits.begin(), digits.end());
  if (GetFileAttributesW(folder.c_str()) != INVALID_FILE_ATTRIBUTES) return folder;
  CreateDirectoryW(folder.c_str(), nullptr);
  std::string key = "volumes/Storage Card/f" + digits;
  cedev::SqlTxn txn(device.Db());
  for (int64_t i = 0; i < count; ++i) {
    std::string name = key + "/file" + std::to_string(i * 7919 % count) + ".dat";
    int fd = ::open((device.Dir() / name).c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (i % 2) ::write(fd, "data", 4);
    ::close(fd);
    cedev::FileMetaRecord record{FILE_ATTRIBUTE_ARCHIVE | (i % 3 ? 0 : FILE_ATTRIBUTE_HIDDEN), {1, 2}, {3, 4}};
    cedev::SetMetaRecordByKey(device, name, record);
  }
  txn.Commit();
  return folder;
}

// Opening an existing file by a path of exact case, and by one of other case.
void OpenClose(benchmark::State& state) {
  Device();
  CreateDirectoryW(u"\\Storage Card\\Open", nullptr);
  HANDLE h = CreateFileW(u"\\Storage Card\\Open\\File.txt", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  CloseHandle(h);
  const char16_t* path = state.range(0) ? u"\\STORAGE CARD\\open\\file.TXT" : u"\\Storage Card\\Open\\File.txt";
  for (auto _ : state) {
    h = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) state.SkipWithError("open");
    CloseHandle(h);
  }
}

void EnumerateFolder(benchmark::State& state) {
  std::u16string pattern = FolderOf(state.range(0)) + u"\\*";
  for (auto _ : state) {
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW(pattern.c_str(), &fd);
    int64_t seen = 0;
    if (h != INVALID_HANDLE_VALUE) {
      do {
        ++seen;
        benchmark::DoNotOptimize(fd.ftLastWriteTime);
      } while (FindNextFileW(h, &fd));
      FindClose(h);
    }
    if (seen != state.range(0)) {
      state.SkipWithError(("wrong count " + std::to_string(seen) + " error " + std::to_string(GetLastError())).c_str());
      break;
    }
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

}  // namespace

BENCHMARK(WriteFileCalls)->Arg(1024)->Arg(10240)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(PlainWriteCalls)->Arg(1024)->Arg(10240)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(ReadFileCalls)->Arg(1024)->Arg(10240)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(PlainReadCalls)->Arg(1024)->Arg(10240)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(OpenClose)->Arg(0)->Arg(1);
BENCHMARK(EnumerateFolder)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();
// The same listing with the CPU time of every thread: large folders are
// looked up by helper threads, whose time the line above leaves out.
BENCHMARK(EnumerateFolder)
    ->Name("EnumerateFolderAllThreads")
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MeasureProcessCPUTime();

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  g_device.reset();  // the scratch device holds several hundred MiB
  return 0;
}
