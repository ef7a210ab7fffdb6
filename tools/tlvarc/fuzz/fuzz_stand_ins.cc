// The reader never asks the user anything, but the engine's job status
// module (linked for SetJobError) refers to the cancel question's calls.
// These keep the fuzz build to the reader's own sources, without the whole
// emulated device; none of them is reached by the walker.
#include <windows.h>

#include <cstdlib>

int MessageBoxW(HWND, LPCWSTR, LPCWSTR, UINT) { std::abort(); }
int LoadStringW(HINSTANCE, UINT, LPWSTR, int) { std::abort(); }
HCURSOR LoadCursorW(HINSTANCE, LPCWSTR) { std::abort(); }
HCURSOR SetCursor(HCURSOR) { std::abort(); }
void Sleep(DWORD) { std::abort(); }
void NKDbgPrintfW(LPCWSTR, ...) { std::abort(); }
