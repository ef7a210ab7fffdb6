// tlvarc on big archives: verify and list speed (archive bytes read per
// second), extract against tar -xf of the same files, and peak memory of a
// verify of a 40 MB and a 4 GB archive (it must not grow with the archive),
// of compare and create at 40 MB and 400 MB with the same entries (it must
// not grow with file content), and of compare at 1,000 to 40,000 entries
// (the growth per entry it is allowed).
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

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

// An archive holding `bytes` of file content in `files` files of equal size
// (1 MiB each unless told), 100 to a folder, of varied bytes with some runs,
// as device files are.
std::string MakeArchive(uint64_t bytes, uint64_t files = 0) {
  if (files == 0) files = bytes >> 20;
  static std::map<std::pair<uint64_t, uint64_t>, std::string> made;
  if (made.count({bytes, files})) return made[{bytes, files}];
  std::string path =
      (WorkDir() / ("archive-" + std::to_string(bytes >> 20) + "MB-" + std::to_string(files) + ".dat")).string();
  HostWriteStream out;
  if (!out.Create(path).ok() || !WriteArchiveHeader(&out, u"Tovak", u"").ok()) std::abort();
  NodeWriter w(&out);
  std::vector<uint8_t> content(files ? std::max<uint64_t>(8, bytes / files / 8 * 8) : 8);
  uint64_t state = 88172645463325252ull;
  auto ok = [](const Status& s) {
    if (!s.ok()) std::abort();
  };
  ok(w.Container(archive::kNodeRoot, u""));
  ok(w.Container(archive::kNodeDirectory, u"\\"));
  for (uint64_t i = 0; i < files; ++i) {
    if (i % 100 == 0) {
      if (i) ok(w.End());
      ok(w.Container(archive::kNodeDirectory, u"folder" + std::u16string(1, char16_t(u'A' + i / 100 % 26)) +
                                                   std::u16string(1, char16_t(u'A' + i / 2600 % 26)) +
                                                   std::u16string(1, char16_t(u'A' + i / 67600 % 26))));
    }
    for (size_t k = 0; k < content.size(); k += 8) {
      state ^= state << 13, state ^= state >> 7, state ^= state << 17;
      uint64_t v = (k % 4096 < 512) ? 0 : state;  // a zero run every 4 KiB
      std::memcpy(&content[k], &v, 8);
    }
    FileFields f;
    f.attributes = 0x20;
    f.creation = f.access = f.write = archive::FileTime{0xD53E8000u, 0x01D9A2B3u};  // 2023
    f.size = uint32_t(content.size());
    std::u16string name = u"file" + std::u16string(1, char16_t(u'0' + i % 10)) + std::u16string(1, char16_t(u'a' + i / 10 % 10)) + u".bin";
    ok(w.FileHeader(name, f));
    ok(w.Content(content.data(), content.size()));
  }
  if (files) ok(w.End());
  ok(w.End());
  ok(w.End());
  ok(w.Finish());
  ok(out.Commit());
  return made[{bytes, files}] = path;
}

// An archive with one database of `records` records, each a number and a
// 200-character string, and no files.
std::string MakeDatabaseArchive(uint64_t records) {
  std::string path = (WorkDir() / ("records-" + std::to_string(records) + ".dat")).string();
  HostWriteStream out;
  if (!out.Create(path).ok() || !WriteArchiveHeader(&out, u"Tovak", u"").ok()) std::abort();
  NodeWriter w(&out);
  auto ok = [](const Status& s) {
    if (!s.ok()) std::abort();
  };
  ok(w.Container(archive::kNodeRoot, u""));
  ok(w.Container(archive::kNodeDbFolder, u"DATABASE"));
  ok(w.Database(u"Scan log", DatabaseFields{0x51, 1, {{0x0001001F, 0}}}));
  std::vector<uint8_t> buffer(32 + 402, 0);
  const uint32_t ids[2] = {0x00010003, 0x0002001F};  // I4, LPWSTR
  for (uint64_t i = 0; i < records; ++i) {
    std::memcpy(&buffer[0], &ids[0], 4);
    std::memcpy(&buffer[8], &i, 4);
    std::memcpy(&buffer[16], &ids[1], 4);
    uint32_t at = 32;
    std::memcpy(&buffer[24], &at, 4);
    for (size_t k = 0; k < 200; ++k) buffer[32 + 2 * k] = uint8_t('a' + (i + k) % 26);
    ok(w.Record(2, buffer));
  }
  ok(w.DatabaseEnd());
  ok(w.End());
  ok(w.End());
  ok(w.Finish());
  ok(out.Commit());
  return path;
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

// Peak resident memory (the child's VmHWM, as wait4 reports it) of one
// tlvarc command run as its own process; -1 when the command failed.
long ToolPeakKb(const std::vector<std::string>& args, int expected_exit = 0) {
  std::string tool = (fs::read_symlink("/proc/self/exe").parent_path() / "tlvarc").string();
  std::vector<char*> argv = {const_cast<char*>("tlvarc")};
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t pid = ::fork();
  if (pid == 0) {
    ::execv(tool.c_str(), argv.data());
    ::_exit(127);
  }
  int status = 0;
  struct rusage usage {};
  ::wait4(pid, &status, 0, &usage);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != expected_exit) return -1;
  return usage.ru_maxrss;
}

