// The device core: handle table, last error, case folding, settings, journal
// and fault injection.
#include <gtest/gtest.h>
#include <unistd.h>

#include <thread>

#include "ce/errors.h"
#include "device_folder.h"
#include "faults.h"
#include "handles.h"
#include "journal.h"
#include "scratch_device.h"
#include "wstr.h"

namespace cedev {
namespace {

struct Probe : KObject {
  explicit Probe(bool* destroyed) : destroyed_(destroyed) {}
  ~Probe() override { *destroyed_ = true; }
  bool* destroyed_;
};

TEST(HandleTable, ClosingTheHandleDestroysTheObjectOnceAndInvalidatesIt) {
  bool destroyed = false;
  HANDLE h = AllocHandle(std::make_shared<Probe>(&destroyed));
  ASSERT_NE(h, nullptr);
  EXPECT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_NE(LookupHandleAs<Probe>(h), nullptr);
  EXPECT_TRUE(ReleaseHandle(h));
  EXPECT_TRUE(destroyed);
  EXPECT_FALSE(ReleaseHandle(h));
  EXPECT_EQ(LookupHandle(h), nullptr);
}

TEST(HandleTable, RejectsValuesItNeverIssued) {
  EXPECT_EQ(LookupHandle(nullptr), nullptr);
  EXPECT_EQ(LookupHandle(INVALID_HANDLE_VALUE), nullptr);
  EXPECT_EQ(LookupHandle(reinterpret_cast<HANDLE>(uintptr_t{0x80000002})), nullptr);
  EXPECT_EQ(LookupHandle(reinterpret_cast<HANDLE>(uintptr_t{0x10001})), nullptr);
}

TEST(LastError, IsPerThread) {
  SetLastError(ERROR_ACCESS_DENIED);
  DWORD seen_in_other = 1234;
  std::thread([&] { seen_in_other = GetLastError(); }).join();
  EXPECT_EQ(seen_in_other, ERROR_SUCCESS);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
}

TEST(CaseFolding, FoldsTheWholeBasicMultilingualPlane) {
  EXPECT_TRUE(EqualNoCase(u"My Documents", u"MY documents"));
  EXPECT_TRUE(EqualNoCase(u"\uFF21", u"\uFF41"));  // full-width A and a
  EXPECT_TRUE(EqualNoCase(u"\u00C4rger", u"\u00E4RGER"));
  EXPECT_FALSE(EqualNoCase(u"abc", u"abd"));
  EXPECT_LT(CompareNoCase(u"apple", u"Banana"), 0);
  EXPECT_EQ(CompareNoCase(u"x", u"X"), 0);
  EXPECT_EQ(ToUtf8(u"\u30cd\u30c3\u30c8"), "\xe3\x83\x8d\xe3\x83\x83\xe3\x83\x88");
  EXPECT_EQ(FromUtf8(ToUtf8(u"\U0001F600a")), u"\U0001F600a");
}

TEST(DeviceSettings, UpdatesReachEveryReaderAndSurviveReopening) {
  ScratchDevice scratch;
  ASSERT_TRUE(Device::Current()->UpdateSettings([](DeviceSettings& s) {
    s.battery_percent = 7;
    s.keys_held = {0x0D};
  }));
  EXPECT_EQ(Device::Current()->Settings().battery_percent, 7);
  DeviceSettings reread;
  ASSERT_TRUE(LoadSettingsFile(scratch.dir() / "device.json", &reread, nullptr));
  EXPECT_EQ(reread.battery_percent, 7);
  EXPECT_EQ(reread.keys_held, std::vector<int>{0x0D});
  ASSERT_EQ(reread.volumes.size(), 2u);
  EXPECT_EQ(reread.volumes[0].quota, 64ull << 20);
}

TEST(Journal, KeepsEntriesInOrderWithTheirProcess) {
  ScratchDevice scratch;
  ASSERT_TRUE(JournalAppend("sound", "beep"));
  ASSERT_TRUE(JournalAppend("debug", "hello"));
  auto entries = JournalRead();
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].kind, "sound");
  EXPECT_EQ(entries[1].text, "hello");
  EXPECT_EQ(entries[1].pid, getpid());
  EXPECT_EQ(JournalRead(entries[0].seq).size(), 1u);
}

TEST(Faults, CountDownAndMatchByPrefixWithoutRegardToCase) {
  ScratchDevice scratch;
  EXPECT_EQ(InjectedFault("file.read", u"\\a.txt"), 0u);
  ASSERT_TRUE(AddFault("file.read", u"\\My Documents\\*", ERROR_READ_FAULT, 2));
  EXPECT_EQ(InjectedFault("file.read", u"\\my documents\\x"), static_cast<DWORD>(ERROR_READ_FAULT));
  EXPECT_EQ(InjectedFault("file.write", u"\\my documents\\x"), 0u);
  EXPECT_EQ(InjectedFault("file.read", u"\\My Documents\\y"), static_cast<DWORD>(ERROR_READ_FAULT));
  EXPECT_EQ(InjectedFault("file.read", u"\\My Documents\\z"), 0u);
  ASSERT_TRUE(AddFault("reg.set", u"*", ERROR_ACCESS_DENIED));
  for (int i = 0; i < 3; ++i) EXPECT_EQ(InjectedFault("reg.set", u"HKEY_LOCAL_MACHINE\\x"), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  ClearFaults();
  EXPECT_EQ(InjectedFault("reg.set", u"x"), 0u);
}

}  // namespace
}  // namespace cedev
