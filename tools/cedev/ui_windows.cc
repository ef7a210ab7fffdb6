#include "ui_windows.h"

#include <cstdio>
#include <cstdlib>
#include <windows.h>

#include "device_folder.h"
#include "process_table.h"
#include "wstr.h"

namespace cedev::tool::ui {
namespace {

std::string ProgramOf(DWORD pid) {
  auto row = FindRunning(Device::Current(), static_cast<int>(pid));
  if (!row) return "pid " + std::to_string(pid);
  std::u16string module = row->module;
  size_t slash = module.find_last_of(u"\\/");
  return ToUtf8(slash == std::u16string::npos ? module : module.substr(slash + 1));
}

std::string Hex(uintptr_t value) {
  char text[32];
  std::snprintf(text, sizeof text, "0x%llx", static_cast<unsigned long long>(value));
  return text;
}

void AddItems(HWND parent, const std::string& program, int depth, std::vector<Row>* rows) {
  for (const auto& item : automation::ListItems(parent)) {
    // ListItems gives the whole subtree; keep each item under its own parent.
    if (item.parent != parent) continue;
    rows->push_back({item, program, depth});
    AddItems(item.hwnd, program, depth + 1, rows);
  }
}

bool Same(const std::u16string& a, const std::string& b) { return EqualNoCase(a, FromUtf8(b)); }

std::optional<unsigned long> Number(const std::string& text) {
  if (text.empty()) return std::nullopt;
  char* end = nullptr;
  unsigned long value = std::strtoul(text.c_str(), &end, 0);
  if (*end || text[0] == '-' || text[0] == '+') return std::nullopt;
  return value;
}

}  // namespace

std::vector<Row> Snapshot() {
  std::vector<Row> rows;
  for (const auto& window : automation::ListWindows()) {
    std::string program = ProgramOf(window.pid);
    rows.push_back({window, program, 0});
    AddItems(window.hwnd, program, 1, &rows);
  }
  return rows;
}

std::string StateWords(const automation::WindowInfo& w) {
  std::string words;
  auto add = [&](bool on, const char* word) {
    if (!on) return;
    if (!words.empty()) words += ' ';
    words += word;
  };
  add(!w.visible, "hidden");
  add(!w.enabled, "disabled");
  add(w.foreground, "foreground");
  add(w.focused, "focused");
  add(w.message_box, "message-box");
  add(w.checked == BST_CHECKED, "checked");
  bool button = EqualNoCase(w.class_name, u"BUTTON");
  add(button && (w.style & BS_TYPEMASK) == BS_DEFPUSHBUTTON, "default");
  add(EqualNoCase(w.class_name, u"EDIT") && (w.style & ES_PASSWORD), "password");
  return words;
}

// Item ids are 16-bit: the system's reserved ones at the top (0xFFFF for
// any static, 0xFFFD for a box's icon) read as -1, -3 ...; the rest, such as
// command ids 40002 and up, as they were given.
std::string ItemId(UINT id) {
  WORD word = static_cast<WORD>(id);
  return word >= 0xF000 ? std::to_string(static_cast<int>(static_cast<short>(word))) : std::to_string(word);
}

// A text with line breaks (a dialog's explanation) stays on its line.
std::string OneLine(std::string text) {
  std::string out;
  for (char c : text) out += c == '\n' ? std::string("\\n") : c == '\r' ? std::string("\\r") : std::string(1, c);
  return out;
}

std::string Line(const Row& row) {
  const auto& w = row.window;
  std::string id = row.depth == 0 ? Hex(reinterpret_cast<uintptr_t>(w.hwnd)) : ItemId(w.id);
  std::string line(static_cast<size_t>(row.depth) * 2, ' ');
  line += row.program + "  " + ToUtf8(w.class_name) + "  " + id + "  \"" + OneLine(ToUtf8(w.text)) + "\"";
  std::string state = StateWords(w);
  if (!state.empty()) line += "  " + state;
  return line;
}

HWND FindWindowNamed(const std::string& name, std::string* error) {
  auto windows = automation::ListWindows();
  if (name.starts_with("0x")) {
    if (auto handle = Number(name)) {
      for (const auto& w : windows) {
        if (reinterpret_cast<uintptr_t>(w.hwnd) == *handle) return w.hwnd;
      }
    }
  }
  for (const auto& w : windows) {
    if (Same(w.text, name)) return w.hwnd;
  }
  for (const auto& w : windows) {
    if (Same(w.class_name, name)) return w.hwnd;
  }
  *error = "no window titled or of class '" + name + "' (cedev ui list shows them)";
  return nullptr;
}

HWND FindItemNamed(HWND window, const std::string& name, std::string* error) {
  auto items = automation::ListItems(window);
  if (auto id = Number(name)) {
    for (const auto& item : items) {
      if (item.id == *id || static_cast<unsigned long>(static_cast<WORD>(item.id)) == *id) return item.hwnd;
    }
  }
  for (const auto& item : items) {
    if (Same(item.text, name)) {
      // A label names the item that follows it.
      bool label = EqualNoCase(item.class_name, u"STATIC");
      if (!label) return item.hwnd;
      auto at = &item - items.data();
      if (static_cast<size_t>(at + 1) < items.size()) return items[at + 1].hwnd;
    }
  }
  *error = "no item '" + name + "' in that window (cedev ui list shows them)";
  return nullptr;
}

}  // namespace cedev::tool::ui
