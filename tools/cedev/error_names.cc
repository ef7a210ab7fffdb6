// Names of the device error codes, for messages and for `cedev fault`.
#include <cstdlib>
#include <string>
#include <utility>

#include "ce/errors.h"
#include "error_names.h"

namespace cedev::tool {
namespace {

#define CEDEV_ERROR(name) {name, #name}
const std::pair<unsigned long, const char*> kErrors[] = {
    CEDEV_ERROR(ERROR_SUCCESS),          CEDEV_ERROR(ERROR_FILE_NOT_FOUND),     CEDEV_ERROR(ERROR_PATH_NOT_FOUND),
    CEDEV_ERROR(ERROR_ACCESS_DENIED),    CEDEV_ERROR(ERROR_INVALID_HANDLE),     CEDEV_ERROR(ERROR_NOT_ENOUGH_MEMORY),
    CEDEV_ERROR(ERROR_OUTOFMEMORY),      CEDEV_ERROR(ERROR_NO_MORE_FILES),      CEDEV_ERROR(ERROR_WRITE_PROTECT),
    CEDEV_ERROR(ERROR_NOT_READY),        CEDEV_ERROR(ERROR_WRITE_FAULT),        CEDEV_ERROR(ERROR_READ_FAULT),
    CEDEV_ERROR(ERROR_GEN_FAILURE),      CEDEV_ERROR(ERROR_SHARING_VIOLATION),  CEDEV_ERROR(ERROR_HANDLE_DISK_FULL),
    CEDEV_ERROR(ERROR_NOT_SUPPORTED),    CEDEV_ERROR(ERROR_FILE_EXISTS),        CEDEV_ERROR(ERROR_INVALID_PARAMETER),
    CEDEV_ERROR(ERROR_DISK_FULL),        CEDEV_ERROR(ERROR_INSUFFICIENT_BUFFER), CEDEV_ERROR(ERROR_INVALID_NAME),
    CEDEV_ERROR(ERROR_DIR_NOT_EMPTY),    CEDEV_ERROR(ERROR_BUSY),               CEDEV_ERROR(ERROR_ALREADY_EXISTS),
    CEDEV_ERROR(ERROR_BAD_EXE_FORMAT),   CEDEV_ERROR(ERROR_FILENAME_EXCED_RANGE), CEDEV_ERROR(ERROR_MORE_DATA),
    CEDEV_ERROR(ERROR_NO_MORE_ITEMS),    CEDEV_ERROR(ERROR_DIRECTORY),          CEDEV_ERROR(ERROR_OPERATION_ABORTED),
    CEDEV_ERROR(ERROR_BAD_PATHNAME),     CEDEV_ERROR(ERROR_CALL_NOT_IMPLEMENTED), CEDEV_ERROR(ERROR_INVALID_DATA),
    CEDEV_ERROR(ERROR_CANTOPEN),         CEDEV_ERROR(ERROR_CANTREAD),           CEDEV_ERROR(ERROR_CANTWRITE),
    CEDEV_ERROR(ERROR_KEY_DELETED),      CEDEV_ERROR(ERROR_TIMEOUT),            CEDEV_ERROR(ERROR_NOT_FOUND),
    CEDEV_ERROR(ERROR_DATABASE_FULL),    CEDEV_ERROR(ERROR_INVALID_FLAGS),
};
#undef CEDEV_ERROR

}  // namespace

std::string ErrorText(unsigned long code) {
  for (const auto& [value, name] : kErrors) {
    if (value == code) return std::string(name) + " (" + std::to_string(code) + ")";
  }
  return "error " + std::to_string(code);
}

unsigned long ErrorFromText(const std::string& text) {
  for (const auto& [value, name] : kErrors) {
    if (text == name || "ERROR_" + text == name) return value;
  }
  char* end = nullptr;
  unsigned long value = std::strtoul(text.c_str(), &end, 0);
  return end && *end == '\0' && !text.empty() ? value : 0;
}

}  // namespace cedev::tool
