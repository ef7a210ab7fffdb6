// The small result type at the tool's internal boundaries. The code decides
// the exit status of a command; the message says what went wrong and where.
#pragma once

#include <string>
#include <utility>

namespace tlvarc {

enum class Outcome {
  kOk = 0,
  kDamaged = 1,      // the archive breaks the format (verify's exit 1)
  kDifferent = 1,    // compare found differences
  kUsage = 2,        // bad command line or a host I/O error
  kBadPassword = 3,  // the password does not match the archive
};

class Status {
 public:
  Status() = default;
  Status(Outcome outcome, std::string message) : outcome_(outcome), message_(std::move(message)) {}

  static Status Damaged(std::string message) { return {Outcome::kDamaged, std::move(message)}; }
  static Status Io(std::string message) { return {Outcome::kUsage, std::move(message)}; }
  static Status Usage(std::string message) { return {Outcome::kUsage, std::move(message)}; }
  static Status BadPassword(std::string message) { return {Outcome::kBadPassword, std::move(message)}; }

  bool ok() const { return outcome_ == Outcome::kOk; }
  Outcome outcome() const { return outcome_; }
  int exit_code() const { return static_cast<int>(outcome_); }
  const std::string& message() const { return message_; }

 private:
  Outcome outcome_ = Outcome::kOk;
  std::string message_;
};

// Returns from the calling function when `expr` yields a failed Status.
#define TLVARC_TRY(expr)                  \
  do {                                    \
    ::tlvarc::Status status_ = (expr);    \
    if (!status_.ok()) return status_;    \
  } while (0)

}  // namespace tlvarc
