#include "ui_screen.h"

#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <ostream>
#include <string>
#include <vector>
#include <windows.h>

#include "ui_keys.h"
#include "ui_windows.h"
#include "wstr.h"

namespace cedev::tool::ui {
namespace {

constexpr auto kRedrawPeriod = std::chrono::milliseconds(200);

// The terminal in raw mode for as long as the object lives: keys arrive one
// by one, unechoed, Ctrl+C included; reads give up after a tenth of a second.
class RawTerminal {
 public:
  RawTerminal() {
    ok_ = ::tcgetattr(0, &saved_) == 0;
    if (!ok_) return;
    termios raw = saved_;
    raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | ISIG | IEXTEN);
    raw.c_iflag &= ~static_cast<tcflag_t>(IXON | ICRNL);
    raw.c_cc[VMIN] = 0;
    raw.c_cc[VTIME] = 1;
    ok_ = ::tcsetattr(0, TCSANOW, &raw) == 0;
  }
  ~RawTerminal() {
    if (ok_) ::tcsetattr(0, TCSANOW, &saved_);
  }
  bool ok() const { return ok_; }

 private:
  termios saved_{};
  bool ok_ = false;
};

class Screen {
 public:
  explicit Screen(std::ostream& out) : out_(out) {}

  // Redraws when what the screen shows has changed.
  void Draw() {
    std::string page = Page();
    if (page == last_) return;
    last_ = page;
    out_ << "\x1b[H\x1b[2J" << page;
    out_.flush();
  }

  // The screen stays on the window it shows until that one goes; Ctrl+N
  // moves it to the next one.
  void NextWindow() {
    next_window_ = true;
    std::vector<Row> others;
    Rows(&others);
  }
  void Act(const Input& in) {
    // Keys go to the device's foreground window: the one on the screen.
    if (in.kind != Input::kKey && in.kind != Input::kText) return;
    if (shown_window_ && GetForegroundWindow() != shown_window_) {
      SetForegroundWindow(shown_window_);
    }
    if (in.kind == Input::kKey) automation::SendKey(in.key.vk, in.key.modifiers);
    if (in.kind != Input::kText) return;
    // Text goes into the focused edit of the window on the screen; elsewhere
    // a space presses the focused button, as on the device.
    HWND focused = Focused();
    auto info = focused ? automation::Describe(focused) : std::nullopt;
    if (info && EqualNoCase(info->class_name, u"EDIT")) {
      automation::Type(focused, FromUtf8(in.text));
    } else if (in.text == " ") {
      automation::SendKey(VK_SPACE);
    }
  }

 private:
  std::vector<Row> Rows(std::vector<Row>* others) {
    std::vector<Row> all = Snapshot();
    std::vector<size_t> tops;
    for (size_t i = 0; i < all.size(); ++i) {
      if (all[i].depth == 0) tops.push_back(i);
    }
    if (tops.empty()) return {};
    size_t pick = 0;
    bool kept = false;
    for (size_t t = 0; t < tops.size(); ++t) {
      if (!kept && all[tops[t]].window.foreground) pick = t;
      if (all[tops[t]].window.hwnd == shown_window_) pick = t, kept = true;
    }
    if (next_window_) pick = (pick + 1) % tops.size();
    next_window_ = false;
    shown_window_ = all[tops[pick]].window.hwnd;
    size_t begin = tops[pick], end = pick + 1 < tops.size() ? tops[pick + 1] : all.size();
    for (size_t t : tops) {
      if (t != begin) others->push_back(all[t]);
    }
    return std::vector<Row>(all.begin() + static_cast<long>(begin), all.begin() + static_cast<long>(end));
  }

  HWND Focused() {
    std::vector<Row> others;
    for (const auto& row : Rows(&others)) {
      if (row.depth > 0 && row.window.focused) return row.window.hwnd;
    }
    return nullptr;
  }

  std::string Page() {
    std::vector<Row> others;
    std::vector<Row> rows = Rows(&others);
    std::string page =
        "cedev ui: Tab/Shift+Tab focus, Enter press, Esc cancel, arrows move, type into the focused edit,\r\n"
        "          Ctrl+N next window, Ctrl+C quit\r\n\r\n";
    if (rows.empty()) return page + "No window is open on the device.\r\n";
    for (const auto& row : rows) {
      bool focused = row.depth > 0 && row.window.focused;
      page += (focused ? "> " : "  ") + Line(row) + "\r\n";
    }
    if (!others.empty()) page += "\r\nOther windows:\r\n";
    for (const auto& row : others) page += "  " + Line(row) + "\r\n";
    return page;
  }

  std::ostream& out_;
  std::string last_;
  HWND shown_window_ = nullptr;  // the window on the screen
  bool next_window_ = false;
};

// What the terminal sent, up to the last whole character: the rest of a
// character cut in two by the read waits in `pending` for the next one.
std::string ReadKeys(std::string* pending) {
  char buffer[256];
  ssize_t got = ::read(0, buffer, sizeof buffer);
  if (got > 0) pending->append(buffer, static_cast<size_t>(got));
  size_t whole = WholeCharacters(*pending);
  std::string keys = pending->substr(0, whole);
  pending->erase(0, whole);
  return keys;
}

}  // namespace

int RunScreen(CommandContext& ctx) {
  if (!::isatty(0) || !::isatty(1)) {
    return Failure(ctx, "ui: the screen needs a terminal; use 'cedev ui list', 'press', 'type', 'select', 'key' or 'close'");
  }
  RawTerminal terminal;
  if (!terminal.ok()) return Failure(ctx, "ui: cannot set up the terminal");
  Screen screen(ctx.out);
  auto next_draw = std::chrono::steady_clock::now();
  std::string pending;
  for (;;) {
    if (std::chrono::steady_clock::now() >= next_draw) {
      screen.Draw();
      next_draw = std::chrono::steady_clock::now() + kRedrawPeriod;
    }
    std::vector<Input> inputs = DecodeTerminal(ReadKeys(&pending));
    for (const Input& in : inputs) {
      if (in.kind == Input::kQuit) {
        ctx.out << "\x1b[H\x1b[2J";
        return kExitOk;
      }
      if (in.kind == Input::kNextWindow) screen.NextWindow();
      screen.Act(in);
    }
    // What the keys changed shows at once, once the device had a moment.
    if (!inputs.empty()) next_draw = std::chrono::steady_clock::now() + std::chrono::milliseconds(30);
  }
}

}  // namespace cedev::tool::ui
