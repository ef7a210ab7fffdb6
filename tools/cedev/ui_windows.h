// What `cedev ui` shows and acts on: the windows of every program with their
// items, one line each, and the words a person uses to name them: a window
// by its handle, title or class; an item by its id, its text, or the text of
// the label in front of it.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "ce/automation.h"

namespace cedev::tool::ui {

struct Row {
  automation::WindowInfo window;
  std::string program;  // the owning program's executable name
  int depth = 0;        // 0 for a top-level window, 1 for its items, ...
};

// Top-level windows topmost first, each followed by its items.
std::vector<Row> Snapshot();
// "PROGRAM CLASS ID "TEXT" STATE..." (items indented by their depth); a
// top-level window's id is its handle.
std::string Line(const Row& row);
// The state words: hidden, disabled, focused, foreground, checked, default, ...
std::string StateWords(const automation::WindowInfo& window);

// The top-level window named by `name`: "0x..." is a handle, else the
// topmost window with that title, else with that class (both without regard
// to case). Null with `error` set when there is none.
HWND FindWindowNamed(const std::string& name, std::string* error);
// The item of `window` named by `name`: an id (decimal or 0x), else the
// item with that text, else the item that follows the label with that text
// (an edit after "Date:"). Null with `error` set.
HWND FindItemNamed(HWND window, const std::string& name, std::string* error);

}  // namespace cedev::tool::ui
