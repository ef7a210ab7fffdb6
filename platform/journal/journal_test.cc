// The journal and fault injection.
#include <gtest/gtest.h>

#include "ce/errors.h"
#include "faults.h"
#include "host_process.h"
#include "journal.h"
#include "scratch_device.h"

namespace cedev {
namespace {

TEST(Journal, KeepsEntriesInOrderWithTheirProcess) {
  ScratchDevice scratch;
  ASSERT_TRUE(JournalAppend("sound", "beep"));
  ASSERT_TRUE(JournalAppend("debug", "hello"));
  auto entries = JournalRead();
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].kind, "sound");
  EXPECT_EQ(entries[1].text, "hello");
  EXPECT_EQ(entries[1].pid, host::ProcessId());
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
