// Message boxes: the buttons a box offers and the ways its answer is found
// before anybody presses one (a test's answerer, scripted answers).
#include "message_box.h"

#include <cctype>
#include <cstdlib>
#include <mutex>
#include <sstream>

#include "ce/user.h"
#include "host_files.h"
#include "host_locks.h"

namespace cedev {

std::string Trim(std::string_view s) {
  size_t b = s.find_first_not_of(" \t\r\n");
  if (b == std::string_view::npos) return {};
  size_t e = s.find_last_not_of(" \t\r\n");
  return std::string(s.substr(b, e - b + 1));
}

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

void CurrentAnswerer(CeMessageBoxAnswerer* answerer, void** context) {
  AnswerState& s = State();
  std::lock_guard lock(s.mutex);
  *answerer = s.answerer;
  *context = s.context;
}

namespace gwes {

const char* AnswererName(BoxAnswerer by) {
  switch (by) {
    case BoxAnswerer::kAnswerer: return "answerer";
    case BoxAnswerer::kScript: return "script";
    case BoxAnswerer::kPerson: return "person";
    case BoxAnswerer::kDefault: return "default";
    case BoxAnswerer::kPress: break;
  }
  return "";
}

}  // namespace gwes
}  // namespace cedev

void CeSetMessageBoxAnswerer(CeMessageBoxAnswerer answerer, void* context) {
  cedev::AnswerState& s = cedev::State();
  std::lock_guard lock(s.mutex);
  s.answerer = answerer;
  s.context = context;
}
