// The controls the status refresh keeps up to date, on a window of the test
// program, with a count of the writes each receives: the refresh must not
// rewrite what has not changed.
#pragma once

#include <windows.h>

#include <map>

#include "backup_location.h"
#include "res/resource.h"
#include "status_view.h"

class StatusPanel {
 public:
  StatusPanel() {
    current_ = this;
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.lpszClassName = u"StatusPanel";
    RegisterClassW(&wc);  // already there after the first panel of a device
    window_ = CreateWindowExW(0, u"StatusPanel", u"panel", WS_VISIBLE, 0, 0, 240, 320, nullptr, nullptr, nullptr,
                              nullptr);
    Add(u"COMBOBOX", IDC_LOCATION_BOX, WS_VSCROLL | CBS_DROPDOWNLIST);
    for (UINT id : {IDM_BACKUP, IDM_RESTORE, IDM_DELETE}) Add(u"BUTTON", id, 0);
    for (UINT id : {IDC_LAST_BACKUP_LINE, IDC_FREE_SPACE_LINE, IDC_USED_MEMORY_LINE}) Add(u"STATIC", id, SS_CENTER);
    SetWindowLocationSource(BoxText);
  }

  ~StatusPanel() {
    ForgetStatus();
    SetWindowLocationSource(nullptr);
    DestroyWindow(window_);
    current_ = nullptr;
  }

  StatusPanel(const StatusPanel&) = delete;
  StatusPanel& operator=(const StatusPanel&) = delete;

  HWND window() const { return window_; }
  HWND item(UINT id) const { return GetDlgItem(window_, static_cast<int>(id)); }

  // WM_SETTEXT, CB_RESETCONTENT ... received by the control since the last take.
  int Take(UINT id, UINT message) {
    int n = counts_[{id, message}];
    counts_[{id, message}] = 0;
    return n;
  }
  void Forget() { counts_.clear(); }

 private:
  void Add(LPCWSTR className, UINT id, DWORD style) {
    HWND control = CreateWindowExW(0, className, u"", WS_CHILD | WS_VISIBLE | style, 0, 0, 100, 20, window_,
                                   reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), nullptr, nullptr);
    procs_[id] = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&StatusPanel::Counting)));
  }

  static LRESULT CALLBACK Counting(HWND control, UINT message, WPARAM wParam, LPARAM lParam) {
    UINT id = static_cast<UINT>(GetDlgCtrlID(control));
    ++current_->counts_[{id, message}];
    return CallWindowProcW(current_->procs_[id], control, message, wParam, lParam);
  }

  // The window's location, as the main window gives it: the box's text.
  static BOOL BoxText(LPWSTR location) {
    WCHAR text[MAX_PATH] = {0};
    if (GetWindowTextW(current_->item(IDC_LOCATION_BOX), text, MAX_PATH) <= 0) return FALSE;
    for (int i = 0; i < MAX_PATH; ++i) {
      location[i] = text[i];
      if (!text[i]) break;
    }
    return TRUE;
  }

  static inline StatusPanel* current_ = nullptr;
  HWND window_ = nullptr;
  std::map<UINT, WNDPROC> procs_;
  std::map<std::pair<UINT, UINT>, int> counts_;
};
