// What travels between programs over their endpoints: a request header and
// the data the message's parameters point to; a reply header and the data
// that goes back. Both ends check the magic and the size limit before they
// trust a frame.
#pragma once

#include <cstdint>

namespace cedev::gwes {

constexpr uint32_t kRequestMagic = 0x4D444E57;  // "WNDM"
constexpr uint32_t kReplyMagic = 0x52444E57;    // "WNDR"
constexpr uint32_t kMaxPayload = 1u << 20;

enum class FrameKind : uint32_t {
  kSend = 1,   // SendMessageW: handled by the window's thread, which replies
  kPost = 2,   // PostMessageW: queued; the receiver replies at once
  kInput = 3,  // keyboard input for the program's foreground window
};

enum class ReplyStatus : uint32_t {
  kOk = 0,
  kInvalidWindow = 1,  // no such window (any more) in that program
  kHung = 2,           // SMTO_ABORTIFHUNG and the thread has not looked at its queue
  kRefused = 3,        // a frame the receiver does not accept
};

// Flags of a request.
constexpr uint32_t kAbortIfHung = 1;

struct RequestHeader {
  uint32_t magic;
  uint32_t kind;
  uint64_t request;  // echoed in the reply
  uint32_t handle;
  uint32_t message;
  uint64_t wparam;
  uint64_t lparam;
  uint32_t flags;
  uint32_t payload_bytes;
};

struct ReplyHeader {
  uint32_t magic;
  uint32_t status;
  uint64_t request;
  int64_t result;
  uint32_t payload_bytes;
  uint32_t reserved;
};

}  // namespace cedev::gwes
