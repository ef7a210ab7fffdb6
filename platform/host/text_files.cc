#include "text_files.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <sstream>

namespace cedev {
namespace {

std::string Trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t\r\n");
  if (b == std::string::npos) return {};
  size_t e = s.find_last_not_of(" \t\r\n");
  return s.substr(b, e - b + 1);
}

}  // namespace

bool AtTerminal() { return ::isatty(0) && ::isatty(1); }

std::optional<std::string> TakeFirstLine(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  ::flock(fd, LOCK_EX);
  std::string content;
  char buf[4096];
  ssize_t n;
  while ((n = ::read(fd, buf, sizeof buf)) > 0) content.append(buf, static_cast<size_t>(n));
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
  if (answer && ::ftruncate(fd, 0) == 0) {
    if (::pwrite(fd, rest.data(), rest.size(), 0) != static_cast<ssize_t>(rest.size())) answer.reset();
  }
  ::close(fd);
  return answer;
}

}  // namespace cedev
