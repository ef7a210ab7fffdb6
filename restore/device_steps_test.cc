// The device settings steps on scratch devices: the setup programs'
// registration and its undoing, the calibration matrix, the clock step.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <windows.h>

#include <optional>
#include <string>

#include "device_files.h"
#include "device_steps.h"
#include "device_control.h"
#include "scratch_device.h"
#include "setup_programs.h"

namespace {

const char16_t kSetupKey[] = u"Drivers\\Velta\\UTIL\\FLSETUP";

struct RegValue {
  DWORD type = 0;
  std::u16string text;  // the data as UTF-16 units, terminator included when stored
  bool operator==(const RegValue&) const = default;
};

std::optional<RegValue> QuerySetupValue(const char16_t* name) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSetupKey, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return std::nullopt;
  BYTE data[1024];
  DWORD bytes = sizeof data;
  RegValue value;
  LONG result = RegQueryValueExW(key, name, nullptr, &value.type, data, &bytes);
  RegCloseKey(key);
  if (result != ERROR_SUCCESS) return std::nullopt;
  value.text.assign(reinterpret_cast<const char16_t*>(data), bytes / 2);
  return value;
}

void SetSetupValue(const char16_t* name, const std::u16string& units) {
  HKEY key = nullptr;
  DWORD disposition = 0;
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, kSetupKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, &disposition),
            ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(units.data()), DWORD(units.size() * 2)),
            ERROR_SUCCESS);
  RegCloseKey(key);
}

bool SetupKeyExists() {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSetupKey, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

std::u16string WithTerminator(const std::u16string& text) { return text + u'\0'; }

int JournalCount(const std::string& kind) {
  int count = 0;
  for (const auto& e : cedev::JournalRead()) count += e.kind == kind;
  return count;
}

class DeviceSteps : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char16_t* folder : {u"\\Windows", u"\\FlashDisk\\CE", u"\\FlashDisk\\CE\\ARM"}) {
      ASSERT_TRUE(CreateDirectoryW(folder, nullptr));
    }
  }
  void TearDown() override { cedev::ClearFaults(); }

  void PutSetupProgram(int number) {
    std::u16string path = u"\\FlashDisk\\CE\\ARM\\SetApl" + std::u16string(1, char16_t(u'0' + number)) + u".exe";
    ASSERT_TRUE(WriteDeviceText(path, "setup program"));
  }

  // Values "1" to "3" as the user's device had them before the run.
  void SetPreviousEntries() {
    SetSetupValue(u"1", WithTerminator(u"\\Old\\first.exe"));
    SetSetupValue(u"2", WithTerminator(u"\\Old\\second.exe"));
    SetSetupValue(u"3", WithTerminator(u"\\Old\\third.exe"));
  }

  void ExpectPreviousEntries() {
    EXPECT_EQ(QuerySetupValue(u"1"), (RegValue{REG_SZ, u"\\Old\\first.exe"}));
    EXPECT_EQ(QuerySetupValue(u"2"), (RegValue{REG_SZ, u"\\Old\\second.exe"}));
    EXPECT_EQ(QuerySetupValue(u"3"), (RegValue{REG_SZ, u"\\Old\\third.exe"}));
  }

  void SetEeprom(bool present, BYTE fourthByte, size_t size = 64) {
    cedev::RegisterEepromModule();
    ASSERT_TRUE(device_.device().UpdateSettings([&](cedev::DeviceSettings& s) {
      s.has_eeprom = present;
      s.eeprom.assign(size, 0);
      if (size > 0x23) s.eeprom[0x23] = fourthByte;
    }));
  }

  cedev::ScratchDevice device_;
};

// ---- Setup programs

