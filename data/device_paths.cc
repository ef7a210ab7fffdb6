#include "device_paths.h"

#include "wide_text.h"

BOOL JoinDevicePath(LPWSTR buffer, LPCWSTR folder, LPCWSTR name) {
  if (!WideCopy(buffer, MAX_PATH, folder)) return FALSE;
  DWORD length = WideLength(buffer);
  DWORD extra = WideLength(name);
  BOOL separator = length == 0 || buffer[length - 1] != u'\\';
  if (length + (separator ? 1 : 0) + extra + 1 > MAX_PATH) {
    buffer[0] = 0;
    return FALSE;
  }
  if (separator) buffer[length++] = u'\\';
  for (DWORD i = 0; i < extra; ++i) buffer[length + i] = name[i];
  buffer[length + extra] = 0;
  return TRUE;
}
