// Message queues: what GetMessage and PeekMessage take in which order,
// posting and its limits, WM_PAINT and WM_TIMER, and messages sent between
// threads (while the owner waits in GetMessage, in a modal loop, or in its
// own SendMessage).
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <thread>

#include "gwes_test_fixture.h"

namespace cedev::gwes {
namespace {

using MessageTest = GwesTest;
using Clock = std::chrono::steady_clock;

TEST_F(MessageTest, PostedMessagesComeInOrderAndQuitComesLast) {
  HWND w = CreateLoggedWindow(0);
  PostQuitMessage(3);
  ASSERT_TRUE(PostMessageW(w, WM_USER + 1, 10, 20));
  ASSERT_TRUE(PostMessageW(w, WM_USER + 2, 0, 0));
  ASSERT_TRUE(PostThreadMessageW(GetCurrentThreadId(), WM_USER + 3, 0, 0));
  MSG msg;
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER + 1));
  ASSERT_EQ(GetMessageW(&msg, nullptr, 0, 0), TRUE);
  EXPECT_EQ(msg.hwnd, w);
  EXPECT_EQ(msg.wParam, 10u);
  EXPECT_EQ(msg.lParam, 20);
  // A filter passes over what it does not take.
  ASSERT_EQ(GetMessageW(&msg, nullptr, WM_USER + 3, WM_USER + 3), TRUE);
  EXPECT_EQ(msg.hwnd, nullptr);
  ASSERT_EQ(GetMessageW(&msg, w, 0, 0), TRUE);
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER + 2));
  EXPECT_EQ(GetMessageW(&msg, nullptr, 0, 0), FALSE);
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
  EXPECT_EQ(msg.wParam, 3u);
  EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(MessageTest, MessagesThatPointToDataCannotBePostedAndBadFiltersFail) {
  HWND w = CreateLoggedWindow(0);
  EXPECT_FAILS_WITH(PostMessageW(w, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(u"x")), FALSE, ERROR_MESSAGE_SYNC_ONLY);
  WCHAR buffer[4];
  EXPECT_FAILS_WITH(PostMessageW(w, WM_GETTEXT, 4, reinterpret_cast<LPARAM>(buffer)), FALSE, ERROR_MESSAGE_SYNC_ONLY);
  EXPECT_TRUE(PostMessageW(w, WM_SETTINGCHANGE, SETTINGCHANGE_RESET, 0));
  EXPECT_FAILS_WITH(PostThreadMessageW(0x7FFFFFF0, WM_USER, 0, 0), FALSE, ERROR_INVALID_THREAD_ID);
  HWND gone = CreateLoggedWindow(0);
  DestroyWindow(gone);
  MSG msg;
  EXPECT_FAILS_WITH(GetMessageW(&msg, gone, 0, 0), -1, ERROR_INVALID_WINDOW_HANDLE);
  EXPECT_FAILS_WITH(PeekMessageW(&msg, gone, 0, 0, PM_REMOVE), FALSE, ERROR_INVALID_WINDOW_HANDLE);
}

TEST_F(MessageTest, PaintComesWhenNothingElseWaitsAndOnceForManyInvalidations) {
  HWND w = CreateLoggedWindow(WS_VISIBLE);
  PumpPending();
  log_.Take();
  InvalidateRect(w, nullptr, FALSE);
  InvalidateRect(w, nullptr, FALSE);
  PostMessageW(w, WM_USER, 0, 0);
  MSG msg;
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER));
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_PAINT));
  // WM_PAINT stays until the window is painted.
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_PAINT));
  PAINTSTRUCT ps;
  EXPECT_NE(BeginPaint(w, &ps), nullptr);
  EXPECT_FALSE(ps.fErase);
  EndPaint(w, &ps);
  EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
  // A procedure that ignores WM_PAINT does not get it for ever.
  log_.handler = [](HWND, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
    if (m == WM_PAINT) return 0;
    return std::nullopt;
  };
  InvalidateRect(w, nullptr, TRUE);
  EXPECT_EQ(PumpPending(), 1);
  // UpdateWindow paints at once; hidden windows are not painted.
  InvalidateRect(w, nullptr, FALSE);
  log_.Take();
  UpdateWindow(w);
  EXPECT_EQ(log_.TakeMessages(), (Messages{WM_PAINT}));
  ShowWindow(w, SW_HIDE);
  InvalidateRect(w, nullptr, TRUE);
  EXPECT_EQ(PumpPending(), 0);
}