TEST_F(DeviceSteps, OnlyTheSecondSetupProgramGoesIntoValueOneAndTheOthersKeepTheirContent) {
  SetPreviousEntries();
  PutSetupProgram(2);
  SetupPrograms programs;
  EXPECT_TRUE(RegisterSetupPrograms(u"FlashDisk", &programs));
  EXPECT_EQ(programs.count, 1);
  // The relative path, written without its terminator.
  EXPECT_EQ(QuerySetupValue(u"1"), (RegValue{REG_SZ, u"\\CE\\ARM\\SetApl2.exe"}));
  EXPECT_EQ(QuerySetupValue(u"2"), (RegValue{REG_SZ, WithTerminator(u"\\Old\\second.exe")}));
  EXPECT_EQ(QuerySetupValue(u"3"), (RegValue{REG_SZ, WithTerminator(u"\\Old\\third.exe")}));

  // A failed backup puts every saved entry back.
  EXPECT_TRUE(PutSavedSetupEntriesBack(programs));
  ExpectPreviousEntries();
}

TEST_F(DeviceSteps, AllThreeSetupProgramsAreRegisteredInOrder) {
  for (int n : {3, 1, 2}) PutSetupProgram(n);
  SetupPrograms programs;
  EXPECT_TRUE(RegisterSetupPrograms(u"FlashDisk", &programs));
  EXPECT_EQ(programs.count, 3);
  EXPECT_EQ(QuerySetupValue(u"1")->text, u"\\CE\\ARM\\SetApl1.exe");
  EXPECT_EQ(QuerySetupValue(u"2")->text, u"\\CE\\ARM\\SetApl2.exe");
  EXPECT_EQ(QuerySetupValue(u"3")->text, u"\\CE\\ARM\\SetApl3.exe");
  // With no previous entries, putting them back leaves the key empty.
  EXPECT_TRUE(PutSavedSetupEntriesBack(programs));
  EXPECT_TRUE(SetupKeyExists());
  EXPECT_FALSE(QuerySetupValue(u"1"));
  EXPECT_FALSE(QuerySetupValue(u"3"));
}

TEST_F(DeviceSteps, WithoutSetupProgramsTheKeyIsNotTouched) {
  SetupPrograms programs;
  EXPECT_TRUE(RegisterSetupPrograms(u"FlashDisk", &programs));
  EXPECT_EQ(programs.count, 0);
  EXPECT_FALSE(SetupKeyExists());
  EXPECT_TRUE(PutSavedSetupEntriesBack(programs));
  EXPECT_FALSE(SetupKeyExists()) << "nothing to put back";

  SetPreviousEntries();
  EXPECT_TRUE(RegisterSetupPrograms(u"FlashDisk", &programs));
  EXPECT_TRUE(PutSavedSetupEntriesBack(programs));
  EXPECT_EQ(QuerySetupValue(u"2"), (RegValue{REG_SZ, WithTerminator(u"\\Old\\second.exe")})) << "left as it was";
}

TEST_F(DeviceSteps, APreviousValueLongerThanItsSlotIsDeletedAndNotPutBack) {
  SetPreviousEntries();
  SetSetupValue(u"2", WithTerminator(std::u16string(200, u'x')));
  PutSetupProgram(1);
  SetupPrograms programs;
  EXPECT_TRUE(RegisterSetupPrograms(u"FlashDisk", &programs));
  EXPECT_FALSE(QuerySetupValue(u"2")) << "deleted while saving";
  EXPECT_TRUE(PutSavedSetupEntriesBack(programs));
  EXPECT_EQ(QuerySetupValue(u"1")->text, u"\\Old\\first.exe");
  EXPECT_FALSE(QuerySetupValue(u"2"));
  EXPECT_EQ(QuerySetupValue(u"3")->text, u"\\Old\\third.exe");
}

TEST_F(DeviceSteps, AValueThatFillsItsSlotWithoutTerminatorComesBackWhole) {
  std::u16string full(128, u'f');  // exactly the slot's 256 bytes
  SetSetupValue(u"1", full);
  PutSetupProgram(3);
  SetupPrograms programs;
  ASSERT_TRUE(RegisterSetupPrograms(u"FlashDisk", &programs));
  EXPECT_TRUE(PutSavedSetupEntriesBack(programs));
  EXPECT_EQ(QuerySetupValue(u"1"), (RegValue{REG_SZ, full}));
}

