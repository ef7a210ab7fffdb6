#include "host_robust_mutex.h"

#include <pthread.h>

#include <cerrno>

namespace cedev::host {
namespace {

static_assert(sizeof(pthread_mutex_t) <= sizeof(RobustMutex::storage));
static_assert(alignof(pthread_mutex_t) <= alignof(RobustMutex));

pthread_mutex_t* Native(RobustMutex* mutex) { return reinterpret_cast<pthread_mutex_t*>(mutex->storage); }

}  // namespace

bool SetUpRobustMutex(RobustMutex* mutex) {
  pthread_mutexattr_t attributes;
  if (pthread_mutexattr_init(&attributes) != 0) return false;
  bool ok = pthread_mutexattr_setpshared(&attributes, PTHREAD_PROCESS_SHARED) == 0 &&
            pthread_mutexattr_setrobust(&attributes, PTHREAD_MUTEX_ROBUST) == 0 &&
            pthread_mutex_init(Native(mutex), &attributes) == 0;
  pthread_mutexattr_destroy(&attributes);
  return ok;
}

bool LockRobustMutex(RobustMutex* mutex) {
  int rc;
  do {
    rc = pthread_mutex_lock(Native(mutex));
  } while (rc == EINTR);
  // The holder died: what it guarded is the caller's to check (its entries
  // belong to a dead program), the mutex itself is fine.
  if (rc == EOWNERDEAD) rc = pthread_mutex_consistent(Native(mutex));
  return rc == 0;
}

void UnlockRobustMutex(RobustMutex* mutex) { pthread_mutex_unlock(Native(mutex)); }

bool RobustMutexHolderLives(RobustMutex* mutex) {
  int rc = pthread_mutex_trylock(Native(mutex));
  if (rc == EBUSY) return true;
  if (rc == EOWNERDEAD) {
    pthread_mutex_consistent(Native(mutex));
    rc = 0;
  }
  if (rc == 0) pthread_mutex_unlock(Native(mutex));
  return false;
}

}  // namespace cedev::host
