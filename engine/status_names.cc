#include "status_names.h"

#include "job_status.h"

const char* JobStatusName(DWORD status) {
  switch (status) {
    case STATUS_OK: return "STATUS_OK";
    case STATUS_BACKUP_LOW_BATTERY: return "STATUS_BACKUP_LOW_BATTERY";
    case STATUS_WRITE_FAILED: return "STATUS_WRITE_FAILED";
    case STATUS_SOURCE_READ_FAILED: return "STATUS_SOURCE_READ_FAILED";
    case STATUS_RESTORE_LOW_BATTERY: return "STATUS_RESTORE_LOW_BATTERY";
    case STATUS_ARCHIVE_READ_FAILED: return "STATUS_ARCHIVE_READ_FAILED";
    case STATUS_DEVICE_WRITE_FAILED: return "STATUS_DEVICE_WRITE_FAILED";
    case STATUS_BAD_PASSWORD: return "STATUS_BAD_PASSWORD";
    case STATUS_CANCELLED: return "STATUS_CANCELLED";
    case STATUS_NO_MEMORY: return "STATUS_NO_MEMORY";
    default: return "STATUS_UNKNOWN";
  }
}
