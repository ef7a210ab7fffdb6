#include "window.h"

#include "classes.h"
#include "dialog_state.h"
#include "metrics.h"
#include "thread_queue.h"
#include "window_table.h"

namespace cedev::gwes {

Window::~Window() {
  if (window_class) window_class->windows--;
}

RECT ClientInset(DWORD style, DWORD ex_style) {
  int frame = 0;
  if (style & (WS_BORDER | WS_DLGFRAME)) frame += kBorder;
  if ((ex_style & WS_EX_DLGMODALFRAME) || (style & WS_THICKFRAME)) frame += kDialogFrame;
  if (ex_style & WS_EX_CLIENTEDGE) frame += kEdge;
  int caption = (style & WS_CAPTION) == WS_CAPTION ? kCaptionHeight : 0;
  return RECT{frame, frame + caption, frame, frame};
}

RECT ClientRectOf(const Window& w) {
  RECT inset = ClientInset(w.style, w.ex_style);
  LONG cx = (w.rect.right - w.rect.left) - inset.left - inset.right;
  LONG cy = (w.rect.bottom - w.rect.top) - inset.top - inset.bottom;
  return RECT{0, 0, cx > 0 ? cx : 0, cy > 0 ? cy : 0};
}

namespace {

void Change(const Window& w, const std::function<void(WindowEntry&)>& change) {
  if (w.table) w.table->Change(w.handle, change);
}

uint32_t FlagsOf(const Window& w, uint32_t flags) {
  flags &= ~(kEnabled | kVisible);
  if (w.Enabled()) flags |= kEnabled;
  if (w.Visible()) flags |= kVisible;
  return flags;
}

}  // namespace

void PublishGeometry(const Window& w) {
  RECT inset = ClientInset(w.style, w.ex_style);
  RECT client = ClientRectOf(w);
  Change(w, [&](WindowEntry& e) {
    e.x = w.rect.left, e.y = w.rect.top;
    e.cx = w.rect.right - w.rect.left, e.cy = w.rect.bottom - w.rect.top;
    e.client_x = inset.left, e.client_y = inset.top;
    e.client_cx = client.right, e.client_cy = client.bottom;
  });
}

void PublishStyle(const Window& w) {
  Change(w, [&](WindowEntry& e) {
    e.style = w.style;
    e.ex_style = w.ex_style;
    e.id = w.id;
    e.flags = FlagsOf(w, e.flags);
  });
  PublishGeometry(w);
}

void PublishText(const Window& w, std::u16string_view shown) {
  Change(w, [&](WindowEntry& e) { WindowTable::StoreText(e, shown); });
}

void PublishFocus(WindowTable& table, uint32_t handle, bool focused) {
  if (!handle) return;
  table.Change(handle, [&](WindowEntry& e) {
    e.flags = focused ? e.flags | kFocused : e.flags & ~kFocused;
  });
}

void PublishChecked(const Window& w, uint32_t checked) {
  Change(w, [&](WindowEntry& e) { e.checked = checked; });
}

LRESULT CallProc(const std::shared_ptr<Window>& window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (!window || window->destroyed || !window->proc) return 0;
  std::shared_ptr<Window> keep = window;  // the procedure may destroy it
  return keep->proc(keep->hwnd(), message, wparam, lparam);
}

void SetNeedsPaint(Window& window, bool needs, bool erase) {
  if (!window.queue) return;
  needs = needs && window.Visible() && !window.destroyed;
  if (needs != window.needs_paint) window.queue->paint_count += needs ? 1 : -1;
  window.needs_paint = needs;
  window.erase = needs && (window.erase || erase);
}

}  // namespace cedev::gwes
