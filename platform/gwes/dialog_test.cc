// Dialogs: templates and dialog units, the messages of a dialog's making,
// the modal loop with its disabled owner, the dialog manager's keys, and a
// message box inside a dialog inside a window.
#include <thread>

#include "gwes_test_fixture.h"

namespace cedev::gwes {
namespace {

MessageLog* g_dialog_log = nullptr;
std::function<INT_PTR(HWND, UINT, WPARAM, LPARAM)> g_dialog_handler;

INT_PTR CALLBACK LoggingDialog(HWND dialog, UINT msg, WPARAM wparam, LPARAM lparam) {
  if (g_dialog_log) g_dialog_log->LogMessage(dialog, msg, wparam, lparam);
  return g_dialog_handler ? g_dialog_handler(dialog, msg, wparam, lparam) : FALSE;
}

const CE_DIALOG_ITEM kPasswordItems[] = {
    {u"STATIC", MAKEINTRESOURCEW(106), 1003, WS_VISIBLE | SS_ICON, 0, 6, 6, 16, 16},
    {u"STATIC", u"Password:", 1004, WS_VISIBLE, 0, 7, 90, 32, 12},
    {u"EDIT", u"", 1001, WS_VISIBLE | WS_BORDER | WS_TABSTOP | ES_PASSWORD | ES_AUTOHSCROLL, 0, 40, 90, 84, 12},
    {u"EDIT", u"", 1002, WS_VISIBLE | WS_BORDER | WS_TABSTOP | ES_PASSWORD | ES_AUTOHSCROLL, 0, 40, 104, 84, 12},
    {u"BUTTON", u"Yes", 6, WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0, 37, 120, 32, 18},
    {u"BUTTON", u"No", 7, WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 0, 71, 120, 32, 18},
};
const CE_DIALOG_TEMPLATE kTemplates[] = {
    {104, WS_POPUP | WS_CAPTION | DS_MODALFRAME | DS_CENTER | DS_SETFONT | DS_SETFOREGROUND, 0, 0, 0, 132, 140,
     u"Password", u"MS", 9, kPasswordItems, 6},
};

class DialogTest : public GwesTest {
 protected:
  DialogTest() {
    g_dialog_log = &log_;
    g_dialog_handler = nullptr;
    CeRegisterDialogTemplates(nullptr, kTemplates, 1);
  }
  ~DialogTest() override {
    g_dialog_log = nullptr;
    g_dialog_handler = nullptr;
    CeSetMessageBoxAnswerer(nullptr, nullptr);
  }

  // Takes the dialog's input as the dialog manager does.
  static void PumpDialog(HWND dialog) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (!IsDialogMessageW(dialog, &msg)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
      }
    }
  }
  static void Key(BYTE vk, bool shift = false) {
    if (shift) keybd_event(VK_SHIFT, 0, 0, 0);
    keybd_event(vk, 0, 0, 0);
    keybd_event(vk, 0, KEYEVENTF_KEYUP, 0);
    if (shift) keybd_event(VK_SHIFT, 0, KEYEVENTF_KEYUP, 0);
  }
};

std::vector<std::pair<UINT, WPARAM>> DialogMessages(const std::vector<SeenMessage>& seen, HWND dialog) {
  std::vector<std::pair<UINT, WPARAM>> out;
  for (const auto& m : seen) {
    if (m.hwnd == dialog) out.emplace_back(m.message, m.wparam);
  }
  return out;
}

