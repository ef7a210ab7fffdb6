#include "modules.h"

#include <map>
#include <mutex>

#include "ce/device.h"
#include "ce/user.h"
#include "last_error.h"
#include "program.h"
#include "wstr.h"

namespace cedev {
namespace {

struct Module {
  std::u16string name;  // as registered, e.g. "CoreDll.dll"
  bool (*present)() = nullptr;
  std::vector<ModuleExport> exports;
  int loads = 0;
};

constexpr uintptr_t kFirstModuleHandle = 0x01000000;
constexpr uintptr_t kModuleHandleStep = 0x10000;

// The core library is part of every device.
std::vector<ModuleExport> CoreExports() {
  return {{u"GetUserDefaultUILanguage", AsFarProc(&GetUserDefaultUILanguage)},
          {u"KernelIoControl", AsFarProc(&KernelIoControl)},
          {u"TouchCalibrate", AsFarProc(&TouchCalibrate)},
          {u"GetSystemPowerStatusEx", AsFarProc(&GetSystemPowerStatusEx)}};
}

class ModuleTable {
 public:
  ModuleTable() { modules_.push_back({u"CoreDll.dll", nullptr, CoreExports(), 0}); }

  void Register(const std::u16string& name, bool (*present)(), std::vector<ModuleExport> exports) {
    std::lock_guard lock(mutex_);
    if (Module* m = Find(name)) {
      m->present = present;
      m->exports = std::move(exports);
      return;
    }
    modules_.push_back({name, present, std::move(exports), 0});
  }

  HMODULE Load(std::u16string_view name, bool count_load) {
    std::lock_guard lock(mutex_);
    Module* m = Find(name);
    if (!m || (m->present && !m->present())) return nullptr;
    if (count_load) ++m->loads;
    else if (m->loads == 0) return nullptr;
    return HandleOf(m);
  }

  bool Free(HMODULE handle) {
    std::lock_guard lock(mutex_);
    Module* m = Of(handle);
    if (!m || m->loads == 0) return false;
    --m->loads;
    return true;
  }

  FARPROC Proc(HMODULE handle, std::u16string_view proc) {
    std::lock_guard lock(mutex_);
    Module* m = Of(handle);
    if (!m || m->loads == 0) return nullptr;
    for (const auto& e : m->exports) {
      if (e.name == proc) return e.proc;  // export names are case-sensitive
    }
    return nullptr;
  }

  bool FileName(HMODULE handle, std::u16string* path) {
    std::lock_guard lock(mutex_);
    Module* m = Of(handle);
    if (!m || m->loads == 0) return false;
    *path = u"\\Windows\\" + m->name;
    return true;
  }

  bool IsModuleHandle(HMODULE handle) {
    std::lock_guard lock(mutex_);
    return Of(handle) != nullptr;
  }

 private:
  // "coredll", "CoreDll.dll" and "\Windows\coredll.dll" name the same module.
  static std::u16string_view BaseName(std::u16string_view name) {
    size_t slash = name.find_last_of(u"\\/");
    if (slash != std::u16string_view::npos) name.remove_prefix(slash + 1);
    if (name.size() > 4 && EqualNoCase(name.substr(name.size() - 4), u".dll")) name.remove_suffix(4);
    return name;
  }

  Module* Find(std::u16string_view name) {
    for (auto& m : modules_) {
      if (EqualNoCase(BaseName(m.name), BaseName(name))) return &m;
    }
    return nullptr;
  }

  HMODULE HandleOf(const Module* m) const {
    return reinterpret_cast<HMODULE>(kFirstModuleHandle + (m - modules_.data()) * kModuleHandleStep);
  }

  Module* Of(HMODULE handle) {
    auto value = reinterpret_cast<uintptr_t>(handle);
    if (value < kFirstModuleHandle || (value - kFirstModuleHandle) % kModuleHandleStep) return nullptr;
    size_t index = (value - kFirstModuleHandle) / kModuleHandleStep;
    return index < modules_.size() ? &modules_[index] : nullptr;
  }

  std::mutex mutex_;
  std::vector<Module> modules_;
};

ModuleTable& Modules() {
  static auto* table = new ModuleTable;
  return *table;
}

}  // namespace

void RegisterModule(const std::u16string& name, bool (*present)(), std::vector<ModuleExport> exports) {
  Modules().Register(name, present, std::move(exports));
}

bool ModuleFileName(HMODULE module, std::u16string* path) { return Modules().FileName(module, path); }

}  // namespace cedev

HMODULE LoadLibraryW(LPCWSTR lpLibFileName) {
  if (!lpLibFileName || !*lpLibFileName) return cedev::Fail(ERROR_INVALID_PARAMETER, static_cast<HMODULE>(nullptr));
  HMODULE module = cedev::Modules().Load(cedev::WView(lpLibFileName), true);
  return module ? module : cedev::Fail(ERROR_MOD_NOT_FOUND, static_cast<HMODULE>(nullptr));
}

HMODULE GetModuleHandleW(LPCWSTR lpModuleName) {
  if (!lpModuleName) return cedev::ProgramInstance();
  HMODULE module = cedev::Modules().Load(cedev::WView(lpModuleName), false);
  return module ? module : cedev::Fail(ERROR_MOD_NOT_FOUND, static_cast<HMODULE>(nullptr));
}

FARPROC GetProcAddressW(HMODULE hModule, LPCWSTR lpProcName) {
  if (!cedev::Modules().IsModuleHandle(hModule)) return cedev::Fail(ERROR_INVALID_HANDLE, static_cast<FARPROC>(nullptr));
  // Exports by ordinal are not offered.
  if (!lpProcName || IS_INTRESOURCE(lpProcName)) return cedev::Fail(ERROR_PROC_NOT_FOUND, static_cast<FARPROC>(nullptr));
  FARPROC proc = cedev::Modules().Proc(hModule, cedev::WView(lpProcName));
  return proc ? proc : cedev::Fail(ERROR_PROC_NOT_FOUND, static_cast<FARPROC>(nullptr));
}

BOOL FreeLibrary(HMODULE hLibModule) {
  if (!cedev::Modules().Free(hLibModule)) return cedev::Fail(ERROR_INVALID_HANDLE, FALSE);
  return TRUE;
}

DWORD GetModuleFileNameW(HMODULE hModule, LPWSTR lpFilename, DWORD nSize) {
  if (!lpFilename) return cedev::Fail(ERROR_INVALID_PARAMETER, DWORD{0});
  std::u16string name;
  if (!hModule || hModule == cedev::ProgramInstance()) {
    name = cedev::ProgramModule();
  } else if (!cedev::ModuleFileName(hModule, &name)) {
    return cedev::Fail(ERROR_INVALID_HANDLE, DWORD{0});
  }
  if (nSize == 0) return cedev::Fail(ERROR_INSUFFICIENT_BUFFER, DWORD{0});
  if (name.size() >= nSize) {
    name.copy(lpFilename, nSize - 1);
    lpFilename[nSize - 1] = 0;
    return cedev::Fail(ERROR_INSUFFICIENT_BUFFER, nSize);
  }
  name.copy(lpFilename, name.size());
  lpFilename[name.size()] = 0;
  return static_cast<DWORD>(name.size());
}
