#include "fork_hooks.h"

#include <pthread.h>

namespace cedev {

void AtForkChild(void (*hook)()) { pthread_atfork(nullptr, nullptr, hook); }

}  // namespace cedev
