#include "host_fork.h"

#include <pthread.h>

namespace cedev::host {

void AtForkChild(void (*hook)()) { pthread_atfork(nullptr, nullptr, hook); }

}  // namespace cedev::host
