// The "EDIT" class. A password edit keeps the real text and shows a mask:
// the window table (what other programs and the screen see) holds the
// mask, and WM_GETTEXT answers the real text to its own program only.
#include <algorithm>

#include "control_procs.h"
#include "control_util.h"
#include "metrics.h"
#include "window_ops.h"
#include "wstr.h"

namespace cedev::gwes {
namespace {

constexpr size_t kNoLimit = 0x7FFFFFFE;

struct EditData : ControlData {
  size_t limit = kNoLimit;
  size_t anchor = 0;  // selection: from anchor to caret
  size_t caret = 0;
  char16_t mask = u'*';
  bool modified = false;
};

bool Masked(const Window& w, const EditData& data) { return (w.style & ES_PASSWORD) && data.mask; }

std::u16string Shown(const Window& w, const EditData& data) {
  return Masked(w, data) ? std::u16string(w.text.size(), data.mask) : w.text;
}

void Publish(const Window& w, const EditData& data) { PublishText(w, Shown(w, data)); }

size_t SelStart(const EditData& d) { return std::min(d.anchor, d.caret); }
size_t SelEnd(const EditData& d) { return std::max(d.anchor, d.caret); }

// How many characters a single-line edit without ES_AUTOHSCROLL can show.
size_t VisibleRoom(const Window& w) {
  RECT client = ClientRectOf(w);
  return static_cast<size_t>(std::max<LONG>(client.right / kCharWidth, 1));
}

void SetText(const std::shared_ptr<Window>& w, EditData& data, std::u16string_view text, bool notify) {
  w->text = std::u16string(text);
  data.anchor = data.caret = 0;
  data.modified = false;
  Publish(*w, data);
  if (notify) {
    Notify(*w, EN_UPDATE);
    Notify(*w, EN_CHANGE);
  }
}

char16_t Converted(const Window& w, char16_t c) {
  if (w.style & ES_UPPERCASE) return FoldCase(c);
  if (w.style & ES_LOWERCASE) return LowerCase(c);
  return c;
}

// Replaces the selection; what does not fit the limit (or, without
// ES_AUTOHSCROLL, the visible width) is refused with EN_MAXTEXT.
void Replace(const std::shared_ptr<Window>& w, EditData& data, std::u16string_view insert) {
  size_t start = SelStart(data), end = SelEnd(data);
  size_t kept = w->text.size() - (end - start);
  size_t room = data.limit;
  if (!(w->style & (ES_AUTOHSCROLL | ES_MULTILINE))) room = std::min(room, VisibleRoom(*w));
  size_t fits = kept >= room ? 0 : room - kept;
  bool cut = insert.size() > fits;
  if (cut) insert = insert.substr(0, fits);
  if (insert.empty() && start == end) {
    if (cut) Notify(*w, EN_MAXTEXT);
    return;
  }
  std::u16string piece;
  for (char16_t c : insert) piece += Converted(*w, c);
  w->text.replace(start, end - start, piece);
  data.anchor = data.caret = start + piece.size();
  data.modified = true;
  Publish(*w, data);
  Notify(*w, EN_UPDATE);
  Notify(*w, EN_CHANGE);
  if (cut) Notify(*w, EN_MAXTEXT);
}

void Type(const std::shared_ptr<Window>& w, EditData& data, char16_t c) {
  if (w->style & ES_READONLY) return;
  if (c == 8) {
    if (SelStart(data) == SelEnd(data) && data.caret > 0) data.anchor = data.caret - 1;
    Replace(w, data, u"");
    return;
  }
  if (c < 0x20 && !(c == u'\r' && (w->style & ES_MULTILINE))) return;
  if ((w->style & ES_NUMBER) && (c < u'0' || c > u'9')) return;
  char16_t unit = c == u'\r' ? u'\n' : c;
  Replace(w, data, std::u16string_view(&unit, 1));
}

void Key(const std::shared_ptr<Window>& w, EditData& data, WPARAM vk) {
  bool extend = GetKeyState(VK_SHIFT) < 0;
  size_t length = w->text.size();
  switch (vk) {
    case VK_LEFT: if (data.caret > 0) --data.caret; break;
    case VK_RIGHT: if (data.caret < length) ++data.caret; break;
    case VK_HOME: data.caret = 0; break;
    case VK_END: data.caret = length; break;
    case VK_DELETE:
      if (w->style & ES_READONLY) return;
      if (SelStart(data) == SelEnd(data) && data.caret < length) data.anchor = data.caret + 1;
      Replace(w, data, u"");
      return;
    default: return;
  }
  if (!extend) data.anchor = data.caret;
}

void SetSelection(const Window& w, EditData& data, LONG_PTR start, LONG_PTR end) {
  size_t length = w.text.size();
  if (start < 0) {  // no selection: the caret stays where it is
    data.anchor = data.caret;
    return;
  }
  auto clamp = [&](LONG_PTR v) { return v < 0 || static_cast<size_t>(v) > length ? length : static_cast<size_t>(v); };
  data.anchor = clamp(start);
  data.caret = clamp(end);
}

LRESULT GetText(const Window& w, const EditData& data, WPARAM room, LPWSTR out) {
  if (!out || room == 0) return 0;
  // Another program asking sees what the screen shows, not the password.
  std::u16string text = w.queue && w.queue->serving_other_program ? Shown(w, data) : w.text;
  size_t n = std::min<size_t>(text.size(), room - 1);
  std::copy_n(text.data(), n, out);
  out[n] = 0;
  return static_cast<LRESULT>(n);
}

}  // namespace

LRESULT CALLBACK EditProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  std::shared_ptr<Window> w = LocalWindow(hwnd);
  if (!w) return 0;
  EditData& data = DataOf<EditData>(*w);
  switch (msg) {
    case WM_NCCREATE: {
      auto* cs = reinterpret_cast<CREATESTRUCTW*>(lparam);
      SetText(w, data, cs && cs->lpszName && !IS_INTRESOURCE(cs->lpszName) ? WView(cs->lpszName) : u"", false);
      return TRUE;
    }
    case WM_SETTEXT:
      SetText(w, data, lparam ? WView(reinterpret_cast<LPCWSTR>(lparam)) : u"", true);
      return TRUE;
    case WM_GETTEXT:
      return GetText(*w, data, wparam, reinterpret_cast<LPWSTR>(lparam));
    case WM_GETTEXTLENGTH:
      return static_cast<LRESULT>(w->text.size());
    case WM_CHAR:
      Type(w, data, static_cast<char16_t>(wparam));
      return 0;
    case WM_KEYDOWN:
      Key(w, data, wparam);
      return 0;
    case EM_GETSEL: {
      auto start = static_cast<DWORD>(SelStart(data)), end = static_cast<DWORD>(SelEnd(data));
      if (wparam) *reinterpret_cast<DWORD*>(wparam) = start;
      if (lparam) *reinterpret_cast<DWORD*>(lparam) = end;
      return MAKELRESULT(std::min<DWORD>(start, 0xFFFF), std::min<DWORD>(end, 0xFFFF));
    }
    case EM_SETSEL:
      SetSelection(*w, data, static_cast<LONG_PTR>(static_cast<LONG>(wparam)), static_cast<LONG>(lparam));
      return 0;
    case EM_REPLACESEL:
      Replace(w, data, lparam ? WView(reinterpret_cast<LPCWSTR>(lparam)) : u"");
      return 0;
    case EM_LIMITTEXT:
      data.limit = wparam ? static_cast<size_t>(wparam) : kNoLimit;
      return 0;
    case EM_GETLIMITTEXT:
      return static_cast<LRESULT>(data.limit);
    case EM_SETPASSWORDCHAR:
      data.mask = static_cast<char16_t>(wparam);
      w->style = data.mask ? (w->style | ES_PASSWORD) : (w->style & ~ES_PASSWORD);
      PublishStyle(*w);
      Publish(*w, data);
      return 0;
    case EM_GETPASSWORDCHAR:
      return (w->style & ES_PASSWORD) ? data.mask : 0;
    case EM_SETREADONLY:
      w->style = wparam ? (w->style | ES_READONLY) : (w->style & ~ES_READONLY);
      PublishStyle(*w);
      return TRUE;
    case EM_GETMODIFY:
      return data.modified;
    case EM_SETMODIFY:
      data.modified = wparam != 0;
      return 0;
    case EM_GETLINECOUNT:
      return 1 + std::count(w->text.begin(), w->text.end(), u'\n');
    case EM_LINELENGTH:
      return static_cast<LRESULT>(w->text.size());
    case EM_CANUNDO: case EM_UNDO:
      return 0;
    case EM_EMPTYUNDOBUFFER:
      return 0;
    case WM_GETDLGCODE:
      return DLGC_WANTCHARS | DLGC_HASSETSEL | DLGC_WANTARROWS |
             ((w->style & ES_MULTILINE) && (w->style & ES_WANTRETURN) ? DLGC_WANTALLKEYS : 0);
    case WM_SETFOCUS:
      Notify(*w, EN_SETFOCUS);
      return 0;
    case WM_KILLFOCUS:
      Notify(*w, EN_KILLFOCUS);
      return 0;
    default:
      return DefaultWindowMessage(w, msg, wparam, lparam);
  }
}

}  // namespace cedev::gwes