void ReportPeak(benchmark::State& state, const std::vector<std::string>& args, int expected_exit = 0) {
  long peak_kb = 0;
  for (auto _ : state) {
    peak_kb = ToolPeakKb(args, expected_exit);
    if (peak_kb < 0) state.SkipWithError(("tlvarc " + args[0] + " failed").c_str());
  }
  state.counters["peak_rss_kb"] = double(peak_kb);
}

void BM_VerifyPeakMemory(benchmark::State& state) {
  ReportPeak(state, {"verify", MakeArchive(uint64_t(state.range(0)) << 20)});
}

// MB of content, always in 400 files: memory must not follow the content.
void BM_ComparePeakMemory(benchmark::State& state) {
  std::string path = MakeArchive(uint64_t(state.range(0)) << 20, 400);
  ReportPeak(state, {"compare", path, path});
}

void BM_CreatePeakMemory(benchmark::State& state) {
  std::string path = MakeArchive(uint64_t(state.range(0)) << 20, 400);
  fs::path from = WorkDir() / ("from-" + std::to_string(state.range(0)));
  fs::remove_all(from);
  if (Tool({"extract", path, from.string()}) != 0) state.SkipWithError("extract failed");
  std::string repacked = (WorkDir() / "repacked.dat").string();
  ReportPeak(state, {"create", repacked, "--from", from.string()});
  fs::remove_all(from);
  fs::remove(repacked);
}

// Database records: create reads databases.json one record at a time.
void BM_CreatePeakMemoryByRecords(benchmark::State& state) {
  std::string path = MakeDatabaseArchive(uint64_t(state.range(0)));
  fs::path from = WorkDir() / ("records-" + std::to_string(state.range(0)));
  fs::remove_all(from);
  if (Tool({"extract", path, from.string()}) != 0) state.SkipWithError("extract failed");
  std::string repacked = (WorkDir() / "repacked.dat").string();
  ReportPeak(state, {"create", repacked, "--from", from.string()});
  state.counters["json_mb"] = double(fs::file_size(from / "databases.json")) / 1e6;
  fs::remove_all(from);
  fs::remove(repacked);
}

// Entries, in 40 MB: what compare holds per entry.
void BM_ComparePeakMemoryByEntries(benchmark::State& state) {
  std::string path = MakeArchive(40ull << 20, uint64_t(state.range(0)));
  ReportPeak(state, {"compare", path, path});
}

}  // namespace

BENCHMARK(BM_Verify400MB)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_List400MB)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_ExtractAgainstTar400MB)->Unit(benchmark::kMillisecond)->Iterations(3)->UseManualTime();
BENCHMARK(BM_VerifyPeakMemory)->Arg(40)->Arg(400)->Arg(4096)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_ComparePeakMemory)->Arg(40)->Arg(400)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_CreatePeakMemory)->Arg(40)->Arg(400)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_CreatePeakMemoryByRecords)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_ComparePeakMemoryByEntries)->Arg(1000)->Arg(10000)->Arg(40000)->Unit(benchmark::kMillisecond)->Iterations(1);

BENCHMARK_MAIN();
