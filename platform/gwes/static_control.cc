// The "STATIC" class: a text (left, centred or right), or an icon. An icon
// static made from a resource id carries the text U+FFFF followed by the
// id, as the device's dialogs give it.
#include "control_procs.h"
#include "control_util.h"
#include "window_ops.h"

namespace cedev::gwes {
namespace {

struct StaticData : ControlData {
  HICON icon = nullptr;
};

bool IsIcon(const Window& w) { return (w.style & SS_TYPEMASK) == SS_ICON; }

LRESULT SetIcon(Window& w, HICON icon) {
  StaticData& data = DataOf<StaticData>(w);
  HICON previous = data.icon;
  data.icon = icon;
  return reinterpret_cast<LRESULT>(previous);
}

// An icon given by resource id: the text names it, and the icon is loaded
// from the control's module when it has one of that id.
void TakeIconName(Window& w, LPCWSTR name) {
  auto id = static_cast<char16_t>(reinterpret_cast<uintptr_t>(name));
  w.text = std::u16string{u'\xFFFF', id};
  PublishText(w, w.text);
  DataOf<StaticData>(w).icon = LoadIconW(w.instance, name);
}

}  // namespace

LRESULT CALLBACK StaticProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  std::shared_ptr<Window> w = LocalWindow(hwnd);
  if (!w) return 0;
  switch (msg) {
    case WM_NCCREATE: {
      auto* cs = reinterpret_cast<CREATESTRUCTW*>(lparam);
      if (IsIcon(*w) && cs && cs->lpszName && IS_INTRESOURCE(cs->lpszName)) {
        TakeIconName(*w, cs->lpszName);
        return TRUE;
      }
      break;
    }
    case WM_SETTEXT:
      if (IsIcon(*w) && lparam && IS_INTRESOURCE(reinterpret_cast<LPCWSTR>(lparam))) {
        TakeIconName(*w, reinterpret_cast<LPCWSTR>(lparam));
        return TRUE;
      }
      break;
    case STM_SETICON:
      return SetIcon(*w, reinterpret_cast<HICON>(wparam));
    case STM_GETICON:
      return reinterpret_cast<LRESULT>(DataOf<StaticData>(*w).icon);
    case STM_SETIMAGE:
      return wparam == IMAGE_ICON ? SetIcon(*w, reinterpret_cast<HICON>(lparam)) : 0;
    case STM_GETIMAGE:
      return wparam == IMAGE_ICON ? reinterpret_cast<LRESULT>(DataOf<StaticData>(*w).icon) : 0;
    case WM_GETDLGCODE:
      return DLGC_STATIC;
    case WM_LBUTTONUP:
      if (w->style & SS_NOTIFY) Notify(*w, STN_CLICKED);
      return 0;
    default:
      break;
  }
  return DefaultWindowMessage(w, msg, wparam, lparam);
}

}  // namespace cedev::gwes
