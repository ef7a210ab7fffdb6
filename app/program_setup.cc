#include "program_setup.h"

#include "app_state.h"
#include "backup_location.h"
#include "data_nodes.h"
#include "job_status.h"
#include "jobs.h"
#include "reg_nodes.h"
#include "res/dialogs.h"
#include "res/strings.h"

void SetUpProgram(HINSTANCE module) {
  ModuleInstance = module;
  RegisterTolvaneStrings(module);
  RegisterTolvaneDialogs(module);
  LoadAppTitle();
  SetJobMessageSource(module, AppTitle);
  SetBackupLocationSource(GetBackupLocation);
  InitRegistryNodes();
  InitDataNodes();
}
