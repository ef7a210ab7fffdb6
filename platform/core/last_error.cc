#include "last_error.h"

#include <cerrno>

#include "ce/errors.h"

namespace {
thread_local DWORD g_last_error = ERROR_SUCCESS;
}

void SetLastError(DWORD error) { g_last_error = error; }
DWORD GetLastError() { return g_last_error; }

namespace cedev {

DWORD Win32FromErrno(int err) {
  switch (err) {
    case 0: return ERROR_SUCCESS;
    case ENOENT: return ERROR_FILE_NOT_FOUND;
    case ENOTDIR: return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR: return ERROR_ACCESS_DENIED;
    case EEXIST: return ERROR_ALREADY_EXISTS;
    case ENOTEMPTY: return ERROR_DIR_NOT_EMPTY;
    case ENOSPC:
    case EDQUOT:
    case EFBIG: return ERROR_DISK_FULL;
    case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    case EMFILE:
    case ENFILE: return ERROR_TOO_MANY_OPEN_FILES;
    case ENAMETOOLONG: return ERROR_FILENAME_EXCED_RANGE;
    case EINVAL: return ERROR_INVALID_PARAMETER;
    case EBADF: return ERROR_INVALID_HANDLE;
    case EBUSY:
    case ETXTBSY: return ERROR_SHARING_VIOLATION;
    case EXDEV: return ERROR_NOT_SAME_DEVICE;
    case ELOOP: return ERROR_INVALID_NAME;
    case EIO: return ERROR_GEN_FAILURE;
    case ETIMEDOUT: return WAIT_TIMEOUT;
    default: return ERROR_GEN_FAILURE;
  }
}

}  // namespace cedev