TEST_F(MessageTest, SendingToTheSameThreadCallsTheProcedureDirectly) {
  HWND w = CreateLoggedWindow(0);
  log_.handler = [](HWND, UINT m, WPARAM wp, LPARAM) -> std::optional<LRESULT> {
    if (m == WM_USER) return static_cast<LRESULT>(wp * 2);
    return std::nullopt;
  };
  log_.Take();
  EXPECT_EQ(SendMessageW(w, WM_USER, 21, 0), 42);
  EXPECT_EQ(log_.TakeMessages(), (Messages{WM_USER}));
  EXPECT_FALSE(InSendMessage());
  DWORD_PTR result = 0;
  EXPECT_EQ(SendMessageTimeoutW(w, WM_USER, 5, 0, SMTO_NORMAL, 10, &result), 1);
  EXPECT_EQ(result, 10u);
}

// A window on a thread of its own that pumps until it is told to quit.
class OtherThread {
 public:
  explicit OtherThread(std::function<void(HWND)> body = nullptr) {
    thread_ = std::thread([this, body] {
      HWND w = CreateLoggedWindow(0);
      {
        std::lock_guard lock(mutex_);
        window_ = w;
        tid_ = GetCurrentThreadId();
      }
      ready_.notify_all();
      if (body) {
        body(w);
      } else {
        MSG msg;
        while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
      }
    });
    std::unique_lock lock(mutex_);
    ready_.wait(lock, [&] { return window_ != nullptr; });
  }
  ~OtherThread() {
    PostThreadMessageW(tid_, WM_QUIT, 0, 0);
    thread_.join();
  }
  HWND window() const { return window_; }
  DWORD tid() const { return tid_; }

 private:
  std::mutex mutex_;
  std::condition_variable ready_;
  HWND window_ = nullptr;
  DWORD tid_ = 0;
  std::thread thread_;
};

TEST_F(MessageTest, SendingToAnotherThreadIsHandledThereWhileItWaitsForMessages) {
  std::atomic<DWORD> handled_on{0};
  log_.handler = [&](HWND, UINT m, WPARAM wp, LPARAM) -> std::optional<LRESULT> {
    if (m != WM_USER) return std::nullopt;
    handled_on = GetCurrentThreadId();
    EXPECT_TRUE(InSendMessage());
    return static_cast<LRESULT>(wp + 1);
  };
  OtherThread other;
  EXPECT_EQ(SendMessageW(other.window(), WM_USER, 41, 0), 42);
  EXPECT_EQ(handled_on.load(), other.tid());
  WCHAR text[16];
  EXPECT_EQ(GetWindowTextW(other.window(), text, 16), 6);
  EXPECT_EQ(std::u16string(text), u"logged");
  // Destroying a window is for its own thread only.
  EXPECT_FAILS_WITH(DestroyWindow(other.window()), FALSE, ERROR_ACCESS_DENIED);
  // Showing it and enabling it are done by that thread for us.
  EXPECT_FALSE(EnableWindow(other.window(), FALSE));
  EXPECT_FALSE(IsWindowEnabled(other.window()));
  EXPECT_FALSE(ShowWindow(other.window(), SW_SHOWNA));
  EXPECT_TRUE(IsWindowVisible(other.window()));
}

TEST_F(MessageTest, TwoThreadsSendingToEachOtherServeEachOtherWhileTheyWait) {
  HWND mine = CreateLoggedWindow(0);
  log_.handler = [&](HWND hwnd, UINT m, WPARAM wp, LPARAM lp) -> std::optional<LRESULT> {
    if (m == WM_USER && hwnd != mine) {
      // On the other thread: ask back the thread that is waiting for us.
      return SendMessageW(reinterpret_cast<HWND>(lp), WM_USER + 1, wp, 0) + 1;
    }
    if (m == WM_USER + 1 && hwnd == mine) return static_cast<LRESULT>(wp * 10);
    return std::nullopt;
  };
  OtherThread other;
  EXPECT_EQ(SendMessageW(other.window(), WM_USER, 4, reinterpret_cast<LPARAM>(mine)), 41);
}

TEST_F(MessageTest, ATimeOutEndsTheWaitForAThreadThatNeverLooksAtItsQueue) {
  std::mutex gate;
  std::unique_lock closed(gate);
  OtherThread stuck([&](HWND) {
    std::lock_guard wait(gate);  // never pumps while the gate is closed
  });
  DWORD_PTR result = 0xABCD;
  auto start = Clock::now();
  EXPECT_FAILS_WITH(SendMessageTimeoutW(stuck.window(), WM_USER, 0, 0, SMTO_NORMAL, 100, &result), 0, ERROR_TIMEOUT);
  EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(90));
  EXPECT_EQ(result, 0xABCDu);
  closed.unlock();
}

// The worker reads a window of the thread that sits in a modal dialog, as
// the job's worker reads the location box through the user-interface thread.
struct ModalRead {
  HWND combo = nullptr;
  std::thread worker;
  std::atomic<bool> done{false};
  std::u16string text;
};

