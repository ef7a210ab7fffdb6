// Secrets (passwords) asked of a person: at the controlling terminal with
// echo off, else from an environment variable; never from the command line,
// where every user of the host can read them.
#pragma once

#include <string>

namespace tlvcli {

// Asks at the controlling terminal with echo off; without a terminal takes
// the environment variable `env_name`. False, with why, when neither is
// there. The secret is the bytes typed (or set), without the line end.
bool AskSecret(const std::string& prompt, const char* env_name, std::string* secret, std::string* why);

// Tests run commands in-process and must never wait at a real terminal.
void IgnoreTerminalForTests();

}  // namespace tlvcli
