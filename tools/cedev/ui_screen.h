// `cedev ui` with no arguments: a text screen for a person at a terminal. It
// shows the device's foreground window with its items and passes the
// person's keys on to the device: Tab and Shift+Tab move the focus, Enter
// presses, Esc cancels, arrows move, and what is typed goes into the focused
// edit. Ctrl+N shows the next window, Ctrl+C or Ctrl+Q ends the screen.
#pragma once

#include "command.h"

namespace cedev::tool::ui {

int RunScreen(CommandContext& ctx);

}  // namespace cedev::tool::ui
