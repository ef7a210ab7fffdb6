// The commands behind the main window's buttons and the automatic run: each
// takes the main window (the owner of every box it shows), stops the
// window's refresh timer for its whole run and starts it again at the end.
#pragma once

#include <windows.h>

// The main window's refresh timer; the commands stop it while they run.
constexpr UINT_PTR kRefreshTimerId = 256;
constexpr UINT kRefreshPeriodMs = 1000;

extern BOOL RegistryOnly;  // 1 while a registry-only command runs

void BackupCommand(HWND mainWindow);
void RestoreCommand(HWND mainWindow);
void RegistryBackupCommand(HWND mainWindow);
void RegistryRestoreCommand(HWND mainWindow);
void DeleteCommand(HWND mainWindow);

// The battery rule: FALSE, after showing string `messageId` owned by
// `owner`, when the device runs on a critical battery without external power.
BOOL CheckBattery(HWND owner, UINT messageId);
