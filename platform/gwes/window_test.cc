// Windows: creation and destruction with their messages in order, classes,
// texts, geometry, window longs, finding windows, and what a handle that is
// no window gets.
#include <algorithm>
#include <set>

#include "gwes_test_fixture.h"

namespace cedev::gwes {
namespace {

using WindowTest = GwesTest;

TEST_F(WindowTest, AVisibleTopLevelWindowIsCreatedShownAndActivatedInOrder) {
  HWND w = CreateLoggedWindow(WS_VISIBLE | WS_CAPTION);
  ASSERT_NE(w, nullptr);
  auto seen = log_.Take();
  Messages order;
  for (const auto& m : seen) order.push_back(m.message);
  EXPECT_EQ(order, (Messages{WM_NCCREATE, WM_CREATE, WM_SIZE, WM_MOVE, WM_SHOWWINDOW, WM_ACTIVATE, WM_SETFOCUS}));
  EXPECT_EQ(seen[2].wparam, static_cast<WPARAM>(SIZE_RESTORED));
  // A caption of 24 pixels and a one-pixel border around a 100 x 80 window.
  EXPECT_EQ(seen[2].lparam, MAKELPARAM(98, 54));
  EXPECT_EQ(seen[4].wparam, static_cast<WPARAM>(TRUE));
  EXPECT_EQ(LOWORD(seen[5].wparam), WA_ACTIVE);
  EXPECT_EQ(GetFocus(), w);
  EXPECT_EQ(GetActiveWindow(), w);
  EXPECT_EQ(GetForegroundWindow(), w);
  // Painting waits until the queue is otherwise empty.
  EXPECT_EQ(PumpPending(), 1);
  EXPECT_EQ(log_.TakeMessages(), (Messages{WM_PAINT, WM_ERASEBKGND}));
  EXPECT_EQ(PumpPending(), 0);
}

TEST_F(WindowTest, ChildrenAreCreatedWithoutActivationAndDestroyedParentFirstThenChildrenFirst) {
  HWND parent = CreateLoggedWindow(WS_VISIBLE);
  HWND first = CreateLoggedWindow(WS_CHILD | WS_VISIBLE, parent, 11);
  HWND second = CreateLoggedWindow(WS_CHILD, parent, 12);
  ASSERT_TRUE(parent && first && second);
  auto seen = log_.Take();
  std::vector<std::pair<HWND, UINT>> children;
  for (const auto& m : seen) {
    if (m.hwnd != parent) children.emplace_back(m.hwnd, m.message);
  }
  EXPECT_EQ(children, (std::vector<std::pair<HWND, UINT>>{
                          {first, WM_NCCREATE}, {first, WM_CREATE}, {first, WM_SIZE}, {first, WM_MOVE},
                          {first, WM_SHOWWINDOW}, {second, WM_NCCREATE}, {second, WM_CREATE}, {second, WM_SIZE},
                          {second, WM_MOVE}}));
  EXPECT_EQ(GetFocus(), parent);

  ASSERT_TRUE(DestroyWindow(parent));
  std::vector<std::pair<HWND, UINT>> destruction;
  for (const auto& m : log_.Take()) destruction.emplace_back(m.hwnd, m.message);
  EXPECT_EQ(destruction, (std::vector<std::pair<HWND, UINT>>{
                             {parent, WM_KILLFOCUS}, {parent, WM_ACTIVATE}, {parent, WM_DESTROY}, {first, WM_DESTROY},
                             {second, WM_DESTROY}, {first, WM_NCDESTROY}, {second, WM_NCDESTROY},
                             {parent, WM_NCDESTROY}}));
  EXPECT_FALSE(IsWindow(parent));
  EXPECT_FALSE(IsWindow(first));
  EXPECT_FALSE(IsWindow(second));
  EXPECT_EQ(GetFocus(), nullptr);
  EXPECT_EQ(GetActiveWindow(), nullptr);
}

TEST_F(WindowTest, CreationStopsWhenNcCreateOrCreateRefuse) {
  log_.handler = [](HWND, UINT msg, WPARAM, LPARAM) -> std::optional<LRESULT> {
    if (msg == WM_NCCREATE) return FALSE;
    return std::nullopt;
  };
  EXPECT_EQ(CreateLoggedWindow(WS_VISIBLE), nullptr);
  EXPECT_EQ(log_.TakeMessages(), (Messages{WM_NCCREATE, WM_NCDESTROY}));

  log_.handler = [](HWND, UINT msg, WPARAM, LPARAM) -> std::optional<LRESULT> {
    if (msg == WM_CREATE) return -1;
    return std::nullopt;
  };
  EXPECT_EQ(CreateLoggedWindow(WS_VISIBLE), nullptr);
  EXPECT_EQ(log_.TakeMessages(), (Messages{WM_NCCREATE, WM_CREATE, WM_DESTROY, WM_NCDESTROY}));
}

TEST_F(WindowTest, OwnedWindowsGoBeforeTheirOwnerAndActivationReturnsToTheOwner) {
  HWND owner = CreateLoggedWindow(WS_VISIBLE);
  HWND owned = CreateLoggedWindow(WS_VISIBLE | WS_POPUP, owner);
  ASSERT_TRUE(owner && owned);
  EXPECT_EQ(GetActiveWindow(), owned);
  EXPECT_EQ(GetParent(owned), owner);
  EXPECT_EQ(GetWindow(owned, GW_OWNER), owner);
  log_.Take();
  ASSERT_TRUE(DestroyWindow(owned));
  EXPECT_EQ(GetActiveWindow(), owner);
  EXPECT_EQ(GetFocus(), owner);
  ASSERT_TRUE(DestroyWindow(owner));
  HWND again = CreateLoggedWindow(WS_VISIBLE);
  HWND owned_again = CreateLoggedWindow(WS_POPUP, again);
  log_.Take();
  ASSERT_TRUE(DestroyWindow(again));
  std::vector<std::pair<HWND, UINT>> order;
  for (const auto& m : log_.Take()) {
    if (m.message == WM_DESTROY || m.message == WM_NCDESTROY) order.emplace_back(m.hwnd, m.message);
  }
  EXPECT_EQ(order, (std::vector<std::pair<HWND, UINT>>{{owned_again, WM_DESTROY}, {owned_again, WM_NCDESTROY},
                                                       {again, WM_DESTROY}, {again, WM_NCDESTROY}}));
}

TEST_F(WindowTest, ClassesAreRegisteredOnceAndKeptWhileTheyHaveWindows) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = DefWindowProcW;
  wc.lpszClassName = u"TwiceClass";
  wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<uintptr_t>(0x4000001A));
  wc.style = CS_HREDRAW | CS_VREDRAW;
  ATOM atom = RegisterClassW(&wc);
  EXPECT_GE(atom, 0xC000);
  wc.lpszClassName = u"twiceCLASS";
  EXPECT_FAILS_WITH(RegisterClassW(&wc), ATOM{0}, ERROR_CLASS_ALREADY_EXISTS);
  WNDCLASSW info{};
  ASSERT_TRUE(GetClassInfoW(nullptr, u"TWICECLASS", &info));
  EXPECT_EQ(std::u16string(info.lpszClassName), u"TwiceClass");
  EXPECT_EQ(info.style, static_cast<UINT>(CS_HREDRAW | CS_VREDRAW));

