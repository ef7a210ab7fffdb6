// The program's application object: refuses a second copy, reads the
// command line of an unattended run and creates the main window; the
// program ends when that window has gone.
#pragma once

#include <windows.h>

#include "framework.h"

class MBackupApp : public CWinApp {
 public:
  MBackupApp() : CWinApp(nullptr) {}

  BOOL InitInstance() override;
  // The main window object goes with the program's message loop.
  int ExitInstance() override;
};

// FALSE when another copy runs (its window has been brought to the front)
// or the main window's class cannot be registered.
BOOL EnsureSingleInstance();
