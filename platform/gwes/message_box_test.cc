// The message box as a dialog: its items, ids, texts and styles, its
// owner, the ways it is answered through its window, and the automatic
// device user.
#include <atomic>
#include <chrono>
#include <thread>

#include "gwes_test_fixture.h"
#include "journal.h"

namespace cedev::gwes {
namespace {

struct Inspection {
  HWND box = nullptr;
  std::u16string icon;
  bool has_icon = false;
  std::vector<std::pair<int, std::u16string>> buttons;
  int default_id = 0;
  LONG ex_style = 0;
  BOOL owner_enabled = TRUE;
  HWND owner = nullptr;
  std::u16string text;
  int reply = 0;
};

// Answers after looking the box over through its window.
int Inspect(LPCWSTR caption, LPCWSTR, UINT, void* context) {
  auto* seen = static_cast<Inspection*>(context);
  seen->box = FindWindowW(u"Dialog", caption);
  WCHAR text[64] = {};
  SetLastError(0);
  seen->has_icon = GetDlgItem(seen->box, CE_MSGBOX_ICON_ID) != nullptr;
  if (seen->has_icon) {
    GetDlgItemTextW(seen->box, CE_MSGBOX_ICON_ID, text, 10);
    seen->icon = text;
  }
  GetDlgItemTextW(seen->box, CE_MSGBOX_TEXT_ID, text, 64);
  seen->text = text;
  for (int id = IDOK; id <= IDNO; ++id) {
    if (HWND button = GetDlgItem(seen->box, id)) {
      GetWindowTextW(button, text, 64);
      seen->buttons.emplace_back(id, text);
      if ((GetWindowLongW(button, GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON) seen->default_id = id;
    }
  }
  seen->ex_style = GetWindowLongW(seen->box, GWL_EXSTYLE);
  if (seen->owner) seen->owner_enabled = IsWindowEnabled(seen->owner);
  return seen->reply;
}

class MessageBoxTest : public GwesTest {
 protected:
  ~MessageBoxTest() override { CeSetMessageBoxAnswerer(nullptr, nullptr); }

  std::vector<std::string> Journal(const std::string& kind) {
    std::vector<std::string> out;
    for (const auto& e : JournalRead()) {
      if (e.kind == kind) out.push_back(e.text);
    }
    return out;
  }
};

TEST_F(MessageBoxTest, TheIconItemCarriesTheIconFlagAfterUFFFF) {
  const std::pair<UINT, char16_t> kIcons[] = {
      {MB_ICONHAND, u'\x0010'}, {MB_ICONQUESTION, u'\x0020'}, {MB_ICONEXCLAMATION, u'\x0030'},
      {MB_ICONINFORMATION, u'\x0040'}};
  for (const auto& [flag, unit] : kIcons) {
    Inspection seen;
    seen.reply = IDOK;
    CeSetMessageBoxAnswerer(Inspect, &seen);
    EXPECT_EQ(MessageBoxW(nullptr, u"Done", u"Tolvane Utility", MB_OK | flag | MB_TOPMOST), IDOK);
    EXPECT_TRUE(seen.has_icon);
    EXPECT_EQ(seen.icon, (std::u16string{u'\xFFFF', unit}));
  }
  Inspection plain;
  plain.reply = IDOK;
  CeSetMessageBoxAnswerer(Inspect, &plain);
  MessageBoxW(nullptr, u"Done", u"Plain", MB_OK);
  EXPECT_FALSE(plain.has_icon);
  EXPECT_EQ(plain.text, u"Done");
}

TEST_F(MessageBoxTest, ButtonsHaveTheirIdsTextsInTheUiLanguageAndTheDefaultStyle) {
  Inspection seen;
  seen.reply = IDCANCEL;
  CeSetMessageBoxAnswerer(Inspect, &seen);
  EXPECT_EQ(MessageBoxW(nullptr, u"Delete?", u"Question", MB_YESNOCANCEL | MB_DEFBUTTON2 | MB_TOPMOST), IDCANCEL);
  EXPECT_EQ(seen.buttons, (std::vector<std::pair<int, std::u16string>>{
                              {IDCANCEL, u"\u30AD\u30E3\u30F3\u30BB\u30EB"}, {IDYES, u"\u306F\u3044"},
                              {IDNO, u"\u3044\u3044\u3048"}}));
  EXPECT_EQ(seen.default_id, IDNO);
  EXPECT_TRUE(seen.ex_style & WS_EX_TOPMOST);
  EXPECT_FALSE(IsWindow(seen.box));
}

TEST_F(MessageBoxTest, TheOwnersTopLevelWindowIsDisabledWhileTheBoxIsOpen) {
  HWND main = CreateLoggedWindow(WS_VISIBLE);
  HWND control = CreateLoggedWindow(WS_CHILD | WS_VISIBLE, main, 40002);
  Inspection seen;
  seen.owner = main;
  seen.reply = IDNO;
  CeSetMessageBoxAnswerer(Inspect, &seen);
  EXPECT_EQ(MessageBoxW(control, u"Sure?", u"Owned", MB_YESNO), IDNO);
  EXPECT_FALSE(seen.owner_enabled);
  EXPECT_EQ(GetWindow(seen.box, GW_OWNER), nullptr);  // gone
  EXPECT_TRUE(IsWindowEnabled(main));
  EXPECT_EQ(GetActiveWindow(), main);
}

TEST_F(MessageBoxTest, ABoxWithoutOwnerOpensOnAWorkerThread) {
  Inspection seen;
  seen.reply = IDRETRY;
  CeSetMessageBoxAnswerer(Inspect, &seen);
  int answer = 0;
  std::thread worker([&] { answer = MessageBoxW(nullptr, u"Again?", u"Worker", MB_RETRYCANCEL); });
  worker.join();
  EXPECT_EQ(answer, IDRETRY);
  DWORD pid = 0;
  EXPECT_FALSE(GetWindowThreadProcessId(seen.box, &pid));  // gone with the answer
}

TEST_F(MessageBoxTest, WithNobodyToAnswerTheBoxWaitsForAPressThroughItsWindow) {
  std::thread presser([] {
    HWND box = nullptr;
    while (!(box = FindWindowW(u"Dialog", u"Waiting"))) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    // A close request is no answer to a Yes/No box; a press is.
    SendMessageW(box, WM_CLOSE, 0, 0);
    SendMessageW(box, WM_COMMAND, IDOK, 0);  // not one of its buttons
    EXPECT_TRUE(IsWindow(box));
    SendMessageW(box, WM_COMMAND, IDNO, 0);
  });
  EXPECT_EQ(MessageBoxW(nullptr, u"Go on?", u"Waiting", MB_YESNO), IDNO);
  presser.join();
  auto boxes = Journal("msgbox");
  ASSERT_FALSE(boxes.empty());
  EXPECT_EQ(boxes.back(), "caption \"Waiting\" text \"Go on?\" flags 0x4 answer no by press");
}

TEST_F(MessageBoxTest, ClosingABoxWithOkAloneAnswersOk) {
  std::thread closer([] {
    HWND box = nullptr;
    while (!(box = FindWindowW(u"Dialog", u"Notice"))) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    PostMessageW(box, WM_CLOSE, 0, 0);
  });
  EXPECT_EQ(MessageBoxW(nullptr, u"File.OpenForRead", u"Notice", MB_OK | MB_TOPMOST), IDOK);
  closer.join();
}

class AutomaticUserTest : public MessageBoxTest {
 protected:
  AutomaticUserTest() { SetUser(true, 100); }
  void SetUser(bool on, int delay_ms) {
    device_.device().UpdateSettings([&](DeviceSettings& s) {
      s.auto_user = on;
      s.auto_user_delay_ms = delay_ms;
    });
  }
};

TEST_F(AutomaticUserTest, PressesTheDefaultButtonOfABoxLeftOpenPastTheDelay) {
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(MessageBoxW(nullptr, u"Delete?", u"Auto", MB_YESNO | MB_DEFBUTTON2), IDNO);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(95));
  EXPECT_EQ(Journal("user").back(), "auto pressed no in \"Auto\"");
  EXPECT_EQ(Journal("msgbox").back(), "caption \"Auto\" text \"Delete?\" flags 0x104 answer no by default");
}

TEST_F(AutomaticUserTest, AnAnswererComesFirst) {
  Inspection seen;
  seen.reply = IDYES;
  CeSetMessageBoxAnswerer(Inspect, &seen);
  EXPECT_EQ(MessageBoxW(nullptr, u"Delete?", u"Auto", MB_YESNO | MB_DEFBUTTON2), IDYES);
  EXPECT_TRUE(Journal("user").empty());
}

INT_PTR CALLBACK EndingDialog(HWND dialog, UINT msg, WPARAM wparam, LPARAM) {
  if (msg == WM_COMMAND && (LOWORD(wparam) == IDOK || LOWORD(wparam) == IDCANCEL)) {
    EndDialog(dialog, LOWORD(wparam));
    return TRUE;
  }
  return msg == WM_INITDIALOG;
}

TEST_F(AutomaticUserTest, PressesOkOfADialogClosesOneWithoutOkAndLeavesOneWithoutButtons) {
  static const CE_DIALOG_ITEM kWithOk[] = {{u"BUTTON", u"OK", IDOK, WS_VISIBLE | BS_DEFPUSHBUTTON, 0, 4, 4, 30, 14}};
  static const CE_DIALOG_TEMPLATE kOk = {1, WS_POPUP | WS_CAPTION, 0, 0, 0, 60, 30, u"Owner Properties", nullptr, 0,
                                         kWithOk, 1};
  static const CE_DIALOG_ITEM kWithCancel[] = {{u"BUTTON", u"Cancel", IDCANCEL, WS_VISIBLE, 0, 4, 4, 30, 14}};
  static const CE_DIALOG_TEMPLATE kNoOk = {2, WS_POPUP | WS_CAPTION | WS_SYSMENU, 0, 0, 0, 60, 30,
                                           u"Date/Time Properties", nullptr, 0, kWithCancel, 1};
  // A progress dialog asks nothing and ends when its work ends: closing it
  // would ask to cancel that work.
  static const CE_DIALOG_ITEM kText[] = {{u"STATIC", u"Working", 1000, WS_VISIBLE, 0, 4, 4, 50, 14}};
  static const CE_DIALOG_TEMPLATE kProgress = {3, WS_POPUP | WS_CAPTION | WS_SYSMENU, 0, 0, 0, 60, 30, u"Progress",
                                               nullptr, 0, kText, 1};
  EXPECT_EQ(DialogBoxIndirectParamW(nullptr, &kOk, nullptr, EndingDialog, 0), IDOK);
  EXPECT_EQ(DialogBoxIndirectParamW(nullptr, &kNoOk, nullptr, EndingDialog, 0), IDCANCEL);
  std::thread work_ends([] {
    HWND progress = nullptr;
    for (int i = 0; i < 5000 && !progress; ++i) {
      progress = FindWindowW(u"Dialog", u"Progress");
      if (!progress) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(500));  // five times the user's delay
    PostMessageW(progress, WM_COMMAND, IDOK, 0);
  });
  EXPECT_EQ(DialogBoxIndirectParamW(nullptr, &kProgress, nullptr, EndingDialog, 0), IDOK);
  work_ends.join();
  auto presses = Journal("user");
  ASSERT_EQ(presses.size(), 2u);
  EXPECT_EQ(presses[0], "auto pressed ok in \"Owner Properties\"");
  EXPECT_EQ(presses[1], "auto pressed close in \"Date/Time Properties\"");
}

TEST_F(AutomaticUserTest, TurnedOnLaterItStillPresses) {
  SetUser(false, 0);
  std::thread later([this] {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    SetUser(true, 0);
  });
  EXPECT_EQ(MessageBoxW(nullptr, u"Waiting", u"Later", MB_OKCANCEL), IDOK);
  later.join();
}

}  // namespace
}  // namespace cedev::gwes
