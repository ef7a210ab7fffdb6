#include "terminal.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "text.h"

namespace tlvarc {

namespace {
bool g_ignore_terminal = false;
}

void IgnoreTerminalForTests() { g_ignore_terminal = true; }

Status AskPassword(const std::string& prompt, const char* env_name, std::u16string* password) {
  int tty = g_ignore_terminal ? -1 : ::open("/dev/tty", O_RDWR | O_CLOEXEC);
  if (tty < 0) {
    const char* value = std::getenv(env_name);
    if (!value) return Status::Usage(std::string("a password is needed: no terminal to ask at, and ") + env_name + " is not set");
    if (!FromUtf8(value, password)) return Status::Usage(std::string(env_name) + " is not UTF-8 text");
    return {};
  }
  struct termios saved;
  bool restore = ::tcgetattr(tty, &saved) == 0;
  if (restore) {
    struct termios quiet = saved;
    quiet.c_lflag &= ~tcflag_t(ECHO);
    ::tcsetattr(tty, TCSAFLUSH, &quiet);
  }
  std::string text = prompt + ": ";
  (void)!::write(tty, text.data(), text.size());
  std::string line;
  char c;
  while (::read(tty, &c, 1) == 1 && c != '\n') line += c;
  if (restore) ::tcsetattr(tty, TCSAFLUSH, &saved);
  (void)!::write(tty, "\n", 1);
  ::close(tty);
  if (!line.empty() && line.back() == '\r') line.pop_back();
  if (!FromUtf8(line, password)) return Status::Usage("the password is not UTF-8 text");
  return {};
}

ProgressBar::ProgressBar(std::string label, uint64_t total)
    : label_(std::move(label)), total_(total), shown_(::isatty(STDERR_FILENO) == 1) {}

ProgressBar::~ProgressBar() {
  if (!drawn_) return;
  Draw(total_);
  std::fputc('\n', stderr);
}

void ProgressBar::Update(uint64_t done) {
  if (!shown_) return;
  auto now = std::chrono::steady_clock::now();
  if (drawn_ && now - last_ < std::chrono::milliseconds(100)) return;
  last_ = now;
  Draw(done);
}

void ProgressBar::Draw(uint64_t done) {
  constexpr int kWidth = 40;
  int percent = total_ ? int(done * 100 / total_) : 100;
  if (percent > 100) percent = 100;
  int filled = percent * kWidth / 100;
  std::fprintf(stderr, "\r%s [%.*s%*s] %3d%%", label_.c_str(), filled, "########################################",
               kWidth - filled, "", percent);
  std::fflush(stderr);
  drawn_ = true;
}

}  // namespace tlvarc
