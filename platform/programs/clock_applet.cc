// The date and time applet. The clock moves only when OK is pressed on
// changed fields: OK on what the dialog showed keeps the running clock,
// instead of setting it back by the time the dialog stayed open.
#include <string>

#include "applet_dialog.h"
#include "applets.h"
#include "clock_text.h"
#include "journal.h"
#include "res/ctlpnl_res.h"
#include "wstr.h"

namespace ctlpnl {
namespace {

void Journal(const std::string& text) { cedev::JournalAppend("ctlpnl", text); }

std::string Quoted(const std::u16string& text) { return "\"" + cedev::ToUtf8(text) + "\""; }

void RefuseInput(HWND dialog) {
  WCHAR title[64] = {};
  GetWindowTextW(dialog, title, 64);
  LPCWSTR text = JapaneseUi() ? u"日付は YYYY/MM/DD (1980～2099年)、時刻は HH:MM:SS の形式で入力してください。"
                              : u"Enter the date as YYYY/MM/DD (1980 to 2099) and the time as HH:MM:SS.";
  MessageBoxW(dialog, text, title, MB_OK | MB_ICONEXCLAMATION);
}

bool ApplyTyped(HWND dialog, const Fields& typed) {
  std::optional<SYSTEMTIME> time = ParseDateTime(typed[0], typed[1]);
  if (!time) {
    Journal("clock settings refused date " + Quoted(typed[0]) + " time " + Quoted(typed[1]));
    RefuseInput(dialog);
    return false;
  }
  if (!SetLocalTime(&*time)) {
    Journal("clock cannot be set: error " + std::to_string(GetLastError()));
    RefuseInput(dialog);
    return false;
  }
  Journal("clock set to " + cedev::ToUtf8(DateText(*time)) + " " + cedev::ToUtf8(TimeText(*time)));
  return true;
}

}  // namespace

int RunClockApplet(HINSTANCE module) {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  AppletDialog dialog;
  dialog.name = "clock";
  dialog.template_id = JapaneseUi() ? kClockDialogJapanese : kClockDialog;
  dialog.shown = {DateText(now), TimeText(now)};
  dialog.apply = ApplyTyped;
  return RunAppletDialog(module, dialog);
}

}  // namespace ctlpnl
