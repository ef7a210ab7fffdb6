// The standard controls: what they tell their parent, what they keep, and
// what the window table shows of them.
#include "ce/automation.h"
#include "gwes_test_fixture.h"

namespace cedev::gwes {
namespace {

class ControlsTest : public GwesTest {
 protected:
  ControlsTest() : parent_(CreateLoggedWindow(WS_VISIBLE)) {}

  HWND Control(LPCWSTR klass, DWORD style, UINT id, LPCWSTR text = u"", int width = 120) {
    return CreateWindowExW(0, klass, text, WS_CHILD | WS_VISIBLE | style, 0, 0, width, 20, parent_,
                           reinterpret_cast<HMENU>(static_cast<uintptr_t>(id)), nullptr, nullptr);
  }
  // The notifications the parent got: (id, code).
  std::vector<std::pair<WORD, WORD>> Notifications() {
    std::vector<std::pair<WORD, WORD>> out;
    for (const auto& m : log_.Take()) {
      if (m.hwnd == parent_ && m.message == WM_COMMAND) out.emplace_back(LOWORD(m.wparam), HIWORD(m.wparam));
    }
    return out;
  }
  std::u16string Shown(HWND control) { return automation::Describe(control)->text; }

  HWND parent_;
};

using Notes = std::vector<std::pair<WORD, WORD>>;

TEST_F(ControlsTest, ButtonsTellTheirParentWhenClickedButNotWhenDisabled) {
  HWND button = Control(u"BUTTON", BS_PUSHBUTTON, 40002, u"Backup");
  log_.Take();
  SendMessageW(button, BM_CLICK, 0, 0);
  EXPECT_EQ(Notifications(), (Notes{{40002, BN_CLICKED}}));
  EXPECT_EQ(GetFocus(), button);
  EnableWindow(button, FALSE);
  SendMessageW(button, BM_CLICK, 0, 0);
  EXPECT_TRUE(Notifications().empty());
  EXPECT_EQ(SendMessageW(button, WM_GETDLGCODE, 0, 0), DLGC_BUTTON | DLGC_UNDEFPUSHBUTTON);
  SendMessageW(button, BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
  EXPECT_EQ(SendMessageW(button, WM_GETDLGCODE, 0, 0), DLGC_BUTTON | DLGC_DEFPUSHBUTTON);
}

TEST_F(ControlsTest, CheckBoxesAndRadioButtonsKeepTheirCheckForEveryoneToSee) {
  HWND box = Control(u"BUTTON", BS_AUTOCHECKBOX, 10);
  HWND first = Control(u"BUTTON", BS_AUTORADIOBUTTON | WS_GROUP, 11);
  HWND second = Control(u"BUTTON", BS_AUTORADIOBUTTON, 12);
  Control(u"BUTTON", BS_PUSHBUTTON | WS_GROUP, 13);
  SendMessageW(box, BM_CLICK, 0, 0);
  EXPECT_EQ(SendMessageW(box, BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_EQ(automation::Describe(box)->checked, static_cast<UINT>(BST_CHECKED));
  SendMessageW(box, BM_CLICK, 0, 0);
  EXPECT_EQ(IsDlgButtonChecked(parent_, 10), static_cast<UINT>(BST_UNCHECKED));
  SendMessageW(first, BM_CLICK, 0, 0);
  SendMessageW(second, BM_CLICK, 0, 0);
  EXPECT_EQ(IsDlgButtonChecked(parent_, 11), static_cast<UINT>(BST_UNCHECKED));
  EXPECT_EQ(IsDlgButtonChecked(parent_, 12), static_cast<UINT>(BST_CHECKED));
  CheckRadioButton(parent_, 11, 12, 11);
  EXPECT_EQ(IsDlgButtonChecked(parent_, 11), static_cast<UINT>(BST_CHECKED));
  EXPECT_EQ(IsDlgButtonChecked(parent_, 12), static_cast<UINT>(BST_UNCHECKED));
}

TEST_F(ControlsTest, APasswordEditKeepsItsTextAndShowsTheMask) {
  HWND edit = Control(u"EDIT", ES_PASSWORD | ES_AUTOHSCROLL | WS_BORDER, 1001);
  log_.Take();
  ASSERT_TRUE(automation::Type(edit, u"pw1"));
  EXPECT_EQ(Notifications(), (Notes{{1001, EN_UPDATE}, {1001, EN_CHANGE}, {1001, EN_UPDATE}, {1001, EN_CHANGE},
                                    {1001, EN_UPDATE}, {1001, EN_CHANGE}}));
  WCHAR text[8];
  EXPECT_EQ(GetWindowTextW(edit, text, 8), 3);
  EXPECT_EQ(std::u16string(text), u"pw1");
  EXPECT_EQ(Shown(edit), u"***");
  EXPECT_EQ(SendMessageW(edit, EM_GETPASSWORDCHAR, 0, 0), u'*');
  SendMessageW(edit, WM_CHAR, 8, 0);  // backspace
  EXPECT_EQ(GetWindowTextLengthW(edit), 2);
  SendMessageW(edit, EM_SETPASSWORDCHAR, 0, 0);
  EXPECT_EQ(Shown(edit), u"pw");
}

TEST_F(ControlsTest, EditsRefuseWhatPassesTheirLimitOrTheirWidth) {
  HWND limited = Control(u"EDIT", ES_AUTOHSCROLL, 1);
  SendMessageW(limited, EM_LIMITTEXT, 4, 0);
  EXPECT_EQ(SendMessageW(limited, EM_GETLIMITTEXT, 0, 0), 4);
  log_.Take();
  automation::Type(limited, u"abcdef");
  EXPECT_EQ(GetWindowTextLengthW(limited), 4);
  Notes notes = Notifications();
  EXPECT_EQ(std::count(notes.begin(), notes.end(), std::make_pair(WORD{1}, WORD{EN_MAXTEXT})), 2);
  // Without ES_AUTOHSCROLL a line takes what its width shows: 60 / 6 pixels.
  HWND narrow = Control(u"EDIT", 0, 2, u"", 60);
  automation::Type(narrow, u"0123456789abc");
  EXPECT_EQ(GetWindowTextLengthW(narrow), 10);
  // Numbers only, and replacing a selection.
  HWND number = Control(u"EDIT", ES_NUMBER | ES_AUTOHSCROLL, 3);
  automation::Type(number, u"1a2b3");
  SendMessageW(number, EM_SETSEL, 1, 2);
  SendMessageW(number, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(u"xy"));
  WCHAR text[16];
  GetWindowTextW(number, text, 16);
  EXPECT_EQ(std::u16string(text), u"1xy3");
  DWORD start = 0, end = 0;
  SendMessageW(number, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  EXPECT_EQ(start, 3u);
  EXPECT_EQ(end, 3u);
}

TEST_F(ControlsTest, AComboBoxShowsItsSelectionAndTellsOnlyTheUsersChoices) {
  HWND combo = Control(u"COMBOBOX", CBS_DROPDOWNLIST | WS_VSCROLL, 259);
  auto add = [&](LPCWSTR text) { return SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text)); };
  EXPECT_EQ(add(u"FlashDisk"), 0);
  EXPECT_EQ(add(u"Storage Card"), 1);
  EXPECT_EQ(add(u"SD"), 2);
  EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), CB_ERR);
  EXPECT_EQ(GetWindowTextLengthW(combo), 0);
  log_.Take();
  EXPECT_EQ(SendMessageW(combo, CB_SETCURSEL, 1, 0), 1);
  EXPECT_TRUE(Notifications().empty());  // the program's own choice
  EXPECT_EQ(Shown(combo), u"Storage Card");
  EXPECT_EQ(SendMessageW(combo, CB_SELECTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(u"flash")), 0);
  EXPECT_EQ(SendMessageW(combo, CB_SELECTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(u"none")), CB_ERR);
  EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), 0);  // unchanged by a miss
  SendMessageW(combo, WM_KEYDOWN, VK_DOWN, 0);
  EXPECT_EQ(Notifications(), (Notes{{259, CBN_SELCHANGE}}));
  ASSERT_TRUE(automation::Select(combo, u"sd"));
  EXPECT_EQ(Notifications(), (Notes{{259, CBN_SELCHANGE}}));
  EXPECT_EQ(automation::ComboItems(combo), (std::vector<std::u16string>{u"FlashDisk", u"Storage Card", u"SD"}));
  EXPECT_FAILS_WITH(automation::Select(combo, u"Network"), false, ERROR_NOT_FOUND);
  EXPECT_EQ(SendMessageW(combo, CB_SETCURSEL, 7, 0), CB_ERR);
  EXPECT_EQ(GetWindowTextLengthW(combo), 0);  // an index out of range clears the selection
  EXPECT_EQ(SendMessageW(combo, CB_DELETESTRING, 0, 0), 2);
  EXPECT_EQ(SendMessageW(combo, CB_RESETCONTENT, 0, 0), CB_OKAY);
  EXPECT_EQ(SendMessageW(combo, CB_GETCOUNT, 0, 0), 0);
}

