#include "secret_input.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cstdlib>

namespace tlvcli {
namespace {

bool g_ignore_terminal = false;

// Reads one line at the terminal `tty` with echo off, and puts echo back
// however the line ends.
std::string ReadHidden(int tty, const std::string& prompt) {
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
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

}  // namespace

void IgnoreTerminalForTests() { g_ignore_terminal = true; }

bool AskSecret(const std::string& prompt, const char* env_name, std::string* secret, std::string* why) {
  int tty = g_ignore_terminal ? -1 : ::open("/dev/tty", O_RDWR | O_CLOEXEC);
  if (tty >= 0) {
    *secret = ReadHidden(tty, prompt);
    ::close(tty);
    return true;
  }
  const char* value = std::getenv(env_name);
  if (!value) {
    *why = std::string("a password is needed: no terminal to ask at, and ") + env_name + " is not set";
    return false;
  }
  *secret = value;
  return true;
}

}  // namespace tlvcli