TEST_F(DeviceSteps, ARegistrationTheRegistryRefusesFailsAndCanBeUndone) {
  SetPreviousEntries();
  PutSetupProgram(1);
  PutSetupProgram(2);
  SetupPrograms programs;
  ASSERT_TRUE(cedev::AddFault("reg.set", u"HKEY_LOCAL_MACHINE\\Drivers\\Velta\\UTIL\\FLSETUP\\2", ERROR_ACCESS_DENIED, 1));
  EXPECT_FALSE(RegisterSetupPrograms(u"FlashDisk", &programs));
  EXPECT_EQ(QuerySetupValue(u"1")->text, u"\\CE\\ARM\\SetApl1.exe");
  EXPECT_TRUE(PutSavedSetupEntriesBack(programs));
  ExpectPreviousEntries();

  ASSERT_TRUE(cedev::AddFault("reg.create", u"HKEY_LOCAL_MACHINE\\Drivers\\Velta\\UTIL\\FLSETUP", ERROR_ACCESS_DENIED));
  EXPECT_FALSE(RegisterSetupPrograms(u"FlashDisk", &programs));
  EXPECT_FALSE(PutSavedSetupEntriesBack(programs));
}

// ---- Calibration

TEST_F(DeviceSteps, CalibrationRunsOnlyWithoutTheMarkerFileAndWhenTheEepromAsks) {
  struct Case {
    bool marker;
    bool eeprom;
    BYTE flag;
    bool calibrates;
  };
  const Case cases[] = {
      {true, true, 0x40, false},   // the stored calibration wins
      {false, true, 0x40, true},   // the EEPROM asks
      {false, true, 0xBF, false},  // every bit but the one
      {false, false, 0x40, false}, // no eeprom.dll
      {true, false, 0x00, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "marker " << c.marker << " eeprom " << c.eeprom << " flag " << int(c.flag));
    SetEeprom(c.eeprom, c.flag);
    if (c.marker) ASSERT_TRUE(WriteDeviceText(u"\\FlashDisk\\Calibrate.dat", "points"));
    else DeleteFileW(u"\\FlashDisk\\Calibrate.dat");
    int before = JournalCount("calibration");
    CalibrateTouchPanel(u"FlashDisk");
    EXPECT_EQ(JournalCount("calibration") - before, c.calibrates ? 1 : 0);
  }
}

TEST_F(DeviceSteps, AnEepromReadThatFailsDoesNotAskForCalibration) {
  SetEeprom(true, 0x40, 0x22);  // too short for the four bytes at 0x20
  EXPECT_FALSE(EepromAsksForCalibration());
  SetEeprom(true, 0x40);
  EXPECT_TRUE(EepromAsksForCalibration());
  // The library is freed again after every look.
  EXPECT_EQ(GetModuleHandleW(u"eeprom.dll"), nullptr);
}

// ---- Clock

TEST_F(DeviceSteps, TheClockStepOpensTheControlPanelsClockAndWaitsForIt) {
  ASSERT_TRUE(WriteDeviceText(u"\\Windows\\ctlpnl.exe", "#!cedev-program ctlpnl\n"));
  // The clock settings are a dialog that stays until somebody answers it.
  ASSERT_TRUE(device_.device().UpdateSettings([](cedev::DeviceSettings& s) {
    s.auto_user = true;
    s.auto_user_delay_ms = 100;
  }));
  EXPECT_TRUE(SetClockByUser());
  std::vector<std::string> panel;
  for (const auto& e : cedev::JournalRead()) {
    if (e.kind == "ctlpnl") panel.push_back(e.text);
  }
  EXPECT_THAT(panel, ::testing::ElementsAre("clock settings opened", "clock settings closed with OK, unchanged"));
}

TEST_F(DeviceSteps, TheClockStepFailsWithoutTheControlPanel) { EXPECT_FALSE(SetClockByUser()); }

}  // namespace
