// The device's event journal: effects that leave no other trace (sounds,
// buzzer, resets, key events, cursors, message boxes, processes, debug
// output) are appended here; `cedev events` prints it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace cedev {

struct JournalEntry {
  int64_t seq = 0;
  int64_t time_ms = 0;  // host clock, milliseconds since 1970
  int pid = 0;
  std::string kind;  // "sound", "buzzer", "reset", "key", "cursor", "msgbox", "process", "debug", ...
  std::string text;
};

// Appends one entry for the current process; false when there is no device.
bool JournalAppend(std::string_view kind, std::string_view text);
std::vector<JournalEntry> JournalRead(int64_t after_seq = 0);

}  // namespace cedev
