// The "COMBOBOX" class, as a drop-down list above all: a list of texts of
// which one is selected, and the window text is the selected item's. A
// selection the user makes (keys, or a choice through the automation API)
// tells the parent CBN_SELCHANGE; one the program makes does not.
#include <algorithm>
#include <string>
#include <vector>

#include "control_procs.h"
#include "control_util.h"
#include "window_ops.h"
#include "wstr.h"

namespace cedev::gwes {
namespace {

struct Item {
  std::u16string text;
  LPARAM data = 0;
};

struct ComboData : ControlData {
  std::vector<Item> items;
  int selected = CB_ERR;
  bool dropped = false;
};

bool IsList(const Window& w) { return (w.style & 3) == CBS_DROPDOWNLIST; }

void ShowSelection(Window& w, ComboData& data) {
  w.text = data.selected >= 0 ? data.items[static_cast<size_t>(data.selected)].text : std::u16string();
  PublishText(w, w.text);
}

LRESULT Select(Window& w, ComboData& data, LONG_PTR index) {
  if (index < 0 || index >= static_cast<LONG_PTR>(data.items.size())) {
    data.selected = CB_ERR;
    ShowSelection(w, data);
    return CB_ERR;
  }
  data.selected = static_cast<int>(index);
  ShowSelection(w, data);
  return index;
}

LRESULT Insert(Window& w, ComboData& data, LONG_PTR at, LPCWSTR text) {
  if (!text) return CB_ERR;
  Item item{std::u16string(WView(text)), 0};
  size_t count = data.items.size();
  size_t position;
  if (at == -2) {  // CB_ADDSTRING
    position = count;
    if (w.style & CBS_SORT) {
      position = static_cast<size_t>(std::upper_bound(data.items.begin(), data.items.end(), item,
                                                      [](const Item& a, const Item& b) {
                                                        return CompareNoCase(a.text, b.text) < 0;
                                                      }) - data.items.begin());
    }
  } else {
    if (at > static_cast<LONG_PTR>(count)) return CB_ERR;
    position = at < 0 ? count : static_cast<size_t>(at);
  }
  data.items.insert(data.items.begin() + static_cast<long>(position), std::move(item));
  if (data.selected >= static_cast<int>(position)) ++data.selected;
  return static_cast<LRESULT>(position);
}

// The first item after `after` (round the end) that begins with, or with
// `exact` equals, the text, compared without regard to case.
LRESULT Find(const ComboData& data, LONG_PTR after, LPCWSTR text, bool exact) {
  if (!text) return CB_ERR;
  std::u16string_view wanted = WView(text);
  int n = static_cast<int>(data.items.size());
  int start = after < 0 || after >= n ? 0 : static_cast<int>(after) + 1;
  for (int step = 0; step < n; ++step) {
    int i = (start + step) % n;
    std::u16string_view item = data.items[static_cast<size_t>(i)].text;
    bool match = exact ? EqualNoCase(item, wanted)
                       : item.size() >= wanted.size() && EqualNoCase(item.substr(0, wanted.size()), wanted);
    if (match) return i;
  }
  return CB_ERR;
}

LRESULT CopyItem(const ComboData& data, WPARAM index, LPWSTR out) {
  if (index >= data.items.size() || !out) return CB_ERR;
  const std::u16string& text = data.items[index].text;
  std::copy(text.begin(), text.end(), out);
  out[text.size()] = 0;
  return static_cast<LRESULT>(text.size());
}

// A selection the user makes: the parent hears of it.
void UserSelect(const std::shared_ptr<Window>& w, ComboData& data, LONG_PTR index) {
  if (index < 0 || index >= static_cast<LONG_PTR>(data.items.size()) || index == data.selected) return;
  Select(*w, data, index);
  Notify(*w, CBN_SELCHANGE);
}

void Key(const std::shared_ptr<Window>& w, ComboData& data, WPARAM vk) {
  LONG_PTR last = static_cast<LONG_PTR>(data.items.size()) - 1;
  switch (vk) {
    case VK_DOWN: case VK_RIGHT: UserSelect(w, data, data.selected < 0 ? 0 : data.selected + 1); break;
    case VK_UP: case VK_LEFT: UserSelect(w, data, data.selected - 1); break;
    case VK_HOME: UserSelect(w, data, 0); break;
    case VK_END: UserSelect(w, data, last); break;
    default: break;
  }
}

LRESULT ShowDropDown(const std::shared_ptr<Window>& w, ComboData& data, bool show) {
  if (show == data.dropped) return TRUE;
  data.dropped = show;
  Notify(*w, show ? CBN_DROPDOWN : CBN_CLOSEUP);
  return TRUE;
}

LRESULT SetText(const std::shared_ptr<Window>& w, ComboData& data, LPCWSTR text) {
  if (!IsList(*w)) return DefaultWindowMessage(w, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
  LRESULT found = text ? Find(data, -1, text, true) : CB_ERR;
  if (found == CB_ERR) return CB_ERR;
  Select(*w, data, found);
  return TRUE;
}

}  // namespace

LRESULT CALLBACK ComboBoxProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  std::shared_ptr<Window> w = LocalWindow(hwnd);
  if (!w) return 0;
  ComboData& data = DataOf<ComboData>(*w);
  auto text = reinterpret_cast<LPCWSTR>(lparam);
  switch (msg) {
    case WM_NCCREATE:
      return TRUE;  // a list's text is its selection, not the creation text
    case CB_ADDSTRING: return Insert(*w, data, -2, text);
    case CB_INSERTSTRING: return Insert(*w, data, static_cast<LONG_PTR>(static_cast<int>(wparam)), text);
    case CB_DELETESTRING: {
      if (wparam >= data.items.size()) return CB_ERR;
      data.items.erase(data.items.begin() + static_cast<long>(wparam));
      if (data.selected == static_cast<int>(wparam)) Select(*w, data, CB_ERR);
      else if (data.selected > static_cast<int>(wparam)) --data.selected;
      return static_cast<LRESULT>(data.items.size());
    }
    case CB_RESETCONTENT:
      data.items.clear();
      Select(*w, data, CB_ERR);
      return CB_OKAY;
    case CB_GETCOUNT: return static_cast<LRESULT>(data.items.size());
    case CB_GETCURSEL: return data.selected;
    case CB_SETCURSEL: return Select(*w, data, static_cast<LONG_PTR>(static_cast<int>(wparam)));
    case CB_SELECTSTRING: {
      LRESULT found = Find(data, static_cast<int>(wparam), text, false);
      return found == CB_ERR ? CB_ERR : Select(*w, data, found);
    }
    case CB_FINDSTRING: return Find(data, static_cast<int>(wparam), text, false);
    case CB_FINDSTRINGEXACT: return Find(data, static_cast<int>(wparam), text, true);
    case CB_GETLBTEXT: return CopyItem(data, wparam, reinterpret_cast<LPWSTR>(lparam));
    case CB_GETLBTEXTLEN:
      return wparam < data.items.size() ? static_cast<LRESULT>(data.items[wparam].text.size()) : CB_ERR;
    case CB_SETITEMDATA:
      if (wparam >= data.items.size()) return CB_ERR;
      data.items[wparam].data = lparam;
      return CB_OKAY;
    case CB_GETITEMDATA: return wparam < data.items.size() ? data.items[wparam].data : CB_ERR;
    case CB_SHOWDROPDOWN: return ShowDropDown(w, data, wparam != 0);
    case CB_GETDROPPEDSTATE: return data.dropped;
    case WM_SETTEXT: return SetText(w, data, text);
    case WM_KEYDOWN:
      Key(w, data, wparam);
      return 0;
    case WM_CHAR:
      if (wparam > u' ') {
        char16_t c = static_cast<char16_t>(wparam);
        char16_t prefix[2] = {c, 0};
        UserSelect(w, data, Find(data, data.selected, prefix, false));
      }
      return 0;
    case WM_GETDLGCODE: return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_SETFOCUS:
      Notify(*w, CBN_SETFOCUS);
      return 0;
    case WM_KILLFOCUS:
      if (data.dropped) ShowDropDown(w, data, false);
      Notify(*w, CBN_KILLFOCUS);
      return 0;
    default:
      return DefaultWindowMessage(w, msg, wparam, lparam);
  }
}

}  // namespace cedev::gwes
