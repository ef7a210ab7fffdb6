// Windows for window-system tests: a class whose windows log every message
// they receive (in Wine's manner, for comparing exact sequences), and a few
// helpers to pump a thread's messages.
#pragma once

#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "ce/user.h"

namespace cedev {

struct SeenMessage {
  HWND hwnd;
  UINT message;
  WPARAM wparam;
  LPARAM lparam;
};

// The log of the windows of class kLoggedClass (one log at a time). A test
// may answer messages itself through `handler`; what it leaves goes to
// DefWindowProcW.
class MessageLog {
 public:
  static constexpr const char16_t* kLoggedClass = u"LoggedWindow";

  MessageLog();
  ~MessageLog();
  MessageLog(const MessageLog&) = delete;
  MessageLog& operator=(const MessageLog&) = delete;

  // The messages so far, leaving out those of `ignored`, and forgets them.
  std::vector<SeenMessage> Take();
  // The same, as message numbers only.
  std::vector<UINT> TakeMessages();
  // Messages that the sequences under test do not care about.
  void Ignore(UINT message) { ignored_.push_back(message); }

  std::function<std::optional<LRESULT>(HWND, UINT, WPARAM, LPARAM)> handler;

  // The window procedure of kLoggedClass; also usable as a dialog's
  // procedure logger through LogMessage.
  static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  void LogMessage(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);

 private:
  std::mutex mutex_;
  std::vector<SeenMessage> seen_;
  std::vector<UINT> ignored_;
};

// A top-level (or, with a parent, child) window of the logged class.
HWND CreateLoggedWindow(DWORD style, HWND parent = nullptr, UINT id = 0, LPCWSTR title = u"logged");

// Dispatches what the calling thread has queued now (WM_PAINT and timers
// included); returns how many messages it dispatched.
int PumpPending();

}  // namespace cedev