TEST_F(DialogTest, AModalDialogIsMadeInitialisedShownAndEndedWithItsOwnerDisabledMeanwhile) {
  HWND owner = CreateLoggedWindow(WS_VISIBLE);
  log_.Take();
  HWND seen_dialog = nullptr;
  BOOL owner_enabled_inside = TRUE;
  g_dialog_handler = [&](HWND dialog, UINT msg, WPARAM wparam, LPARAM lparam) -> INT_PTR {
    if (msg == WM_INITDIALOG) {
      seen_dialog = dialog;
      EXPECT_EQ(lparam, 1234);
      EXPECT_EQ(reinterpret_cast<HWND>(wparam), GetDlgItem(dialog, 1001));
      PostMessageW(dialog, WM_USER, 0, 0);
      return TRUE;
    }
    if (msg == WM_USER) {
      owner_enabled_inside = IsWindowEnabled(owner);
      EXPECT_EQ(GetFocus(), GetDlgItem(dialog, 1001));
      EndDialog(dialog, 5);
      return TRUE;
    }
    return FALSE;
  };
  EXPECT_EQ(DialogBoxParamW(nullptr, MAKEINTRESOURCEW(104), owner, LoggingDialog, 1234), 5);
  ASSERT_NE(seen_dialog, nullptr);
  EXPECT_FALSE(owner_enabled_inside);
  auto messages = DialogMessages(log_.Take(), seen_dialog);
  ASSERT_GE(messages.size(), 6u);
  // The dialog procedure comes in once the window and its controls exist.
  EXPECT_EQ(messages[0].first, static_cast<UINT>(WM_SETFONT));
  EXPECT_EQ(messages[1].first, static_cast<UINT>(WM_INITDIALOG));
  EXPECT_EQ(messages[2], std::make_pair(static_cast<UINT>(WM_SHOWWINDOW), WPARAM{TRUE}));
  EXPECT_EQ(messages[3], std::make_pair(static_cast<UINT>(WM_ACTIVATE), WPARAM{WA_ACTIVE}));
  EXPECT_EQ(messages[4], std::make_pair(static_cast<UINT>(WM_COMMAND), WPARAM{MAKEWPARAM(1001, EN_SETFOCUS)}));
  EXPECT_EQ(messages[messages.size() - 2].first, static_cast<UINT>(WM_DESTROY));
  EXPECT_EQ(messages.back().first, static_cast<UINT>(WM_NCDESTROY));
  EXPECT_FALSE(IsWindow(seen_dialog));
  EXPECT_TRUE(IsWindowEnabled(owner));
  EXPECT_EQ(GetActiveWindow(), owner);
  EXPECT_EQ(GetFocus(), owner);
}

TEST_F(DialogTest, TemplatesPlaceControlsInDialogUnitsAndIconItemsNameTheirIcon) {
  HWND dialog = CreateDialogParamW(nullptr, MAKEINTRESOURCEW(104), nullptr, LoggingDialog, 0);
  ASSERT_NE(dialog, nullptr);
  WCHAR klass[16];
  GetClassNameW(dialog, klass, 16);
  EXPECT_EQ(std::u16string(klass), u"Dialog");
  RECT client;
  GetClientRect(dialog, &client);
  EXPECT_EQ(client.right, 198);  // 132 units of 6 pixels per 4
  EXPECT_EQ(client.bottom, 210);  // 140 units of 12 pixels per 8
  RECT item;
  GetWindowRect(GetDlgItem(dialog, 1001), &item);
  POINT origin{0, 0};
  ClientToScreen(dialog, &origin);
  EXPECT_EQ(item.left - origin.x, 60);
  EXPECT_EQ(item.top - origin.y, 135);
  EXPECT_EQ(item.right - item.left, 126);
  EXPECT_EQ(item.bottom - item.top, 18);
  WCHAR icon[4] = {};
  EXPECT_EQ(GetDlgItemTextW(dialog, 1003, icon, 4), 2u);
  EXPECT_EQ(std::u16string(icon), (std::u16string{u'\xFFFF', u'\x006A'}));
  RECT r{1, 2, 5, 8};
  ASSERT_TRUE(MapDialogRect(dialog, &r));
  EXPECT_EQ(r.left, 1);
  EXPECT_EQ(r.top, 3);
  EXPECT_EQ(r.right, 7);
  EXPECT_EQ(r.bottom, 12);
  EXPECT_EQ(GetDialogBaseUnits(), MAKELONG(6, 12));
  EXPECT_EQ(SendMessageW(dialog, DM_GETDEFID, 0, 0), MAKELRESULT(7, DC_HASDEFID));
  DestroyWindow(dialog);
}

