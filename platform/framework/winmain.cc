// The entry point of a device program written on the framework: the host
// entry point calls WinMain, which runs the program's application object.
// Kept in its own object file so that only programs without a WinMain of
// their own take it from the library.
#include "framework.h"

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPWSTR lpCmdLine, int nCmdShow) {
  return AfxWinMain(hInstance, hPrevInstance, lpCmdLine, nCmdShow);
}
