// A device program for the window-system tests: other programs find its
// windows, read them and press their buttons. Its command line says what
// to show:
//   box FLAGS CAPTION...   MessageBoxW with that caption; returns the answer
//   dialog                 the dialog "Probe dialog": password edit 1001,
//                          combo box 259, OK; returns 11 when OK was pressed
//                          with "secret" in the edit, 12 otherwise
//   hang CAPTION           a window that nobody's messages are ever taken from
//   echo                   the window "Echo": WM_USER sends WM_USER + 1 with
//                          wParam to the window in lParam and returns its
//                          answer + 1
//   windows N              N windows "Probe 1" ... "Probe N"; ends when one
//                          of them is closed
#include <windows.h>

#include <string>
#include <vector>

#include "wstr.h"

namespace {

std::vector<std::u16string> Words(LPCWSTR cmdline) {
  std::vector<std::u16string> out;
  std::u16string word;
  for (const char16_t* p = cmdline; ; ++p) {
    if (!*p || *p == u' ') {
      if (!word.empty()) out.push_back(word);
      word.clear();
      if (!*p) break;
    } else {
      word += *p;
    }
  }
  return out;
}

std::u16string Rest(const std::vector<std::u16string>& words, size_t from) {
  std::u16string out;
  for (size_t i = from; i < words.size(); ++i) out += (i > from ? u" " : u"") + words[i];
  return out;
}

INT_PTR CALLBACK ProbeDialog(HWND dialog, UINT msg, WPARAM wparam, LPARAM) {
  if (msg == WM_INITDIALOG) return TRUE;
  if (msg == WM_COMMAND && LOWORD(wparam) == IDOK) {
    WCHAR text[32] = {};
    GetDlgItemTextW(dialog, 1001, text, 32);
    EndDialog(dialog, std::u16string(text) == u"secret" ? 11 : 12);
    return TRUE;
  }
  if (msg == WM_COMMAND && LOWORD(wparam) == IDCANCEL) {
    EndDialog(dialog, IDCANCEL);
    return TRUE;
  }
  return FALSE;
}

int RunDialog() {
  static const CE_DIALOG_ITEM kItems[] = {
      {u"EDIT", u"", 1001, WS_VISIBLE | WS_BORDER | WS_TABSTOP | ES_PASSWORD | ES_AUTOHSCROLL, 0, 8, 8, 80, 12},
      {u"COMBOBOX", u"", 259, WS_VISIBLE | WS_TABSTOP | CBS_DROPDOWNLIST, 0, 8, 24, 80, 60},
      {u"BUTTON", u"OK", IDOK, WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 0, 8, 44, 40, 14},
  };
  static const CE_DIALOG_TEMPLATE kDialog = {1, WS_POPUP | WS_CAPTION | DS_MODALFRAME | DS_CENTER, 0, 0, 0, 100, 70,
                                             u"Probe dialog", u"MS", 9, kItems, 3};
  return static_cast<int>(DialogBoxIndirectParamW(nullptr, &kDialog, nullptr, ProbeDialog, 0));
}

LRESULT CALLBACK ProbeWindow(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  if (msg == WM_USER) return SendMessageW(reinterpret_cast<HWND>(lparam), WM_USER + 1, wparam, 0) + 1;
  if (msg == WM_DESTROY) PostQuitMessage(0);
  return DefWindowProcW(hwnd, msg, wparam, lparam);
}

HWND Window(LPCWSTR title) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = ProbeWindow;
  wc.lpszClassName = u"Probe";
  RegisterClassW(&wc);
  return CreateWindowExW(0, u"Probe", title, WS_VISIBLE, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
}

int Pump() {
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return static_cast<int>(msg.wParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPWSTR lpCmdLine, int) {
  std::vector<std::u16string> words = Words(lpCmdLine);
  std::u16string verb = words.empty() ? u"" : words[0];
  if (verb == u"box" && words.size() >= 3) {
    std::u16string caption = Rest(words, 2);
    UINT flags = static_cast<UINT>(std::stoul(cedev::ToUtf8(words[1]), nullptr, 0));
    return MessageBoxW(nullptr, u"probe text", caption.c_str(), flags);
  }
  if (verb == u"dialog") return RunDialog();
  if (verb == u"hang" && words.size() >= 2) {
    Window(Rest(words, 1).c_str());
    Sleep(INFINITE);
  }
  if (verb == u"echo") {
    Window(u"Echo");
    return Pump();
  }
  if (verb == u"windows" && words.size() >= 2) {
    int n = std::stoi(cedev::ToUtf8(words[1]));
    for (int i = 1; i <= n; ++i) Window((u"Probe " + cedev::FromUtf8(std::to_string(i))).c_str());
    return Pump();
  }
  return 100;
}
