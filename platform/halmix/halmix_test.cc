// Halmix.dll: the buzzer goes to the journal. (Soft reset ends its caller;
// the process tests run it in a device program.)
#include <gtest/gtest.h>

#include "ce/halmix.h"
#include "journal.h"
#include "scratch_device.h"

namespace {

TEST(Halmix, BuzzerPatternsAreJournalled) {
  cedev::ScratchDevice device;
  EXPECT_TRUE(SysPlayBuzzer(2, 0, 0));
  EXPECT_TRUE(SysPlayBuzzer(1, 100, 3));
  std::vector<std::string> seen;
  for (const auto& e : cedev::JournalRead()) {
    if (e.kind == "buzzer") seen.push_back(e.text);
  }
  EXPECT_EQ(seen, (std::vector<std::string>{"pattern 2 0 0", "pattern 1 100 3"}));
}

}  // namespace
