#include "window_testing.h"

#include <algorithm>

namespace cedev {
namespace {

MessageLog* g_log = nullptr;

}  // namespace

MessageLog::MessageLog() {
  WNDCLASSW wc{};
  wc.lpfnWndProc = Proc;
  wc.lpszClassName = kLoggedClass;
  RegisterClassW(&wc);  // already there for this device after the first log
  g_log = this;
}

MessageLog::~MessageLog() {
  if (g_log == this) g_log = nullptr;
}

void MessageLog::LogMessage(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  std::lock_guard lock(mutex_);
  seen_.push_back({hwnd, message, wparam, lparam});
}

LRESULT CALLBACK MessageLog::Proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  MessageLog* log = g_log;
  if (log) {
    log->LogMessage(hwnd, message, wparam, lparam);
    if (log->handler) {
      if (auto answer = log->handler(hwnd, message, wparam, lparam)) return *answer;
    }
  }
  return DefWindowProcW(hwnd, message, wparam, lparam);
}

std::vector<SeenMessage> MessageLog::Take() {
  std::lock_guard lock(mutex_);
  std::vector<SeenMessage> out;
  for (const auto& m : seen_) {
    if (std::find(ignored_.begin(), ignored_.end(), m.message) == ignored_.end()) out.push_back(m);
  }
  seen_.clear();
  return out;
}

std::vector<UINT> MessageLog::TakeMessages() {
  std::vector<UINT> out;
  for (const auto& m : Take()) out.push_back(m.message);
  return out;
}

HWND CreateLoggedWindow(DWORD style, HWND parent, UINT id, LPCWSTR title) {
  return CreateWindowExW(0, MessageLog::kLoggedClass, title, style, 0, 0, 100, 80, parent,
                         reinterpret_cast<HMENU>(static_cast<uintptr_t>(id)), nullptr, nullptr);
}

int PumpPending() {
  int count = 0;
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
    ++count;
  }
  return count;
}

}  // namespace cedev