INT_PTR CALLBACK PollingDialog(HWND dialog, UINT msg, WPARAM, LPARAM lparam) {
  static ModalRead* read;
  switch (msg) {
    case WM_INITDIALOG:
      read = reinterpret_cast<ModalRead*>(lparam);
      read->worker = std::thread([r = read] {
        WCHAR text[64] = {};
        GetWindowTextW(r->combo, text, 64);
        r->text = text;
        r->done = true;
      });
      SetTimer(dialog, 256, 10, nullptr);
      return TRUE;
    case WM_TIMER:
      if (read->done) EndDialog(dialog, 7);
      return TRUE;
    case WM_DESTROY:
      KillTimer(dialog, 256);
      return TRUE;
    default:
      return FALSE;
  }
}

TEST_F(MessageTest, AWorkerReadsAControlThroughItsThreadWhileThatThreadRunsAModalDialog) {
  HWND main = CreateLoggedWindow(WS_VISIBLE);
  ModalRead read;
  read.combo = CreateWindowExW(0, u"COMBOBOX", nullptr, WS_CHILD | WS_VISIBLE | CBS_DROPDOWNLIST, 0, 0, 100, 100, main,
                               reinterpret_cast<HMENU>(uintptr_t{259}), nullptr, nullptr);
  SendMessageW(read.combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(u"FlashDisk"));
  SendMessageW(read.combo, CB_SETCURSEL, 0, 0);
  static const CE_DIALOG_ITEM kItems[] = {{u"STATIC", u"Working", 1000, WS_VISIBLE, 0, 8, 8, 112, 76}};
  static const CE_DIALOG_TEMPLATE kProgress = {102, WS_POPUP | WS_CAPTION | DS_MODALFRAME | DS_CENTER, 0, 0, 0,
                                               120, 100, u"Backup", u"MS", 9, kItems, 1};
  EXPECT_EQ(DialogBoxIndirectParamW(nullptr, &kProgress, main, PollingDialog, reinterpret_cast<LPARAM>(&read)), 7);
  read.worker.join();
  EXPECT_EQ(read.text, u"FlashDisk");
  EXPECT_TRUE(IsWindowEnabled(main));  // the owner is back once the dialog is gone
}

TEST_F(MessageTest, TimersWaitForTheirPeriodAndComeOnceHoweverLongTheyWaited) {
  HWND w = CreateLoggedWindow(0);
  ASSERT_EQ(SetTimer(w, 256, 50, nullptr), 256u);
  MSG msg;
  EXPECT_FALSE(PeekMessageW(&msg, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE));
  std::this_thread::sleep_for(std::chrono::milliseconds(300));  // six periods
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_TIMER));
  EXPECT_EQ(msg.wParam, 256u);
  EXPECT_EQ(msg.hwnd, w);
  EXPECT_FALSE(PeekMessageW(&msg, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE));
  EXPECT_TRUE(KillTimer(w, 256));
  EXPECT_FAILS_WITH(KillTimer(w, 256), FALSE, ERROR_INVALID_PARAMETER);
  std::this_thread::sleep_for(std::chrono::milliseconds(80));
  EXPECT_FALSE(PeekMessageW(&msg, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE));
}

std::atomic<int> g_timer_calls{0};
void CALLBACK CountCall(HWND, UINT, UINT_PTR, DWORD) { ++g_timer_calls; }

TEST_F(MessageTest, TimerProceduresAreCalledByDispatchAndOnlyForRealTimers) {
  g_timer_calls = 0;
  UINT_PTR id = SetTimer(nullptr, 0, 10, CountCall);
  ASSERT_NE(id, 0u);
  MSG msg;
  ASSERT_EQ(GetMessageW(&msg, nullptr, 0, 0), TRUE);
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_TIMER));
  DispatchMessageW(&msg);
  EXPECT_EQ(g_timer_calls.load(), 1);
  KillTimer(nullptr, id);
  // A WM_TIMER that names a procedure but comes from no timer calls nothing.
  PostThreadMessageW(GetCurrentThreadId(), WM_TIMER, 999, reinterpret_cast<LPARAM>(CountCall));
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
  DispatchMessageW(&msg);
  EXPECT_EQ(g_timer_calls.load(), 1);
}

class ScaledTimeTest : public GwesTest {
 protected:
  ScaledTimeTest() : GwesTest(Scaled()) {}
  static DeviceSettings Scaled() {
    DeviceSettings s = ScratchDevice::DefaultSettings();
    s.time_scale = 10;
    return s;
  }
};

TEST_F(ScaledTimeTest, TimerPeriodsAreShortenedByTheDevicesTimeScale) {
  HWND w = CreateLoggedWindow(0);
  auto start = Clock::now();
  SetTimer(w, 1, 2000, nullptr);
  MSG msg;
  ASSERT_EQ(GetMessageW(&msg, nullptr, 0, 0), TRUE);
  auto waited = Clock::now() - start;
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_TIMER));
  EXPECT_GE(waited, std::chrono::milliseconds(190));
  EXPECT_LT(waited, std::chrono::milliseconds(1500));  // far from the unscaled 2 s
}

}  // namespace
}  // namespace cedev::gwes
