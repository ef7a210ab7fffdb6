// Threads, waits, events, in-process mutexes, Sleep and GetTickCount.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>

#include "ce/handle.h"
#include "ce/process.h"
#include "api_expect.h"
#include "device_control.h"
#include "scratch_device.h"

namespace {

DWORD WINAPI ReturnParam(LPVOID param) { return static_cast<DWORD>(reinterpret_cast<uintptr_t>(param)); }

struct Unwound {
  bool* flag;
  ~Unwound() { *flag = true; }
};

DWORD WINAPI ExitEarly(LPVOID param) {
  Unwound guard{static_cast<bool*>(param)};
  ExitThread(77);
}

DWORD WINAPI WaitForEvent(LPVOID param) {
  return WaitForSingleObject(static_cast<HANDLE>(param), INFINITE) == WAIT_OBJECT_0 ? 5 : 6;
}

TEST(Threads, ExitCodeIsStillActiveUntilTheRoutineReturns) {
  HANDLE gate = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  ASSERT_NE(gate, nullptr);
  DWORD id = 0;
  HANDLE thread = CreateThread(nullptr, 0, WaitForEvent, gate, 0, &id);
  ASSERT_NE(thread, nullptr);
  EXPECT_NE(id, 0u);
  EXPECT_NE(id, GetCurrentThreadId());
  DWORD code = 0xDEAD;
  EXPECT_TRUE(GetExitCodeThread(thread, &code));
  EXPECT_EQ(code, STILL_ACTIVE);
  EXPECT_EQ(WaitForSingleObject(thread, 20), static_cast<DWORD>(WAIT_TIMEOUT));
  EXPECT_TRUE(SetEvent(gate));
  EXPECT_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0);
  EXPECT_TRUE(GetExitCodeThread(thread, &code));
  EXPECT_EQ(code, 5u);
  EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_OBJECT_0);  // stays signalled
  EXPECT_TRUE(CloseHandle(thread));
  EXPECT_TRUE(CloseHandle(gate));
}

TEST(Threads, ReturnValueBecomesTheExitCode) {
  HANDLE thread = CreateThread(nullptr, 0, ReturnParam, reinterpret_cast<LPVOID>(uintptr_t{0xFFFFFFF0}), 0, nullptr);
  ASSERT_NE(thread, nullptr);
  ASSERT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
  DWORD code = 0;
  EXPECT_TRUE(GetExitCodeThread(thread, &code));
  EXPECT_EQ(code, 0xFFFFFFF0u);
  CloseHandle(thread);
}

TEST(Threads, ExitThreadSetsTheCodeAndUnwindsTheStack) {
  bool unwound = false;
  HANDLE thread = CreateThread(nullptr, 0, ExitEarly, &unwound, 0, nullptr);
  ASSERT_NE(thread, nullptr);
  ASSERT_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0);
  DWORD code = 0;
  EXPECT_TRUE(GetExitCodeThread(thread, &code));
  EXPECT_EQ(code, 77u);
  EXPECT_TRUE(unwound);
  CloseHandle(thread);
}

TEST(Threads, AThreadFaultFailsOneCreationAndTheNextGoesAhead) {
  cedev::ScratchDevice device;
  ASSERT_TRUE(cedev::AddFault("thread.create", u"thread", ERROR_OUTOFMEMORY, 1));
  DWORD id = 0xBEEF;
  EXPECT_FAILS_WITH(CreateThread(nullptr, 0, ReturnParam, nullptr, 0, &id), nullptr, ERROR_OUTOFMEMORY);
  EXPECT_EQ(id, 0xBEEFu);
  HANDLE thread = CreateThread(nullptr, 0, ReturnParam, reinterpret_cast<LPVOID>(uintptr_t{3}), 0, nullptr);
  ASSERT_NE(thread, nullptr);
  EXPECT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
  DWORD code = 0;
  EXPECT_TRUE(GetExitCodeThread(thread, &code));
  EXPECT_EQ(code, 3u);
  CloseHandle(thread);
}

TEST(Threads, BadArgumentsAndHandles) {
  EXPECT_FAILS_WITH(CreateThread(nullptr, 0, nullptr, nullptr, 0, nullptr), nullptr, ERROR_INVALID_PARAMETER);
  DWORD code = 0xBEEF;
  EXPECT_FAILS_WITH(GetExitCodeThread(nullptr, &code), FALSE, ERROR_INVALID_HANDLE);
  EXPECT_EQ(code, 0xBEEFu);
  EXPECT_FAILS_WITH(WaitForSingleObject(nullptr, 0), WAIT_FAILED, ERROR_INVALID_HANDLE);
  EXPECT_FAILS_WITH(WaitForSingleObject(INVALID_HANDLE_VALUE, 0), WAIT_FAILED, ERROR_INVALID_HANDLE);
}

