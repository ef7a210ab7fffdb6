#include "auto_user.h"

#include <algorithm>

#include "classes.h"
#include "clock.h"
#include "device_folder.h"
#include "dialog_state.h"
#include "journal.h"
#include "message_box.h"
#include "private_messages.h"
#include "session.h"
#include "wstr.h"

namespace cedev::gwes {
namespace {

// While the automatic user is off, how often a thread with dialogs open
// looks whether it has been turned on.
constexpr auto kRecheck = std::chrono::milliseconds(200);
// A dialog that stays open after a press is pressed again this much later
// at the soonest.
constexpr auto kRepeatAtLeast = std::chrono::milliseconds(50);

struct UserSetting {
  bool on = false;
  Clock::duration delay{};
};

UserSetting Setting() {
  Device* dev = Device::Current();
  if (!dev) return {};
  auto settings = dev->SettingsSnapshot();
  return {settings->auto_user, RealDuration(static_cast<DWORD>(settings->auto_user_delay_ms))};
}

// What pressing means for the dialog: its id (IDOK ...), 0 for closing it,
// or kLeaveAlone.
constexpr int kLeaveAlone = -1;

bool IsButton(const Window& w) {
  std::u16string name = w.window_class ? w.window_class->name : u"";
  for (char16_t& c : name) c = (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - u'a' + u'A') : c;
  return name == u"BUTTON";
}

// A dialog without any button asks nothing (a progress dialog) and ends on
// its own; closing it would ask to cancel the work it shows, so it is left
// alone.
int ButtonToPress(const Window& dialog, const DialogState& state) {
  if (state.box) return state.box->default_id;
  Session& session = *dialog.queue->session();
  bool any_button = false;
  for (uint32_t child : dialog.children) {
    auto c = session.Local(child);
    if (!c || !IsButton(*c)) continue;
    any_button = true;
    if (c->id == IDOK && c->Enabled()) return IDOK;
  }
  return any_button ? 0 : kLeaveAlone;
}

// Presses the dialog as ButtonToPress says; false when it is left alone.
bool Press(const std::shared_ptr<Window>& dialog, DialogState& state) {
  int id = ButtonToPress(*dialog, state);
  if (id == kLeaveAlone) return false;
  std::string caption = ToUtf8(dialog->text);
  std::string what = state.box ? ButtonName(id) : (id ? "ok" : "close");
  JournalAppend("user", "auto pressed " + what + " in \"" + caption + "\"");
  if (state.box) {
    PostMessageW(dialog->hwnd(), kPrivateBoxAnswer, static_cast<WPARAM>(id), static_cast<LPARAM>(BoxAnswerer::kDefault));
    return true;
  }
  if (id) {
    HWND button = nullptr;
    for (uint32_t child : dialog->children) {
      auto c = dialog->queue->session()->Local(child);
      if (c && static_cast<int>(c->id) == id) button = c->hwnd();
    }
    PostMessageW(dialog->hwnd(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
  } else {
    PostMessageW(dialog->hwnd(), WM_CLOSE, 0, 0);
  }
  return true;
}

}  // namespace

void NoteDialogOpened(ThreadQueue& queue, uint32_t dialog) {
  if (std::find(queue.open_dialogs.begin(), queue.open_dialogs.end(), dialog) == queue.open_dialogs.end()) {
    queue.open_dialogs.push_back(dialog);
  }
}

Deadline AutoUserDue(ThreadQueue& queue) {
  if (queue.open_dialogs.empty()) return Deadline::max();
  UserSetting user = Setting();
  if (!user.on) return Clock::now() + kRecheck;
  Deadline due = Deadline::max();
  for (uint32_t handle : queue.open_dialogs) {
    auto w = queue.session()->Local(handle);
    DialogState* state = w ? DialogOf(*w) : nullptr;
    if (!state || state->ended) continue;
    due = std::min(due, std::max(state->opened + user.delay, state->auto_user_due));
  }
  return due;
}

bool ActAsAutoUser(ThreadQueue& queue) {
  if (queue.open_dialogs.empty()) return false;
  UserSetting user = Setting();
  if (!user.on) return false;
  Deadline now = Clock::now();
  std::vector<uint32_t> open = queue.open_dialogs;
  for (uint32_t handle : open) {
    auto w = queue.session()->Local(handle);
    DialogState* state = w ? DialogOf(*w) : nullptr;
    if (!state || state->ended || !w->Visible()) continue;
    if (std::max(state->opened + user.delay, state->auto_user_due) > now) continue;
    state->auto_user_due = now + std::max<Clock::duration>(user.delay, kRepeatAtLeast);
    if (Press(w, *state)) return true;
  }
  return false;
}

}  // namespace cedev::gwes