  HWND w = CreateWindowExW(0, MAKEINTRESOURCEW(atom), u"by atom", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(GetClassLongW(w, GCL_HBRBACKGROUND), 0x4000001Au);
  WCHAR name[32];
  EXPECT_EQ(GetClassNameW(w, name, 32), 10);
  EXPECT_EQ(std::u16string(name), u"TwiceClass");
  EXPECT_FAILS_WITH(UnregisterClassW(u"TwiceClass", nullptr), FALSE, ERROR_CLASS_HAS_WINDOWS);
  DestroyWindow(w);
  EXPECT_TRUE(UnregisterClassW(u"TwiceClass", nullptr));
  EXPECT_FAILS_WITH(UnregisterClassW(u"TwiceClass", nullptr), FALSE, ERROR_CLASS_DOES_NOT_EXIST);
  EXPECT_FAILS_WITH(CreateWindowExW(0, u"TwiceClass", u"", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr), HWND{},
                    ERROR_CANNOT_FIND_WND_CLASS);
  wc.lpfnWndProc = nullptr;
  EXPECT_FAILS_WITH(RegisterClassW(&wc), ATOM{0}, ERROR_INVALID_PARAMETER);
  EXPECT_FAILS_WITH(CreateLoggedWindow(WS_CHILD), HWND{}, ERROR_TLW_WITH_WSCHILD);
}

TEST_F(WindowTest, TextsGoThroughWmSetTextAndWmGetTextAndAreCutToTheBuffer) {
  HWND w = CreateLoggedWindow(0, nullptr, 0, u"first");
  log_.Take();
  ASSERT_TRUE(SetWindowTextW(w, u"Tolvane Utility"));
  EXPECT_EQ(log_.TakeMessages(), (Messages{WM_SETTEXT}));
  WCHAR text[8];
  std::fill(std::begin(text), std::end(text), u'#');
  EXPECT_EQ(GetWindowTextW(w, text, 5), 4);
  EXPECT_EQ(std::u16string(text), u"Tolv");
  EXPECT_EQ(text[5], u'#');
  EXPECT_EQ(GetWindowTextLengthW(w), 15);
  EXPECT_EQ(log_.TakeMessages(), (Messages{WM_GETTEXT, WM_GETTEXTLENGTH}));
  ASSERT_TRUE(SetWindowTextW(w, nullptr));
  EXPECT_EQ(GetWindowTextW(w, text, 8), 0);
  EXPECT_EQ(text[0], u'\0');
  EXPECT_FAILS_WITH(GetWindowTextW(w, nullptr, 8), 0, ERROR_INVALID_PARAMETER);
}

TEST_F(WindowTest, MovingSendsSizeAndMoveAndRectanglesFollowTheFrame) {
  HWND parent = CreateLoggedWindow(WS_VISIBLE | WS_CAPTION);
  HWND child = CreateLoggedWindow(WS_CHILD | WS_VISIBLE | WS_BORDER, parent, 5);
  log_.Take();
  ASSERT_TRUE(MoveWindow(parent, 10, 20, 200, 150, TRUE));
  auto seen = log_.Take();
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].message, static_cast<UINT>(WM_SIZE));
  EXPECT_EQ(seen[0].lparam, MAKELPARAM(198, 124));
  EXPECT_EQ(seen[1].message, static_cast<UINT>(WM_MOVE));
  EXPECT_EQ(seen[1].lparam, MAKELPARAM(11, 45));
  ASSERT_TRUE(MoveWindow(parent, 10, 20, 200, 150, TRUE));
  EXPECT_TRUE(log_.Take().empty());  // nothing changed, nothing sent

  RECT r;
  ASSERT_TRUE(GetWindowRect(parent, &r));
  EXPECT_EQ(r.left, 10);
  EXPECT_EQ(r.bottom, 170);
  ASSERT_TRUE(GetClientRect(parent, &r));
  EXPECT_EQ(r.right, 198);
  EXPECT_EQ(r.bottom, 124);
  ASSERT_TRUE(GetWindowRect(child, &r));
  EXPECT_EQ(r.left, 11);  // the child at (0, 0) of its parent's client area
  EXPECT_EQ(r.top, 45);
  ASSERT_TRUE(GetClientRect(child, &r));
  EXPECT_EQ(r.right, 98);
  POINT p{1, 1};
  ASSERT_TRUE(ClientToScreen(child, &p));
  EXPECT_EQ(p.x, 13);
  EXPECT_EQ(p.y, 47);
  ASSERT_TRUE(ScreenToClient(parent, &p));
  EXPECT_EQ(p.x, 2);
  EXPECT_EQ(p.y, 2);
}

