// DefWindowProcW: what a window does with a message its procedure leaves.
#include <algorithm>

#include "classes.h"
#include "last_error.h"
#include "send.h"
#include "session.h"
#include "window_ops.h"
#include "wstr.h"

namespace cedev::gwes {
namespace {

LRESULT SetText(Window& w, LPCWSTR text) {
  w.text = text && !IS_INTRESOURCE(text) ? std::u16string(WView(text)) : std::u16string();
  PublishText(w, w.text);
  return TRUE;
}

LRESULT GetText(const Window& w, WPARAM room, LPWSTR out) {
  if (!out || room == 0) return 0;
  size_t n = std::min<size_t>(w.text.size(), room - 1);
  std::copy_n(w.text.data(), n, out);
  out[n] = 0;
  return static_cast<LRESULT>(n);
}

LRESULT SetIcon(Window& w, WPARAM which, HICON icon) {
  HICON& slot = which == ICON_BIG ? w.icon_big : w.icon_small;
  HICON previous = slot;
  slot = icon;
  return reinterpret_cast<LRESULT>(previous);
}

}  // namespace

LRESULT DefaultWindowMessage(const std::shared_ptr<Window>& w, UINT msg, WPARAM wparam, LPARAM lparam) {
  switch (msg) {
    case WM_NCCREATE: {
      auto* cs = reinterpret_cast<CREATESTRUCTW*>(lparam);
      if (cs && cs->lpszName) SetText(*w, cs->lpszName);
      return TRUE;
    }
    case WM_SETTEXT:
      return SetText(*w, reinterpret_cast<LPCWSTR>(lparam));
    case WM_GETTEXT:
      return GetText(*w, wparam, reinterpret_cast<LPWSTR>(lparam));
    case WM_GETTEXTLENGTH:
      return static_cast<LRESULT>(w->text.size());
    case WM_CLOSE:
      DestroyWindow(w->hwnd());
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      BeginPaint(w->hwnd(), &ps);
      EndPaint(w->hwnd(), &ps);
      return 0;
    }
    case WM_ERASEBKGND:
      return w->window_class && w->window_class->info.hbrBackground ? 1 : 0;
    case WM_ACTIVATE:
      if (LOWORD(wparam) != WA_INACTIVE && w->queue) SetFocusOnThread(*w->queue, w);
      return 0;
    case WM_SETICON:
      return SetIcon(*w, wparam, reinterpret_cast<HICON>(lparam));
    case WM_GETICON:
      return reinterpret_cast<LRESULT>(wparam == ICON_BIG ? w->icon_big : w->icon_small);
    case WM_SETFONT:
      w->font = reinterpret_cast<HFONT>(wparam);
      return 0;
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(w->font);
    case WM_SYSCOMMAND:
      if ((wparam & 0xFFF0) == SC_CLOSE) SendMessageW(w->hwnd(), WM_CLOSE, 0, 0);
      return 0;
    case WM_HELP:
      // Help asked for in a control goes to the window it sits in.
      if (w->IsChild()) return SendMessageW(ToHwnd(w->parent), WM_HELP, wparam, lparam);
      return 0;
    default:
      return 0;
  }
}

}  // namespace cedev::gwes

LRESULT DefWindowProcW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
  std::shared_ptr<cedev::gwes::Window> w = cedev::gwes::LocalWindow(hWnd);
  if (!w) return 0;
  return cedev::gwes::DefaultWindowMessage(w, Msg, wParam, lParam);
}
