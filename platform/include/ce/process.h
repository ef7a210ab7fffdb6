// Processes, threads, synchronisation, modules: CreateProcessW ... FreeLibrary,
// WaitForSingleObject, CreateMutexW, Sleep.
#pragma once

#include "ce/types.h"
#include "ce/errors.h"

// --- Processes ---------------------------------------------------------------

typedef struct _PROCESS_INFORMATION {
  HANDLE hProcess;
  HANDLE hThread;
  DWORD dwProcessId;
  DWORD dwThreadId;
} PROCESS_INFORMATION, *PPROCESS_INFORMATION, *LPPROCESS_INFORMATION;

// Accepted for the signature only: the device takes no start-up information.
typedef struct _STARTUPINFOW {
  DWORD cb;
} STARTUPINFOW, *LPSTARTUPINFOW;

#define STILL_ACTIVE 259u
#define PROCESS_ALL_ACCESS 0x001F0FFFu
#define PROCESS_TERMINATE 0x0001u
#ifndef SYNCHRONIZE
#define SYNCHRONIZE 0x00100000L
#endif
#define CREATE_SUSPENDED 0x00000004u
#define CREATE_NEW_CONSOLE 0x00000010u

// Starts the device executable `pszImageName` (a device path; a bare name is
// looked for in \Windows) with `pszCmdLine` as its command line. As on the
// device, the security attributes, inherit flag, environment, current folder
// and start-up information must be NULL/FALSE. ERROR_FILE_NOT_FOUND for a
// missing executable, ERROR_BAD_EXE_FORMAT for a file that is not one.
BOOL CreateProcessW(LPCWSTR pszImageName, LPCWSTR pszCmdLine, LPSECURITY_ATTRIBUTES psaProcess,
                    LPSECURITY_ATTRIBUTES psaThread, BOOL fInheritHandles, DWORD fdwCreate, LPVOID pvEnvironment,
                    LPWSTR pszCurDir, LPSTARTUPINFOW psiStartInfo, LPPROCESS_INFORMATION pProcInfo);
#define CreateProcess CreateProcessW
// Any running device program of this device, by process id.
HANDLE OpenProcess(DWORD fdwAccess, BOOL fInherit, DWORD IDProcess);
BOOL GetExitCodeProcess(HANDLE hProcess, LPDWORD lpExitCode);
BOOL TerminateProcess(HANDLE hProcess, DWORD uExitCode);
[[noreturn]] void ExitProcess(UINT uExitCode);
DWORD GetCurrentProcessId();
HANDLE GetCurrentProcess();

// --- Threads -----------------------------------------------------------------

typedef DWORD(WINAPI* PTHREAD_START_ROUTINE)(LPVOID lpThreadParameter);
typedef PTHREAD_START_ROUTINE LPTHREAD_START_ROUTINE;

HANDLE CreateThread(LPSECURITY_ATTRIBUTES lpsa, DWORD cbStack, LPTHREAD_START_ROUTINE lpStartAddr, LPVOID lpvThreadParam,
                    DWORD fdwCreate, LPDWORD lpIDThread);
// Ends the calling thread; objects on its stack are destroyed as it unwinds.
[[noreturn]] void ExitThread(DWORD dwExitCode);
BOOL GetExitCodeThread(HANDLE hThread, LPDWORD lpExitCode);
DWORD GetCurrentThreadId();
HANDLE GetCurrentThread();

// --- Waiting and synchronisation --------------------------------------------

#define WAIT_OBJECT_0 0x00000000u
#define WAIT_ABANDONED 0x00000080u
#define WAIT_FAILED 0xFFFFFFFFu
#define STATUS_WAIT_0 0x00000000u

// Process, thread, mutex and event handles. Time limits in milliseconds
// (INFINITE waits for ever); WAIT_TIMEOUT when the limit passes.
DWORD WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds);

// Named mutexes are shared by every device program of the device and are
// released when their holder dies (the next owner gets WAIT_ABANDONED).
// Opening an existing name returns a handle to it and sets
// ERROR_ALREADY_EXISTS.
HANDLE CreateMutexW(LPSECURITY_ATTRIBUTES lpsa, BOOL bInitialOwner, LPCWSTR lpName);
#define CreateMutex CreateMutexW
BOOL ReleaseMutex(HANDLE hMutex);

// Events are private to the process that creates them; a name lets threads of
// one program find the same event.
HANDLE CreateEventW(LPSECURITY_ATTRIBUTES lpEventAttributes, BOOL bManualReset, BOOL bInitialState, LPCWSTR lpName);
#define CreateEvent CreateEventW
BOOL SetEvent(HANDLE hEvent);
BOOL ResetEvent(HANDLE hEvent);

void Sleep(DWORD dwMilliseconds);
// Milliseconds since the device started; wraps after 49.7 days.
DWORD GetTickCount();

// --- Modules -----------------------------------------------------------------

// A generic function pointer; callers cast it to the export's real type. It is
// void(*)() so that the cast compiles cleanly with the compiler's
// function-cast warnings on.
typedef void(WINAPI* FARPROC)();

// The program's own module (its HINSTANCE) for NULL; else a loaded module.
HMODULE GetModuleHandleW(LPCWSTR lpModuleName);
#define GetModuleHandle GetModuleHandleW
// The device path the program was started from for NULL; returns the units
// copied; a name that does not fit is truncated and terminated, and nSize is
// returned with ERROR_INSUFFICIENT_BUFFER.
DWORD GetModuleFileNameW(HMODULE hModule, LPWSTR lpFilename, DWORD nSize);
#define GetModuleFileName GetModuleFileNameW
// The arguments only, without the program name, as on the device.
LPWSTR GetCommandLineW();
#define GetCommandLine GetCommandLineW
// The device's modules: "CoreDll.dll" always, "eeprom.dll" when the device has one.
HMODULE LoadLibraryW(LPCWSTR lpLibFileName);
#define LoadLibrary LoadLibraryW
FARPROC GetProcAddressW(HMODULE hModule, LPCWSTR lpProcName);
#define GetProcAddress GetProcAddressW
BOOL FreeLibrary(HMODULE hLibModule);

// The program's entry point, called by the device's start-up code.
#define SW_HIDE 0
#define SW_SHOWNORMAL 1
#define SW_SHOW 5
int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPWSTR lpCmdLine, int nCmdShow);
