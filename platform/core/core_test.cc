// The device core: handle table, last error, case folding, settings.
#include <gtest/gtest.h>

#include <thread>

#include "ce/errors.h"
#include "device_folder.h"
#include "handles.h"
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

}  // namespace
}  // namespace cedev
