// Device services: power status, KernelIoControl, notifications, shell folders, sounds, keys, debug output, touch calibration.
#pragma once

#include "ce/types.h"
#include "ce/errors.h"
#include "ce/keys.h"

// --- Power -------------------------------------------------------------------

#define AC_LINE_OFFLINE 0x00
#define AC_LINE_ONLINE 0x01
#define AC_LINE_BACKUP_POWER 0x02
#define AC_LINE_UNKNOWN 0xFF
#define BATTERY_FLAG_HIGH 0x01
#define BATTERY_FLAG_LOW 0x02
#define BATTERY_FLAG_CRITICAL 0x04
#define BATTERY_FLAG_CHARGING 0x08
#define BATTERY_FLAG_NO_BATTERY 0x80
#define BATTERY_FLAG_UNKNOWN 0xFF
#define BATTERY_PERCENTAGE_UNKNOWN 0xFF
#define BATTERY_LIFE_UNKNOWN 0xFFFFFFFFu

typedef struct _SYSTEM_POWER_STATUS_EX {
  BYTE ACLineStatus;
  BYTE BatteryFlag;
  BYTE BatteryLifePercent;
  BYTE Reserved1;
  DWORD BatteryLifeTime;
  DWORD BatteryFullLifeTime;
  BYTE Reserved2;
  BYTE BackupBatteryFlag;
  BYTE BackupBatteryLifePercent;
  BYTE Reserved3;
  DWORD BackupBatteryLifeTime;
  DWORD BackupBatteryFullLifeTime;
} SYSTEM_POWER_STATUS_EX, *PSYSTEM_POWER_STATUS_EX, *LPSYSTEM_POWER_STATUS_EX;

// Battery flags follow the percentage: high above 50 %, low at 20 % or
// less, critical at 5 % or less; charging while on the AC line.
BOOL GetSystemPowerStatusEx(PSYSTEM_POWER_STATUS_EX pstatus, BOOL fUpdate);

// --- KernelIoControl ---------------------------------------------------------

#define FILE_DEVICE_HAL 0x00000101u
#define METHOD_BUFFERED 0u
#define FILE_ANY_ACCESS 0u
#define CTL_CODE(DeviceType, Function, Method, Access) (((DeviceType) << 16) | ((Access) << 14) | ((Function) << 2) | (Method))
#define IOCTL_HAL_GET_DEVICE_INFO CTL_CODE(FILE_DEVICE_HAL, 1, METHOD_BUFFERED, FILE_ANY_ACCESS)
#define SPI_GETPLATFORMTYPE 257u
#define SPI_GETOEMINFO 258u

// IOCTL_HAL_GET_DEVICE_INFO with a DWORD SPI_GETPLATFORMTYPE (or
// SPI_GETOEMINFO) in the input buffer returns the zero-terminated UTF-16
// string; *lpBytesReturned is set to the bytes needed even when the output
// buffer is too small (ERROR_INSUFFICIENT_BUFFER). Other codes:
// ERROR_NOT_SUPPORTED.
BOOL KernelIoControl(DWORD dwIoControlCode, LPVOID lpInBuf, DWORD nInBufSize, LPVOID lpOutBuf, DWORD nOutBufSize,
                     LPDWORD lpBytesReturned);

// --- Notifications -------------------------------------------------------------

#define NOTIFICATION_EVENT_NONE 0
#define NOTIFICATION_EVENT_TIME_CHANGE 1
#define NOTIFICATION_EVENT_SYNC_END 2
#define NOTIFICATION_EVENT_ON_AC_POWER 3
#define NOTIFICATION_EVENT_OFF_AC_POWER 4
#define NOTIFICATION_EVENT_NET_CONNECT 5
#define NOTIFICATION_EVENT_NET_DISCONNECT 6
#define NOTIFICATION_EVENT_DEVICE_CHANGE 7
#define NOTIFICATION_EVENT_IR_DISCOVERED 8
#define NOTIFICATION_EVENT_RS232_DETECTED 9
#define NOTIFICATION_EVENT_RESTORE_END 10
#define NOTIFICATION_EVENT_WAKEUP 11
#define NOTIFICATION_EVENT_TZ_CHANGE 12
#define NOTIFICATION_EVENT_MACHINE_NAME_CHANGE 13
#define NOTIFICATION_EVENT_LAST NOTIFICATION_EVENT_MACHINE_NAME_CHANGE

// Runs the application at the given local time; a NULL time removes its
// timed runs.
BOOL CeRunAppAtTime(LPCWSTR pwszAppName, SYSTEMTIME* lpTime);
// Runs the application on the event; NOTIFICATION_EVENT_NONE removes all of
// its event registrations.
BOOL CeRunAppAtEvent(LPCWSTR pwszAppName, LONG lWhichEvent);

// --- Shell folders -------------------------------------------------------------

#define CSIDL_PROGRAMS 0x0002
#define CSIDL_PERSONAL 0x0005
#define CSIDL_FAVORITES 0x0006
#define CSIDL_STARTUP 0x0007
#define CSIDL_RECENT 0x0008
#define CSIDL_DESKTOPDIRECTORY 0x0010
#define CSIDL_FONTS 0x0014
#define CSIDL_WINDOWS 0x0024
#define CSIDL_PROGRAM_FILES 0x0026

// Writes the folder's device path into pszPath (MAX_PATH units).
// ERROR_INVALID_PARAMETER for an unknown folder or a NULL buffer.
BOOL SHGetSpecialFolderPath(HWND hwndOwner, LPWSTR lpszPath, int nFolder, BOOL fCreate);
#define SHGetSpecialFolderPathW SHGetSpecialFolderPath

// --- Sounds, keys --------------------------------------------------------------

#define SND_SYNC 0x0000u
#define SND_ASYNC 0x0001u
#define SND_NODEFAULT 0x0002u
#define SND_MEMORY 0x0004u
#define SND_LOOP 0x0008u
#define SND_NOSTOP 0x0010u
#define SND_NOWAIT 0x00002000u
#define SND_ALIAS 0x00010000u
#define SND_FILENAME 0x00020000u
#define SND_RESOURCE 0x00040004u

// The device has no speaker on the host: sounds are recorded in the journal.
BOOL PlaySoundW(LPCWSTR pszSound, HMODULE hmod, DWORD fdwSound);
#define PlaySound PlaySoundW

#define KEYEVENTF_EXTENDEDKEY 0x0001u
#define KEYEVENTF_KEYUP 0x0002u
#define KEYEVENTF_SILENT 0x0004u


// Synthetic key events are recorded in the journal.
void keybd_event(BYTE bVk, BYTE bScan, DWORD dwFlags, DWORD dwExtraInfo);
// 0x8000 set while the key is held down (the device's keys_held setting).
SHORT GetAsyncKeyState(int vKey);

// --- Debug output, calibration, language --------------------------------------

// printf-style (the wsprintfW conversions); the text goes to the journal.
void NKDbgPrintfW(LPCWSTR lpszFmt, ...);
// The core library's touch-screen calibration routine.
BOOL TouchCalibrate();
LANGID GetUserDefaultUILanguage();
