// The message API: GetMessageW, PeekMessageW, DispatchMessageW,
// PostMessageW, SendMessageW and their relatives.
#include "ce/process.h"
#include "clock.h"
#include "keyboard.h"
#include "last_error.h"
#include "marshal.h"
#include "message_loop.h"
#include "remote_client.h"
#include "send.h"
#include "session.h"
#include "timers.h"

namespace cedev::gwes {
namespace {

// The filter of GetMessageW/PeekMessageW; false (ERROR_INVALID_WINDOW_HANDLE)
// for a window that is none.
bool FilterOf(HWND hwnd, UINT min, UINT max, MessageFilter* filter) {
  filter->min = min;
  filter->max = max;
  if (reinterpret_cast<intptr_t>(hwnd) == -1) {
    filter->hwnd = kThreadOnly;
    return true;
  }
  filter->hwnd = HandleValue(hwnd);
  if (hwnd && !IsWindow(hwnd)) return Fail(ERROR_INVALID_WINDOW_HANDLE, false);
  return true;
}

// A message whose parameters point to data only a send can carry.
bool PointsToData(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (CarriageOf(message, lparam)) {
    case Carriage::kValues: return false;
    case Carriage::kSelectionOut: return wparam || lparam;
    default: return lparam != 0;
  }
}

bool PostToWindow(Session& session, uint32_t handle, UINT message, WPARAM wparam, LPARAM lparam) {
  if (std::shared_ptr<Window> window = session.Local(handle)) {
    MSG msg{window->hwnd(), message, wparam, lparam, GetTickCount(), {0, 0}};
    if (window->destroyed || !window->queue->Post(msg)) return Fail(ERROR_INVALID_WINDOW_HANDLE, false);
    return true;
  }
  auto program = session.table().ProgramOf(handle);
  if (!program) return Fail(ERROR_INVALID_WINDOW_HANDLE, false);
  return PostRemote(RemoteTarget{handle, program->first, program->second}, FrameKind::kPost, message, wparam, lparam);
}

LRESULT DispatchTimer(ThreadQueue& queue, const MSG& msg) {
  auto proc = reinterpret_cast<TIMERPROC>(msg.lParam);
  // Only a timer this thread set calls a procedure: a posted WM_TIMER with
  // an address in lParam is no reason to jump there.
  if (!IsTimerOf(queue, HandleValue(msg.hwnd), msg.wParam, proc)) return 0;
  proc(msg.hwnd, WM_TIMER, msg.wParam, GetTickCount());
  return 0;
}

}  // namespace
}  // namespace cedev::gwes

using namespace cedev::gwes;
using cedev::Fail;

BOOL GetMessageW(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax) {
  if (!lpMsg) return Fail(ERROR_INVALID_PARAMETER, -1);
  MessageFilter filter;
  if (!FilterOf(hWnd, wMsgFilterMin, wMsgFilterMax, &filter)) return -1;
  ThreadQueue* queue = CurrentQueue();
  if (!queue) return -1;
  while (!FetchMessage(*queue, filter, true, lpMsg)) IdleUntil(*queue, Deadline::max());
  return lpMsg->message != WM_QUIT;
}

BOOL PeekMessageW(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax, UINT wRemoveMsg) {
  if (!lpMsg) return Fail(ERROR_INVALID_PARAMETER, FALSE);
  MessageFilter filter;
  if (!FilterOf(hWnd, wMsgFilterMin, wMsgFilterMax, &filter)) return FALSE;
  ThreadQueue* queue = CurrentQueue();
  if (!queue) return FALSE;
  return FetchMessage(*queue, filter, wRemoveMsg & PM_REMOVE, lpMsg) ? TRUE : FALSE;
}

BOOL WaitMessage() {
  ThreadQueue* queue = CurrentQueue();
  if (!queue) return FALSE;
  MSG msg;
  while (!FetchMessage(*queue, MessageFilter{}, false, &msg)) IdleUntil(*queue, Deadline::max());
  return TRUE;
}

BOOL TranslateMessage(const MSG* lpMsg) {
  if (!lpMsg) return FALSE;
  ThreadQueue* queue = CurrentQueue();
  if (!queue) return FALSE;
  return TranslateKeyMessage(*queue, *lpMsg) ? TRUE : FALSE;
}

