// String resources: each program registers its string table (a C++ table)
// for its module; LoadStringW copies from it.
#include <map>
#include <mutex>

#include "ce/user.h"
#include "last_error.h"
#include "program.h"
#include "wstr.h"

namespace cedev {
namespace {

struct Tables {
  std::mutex mutex;
  std::map<HINSTANCE, std::map<UINT, LPCWSTR>> by_module;
};

Tables& TheTables() {
  static auto* tables = new Tables;
  return *tables;
}

}  // namespace
}  // namespace cedev

void CeRegisterStringTable(HINSTANCE hModule, const CE_STRINGTABLE_ENTRY* entries, size_t count) {
  cedev::Tables& t = cedev::TheTables();
  std::lock_guard lock(t.mutex);
  auto& table = t.by_module[hModule ? hModule : cedev::ProgramInstance()];
  for (size_t i = 0; i < count; ++i) table[entries[i].id] = entries[i].text;
}

int LoadStringW(HINSTANCE hInstance, UINT uID, LPWSTR lpBuffer, int cchBufferMax) {
  if (!lpBuffer || cchBufferMax < 0) return cedev::Fail(ERROR_INVALID_PARAMETER, 0);
  LPCWSTR text = nullptr;
  {
    cedev::Tables& t = cedev::TheTables();
    std::lock_guard lock(t.mutex);
    auto module = t.by_module.find(hInstance ? hInstance : cedev::ProgramInstance());
    if (module == t.by_module.end()) return cedev::Fail(ERROR_RESOURCE_DATA_NOT_FOUND, 0);
    auto entry = module->second.find(uID);
    if (entry == module->second.end()) return cedev::Fail(ERROR_RESOURCE_NAME_NOT_FOUND, 0);
    text = entry->second;
  }
  auto length = static_cast<int>(cedev::WLen(text));
  if (cchBufferMax == 0) {
    // The read-only form: the buffer receives a pointer to the resource text.
    *reinterpret_cast<LPCWSTR*>(lpBuffer) = text;
    return length;
  }
  int copied = length < cchBufferMax - 1 ? length : cchBufferMax - 1;
  for (int i = 0; i < copied; ++i) lpBuffer[i] = text[i];
  lpBuffer[copied] = 0;
  return copied;
}
