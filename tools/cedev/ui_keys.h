// Keys for `cedev ui`: the names a command line gives them, and what a
// terminal sends when a person presses them on the screen.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ce/automation.h"

namespace cedev::tool::ui {

struct Key {
  BYTE vk = 0;
  UINT modifiers = 0;  // automation::kShift, kControl, kAlt
};
// "enter", "tab", "shift+tab", "esc", "up", "f1", "a", "5", "ctrl+c" ...
// (without regard to case); nothing for a name that is no key.
std::optional<Key> ParseKey(const std::string& text);

// What a key press at the terminal means on the device.
struct Input {
  enum Kind { kNone, kQuit, kNextWindow, kKey, kText } kind = kNone;
  Key key;
  std::string text;  // kText: printable text, UTF-8
};

// Splits what the terminal sent at once into keys and runs of text: Ctrl+C
// and Ctrl+Q quit, Ctrl+N asks for the next window, Tab, Enter, Backspace,
// Esc and the arrow and Shift+Tab sequences are keys; other escape
// sequences and control characters mean nothing.
std::vector<Input> DecodeTerminal(std::string_view bytes);

// How much of `bytes` ends on a whole UTF-8 character: a read may stop in
// the middle of one.
size_t WholeCharacters(std::string_view bytes);

}  // namespace cedev::tool::ui
