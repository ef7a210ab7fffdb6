// eeprom.dll: present only on devices with an EEPROM; E2pRead reads the
// configured bytes and refuses ranges outside them.
#include <gtest/gtest.h>

#include "ce/eeprom.h"
#include "ce/process.h"
#include "api_expect.h"
#include "eeprom_module.h"
#include "scratch_device.h"

namespace {

class Eeprom : public ::testing::Test {
 protected:
  void SetUp() override {
    cedev::RegisterEepromModule();
    device_.device().UpdateSettings([](cedev::DeviceSettings& s) {
      s.has_eeprom = true;
      s.eeprom.assign(64, 0);
      s.eeprom[0x20] = 0x11;
      s.eeprom[0x23] = 0x40;
    });
  }
  cedev::ScratchDevice device_;
};

TEST_F(Eeprom, ReadsTheCalibrationFlagBytes) {
  BYTE buffer[4] = {0xCC, 0xCC, 0xCC, 0xCC};
  EXPECT_EQ(E2pRead(0x20, 0, buffer, 4), 0u);
  EXPECT_EQ(buffer[0], 0x11);
  EXPECT_EQ(buffer[3] & 0x40, 0x40);
}

TEST_F(Eeprom, RangesOutsideTheEepromFailAndLeaveTheBufferAlone) {
  BYTE buffer[4] = {0xCC, 0xCC, 0xCC, 0xCC};
  EXPECT_NE(E2pRead(62, 0, buffer, 4), 0u);
  EXPECT_NE(E2pRead(0xFFFFFFFF, 0, buffer, 4), 0u);
  EXPECT_EQ(buffer[0], 0xCC);
  EXPECT_NE(E2pRead(0, 0, nullptr, 4), 0u);
  EXPECT_EQ(E2pRead(60, 0, buffer, 4), 0u);  // the last four bytes
}

TEST_F(Eeprom, TheLibraryLoadsOnlyOnDevicesWithAnEeprom) {
  HMODULE lib = LoadLibraryW(u"eeprom.dll");
  ASSERT_NE(lib, nullptr);
  auto read = reinterpret_cast<PFN_E2PREAD>(GetProcAddressW(lib, u"E2pRead"));
  ASSERT_NE(read, nullptr);
  BYTE buffer[4] = {};
  EXPECT_EQ(read(0x20, 0, buffer, 4), 0u);
  EXPECT_EQ(buffer[3], 0x40);
  EXPECT_TRUE(FreeLibrary(lib));

  device_.device().UpdateSettings([](cedev::DeviceSettings& s) { s.has_eeprom = false; });
  EXPECT_FAILS_WITH(LoadLibraryW(u"EEPROM.DLL"), nullptr, ERROR_MOD_NOT_FOUND);
  EXPECT_NE(E2pRead(0x20, 0, buffer, 4), 0u);
}

}  // namespace
