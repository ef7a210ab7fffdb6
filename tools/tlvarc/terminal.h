// What the tool asks of a person: passwords (at the terminal, or from the
// environment when there is none; never from the command line) and a
// progress bar that shows only when stderr is a terminal.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "status.h"

namespace tlvarc {

// Asks at the controlling terminal with echo off; without a terminal takes
// the environment variable `env_name`. Fails when neither is there.
Status AskPassword(const std::string& prompt, const char* env_name, std::u16string* password);

// Tests run commands in-process and must never wait at a real terminal.
void IgnoreTerminalForTests();

constexpr const char* kPasswordEnv = "TLVARC_PASSWORD";
constexpr const char* kNewPasswordEnv = "TLVARC_NEW_PASSWORD";

class ProgressBar {
 public:
  ProgressBar(std::string label, uint64_t total);
  ~ProgressBar();
  void Update(uint64_t done);

 private:
  void Draw(uint64_t done);

  std::string label_;
  uint64_t total_;
  bool shown_;
  bool drawn_ = false;
  std::chrono::steady_clock::time_point last_{};
};

}  // namespace tlvarc
