// Stand-ins for user-interface and process calls that the device services
// are still delivering, so the engine's tests link today. Each definition is
// weak: once the kernel library carries the real call, the real one is
// used. This folder goes when those services are merged.
#include <windows.h>

#include <map>
#include <string>

#include "../ce_pending.h"

namespace {

CeMessageBoxAnswerer g_answerer = nullptr;
void* g_answererContext = nullptr;
std::map<std::pair<HINSTANCE, UINT>, std::u16string>& Strings() {
  static std::map<std::pair<HINSTANCE, UINT>, std::u16string> table;
  return table;
}

}  // namespace

#define STAND_IN __attribute__((weak))

STAND_IN void CeSetMessageBoxAnswerer(CeMessageBoxAnswerer answerer, void* context) {
  g_answerer = answerer;
  g_answererContext = context;
}

STAND_IN int MessageBoxW(HWND, LPCWSTR text, LPCWSTR caption, UINT type) {
  int answer = g_answerer ? g_answerer(caption, text, type, g_answererContext) : 0;
  if (answer) return answer;
  switch (type & MB_DEFMASK) {  // the default button
    case MB_DEFBUTTON2:
      return (type & MB_TYPEMASK) == MB_YESNO ? IDNO : IDCANCEL;
    default:
      return (type & MB_TYPEMASK) == MB_YESNO ? IDYES : IDOK;
  }
}

STAND_IN void CeRegisterStringTable(HINSTANCE module, const CE_STRINGTABLE_ENTRY* entries, size_t count) {
  for (size_t i = 0; i < count; ++i) Strings()[{module, entries[i].id}] = entries[i].text;
}

STAND_IN int LoadStringW(HINSTANCE module, UINT id, LPWSTR buffer, int capacity) {
  auto it = Strings().find({module, id});
  if (it == Strings().end() || capacity <= 0) {
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    if (buffer && capacity > 0) buffer[0] = 0;
    return 0;
  }
  int n = static_cast<int>(it->second.size());
  if (n > capacity - 1) n = capacity - 1;
  for (int i = 0; i < n; ++i) buffer[i] = it->second[i];
  buffer[n] = 0;
  return n;
}

STAND_IN HCURSOR SetCursor(HCURSOR cursor) { return cursor; }
STAND_IN HCURSOR LoadCursorW(HINSTANCE, LPCWSTR) { return reinterpret_cast<HCURSOR>(1); }
STAND_IN void Sleep(DWORD) {}
STAND_IN void NKDbgPrintfW(LPCWSTR, ...) {}
