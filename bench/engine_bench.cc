// Run-length coding of realistic archive data through the buffered file
// stream to a device file, both directions; and MPathList membership on a
// key with many values.
#include <benchmark/benchmark.h>
#include <windows.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "file_stream.h"
#include "path_list.h"
#include "rle_stream.h"
#include "scratch_device.h"

namespace {

constexpr size_t kTotal = 256u << 20;
constexpr size_t kPiece = 64u << 10;
const char16_t kArchive[] = u"\\Storage Card\\bench.rle";

// Text, runs of zeros (sparse files, name high bytes) and random bytes
// (compressed files), in 64 KiB pieces.
const std::vector<uint8_t>& Data() {
  static std::vector<uint8_t> data = [] {
    std::vector<uint8_t> d(kTotal);
    std::mt19937 rng(42);
    static const char* words[] = {"backup ", "registry ", "HKEY_LOCAL_MACHINE\\", "value ", "\r\n", "Windows ",
                                  "FlashDisk ", "0000 ", "data ", "name "};
    for (size_t at = 0; at < kTotal; at += kPiece) {
      uint8_t* p = d.data() + at;
      switch ((at / kPiece) % 3) {
        case 0:
          for (size_t i = 0; i < kPiece;) {
            const char* w = words[rng() % 10];
            while (*w && i < kPiece) p[i++] = uint8_t(*w++);
          }
          break;
        case 1:
          for (size_t i = 0; i < kPiece; ++i) p[i] = (i % 512) < 400 ? 0 : uint8_t(rng());
          break;
        default:
          for (size_t i = 0; i < kPiece; i += 4) {
            uint32_t r = rng();
            std::memcpy(p + i, &r, 4);
          }
      }
    }
    return d;
  }();
  return data;
}

void Encode(const std::vector<uint8_t>& data) {
  MBufferedFileStream file;
  if (!file.OpenForWrite(kArchive)) std::abort();
  MRleStream rle(&file);
  // Node records arrive in pieces from a few bytes to whole file blocks.
  for (size_t at = 0; at < data.size(); at += 4096) {
    LONG done = 0;
    if (!rle.Write(data.data() + at, 4096, &done)) std::abort();
  }
  if (!rle.Flush() || !file.Close()) std::abort();
}

void BM_RleEncodeToFile(benchmark::State& state) {
  cedev::ScratchDevice device;
  const auto& data = Data();
  for (auto _ : state) Encode(data);
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(data.size()));
}
BENCHMARK(BM_RleEncodeToFile)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);

void BM_RleDecodeFromFile(benchmark::State& state) {
  cedev::ScratchDevice device;
  const auto& data = Data();
  Encode(data);
  std::vector<uint8_t> back(4096);
  for (auto _ : state) {
    MBufferedFileStream file;
    if (!file.OpenForRead(kArchive)) std::abort();
    MRleStream rle(&file);
    for (size_t at = 0; at < data.size(); at += back.size()) {
      LONG done = 0;
      if (!rle.Read(back.data(), LONG(back.size()), &done)) std::abort();
      if (std::memcmp(back.data(), data.data() + at, back.size()) != 0) std::abort();
    }
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(data.size()));
}
BENCHMARK(BM_RleDecodeFromFile)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);

// Restoring a key: every device value is looked up in the restored names.
void BM_PathListMembership(benchmark::State& state) {
  const int n = int(state.range(0));
  std::vector<std::u16string> names;
  for (int i = 0; i < n; ++i) names.push_back(u"Value" + std::u16string(1, char16_t(u'A' + i % 26)) + std::u16string(1, char16_t(0x4E00 + i)));
  for (auto _ : state) {
    MPathList list;
    for (const auto& name : names) list.Append(name.c_str());
    int found = 0;
    for (const auto& name : names) found += list.Contains(name.c_str());
    if (found != n) std::abort();
  }
  state.SetComplexityN(n);
}
BENCHMARK(BM_PathListMembership)->RangeMultiplier(4)->Range(1 << 10, 1 << 16)->Complexity()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