TEST_F(DialogTest, AnUnknownTemplateOrItemClassFailsTheDialogAndLeavesNothing) {
  EXPECT_FAILS_WITH(DialogBoxParamW(nullptr, MAKEINTRESOURCEW(999), nullptr, LoggingDialog, 0), INT_PTR{-1},
                    ERROR_RESOURCE_NAME_NOT_FOUND);
  static const CE_DIALOG_ITEM kBadItems[] = {{u"BUTTON", u"OK", IDOK, WS_VISIBLE, 0, 0, 0, 10, 10},
                                             {u"SysListView32", u"", 5, WS_VISIBLE, 0, 0, 20, 10, 10}};
  static const CE_DIALOG_TEMPLATE kBad = {1, WS_POPUP | WS_CAPTION, 0, 0, 0, 50, 50, u"Bad", nullptr, 0, kBadItems, 2};
  EXPECT_FAILS_WITH(DialogBoxIndirectParamW(nullptr, &kBad, nullptr, LoggingDialog, 0), INT_PTR{-1},
                    ERROR_CANNOT_FIND_WND_CLASS);
  EXPECT_EQ(FindWindowW(u"Dialog", u"Bad"), nullptr);
  EXPECT_TRUE(log_.Take().empty());  // the dialog procedure never ran
  EXPECT_FAILS_WITH(CreateDialogIndirectParamW(nullptr, &kBad, nullptr, LoggingDialog, 0), HWND{},
                    ERROR_CANNOT_FIND_WND_CLASS);
}

TEST_F(DialogTest, TabEnterAndEscapeWorkThroughTheDialogManager) {
  std::vector<WORD> commands;
  g_dialog_handler = [&](HWND, UINT msg, WPARAM wparam, LPARAM) -> INT_PTR {
    if (msg == WM_COMMAND && HIWORD(wparam) == BN_CLICKED) commands.push_back(LOWORD(wparam));
    return msg == WM_INITDIALOG;
  };
  HWND dialog = CreateDialogParamW(nullptr, MAKEINTRESOURCEW(104), nullptr, LoggingDialog, 0);
  ASSERT_NE(dialog, nullptr);
  ShowWindow(dialog, SW_SHOW);
  HWND first = GetDlgItem(dialog, 1001), confirm = GetDlgItem(dialog, 1002);
  HWND yes = GetDlgItem(dialog, 6), no = GetDlgItem(dialog, 7);
  EXPECT_EQ(GetFocus(), first);
  EXPECT_EQ(GetForegroundWindow(), dialog);
  Key(VK_TAB);
  PumpDialog(dialog);
  EXPECT_EQ(GetFocus(), confirm);
  Key(VK_TAB);
  Key(VK_TAB);
  PumpDialog(dialog);
  EXPECT_EQ(GetFocus(), no);
  Key(VK_TAB);  // round to the first tab stop; the icon and the label have none
  PumpDialog(dialog);
  EXPECT_EQ(GetFocus(), first);
  Key(VK_TAB, true);
  PumpDialog(dialog);
  EXPECT_EQ(GetFocus(), no);
  Key(VK_TAB, true);
  PumpDialog(dialog);
  EXPECT_EQ(GetFocus(), yes);

  // Enter presses the focused push button, else the default one.
  Key(VK_RETURN);
  PumpDialog(dialog);
  SetFocus(first);
  Key('S');
  Key(VK_RETURN);
  PumpDialog(dialog);
  Key(VK_ESCAPE);
  PumpDialog(dialog);
  EXPECT_EQ(commands, (std::vector<WORD>{6, 7, IDCANCEL}));
  // The letter went to the edit, and Enter and Escape gave it no character.
  WCHAR text[8];
  EXPECT_EQ(GetDlgItemTextW(dialog, 1001, text, 8), 1u);
  EXPECT_EQ(std::u16string(text), u"s");
  EXPECT_EQ(GetNextDlgTabItem(dialog, no, FALSE), first);
  EXPECT_EQ(GetNextDlgTabItem(dialog, first, TRUE), no);
  EnableWindow(no, FALSE);
  EXPECT_EQ(GetNextDlgTabItem(dialog, yes, FALSE), first);
  DestroyWindow(dialog);
}

