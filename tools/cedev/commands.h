// The functions behind the command table, one file per group.
#pragma once

#include "command.h"

namespace cedev::tool {

int RunInit(const CommandArgs& args, CommandContext& ctx);    // init_command.cc
int RunInfo(const CommandArgs& args, CommandContext& ctx);    // info_command.cc
int RunLs(const CommandArgs& args, CommandContext& ctx);      // file_commands.cc
int RunGet(const CommandArgs& args, CommandContext& ctx);
int RunPut(const CommandArgs& args, CommandContext& ctx);
int RunMkdir(const CommandArgs& args, CommandContext& ctx);   // file_changes.cc
int RunRm(const CommandArgs& args, CommandContext& ctx);
int RunMv(const CommandArgs& args, CommandContext& ctx);
int RunCp(const CommandArgs& args, CommandContext& ctx);
int RunAttrib(const CommandArgs& args, CommandContext& ctx);
int RunTouch(const CommandArgs& args, CommandContext& ctx);
int RunReg(const CommandArgs& args, CommandContext& ctx);     // reg_command.cc
int RunDb(const CommandArgs& args, CommandContext& ctx);      // db_command.cc
int RunSet(const CommandArgs& args, CommandContext& ctx);     // set_command.cc
int RunReset(const CommandArgs& args, CommandContext& ctx);   // power_commands.cc
int RunBoot(const CommandArgs& args, CommandContext& ctx);
int RunRun(const CommandArgs& args, CommandContext& ctx);     // run_command.cc
int RunEvents(const CommandArgs& args, CommandContext& ctx);  // events_command.cc
int RunFault(const CommandArgs& args, CommandContext& ctx);   // fault_command.cc
int RunJob(const CommandArgs& args, CommandContext& ctx);     // job_dispatch.cc
int RunVolume(const CommandArgs& args, CommandContext& ctx);  // volume_command.cc
int RunUi(const CommandArgs& args, CommandContext& ctx);      // ui_command.cc

// The keys `cedev set` knows, with their help lines (set_command.cc).
const char* SetKeysHelp();

}  // namespace cedev::tool