TEST_F(ControlsTest, ASortedComboBoxPlacesNewItemsInOrderWithoutRegardToCase) {
  HWND combo = Control(u"COMBOBOX", CBS_DROPDOWNLIST | CBS_SORT, 5);
  for (LPCWSTR text : {u"beta", u"Alpha", u"gamma", u"ALPHA2"}) SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
  EXPECT_EQ(automation::ComboItems(combo), (std::vector<std::u16string>{u"Alpha", u"ALPHA2", u"beta", u"gamma"}));
}

TEST_F(ControlsTest, StaticsShowTextOrTheirIcon) {
  HWND label = Control(u"STATIC", SS_CENTER, 265, u"13/2/05 03:07 PM");
  EXPECT_EQ(Shown(label), u"13/2/05 03:07 PM");
  EXPECT_EQ(SendMessageW(label, WM_GETDLGCODE, 0, 0), DLGC_STATIC);
  HWND icon = Control(u"STATIC", SS_ICON, 1003, MAKEINTRESOURCEW(103));
  EXPECT_EQ(Shown(icon), (std::u16string{u'\xFFFF', u'\x0067'}));
  HICON loaded = LoadIconW(nullptr, IDI_ASTERISK);
  EXPECT_EQ(SendMessageW(icon, STM_SETICON, reinterpret_cast<WPARAM>(loaded), 0), 0);
  EXPECT_EQ(SendMessageW(icon, STM_GETICON, 0, 0), reinterpret_cast<LRESULT>(loaded));
}

}  // namespace
}  // namespace cedev::gwes