TEST_F(WindowTest, EnablingAndShowingReportTheStateBeforeAndTellTheWindow) {
  HWND w = CreateLoggedWindow(WS_VISIBLE);
  HWND child = CreateLoggedWindow(WS_CHILD | WS_VISIBLE, w, 3);
  SetFocus(child);
  log_.Take();
  EXPECT_FALSE(EnableWindow(child, FALSE));  // was enabled
  EXPECT_TRUE(EnableWindow(child, FALSE));   // was disabled already
  EXPECT_FALSE(IsWindowEnabled(child));
  EXPECT_EQ(GetFocus(), nullptr);  // a disabled window loses the focus
  EXPECT_EQ(log_.TakeMessages(), (Messages{WM_KILLFOCUS, WM_ENABLE}));
  EXPECT_TRUE(EnableWindow(child, TRUE));
  EXPECT_TRUE(IsWindowEnabled(child));

  EXPECT_TRUE(ShowWindow(child, SW_HIDE));
  EXPECT_FALSE(ShowWindow(child, SW_HIDE));
  EXPECT_FALSE(IsWindowVisible(child));
  EXPECT_TRUE(ShowWindow(w, SW_HIDE));
  EXPECT_FALSE(ShowWindow(child, SW_SHOW));
  EXPECT_FALSE(IsWindowVisible(child));  // its parent is hidden
  EXPECT_TRUE(GetWindowLongW(child, GWL_STYLE) & WS_VISIBLE);
}

