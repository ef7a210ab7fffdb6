#include "ce/handle.h"

#include "handles.h"

// The object's destructor does each service's cleanup; closing only has to
// tell a live handle from anything else.
BOOL CloseHandle(HANDLE hObject) {
  if (!cedev::ReleaseHandle(hObject)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}
