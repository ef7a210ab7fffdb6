// The owner applet: the owner's name and company, as the device keeps them
// in the registry.
#include <string>

#include "applet_dialog.h"
#include "applets.h"
#include "journal.h"
#include "res/ctlpnl_res.h"
#include "wstr.h"

namespace ctlpnl {
namespace {

const WCHAR kOwnerKey[] = u"ControlPanel\\Owner";
const WCHAR* const kValueNames[] = {u"Name", u"Company"};
constexpr DWORD kValueChars = 128;

void Journal(const std::string& text) { cedev::JournalAppend("ctlpnl", text); }

std::u16string ReadValue(HKEY key, LPCWSTR name) {
  WCHAR text[kValueChars] = {};
  DWORD type = 0, bytes = sizeof(text) - sizeof(WCHAR);
  if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text), &bytes) != ERROR_SUCCESS ||
      type != REG_SZ) {
    return {};
  }
  return std::u16string(text, text + bytes / sizeof(WCHAR)).c_str();
}

Fields ReadOwner() {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kOwnerKey, 0, 0, &key) != ERROR_SUCCESS) return {};
  Fields owner = {ReadValue(key, kValueNames[0]), ReadValue(key, kValueNames[1])};
  RegCloseKey(key);
  return owner;
}

LONG WriteOwner(const Fields& owner) {
  HKEY key = nullptr;
  DWORD disposition = 0;
  LONG rc = RegCreateKeyExW(HKEY_CURRENT_USER, kOwnerKey, 0, nullptr, 0, 0, nullptr, &key, &disposition);
  for (size_t i = 0; rc == ERROR_SUCCESS && i < owner.size(); ++i) {
    const std::u16string& text = owner[i];
    rc = RegSetValueExW(key, kValueNames[i], 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                        static_cast<DWORD>((text.size() + 1) * sizeof(WCHAR)));
  }
  if (key) RegCloseKey(key);
  return rc;
}

bool ApplyTyped(HWND dialog, const Fields& typed) {
  if (LONG rc = WriteOwner(typed); rc != ERROR_SUCCESS) {
    Journal("owner cannot be saved: error " + std::to_string(rc));
    WCHAR title[64] = {};
    GetWindowTextW(dialog, title, 64);
    MessageBoxW(dialog, JapaneseUi() ? u"所有者情報を保存できません。" : u"The owner information cannot be saved.", title,
                MB_OK | MB_ICONHAND);
    return false;
  }
  Journal("owner set: name \"" + cedev::ToUtf8(typed[0]) + "\" company \"" + cedev::ToUtf8(typed[1]) + "\"");
  return true;
}

}  // namespace

int RunOwnerApplet(HINSTANCE module) {
  AppletDialog dialog;
  dialog.name = "owner";
  dialog.template_id = JapaneseUi() ? kOwnerDialogJapanese : kOwnerDialog;
  dialog.shown = ReadOwner();
  dialog.apply = ApplyTyped;
  return RunAppletDialog(module, dialog);
}

}  // namespace ctlpnl
