// `cedev ui`: the device's windows for a person at a terminal (or a script):
// list them, act on them, follow them, or operate them on a text screen.
#include <chrono>
#include <cstdlib>
#include <ostream>
#include <set>
#include <thread>
#include <windows.h>

#include "commands.h"
#include "ui_keys.h"
#include "ui_screen.h"
#include "ui_windows.h"
#include "wstr.h"

namespace cedev::tool {
namespace {

// How long `close` waits for a closed window to go (host time: the device's
// time scale does not make programs end sooner).
constexpr auto kClosePatience = std::chrono::seconds(5);
constexpr auto kWatchPeriod = std::chrono::milliseconds(100);

int List(CommandContext& ctx) {
  for (const auto& row : ui::Snapshot()) ctx.out << ui::Line(row) << "\n";
  return kExitOk;
}

// Prints the lines that came ("+") and went ("-") since the last look, until
// the time is up (0: until interrupted).
int Watch(CommandContext& ctx, double seconds) {
  auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  std::vector<std::string> shown;
  for (;;) {
    std::vector<std::string> now;
    for (const auto& row : ui::Snapshot()) now.push_back(ui::Line(row));
    std::multiset<std::string> before(shown.begin(), shown.end()), after(now.begin(), now.end());
    for (const auto& line : shown) {
      if (!after.count(line)) ctx.out << "- " << line << "\n";
    }
    for (const auto& line : now) {
      if (!before.count(line)) ctx.out << "+ " << line << "\n";
    }
    ctx.out.flush();
    shown = std::move(now);
    if (seconds > 0 && std::chrono::steady_clock::now() >= until) return kExitOk;
    std::this_thread::sleep_for(kWatchPeriod);
  }
}

bool Gone(HWND window) {
  auto until = std::chrono::steady_clock::now() + kClosePatience;
  while (IsWindow(window)) {
    if (std::chrono::steady_clock::now() >= until) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

int Close(CommandContext& ctx, const std::vector<HWND>& windows) {
  for (HWND window : windows) automation::Close(window);
  int status = kExitOk;
  for (HWND window : windows) {
    if (Gone(window)) continue;
    auto info = automation::Describe(window);
    std::string name = info ? "\"" + ToUtf8(info->text) + "\" (" + ToUtf8(info->class_name) + ")" : "a window";
    status = Failure(ctx, name + " is still open: its program did not close it");
  }
  return status;
}

int ActionFailure(CommandContext& ctx, const std::string& what) {
  return Failure(ctx, what + ": " + ErrorText(GetLastError()));
}

// The press is posted, as a tap on the screen would be: what the button
// does (a dialog it opens, say) does not keep the command waiting.
int Press(CommandContext& ctx, HWND window, HWND item, const std::string& name, const std::string& error) {
  if (!item) {
    // A number that names no item is a command of the window (its menu's).
    char* end = nullptr;
    long id = std::strtol(name.c_str(), &end, 0);
    if (name.empty() || *end) return Failure(ctx, error);
    if (PostMessageW(window, WM_COMMAND, MAKEWPARAM(id, 0), 0)) return kExitOk;
    return ActionFailure(ctx, "press " + name);
  }
  auto info = automation::Describe(item);
  if (info && !info->enabled) return Failure(ctx, "press " + name + ": the item is disabled");
  return PostMessageW(item, BM_CLICK, 0, 0) ? kExitOk : ActionFailure(ctx, "press " + name);
}

struct Request {
  std::string window, item, text;
  std::vector<std::string> keys;
  bool all = false, append = false;
  double seconds = 0;
};

int Act(CLI::App& app, const Request& r, CommandContext& ctx, CommandParser& parser) {
  if (app.got_subcommand("list")) return List(ctx);
  if (app.got_subcommand("watch")) return Watch(ctx, r.seconds);
  if (app.got_subcommand("key")) {
    std::vector<ui::Key> keys;
    for (const auto& word : r.keys) {
      auto key = ui::ParseKey(word);
      if (!key) return parser.UsageError("'" + word + "' is no key (enter, tab, shift+tab, esc, up, f1, a, 5 ...)");
      keys.push_back(*key);
    }
    for (const auto& key : keys) automation::SendKey(key.vk, key.modifiers);
    return kExitOk;
  }
  std::string error;
  if (app.got_subcommand("close")) {
    if (r.all == !r.window.empty()) return parser.UsageError("close needs a WINDOW or --all (one of them)");
    std::vector<HWND> windows;
    if (r.all) {
      for (const auto& w : automation::ListWindows()) windows.push_back(w.hwnd);
    } else if (HWND window = ui::FindWindowNamed(r.window, &error)) {
      windows.push_back(window);
    } else {
      return Failure(ctx, error);
    }
    return Close(ctx, windows);
  }
  HWND window = ui::FindWindowNamed(r.window, &error);
  if (!window) return Failure(ctx, error);
  HWND item = ui::FindItemNamed(window, r.item, &error);
  if (app.got_subcommand("press")) return Press(ctx, window, item, r.item, error);
  if (!item) return Failure(ctx, error);
  if (app.got_subcommand("type")) {
    if (!r.append && !automation::SetText(item, u"")) return ActionFailure(ctx, "type into " + r.item);
    return automation::Type(item, FromUtf8(r.text)) ? kExitOk : ActionFailure(ctx, "type into " + r.item);
  }
  if (automation::Select(item, FromUtf8(r.text))) return kExitOk;
  return ActionFailure(ctx, "select '" + r.text + "' in " + r.item);
}

}  // namespace

int RunUi(const CommandArgs& args, CommandContext& ctx) {
  CommandParser parser(ctx, "ui");
  CLI::App& app = parser.app();
  app.require_subcommand(0, 1);
  Request r;
  app.add_subcommand("list");
  app.add_subcommand("watch")->add_option("--seconds", r.seconds)->check(CLI::NonNegativeNumber);
  CLI::App* press = app.add_subcommand("press");
  press->add_option("WINDOW", r.window)->required();
  press->add_option("ITEM", r.item)->required();
  CLI::App* type = app.add_subcommand("type");
  type->add_flag("--append", r.append);
  type->add_option("WINDOW", r.window)->required();
  type->add_option("ITEM", r.item)->required();
  type->add_option("TEXT", r.text)->required();
  CLI::App* select = app.add_subcommand("select");
  select->add_option("WINDOW", r.window)->required();
  select->add_option("ITEM", r.item)->required();
  select->add_option("CHOICE", r.text)->required();
  app.add_subcommand("key")->add_option("KEY", r.keys)->required();
  CLI::App* close = app.add_subcommand("close");
  close->add_flag("--all", r.all);
  close->add_option("WINDOW", r.window);
  if (auto code = parser.Parse(args)) return *code;
  if (!OpenDevice(ctx)) return kExitFailure;
  if (app.get_subcommands().empty()) return ui::RunScreen(ctx);
  return Act(app, r, ctx, parser);
}

}  // namespace cedev::tool
