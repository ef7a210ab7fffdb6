// Device services whose only trace is the journal (sounds, debug output,
// touch calibration) and the notification table (CeRunAppAt*).
#include <cstdio>
#include <string>

#include "ce/device.h"
#include "ce/timeapi.h"
#include "clock.h"
#include "device_folder.h"
#include "format.h"
#include "journal.h"
#include "last_error.h"
#include "wstr.h"

namespace {

using cedev::Fail;

std::string Hex(DWORD value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%X", value);
  return text;
}

bool AddNotification(std::u16string_view app, const char* kind, int64_t event, int64_t at) {
  cedev::Device* dev = cedev::Device::Current();
  if (!dev) return false;
  auto stmt = dev->Db().Cached("INSERT INTO notifications(app, kind, event, at) VALUES(?,?,?,?)");
  return stmt->Bind(1, app).Bind(2, std::string_view(kind)).Bind(3, event).Bind(4, at).Run();
}

bool RemoveNotifications(std::u16string_view app, const char* kind) {
  cedev::Device* dev = cedev::Device::Current();
  if (!dev) return false;
  // Application names compare without regard to case, as device paths do.
  std::vector<int64_t> doomed;
  {
    auto stmt = dev->Db().Cached("SELECT id, app FROM notifications WHERE kind = ?");
    stmt->Bind(1, std::string_view(kind));
    while (stmt->Step()) {
      if (cedev::EqualNoCase(stmt->Text16(1), app)) doomed.push_back(stmt->Int(0));
    }
  }
  for (int64_t id : doomed) {
    auto del = dev->Db().Cached("DELETE FROM notifications WHERE id = ?");
    if (!del->Bind(1, id).Run()) return false;
  }
  return true;
}

}  // namespace

BOOL CeRunAppAtTime(LPCWSTR pwszAppName, SYSTEMTIME* lpTime) {
  if (!pwszAppName || !*pwszAppName) return Fail(ERROR_INVALID_PARAMETER, FALSE);
  std::u16string_view app = cedev::WView(pwszAppName);
  if (!lpTime) return RemoveNotifications(app, "time") ? TRUE : Fail(ERROR_NOT_READY, FALSE);
  FILETIME local, utc;
  if (!SystemTimeToFileTime(lpTime, &local) || !LocalFileTimeToFileTime(&local, &utc)) {
    return Fail(ERROR_INVALID_PARAMETER, FALSE);
  }
  if (!AddNotification(app, "time", 0, cedev::FileTimeValue(utc))) return Fail(ERROR_NOT_READY, FALSE);
  return TRUE;
}

BOOL CeRunAppAtEvent(LPCWSTR pwszAppName, LONG lWhichEvent) {
  if (!pwszAppName || !*pwszAppName || lWhichEvent < 0 || lWhichEvent > NOTIFICATION_EVENT_LAST) {
    return Fail(ERROR_INVALID_PARAMETER, FALSE);
  }
  std::u16string_view app = cedev::WView(pwszAppName);
  bool ok = lWhichEvent == NOTIFICATION_EVENT_NONE ? RemoveNotifications(app, "event")
                                                    : AddNotification(app, "event", lWhichEvent, 0);
  return ok ? TRUE : Fail(ERROR_NOT_READY, FALSE);
}

BOOL PlaySoundW(LPCWSTR pszSound, HMODULE, DWORD fdwSound) {
  std::string text = pszSound ? "play " + cedev::ToUtf8(cedev::WView(pszSound)) : std::string("stop");
  cedev::JournalAppend("sound", text + " flags " + Hex(fdwSound));
  return TRUE;
}

void NKDbgPrintfW(LPCWSTR lpszFmt, ...) {
  if (!lpszFmt) return;
  va_list args;
  va_start(args, lpszFmt);
  std::u16string text = cedev::FormatW(lpszFmt, args);
  va_end(args);
  cedev::JournalAppend("debug", cedev::ToUtf8(text));
}

BOOL TouchCalibrate() {
  cedev::JournalAppend("calibration", "touch screen calibrated");
  return TRUE;
}