TEST(Events, AutoResetReleasesOneWaitAndManualResetStaysSet) {
  HANDLE automatic = CreateEventW(nullptr, FALSE, TRUE, nullptr);
  HANDLE manual = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  ASSERT_NE(automatic, nullptr);
  ASSERT_NE(manual, nullptr);
  EXPECT_EQ(WaitForSingleObject(automatic, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(automatic, 0), static_cast<DWORD>(WAIT_TIMEOUT));
  EXPECT_EQ(WaitForSingleObject(manual, 0), static_cast<DWORD>(WAIT_TIMEOUT));
  EXPECT_TRUE(SetEvent(manual));
  EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_OBJECT_0);
  EXPECT_TRUE(ResetEvent(manual));
  EXPECT_EQ(WaitForSingleObject(manual, 0), static_cast<DWORD>(WAIT_TIMEOUT));
  EXPECT_FAILS_WITH(SetEvent(nullptr), FALSE, ERROR_INVALID_HANDLE);
  CloseHandle(automatic);
  CloseHandle(manual);
}

TEST(Events, ANameGivesTheSameEventWithinTheProgram) {
  HANDLE first = CreateEventW(nullptr, TRUE, FALSE, u"JobDone");
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
  HANDLE second = CreateEventW(nullptr, TRUE, FALSE, u"jobdone");
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  EXPECT_NE(first, second);
  SetEvent(first);
  EXPECT_EQ(WaitForSingleObject(second, 0), WAIT_OBJECT_0);
  CloseHandle(first);
  CloseHandle(second);
}

DWORD WINAPI TryMutex(LPVOID param) { return WaitForSingleObject(static_cast<HANDLE>(param), 0); }
DWORD WINAPI ReleaseForeignMutex(LPVOID param) {
  SetLastError(0);
  return ReleaseMutex(static_cast<HANDLE>(param)) ? 1 : GetLastError();
}

DWORD RunThread(LPTHREAD_START_ROUTINE routine, HANDLE param) {
  HANDLE thread = CreateThread(nullptr, 0, routine, param, 0, nullptr);
  WaitForSingleObject(thread, INFINITE);
  DWORD code = 0;
  GetExitCodeThread(thread, &code);
  CloseHandle(thread);
  return code;
}

TEST(Mutexes, OwnershipIsRecursiveAndPerThread) {
  HANDLE mutex = CreateMutexW(nullptr, TRUE, nullptr);
  ASSERT_NE(mutex, nullptr);
  EXPECT_EQ(WaitForSingleObject(mutex, 0), WAIT_OBJECT_0);  // owner again: count 2
  EXPECT_EQ(RunThread(TryMutex, mutex), static_cast<DWORD>(WAIT_TIMEOUT));
  EXPECT_EQ(RunThread(ReleaseForeignMutex, mutex), static_cast<DWORD>(ERROR_NOT_OWNER));
  EXPECT_TRUE(ReleaseMutex(mutex));
  EXPECT_EQ(RunThread(TryMutex, mutex), static_cast<DWORD>(WAIT_TIMEOUT));  // still held once
  EXPECT_TRUE(ReleaseMutex(mutex));
  EXPECT_FAILS_WITH(ReleaseMutex(mutex), FALSE, ERROR_NOT_OWNER);
  EXPECT_EQ(RunThread(TryMutex, mutex), WAIT_OBJECT_0);
  CloseHandle(mutex);
}

DWORD WINAPI TakeAndLeave(LPVOID param) { return WaitForSingleObject(static_cast<HANDLE>(param), 0); }

TEST(Mutexes, AThreadEndingWhileOwningAbandonsIt) {
  HANDLE mutex = CreateMutexW(nullptr, FALSE, nullptr);
  ASSERT_EQ(RunThread(TakeAndLeave, mutex), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(mutex, 5000), WAIT_ABANDONED);
  EXPECT_TRUE(ReleaseMutex(mutex));
  EXPECT_EQ(WaitForSingleObject(mutex, 0), WAIT_OBJECT_0);  // released properly this time
  EXPECT_TRUE(ReleaseMutex(mutex));
  CloseHandle(mutex);
}

class Timing : public ::testing::Test {
 protected:
  cedev::ScratchDevice device_;
};

TEST_F(Timing, TimeScaleShortensSleepsAndWaitsAndSpeedsUpTheTickCount) {
  device_.device().UpdateSettings([](cedev::DeviceSettings& s) { s.time_scale = 100.0; });
  HANDLE never = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  auto start = std::chrono::steady_clock::now();
  DWORD tick_before = GetTickCount();
  Sleep(5000);
  EXPECT_EQ(WaitForSingleObject(never, 5000), static_cast<DWORD>(WAIT_TIMEOUT));
  DWORD device_elapsed = GetTickCount() - tick_before;
  auto real = std::chrono::steady_clock::now() - start;
  EXPECT_LT(real, std::chrono::seconds(3));
  EXPECT_GE(device_elapsed, 9000u);
  CloseHandle(never);
}

TEST_F(Timing, SleepZeroReturnsAndTheTickCountAdvances) {
  DWORD before = GetTickCount();
  Sleep(0);
  Sleep(30);
  EXPECT_GE(GetTickCount() - before, 30u);
}

}  // namespace
