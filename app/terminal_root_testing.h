// The root of a terminal's file system for the main program's tests:
// FlashDisk and "Storage Card" (volumes), plain "Temp" and "My Documents",
// and the mounted folders "Release", the network folder and "Card Slot"
// (a card's mount folder in the store).
#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include "scratch_device.h"

inline cedev::DeviceSettings TerminalRootSettings() {
  cedev::DeviceSettings s = cedev::ScratchDevice::DefaultSettings();
  s.mounted_folders = {"Release", "ネットワーク", "Card Slot"};
  return s;
}

// Makes the root's folders on the current device (a scratch device made
// with TerminalRootSettings).
inline void MakeTerminalRootFolders() {
  for (LPCWSTR folder : {u"\\Temp", u"\\My Documents", u"\\Windows", u"\\Release", u"\\ネットワーク", u"\\Card Slot"}) {
    ASSERT_TRUE(CreateDirectoryW(folder, nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
  }
  // The system folders are mounted like cards: only their names keep them out.
  ASSERT_NE(GetFileAttributesW(u"\\Release") & FILE_ATTRIBUTE_TEMPORARY, 0u);
  ASSERT_NE(GetFileAttributesW(u"\\ネットワーク") & FILE_ATTRIBUTE_TEMPORARY, 0u);
}
