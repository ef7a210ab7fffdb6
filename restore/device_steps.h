// The device's own settings around a restore: the start-up windows that a
// full reset leaves open, the touch calibration and the clock.
#pragma once

#include "ce/types.h"

#include "tool_texts.h"

// Closes the welcome window (and waits for the welcome program to end), then
// the owner dialog and the date-and-time dialog titled in the tool's language.
void CloseStartupWindows(const ToolTexts& texts);

// Has the touch panel calibrated when the storage keeps no calibration file
// ("Calibrate.dat" at its root) and the EEPROM asks for it. Never fails.
void CalibrateTouchPanel(LPCWSTR storage);
// Whether the EEPROM asks for a calibration: bit 0x40 of the fourth byte read
// from address 0x20. A device without "eeprom.dll" or "E2pRead", or a read
// that fails, does not ask.
BOOL EepromAsksForCalibration();

// Opens the control panel's clock settings ("ctlpnl.exe clock") and waits
// until the user closes them. FALSE when the control panel cannot be started.
BOOL SetClockByUser();
