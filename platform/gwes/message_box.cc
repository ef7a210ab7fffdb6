// MessageBoxW, first form. Every box goes to the journal with who answered.
#include "message_box.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <mutex>
#include <sstream>

#include "ce/user.h"
#include "host_files.h"
#include "host_locks.h"
#include "host_process.h"
#include "journal.h"
#include "last_error.h"
#include "wstr.h"

namespace cedev {
namespace {

struct AnswerState {
  std::mutex mutex;
  CeMessageBoxAnswerer answerer = nullptr;
  void* context = nullptr;
  bool script_read = false;
  std::vector<std::string> script;  // the comma-separated form, as given
  size_t next = 0;
};

AnswerState& State() {
  static auto* state = new AnswerState;
  return *state;
}

std::string Trim(std::string_view s) {
  size_t b = s.find_first_not_of(" \t\r\n");
  if (b == std::string_view::npos) return {};
  size_t e = s.find_last_not_of(" \t\r\n");
  return std::string(s.substr(b, e - b + 1));
}

// Takes the first non-empty line of a shared answer file and writes the rest back.
std::optional<std::string> TakeLineFromFile(const std::string& path) {
  host::LockFile file;
  if (file.OpenExisting(path) != 0) return std::nullopt;
  file.Lock(true);
  std::string content;
  char buf[4096];
  size_t n = 0;
  while (host::ReadAt(file.File(), buf, sizeof buf, content.size(), &n) == 0 && n > 0) content.append(buf, n);
  std::optional<std::string> answer;
  std::string rest;
  std::istringstream lines(content);
  std::string line;
  while (std::getline(lines, line)) {
    if (!answer && !Trim(line).empty()) {
      answer = Trim(line);
      continue;
    }
    if (answer) rest += line + "\n";
  }
  if (answer && host::Truncate(file.File(), 0) == 0) {
    size_t put = 0;
    if (host::WriteAt(file.File(), rest.data(), rest.size(), 0, &put) != 0 || put != rest.size()) answer.reset();
  }
  return answer;
}

std::string Quoted(std::u16string_view text) {
  std::string out = "\"";
  for (char c : ToUtf8(text)) {
    if (c == '"' || c == '\\') out += '\\';
    if (c == '\n') {
      out += "\\n";
      continue;
    }
    out += c;
  }
  return out + "\"";
}

// A person at a terminal picks a button by number or name; end of input
// takes the default.
int AskPerson(std::u16string_view caption, std::u16string_view text, const BoxButtons& buttons) {
  std::cout << "\n[" << ToUtf8(caption) << "]\n" << ToUtf8(text) << "\n";
  for (size_t i = 0; i < buttons.ids.size(); ++i) {
    std::cout << "  " << i + 1 << ") " << ButtonName(buttons.ids[i]) << (buttons.ids[i] == buttons.default_id ? " *" : "")
              << "\n";
  }
  for (;;) {
    std::cout << "> " << std::flush;
    std::string line;
    if (!std::getline(std::cin, line)) return buttons.default_id;
    line = Trim(line);
    if (line.empty()) return buttons.default_id;
    int id = ParseAnswer(line);
    if (line.size() == 1 && line[0] >= '1' && static_cast<size_t>(line[0] - '0') <= buttons.ids.size()) {
      id = buttons.ids[line[0] - '1'];
    }
    for (int b : buttons.ids) {
      if (b == id) return id;
    }
    std::cout << "Choose one of the buttons above.\n";
  }
}

bool Offers(const BoxButtons& buttons, int id) {
  for (int b : buttons.ids) {
    if (b == id) return true;
  }
  return false;
}

}  // namespace

BoxButtons ButtonsOf(UINT type) {
  BoxButtons b;
  switch (type & MB_TYPEMASK) {
    case MB_OK: b.ids = {IDOK}; break;
    case MB_OKCANCEL: b.ids = {IDOK, IDCANCEL}; break;
    case MB_ABORTRETRYIGNORE: b.ids = {IDABORT, IDRETRY, IDIGNORE}; break;
    case MB_YESNOCANCEL: b.ids = {IDYES, IDNO, IDCANCEL}; break;
    case MB_YESNO: b.ids = {IDYES, IDNO}; break;
    case MB_RETRYCANCEL: b.ids = {IDRETRY, IDCANCEL}; break;
    default: return b;
  }
  size_t index = (type & MB_DEFMASK) >> 8;
  b.default_id = b.ids[index < b.ids.size() ? index : 0];
  return b;
}

std::string ButtonName(int id) {
  switch (id) {
    case IDOK: return "ok";
    case IDCANCEL: return "cancel";
    case IDABORT: return "abort";
    case IDRETRY: return "retry";
    case IDIGNORE: return "ignore";
    case IDYES: return "yes";
    case IDNO: return "no";
    default: return std::to_string(id);
  }
}

int ParseAnswer(std::string_view answer) {
  std::string a = Trim(answer);
  for (char& c : a) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  for (int id = IDOK; id <= IDNO; ++id) {
    if (a == ButtonName(id)) return id;
  }
  if (!a.empty() && a.find_first_not_of("0123456789") == std::string::npos && a.size() < 6) return std::stoi(a);
  return 0;
}

std::optional<std::string> NextScriptedAnswer() {
  const char* env = std::getenv("CEDEV_ANSWERS");
  if (!env || !*env) return std::nullopt;
  std::string_view spec(env);
  if (spec.starts_with("@")) return TakeLineFromFile(std::string(spec.substr(1)));
  AnswerState& s = State();
  std::lock_guard lock(s.mutex);
  if (!s.script_read) {
    std::istringstream in{std::string(spec)};
    std::string item;
    while (std::getline(in, item, ',')) s.script.push_back(Trim(item));
    s.script_read = true;
  }
  if (s.next >= s.script.size()) return std::nullopt;
  return s.script[s.next++];
}

void ResetScriptedAnswers() {
  AnswerState& s = State();
  std::lock_guard lock(s.mutex);
  s.script.clear();
  s.script_read = false;
  s.next = 0;
}

}  // namespace cedev

