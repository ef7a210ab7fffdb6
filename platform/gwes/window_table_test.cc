// The device's window table on its own: what every program reads and
// writes, entries of a program that ends, and a table file left by another
// layout.
#include <gtest/gtest.h>

#include <fstream>

#include "ce/user.h"
#include "other_program.h"
#include "host_robust_mutex.h"
#include "scratch_device.h"
#include "window_table.h"

namespace cedev::gwes {
namespace {

class WindowTableTest : public ::testing::Test {
 protected:
  WindowTableTest() : table_(WindowTable::Open(device_.device().RunDir())) {}
  // A held robust mutex must not outlive its mapping: the thread's list of
  // held ones runs through it.
  ~WindowTableTest() override {
    for (host::RobustMutex* alive : held_) host::UnlockRobustMutex(alive);
  }

  // This test holds the entry's life mutex itself.
  ProgramClaim Claim(int pid) {
    auto claim = table_->ClaimProgram(pid, 1, "endpoint", [&](host::RobustMutex* alive) {
      held_.push_back(alive);
      return host::LockRobustMutex(alive);
    });
    EXPECT_TRUE(claim.has_value());
    return claim.value_or(ProgramClaim{});
  }

  static WindowRecord Top(std::u16string class_name, std::u16string text) {
    WindowRecord r;
    r.class_name = std::move(class_name);
    r.text = std::move(text);
    return r;
  }

  ScratchDevice device_;
  std::unique_ptr<WindowTable> table_;
  std::vector<host::RobustMutex*> held_;
};

TEST_F(WindowTableTest, EveryOpeningOfTheTableSeesTheSameWindows) {
  ProgramClaim claim = Claim(4242);
  uint32_t handle = table_->Add(claim, Top(u"WCE_tlvkit", u"Tolvane Utility"));
  ASSERT_NE(handle, 0u);
  auto other = WindowTable::Open(device_.device().RunDir());
  ASSERT_NE(other, nullptr);
  EXPECT_EQ(other->Find(std::u16string_view(u"wce_TLVKIT"), std::nullopt), handle);
  EXPECT_EQ(other->Find(std::nullopt, std::u16string_view(u"Tolvane Utility")), handle);
  EXPECT_EQ(other->Find(std::nullopt, std::u16string_view(u"Tolvane")), 0u);
  table_->Change(handle, [](WindowEntry& e) { WindowTable::StoreText(e, u"Renamed"); });
  EXPECT_EQ(other->Get(handle)->text, u"Renamed");
  auto program = other->ProgramOf(handle);
  ASSERT_TRUE(program.has_value());
  EXPECT_EQ(program->first, 4242);
  EXPECT_EQ(program->second, "endpoint");
  table_->ReleaseProgram(claim);
  EXPECT_FALSE(other->Lives(handle));
}

TEST_F(WindowTableTest, LongTextsAreCutAndMarkedAndNeverMatchATitle) {
  ProgramClaim claim = Claim(1);
  std::u16string long_text(kTextUnits + 20, u'x');
  uint32_t handle = table_->Add(claim, Top(u"Dialog", long_text));
  auto record = table_->Get(handle);
  ASSERT_TRUE(record.has_value());
  EXPECT_TRUE(record->flags & kTextCut);
  EXPECT_EQ(record->text.size(), kTextUnits - 1);
  EXPECT_EQ(record->text_length, long_text.size());
  EXPECT_EQ(table_->Find(std::nullopt, std::u16string_view(long_text)), 0u);
}

TEST_F(WindowTableTest, ARemovedWindowsHandleIsDeadAndItsSlotComesBackWithAnotherHandle) {
  ProgramClaim claim = Claim(1);
  uint32_t first = table_->Add(claim, Top(u"A", u""));
  table_->Remove(first);
  EXPECT_FALSE(table_->Lives(first));
  EXPECT_FALSE(table_->Change(first, [](WindowEntry&) {}));
  // Going once round all the slots brings the first slot back, newer.
  uint32_t same_slot = 0;
  for (uint32_t i = 0; i < kMaxWindows && !same_slot; ++i) {
    uint32_t h = table_->Add(claim, Top(u"B", u""));
    if (SlotOf(h) == SlotOf(first)) same_slot = h;
    table_->Remove(h);
  }
  ASSERT_NE(same_slot, 0u);
  EXPECT_NE(same_slot, first);
}

TEST_F(WindowTableTest, TheWindowsOfAProgramThatDiedVanishForEveryReader) {
  std::string run_dir = device_.device().RunDir().string();
  int code = RunAsOtherProgram([&] {
    auto table = WindowTable::Open(run_dir);
    auto claim = table->ClaimProgram(7777, 1, "gone",
                                     [](host::RobustMutex* alive) { return host::LockRobustMutex(alive); });
    if (!claim) return 1;
    WindowRecord r = Top(u"Dialog", u"Orphan");
    table->Add(*claim, r);
    // Ends holding its life mutex, without tidying up, with the table still
    // mapped as a program's is when it dies.
    table.release();
    return 0;
  });
  ASSERT_EQ(code, 0);
  EXPECT_EQ(table_->Find(std::u16string_view(u"Dialog"), std::u16string_view(u"Orphan")), 0u);
  EXPECT_TRUE(table_->TopLevel().empty());
  // Its program entry is free for the next program.
  ProgramClaim claim = Claim(1);
  EXPECT_NE(table_->Add(claim, Top(u"A", u"")), 0u);
}

TEST_F(WindowTableTest, ATableFileOfAnotherLayoutIsSetUpAfresh) {
  auto path = device_.device().RunDir() / "windows_other";
  std::ofstream(path) << "not a window table at all";
  std::filesystem::create_directories(device_.dir() / "elsewhere");
  std::filesystem::copy_file(path, device_.dir() / "elsewhere" / "windows");
  auto fresh = WindowTable::Open(device_.dir() / "elsewhere");
  ASSERT_NE(fresh, nullptr);
  EXPECT_TRUE(fresh->TopLevel().empty());
  EXPECT_EQ(fresh->Foreground(), 0u);
}

}  // namespace
}  // namespace cedev::gwes