LRESULT DispatchMessageW(const MSG* lpMsg) {
  if (!lpMsg) return Fail(ERROR_INVALID_PARAMETER, LRESULT{0});
  ThreadQueue* queue = CurrentQueue();
  if (!queue) return 0;
  if (lpMsg->message == WM_TIMER && lpMsg->lParam) return DispatchTimer(*queue, *lpMsg);
  if (!lpMsg->hwnd) return 0;
  std::shared_ptr<Window> window = queue->session()->Local(HandleValue(lpMsg->hwnd));
  if (!window || window->destroyed) return Fail(ERROR_INVALID_WINDOW_HANDLE, LRESULT{0});
  if (window->tid != queue->tid()) return Fail(ERROR_WINDOW_OF_OTHER_THREAD, LRESULT{0});
  LRESULT result = CallWindow(window, lpMsg->message, lpMsg->wParam, lpMsg->lParam);
  // A procedure that neither painted nor validated would get WM_PAINT for
  // ever: the window counts as painted once the message was handled.
  if (lpMsg->message == WM_PAINT && window->needs_paint) SetNeedsPaint(*window, false, false);
  return result;
}

BOOL PostMessageW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
  if (!hWnd) return PostThreadMessageW(CurrentThreadId(), Msg, wParam, lParam);
  if (PointsToData(Msg, wParam, lParam)) return Fail(ERROR_MESSAGE_SYNC_ONLY, FALSE);
  Session* session = Session::Current();
  if (!session) return FALSE;
  if (hWnd == HWND_BROADCAST) {
    for (const WindowRecord& top : session->table().TopLevel()) PostToWindow(*session, top.handle, Msg, wParam, lParam);
    return TRUE;
  }
  return PostToWindow(*session, HandleValue(hWnd), Msg, wParam, lParam) ? TRUE : FALSE;
}

BOOL PostThreadMessageW(DWORD idThread, UINT Msg, WPARAM wParam, LPARAM lParam) {
  if (PointsToData(Msg, wParam, lParam)) return Fail(ERROR_MESSAGE_SYNC_ONLY, FALSE);
  Session* session = Session::Current();
  if (!session) return FALSE;
  // The calling thread gets a queue if it has none yet.
  std::shared_ptr<ThreadQueue> queue = idThread == CurrentThreadId() ? CurrentQueueShared() : session->Queue(idThread);
  MSG msg{nullptr, Msg, wParam, lParam, GetTickCount(), {0, 0}};
  if (!queue || !queue->Post(msg)) return Fail(ERROR_INVALID_THREAD_ID, FALSE);
  return TRUE;
}

LRESULT SendMessageW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  if (hWnd == HWND_BROADCAST) {
    DWORD_PTR ignored;
    SendMessageTimeoutW(hWnd, Msg, wParam, lParam, SMTO_ABORTIFHUNG, 5000, &ignored);
    return 0;
  }
  if (!SendToWindow(hWnd, Msg, wParam, lParam, SMTO_NORMAL, Deadline::max(), &result)) return 0;
  return result;
}

LRESULT SendMessageTimeoutW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam, UINT fuFlags, UINT uTimeout,
                            PDWORD_PTR lpdwResult) {
  Deadline deadline = Clock::now() + cedev::RealDuration(uTimeout);
  LRESULT result = 0;
  if (hWnd == HWND_BROADCAST) {
    Session* session = Session::Current();
    if (!session) return 0;
    for (const WindowRecord& top : session->table().TopLevel()) {
      SendToWindow(ToHwnd(top.handle), Msg, wParam, lParam, fuFlags, deadline, &result);
    }
    if (lpdwResult) *lpdwResult = 0;
    return 1;
  }
  if (!SendToWindow(hWnd, Msg, wParam, lParam, fuFlags, deadline, &result)) return 0;
  if (lpdwResult) *lpdwResult = static_cast<DWORD_PTR>(result);
  return 1;
}

BOOL SendNotifyMessageW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
  std::shared_ptr<Window> window = Session::Current() ? Session::Current()->Local(HandleValue(hWnd)) : nullptr;
  if (window && window->tid == CurrentThreadId()) {
    CallWindow(window, Msg, wParam, lParam);
    return TRUE;
  }
  return PostMessageW(hWnd, Msg, wParam, lParam);
}

void PostQuitMessage(int nExitCode) {
  ThreadQueue* queue = CurrentQueue();
  if (!queue) return;
  queue->quit = true;
  queue->quit_code = nExitCode;
}

BOOL InSendMessage() {
  ThreadQueue* queue = CurrentQueue();
  return queue && queue->serving_sent > 0;
}

DWORD GetMessagePos() {
  ThreadQueue* queue = CurrentQueue();
  return queue ? queue->message_pos : 0;
}

LONG GetMessageTime() {
  ThreadQueue* queue = CurrentQueue();
  return queue ? static_cast<LONG>(queue->message_time) : 0;
}
