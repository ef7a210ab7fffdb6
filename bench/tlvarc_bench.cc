// tlvarc on big archives: verify and list speed (archive bytes read per
// second), extract against tar -xf of the same files, and peak memory of a
// verify of a 40 MB and a 4 GB archive (it must not grow with the archive).
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>

#include "archive_format.h"
#include "commands.h"
#include "host_stream.h"
#include "node_writer.h"

namespace fs = std::filesystem;
using namespace tlvarc;

namespace {

fs::path WorkDir() {
  // Never destroyed: the clean-up below runs during static destruction.
  static const fs::path* dir = [] {
    auto* d = new fs::path(fs::temp_directory_path() / ("tlvarc-bench-" + std::to_string(::getpid())));
    fs::create_directories(*d);
    return d;
  }();
  return *dir;
}

struct Cleanup {
  ~Cleanup() { fs::remove_all(WorkDir()); }
} cleanup;

// An archive holding `bytes` of file content in 1 MiB files, 100 to a folder,
// of varied bytes with some runs, as device files are.
std::string MakeArchive(uint64_t bytes) {
  static std::map<uint64_t, std::string> made;
  if (made.count(bytes)) return made[bytes];
  std::string path = (WorkDir() / ("archive-" + std::to_string(bytes >> 20) + "MB.dat")).string();
  HostWriteStream out;
  if (!out.Create(path).ok() || !WriteArchiveHeader(&out, u"Tovak", u"").ok()) std::abort();
  NodeWriter w(&out);
  std::vector<BYTE> content(1 << 20);
  uint64_t state = 88172645463325252ull;
  auto ok = [](const Status& s) {
    if (!s.ok()) std::abort();
  };
  ok(w.Container(archive::kNodeRoot, u""));
  ok(w.Container(archive::kNodeDirectory, u"\\"));
  uint64_t files = bytes / content.size();
  for (uint64_t i = 0; i < files; ++i) {
    if (i % 100 == 0) {
      if (i) ok(w.End());
      ok(w.Container(archive::kNodeDirectory, u"folder" + std::u16string(1, char16_t(u'A' + i / 100 % 26)) +
                                                   std::u16string(1, char16_t(u'A' + i / 2600 % 26))));
    }
    for (size_t k = 0; k < content.size(); k += 8) {
      state ^= state << 13, state ^= state >> 7, state ^= state << 17;
      uint64_t v = (k % 4096 < 512) ? 0 : state;  // a zero run every 4 KiB
      std::memcpy(&content[k], &v, 8);
    }
    FileFields f;
    f.attributes = 0x20;
    f.creation = f.access = f.write = FILETIME{0xD53E8000u, 0x01D9A2B3u};  // 2023
    f.size = DWORD(content.size());
    std::u16string name = u"file" + std::u16string(1, char16_t(u'0' + i % 10)) + std::u16string(1, char16_t(u'a' + i / 10 % 10)) + u".bin";
    ok(w.FileHeader(name, f));
    ok(w.Content(content.data(), content.size()));
  }
  if (files) ok(w.End());
  ok(w.End());
  ok(w.End());
  ok(w.Finish());
  ok(out.Commit());
  return made[bytes] = path;
}

int Tool(const Args& args) {
  std::ostringstream out, err;
  return RunTlvarc(args, CommandIo{out, err});
}

void ArchiveReadSpeed(benchmark::State& state, const char* command) {
  std::string path = MakeArchive(400ull << 20);
  uint64_t size = fs::file_size(path);
  for (auto _ : state)
    if (Tool({command, path}) != 0) state.SkipWithError("the command failed");
  state.SetBytesProcessed(int64_t(state.iterations() * size));
}

void BM_Verify400MB(benchmark::State& state) { ArchiveReadSpeed(state, "verify"); }
void BM_List400MB(benchmark::State& state) { ArchiveReadSpeed(state, "list"); }

double Seconds(const std::function<void()>& run) {
  auto start = std::chrono::steady_clock::now();
  run();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Both in one run, each into a fresh folder, after the page cache holds the inputs.
void BM_ExtractAgainstTar400MB(benchmark::State& state) {
  std::string path = MakeArchive(400ull << 20);
  fs::path warm = WorkDir() / "warm";
  fs::remove_all(warm);
  Tool({"extract", path, warm.string()});
  std::string tar = (WorkDir() / "files.tar").string();
  if (std::system(("tar -cf " + tar + " -C " + (warm / "files").string() + " .").c_str()) != 0) state.SkipWithError("tar -cf failed");
  fs::remove_all(warm);
  double ours = 0, theirs = 0;
  for (auto _ : state) {
    fs::path a = WorkDir() / "x1", b = WorkDir() / "x2";
    fs::remove_all(a);
    fs::remove_all(b);
    fs::create_directories(b);
    ours += Seconds([&] { Tool({"extract", path, a.string()}); });
    theirs += Seconds([&] { (void)!std::system(("tar -xf " + tar + " -C " + b.string()).c_str()); });
    state.SetIterationTime(ours / double(state.iterations() + 1));
  }
  state.counters["extract_s"] = ours / double(state.iterations());
  state.counters["tar_x_s"] = theirs / double(state.iterations());
  state.counters["ratio"] = ours / theirs;
}

// Peak resident memory of `tlvarc verify` in a child process.
void BM_VerifyPeakMemory(benchmark::State& state) {
  std::string path = MakeArchive(uint64_t(state.range(0)) << 20);
  std::string tool = (fs::read_symlink("/proc/self/exe").parent_path() / "tlvarc").string();
  long peak_kb = 0;
  for (auto _ : state) {
    pid_t pid = ::fork();
    if (pid == 0) {
      ::execl(tool.c_str(), "tlvarc", "verify", path.c_str(), static_cast<char*>(nullptr));
      ::_exit(127);
    }
    int status = 0;
    struct rusage usage {};
    ::wait4(pid, &status, 0, &usage);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) state.SkipWithError("tlvarc verify failed");
    peak_kb = usage.ru_maxrss;
  }
  state.counters["peak_rss_kb"] = double(peak_kb);
}

}  // namespace

BENCHMARK(BM_Verify400MB)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_List400MB)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_ExtractAgainstTar400MB)->Unit(benchmark::kMillisecond)->Iterations(3)->UseManualTime();
BENCHMARK(BM_VerifyPeakMemory)->Arg(40)->Arg(400)->Arg(4096)->Unit(benchmark::kMillisecond)->Iterations(1);

BENCHMARK_MAIN();
