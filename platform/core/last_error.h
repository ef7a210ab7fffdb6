// The per-thread last-error code and the one mapping from host errno values
// to device error codes. Every kernel service reports host failures through
// Win32FromErrno so the same host condition always gives the same code.
#pragma once

#include "ce/errors.h"

namespace cedev {

DWORD Win32FromErrno(int err);

// Sets the last error and returns the given failure value, so a failure
// path reads `return Fail(ERROR_INVALID_HANDLE, FALSE);`.
template <class T>
T Fail(DWORD error, T failure_value);

}  // namespace cedev


template <class T>
T cedev::Fail(DWORD error, T failure_value) {
  SetLastError(error);
  return failure_value;
}
