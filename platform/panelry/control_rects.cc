#include "control_rects.h"

#include <map>
#include <mutex>
#include <set>

namespace panelry {
namespace {

struct Registered {
  RECT rects[2];
  bool has[2];
};

struct Registry {
  std::mutex mutex;
  std::map<HWND, Registered> controls;
  std::set<HWND> command_bars;
};

Registry& TheRegistry() {
  static Registry* registry = new Registry;  // outlives static windows
  return *registry;
}

}  // namespace

void RememberControl(HWND control, const RECT& portrait) {
  Registry& r = TheRegistry();
  std::lock_guard lock(r.mutex);
  r.controls[control] = Registered{{portrait, RECT{}}, {true, false}};
}

bool SetRect(HWND control, UINT layout, const RECT& rect) {
  Registry& r = TheRegistry();
  std::lock_guard lock(r.mutex);
  auto it = r.controls.find(control);
  if (it == r.controls.end() || layout > 1) return false;
  it->second.rects[layout] = rect;
  it->second.has[layout] = true;
  return true;
}

std::optional<RECT> RectFor(HWND control, UINT layout) {
  Registry& r = TheRegistry();
  std::lock_guard lock(r.mutex);
  auto it = r.controls.find(control);
  if (it == r.controls.end()) return std::nullopt;
  UINT use = layout <= 1 && it->second.has[layout] ? layout : 0;
  return it->second.rects[use];
}

void ForgetControl(HWND control) {
  Registry& r = TheRegistry();
  std::lock_guard lock(r.mutex);
  r.controls.erase(control);
  r.command_bars.erase(control);
}

void RememberCommandBar(HWND bar) {
  Registry& r = TheRegistry();
  std::lock_guard lock(r.mutex);
  r.command_bars.insert(bar);
}

RECT InLayout(const RECT& portrait, UINT layout) {
  if (layout != 1) return portrait;
  const RECT& r = portrait;
  return RECT{r.left, r.top, r.left + (r.bottom - r.top), r.top + (r.right - r.left)};
}

void MoveTo(HWND window, const RECT& r) {
  ::MoveWindow(window, r.left, r.top, r.right - r.left, r.bottom - r.top, TRUE);
}

bool IsCommandBar(HWND window) {
  Registry& r = TheRegistry();
  std::lock_guard lock(r.mutex);
  return r.command_bars.count(window) != 0;
}

}  // namespace panelry
