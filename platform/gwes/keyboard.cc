#include "keyboard.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "ce/device.h"
#include "ce/process.h"
#include "device_folder.h"
#include "journal.h"
#include "remote_client.h"
#include "session.h"

namespace cedev::gwes {
namespace {

bool IsKeyMessage(UINT message) { return message >= WM_KEYFIRST && message <= WM_KEYLAST; }

bool IsToggleKey(int vk) { return vk == VK_CAPITAL || vk == 0x90 || vk == 0x91; }  // caps, num and scroll lock

// The generic key that a left or right one also counts as.
int GenericKey(int vk) {
  switch (vk) {
    case VK_LSHIFT: case VK_RSHIFT: return VK_SHIFT;
    case VK_LCONTROL: case VK_RCONTROL: return VK_CONTROL;
    case 0xA4: case 0xA5: return VK_MENU;
    default: return vk;
  }
}

bool IsAncestor(Session& session, uint32_t ancestor, uint32_t handle) {
  for (int depth = 0; handle && depth < 64; ++depth) {
    if (handle == ancestor) return true;
    std::shared_ptr<Window> w = session.Local(handle);
    handle = w ? w->parent : 0;
  }
  return false;
}

std::string Hex(DWORD value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%X", value);
  return text;
}

// Shifted digits and punctuation of the US layout.
char16_t Punctuation(int vk, bool shift) {
  static const char16_t kDigitsShifted[] = u")!@#$%^&*(";
  if (vk >= '0' && vk <= '9') return shift ? kDigitsShifted[vk - '0'] : static_cast<char16_t>(vk);
  struct Oem {
    int vk;
    char16_t plain, shifted;
  };
  static const Oem kOem[] = {{0xBA, u';', u':'}, {0xBB, u'=', u'+'}, {0xBC, u',', u'<'}, {0xBD, u'-', u'_'},
                             {0xBE, u'.', u'>'}, {0xBF, u'/', u'?'}, {0xC0, u'`', u'~'}, {0xDB, u'[', u'{'},
                             {0xDC, u'\\', u'|'}, {0xDD, u']', u'}'}, {0xDE, u'\'', u'"'}};
  for (const Oem& o : kOem) {
    if (o.vk == vk) return shift ? o.shifted : o.plain;
  }
  return 0;
}

}  // namespace

char16_t CharForKey(int vk, bool shift, bool ctrl, bool caps) {
  if (vk >= 'A' && vk <= 'Z') {
    if (ctrl) return static_cast<char16_t>(vk - 'A' + 1);
    bool upper = shift != caps;
    return static_cast<char16_t>(upper ? vk : vk - 'A' + 'a');
  }
  if (ctrl) return 0;
  switch (vk) {
    case VK_SPACE: return u' ';
    case VK_RETURN: return u'\r';
    case VK_BACK: return 8;
    case VK_TAB: return u'\t';
    case VK_ESCAPE: return 27;
    case VK_MULTIPLY: return u'*';
    case VK_ADD: return u'+';
    case VK_SUBTRACT: return u'-';
    case VK_DECIMAL: return u'.';
    case VK_DIVIDE: return u'/';
    default: break;
  }
  if (vk >= VK_NUMPAD0 && vk <= VK_NUMPAD0 + 9) return static_cast<char16_t>(u'0' + vk - VK_NUMPAD0);
  return Punctuation(vk, shift);
}

bool KeyHeld(const ThreadQueue& queue, int vk) { return vk >= 0 && vk < 256 && (queue.keys[vk] & 0x80); }

void TargetInput(ThreadQueue& queue, MSG* msg) {
  if (!IsKeyMessage(msg->message)) return;
  uint32_t target = HandleValue(msg->hwnd);
  if (queue.focus && (!target || IsAncestor(*queue.session(), target, queue.focus))) msg->hwnd = ToHwnd(queue.focus);
}

void NoteInput(ThreadQueue& queue, const MSG& msg) {
  if (!IsKeyMessage(msg.message) || msg.wParam > 255) return;
  int vk = static_cast<int>(msg.wParam);
  bool down = msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN;
  bool up = msg.message == WM_KEYUP || msg.message == WM_SYSKEYUP;
  for (int key : {vk, GenericKey(vk)}) {
    if (down) {
      if (IsToggleKey(key) && !(queue.keys[key] & 0x80)) queue.keys[key] ^= 0x01;
      queue.keys[key] |= 0x80;
    } else if (up) {
      queue.keys[key] &= static_cast<uint8_t>(~0x80);
    }
  }
}

bool TranslateKeyMessage(ThreadQueue& queue, const MSG& msg) {
  if (msg.message != WM_KEYDOWN && msg.message != WM_SYSKEYDOWN) return false;
  char16_t c = CharForKey(static_cast<int>(msg.wParam), KeyHeld(queue, VK_SHIFT), KeyHeld(queue, VK_CONTROL),
                          queue.keys[VK_CAPITAL] & 0x01);
  if (!c) return false;
  UINT message = msg.message == WM_KEYDOWN ? WM_CHAR : WM_SYSCHAR;
  return queue.Post(MSG{msg.hwnd, message, c, msg.lParam, msg.time, msg.pt});
}

}  // namespace cedev::gwes

using namespace cedev::gwes;

void keybd_event(BYTE bVk, BYTE bScan, DWORD dwFlags, DWORD) {
  bool up = dwFlags & KEYEVENTF_KEYUP;
  std::string text = std::string(up ? "up" : "down") + " vk " + Hex(bVk) + " scan " + Hex(bScan);
  if (dwFlags & ~KEYEVENTF_KEYUP) text += " flags " + Hex(dwFlags);
  cedev::JournalAppend("key", text);
  Session* session = Session::Current();
  if (!session) return;
  session->table().SetKeyDown(bVk, !up);
  uint32_t foreground = session->table().Foreground();
  if (!foreground) return;
  LPARAM lparam = 1 | (LPARAM{bScan} << 16) | ((dwFlags & KEYEVENTF_EXTENDEDKEY) ? LPARAM{1} << 24 : 0) |
                  (up ? (LPARAM{1} << 30) | (LPARAM{1} << 31) : 0);
  UINT message = up ? WM_KEYUP : WM_KEYDOWN;
  if (std::shared_ptr<Window> window = session->Local(foreground)) {
    window->queue->PostInput(MSG{window->hwnd(), message, bVk, lparam, GetTickCount(), {0, 0}});
    return;
  }
  if (auto program = session->table().ProgramOf(foreground)) {
    PostRemote(RemoteTarget{foreground, program->first, program->second}, FrameKind::kInput, message, bVk, lparam);
  }
}

SHORT GetKeyState(int nVirtKey) {
  ThreadQueue* queue = CurrentQueue();
  if (!queue || nVirtKey < 0 || nVirtKey > 255) return 0;
  uint8_t state = queue->keys[nVirtKey];
  return static_cast<SHORT>(((state & 0x80) ? 0x8000 : 0) | (state & 0x01));
}

SHORT GetAsyncKeyState(int vKey) {
  cedev::Device* dev = cedev::Device::Current();
  if (!dev) return 0;
  const auto& held = dev->SettingsSnapshot()->keys_held;
  bool down = std::find(held.begin(), held.end(), vKey) != held.end();
  Session* session = Session::Current();
  if (!down && session) down = session->table().KeyDown(vKey);
  return down ? static_cast<SHORT>(0x8000) : 0;
}
