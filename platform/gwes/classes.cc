// The class registry of a program. Atoms are per program: 0xC000 and up,
// as the device hands them out.
#include "classes.h"

#include "control_procs.h"
#include "last_error.h"
#include "wstr.h"

namespace cedev::gwes {
namespace {

constexpr ATOM kFirstAtom = 0xC000;

}  // namespace

ATOM ClassRegistry::Add(const WNDCLASSW& info, bool system) {
  std::u16string name(WView(info.lpszClassName));
  std::lock_guard lock(mutex_);
  for (const auto& c : classes_) {
    if (c && EqualNoCase(c->name, name)) return Fail(ERROR_CLASS_ALREADY_EXISTS, ATOM{0});
  }
  auto c = std::make_shared<WindowClass>();
  c->name = name;
  c->info = info;
  c->system = system;
  c->info.lpszClassName = c->name.c_str();
  if (info.lpszMenuName && !IS_INTRESOURCE(info.lpszMenuName)) {
    c->menu_name = WView(info.lpszMenuName);
    c->info.lpszMenuName = c->menu_name.c_str();
  }
  for (size_t i = 0; i < classes_.size(); ++i) {
    if (!classes_[i]) {
      classes_[i] = c;
      return static_cast<ATOM>(kFirstAtom + i);
    }
  }
  if (classes_.size() >= 0x3FFF) return Fail(ERROR_NOT_ENOUGH_MEMORY, ATOM{0});
  classes_.push_back(c);
  return static_cast<ATOM>(kFirstAtom + classes_.size() - 1);
}

std::shared_ptr<WindowClass> ClassRegistry::Find(LPCWSTR name_or_atom) {
  if (!name_or_atom) return nullptr;
  std::lock_guard lock(mutex_);
  if (IS_INTRESOURCE(name_or_atom)) {
    size_t atom = reinterpret_cast<uintptr_t>(name_or_atom);
    if (atom < kFirstAtom || atom - kFirstAtom >= classes_.size()) return nullptr;
    return classes_[atom - kFirstAtom];
  }
  std::u16string_view name = WView(name_or_atom);
  for (const auto& c : classes_) {
    if (c && EqualNoCase(c->name, name)) return c;
  }
  return nullptr;
}

bool ClassRegistry::Remove(LPCWSTR name_or_atom) {
  auto c = Find(name_or_atom);
  if (!c || c->system) return Fail(ERROR_CLASS_DOES_NOT_EXIST, false);
  std::lock_guard lock(mutex_);
  if (c->windows > 0) return Fail(ERROR_CLASS_HAS_WINDOWS, false);
  for (auto& slot : classes_) {
    if (slot == c) slot.reset();
  }
  return true;
}

void RegisterSystemClasses(ClassRegistry& registry) {
  struct System {
    const char16_t* name;
    WNDPROC proc;
    int extra;
  };
  static const System kSystem[] = {
      {u"STATIC", StaticProc, 0},        {u"BUTTON", ButtonProc, 0},
      {u"EDIT", EditProc, 0},            {u"COMBOBOX", ComboBoxProc, 0},
      {u"Dialog", DialogClassProc, DLGWINDOWEXTRA}, {u"ToolbarWindow32", CommandBarProc, 0},
  };
  for (const auto& s : kSystem) {
    WNDCLASSW info{};
    info.style = CS_PARENTDC;
    info.lpfnWndProc = s.proc;
    info.cbWndExtra = s.extra;
    info.lpszClassName = s.name;
    registry.Add(info, true);
  }
}

}  // namespace cedev::gwes
