#include "device_steps.h"

#include <windows.h>

#include "ce/eeprom.h"
#include "tool_paths.h"

namespace {

const WCHAR kCalibrationFile[] = TEXT("Calibrate.dat");
const WCHAR kEepromLibrary[] = TEXT("eeprom.dll");
const WCHAR kEepromRead[] = TEXT("E2pRead");
constexpr DWORD kCalibrationFlagAddress = 0x20;
constexpr DWORD kCalibrationFlagBytes = 4;
constexpr BYTE kCalibrationWanted = 0x40;

const WCHAR kControlPanel[] = TEXT("ctlpnl.exe");
const WCHAR kClockApplet[] = TEXT("clock");

}  // namespace

BOOL EepromAsksForCalibration() {
  HMODULE eeprom = LoadLibraryW(kEepromLibrary);
  if (!eeprom) return FALSE;
  BYTE flag[kCalibrationFlagBytes] = {0};
  DWORD result = 1;
  auto read = reinterpret_cast<PFN_E2PREAD>(GetProcAddressW(eeprom, kEepromRead));
  if (read) result = read(kCalibrationFlagAddress, 0, flag, kCalibrationFlagBytes);
  FreeLibrary(eeprom);
  return result == 0 && (flag[3] & kCalibrationWanted) != 0;
}

void CalibrateTouchPanel(LPCWSTR storage) {
  WCHAR marker[kToolPathUnits];
  FormatStorageRootPath(marker, storage, kCalibrationFile);
  if (PathFound(marker)) return;
  if (EepromAsksForCalibration()) TouchCalibrate();
}

BOOL SetClockByUser() {
  PROCESS_INFORMATION clock = {};
  if (!CreateProcessW(kControlPanel, kClockApplet, nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr, &clock)) {
    return FALSE;
  }
  WaitForSingleObject(clock.hProcess, INFINITE);
  CloseHandle(clock.hThread);
  CloseHandle(clock.hProcess);
  return TRUE;
}
