#include "proc_tokens.h"

#include <mutex>
#include <vector>

namespace cedev::gwes {
namespace {

constexpr uint32_t kTokenMark = 0x7FFE0000u;
constexpr uint32_t kTokenIndexMask = 0x0000FFFFu;

struct Tokens {
  std::mutex mutex;
  std::vector<const void*> procs;
};

Tokens& TheTokens() {
  static auto* tokens = new Tokens;
  return *tokens;
}

}  // namespace

LONG TokenForProc(const void* proc) {
  if (!proc) return 0;
  Tokens& t = TheTokens();
  std::lock_guard lock(t.mutex);
  for (size_t i = 0; i < t.procs.size(); ++i) {
    if (t.procs[i] == proc) return static_cast<LONG>(kTokenMark | i);
  }
  if (t.procs.size() > kTokenIndexMask) return 0;
  t.procs.push_back(proc);
  return static_cast<LONG>(kTokenMark | (t.procs.size() - 1));
}

const void* ProcForValue(LONG_PTR value) {
  auto v = static_cast<uintptr_t>(value);
  if ((v & ~uintptr_t{kTokenIndexMask}) != kTokenMark) return reinterpret_cast<const void*>(v);
  Tokens& t = TheTokens();
  std::lock_guard lock(t.mutex);
  size_t index = v & kTokenIndexMask;
  return index < t.procs.size() ? t.procs[index] : nullptr;
}

}  // namespace cedev::gwes
