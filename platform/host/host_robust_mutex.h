// A mutex that lives in memory shared by the device's programs. A program
// that dies holding it passes it on instead of leaving it locked, and whether
// its holder still lives can be asked without a system call while it does.
#pragma once

#include <cstdint>

namespace cedev::host {

// Room for the host's mutex, so callers that lay out shared memory need not
// see the host's headers.
struct alignas(8) RobustMutex {
  unsigned char storage[56];
};

// Sets up a zeroed RobustMutex; false when the host cannot.
bool SetUpRobustMutex(RobustMutex* mutex);
// Waits for the mutex. A holder that died leaves it consistent for the next
// taker. False only when it cannot be taken at all.
bool LockRobustMutex(RobustMutex* mutex);
void UnlockRobustMutex(RobustMutex* mutex);

// For a mutex that a program takes once and holds for its whole life: true
// while that holder lives. A mutex whose holder died (or that nobody holds)
// is left unlocked and consistent, ready for the next program to take.
bool RobustMutexHolderLives(RobustMutex* mutex);

}  // namespace cedev::host
