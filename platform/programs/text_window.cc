#include "text_window.h"

namespace cedev::programs {
namespace {

constexpr int kTextId = 100;

LRESULT CALLBACK TextWindowProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  switch (msg) {
    case WM_SIZE:
      // The text fills the window in either screen orientation.
      MoveWindow(GetDlgItem(hwnd, kTextId), 8, 8, LOWORD(lparam) - 16, HIWORD(lparam) - 16, TRUE);
      return 0;
    case WM_DESTROY:
      // Also when another program sends WM_DESTROY without destroying the
      // window: the program ends and the window goes with it.
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(hwnd, msg, wparam, lparam);
  }
}

}  // namespace

bool RunTextWindow(HINSTANCE instance, LPCWSTR class_name, LPCWSTR title, LPCWSTR text) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = TextWindowProc;
  wc.hInstance = instance;
  wc.lpszClassName = class_name;
  if (!RegisterClassW(&wc)) return false;
  HWND window = CreateWindowExW(0, class_name, title, WS_VISIBLE | WS_CAPTION | WS_SYSMENU, 0, 0, CW_USEDEFAULT,
                                CW_USEDEFAULT, nullptr, nullptr, instance, nullptr);
  if (!window) return false;
  CreateWindowExW(0, u"STATIC", text, WS_CHILD | WS_VISIBLE, 8, 8, 200, 100, window,
                  reinterpret_cast<HMENU>(kTextId), instance, nullptr);
  RECT client{};
  GetClientRect(window, &client);
  SendMessageW(window, WM_SIZE, SIZE_RESTORED, MAKELPARAM(client.right, client.bottom));
  SetForegroundWindow(window);
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return true;
}

}  // namespace cedev::programs
