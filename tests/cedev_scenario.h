// The fixture of the cedev scenarios: the sample device made in a scratch
// folder, driven by the cedev program as a user would.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "tool_runner.h"

namespace tlvtest {

class CedevScenario : public ::testing::Test {
 protected:
  void SetUp() override {
    device_ = (scratch_.path() / "device").string();
    ToolResult init = RunTool("cedev", {"init", device_});
    ASSERT_EQ(init.exit_code, 0) << init.err;
  }
  // Windows a boot or a test opened (the start-up windows of a full reset)
  // close, so no program outlives its device.
  void TearDown() override { Cedev({"ui", "close", "--all"}); }

  ToolResult Cedev(std::vector<std::string> args, std::vector<std::string> env = {}) {
    args.insert(args.begin(), {"-d", device_});
    return RunTool("cedev", args, env);
  }

  // Waits until the journal holds a line with `text` (boot starts programs
  // without waiting for them).
  bool AwaitEvent(const std::string& text) {
    for (int i = 0; i < 100; ++i) {
      if (Cedev({"events"}).out.find(text) != std::string::npos) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
  }

  ScratchFolder scratch_;
  std::string device_;
};

}  // namespace tlvtest
