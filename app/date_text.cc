#include "date_text.h"

#include "wide_text.h"

BOOL FormatBackupDate(const FILETIME& localTime, LPWSTR text, size_t units) {
  if (units == 0) return FALSE;
  text[0] = 0;
  SYSTEMTIME t;
  if (!FileTimeToSystemTime(&localTime, &t)) return FALSE;
  // The device shows a 12-hour clock: midnight and noon both read 12.
  int hour12 = t.wHour % 12 == 0 ? 12 : t.wHour % 12;
  WCHAR formatted[64];
  wsprintfW(formatted, u"%d/%d/%2.2d %2.2d:%2.2d %s", t.wYear % 100, t.wMonth, t.wDay, hour12, t.wMinute,
            t.wHour < 12 ? u"AM" : u"PM");
  return WideCopy(text, static_cast<DWORD>(units), formatted);
}
