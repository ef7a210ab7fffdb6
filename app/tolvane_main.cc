// The main program: its application object, run by the framework's WinMain.
#include "backup_app.h"

MBackupApp TheBackupApp;