void CeSetMessageBoxAnswerer(CeMessageBoxAnswerer answerer, void* context) {
  cedev::AnswerState& s = cedev::State();
  std::lock_guard lock(s.mutex);
  s.answerer = answerer;
  s.context = context;
}

int MessageBoxW(HWND, LPCWSTR lpText, LPCWSTR lpCaption, UINT uType) {
  cedev::BoxButtons buttons = cedev::ButtonsOf(uType);
  if (buttons.ids.empty()) return cedev::Fail(ERROR_INVALID_PARAMETER, 0);
  std::u16string_view text = cedev::WView(lpText);
  std::u16string_view caption = lpCaption ? cedev::WView(lpCaption) : std::u16string_view(u"Error");
  CeMessageBoxAnswerer answerer;
  void* context;
  {
    cedev::AnswerState& s = cedev::State();
    std::lock_guard lock(s.mutex);
    answerer = s.answerer;
    context = s.context;
  }
  int answer = 0;
  std::string via;
  if (answerer) {
    int id = answerer(lpCaption ? lpCaption : u"Error", lpText ? lpText : u"", uType, context);
    if (cedev::Offers(buttons, id)) {
      answer = id;
      via = "answerer";
    }
  }
  if (!answer) {
    if (auto scripted = cedev::NextScriptedAnswer()) {
      int id = cedev::ParseAnswer(*scripted);
      answer = cedev::Offers(buttons, id) ? id : buttons.default_id;
      via = cedev::Offers(buttons, id) ? "script" : "default (scripted \"" + *scripted + "\" not offered)";
    }
  }
  if (!answer && cedev::host::InteractiveTerminal()) {
    answer = cedev::AskPerson(caption, text, buttons);
    via = "person";
  }
  if (!answer) {
    answer = buttons.default_id;
    via = "default";
  }
  char flags[16];
  std::snprintf(flags, sizeof flags, "0x%X", uType);
  cedev::JournalAppend("msgbox", "caption " + cedev::Quoted(caption) + " text " + cedev::Quoted(text) + " flags " +
                                     flags + " answer " + cedev::ButtonName(answer) + " by " + via);
  return answer;
}
