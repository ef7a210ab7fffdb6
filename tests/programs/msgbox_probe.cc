// A device program for the scenario tests: asks two questions and exits with
// both answers (first * 10 + second), so a test sees which answers arrived.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
  int first = MessageBoxW(nullptr, TEXT("Go on?"), TEXT("Probe"), MB_YESNO | MB_ICONQUESTION);
  int second = MessageBoxW(nullptr, TEXT("Really?"), TEXT("Probe"), MB_OKCANCEL);
  return first * 10 + second;
}
