#include "terminal.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "secret_input.h"
#include "text.h"

namespace tlvarc {

void IgnoreTerminalForTests() { tlvcli::IgnoreTerminalForTests(); }

Status AskPassword(const std::string& prompt, const char* env_name, std::u16string* password) {
  std::string typed, why;
  if (!tlvcli::AskSecret(prompt, env_name, &typed, &why)) return Status::Usage(why);
  if (!FromUtf8(typed, password)) return Status::Usage("the password is not UTF-8 text");
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
