// `cedev volume`: a card goes in and out of the device, and the windows of
// running programs hear of it.
#include <gtest/gtest.h>
#include <windows.h>

#include <sstream>

#include "command.h"
#include "scratch_device.h"
#include "window_testing.h"

namespace cedev::tool {
namespace {

class VolumeCommand : public ::testing::Test {
 protected:
  int Volume(std::vector<std::string> args) {
    args.insert(args.begin(), {"-d", dev_.dir().string(), "volume"});
    out_.str("");
    err_.str("");
    return RunCedev(args, out_, err_);
  }
  bool Mounted(const std::string& name) {
    for (const auto& v : Device::Current()->Settings().volumes) {
      if (v.name == name) return true;
    }
    return false;
  }
  std::vector<WPARAM> DeviceChanges() {
    PumpPending();
    std::vector<WPARAM> out;
    for (const auto& m : log_.Take()) {
      if (m.message == WM_DEVICECHANGE) out.push_back(m.wparam);
    }
    return out;
  }

  ScratchDevice dev_;
  MessageLog log_;
  std::ostringstream out_, err_;
};

TEST_F(VolumeCommand, ACardGoesInAndOutAndKeepsWhatItHolds) {
  HWND window = CreateLoggedWindow(WS_VISIBLE);
  ASSERT_EQ(Volume({"add", "SD Card", "2M"}), kExitOk) << err_.str();
  EXPECT_TRUE(Mounted("SD Card"));
  EXPECT_EQ(DeviceChanges(), (std::vector<WPARAM>{DBT_DEVICEARRIVAL}));
  EXPECT_NE(GetFileAttributesW(u"\\SD Card"), INVALID_FILE_ATTRIBUTES);
  HANDLE file = CreateFileW(u"\\SD Card\\kept.txt", GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  CloseHandle(file);
  EXPECT_EQ(Volume({"add", "sd card"}), kExitFailure);  // mounted already

  ASSERT_EQ(Volume({"remove", "SD Card"}), kExitOk) << err_.str();
  EXPECT_FALSE(Mounted("SD Card"));
  EXPECT_EQ(DeviceChanges(), (std::vector<WPARAM>{DBT_DEVICEREMOVECOMPLETE}));
  EXPECT_EQ(GetFileAttributesW(u"\\SD Card\\kept.txt"), INVALID_FILE_ATTRIBUTES);
  ASSERT_EQ(Volume({"add", "SD Card"}), kExitOk);
  EXPECT_NE(GetFileAttributesW(u"\\SD Card\\kept.txt"), INVALID_FILE_ATTRIBUTES);
  DestroyWindow(window);
}

TEST_F(VolumeCommand, BadNamesSizesAndMissingVolumesAreRefused) {
  EXPECT_EQ(Volume({"add", "..\\escape"}), kExitUsage);
  EXPECT_EQ(Volume({"add", "Card", "lots"}), kExitUsage);
  EXPECT_EQ(Volume({"remove", "Nothing"}), kExitFailure);
  EXPECT_NE(err_.str().find("Nothing"), std::string::npos);
  EXPECT_EQ(Volume({"eject", "FlashDisk"}), kExitUsage);
  EXPECT_TRUE(Mounted("FlashDisk"));
}

}  // namespace
}  // namespace cedev::tool
