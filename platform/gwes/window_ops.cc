#include "window_ops.h"

#include "last_error.h"

namespace cedev::gwes {
namespace {

bool Activates(int command) {
  return command != SW_HIDE && command != SW_SHOWNA && command != SW_SHOWNOACTIVATE &&
         command != SW_SHOWMINNOACTIVE && command != SW_MINIMIZE;
}

// A window that appears needs painting, and so do its visible children.
void MarkShown(Session& session, Window& w) {
  SetNeedsPaint(w, true, true);
  for (uint32_t child : w.children) {
    auto c = session.Local(child);
    if (c && c->Visible()) MarkShown(session, *c);
  }
}

// A hidden window keeps neither the focus nor the activation.
void LetGoWhenHidden(Session& session, ThreadQueue& queue, const std::shared_ptr<Window>& w) {
  if (queue.focus && InsideOf(session, w->handle, queue.focus)) SetFocusOnThread(queue, nullptr);
  if (queue.active != w->handle) return;
  CallProc(w, WM_ACTIVATE, WA_INACTIVE, 0);
  queue.active = 0;
  if (auto owner = w->owner ? session.Local(w->owner) : nullptr) {
    if (!owner->destroyed && owner->tid == queue.tid() && owner->Visible()) Activate(owner);
  }
}

}  // namespace

std::shared_ptr<Window> TopLevelOf(Session& session, std::shared_ptr<Window> window) {
  for (int depth = 0; window && window->parent && depth < 64; ++depth) {
    auto parent = session.Local(window->parent);
    if (!parent) break;
    window = parent;
  }
  return window;
}

bool InsideOf(Session& session, uint32_t ancestor, uint32_t handle) {
  for (int depth = 0; handle && depth < 64; ++depth) {
    if (handle == ancestor) return true;
    auto w = session.Local(handle);
    handle = w ? w->parent : 0;
  }
  return false;
}

std::shared_ptr<Window> OwnThreadWindow(HWND hwnd, bool* elsewhere) {
  *elsewhere = false;
  Session* session = Session::Current();
  if (!session) return nullptr;
  uint32_t handle = HandleValue(hwnd);
  std::shared_ptr<Window> w = handle ? session->Local(handle) : nullptr;
  if (w && !w->destroyed && w->tid == CurrentThreadId()) return w;
  *elsewhere = (w && !w->destroyed) || (!w && handle && session->table().Lives(handle));
  if (!*elsewhere) SetLastError(ERROR_INVALID_WINDOW_HANDLE);
  return nullptr;
}

void BringToForeground(Session& session, const Window& window) { session.table().Raise(window.handle, true); }

void Activate(const std::shared_ptr<Window>& w) {
  ThreadQueue& queue = *w->queue;
  Session& session = *queue.session();
  if (queue.active != w->handle) {
    uint32_t old = queue.active;
    queue.active = w->handle;
    if (auto previous = old ? session.Local(old) : nullptr) CallProc(previous, WM_ACTIVATE, WA_INACTIVE, w->handle);
    CallProc(w, WM_ACTIVATE, WA_ACTIVE, static_cast<LPARAM>(old));
  }
  // Others see it in front once it has taken the focus.
  if (!w->destroyed) BringToForeground(session, *w);
}

HWND SetFocusOnThread(ThreadQueue& queue, const std::shared_ptr<Window>& w) {
  Session& session = *queue.session();
  uint32_t before = queue.focus;
  if (w) {
    auto top = TopLevelOf(session, w);
    if (top && queue.active != top->handle && top->tid == queue.tid()) Activate(top);
    if (w->destroyed) return ToHwnd(before);
  }
  uint32_t old = queue.focus;
  uint32_t target = w ? w->handle : 0;
  if (old == target) return ToHwnd(before);
  queue.focus = target;
  PublishFocus(session.table(), old, false);
  PublishFocus(session.table(), target, true);
  if (old) CallProc(session.Local(old), WM_KILLFOCUS, reinterpret_cast<WPARAM>(ToHwnd(target)), 0);
  if (w && queue.focus == target) CallProc(w, WM_SETFOCUS, reinterpret_cast<WPARAM>(ToHwnd(old)), 0);
  return ToHwnd(before);
}

bool ShowOnThread(const std::shared_ptr<Window>& w, int command) {
  Session& session = *w->queue->session();
  bool was = w->Visible();
  bool show = command != SW_HIDE;
  if (show != was) {
    CallProc(w, WM_SHOWWINDOW, show, 0);
    if (w->destroyed) return was;
    w->style = show ? (w->style | WS_VISIBLE) : (w->style & ~WS_VISIBLE);
    PublishStyle(*w);
    if (show) {
      MarkShown(session, *w);
    } else {
      SetNeedsPaint(*w, false, false);
      LetGoWhenHidden(session, *w->queue, w);
    }
  }
  if (show && !w->parent && Activates(command) && !(w->ex_style & WS_EX_NOACTIVATE)) Activate(w);
  return was;
}

bool EnableOnThread(const std::shared_ptr<Window>& w, bool enable) {
  bool was_disabled = !w->Enabled();
  if (enable != was_disabled) return was_disabled;
  ThreadQueue& queue = *w->queue;
  if (!enable && queue.focus && InsideOf(*queue.session(), w->handle, queue.focus)) SetFocusOnThread(queue, nullptr);
  w->style = enable ? (w->style & ~WS_DISABLED) : (w->style | WS_DISABLED);
  PublishStyle(*w);
  CallProc(w, WM_ENABLE, enable, 0);
  return was_disabled;
}

bool PlaceOnThread(const std::shared_ptr<Window>& w, HWND insert_after, int x, int y, int cx, int cy, UINT flags) {
  RECT old = w->rect;
  RECT r = old;
  if (!(flags & SWP_NOMOVE)) OffsetRect(&r, x - old.left, y - old.top);
  if (!(flags & SWP_NOSIZE)) {
    r.right = r.left + (cx > 0 ? cx : 0);
    r.bottom = r.top + (cy > 0 ? cy : 0);
  }
  w->rect = r;
  Session& session = *w->queue->session();
  if (!(flags & SWP_NOZORDER) && !w->parent) {
    if (insert_after == HWND_TOPMOST) w->ex_style |= WS_EX_TOPMOST;
    if (insert_after == HWND_NOTOPMOST) w->ex_style &= ~WS_EX_TOPMOST;
    if (insert_after != HWND_BOTTOM) session.table().Raise(w->handle, false);
  }
  if (flags & (SWP_SHOWWINDOW | SWP_HIDEWINDOW)) {
    bool show = flags & SWP_SHOWWINDOW;
    w->style = show ? (w->style | WS_VISIBLE) : (w->style & ~WS_VISIBLE);
    if (show) MarkShown(session, *w);
  }
  PublishStyle(*w);
  bool sized = (r.right - r.left) != (old.right - old.left) || (r.bottom - r.top) != (old.bottom - old.top);
  bool moved = r.left != old.left || r.top != old.top;
  if (sized) {
    RECT client = ClientRectOf(*w);
    CallProc(w, WM_SIZE, SIZE_RESTORED, MAKELPARAM(client.right, client.bottom));
  }
  if (moved && !w->destroyed) {
    RECT inset = ClientInset(w->style, w->ex_style);
    CallProc(w, WM_MOVE, 0, MAKELPARAM(r.left + inset.left, r.top + inset.top));
  }
  if ((sized || moved) && !(flags & SWP_NOREDRAW) && !w->destroyed) SetNeedsPaint(*w, true, true);
  if (!(flags & SWP_NOACTIVATE) && !w->parent && w->Visible() && !w->destroyed) Activate(w);
  return true;
}

}  // namespace cedev::gwes
