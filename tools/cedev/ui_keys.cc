#include "ui_keys.h"

#include <algorithm>
#include <cctype>
#include <windows.h>

namespace cedev::tool::ui {

std::optional<Key> ParseKey(const std::string& text) {
  Key key;
  std::string rest = text;
  std::transform(rest.begin(), rest.end(), rest.begin(), [](unsigned char c) { return std::tolower(c); });
  for (;;) {
    size_t plus = rest.find('+');
    if (plus == std::string::npos || plus + 1 == rest.size()) break;
    std::string modifier = rest.substr(0, plus);
    if (modifier == "shift") key.modifiers |= automation::kShift;
    else if (modifier == "ctrl" || modifier == "control") key.modifiers |= automation::kControl;
    else if (modifier == "alt") key.modifiers |= automation::kAlt;
    else return std::nullopt;
    rest = rest.substr(plus + 1);
  }
  static const struct {
    const char* name;
    BYTE vk;
  } kNamed[] = {{"enter", VK_RETURN}, {"return", VK_RETURN}, {"tab", VK_TAB},       {"esc", VK_ESCAPE},
                {"escape", VK_ESCAPE}, {"space", VK_SPACE}, {"backspace", VK_BACK}, {"delete", VK_DELETE},
                {"up", VK_UP},         {"down", VK_DOWN},   {"left", VK_LEFT},      {"right", VK_RIGHT},
                {"home", VK_HOME},     {"end", VK_END},     {"f1", VK_F1},          {"f2", VK_F2},
                {"f3", VK_F3},         {"f4", VK_F4},       {"f10", VK_F10}};
  for (const auto& named : kNamed) {
    if (rest == named.name) {
      key.vk = named.vk;
      return key;
    }
  }
  if (rest.size() == 1 && ((rest[0] >= 'a' && rest[0] <= 'z') || (rest[0] >= '0' && rest[0] <= '9'))) {
    key.vk = static_cast<BYTE>(std::toupper(static_cast<unsigned char>(rest[0])));
    return key;
  }
  return std::nullopt;
}

namespace {

Input KeyInput(BYTE vk, UINT modifiers = 0) {
  Input in;
  in.kind = Input::kKey;
  in.key = {vk, modifiers};
  return in;
}

// The escape sequence at the start of `bytes` (ESC alone when nothing
// follows that makes one) and what it means.
size_t EscapeSequence(std::string_view bytes, Input* in) {
  static const struct {
    const char* bytes;
    BYTE vk;
    UINT modifiers;
  } kSequences[] = {{"\x1b[Z", VK_TAB, automation::kShift}, {"\x1b[A", VK_UP, 0},   {"\x1b[B", VK_DOWN, 0},
                    {"\x1b[C", VK_RIGHT, 0},                {"\x1b[D", VK_LEFT, 0}, {"\x1b[3~", VK_DELETE, 0}};
  for (const auto& s : kSequences) {
    if (bytes.starts_with(s.bytes)) {
      *in = KeyInput(s.vk, s.modifiers);
      return std::string_view(s.bytes).size();
    }
  }
  // Arrows in the terminal's application mode: ESC O A ...
  if (bytes.size() > 2 && bytes[1] == 'O' && bytes[2] >= 'A' && bytes[2] <= 'D') {
    static const BYTE kArrows[] = {VK_UP, VK_DOWN, VK_RIGHT, VK_LEFT};
    *in = KeyInput(kArrows[bytes[2] - 'A']);
    return 3;
  }
  if (bytes.size() > 2 && bytes[1] == '[') {
    // Another sequence: read past it, it means nothing here.
    size_t end = bytes.find_first_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz~", 2);
    return end == std::string_view::npos ? bytes.size() : end + 1;
  }
  *in = KeyInput(VK_ESCAPE);
  return 1;
}

}  // namespace

std::vector<Input> DecodeTerminal(std::string_view bytes) {
  std::vector<Input> inputs;
  while (!bytes.empty()) {
    unsigned char first = static_cast<unsigned char>(bytes[0]);
    Input in;
    size_t used = 1;
    if (first == 0x03 || first == 0x11) in.kind = Input::kQuit;
    else if (first == 0x0E) in.kind = Input::kNextWindow;
    else if (first == '\t') in = KeyInput(VK_TAB);
    else if (first == '\r' || first == '\n') in = KeyInput(VK_RETURN);
    else if (first == 0x7F || first == 0x08) in = KeyInput(VK_BACK);
    else if (first == 0x1b) used = EscapeSequence(bytes, &in);
    else if (first >= 0x20) {
      used = 0;
      while (used < bytes.size() && static_cast<unsigned char>(bytes[used]) >= 0x20 && bytes[used] != 0x7F) ++used;
      in.kind = Input::kText;
      in.text = std::string(bytes.substr(0, used));
    }
    if (in.kind != Input::kNone) inputs.push_back(in);
    bytes.remove_prefix(used);
  }
  return inputs;
}

size_t WholeCharacters(std::string_view bytes) {
  // Look back over at most three continuation bytes for the lead byte.
  size_t at = bytes.size();
  for (size_t back = 0; back < 4 && at > 0; ++back) {
    unsigned char c = static_cast<unsigned char>(bytes[--at]);
    if ((c & 0xC0) == 0x80) continue;  // a continuation byte
    size_t length = c < 0x80 ? 1 : (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 1;
    return bytes.size() - at >= length ? bytes.size() : at;
  }
  return bytes.size();  // no lead byte in sight: not UTF-8, pass it on
}

}  // namespace cedev::tool::ui
