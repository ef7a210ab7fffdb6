// Another program of the current device for tests that need one: a forked
// child doing its work on a fresh thread, so it opens its own connection to
// the device's database and never touches the one it inherited.
#pragma once

#include <functional>

namespace cedev {

// Runs `work` in the other program and waits for it. Returns what `work`
// returned (as its exit code), or -1 when the program did not end normally.
int RunAsOtherProgram(const std::function<int()>& work);

}  // namespace cedev