LRESULT CALLBACK Subclassed(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  if (msg == WM_USER + 7) return 77;
  return DefWindowProcW(hwnd, msg, wparam, lparam);
}

TEST_F(WindowTest, WindowLongsKeepStylesIdsUserDataExtraBytesAndProcedures) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = DefWindowProcW;
  wc.cbWndExtra = 8;
  wc.lpszClassName = u"ExtraBytes";
  ASSERT_TRUE(RegisterClassW(&wc));
  HWND parent = CreateLoggedWindow(0);
  HWND w = CreateWindowExW(WS_EX_CLIENTEDGE, u"ExtraBytes", u"", WS_CHILD | WS_TABSTOP, 0, 0, 10, 10, parent,
                           reinterpret_cast<HMENU>(uintptr_t{259}), nullptr, nullptr);
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(GetWindowLongW(w, GWL_ID), 259);
  EXPECT_EQ(GetDlgCtrlID(w), 259);
  EXPECT_EQ(static_cast<DWORD>(GetWindowLongW(w, GWL_STYLE)), static_cast<DWORD>(WS_CHILD | WS_TABSTOP));
  EXPECT_EQ(static_cast<DWORD>(GetWindowLongW(w, GWL_EXSTYLE)), static_cast<DWORD>(WS_EX_CLIENTEDGE));
  EXPECT_EQ(SetWindowLongW(w, 4, 0x12345678), 0);
  EXPECT_EQ(GetWindowLongW(w, 4), 0x12345678);
  EXPECT_FAILS_WITH(GetWindowLongW(w, 5), 0, ERROR_INVALID_INDEX);
  int object = 0;
  EXPECT_EQ(SetWindowLongPtrW(w, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&object)), 0);
  EXPECT_EQ(GetWindowLongPtrW(w, GWLP_USERDATA), reinterpret_cast<LONG_PTR>(&object));

  // The 32-bit form gives a token for the procedure that works wherever a
  // procedure is taken.
  LONG token = GetWindowLongW(w, GWL_WNDPROC);
  EXPECT_NE(token, 0);
  EXPECT_EQ(CallWindowProcW(reinterpret_cast<WNDPROC>(static_cast<LONG_PTR>(token)), w, WM_GETTEXTLENGTH, 0, 0), 0);
  EXPECT_EQ(SetWindowLongPtrW(w, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(Subclassed)),
            reinterpret_cast<LONG_PTR>(DefWindowProcW));
  EXPECT_EQ(SendMessageW(w, WM_USER + 7, 0, 0), 77);
  LONG subclassed = SetWindowLongW(w, GWL_WNDPROC, token);
  EXPECT_NE(subclassed, token);
  EXPECT_EQ(SendMessageW(w, WM_USER + 7, 0, 0), 0);
  EXPECT_EQ(GetWindowLongPtrW(w, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(DefWindowProcW));
}

TEST_F(WindowTest, FindWindowMatchesClassWithoutCaseAndTitleExactly) {
  HWND a = CreateLoggedWindow(0, nullptr, 0, u"Tolvane Utility");
  HWND b = CreateLoggedWindow(0, nullptr, 0, u"Other");
  HWND child = CreateLoggedWindow(WS_CHILD, a, 1, u"Other");
  ASSERT_TRUE(a && b && child);
  EXPECT_EQ(FindWindowW(u"loggedwindow", u"Tolvane Utility"), a);
  EXPECT_EQ(FindWindowW(nullptr, u"Other"), b);  // children are not looked at
  EXPECT_EQ(FindWindowW(u"LoggedWindow", nullptr), b);  // the newest on top
  SetLastError(kSentinel);
  EXPECT_EQ(FindWindowW(u"LoggedWindow", u"tolvane utility"), nullptr);
  EXPECT_EQ(FindWindowW(u"NoSuchClass", nullptr), nullptr);
  EXPECT_EQ(GetLastError(), kSentinel);
  DWORD pid = 0;
  EXPECT_EQ(GetWindowThreadProcessId(a, &pid), GetCurrentThreadId());
  EXPECT_EQ(pid, GetCurrentProcessId());
  DestroyWindow(b);
  EXPECT_EQ(FindWindowW(nullptr, u"Other"), nullptr);
}

