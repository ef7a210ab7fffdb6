#include "autorun_line.h"

#include "app_state.h"
#include "root_locations.h"
#include "wide_text.h"

namespace {

struct CommandLetter {
  LPCWSTR letter;
  LONG code;
};

const CommandLetter kCommands[] = {
    {u"b", AUTORUN_BACKUP},
    {u"r", AUTORUN_RESTORE},
    {u"s", AUTORUN_REGISTRY_BACKUP},
    {u"w", AUTORUN_REGISTRY_RESTORE},
};

LONG CodeOf(LPCWSTR command) {
  for (const CommandLetter& c : kCommands) {
    if (_wcsicmp(command, c.letter) == 0) return c.code;
  }
  return AUTORUN_NONE;
}

}  // namespace

void TrimTrailingBlanks(LPWSTR text) {
  size_t n = wcslen(text);
  while (n > 0 && text[n - 1] == u' ') text[--n] = 0;
}

LONG ParseCommandLine(LPWSTR commandLine, LPWSTR location, LPWSTR password) {
  WCHAR command[MAX_PATH] = {0};
  LPWSTR buffers[] = {command, location, password};
  location[0] = 0;
  password[0] = 0;
  WCHAR* context = nullptr;
  WCHAR* token = commandLine ? wcstok(commandLine, u"/", &context) : nullptr;
  // A fourth and any further token is ignored.
  for (LPWSTR buffer : buffers) {
    if (!token) break;
    if (!WideCopy(buffer, MAX_PATH, token)) {
      location[0] = 0;
      password[0] = 0;
      return AUTORUN_NONE;
    }
    token = wcstok(nullptr, u"/", &context);
  }
  for (LPWSTR buffer : buffers) TrimTrailingBlanks(buffer);
  LONG code = CodeOf(command);
  if (code == AUTORUN_NONE) return AUTORUN_NONE;
  return IsCommandLineLocation(location) ? code : AUTORUN_NONE;
}
