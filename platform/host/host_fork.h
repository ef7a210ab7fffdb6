// What a forked child must do before it uses state it inherited from its
// parent's threads (which did not come along).
#pragma once

namespace cedev::host {

// Runs `hook` in the child of every later fork of this process.
void AtForkChild(void (*hook)());

}  // namespace cedev::host