TEST_F(WindowTest, DestroyedWindowsHandlesComeBackOnlyMuchLater) {
  HWND gone = CreateLoggedWindow(0);
  DestroyWindow(gone);
  std::set<HWND> handles;
  for (int i = 0; i < 200; ++i) {
    HWND w = CreateLoggedWindow(0);
    ASSERT_NE(w, nullptr);
    EXPECT_NE(w, gone);
    handles.insert(w);
    if (i % 2) DestroyWindow(w);
  }
  EXPECT_EQ(handles.size(), 200u);
}

TEST_F(WindowTest, AHandleThatIsNoWindowFailsEveryCallWithoutHarm) {
  HWND gone = CreateLoggedWindow(WS_VISIBLE);
  DestroyWindow(gone);
  for (HWND bad : {gone, reinterpret_cast<HWND>(uintptr_t{0x12345}), reinterpret_cast<HWND>(uintptr_t{1}),
                   reinterpret_cast<HWND>(~uintptr_t{0} - 7)}) {
    SCOPED_TRACE(reinterpret_cast<uintptr_t>(bad));
    WCHAR text[4] = {u'#', u'#', u'#', u'#'};
    RECT r{1, 2, 3, 4};
    EXPECT_FAILS_WITH(IsWindow(bad), FALSE, kSentinel);
    EXPECT_FAILS_WITH(GetWindowTextW(bad, text, 4), 0, ERROR_INVALID_WINDOW_HANDLE);
    EXPECT_EQ(text[1], u'#');
    EXPECT_FAILS_WITH(SetWindowTextW(bad, u"x"), FALSE, ERROR_INVALID_WINDOW_HANDLE);
    EXPECT_FAILS_WITH(SendMessageW(bad, WM_USER, 0, 0), 0, ERROR_INVALID_WINDOW_HANDLE);
    EXPECT_FAILS_WITH(PostMessageW(bad, WM_USER, 0, 0), FALSE, ERROR_INVALID_WINDOW_HANDLE);
    EXPECT_FAILS_WITH(DestroyWindow(bad), FALSE, ERROR_INVALID_WINDOW_HANDLE);
    EXPECT_FAILS_WITH(ShowWindow(bad, SW_SHOW), FALSE, ERROR_INVALID_WINDOW_HANDLE);
    EXPECT_FAILS_WITH(EnableWindow(bad, FALSE), FALSE, ERROR_INVALID_WINDOW_HANDLE);
    EXPECT_FAILS_WITH(MoveWindow(bad, 0, 0, 1, 1, TRUE), FALSE, ERROR_INVALID_WINDOW_HANDLE);
    EXPECT_FAILS_WITH(GetWindowRect(bad, &r), FALSE, ERROR_INVALID_WINDOW_HANDLE);
    EXPECT_EQ(r.left, 1);
    EXPECT_FAILS_WITH(GetWindowThreadProcessId(bad, nullptr), DWORD{0}, ERROR_INVALID_WINDOW_HANDLE);
    EXPECT_FAILS_WITH(GetDlgItem(bad, 1), HWND{}, ERROR_INVALID_WINDOW_HANDLE);
    EXPECT_FAILS_WITH(GetWindowLongW(bad, GWL_STYLE), 0, ERROR_INVALID_WINDOW_HANDLE);
    EXPECT_FAILS_WITH(SetFocus(bad), HWND{}, ERROR_INVALID_WINDOW_HANDLE);
    EXPECT_FAILS_WITH(SetTimer(bad, 1, 10, nullptr), UINT_PTR{0}, ERROR_INVALID_WINDOW_HANDLE);
    EXPECT_FAILS_WITH(InvalidateRect(bad, nullptr, TRUE), FALSE, ERROR_INVALID_WINDOW_HANDLE);
    EXPECT_FAILS_WITH(CreateLoggedWindow(WS_CHILD, bad, 1), HWND{}, ERROR_INVALID_WINDOW_HANDLE);
    EXPECT_FAILS_WITH(MessageBoxW(bad, u"x", u"x", MB_OK), 0, ERROR_INVALID_WINDOW_HANDLE);
  }
}

}  // namespace
}  // namespace cedev::gwes
