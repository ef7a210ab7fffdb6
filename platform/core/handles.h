// The process's handle table. Every kernel object a program can hold (file,
// find, registry key, database, process, thread, mutex) derives from KObject
// and is reached through an opaque handle value; closing the last handle runs
// the object's destructor, which is where each service cleans up.
#pragma once

#include <memory>

#include "ce/types.h"

namespace cedev {

class KObject {
 public:
  virtual ~KObject() = default;
};

HANDLE AllocHandle(std::shared_ptr<KObject> object);
std::shared_ptr<KObject> LookupHandle(HANDLE handle);
// Removes the handle; false when it was not a live handle of this process.
bool ReleaseHandle(HANDLE handle);
// Closes every handle (device switch in tests, process end).
void ReleaseAllHandles();

template <class T>
std::shared_ptr<T> LookupHandleAs(HANDLE handle) {
  return std::dynamic_pointer_cast<T>(LookupHandle(handle));
}

}  // namespace cedev