int BoxInsideDialog(LPCWSTR, LPCWSTR, UINT, void* context) {
  auto* checks = static_cast<std::vector<BOOL>*>(context);
  HWND main = FindWindowW(MessageLog::kLoggedClass, u"main");
  HWND dialog = FindWindowW(u"Dialog", u"Password");
  checks->push_back(IsWindowEnabled(main));
  checks->push_back(IsWindowEnabled(dialog));
  return IDYES;
}

TEST_F(DialogTest, AMessageBoxInsideAModalDialogInsideAWindowDisablesEachOwnerInTurn) {
  HWND main = CreateLoggedWindow(WS_VISIBLE, nullptr, 0, u"main");
  std::vector<BOOL> enabled;
  CeSetMessageBoxAnswerer(BoxInsideDialog, &enabled);
  g_dialog_handler = [&](HWND dialog, UINT msg, WPARAM, LPARAM) -> INT_PTR {
    if (msg == WM_INITDIALOG) {
      PostMessageW(dialog, WM_USER, 0, 0);
      return TRUE;
    }
    if (msg == WM_USER) {
      int answer = MessageBoxW(GetDlgItem(dialog, 1001), u"Sure?", u"Confirm", MB_YESNO | MB_TOPMOST);
      EXPECT_TRUE(IsWindowEnabled(dialog));  // back once the box is gone
      EXPECT_EQ(GetActiveWindow(), dialog);
      EndDialog(dialog, answer);
      return TRUE;
    }
    return FALSE;
  };
  EXPECT_EQ(DialogBoxParamW(nullptr, MAKEINTRESOURCEW(104), main, LoggingDialog, 0), IDYES);
  EXPECT_EQ(enabled, (std::vector<BOOL>{FALSE, FALSE}));
  EXPECT_TRUE(IsWindowEnabled(main));
  EXPECT_EQ(GetActiveWindow(), main);
}

TEST_F(DialogTest, DialogItemHelpersReadAndWriteItemsOfAnyDialog) {
  HWND dialog = CreateDialogParamW(nullptr, MAKEINTRESOURCEW(104), nullptr, LoggingDialog, 0);
  ASSERT_TRUE(SetDlgItemInt(dialog, 1001, static_cast<UINT>(-42), TRUE));
  BOOL ok = FALSE;
  EXPECT_EQ(static_cast<int>(GetDlgItemInt(dialog, 1001, &ok, TRUE)), -42);
  EXPECT_TRUE(ok);
  EXPECT_EQ(GetDlgItemInt(dialog, 1001, &ok, FALSE), 0u);
  EXPECT_FALSE(ok);
  EXPECT_FAILS_WITH(GetDlgItem(dialog, 4242), HWND{}, ERROR_CONTROL_ID_NOT_FOUND);
  WCHAR text[4] = {u'#', u'#'};
  EXPECT_FAILS_WITH(GetDlgItemTextW(dialog, 4242, text, 4), 0u, ERROR_CONTROL_ID_NOT_FOUND);
  EXPECT_EQ(text[0], u'\0');
  EXPECT_EQ(GetDlgCtrlID(GetDlgItem(dialog, 6)), 6);
  EXPECT_EQ(GetDlgCtrlID(dialog), 0);
  DestroyWindow(dialog);
}

}  // namespace
}  // namespace cedev::gwes
